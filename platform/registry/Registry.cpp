#include "platform/registry/Registry.h"

#include "platform/base/Environment.h"
#include "platform/base/HandleNumbers.h"
#include "platform/base/WinError.h"
#include "platform/registry/RegistryStore.h"

#include <pthread.h>
#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Open keys are entries of one process-wide table, found by the 32-bit number
// their HKEY carries; numbers count up and are not given again while the
// counter has not gone round, so a closed or forged handle finds nothing. An
// entry holds the key's row id and the access asked for: everything else is
// read from the database at each call.

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::uint32_t kLastHandleNumber = 0x7FFFFFFFu;  // predefined keys live above

struct OpenKey {
  std::int64_t mId = 0;
  REGSAM mAccess = 0;
};

std::mutex gKeysLock;
std::unordered_map<std::uint32_t, OpenKey> gKeys;
std::uint32_t gNextHandleNumber = 1;
std::once_flag gForkHandlersInstalled;

void InstallForkHandlers()
{
  std::call_once(gForkHandlersInstalled, [] {
    pthread_atfork([] { gKeysLock.lock(); }, [] { gKeysLock.unlock(); }, [] { gKeysLock.unlock(); });
  });
}

std::optional<std::int64_t> RootId(HKEY inKey)
{
  if (inKey == HKEY_LOCAL_MACHINE)
    return kMachineRootId;
  if (inKey == HKEY_CLASSES_ROOT)
    return kClassesRootId;
  return std::nullopt;
}

LONG FindKey(HKEY inKey, OpenKey& outKey)
{
  if (std::optional<std::int64_t> theRoot = RootId(inKey)) {
    outKey = {*theRoot, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  InstallForkHandlers();
  std::lock_guard theGuard(gKeysLock);
  auto theEntry = gKeys.find(TableNumber(inKey));
  if (theEntry == gKeys.end())
    return ERROR_INVALID_HANDLE;
  outKey = theEntry->second;
  return ERROR_SUCCESS;
}

HKEY AddKey(std::int64_t inId, REGSAM inAccess)
{
  InstallForkHandlers();
  std::lock_guard theGuard(gKeysLock);
  std::uint32_t theNumber = TakeFreeNumber(gKeys, gNextHandleNumber, 1, kLastHandleNumber);
  gKeys[theNumber] = {inId, inAccess};
  return NumberToHandle<HKEY>(theNumber);
}

bool Allows(const OpenKey& inKey, REGSAM inRight)
{
  return (inKey.mAccess & inRight) == inRight;
}

// A subkey path split at '\'. Null or empty is the key itself; one trailing
// '\' is allowed; a leading '\' or an empty name inside is a bad path; a name
// longer than 255 bytes is refused.
LONG SplitPath(LPCSTR inSubKey, std::vector<std::string>& outNames)
{
  outNames.clear();
  if (inSubKey == nullptr || inSubKey[0] == '\0')
    return ERROR_SUCCESS;
  std::string_view thePath(inSubKey);
  if (thePath.front() == '\\')
    return ERROR_BAD_PATHNAME;
  if (thePath.back() == '\\')
    thePath.remove_suffix(1);
  std::size_t theStart = 0;
  while (true) {
    std::size_t theEnd = thePath.find('\\', theStart);
    std::string_view theName = thePath.substr(theStart, theEnd == std::string_view::npos ? std::string_view::npos
                                                                                          : theEnd - theStart);
    if (theName.empty())
      return ERROR_BAD_PATHNAME;
    if (theName.size() > kMaxKeyNameLength)
      return ERROR_INVALID_PARAMETER;
    outNames.emplace_back(theName);
    if (theEnd == std::string_view::npos)
      return ERROR_SUCCESS;
    theStart = theEnd + 1;
  }
}

LONG CheckValueName(LPCSTR inName)
{
  if (inName != nullptr && std::strlen(inName) > kMaxValueNameLength)
    return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

std::string_view ValueName(LPCSTR inName)
{
  return inName != nullptr ? std::string_view(inName) : std::string_view();
}

bool KeyExists(sqlite3* inDatabase, std::int64_t inId)
{
  return RegistryStatement(inDatabase, "SELECT 1 FROM keys WHERE id = ?1").Bind(1, inId).Step();
}

std::optional<std::int64_t> FindChild(sqlite3* inDatabase, std::int64_t inParent, std::string_view inName)
{
  RegistryStatement theQuery(inDatabase, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
  theQuery.Bind(1, inParent).BindText(2, inName);
  if (!theQuery.Step())
    return std::nullopt;
  return theQuery.Int64(0);
}

bool HasChildren(sqlite3* inDatabase, std::int64_t inId)
{
  return RegistryStatement(inDatabase, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1").Bind(1, inId).Step();
}

// Walks from inBase along inNames: ERROR_SUCCESS with the key's id,
// ERROR_FILE_NOT_FOUND when a name is missing, ERROR_KEY_DELETED when the base
// itself is gone.
LONG Resolve(sqlite3* inDatabase, std::int64_t inBase, const std::vector<std::string>& inNames, std::int64_t& outId)
{
  if (!KeyExists(inDatabase, inBase))
    return ERROR_KEY_DELETED;
  std::int64_t theId = inBase;
  for (const std::string& theName : inNames) {
    std::optional<std::int64_t> theChild = FindChild(inDatabase, theId, theName);
    if (!theChild)
      return ERROR_FILE_NOT_FOUND;
    theId = *theChild;
  }
  outId = theId;
  return ERROR_SUCCESS;
}

// Resolve as a kept read: asked again of the database only after a write to
// the store. The question is the base key and the path, the answer the id.
LONG ResolveKept(std::int64_t inBase, const std::vector<std::string>& inNames, std::int64_t& outId)
{
  std::string theQuestion = "key " + std::to_string(inBase);
  for (const std::string& theName : inNames)
    theQuestion.append("\\").append(theName);
  std::string theAnswer;
  LONG theResult = RegistryStore::ReadKept(
    theQuestion,
    [&](sqlite3* inDatabase, std::string& outAnswer) {
      std::int64_t theId = 0;
      LONG theFound = Resolve(inDatabase, inBase, inNames, theId);
      outAnswer.assign(reinterpret_cast<const char*>(&theId), sizeof theId);
      return theFound;
    },
    theAnswer);
  if (theResult == ERROR_SUCCESS)
    std::memcpy(&outId, theAnswer.data(), sizeof outId);
  return theResult;
}

// Removes the values and subkeys of inId and, when inWithKey, the key itself.
void DeleteTree(sqlite3* inDatabase, std::int64_t inId, bool inWithKey)
{
  constexpr const char* kTree = "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                                "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) ";
  RegistryStatement(inDatabase, std::string(kTree) + "DELETE FROM vals WHERE key IN tree").Bind(1, inId).Step();
  RegistryStatement(inDatabase, std::string(kTree) + "DELETE FROM keys WHERE id IN tree AND (?2 OR id != ?1)")
    .Bind(1, inId)
    .Bind(2, inWithKey ? 1 : 0)
    .Step();
}

bool IsStringType(DWORD inType)
{
  return inType == REG_SZ || inType == REG_EXPAND_SZ;
}

// The value inName of the key inId as a kept read's answer: the type's four
// bytes, then the data.
LONG ReadValue(sqlite3* inDatabase, std::int64_t inId, std::string_view inName, std::string& outAnswer)
{
  RegistryStatement theQuery(inDatabase, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
  theQuery.Bind(1, inId).BindText(2, inName);
  if (!theQuery.Step())
    return KeyExists(inDatabase, inId) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  const DWORD theType = static_cast<DWORD>(theQuery.Int64(0));
  outAnswer.assign(reinterpret_cast<const char*>(&theType), sizeof theType).append(theQuery.Blob(1));
  return ERROR_SUCCESS;
}

// The type and data of ReadValue's answer into the caller's places: the size
// alone without a buffer, ERROR_MORE_DATA with the buffer untouched when it is
// too small.
LONG HandOverValue(const std::string& inAnswer, LPDWORD outType, LPBYTE outData, LPDWORD ioSize)
{
  DWORD theType = REG_NONE;
  std::memcpy(&theType, inAnswer.data(), sizeof theType);
  const std::string_view theData = std::string_view(inAnswer).substr(sizeof theType);
  if (outType != nullptr)
    *outType = theType;
  if (ioSize == nullptr)
    return ERROR_SUCCESS;
  DWORD theSize = static_cast<DWORD>(theData.size());
  if (outData != nullptr && theSize > *ioSize) {
    *ioSize = theSize;
    return ERROR_MORE_DATA;
  }
  if (outData != nullptr)
    std::memcpy(outData, theData.data(), theSize);
  *ioSize = theSize;
  return ERROR_SUCCESS;
}

// The open key inKey with the right inRight.
LONG FindKeyAllowing(HKEY inKey, REGSAM inRight, OpenKey& outKey)
{
  if (LONG theError = FindKey(inKey, outKey); theError != ERROR_SUCCESS)
    return theError;
  return Allows(outKey, inRight) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// The open key inKey with the right inRight, for the value inValueName.
LONG FindValueKey(HKEY inKey, REGSAM inRight, LPCSTR inValueName, OpenKey& outKey)
{
  if (LONG theError = FindKeyAllowing(inKey, inRight, outKey); theError != ERROR_SUCCESS)
    return theError;
  return CheckValueName(inValueName);
}

// The open key inKey and the names of the subkey path inSubKey below it.
LONG FindSubKeyPath(HKEY inKey, LPCSTR inSubKey, OpenKey& outBase, std::vector<std::string>& outNames)
{
  if (LONG theError = FindKey(inKey, outBase); theError != ERROR_SUCCESS)
    return theError;
  return SplitPath(inSubKey, outNames);
}

}  // namespace

LONG RegOpenKeyExA(HKEY inKey, LPCSTR inSubKey, DWORD inOptions, REGSAM inAccess, HKEY* outKey)
{
  if (outKey == nullptr)
    return ERROR_INVALID_PARAMETER;
  *outKey = nullptr;
  OpenKey theBase;
  std::vector<std::string> theNames;
  if (LONG theError = FindSubKeyPath(inKey, inSubKey, theBase, theNames); theError != ERROR_SUCCESS)
    return theError;
  std::int64_t theId = 0;
  LONG theResult = ResolveKept(theBase.mId, theNames, theId);
  if (theResult == ERROR_SUCCESS)
    *outKey = AddKey(theId, inAccess);
  return theResult;
}

LONG RegCreateKeyExA(HKEY inKey, LPCSTR inSubKey, DWORD inReserved, LPSTR inClass, DWORD inOptions,
                     REGSAM inAccess, void* inSecurity, HKEY* outKey, LPDWORD outDisposition)
{
  if (outKey == nullptr || inSubKey == nullptr)
    return ERROR_INVALID_PARAMETER;
  *outKey = nullptr;
  OpenKey theBase;
  std::vector<std::string> theNames;
  if (LONG theError = FindSubKeyPath(inKey, inSubKey, theBase, theNames); theError != ERROR_SUCCESS)
    return theError;

  // An existing key is opened without taking the write lock.
  std::int64_t theId = 0;
  DWORD theDisposition = REG_OPENED_EXISTING_KEY;
  LONG theResult = ResolveKept(theBase.mId, theNames, theId);
  if (theResult == ERROR_FILE_NOT_FOUND) {
    if (!Allows(theBase, KEY_CREATE_SUB_KEY))
      return ERROR_ACCESS_DENIED;
    theResult = RegistryStore::Write([&](sqlite3* inDatabase) -> LONG {
      if (!KeyExists(inDatabase, theBase.mId))
        return ERROR_KEY_DELETED;
      theDisposition = REG_OPENED_EXISTING_KEY;
      theId = theBase.mId;
      for (const std::string& theName : theNames) {
        if (std::optional<std::int64_t> theChild = FindChild(inDatabase, theId, theName)) {
          theId = *theChild;
          continue;
        }
        RegistryStatement(inDatabase, "INSERT INTO keys(parent, name) VALUES(?1, ?2)")
          .Bind(1, theId)
          .BindText(2, theName)
          .Step();
        theId = sqlite3_last_insert_rowid(inDatabase);
        theDisposition = REG_CREATED_NEW_KEY;
      }
      return ERROR_SUCCESS;
    });
  }
  if (theResult != ERROR_SUCCESS)
    return theResult;
  *outKey = AddKey(theId, inAccess);
  if (outDisposition != nullptr)
    *outDisposition = theDisposition;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY inKey)
{
  if (RootId(inKey))
    return ERROR_SUCCESS;
  InstallForkHandlers();
  std::lock_guard theGuard(gKeysLock);
  return gKeys.erase(TableNumber(inKey)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY inKey, LPCSTR inValueName, LPDWORD inReserved, LPDWORD outType, LPBYTE outData,
                      LPDWORD ioSize)
{
  if (inReserved != nullptr || (outData != nullptr && ioSize == nullptr))
    return ERROR_INVALID_PARAMETER;
  OpenKey theKey;
  if (LONG theError = FindValueKey(inKey, KEY_QUERY_VALUE, inValueName, theKey); theError != ERROR_SUCCESS)
    return theError;
  std::string theAnswer;
  LONG theResult = RegistryStore::ReadKept(
    "value " + std::to_string(theKey.mId) + "\\" + std::string(ValueName(inValueName)),
    [&](sqlite3* inDatabase, std::string& outAnswer) {
      return ReadValue(inDatabase, theKey.mId, ValueName(inValueName), outAnswer);
    },
    theAnswer);
  if (theResult != ERROR_SUCCESS)
    return theResult;
  return HandOverValue(theAnswer, outType, outData, ioSize);
}

LONG RegGetValueA(HKEY inKey, LPCSTR inSubKey, LPCSTR inValueName, DWORD inFlags, LPDWORD outType, void* outData,
                  LPDWORD ioSize)
{
  if (inFlags != (RRF_RT_ANY | RRF_NOEXPAND) || (outData != nullptr && ioSize == nullptr))
    return ERROR_INVALID_PARAMETER;
  const bool theKeyItself = inSubKey == nullptr || inSubKey[0] == '\0';
  OpenKey theBase;
  if (LONG theError = FindValueKey(inKey, theKeyItself ? KEY_QUERY_VALUE : 0, inValueName, theBase);
      theError != ERROR_SUCCESS)
    return theError;
  // One kept read for the key and the value; the path is split only when the
  // database is asked (a bad path's answer is kept as any other).
  std::string theQuestion = "get " + std::to_string(theBase.mId) + "\\";
  theQuestion.append(theKeyItself ? "" : inSubKey).append(1, '\0').append(ValueName(inValueName));
  std::string theAnswer;
  LONG theResult = RegistryStore::ReadKept(
    theQuestion,
    [&](sqlite3* inDatabase, std::string& outAnswer) {
      std::vector<std::string> theNames;
      std::int64_t theId = 0;
      if (LONG theError = SplitPath(inSubKey, theNames); theError != ERROR_SUCCESS)
        return theError;
      if (LONG theError = Resolve(inDatabase, theBase.mId, theNames, theId); theError != ERROR_SUCCESS)
        return theError;
      return ReadValue(inDatabase, theId, ValueName(inValueName), outAnswer);
    },
    theAnswer);
  if (theResult != ERROR_SUCCESS)
    return theResult;
  return HandOverValue(theAnswer, outType, static_cast<LPBYTE>(outData), ioSize);
}

LONG RegSetValueExA(HKEY inKey, LPCSTR inValueName, DWORD inReserved, DWORD inType, const BYTE* inData,
                    DWORD inSize)
{
  if (inType != REG_SZ && inType != REG_EXPAND_SZ && inType != REG_BINARY && inType != REG_DWORD)
    return ERROR_INVALID_PARAMETER;
  if (inType == REG_DWORD && inSize != sizeof(DWORD))
    return ERROR_INVALID_PARAMETER;
  if (inData == nullptr && inSize != 0)
    return ERROR_NOACCESS;
  OpenKey theKey;
  if (LONG theError = FindValueKey(inKey, KEY_SET_VALUE, inValueName, theKey); theError != ERROR_SUCCESS)
    return theError;

  // Strings are kept with their NUL, whether the caller counted it or not.
  std::string theData(reinterpret_cast<const char*>(inData), inData != nullptr ? inSize : 0);
  if (IsStringType(inType) && (theData.empty() || theData.back() != '\0'))
    theData.push_back('\0');
  if (theData.size() > 0xFFFFFFFFu)
    return ERROR_INVALID_PARAMETER;

  return RegistryStore::Write([&](sqlite3* inDatabase) -> LONG {
    if (!KeyExists(inDatabase, theKey.mId))
      return ERROR_KEY_DELETED;
    RegistryStatement(inDatabase, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                                  "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data")
      .Bind(1, theKey.mId)
      .BindText(2, ValueName(inValueName))
      .Bind(3, inType)
      .BindBlob(4, theData.data(), theData.size())
      .Step();
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY inKey, LPCSTR inValueName)
{
  OpenKey theKey;
  if (LONG theError = FindValueKey(inKey, KEY_SET_VALUE, inValueName, theKey); theError != ERROR_SUCCESS)
    return theError;
  return RegistryStore::Write([&](sqlite3* inDatabase) -> LONG {
    if (!KeyExists(inDatabase, theKey.mId))
      return ERROR_KEY_DELETED;
    RegistryStatement(inDatabase, "DELETE FROM vals WHERE key = ?1 AND name = ?2")
      .Bind(1, theKey.mId)
      .BindText(2, ValueName(inValueName))
      .Step();
    return sqlite3_changes(inDatabase) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyA(HKEY inKey, LPCSTR inSubKey)
{
  if (inSubKey == nullptr)
    return ERROR_INVALID_PARAMETER;
  OpenKey theBase;
  std::vector<std::string> theNames;
  if (LONG theError = FindSubKeyPath(inKey, inSubKey, theBase, theNames); theError != ERROR_SUCCESS)
    return theError;
  return RegistryStore::Write([&](sqlite3* inDatabase) -> LONG {
    std::int64_t theId = 0;
    if (LONG theError = Resolve(inDatabase, theBase.mId, theNames, theId); theError != ERROR_SUCCESS)
      return theError;
    if (theId == kMachineRootId || theId == kClassesRootId || HasChildren(inDatabase, theId))
      return ERROR_ACCESS_DENIED;
    DeleteTree(inDatabase, theId, true);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteTreeA(HKEY inKey, LPCSTR inSubKey)
{
  OpenKey theBase;
  std::vector<std::string> theNames;
  if (LONG theError = FindSubKeyPath(inKey, inSubKey, theBase, theNames); theError != ERROR_SUCCESS)
    return theError;
  // Without a subkey the key stays and only its contents go.
  bool theWithKey = !theNames.empty();
  return RegistryStore::Write([&](sqlite3* inDatabase) -> LONG {
    std::int64_t theId = 0;
    if (LONG theError = Resolve(inDatabase, theBase.mId, theNames, theId); theError != ERROR_SUCCESS)
      return theError;
    DeleteTree(inDatabase, theId, theWithKey);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyExA(HKEY inKey, DWORD inIndex, LPSTR outName, LPDWORD ioNameSize, LPDWORD inReserved,
                   LPSTR outClass, LPDWORD ioClassSize, void* outLastWriteTime)
{
  if (outName == nullptr || ioNameSize == nullptr || inReserved != nullptr ||
      (outClass != nullptr && ioClassSize == nullptr))
    return ERROR_INVALID_PARAMETER;
  OpenKey theKey;
  if (LONG theError = FindKeyAllowing(inKey, KEY_ENUMERATE_SUB_KEYS, theKey); theError != ERROR_SUCCESS)
    return theError;

  std::string theName;
  LONG theResult = RegistryStore::Read([&](sqlite3* inDatabase) -> LONG {
    RegistryStatement theQuery(inDatabase, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
    theQuery.Bind(1, theKey.mId).Bind(2, inIndex);
    if (theQuery.Step()) {
      theName = theQuery.Text(0);
      return ERROR_SUCCESS;
    }
    return KeyExists(inDatabase, theKey.mId) ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
  });
  if (theResult != ERROR_SUCCESS)
    return theResult;
  if (theName.size() + 1 > *ioNameSize)
    return ERROR_MORE_DATA;
  std::memcpy(outName, theName.c_str(), theName.size() + 1);
  *ioNameSize = static_cast<DWORD>(theName.size());
  // Keys have no class and no write time is kept.
  if (outClass != nullptr) {
    if (*ioClassSize == 0)
      return ERROR_MORE_DATA;
    outClass[0] = '\0';
    *ioClassSize = 0;
  }
  if (outLastWriteTime != nullptr)
    std::memset(outLastWriteTime, 0, 2 * sizeof(DWORD));
  return ERROR_SUCCESS;
}

LONG RegConnectRegistryA(LPCSTR inMachineName, HKEY inKey, HKEY* outKey)
{
  if (outKey == nullptr)
    return ERROR_INVALID_PARAMETER;
  *outKey = nullptr;
  std::optional<std::int64_t> theRoot = RootId(inKey);
  if (!theRoot)
    return ERROR_INVALID_HANDLE;
  if (!IsLocalMachineName(inMachineName))
    return ERROR_BAD_NETPATH;
  *outKey = AddKey(*theRoot, KEY_ALL_ACCESS);
  return ERROR_SUCCESS;
}
