#include "platform/automation/Activation.h"

#include "platform/automation/ComMemory.h"
#include "platform/registry/RegistryKey.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

constexpr std::size_t kMaxProgIdLength = 255;
constexpr int kMaxCurVerLinks = 4;

// A ProgID names one key directly below HKEY_CLASSES_ROOT.
bool IsProgIdText(std::string_view inProgId)
{
  return !inProgId.empty() && inProgId.size() <= kMaxProgIdLength && inProgId.find('\\') == std::string_view::npos;
}

// The default string value of a key below HKEY_CLASSES_ROOT into outText
// (nothing when the key or the value is missing); the registry's failure to
// be read is an error of its own, not a missing key.
HRESULT ReadClassesString(const std::string& inPath, std::optional<std::string>& outText)
{
  outText.reset();
  RegistryKey theKey;
  const LONG theError = theKey.Open(HKEY_CLASSES_ROOT, inPath);
  if (theError == ERROR_FILE_NOT_FOUND)
    return S_OK;
  if (theError != ERROR_SUCCESS)
    return HRESULT_FROM_WIN32(static_cast<DWORD>(theError));
  outText = theKey.ReadString("");
  return S_OK;
}

HRESULT ClassIdFromProgId(std::string inProgId, CLSID& outClassId)
{
  outClassId = GUID_NULL;
  if (!IsProgIdText(inProgId))
    return CO_E_CLASSSTRING;
  std::optional<std::string> theText;
  for (int i = 0; i < kMaxCurVerLinks; ++i) {
    if (HRESULT theResult = ReadClassesString(inProgId + "\\CurVer", theText); FAILED(theResult))
      return theResult;
    if (!theText || !IsProgIdText(*theText) || *theText == inProgId)
      break;
    inProgId = *theText;
  }
  if (HRESULT theResult = ReadClassesString(inProgId + "\\CLSID", theText); FAILED(theResult))
    return theResult;
  std::optional<GUID> theClassId = theText ? ParseGuid(*theText) : std::nullopt;
  if (!theClassId)
    return CO_E_CLASSSTRING;
  outClassId = *theClassId;
  return S_OK;
}

// Server libraries stay loaded for the life of the process: objects and
// factories they made may be alive anywhere.
GetClassObjectFunction LoadServer(const std::string& inPath, HRESULT& outResult)
{
  static std::mutex sLock;
  static std::map<std::string, void*> sLibraries;
  std::lock_guard theLock(sLock);
  void*& theHandle = sLibraries[inPath];
  if (!theHandle)
    theHandle = dlopen(inPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!theHandle) {
    sLibraries.erase(inPath);
    outResult = CO_E_DLLNOTFOUND;
    return nullptr;
  }
  auto theFunction = reinterpret_cast<GetClassObjectFunction>(dlsym(theHandle, "DllGetClassObject"));
  outResult = theFunction ? S_OK : CO_E_ERRORINDLL;
  return theFunction;
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR inProgId, CLSID* outClassId)
{
  if (!inProgId || !outClassId)
    return E_INVALIDARG;
  return ClassIdFromProgId(Utf16ToUtf8(inProgId), *outClassId);
}

HRESULT ProgIDFromCLSID(REFCLSID inClassId, LPOLESTR* outProgId)
{
  if (!outProgId)
    return E_INVALIDARG;
  *outProgId = nullptr;
  std::string theProgId = ProgIdOfClass(inClassId);
  if (theProgId.empty())
    return REGDB_E_CLASSNOTREG;
  std::u16string theWide = Utf8ToUtf16(theProgId);
  auto* theCopy = static_cast<LPOLESTR>(CoTaskMemAlloc((theWide.size() + 1) * sizeof(OLECHAR)));
  if (!theCopy)
    return E_OUTOFMEMORY;
  std::char_traits<char16_t>::copy(theCopy, theWide.c_str(), theWide.size() + 1);
  *outProgId = theCopy;
  return S_OK;
}

std::string ProgIdOfClass(REFCLSID inClassId)
{
  return ReadRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(inClassId) + "\\ProgID").value_or("");
}

HRESULT CoGetClassObject(REFCLSID inClassId, DWORD inContext, void*, REFIID inIID, void** outObject)
{
  if (!outObject)
    return E_INVALIDARG;
  *outObject = nullptr;
  if (!(inContext & CLSCTX_INPROC_SERVER))
    return REGDB_E_CLASSNOTREG;
  std::optional<std::string> thePath =
      ReadRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(inClassId) + "\\InprocServer32");
  if (!thePath || thePath->empty())
    return REGDB_E_CLASSNOTREG;
  HRESULT theResult = S_OK;
  GetClassObjectFunction theGetClassObject = LoadServer(*thePath, theResult);
  if (!theGetClassObject)
    return theResult;
  return theGetClassObject(inClassId, inIID, outObject);
}

HRESULT CoCreateInstance(REFCLSID inClassId, IUnknown* inOuter, DWORD inContext, REFIID inIID, void** outObject)
{
  if (!outObject)
    return E_POINTER;
  *outObject = nullptr;
  if (inOuter)
    return CLASS_E_NOAGGREGATION;
  ComPtr<IClassFactory> theFactory;
  if (HRESULT theResult = CoGetClassObject(inClassId, inContext, nullptr, IID_IClassFactory, theFactory.ReceiveVoid());
      FAILED(theResult))
    return theResult;
  return theFactory->CreateInstance(nullptr, inIID, outObject);
}

HRESULT CreateObjectFromProgID(std::string_view inProgId, REFIID inIID, void** outObject)
{
  if (!outObject)
    return E_POINTER;
  *outObject = nullptr;
  CLSID theClassId;
  if (HRESULT theResult = ClassIdFromProgId(std::string(inProgId), theClassId); FAILED(theResult))
    return theResult;
  return CoCreateInstance(theClassId, nullptr, CLSCTX_INPROC_SERVER, inIID, outObject);
}
