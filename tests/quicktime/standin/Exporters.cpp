// Graphics exporter instances.

#include "tests/quicktime/standin/Exporters.h"

#include "tests/quicktime/standin/AtomContainer.h"
#include "tests/quicktime/standin/BmpCodec.h"
#include "tests/quicktime/standin/FileSpecs.h"
#include "tests/quicktime/standin/GWorlds.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"

#include <new>
#include <string>

namespace {

constexpr OSType kCreator = MakeOSType("tlqt");

struct GraphicsExporter : ComponentInstanceRecord {
  using ComponentInstanceRecord::ComponentInstanceRecord;

  GWorldPtr mInput = nullptr;
  Handle mOutputHandle = nullptr;
  std::string mOutputPath;  // empty: no output file
  SInt32 mDepth = 24;
  Fixed mHorizontalResolution = 72 << 16;
  Fixed mVerticalResolution = 72 << 16;

  bool Writes() const { return mComponent.mKind == ComponentKind::kBmpExporter; }
};

GraphicsExporter* AsExporter(ComponentInstance inInstance)
{
  return dynamic_cast<GraphicsExporter*>(LiveInstance(inInstance));
}

ComponentResult GraphicsExportGetMIMETypeList(GraphicsExportComponent inExporter, QTAtomContainer* outList)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (!outList)
    return kQTParamErr;
  const ComponentRecord& theComponent = theExporter->mComponent;
  *outList = NewFormatInfo(theComponent.mExtensions, theComponent.mMIME, theComponent.mFormatDescription);
  return *outList ? kQTNoErr : kQTMemFullErr;
}

ComponentResult GraphicsExportGetDefaultFileTypeAndCreator(GraphicsExportComponent inExporter, OSType* outFileType,
                                                           OSType* outCreator)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (outFileType)
    *outFileType = theExporter->mComponent.mFileType;
  if (outCreator)
    *outCreator = kCreator;
  return kQTNoErr;
}

ComponentResult GraphicsExportSetInputGWorld(GraphicsExportComponent inExporter, GWorldPtr inWorld)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (!PixMapOfWorld(inWorld))
    return kQTParamErr;
  theExporter->mInput = inWorld;
  return kQTNoErr;
}

ComponentResult GraphicsExportSetOutputHandle(GraphicsExportComponent inExporter, Handle inOutput)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (CheckHandle(inOutput) != kQTNoErr)
    return kQTParamErr;
  theExporter->mOutputHandle = inOutput;
  theExporter->mOutputPath.clear();
  return kQTNoErr;
}

ComponentResult GraphicsExportSetOutputFile(GraphicsExportComponent inExporter, const FSSpec* inFile)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (!inFile || !inFile->path[0])
    return kQTParamErr;
  theExporter->mOutputPath = inFile->path;
  theExporter->mOutputHandle = nullptr;
  return kQTNoErr;
}

ComponentResult GraphicsExportSetCompressionQuality(GraphicsExportComponent inExporter, CodecQ inQuality)
{
  if (!AsExporter(inExporter))
    return kQTBadComponentInstance;
  return inQuality <= kQTCodecLosslessQuality ? kQTNoErr : kQTParamErr;
}

ComponentResult GraphicsExportSetInterlaceStyle(GraphicsExportComponent inExporter, UInt32)
{
  return AsExporter(inExporter) ? kQTBadComponentSelector : kQTBadComponentInstance;
}

ComponentResult GraphicsExportSetDepth(GraphicsExportComponent inExporter, SInt32 inDepth)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (inDepth != 24 && inDepth != 32)
    return kQTParamErr;
  theExporter->mDepth = inDepth;
  return kQTNoErr;
}

ComponentResult GraphicsExportGetResolution(GraphicsExportComponent inExporter, Fixed* outH, Fixed* outV)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (outH)
    *outH = theExporter->mHorizontalResolution;
  if (outV)
    *outV = theExporter->mVerticalResolution;
  return kQTNoErr;
}

ComponentResult GraphicsExportSetResolution(GraphicsExportComponent inExporter, Fixed inH, Fixed inV)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (inH <= 0 || inV <= 0)
    return kQTParamErr;
  theExporter->mHorizontalResolution = inH;
  theExporter->mVerticalResolution = inV;
  return kQTNoErr;
}

ComponentResult GraphicsExportDoExport(GraphicsExportComponent inExporter, UInt32* outSizeWritten)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (outSizeWritten)
    *outSizeWritten = 0;
  if (!theExporter->Writes())
    return kQTBadComponentSelector;
  PixelView theInput;
  if (!PixMapView(PixMapOfWorld(theExporter->mInput), theInput) ||
      (!theExporter->mOutputHandle && theExporter->mOutputPath.empty()))
    return kQTParamErr;
  std::string theBytes;
  if (!BmpCodec::Encode(theInput, theExporter->mDepth, FixedToDouble(theExporter->mHorizontalResolution), theBytes))
    return kQTMemFullErr;
  OSErr theErr = theExporter->mOutputHandle ? SetHandleBytes(theExporter->mOutputHandle, theBytes)
                                            : WriteWholeFile(theExporter->mOutputPath, theBytes);
  if (theErr == kQTNoErr && outSizeWritten)
    *outSizeWritten = static_cast<UInt32>(theBytes.size());
  return theErr;
}

}  // namespace

ComponentInstanceRecord* NewExporter(const ComponentRecord& inComponent)
{
  return new (std::nothrow) GraphicsExporter(inComponent);
}

void AddExporterServices(QTServices& ioTable)
{
  ioTable.GraphicsExportGetMIMETypeList = GraphicsExportGetMIMETypeList;
  ioTable.GraphicsExportGetDefaultFileTypeAndCreator = GraphicsExportGetDefaultFileTypeAndCreator;
  ioTable.GraphicsExportSetInputGWorld = GraphicsExportSetInputGWorld;
  ioTable.GraphicsExportSetOutputHandle = GraphicsExportSetOutputHandle;
  ioTable.GraphicsExportSetOutputFile = GraphicsExportSetOutputFile;
  ioTable.GraphicsExportSetCompressionQuality = GraphicsExportSetCompressionQuality;
  ioTable.GraphicsExportSetInterlaceStyle = GraphicsExportSetInterlaceStyle;
  ioTable.GraphicsExportSetDepth = GraphicsExportSetDepth;
  ioTable.GraphicsExportGetResolution = GraphicsExportGetResolution;
  ioTable.GraphicsExportSetResolution = GraphicsExportSetResolution;
  ioTable.GraphicsExportDoExport = GraphicsExportDoExport;
}
