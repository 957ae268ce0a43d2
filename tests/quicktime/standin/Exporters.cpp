// Graphics exporter instances: they give their public format information and
// default file type; none of them writes, so no export call is offered.

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

}  // namespace

ComponentInstanceRecord* NewExporter(const ComponentRecord& inComponent)
{
  return new (std::nothrow) GraphicsExporter(inComponent);
}

void AddExporterServices(QTServices& ioTable)
{
  ioTable.GraphicsExportGetMIMETypeList = GraphicsExportGetMIMETypeList;
  ioTable.GraphicsExportGetDefaultFileTypeAndCreator = GraphicsExportGetDefaultFileTypeAndCreator;
}
