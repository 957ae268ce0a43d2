// Graphics exporter instances: they give their public format information and
// default file type. The BMP exporter writes its input GWorld to a handle or
// a file; it has a depth and a resolution but no quality or interlace. The
// other exporters write nothing: every export call answers
// kQTBadComponentSelector.

#include "tests/quicktime/standin/Exporters.h"

#include "tests/quicktime/standin/AtomContainer.h"
#include "tests/quicktime/standin/BmpCodec.h"
#include "tests/quicktime/standin/GWorlds.h"
#include "tests/quicktime/standin/Geometry.h"
#include "tests/quicktime/standin/HandleStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

namespace {

constexpr OSType kCreator = MakeOSType("tlqt");
constexpr Fixed kDefaultResolution = 72 << 16;
constexpr SInt32 kDefaultDepth = 24;

struct GraphicsExporter : ComponentInstanceRecord {
  using ComponentInstanceRecord::ComponentInstanceRecord;

  GWorldPtr mWorld = nullptr;
  Handle mOutputHandle = nullptr;  // the output: this handle, else the file
  std::string mOutputPath;
  SInt32 mDepth = kDefaultDepth;
  Fixed mResolutionH = kDefaultResolution;
  Fixed mResolutionV = kDefaultResolution;
};

GraphicsExporter* AsExporter(ComponentInstance inInstance)
{
  return dynamic_cast<GraphicsExporter*>(LiveInstance(inInstance));
}

// inBody run on the instance when it is the BMP exporter; else why not.
template <typename Body>
ComponentResult OnBmpExporter(GraphicsExportComponent inExporter, Body inBody)
{
  GraphicsExporter* theExporter = AsExporter(inExporter);
  if (!theExporter)
    return kQTBadComponentInstance;
  if (theExporter->mComponent.mKind != ComponentKind::kBmpExporter)
    return kQTBadComponentSelector;
  return inBody(*theExporter);
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

ComponentResult NotAnOption(GraphicsExportComponent inExporter)
{
  return AsExporter(inExporter) ? kQTBadComponentSelector : kQTBadComponentInstance;
}

// The whole file, or none: a failed write removes what it made.
OSErr WriteFile(const std::string& inPath, const std::string& inBytes)
{
  int theFile = open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (theFile < 0)
    return errno == ENOENT || errno == ENOTDIR ? kQTFileNotFoundErr : kQTIOErr;
  std::size_t theDone = 0;
  while (theDone < inBytes.size()) {
    ssize_t theWritten = write(theFile, inBytes.data() + theDone, inBytes.size() - theDone);
    if (theWritten < 0 && errno == EINTR)
      continue;
    if (theWritten <= 0)
      break;
    theDone += static_cast<std::size_t>(theWritten);
  }
  const bool theWhole = close(theFile) == 0 && theDone == inBytes.size();
  if (!theWhole)
    unlink(inPath.c_str());
  return theWhole ? kQTNoErr : kQTIOErr;
}

ComponentResult DoExport(GraphicsExporter& ioExporter, UInt32* outSizeWritten)
{
  PixelView thePixels;
  if (!PixMapView(PixMapOfWorld(ioExporter.mWorld), thePixels) ||
      (!ioExporter.mOutputHandle && ioExporter.mOutputPath.empty()))
    return kQTParamErr;
  std::string theBytes;
  OSErr theErr = BmpCodec::Encode(thePixels, ioExporter.mDepth, FixedToDouble(ioExporter.mResolutionH),
                                  FixedToDouble(ioExporter.mResolutionV), theBytes);
  if (theErr == kQTNoErr)
    theErr = ioExporter.mOutputHandle ? SetHandleBytes(ioExporter.mOutputHandle, theBytes)
                                      : WriteFile(ioExporter.mOutputPath, theBytes);
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
  using Exporter = GraphicsExportComponent;
  using BmpExporter = GraphicsExporter&;
  ioTable.GraphicsExportGetMIMETypeList = GraphicsExportGetMIMETypeList;
  ioTable.GraphicsExportGetDefaultFileTypeAndCreator = GraphicsExportGetDefaultFileTypeAndCreator;
  ioTable.GraphicsExportSetInputGWorld = [](Exporter inExporter, GWorldPtr inWorld) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (!PixMapOfWorld(inWorld))
        return kQTParamErr;
      ioExporter.mWorld = inWorld;
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportSetOutputHandle = [](Exporter inExporter, Handle inOutput) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (CheckHandle(inOutput) != kQTNoErr)
        return kQTParamErr;
      ioExporter.mOutputHandle = inOutput;
      ioExporter.mOutputPath.clear();
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportSetOutputFile = [](Exporter inExporter, const FSSpec* inFile) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (!inFile || inFile->path[0] == '\0')
        return kQTParamErr;
      ioExporter.mOutputPath = inFile->path;  // came from an FSSpec: terminated
      ioExporter.mOutputHandle = nullptr;
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportSetCompressionQuality = [](Exporter inExporter, CodecQ) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetInterlaceStyle = [](Exporter inExporter, UInt32) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetDepth = [](Exporter inExporter, SInt32 inDepth) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (inDepth != 24 && inDepth != 32)
        return kQTParamErr;
      ioExporter.mDepth = inDepth;
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportGetResolution = [](Exporter inExporter, Fixed* outH, Fixed* outV) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (outH)
        *outH = ioExporter.mResolutionH;
      if (outV)
        *outV = ioExporter.mResolutionV;
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportSetResolution = [](Exporter inExporter, Fixed inH, Fixed inV) {
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) {
      if (inH <= 0 || inV <= 0)
        return kQTParamErr;
      ioExporter.mResolutionH = inH;
      ioExporter.mResolutionV = inV;
      return kQTNoErr;
    });
  };
  ioTable.GraphicsExportDoExport = [](Exporter inExporter, UInt32* outSizeWritten) {
    if (outSizeWritten)
      *outSizeWritten = 0;
    return OnBmpExporter(inExporter, [&](BmpExporter ioExporter) { return DoExport(ioExporter, outSizeWritten); });
  };
}
