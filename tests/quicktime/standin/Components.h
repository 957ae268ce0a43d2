#pragma once
// The stand-in's components: graphics importers ('grip') for JPEG and BMP
// files, graphics exporters ('grex': exporters that list a format, the first
// of them BMP and the only one that writes, and one hidden base exporter),
// and their instances.

#include "platform/quicktime/QTServices.h"

#include <string>

enum class ComponentKind {
  kJpegImporter,
  kBmpImporter,
  kBmpExporter,     // the first listed exporter: writes BMP
  kListedExporter,  // listed with a name and format information; writes nothing
  kBaseExporter,    // flagged kQTBaseExporterFlag, so exporter walks skip it
};

struct ComponentRecord {
  ComponentKind mKind;
  ComponentDescription mDescription;
  std::string mName;
  std::string mInfo;
  std::string mExtensions;  // public format information
  std::string mMIME;
  std::string mFormatDescription;
  OSType mFileType = 0;     // an exporter's default file type
};

// An open instance; importers and exporters derive from it.
struct ComponentInstanceRecord {
  explicit ComponentInstanceRecord(const ComponentRecord& inComponent) : mComponent(inComponent) {}
  virtual ~ComponentInstanceRecord() = default;
  const ComponentRecord& mComponent;
};

void AddComponentServices(QTServices& ioTable);

// Makes the components anew: the importers, then the base exporter, then
// inExporterCount listed exporters of which the first is BMP.
void BuildComponents(int inExporterCount);

// The component after inPrevious (null: the first) that matches inLooking.
Component NextComponent(Component inPrevious, const ComponentDescription& inLooking);
// The live instance, or null for a stale or forged one.
ComponentInstanceRecord* LiveInstance(ComponentInstance inInstance);
// Opens an instance of a live component; null (with the movies error set)
// when it cannot.
ComponentInstance OpenInstance(Component inComponent);
