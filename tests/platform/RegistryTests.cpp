#include "platform/base/Environment.h"
#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"
#include "tests/support/ChildGroup.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kTestKey = "SOFTWARE\\Quillbright\\Tessaline\\Tests";

// An open key, closed when it goes.
class Key {
public:
  ~Key()
  {
    if (mKey != nullptr)
      RegCloseKey(mKey);
  }
  HKEY* operator&() { return &mKey; }
  operator HKEY() const { return mKey; }

private:
  HKEY mKey = nullptr;
};

LONG Create(LPCSTR inPath, HKEY* outKey, DWORD* outDisposition = nullptr, HKEY inRoot = HKEY_LOCAL_MACHINE)
{
  return RegCreateKeyExA(inRoot, inPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, outKey,
                         outDisposition);
}

LONG SetString(HKEY inKey, LPCSTR inName, const std::string& inText)
{
  return RegSetValueExA(inKey, inName, 0, REG_SZ, reinterpret_cast<const BYTE*>(inText.c_str()),
                        static_cast<DWORD>(inText.size() + 1));
}

LONG SetBytes(HKEY inKey, LPCSTR inName, const std::vector<BYTE>& inBytes)
{
  return RegSetValueExA(inKey, inName, 0, REG_BINARY, inBytes.data(), static_cast<DWORD>(inBytes.size()));
}

// The value's type and bytes, through the two-step size-then-data query.
LONG Query(HKEY inKey, LPCSTR inName, std::vector<BYTE>& outBytes, DWORD* outType = nullptr)
{
  DWORD theSize = 0;
  if (LONG theError = RegQueryValueExA(inKey, inName, nullptr, outType, nullptr, &theSize); theError != 0)
    return theError;
  outBytes.assign(theSize, 0);
  return RegQueryValueExA(inKey, inName, nullptr, outType, outBytes.data(), &theSize);
}

// The text of a value, or "!<error>".
std::string Text(HKEY inKey, LPCSTR inName)
{
  std::vector<BYTE> theBytes;
  if (LONG theError = Query(inKey, inName, theBytes); theError != ERROR_SUCCESS)
    return "!" + std::to_string(theError);
  return std::string(reinterpret_cast<const char*>(theBytes.data()));
}

std::vector<std::string> EnumerateKeys(HKEY inKey)
{
  std::vector<std::string> theNames;
  for (DWORD theIndex = 0;; ++theIndex) {
    char theName[256];
    DWORD theSize = sizeof(theName);
    LONG theError = RegEnumKeyExA(inKey, theIndex, theName, &theSize, nullptr, nullptr, nullptr, nullptr);
    if (theError != ERROR_SUCCESS) {
      EXPECT_EQ(theError, ERROR_NO_MORE_ITEMS);
      return theNames;
    }
    EXPECT_EQ(theSize, std::strlen(theName));
    theNames.emplace_back(theName);
  }
}

// The bytes a writer stores under a name: long enough that a torn write
// would show, and each one telling which writer and which round made it.
std::vector<BYTE> Pattern(int inWriter, int inRound, std::size_t inSize = 200)
{
  std::vector<BYTE> theBytes(inSize);
  for (std::size_t i = 0; i < inSize; ++i)
    theBytes[i] = static_cast<BYTE>(inWriter * 31 + inRound * 7 + static_cast<int>(i));
  return theBytes;
}

}  // namespace

TEST(Registry, ValuesOfEachTypeRoundTripAndBadOnesAreRefused)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  const std::vector<BYTE> kNumber = {0xEF, 0xBE, 0xAD, 0xDE};
  struct Case {
    const char* mName;
    DWORD mType;
    std::vector<BYTE> mStored;    // what is handed to RegSetValueExA
    std::vector<BYTE> mAnswered;  // what a query gives back
  };
  const Case kCases[] = {
    {"Text", REG_SZ, {'a', 'b', 'c', 0}, {'a', 'b', 'c', 0}},
    {"Unterminated", REG_SZ, {'a', 'b'}, {'a', 'b', 0}},
    {"EmptyText", REG_SZ, {}, {0}},
    {"Bytes", REG_BINARY, {0, 1, 0, 255, 0}, {0, 1, 0, 255, 0}},
    {"Number", REG_DWORD, kNumber, kNumber},
    {"", REG_SZ, {'d', 0}, {'d', 0}},
    {"Text", REG_BINARY, {9}, {9}},  // a value is replaced whole
  };
  for (const Case& theCase : kCases) {
    ASSERT_EQ(RegSetValueExA(theKey, theCase.mName, 0, theCase.mType, theCase.mStored.data(),
                             static_cast<DWORD>(theCase.mStored.size())),
              ERROR_SUCCESS)
      << theCase.mName;
    DWORD theType = REG_NONE;
    std::vector<BYTE> theBytes;
    ASSERT_EQ(Query(theKey, theCase.mName, theBytes, &theType), ERROR_SUCCESS) << theCase.mName;
    EXPECT_EQ(theType, theCase.mType) << theCase.mName;
    EXPECT_EQ(theBytes, theCase.mAnswered) << theCase.mName;
  }
  EXPECT_EQ(Text(theKey, nullptr), "d") << "the default value answers to a null name too";

  BYTE theBytes[8] = {};
  EXPECT_EQ(RegSetValueExA(theKey, "Short", 0, REG_DWORD, theBytes, 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(theKey, "Null", 0, REG_BINARY, nullptr, 8), ERROR_NOACCESS);
  EXPECT_EQ(RegSetValueExA(theKey, std::string(16384, 'v').c_str(), 0, REG_BINARY, theBytes, 1),
            ERROR_INVALID_PARAMETER);
  DWORD theSize = sizeof(theBytes);
  EXPECT_EQ(RegQueryValueExA(theKey, "Missing", nullptr, nullptr, theBytes, &theSize), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(theKey, "Missing", nullptr, nullptr, theBytes, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(Registry, KeysAndNamesMatchWithoutRegardToCase)
{
  Key theKey;
  DWORD theDisposition = 0;
  ASSERT_EQ(Create("Software\\Quillbright\\Tessaline", &theKey, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetString(theKey, "LogDirectory", "/srv/logs"), ERROR_SUCCESS);
  Key theSame;
  ASSERT_EQ(Create("SOFTWARE\\quillbright\\TESSALINE", &theSame, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(Text(theSame, "logdirectory"), "/srv/logs");
  ASSERT_EQ(SetString(theSame, "LOGDIRECTORY", "/var/logs"), ERROR_SUCCESS);
  EXPECT_EQ(Text(theKey, "LogDirectory"), "/var/logs") << "replaced, not added";
  EXPECT_EQ(RegDeleteValueA(theKey, "logDIRECTORY"), ERROR_SUCCESS);
  EXPECT_EQ(Text(theKey, "LogDirectory"), "!2");

  // Intermediate keys are made, names kept as first written, and the two
  // roots are separate trees.
  Key theLeaf;
  ASSERT_EQ(Create("software\\A\\B\\C", &theLeaf), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theLeaf, "Where", "C"), ERROR_SUCCESS);
  Key theSoftware;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software", 0, KEY_READ, &theSoftware), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theSoftware), (std::vector<std::string>{"A", "Quillbright"}));
  Key theC;
  ASSERT_EQ(RegOpenKeyExA(theSoftware, "a\\b\\c\\", 0, KEY_READ, &theC), ERROR_SUCCESS);
  EXPECT_EQ(Text(theC, "Where"), "C");
  Key theClass;
  ASSERT_EQ(Create("Tessaline4.Canvas\\CLSID", &theClass, nullptr, HKEY_CLASSES_ROOT), ERROR_SUCCESS);
  HKEY theMissing = NumberToHandle<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Tessaline4.Canvas", 0, KEY_READ, &theMissing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(theMissing, nullptr);
}

TEST(Registry, ShortBuffersAnswerMoreDataAndStayUntouched)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Name", "Tessaline"), ERROR_SUCCESS);  // 10 bytes with the NUL
  for (DWORD theCapacity : {0u, 9u}) {
    std::vector<BYTE> theBuffer(16, 0xAB);
    DWORD theSize = theCapacity;
    DWORD theType = REG_NONE;
    EXPECT_EQ(RegQueryValueExA(theKey, "Name", nullptr, &theType, theBuffer.data(), &theSize), ERROR_MORE_DATA)
      << theCapacity;
    EXPECT_EQ(theSize, 10u) << theCapacity;
    EXPECT_EQ(theType, REG_SZ) << theCapacity;
    EXPECT_EQ(theBuffer, std::vector<BYTE>(16, 0xAB)) << theCapacity;
  }
  // Enumeration: ordered without regard to case; a short name buffer refused.
  for (const char* theName : {"beta", "Alpha", "gamma", "Delta"}) {
    Key theChild;
    ASSERT_EQ(RegCreateKeyExA(theKey, theName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &theChild, nullptr),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(EnumerateKeys(theKey), (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma"}));
  char theName[8] = "xxxxxxx";
  DWORD theSize = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyExA(theKey, 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(theName[0], 'x');
}

// A read by path answers what opening the subkey and querying it answers:
// each case twice, so that the kept answer is checked too.
TEST(Registry, AReadByPathAnswersAsOpeningAndQuerying)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Name", "Tessaline"), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(theKey, "Bytes", {1, 2, 3}), ERROR_SUCCESS);
  const std::string kMissing = std::string(kTestKey) + "\\Missing";
  const std::string kBadPath = std::string(kTestKey) + "\\\\Double";
  const std::string kOtherCase = "software\\QUILLBRIGHT\\Tessaline\\Tests\\";
  struct Case {
    std::string mPath;
    const char* mName;
    LONG mError;
    DWORD mType;
    std::vector<BYTE> mBytes;
  };
  const Case kCases[] = {
    {kTestKey, "Name", ERROR_SUCCESS, REG_SZ, {'T', 'e', 's', 's', 'a', 'l', 'i', 'n', 'e', 0}},
    {kOtherCase, "BYTES", ERROR_SUCCESS, REG_BINARY, {1, 2, 3}},
    {kTestKey, "Missing", ERROR_FILE_NOT_FOUND, REG_NONE, {}},
    {kMissing, "Name", ERROR_FILE_NOT_FOUND, REG_NONE, {}},
    {kBadPath, "Name", ERROR_BAD_PATHNAME, REG_NONE, {}},
  };
  for (int theRound = 0; theRound < 2; ++theRound) {
    for (const Case& theCase : kCases) {
      SCOPED_TRACE(theCase.mPath + " " + theCase.mName + " round " + std::to_string(theRound));
      DWORD theSize = 0;
      DWORD theType = REG_NONE;
      ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str(), theCase.mName, RRF_RT_ANY | RRF_NOEXPAND,
                             &theType, nullptr, &theSize),
                theCase.mError);
      if (theCase.mError != ERROR_SUCCESS)
        continue;
      EXPECT_EQ(theType, theCase.mType);
      ASSERT_EQ(theSize, theCase.mBytes.size());
      std::vector<BYTE> theBuffer(16, 0xAB);
      DWORD theShort = theSize - 1;
      EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str(), theCase.mName, RRF_RT_ANY | RRF_NOEXPAND,
                             nullptr, theBuffer.data(), &theShort),
                ERROR_MORE_DATA);
      EXPECT_EQ(theShort, theSize);
      EXPECT_EQ(theBuffer, std::vector<BYTE>(16, 0xAB)) << "a short buffer stays untouched";
      EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str(), theCase.mName, RRF_RT_ANY | RRF_NOEXPAND,
                             nullptr, theBuffer.data(), &theSize),
                ERROR_SUCCESS);
      theBuffer.resize(theSize);
      EXPECT_EQ(theBuffer, theCase.mBytes);
    }
  }
  // The key itself, through a handle: its access decides.
  DWORD theSize = 0;
  EXPECT_EQ(RegGetValueA(theKey, nullptr, "Name", RRF_RT_ANY | RRF_NOEXPAND, nullptr, nullptr, &theSize),
            ERROR_SUCCESS);
  EXPECT_EQ(theSize, 10u);
  Key theWriteOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_SET_VALUE, &theWriteOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegGetValueA(theWriteOnly, "", "Name", RRF_RT_ANY | RRF_NOEXPAND, nullptr, nullptr, &theSize),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kTestKey, "Name", RRF_RT_ANY, nullptr, nullptr, &theSize),
            ERROR_INVALID_PARAMETER);
}

TEST(Registry, DeleteKeyRefusesSubkeysAndDeleteTreeRemovesThem)
{
  Key theLeaf;
  ASSERT_EQ(Create("Tree\\Branch\\Leaf", &theLeaf), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theLeaf, "Colour", "green"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Branch"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "TREE\\branch\\LEAF"), ERROR_SUCCESS);
  // The open handle of a deleted key is dead, also when the name is made again.
  EXPECT_EQ(SetString(theLeaf, "Colour", "red"), ERROR_KEY_DELETED);
  Key theNewLeaf;
  ASSERT_EQ(Create("Tree\\Branch\\Leaf", &theNewLeaf), ERROR_SUCCESS);
  EXPECT_EQ(Text(theNewLeaf, "Colour"), "!2");
  EXPECT_EQ(Text(theLeaf, "Colour"), "!1018");

  // Without a subkey name the tree's contents go and the key stays; a named
  // tree goes whole, its neighbours stay.
  Key theTree;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Tree", 0, KEY_ALL_ACCESS, &theTree), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theTree, "Kept", "no"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(theTree, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theTree), std::vector<std::string>{});
  EXPECT_EQ(Text(theTree, "Kept"), "!2");
  Key theDeep;
  ASSERT_EQ(Create("Tree\\X\\Y\\Z", &theDeep), ERROR_SUCCESS);
  Key theOther;
  ASSERT_EQ(Create("Tree\\W", &theOther), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "tree\\x"), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theTree), std::vector<std::string>{"W"});
  EXPECT_EQ(SetString(theDeep, "V", "1"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Tree\\X"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED) << "the roots cannot go";
}

TEST(Registry, ForgedClosedAndUnderprivilegedHandlesAreRefused)
{
  HKEY theClosed = nullptr;
  ASSERT_EQ(Create(kTestKey, &theClosed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(theClosed), ERROR_SUCCESS);
  Key theLive;
  ASSERT_EQ(Create(kTestKey, &theLive), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theLive, "V", "1"), ERROR_SUCCESS);
  std::uintptr_t theWide = (std::uintptr_t{1} << 32) | HandleToNumber(static_cast<HKEY>(theLive));
  const HKEY kBadKeys[] = {theClosed, reinterpret_cast<HKEY>(theWide), nullptr, NumberToHandle<HKEY>(0x7FFFFFF0u),
                           NumberToHandle<HKEY>(0x80000001u) /* a predefined key we do not keep */};
  for (HKEY theBad : kBadKeys) {
    SCOPED_TRACE(HandleToNumber(theBad));
    BYTE theByte = 1;
    DWORD theSize = 1;
    Key theOpened;
    EXPECT_EQ(RegSetValueExA(theBad, "V", 0, REG_BINARY, &theByte, 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(theBad, "V", nullptr, nullptr, &theByte, &theSize), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(theBad, "Sub", 0, KEY_READ, &theOpened), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(theBad), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "closing a predefined key is harmless";
  Key theReadOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theReadOnly), ERROR_SUCCESS);
  EXPECT_EQ(SetString(theReadOnly, "V", "2"), ERROR_ACCESS_DENIED);
  Key theSub;
  EXPECT_EQ(RegCreateKeyExA(theReadOnly, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &theSub, nullptr),
            ERROR_ACCESS_DENIED);
  Key theWriteOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_WRITE, &theWriteOnly), ERROR_SUCCESS);
  EXPECT_EQ(Text(theWriteOnly, "V"), "!5");
}

// Hostile key paths give an error, never a crash. A name (one path
// component) may have 255 bytes, a path as many names as it likes.
TEST(Registry, BadPathsAreRefused)
{
  std::string theLongPath;
  while (theLongPath.size() < 300)
    theLongPath += "Level\\";
  theLongPath.pop_back();
  const std::pair<std::string, LONG> kCases[] = {
    {std::string(300, 'k'), ERROR_INVALID_PARAMETER},
    {"Software\\" + std::string(256, 'k') + "\\Tail", ERROR_INVALID_PARAMETER},
    {std::string(255, 'n'), ERROR_SUCCESS},
    {theLongPath, ERROR_SUCCESS},
    {"Double\\\\Separator", ERROR_BAD_PATHNAME},
  };
  for (const auto& [thePath, theError] : kCases) {
    SCOPED_TRACE(thePath.substr(0, 40));
    Key theKey;
    EXPECT_EQ(Create(thePath.c_str(), &theKey), theError);
    Key theOpened;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, thePath.c_str(), 0, KEY_READ, &theOpened), theError);
    if (theError != ERROR_SUCCESS) {
      EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, thePath.c_str()), theError);
    }
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(Registry, ConnectKnowsOnlyThisMachine)
{
  char theName[256];
  DWORD theSize = sizeof(theName);
  ASSERT_TRUE(GetComputerNameA(theName, &theSize));
  for (const std::string& theMachine : {std::string(), "\\\\" + std::string(theName)}) {
    Key theLocal;
    ASSERT_EQ(RegConnectRegistryA(theMachine.c_str(), HKEY_LOCAL_MACHINE, &theLocal), ERROR_SUCCESS) << theMachine;
    Key theKey;
    EXPECT_EQ(Create(kTestKey, &theKey, nullptr, theLocal), ERROR_SUCCESS);
  }
  HKEY theRemote = nullptr;
  EXPECT_EQ(RegConnectRegistryA("\\\\elsewhere-host", HKEY_LOCAL_MACHINE, &theRemote), ERROR_BAD_NETPATH);
  EXPECT_EQ(theRemote, nullptr);
}

// Two processes write 1,000 values each into one key while a third reads
// them back: nothing is lost, no read sees half a value, and no busy
// database reaches a caller.
TEST(Registry, ConcurrentProcessesLoseNothing)
{
  constexpr int kValues = 1000;
  {
    Key theKey;
    ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  }
  auto theNameOf = [](int inWriter, int inIndex) { return "w" + std::to_string(inWriter) + "-" + std::to_string(inIndex); };
  auto theWriterOf = [&](int inWriter) {
    return [=]() -> int {
      Key theKey;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &theKey) != ERROR_SUCCESS)
        return 10;
      // Both writers also overwrite one shared value, a run of consecutive
      // bytes, so a mix of two writes shows.
      for (int i = 0; i < kValues; ++i)
        if (SetBytes(theKey, theNameOf(inWriter, i).c_str(), Pattern(inWriter, i)) != ERROR_SUCCESS ||
            (i % 4 == 0 && SetBytes(theKey, "Shared", Pattern(inWriter, i, 4096)) != ERROR_SUCCESS))
          return 11;
      return 0;
    };
  };
  auto theReader = [&]() -> int {
    Key theKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
      return 20;
    // Round after round until every value has been seen whole (or, should a
    // writer have died, until a generous deadline).
    std::vector<bool> theSeen(2 * kValues, false);
    int theMissing = 2 * kValues;
    auto theDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int theRound = 0; theMissing > 0 && std::chrono::steady_clock::now() < theDeadline; ++theRound) {
      const int theSlot = theRound % (2 * kValues);
      std::vector<BYTE> theBytes;
      LONG theError = Query(theKey, theNameOf(theSlot % 2, theSlot / 2).c_str(), theBytes);
      if (theError == ERROR_SUCCESS) {
        if (theBytes != Pattern(theSlot % 2, theSlot / 2))
          return 21;
        theMissing -= !theSeen[theSlot];
        theSeen[theSlot] = true;
      } else if (theError != ERROR_FILE_NOT_FOUND) {
        return 22;
      }
      theError = Query(theKey, "Shared", theBytes);
      if (theError == ERROR_SUCCESS) {
        for (std::size_t i = 1; i < theBytes.size(); ++i)
          if (theBytes.size() != 4096 || theBytes[i] != static_cast<BYTE>(theBytes[0] + i))
            return 23;
      } else if (theError != ERROR_FILE_NOT_FOUND) {
        return 24;
      }
    }
    return theMissing == 0 ? 0 : 25;
  };
  for (const tltest::ChildResult& theChild : tltest::RunChildrenTogether({theWriterOf(0), theWriterOf(1), theReader}))
    EXPECT_TRUE(tltest::Succeeded(theChild));
}

// A child forked after the parent used the registry opens its own
// connection; handles the parent opened still work in it.
TEST(Registry, ForkedChildReadsAndWrites)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "FromParent", "p"), ERROR_SUCCESS);
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&]() -> int {
    if (Text(theKey, "FromParent") != "p")
      return 1;
    for (int i = 0; i < 20; ++i)
      if (SetString(theKey, ("FromChild" + std::to_string(i)).c_str(), "c") != ERROR_SUCCESS)
        return 2;
    Key theOwn;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOwn) != ERROR_SUCCESS)
      return 3;
    return Text(theOwn, "FromChild19") == "c" ? 0 : 4;
  })));
  EXPECT_EQ(Text(theKey, "FromChild0"), "c") << "the parent's connection sees the child's writes";
  EXPECT_EQ(SetString(theKey, "AfterChild", "p"), ERROR_SUCCESS);
}

// The database is made for the group to read; a user who may only read it
// reads it, and is refused writes with an error rather than a failure of the
// registry.
TEST(Registry, ReadOnlyUserReads)
{
  umask(007);
  {
    Key theKey;
    ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
    ASSERT_EQ(SetString(theKey, "Shared", "readable"), ERROR_SUCCESS);
  }
  const std::string theDatabase = tltest::TestHome() + "/registry.db";
  struct stat theInfo {};
  ASSERT_EQ(stat(theDatabase.c_str(), &theInfo), 0);
  EXPECT_EQ(theInfo.st_mode & 0777, 0640u);
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  ASSERT_EQ(chmod(theDatabase.c_str(), 0644), 0);
  EXPECT_TRUE(tltest::Succeeded(tltest::RunAsNobody([]() -> int {
    Key theKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
      return 1;
    if (Text(theKey, "Shared") != "readable")
      return 2;
    Key theExisting;
    if (Create(kTestKey, &theExisting) != ERROR_SUCCESS || SetString(theExisting, "Shared", "changed") != ERROR_ACCESS_DENIED)
      return 3;
    Key theNew;
    return Create("SOFTWARE\\New", &theNew) == ERROR_ACCESS_DENIED ? 0 : 4;
  })));
}

// A database that cannot be opened or read gives an error code to every call.
TEST(Registry, BrokenDatabaseGivesAnError)
{
  struct Case {
    const char* mName;
    std::function<void(const std::string&)> mBreak;  // given the database's path
    LONG mExpected;
  };
  const Case kCases[] = {
    {"a folder in its place", [](const std::string& inPath) { std::filesystem::create_directory(inPath); },
     ERROR_ACCESS_DENIED},
    {"not a database", [](const std::string& inPath) { std::ofstream(inPath) << std::string(4096, 'g'); },
     ERROR_REGISTRY_CORRUPT},
    {"home with a missing parent",
     [](const std::string&) { setenv("TESSALINE_HOME", "/nonexistent-tessaline/home", 1); }, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    std::string theHome = tltest::MakeTempFolder("broken");
    EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&]() -> int {
      setenv("TESSALINE_HOME", theHome.c_str(), 1);
      theCase.mBreak(theHome + "/registry.db");
      Key theKey;
      Key theOpened;
      BYTE theByte = 0;
      const LONG theResults[] = {Create(kTestKey, &theKey),
                                 RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOpened),
                                 RegSetValueExA(HKEY_LOCAL_MACHINE, "V", 0, REG_BINARY, &theByte, 1)};
      for (LONG theResult : theResults)
        if (theResult != theCase.mExpected)
          return 1;
      return 0;
    })));
  }
}

// The connection keeps its statements between calls: what one call bound or
// stepped must not reach the next, and a kept statement still reads what
// another process committed since.
TEST(RegistryKeptStatements, EachReadSeesItsOwnValueAndTheLatestCommit)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "First", "one"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Second", "two"), ERROR_SUCCESS);
  const struct {
    const char* mName;
    std::string mExpected;
  } kReads[] = {{"First", "one"}, {"Missing", "!2"}, {"Second", "two"}, {"First", "one"}, {"", "!2"}, {"Second", "two"}};
  for (const auto& theRead : kReads)
    EXPECT_EQ(Text(theKey, theRead.mName), theRead.mExpected) << "reading " << theRead.mName;

  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([] {
    Key theOwn;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &theOwn) != ERROR_SUCCESS)
      return 1;
    return SetString(theOwn, "First", "changed") == ERROR_SUCCESS && RegDeleteValueA(theOwn, "Second") == ERROR_SUCCESS
             ? 0
             : 2;
  })));
  EXPECT_EQ(Text(theKey, "First"), "changed");
  EXPECT_EQ(Text(theKey, "Second"), "!2");
}

// Between calls the process holds no lock on the database, however its last
// read ended: another connection takes the exclusive lock at once.
TEST(RegistryKeptStatements, AnIdleReaderHoldsWritersUpNever)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Value", "v"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Other", "o"), ERROR_SUCCESS);
  const std::function<LONG()> kReads[] = {
    [&] { return Text(theKey, "Value") == "v" ? ERROR_SUCCESS : ERROR_INVALID_DATA; },
    [&] { return Text(theKey, "Missing") == "!2" ? ERROR_SUCCESS : ERROR_INVALID_DATA; },
    [&] {
      char theName[256];
      DWORD theSize = sizeof(theName);
      return RegEnumKeyExA(HKEY_LOCAL_MACHINE, 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr);
    },
    [&] {
      Key theOpened;
      return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOpened);
    },
  };
  const std::string theDatabase = tltest::TestHome() + "/registry.db";
  for (std::size_t i = 0; i < std::size(kReads); ++i) {
    SCOPED_TRACE("read " + std::to_string(i));
    ASSERT_EQ(kReads[i](), ERROR_SUCCESS);
    sqlite3* theOther = nullptr;
    ASSERT_EQ(sqlite3_open_v2(theDatabase.c_str(), &theOther, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(theOther, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(theOther);
    sqlite3_close(theOther);
  }
}

// Another home is another database: nothing kept from the first reaches it,
// and the first is found again as it was.
TEST(RegistryKeptStatements, ANewHomeGetsItsOwnConnection)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Where", "first"), ERROR_SUCCESS);
  ASSERT_EQ(Text(theKey, "Where"), "first");
  const std::string theSecond = tltest::MakeTempFolder("second") + "/home";
  struct HomeBack {
    ~HomeBack() { setenv("TESSALINE_HOME", tltest::TestHome().c_str(), 1); }
  } theHomeBack;
  ASSERT_EQ(setenv("TESSALINE_HOME", theSecond.c_str(), 1), 0);
  EXPECT_EQ(Text(theKey, "Where"), "!" + std::to_string(ERROR_KEY_DELETED)) << "the handle's key is not in this home";
  {
    Key theOther;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOther), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Create(kTestKey, &theOther), ERROR_SUCCESS);
    ASSERT_EQ(SetString(theOther, "Where", "second"), ERROR_SUCCESS);
  }
  EXPECT_TRUE(std::filesystem::exists(theSecond + "/registry.db")) << "the new home is made with its database";
  ASSERT_EQ(setenv("TESSALINE_HOME", tltest::TestHome().c_str(), 1), 0);
  EXPECT_EQ(Text(theKey, "Where"), "first");
}

namespace {

const std::string kCounterName = "/registry.version";

// The store's change counter as its file holds it, or nothing when there is
// no such file of 8 bytes.
std::optional<std::uint64_t> Counter(const std::string& inHome)
{
  std::string theBytes = tltest::ReadFile(inHome + kCounterName);
  if (theBytes.size() != sizeof(std::uint64_t))
    return std::nullopt;
  std::uint64_t theValue = 0;
  std::memcpy(&theValue, theBytes.data(), sizeof theValue);
  return theValue;
}

// Opening, querying and closing.
std::string OpenAndRead(LPCSTR inPath, LPCSTR inName)
{
  Key theKey;
  if (LONG theError = RegOpenKeyExA(HKEY_LOCAL_MACHINE, inPath, 0, KEY_READ, &theKey); theError != ERROR_SUCCESS)
    return "!" + std::to_string(theError);
  return Text(theKey, inName);
}

// One read by path: the road of every preference read.
std::string ReadByPath(LPCSTR inPath, LPCSTR inName)
{
  char theText[64] = {};
  DWORD theSize = sizeof theText - 1;
  if (LONG theError = RegGetValueA(HKEY_LOCAL_MACHINE, inPath, inName, RRF_RT_ANY | RRF_NOEXPAND, nullptr, theText,
                                   &theSize);
      theError != ERROR_SUCCESS)
    return "!" + std::to_string(theError);
  return theText;
}

}  // namespace

// Every write, by this process or another, moves the counter after its
// commit; reads leave it alone. The file is made as the database is: the
// store's group reads it, nobody else may write it.
TEST(RegistryChangeCounter, EveryWriteMovesItAndOnlyTheOwnerMayWriteIt)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  const std::string theHome = tltest::TestHome();
  struct stat theInfo {};
  ASSERT_EQ(stat((theHome + kCounterName).c_str(), &theInfo), 0) << "the counter is made beside the database";
  EXPECT_EQ(theInfo.st_mode & 0777, 0640u);
  std::optional<std::uint64_t> theBefore = Counter(theHome);
  ASSERT_TRUE(theBefore.has_value());
  ASSERT_EQ(SetString(theKey, "Value", "1"), ERROR_SUCCESS);
  std::optional<std::uint64_t> theAfterOwn = Counter(theHome);
  ASSERT_TRUE(theAfterOwn.has_value());
  EXPECT_GT(*theAfterOwn, *theBefore);
  EXPECT_EQ(Text(theKey, "Value"), "1");
  EXPECT_EQ(OpenAndRead(kTestKey, "Missing"), "!2");
  EXPECT_EQ(Counter(theHome), theAfterOwn) << "reads do not move it";
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&] { return SetString(theKey, "Value", "2") == ERROR_SUCCESS ? 0 : 1; })));
  std::optional<std::uint64_t> theAfterChild = Counter(theHome);
  ASSERT_TRUE(theAfterChild.has_value());
  EXPECT_GT(*theAfterChild, *theAfterOwn);
  EXPECT_EQ(RegDeleteValueA(theKey, "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Text(theKey, "Value"), "2");
}

// A kept connection may answer from what it read last, but never after
// another process changed the store: each round, a child changes a value,
// deletes one key and makes another, and the parent's very next reads (no
// wait) see all of it, also through handles it opened before.
TEST(RegistryChangeCounter, AnotherProcessesWritesAreSeenByTheVeryNextRead)
{
  const std::string theBase = std::string(kTestKey) + "\\Rounds";
  for (int theRound = 0; theRound < 20; ++theRound) {
    SCOPED_TRACE("round " + std::to_string(theRound));
    const std::string theOld = theBase + "\\Key" + std::to_string(theRound);
    const std::string theNew = theBase + "\\Key" + std::to_string(theRound + 1);
    Key theKey;
    ASSERT_EQ(Create(theOld.c_str(), &theKey), ERROR_SUCCESS);
    ASSERT_EQ(SetString(theKey, "Value", "before"), ERROR_SUCCESS);
    for (int theRead = 0; theRead < 3; ++theRead) {
      ASSERT_EQ(OpenAndRead(theOld.c_str(), "Value"), "before");
      ASSERT_EQ(OpenAndRead(theNew.c_str(), "Value"), "!2");
      ASSERT_EQ(ReadByPath(theOld.c_str(), "Value"), "before");
      ASSERT_EQ(ReadByPath(theNew.c_str(), "Value"), "!2");
      ASSERT_EQ(Text(theKey, "Value"), "before");
    }
    ASSERT_TRUE(tltest::Succeeded(tltest::RunInChild([&]() -> int {
      Key theMade;
      if (SetString(theKey, "Value", "after") != ERROR_SUCCESS || Create(theNew.c_str(), &theMade) != ERROR_SUCCESS ||
          SetString(theMade, "Value", "made") != ERROR_SUCCESS)
        return 1;
      return RegDeleteTreeA(HKEY_LOCAL_MACHINE, theOld.c_str()) == ERROR_SUCCESS ? 0 : 2;
    })));
    EXPECT_EQ(ReadByPath(theOld.c_str(), "Value"), "!2");
    EXPECT_EQ(ReadByPath(theNew.c_str(), "Value"), "made");
    EXPECT_EQ(Text(theKey, "Value"), "!" + std::to_string(ERROR_KEY_DELETED));
    EXPECT_EQ(OpenAndRead(theOld.c_str(), "Value"), "!2");
    EXPECT_EQ(OpenAndRead(theNew.c_str(), "Value"), "made");
  }
}

// A counter that others than the store's owner may write proves nothing: a
// connection on such a store asks the database every time, so rewinding the
// counter after a write does not bring the old value back.
TEST(RegistryChangeCounter, ACounterOthersMayWriteIsNotTrusted)
{
  const std::string theHome = tltest::MakeTempFolder("open-counter");
  {
    std::ofstream theFile(theHome + kCounterName, std::ios::binary);
    theFile << std::string(sizeof(std::uint64_t), '\0');
  }
  ASSERT_EQ(chmod((theHome + kCounterName).c_str(), 0666), 0);
  struct HomeBack {
    ~HomeBack() { setenv("TESSALINE_HOME", tltest::TestHome().c_str(), 1); }
  } theHomeBack;
  ASSERT_EQ(setenv("TESSALINE_HOME", theHome.c_str(), 1), 0);
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Value", "before"), ERROR_SUCCESS);
  ASSERT_EQ(OpenAndRead(kTestKey, "Value"), "before");
  ASSERT_EQ(OpenAndRead(kTestKey, "Value"), "before");
  ASSERT_EQ(ReadByPath(kTestKey, "Value"), "before");
  const std::string theRewound = tltest::ReadFile(theHome + kCounterName);
  ASSERT_TRUE(tltest::Succeeded(tltest::RunInChild([&] { return SetString(theKey, "Value", "after") == ERROR_SUCCESS ? 0 : 1; })));
  std::fstream(theHome + kCounterName, std::ios::in | std::ios::out | std::ios::binary) << theRewound;
  EXPECT_EQ(OpenAndRead(kTestKey, "Value"), "after");
  EXPECT_EQ(ReadByPath(kTestKey, "Value"), "after");
}
