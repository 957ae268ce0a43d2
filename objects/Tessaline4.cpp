// The entry points of libTessaline4.so, the graphics library's in-process
// automation server. Loading the library reads no preference and starts
// nothing; the class table and its factories are made at the first request,
// and the factories handed out are released when the library is unloaded.

#include "objects/ClassTable.h"
#include "objects/SelfRegistration.h"

extern "C" TL_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID inClassId, REFIID inIID, void** outObject)
{
  return Tessaline4Module().GetClassObject(inClassId, inIID, outObject);
}

extern "C" TL_SERVER_EXPORT HRESULT DllCanUnloadNow()
{
  return Tessaline4Module().CanUnloadNow();
}

extern "C" TL_SERVER_EXPORT HRESULT DllRegisterServer()
{
  return RegisterModule();
}

extern "C" TL_SERVER_EXPORT HRESULT DllUnregisterServer()
{
  return UnregisterModule();
}
