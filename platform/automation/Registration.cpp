#include "platform/automation/Registration.h"

#include "platform/registry/RegistryKey.h"
#include "platform/base/Numbers.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace {

HRESULT FromWin32(LONG inError)
{
  return HRESULT_FROM_WIN32(static_cast<DWORD>(inError));
}

// Writes the default value (and the named values) of a key, creating it.
HRESULT WriteKey(const std::string& inPath, const std::string& inDefault,
                 std::initializer_list<std::pair<const char*, std::string>> inValues = {})
{
  RegistryKey theKey;
  if (LONG theError = theKey.Create(HKEY_CLASSES_ROOT, inPath); theError != ERROR_SUCCESS)
    return FromWin32(theError);
  if (!inDefault.empty() || inValues.size() == 0) {
    if (LONG theError = theKey.WriteString("", inDefault); theError != ERROR_SUCCESS)
      return FromWin32(theError);
  }
  for (const auto& [theName, theValue] : inValues)
    if (LONG theError = theKey.WriteString(theName, theValue); theError != ERROR_SUCCESS)
      return FromWin32(theError);
  return S_OK;
}

HRESULT CreateEmptyKey(const std::string& inPath)
{
  RegistryKey theKey;
  LONG theError = theKey.Create(HKEY_CLASSES_ROOT, inPath);
  return theError == ERROR_SUCCESS ? S_OK : FromWin32(theError);
}

HRESULT DeleteTree(const std::string& inPath)
{
  LONG theError = RegDeleteTreeA(HKEY_CLASSES_ROOT, inPath.c_str());
  if (theError == ERROR_SUCCESS || theError == ERROR_FILE_NOT_FOUND)
    return S_OK;
  return FromWin32(theError);
}

bool HasSubkeys(const std::string& inPath)
{
  RegistryKey theKey;
  if (theKey.Open(HKEY_CLASSES_ROOT, inPath) != ERROR_SUCCESS)
    return false;
  char theName[256];
  DWORD theSize = sizeof theName;
  LONG theError = RegEnumKeyExA(theKey.Get(), 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr);
  return theError == ERROR_SUCCESS || theError == ERROR_MORE_DATA;
}

// Deletes a key that holds neither subkeys nor a default value.
void DeleteIfEmpty(const std::string& inPath)
{
  if (!HasSubkeys(inPath) && !ReadRegistryString(HKEY_CLASSES_ROOT, inPath))
    RegDeleteKeyA(HKEY_CLASSES_ROOT, inPath.c_str());
}

std::string VersionedProgId(const ServerClass& inClass)
{
  return std::string(inClass.mProgId) + "." + std::to_string(inClass.mVersion);
}

std::string LibraryVersion(const TypeLibrary& inLibrary)
{
  return FormatC("%u.%u", unsigned{inLibrary.mMajor}, unsigned{inLibrary.mMinor});
}

const char* ThreadingModelName(ThreadingModel inModel)
{
  switch (inModel) {
  case ThreadingModel::kApartment: return "Apartment";
  case ThreadingModel::kNeutralSynchronized: return "Neutral";
  case ThreadingModel::kBoth: return "Both";
  }
  return "Apartment";
}

}  // namespace

std::string ModulePathOf(const void* inAddress)
{
  Dl_info theInfo{};
  if (!dladdr(inAddress, &theInfo) || !theInfo.dli_fname)
    return {};
  std::unique_ptr<char, decltype(&std::free)> theResolved(realpath(theInfo.dli_fname, nullptr), &std::free);
  return theResolved ? std::string(theResolved.get()) : std::string(theInfo.dli_fname);
}

HRESULT RegisterServerClass(const ServerClass& inClass, const TypeLibrary& inLibrary, ThreadingModel inModel,
                            const std::string& inModulePath)
{
  const std::string theClassId = inClass.mClassIdText ? inClass.mClassIdText : GuidToString(*inClass.mClassId);
  const std::string theVersioned = VersionedProgId(inClass);
  const std::string theClassKey = "CLSID\\" + theClassId;
  const std::string theLibraryId =
      inLibrary.mLibraryIdText ? inLibrary.mLibraryIdText : GuidToString(*inLibrary.mLibraryId);

  HRESULT theResult = WriteKey(theVersioned, inClass.mDescription);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theVersioned + "\\CLSID", theClassId);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(inClass.mProgId, inClass.mDescription);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(std::string(inClass.mProgId) + "\\CLSID", theClassId);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(std::string(inClass.mProgId) + "\\CurVer", theVersioned);
  // The class key is rebuilt, not merged: values of an earlier registration go.
  if (SUCCEEDED(theResult))
    theResult = DeleteTree(theClassKey);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theClassKey, inClass.mDescription);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theClassKey + "\\ProgID", theVersioned);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theClassKey + "\\VersionIndependentProgID", inClass.mProgId);
  if (SUCCEEDED(theResult))
    theResult = CreateEmptyKey(theClassKey + "\\Programmable");
  if (SUCCEEDED(theResult)) {
    if (inModel == ThreadingModel::kNeutralSynchronized)
      theResult = WriteKey(theClassKey + "\\InprocServer32", inModulePath,
                           {{"ThreadingModel", ThreadingModelName(inModel)}, {"Synchronization", "Required"}});
    else
      theResult =
          WriteKey(theClassKey + "\\InprocServer32", inModulePath, {{"ThreadingModel", ThreadingModelName(inModel)}});
  }
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theClassKey + "\\TypeLib", theLibraryId);
  return theResult;
}

HRESULT UnregisterServerClass(const ServerClass& inClass)
{
  HRESULT theResult = DeleteTree(VersionedProgId(inClass));
  HRESULT theNext = DeleteTree(inClass.mProgId);
  if (SUCCEEDED(theResult))
    theResult = theNext;
  theNext = DeleteTree("CLSID\\" + GuidToString(*inClass.mClassId));
  return SUCCEEDED(theResult) ? theNext : theResult;
}

HRESULT RegisterTypeLibrary(const TypeLibrary& inLibrary, const std::string& inModulePath)
{
  const std::string theLibraryId = GuidToString(*inLibrary.mLibraryId);
  const std::string theVersion = LibraryVersion(inLibrary);
  const std::string theKey = "TypeLib\\" + theLibraryId + "\\" + theVersion;
  std::string theFolder = inModulePath.substr(0, inModulePath.rfind('/') + 1);

  HRESULT theResult = WriteKey(theKey, inLibrary.mHelp);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theKey + "\\0\\win32", inModulePath);
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theKey + "\\FLAGS", "0");
  if (SUCCEEDED(theResult))
    theResult = WriteKey(theKey + "\\HELPDIR", theFolder);
  for (const DispatchTable* theTable : inLibrary.mInterfaces) {
    if (FAILED(theResult))
      break;
    const std::string theInterfaceKey = "Interface\\" + GuidToString(*theTable->mIID);
    theResult = WriteKey(theInterfaceKey, theTable->mName);
    if (SUCCEEDED(theResult))
      theResult = WriteKey(theInterfaceKey + "\\TypeLib", theLibraryId, {{"Version", theVersion}});
  }
  return theResult;
}

HRESULT UnregisterTypeLibrary(const TypeLibrary& inLibrary)
{
  const std::string theLibraryKey = "TypeLib\\" + GuidToString(*inLibrary.mLibraryId);
  HRESULT theResult = DeleteTree(theLibraryKey + "\\" + LibraryVersion(inLibrary));
  DeleteIfEmpty(theLibraryKey);
  for (const DispatchTable* theTable : inLibrary.mInterfaces) {
    HRESULT theNext = DeleteTree("Interface\\" + GuidToString(*theTable->mIID));
    if (SUCCEEDED(theResult))
      theResult = theNext;
  }
  return theResult;
}

HRESULT RegisterCategory(REFGUID inCategoryId, const std::string& inDescription)
{
  return WriteKey("Component Categories\\" + GuidToString(inCategoryId), "", {{"409", inDescription}});
}

HRESULT RegisterClassInCategory(REFCLSID inClassId, REFGUID inCategoryId)
{
  return CreateEmptyKey("CLSID\\" + GuidToString(inClassId) + "\\Implemented Categories\\" +
                        GuidToString(inCategoryId));
}

HRESULT UnregisterClassFromCategory(REFCLSID inClassId, REFGUID inCategoryId)
{
  const std::string theClassKey = "CLSID\\" + GuidToString(inClassId);
  const std::string theCategories = theClassKey + "\\Implemented Categories";
  HRESULT theResult = DeleteTree(theCategories + "\\" + GuidToString(inCategoryId));
  DeleteIfEmpty(theCategories);
  DeleteIfEmpty(theClassKey);
  return theResult;
}

HRESULT RegisterServer(const ServerModule& inModule, ThreadingModel inModel, const std::string& inModulePath)
{
  for (const ServerClass& theClass : inModule.Classes())
    if (HRESULT theResult = RegisterServerClass(theClass, inModule.Library(), inModel, inModulePath);
        FAILED(theResult))
      return theResult;
  return RegisterTypeLibrary(inModule.Library(), inModulePath);
}

HRESULT UnregisterServer(const ServerModule& inModule)
{
  HRESULT theResult = S_OK;
  for (const ServerClass& theClass : inModule.Classes()) {
    HRESULT theNext = UnregisterServerClass(theClass);
    if (SUCCEEDED(theResult))
      theResult = theNext;
  }
  HRESULT theNext = UnregisterTypeLibrary(inModule.Library());
  return SUCCEEDED(theResult) ? theNext : theResult;
}
