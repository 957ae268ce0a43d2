// Graphics exporter instances: they give their public format information and
// default file type; none of them writes, so every export call answers
// kQTBadComponentSelector.

#include "tests/quicktime/standin/Exporters.h"

#include "tests/quicktime/standin/AtomContainer.h"

#include <new>

namespace {

constexpr OSType kCreator = MakeOSType("tlqt");

struct GraphicsExporter : ComponentInstanceRecord {
  using ComponentInstanceRecord::ComponentInstanceRecord;
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

ComponentResult NotAnOption(GraphicsExportComponent inExporter)
{
  return AsExporter(inExporter) ? kQTBadComponentSelector : kQTBadComponentInstance;
}

}  // namespace

ComponentInstanceRecord* NewExporter(const ComponentRecord& inComponent)
{
  return new (std::nothrow) GraphicsExporter(inComponent);
}

void AddExporterServices(QTServices& ioTable)
{
  using Exporter = GraphicsExportComponent;
  ioTable.GraphicsExportGetMIMETypeList = GraphicsExportGetMIMETypeList;
  ioTable.GraphicsExportGetDefaultFileTypeAndCreator = GraphicsExportGetDefaultFileTypeAndCreator;
  ioTable.GraphicsExportSetInputGWorld = [](Exporter inExporter, GWorldPtr) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetOutputHandle = [](Exporter inExporter, Handle) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetOutputFile = [](Exporter inExporter, const FSSpec*) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetCompressionQuality = [](Exporter inExporter, CodecQ) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetInterlaceStyle = [](Exporter inExporter, UInt32) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetDepth = [](Exporter inExporter, SInt32) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportGetResolution = [](Exporter inExporter, Fixed*, Fixed*) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportSetResolution = [](Exporter inExporter, Fixed, Fixed) { return NotAnOption(inExporter); };
  ioTable.GraphicsExportDoExport = [](Exporter inExporter, UInt32* outSizeWritten) {
    if (outSizeWritten)
      *outSizeWritten = 0;
    return NotAnOption(inExporter);
  };
}
