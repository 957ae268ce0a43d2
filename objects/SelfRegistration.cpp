#include "objects/SelfRegistration.h"

#include "core/EventLog.h"
#include "core/SystemUtilities.h"
#include "objects/ClassTable.h"
#include "platform/automation/Registration.h"

namespace {

constexpr GUID kCategoryProgrammable = TL_GUID("{40FC6ED5-2438-11CF-A3DB-080036F12502}");

std::string ModulePath()
{
  return ModulePathOf(reinterpret_cast<const void*>(&RegisterModule));
}

}  // namespace

HRESULT RegisterModule()
{
  const ServerModule& theModule = Tessaline4Module();
  const HRESULT theResult = RegisterServer(theModule, ThreadingModel::kNeutralSynchronized, ModulePath());
  if (!IsNT5OrLater())
    static_cast<void>(RegisterApartmentScripts(true));
  static_cast<void>(WriteModulePath());
  static_cast<void>(CreateEventSource(nullptr, kEventSource));
  static_cast<void>(RegisterClassInCategory(kLibraryId, kCategoryProgrammable));
  if (FAILED(theResult))
    return theResult;
  LogEvent("Tessaline Registered Successfully", EVENTLOG_INFORMATION_TYPE);
  return S_OK;
}

HRESULT UnregisterModule()
{
  static_cast<void>(UnregisterClassFromCategory(kLibraryId, kCategoryProgrammable));
  static_cast<void>(UnregisterServer(Tessaline4Module()));
  return S_OK;
}

HRESULT RegisterApartmentScripts(bool inRegister)
{
  const ServerModule& theModule = Tessaline4Module();
  const std::string thePath = ModulePath();
  HRESULT theResult = S_OK;
  for (const ServerClass& theClass : theModule.Classes()) {
    theResult = inRegister ? RegisterServerClass(theClass, theModule.Library(), ThreadingModel::kApartment, thePath)
                           : UnregisterServerClass(theClass);
    if (FAILED(theResult))
      break;
  }
  return theResult;
}
