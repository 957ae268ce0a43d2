#pragma once
// Activation: finding a class through the registry and making an object.
//
// HKEY_CLASSES_ROOT\<ProgID>\CLSID names the class (a version-independent
// ProgID is followed through its CurVer key first); CLSID\{...}\InprocServer32
// names the server's shared library, which is loaded once with
// dlopen(RTLD_LOCAL) and never unloaded; its DllGetClassObject gives the class
// factory, whose CreateInstance makes the object.

#include "platform/automation/ClassFactory.h"

#include <string>
#include <string_view>

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;

// CO_E_CLASSSTRING for a ProgID that is not registered; the registry's own
// error as an HRESULT (HRESULT_FROM_WIN32) when it cannot be read.
HRESULT CLSIDFromProgID(LPCOLESTR inProgId, CLSID* outClassId);
// The versioned ProgID of the class as a CoTaskMem string;
// REGDB_E_CLASSNOTREG when the class has none.
HRESULT ProgIDFromCLSID(REFCLSID inClassId, LPOLESTR* outProgId);

// REGDB_E_CLASSNOTREG when the class or its InprocServer32 is not registered,
// CO_E_DLLNOTFOUND when the library does not load, CO_E_ERRORINDLL when it
// has no DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID inClassId, DWORD inContext, void* inReserved, REFIID inIID, void** outObject);
HRESULT CoCreateInstance(REFCLSID inClassId, IUnknown* inOuter, DWORD inContext, REFIID inIID, void** outObject);

// The same by a UTF-8 ProgID.
HRESULT CreateObjectFromProgID(std::string_view inProgId, REFIID inIID, void** outObject);
// The versioned ProgID of a class in UTF-8, empty when it has none.
std::string ProgIdOfClass(REFCLSID inClassId);
