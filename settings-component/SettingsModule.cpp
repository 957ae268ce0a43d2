// The settings component's module: its one class, its type library, and the
// four entry points every server exports.

#include "settings-component/Settings.h"

#include "platform/automation/ClassFactory.h"
#include "platform/automation/Registration.h"

namespace {

constexpr CLSID kSettingsClass = TL_GUID("{3D07CDD9-DDF6-465C-B4CA-31FC368B0078}");
constexpr GUID kLibraryId = TL_GUID("{5F3AEF64-4D3B-4EFB-81BA-977B8C902A00}");

const DispatchTable* const kInterfaces[] = {&kSettingsTable};
const ServerClass kClasses[] = {
    {&kSettingsClass, "Settings", "TLUtilities4.Settings", 1, "Settings Class", &ComObject<Settings>::CreateInstance},
};
const TypeLibrary kLibrary{&kLibraryId, "TLUtilities4", "Tessaline 4.0 Utilities Library", 1, 0, kInterfaces};

ServerModule& Module()
{
  static ServerModule sModule(kClasses, kLibrary);
  return sModule;
}

}  // namespace

extern "C" TL_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID inClassId, REFIID inIID, void** outObject)
{
  return Module().GetClassObject(inClassId, inIID, outObject);
}

extern "C" TL_SERVER_EXPORT HRESULT DllCanUnloadNow()
{
  return Module().CanUnloadNow();
}

// The class's keys (Apartment threading) and the type library; nothing else.
extern "C" TL_SERVER_EXPORT HRESULT DllRegisterServer()
{
  return RegisterServer(Module(), ThreadingModel::kApartment, ModulePathOf(reinterpret_cast<void*>(&Module)));
}

extern "C" TL_SERVER_EXPORT HRESULT DllUnregisterServer()
{
  return UnregisterServer(Module());
}
