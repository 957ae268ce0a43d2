// The component list, walks over it, and instances.

#include "tests/quicktime/standin/Components.h"

#include "tests/quicktime/standin/Exporters.h"
#include "tests/quicktime/standin/HandleStore.h"
#include "tests/quicktime/standin/Importers.h"
#include "tests/quicktime/standin/LiveSet.h"
#include "tests/quicktime/standin/Movies.h"

#include "platform/base/Numbers.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr OSType kManufacturer = MakeOSType("tlqt");

std::vector<std::unique_ptr<ComponentRecord>> gComponents;
LiveSet<ComponentInstanceRecord> gInstances;

ComponentRecord* LiveComponent(Component inComponent)
{
  for (const auto& theComponent : gComponents)
    if (theComponent.get() == inComponent)
      return theComponent.get();
  return nullptr;
}

bool Matches(const ComponentDescription& inHave, const ComponentDescription& inLooking)
{
  return (inLooking.componentType == 0 || inLooking.componentType == inHave.componentType) &&
         (inLooking.componentSubType == 0 || inLooking.componentSubType == inHave.componentSubType) &&
         (inLooking.componentManufacturer == 0 || inLooking.componentManufacturer == inHave.componentManufacturer) &&
         (inHave.componentFlags & inLooking.componentFlagsMask) ==
             (inLooking.componentFlags & inLooking.componentFlagsMask);
}

Component FindNextComponent(Component inPrevious, const ComponentDescription* inLooking)
{
  return inLooking ? NextComponent(inPrevious, *inLooking) : nullptr;
}

// A length-prefixed string of at most 255 bytes into a handle.
OSErr SetPascalString(Handle inHandle, const std::string& inText)
{
  std::string theBytes(1, static_cast<char>(std::min<std::size_t>(inText.size(), 255)));
  theBytes.append(inText, 0, 255);
  return SetHandleBytes(inHandle, theBytes);
}

OSErr GetComponentInfo(Component inComponent, ComponentDescription* outDescription, Handle outName,
                       Handle outInfo, Handle)
{
  ComponentRecord* theComponent = LiveComponent(inComponent);
  if (!theComponent)
    return kQTInvalidComponentErr;
  if (outDescription)
    *outDescription = theComponent->mDescription;
  OSErr theErr = outName ? SetPascalString(outName, theComponent->mName) : kQTNoErr;
  if (theErr == kQTNoErr && outInfo)
    theErr = SetPascalString(outInfo, theComponent->mInfo);
  return theErr;
}

OSErr GetComponentInstanceInfo(ComponentInstance inInstance, ComponentDescription* outDescription)
{
  ComponentInstanceRecord* theInstance = LiveInstance(inInstance);
  if (!theInstance)
    return kQTParamErr;
  if (outDescription)
    *outDescription = theInstance->mComponent.mDescription;
  return kQTNoErr;
}

OSErr CloseComponent(ComponentInstance inInstance)
{
  if (!gInstances.Remove(inInstance))
    return kQTParamErr;
  delete inInstance;
  return kQTNoErr;
}

std::unique_ptr<ComponentRecord> MakeComponent(ComponentKind inKind, OSType inType, OSType inSubType, UInt32 inFlags,
                                               std::string inName, std::string inInfo, std::string inExtensions,
                                               std::string inMIME, std::string inDescription, OSType inFileType = 0)
{
  return std::make_unique<ComponentRecord>(
      ComponentRecord{inKind, {inType, inSubType, kManufacturer, inFlags, 0}, std::move(inName), std::move(inInfo),
                      std::move(inExtensions), std::move(inMIME), std::move(inDescription), inFileType});
}

}  // namespace

void BuildComponents(int inExporterCount)
{
  gComponents.clear();
  gComponents.push_back(MakeComponent(ComponentKind::kJpegImporter, kQTGraphicsImporterType, MakeOSType("JPEG"),
                                      kQTHasFormatInfoFlag, "JPEG", "Reads JPEG images", "jpg,jpeg,jpe",
                                      "image/jpeg", "JPEG"));
  gComponents.push_back(MakeComponent(ComponentKind::kBmpImporter, kQTGraphicsImporterType, MakeOSType("BMPf"),
                                      kQTHasFormatInfoFlag, "BMP", "Reads Windows bitmaps", "bmp,dib", "image/bmp",
                                      "BMP"));
  gComponents.push_back(MakeComponent(ComponentKind::kBaseExporter, kQTGraphicsExporterType, MakeOSType("base"),
                                      kQTBaseExporterFlag, "Base Exporter", "What other exporters build on", "", "",
                                      ""));
  for (int i = 1; i <= inExporterCount; ++i) {
    if (i == 1) {
      gComponents.push_back(MakeComponent(ComponentKind::kBmpExporter, kQTGraphicsExporterType, MakeOSType("BMPf"),
                                          0, "BMP", "Writes Windows bitmaps", "bmp", "image/bmp", "BMP",
                                          MakeOSType("BMPf")));
      continue;
    }
    std::string theNumber = FormatC("%02d", i);
    // 'X', a blank and the two digits.
    OSType theCode = (MakeOSType("X   ") & 0xFFFF0000u) | (static_cast<OSType>(theNumber[0]) << 8) |
                     static_cast<OSType>(theNumber[1]);
    gComponents.push_back(MakeComponent(ComponentKind::kListedExporter, kQTGraphicsExporterType, theCode, 0,
                                        "Exporter " + theNumber, "Lists a format it cannot write", "x" + theNumber,
                                        "image/x-listed-" + theNumber, "Listed " + theNumber, theCode));
  }
}

Component NextComponent(Component inPrevious, const ComponentDescription& inLooking)
{
  auto theNext = gComponents.begin();
  if (inPrevious) {
    theNext = std::find_if(gComponents.begin(), gComponents.end(),
                           [&](const auto& inComponent) { return inComponent.get() == inPrevious; });
    if (theNext == gComponents.end())
      return nullptr;
    ++theNext;
  }
  for (; theNext != gComponents.end(); ++theNext)
    if (Matches((*theNext)->mDescription, inLooking))
      return theNext->get();
  return nullptr;
}

ComponentInstanceRecord* LiveInstance(ComponentInstance inInstance)
{
  return gInstances.Contains(inInstance) ? inInstance : nullptr;
}

ComponentInstance OpenInstance(Component inComponent)
{
  ComponentRecord* theComponent = LiveComponent(inComponent);
  if (!theComponent) {
    SetMoviesError(kQTInvalidComponentErr);
    return nullptr;
  }
  ComponentInstanceRecord* theInstance = theComponent->mDescription.componentType == kQTGraphicsImporterType
                                             ? NewImporter(*theComponent)
                                             : NewExporter(*theComponent);
  if (!theInstance) {
    SetMoviesError(kQTMemFullErr);
    return nullptr;
  }
  gInstances.Add(theInstance);
  SetMoviesError(kQTNoErr);
  return theInstance;
}

void AddComponentServices(QTServices& ioTable)
{
  ioTable.FindNextComponent = FindNextComponent;
  ioTable.GetComponentInfo = GetComponentInfo;
  ioTable.GetComponentInstanceInfo = GetComponentInstanceInfo;
  ioTable.OpenComponent = OpenInstance;
  ioTable.CloseComponent = CloseComponent;
}
