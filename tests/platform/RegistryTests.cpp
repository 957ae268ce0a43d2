#include "platform/base/Environment.h"
#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kTestKey = "SOFTWARE\\Quillbright\\Tessaline\\Tests";

// An open key, closed when it goes.
class Key {
public:
  Key() = default;
  explicit Key(HKEY inKey) : mKey(inKey) {}
  ~Key()
  {
    if (mKey != nullptr)
      RegCloseKey(mKey);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
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
LONG Query(HKEY inKey, LPCSTR inName, DWORD& outType, std::vector<BYTE>& outBytes)
{
  DWORD theSize = 0;
  if (LONG theError = RegQueryValueExA(inKey, inName, nullptr, &outType, nullptr, &theSize); theError != 0)
    return theError;
  outBytes.assign(theSize, 0);
  return RegQueryValueExA(inKey, inName, nullptr, &outType, outBytes.data(), &theSize);
}

std::vector<std::string> EnumerateKeys(HKEY inKey)
{
  std::vector<std::string> theNames;
  for (DWORD theIndex = 0;; ++theIndex) {
    char theName[256];
    DWORD theSize = sizeof(theName);
    LONG theError = RegEnumKeyExA(inKey, theIndex, theName, &theSize, nullptr, nullptr, nullptr, nullptr);
    if (theError == ERROR_NO_MORE_ITEMS)
      return theNames;
    EXPECT_EQ(theError, ERROR_SUCCESS);
    if (theError != ERROR_SUCCESS)
      return theNames;
    EXPECT_EQ(theSize, std::strlen(theName));
    theNames.emplace_back(theName);
  }
}

std::string DatabasePath()
{
  return tltest::TestHome() + "/registry.db";
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

// A child process that runs at the same time as others (RunInChild waits).
pid_t StartChild(const std::function<int()>& inBody)
{
  pid_t theChild = fork();
  if (theChild == 0) {
    int theCode = 99;
    try {
      theCode = inBody();
    } catch (...) {
    }
    _exit(theCode);
  }
  return theChild;
}

int WaitChild(pid_t inChild)
{
  int theStatus = 0;
  if (waitpid(inChild, &theStatus, 0) != inChild)
    return -1;
  return WIFEXITED(theStatus) ? WEXITSTATUS(theStatus) : 128 + WTERMSIG(theStatus);
}

}  // namespace

TEST(Registry, ValuesOfEachTypeRoundTrip)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);

  DWORD kNumber = 0xDEADBEEF;
  struct Case {
    const char* mName;
    DWORD mType;
    std::vector<BYTE> mStored;    // what is handed to RegSetValueExA
    std::vector<BYTE> mAnswered;  // what a query gives back
  };
  const std::vector<Case> kCases = {
    {"Text", REG_SZ, {'a', 'b', 'c', 0}, {'a', 'b', 'c', 0}},
    {"Unterminated", REG_SZ, {'a', 'b'}, {'a', 'b', 0}},
    {"EmptyText", REG_SZ, {}, {0}},
    {"Expandable", REG_EXPAND_SZ, {'%', 'H', '%', 0}, {'%', 'H', '%', 0}},
    {"Bytes", REG_BINARY, {0, 1, 0, 255, 0}, {0, 1, 0, 255, 0}},
    {"NoBytes", REG_BINARY, {}, {}},
    {"Number",
     REG_DWORD,
     std::vector<BYTE>(reinterpret_cast<BYTE*>(&kNumber), reinterpret_cast<BYTE*>(&kNumber) + 4),
     std::vector<BYTE>(reinterpret_cast<BYTE*>(&kNumber), reinterpret_cast<BYTE*>(&kNumber) + 4)},
    {"", REG_SZ, {'d', 0}, {'d', 0}},
  };
  for (const Case& theCase : kCases) {
    ASSERT_EQ(RegSetValueExA(theKey, theCase.mName, 0, theCase.mType, theCase.mStored.data(),
                             static_cast<DWORD>(theCase.mStored.size())),
              ERROR_SUCCESS)
      << theCase.mName;
    DWORD theType = REG_NONE;
    std::vector<BYTE> theBytes;
    ASSERT_EQ(Query(theKey, theCase.mName, theType, theBytes), ERROR_SUCCESS) << theCase.mName;
    EXPECT_EQ(theType, theCase.mType) << theCase.mName;
    EXPECT_EQ(theBytes, theCase.mAnswered) << theCase.mName;
  }

  // The default value answers to a null name too; a value is replaced whole.
  DWORD theType = REG_NONE;
  std::vector<BYTE> theBytes;
  ASSERT_EQ(Query(theKey, nullptr, theType, theBytes), ERROR_SUCCESS);
  EXPECT_EQ(theBytes, (std::vector<BYTE>{'d', 0}));
  ASSERT_EQ(SetBytes(theKey, "Text", {9}), ERROR_SUCCESS);
  ASSERT_EQ(Query(theKey, "Text", theType, theBytes), ERROR_SUCCESS);
  EXPECT_EQ(theType, REG_BINARY);
  EXPECT_EQ(theBytes, std::vector<BYTE>{9});
}

TEST(Registry, BadValuesAreRefused)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  BYTE theBytes[8] = {};
  EXPECT_EQ(RegSetValueExA(theKey, "Short", 0, REG_DWORD, theBytes, 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(theKey, "Long", 0, REG_DWORD, theBytes, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(theKey, "Multi", 0, 7, theBytes, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(theKey, "Null", 0, REG_BINARY, nullptr, 8), ERROR_NOACCESS);
  std::string theLongName(16384, 'v');
  EXPECT_EQ(RegSetValueExA(theKey, theLongName.c_str(), 0, REG_BINARY, theBytes, 1), ERROR_INVALID_PARAMETER);
  DWORD theSize = sizeof(theBytes);
  EXPECT_EQ(RegQueryValueExA(theKey, "Missing", nullptr, nullptr, theBytes, &theSize), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(theKey, "Missing", nullptr, nullptr, theBytes, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteValueA(theKey, "Missing"), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, NamesMatchWithoutRegardToCase)
{
  Key theKey;
  DWORD theDisposition = 0;
  ASSERT_EQ(Create("Software\\Quillbright\\Tessaline", &theKey, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetString(theKey, "LogDirectory", "/srv/logs"), ERROR_SUCCESS);

  Key theSame;
  ASSERT_EQ(Create("SOFTWARE\\quillbright\\TESSALINE", &theSame, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_OPENED_EXISTING_KEY);
  DWORD theType = 0;
  std::vector<BYTE> theBytes;
  ASSERT_EQ(Query(theSame, "logdirectory", theType, theBytes), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<const char*>(theBytes.data()), "/srv/logs");

  // A write under another case replaces the value rather than adding one.
  ASSERT_EQ(SetString(theSame, "LOGDIRECTORY", "/var/logs"), ERROR_SUCCESS);
  ASSERT_EQ(Query(theKey, "LogDirectory", theType, theBytes), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<const char*>(theBytes.data()), "/var/logs");
  EXPECT_EQ(RegDeleteValueA(theKey, "logDIRECTORY"), ERROR_SUCCESS);
  EXPECT_EQ(Query(theKey, "LogDirectory", theType, theBytes), ERROR_FILE_NOT_FOUND);

  // Names are kept as first written.
  Key theSoftware;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software", 0, KEY_READ, &theSoftware), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theSoftware), std::vector<std::string>{"Quillbright"});
}

TEST(Registry, TheTwoRootsAreSeparateTrees)
{
  Key theClass;
  ASSERT_EQ(Create("Tessaline4.Canvas\\CLSID", &theClass, nullptr, HKEY_CLASSES_ROOT), ERROR_SUCCESS);
  Key theMissing;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Tessaline4.Canvas", 0, KEY_READ, &theMissing), ERROR_FILE_NOT_FOUND);
  Key theFound;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "tessaline4.canvas\\clsid", 0, KEY_READ, &theFound), ERROR_SUCCESS);
}

TEST(Registry, CreateMakesIntermediateKeysAndOpenFindsThem)
{
  Key theLeaf;
  DWORD theDisposition = 0;
  ASSERT_EQ(Create("A\\B\\C\\D", &theLeaf, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_CREATED_NEW_KEY);

  const char* kPaths[] = {"A", "A\\B", "A\\B\\C", "a\\b\\c\\d", "A\\B\\C\\D\\"};
  for (const char* thePath : kPaths) {
    Key theKey;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, thePath, 0, KEY_READ, &theKey), ERROR_SUCCESS) << thePath;
  }

  // Opening relative to an open key, and with no subkey at all.
  Key theB;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\B", 0, KEY_ALL_ACCESS, &theB), ERROR_SUCCESS);
  Key theD;
  ASSERT_EQ(RegOpenKeyExA(theB, "C\\D", 0, KEY_ALL_ACCESS, &theD), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theD, "Where", "D"), ERROR_SUCCESS);
  Key theAgain;
  ASSERT_EQ(RegOpenKeyExA(theD, nullptr, 0, KEY_READ, &theAgain), ERROR_SUCCESS);
  DWORD theType = 0;
  std::vector<BYTE> theBytes;
  EXPECT_EQ(Query(theAgain, "Where", theType, theBytes), ERROR_SUCCESS);

  // A partly existing path creates only what is missing.
  Key theE;
  ASSERT_EQ(Create("A\\B\\E", &theE, &theDisposition), ERROR_SUCCESS);
  EXPECT_EQ(theDisposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(EnumerateKeys(theB), (std::vector<std::string>{"C", "E"}));
}

TEST(Registry, MissingKeyIsNotFoundAndTheHandleStaysNull)
{
  HKEY theKey = NumberToHandle<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "No\\Such\\Key", 0, KEY_READ, &theKey), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(theKey, nullptr);
}

TEST(Registry, TooSmallBufferAnswersMoreDataAndLeavesItUntouched)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "Name", "Tessaline"), ERROR_SUCCESS);  // 10 bytes with the NUL

  for (DWORD theCapacity : {0u, 1u, 9u}) {
    std::vector<BYTE> theBuffer(16, 0xAB);
    DWORD theSize = theCapacity;
    DWORD theType = REG_NONE;
    EXPECT_EQ(RegQueryValueExA(theKey, "Name", nullptr, &theType, theBuffer.data(), &theSize), ERROR_MORE_DATA)
      << theCapacity;
    EXPECT_EQ(theSize, 10u) << theCapacity;
    EXPECT_EQ(theType, REG_SZ) << theCapacity;
    EXPECT_EQ(theBuffer, std::vector<BYTE>(16, 0xAB)) << theCapacity;
  }

  // A null buffer answers the size; an exact one takes the value.
  DWORD theSize = 0;
  EXPECT_EQ(RegQueryValueExA(theKey, "Name", nullptr, nullptr, nullptr, &theSize), ERROR_SUCCESS);
  EXPECT_EQ(theSize, 10u);
  char theText[10];
  EXPECT_EQ(RegQueryValueExA(theKey, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(theText), &theSize),
            ERROR_SUCCESS);
  EXPECT_STREQ(theText, "Tessaline");
}

TEST(Registry, EnumerationIsOrderedAndEnds)
{
  Key theParent;
  ASSERT_EQ(Create(kTestKey, &theParent), ERROR_SUCCESS);
  for (const char* theName : {"beta", "Alpha", "gamma", "Delta"}) {
    Key theChild;
    ASSERT_EQ(RegCreateKeyExA(theParent, theName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &theChild, nullptr),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(EnumerateKeys(theParent), (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma"}));

  // A short name buffer: ERROR_MORE_DATA, nothing written.
  char theName[8];
  std::memset(theName, 'x', sizeof(theName));
  DWORD theSize = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyExA(theParent, 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(theName[0], 'x');
  theSize = 6;
  EXPECT_EQ(RegEnumKeyExA(theParent, 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(theSize, 5u);

  // Class and write time are answered empty.
  char theClass[4] = "zz";
  DWORD theClassSize = sizeof(theClass);
  DWORD theTime[2] = {7, 7};
  theSize = sizeof(theName);
  EXPECT_EQ(RegEnumKeyExA(theParent, 1, theName, &theSize, nullptr, theClass, &theClassSize, theTime), ERROR_SUCCESS);
  EXPECT_STREQ(theName, "beta");
  EXPECT_STREQ(theClass, "");
  EXPECT_EQ(theClassSize, 0u);
  EXPECT_EQ(theTime[0] | theTime[1], 0u);

  theSize = sizeof(theName);
  EXPECT_EQ(RegEnumKeyExA(theParent, 4, theName, &theSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExA(theParent, 0xFFFFFFFFu, theName, &theSize, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST(Registry, DeleteKeyRefusesSubkeysAndDeleteTreeRemovesThem)
{
  Key theLeaf;
  ASSERT_EQ(Create("Tree\\Branch\\Leaf", &theLeaf), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theLeaf, "Colour", "green"), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Branch"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "TREE\\branch\\LEAF"), ERROR_SUCCESS);
  // The open handle of the deleted key is dead, and says so.
  DWORD theType = 0;
  std::vector<BYTE> theBytes;
  EXPECT_EQ(Query(theLeaf, "Colour", theType, theBytes), ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(theLeaf, "Colour", "red"), ERROR_KEY_DELETED);
  // A key made again under the same name is a new key.
  Key theNewLeaf;
  ASSERT_EQ(Create("Tree\\Branch\\Leaf", &theNewLeaf), ERROR_SUCCESS);
  EXPECT_EQ(Query(theNewLeaf, "Colour", theType, theBytes), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(theLeaf, "Colour", theType, theBytes), ERROR_KEY_DELETED);

  // A tree without the subkey name: its contents go, the key stays.
  Key theTree;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Tree", 0, KEY_ALL_ACCESS, &theTree), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theTree, "Kept", "no"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(theTree, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theTree), std::vector<std::string>{});
  EXPECT_EQ(Query(theTree, "Kept", theType, theBytes), ERROR_FILE_NOT_FOUND);

  // A named tree goes whole, its values with it; its neighbours stay.
  Key theDeep;
  ASSERT_EQ(Create("Tree\\X\\Y\\Z", &theDeep), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theDeep, "V", "1"), ERROR_SUCCESS);
  Key theOther;
  ASSERT_EQ(Create("Tree\\W", &theOther), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "tree\\x"), ERROR_SUCCESS);
  EXPECT_EQ(EnumerateKeys(theTree), std::vector<std::string>{"W"});
  EXPECT_EQ(Query(theDeep, "V", theType, theBytes), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Tree\\X"), ERROR_FILE_NOT_FOUND);

  // The roots themselves cannot go.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
}

TEST(Registry, ForgedAndClosedHandlesAreInvalid)
{
  HKEY theKey = nullptr;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(theKey), ERROR_SUCCESS);
  Key theLive;
  ASSERT_EQ(Create(kTestKey, &theLive), ERROR_SUCCESS);
  std::uintptr_t theWide = (std::uintptr_t{1} << 32) | HandleToNumber(static_cast<HKEY>(theLive));

  const HKEY kBadKeys[] = {theKey,
                           reinterpret_cast<HKEY>(theWide),  // a live number with high bits set
                           nullptr,
                           NumberToHandle<HKEY>(0x7FFFFFF0u),
                           NumberToHandle<HKEY>(0x80000001u),  // a predefined key we do not keep
                           NumberToHandle<HKEY>(0xFFFFFFFFu)};
  for (HKEY theBad : kBadKeys) {
    SCOPED_TRACE(HandleToNumber(theBad));
    BYTE theByte = 1;
    DWORD theSize = 1;
    char theName[16];
    Key theOpened;
    EXPECT_EQ(RegSetValueExA(theBad, "V", 0, REG_BINARY, &theByte, 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(theBad, "V", nullptr, nullptr, &theByte, &theSize), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueA(theBad, "V"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(theBad, "Sub", 0, KEY_READ, &theOpened), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExA(theBad, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &theOpened, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyA(theBad, "Sub"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteTreeA(theBad, "Sub"), ERROR_INVALID_HANDLE);
    theSize = sizeof(theName);
    EXPECT_EQ(RegEnumKeyExA(theBad, 0, theName, &theSize, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(theBad), ERROR_INVALID_HANDLE);
  }
  // The predefined keys are always there, and closing them is harmless.
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  Key theAgain;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theAgain), ERROR_SUCCESS);
}

TEST(Registry, AccessAskedForIsEnforced)
{
  Key theWritable;
  ASSERT_EQ(Create(kTestKey, &theWritable), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theWritable, "V", "1"), ERROR_SUCCESS);

  Key theReadOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theReadOnly), ERROR_SUCCESS);
  EXPECT_EQ(SetString(theReadOnly, "V", "2"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(theReadOnly, "V"), ERROR_ACCESS_DENIED);
  Key theSub;
  EXPECT_EQ(RegCreateKeyExA(theReadOnly, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &theSub, nullptr),
            ERROR_ACCESS_DENIED);

  Key theWriteOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_WRITE, &theWriteOnly), ERROR_SUCCESS);
  DWORD theSize = 0;
  EXPECT_EQ(RegQueryValueExA(theWriteOnly, "V", nullptr, nullptr, nullptr, &theSize), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetString(theWriteOnly, "V", "3"), ERROR_SUCCESS);
}

// Hostile key paths give an error, never a crash. A name (one path
// component) may have 255 bytes, a path as many names as it likes.
TEST(Registry, BadPathsAreRefused)
{
  const std::string kLongName(300, 'k');
  std::string theLongPath;
  while (theLongPath.size() < 300)
    theLongPath += "Level\\";
  theLongPath.pop_back();

  struct Case {
    std::string mPath;
    LONG mCreate;  // what RegCreateKeyExA answers
  };
  const Case kCases[] = {
    {kLongName, ERROR_INVALID_PARAMETER},
    {"Software\\" + kLongName + "\\Tail", ERROR_INVALID_PARAMETER},
    {std::string(255, 'n'), ERROR_SUCCESS},
    {theLongPath, ERROR_SUCCESS},
    {"\\Leading", ERROR_BAD_PATHNAME},
    {"Double\\\\Separator", ERROR_BAD_PATHNAME},
    {"\\", ERROR_BAD_PATHNAME},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mPath.size() > 40 ? theCase.mPath.substr(0, 40) + "..." : theCase.mPath);
    Key theKey;
    EXPECT_EQ(Create(theCase.mPath.c_str(), &theKey), theCase.mCreate);
    Key theOpened;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str(), 0, KEY_READ, &theOpened), theCase.mCreate);
    if (theCase.mCreate != ERROR_SUCCESS) {
      EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str()), theCase.mCreate);
      EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, theCase.mPath.c_str()), theCase.mCreate);
    }
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  Key theKey;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, KEY_READ, nullptr, &theKey, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(Registry, ConnectKnowsOnlyThisMachine)
{
  char theName[256];
  DWORD theSize = sizeof(theName);
  ASSERT_TRUE(GetComputerNameA(theName, &theSize));
  std::string theUpper(theName);
  for (char& theChar : theUpper)
    theChar = static_cast<char>(std::toupper(static_cast<unsigned char>(theChar)));

  for (const std::string& theMachine : {std::string(), std::string(theName), "\\\\" + theUpper}) {
    Key theRemote;
    ASSERT_EQ(RegConnectRegistryA(theMachine.empty() ? nullptr : theMachine.c_str(), HKEY_LOCAL_MACHINE, &theRemote),
              ERROR_SUCCESS)
      << theMachine;
    Key theKey;
    EXPECT_EQ(RegCreateKeyExA(theRemote, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &theKey, nullptr),
              ERROR_SUCCESS);
  }
  Key theEmpty;
  EXPECT_EQ(RegConnectRegistryA("", HKEY_LOCAL_MACHINE, &theEmpty), ERROR_SUCCESS);

  HKEY theRemote = nullptr;
  EXPECT_EQ(RegConnectRegistryA("\\\\elsewhere-host", HKEY_LOCAL_MACHINE, &theRemote), ERROR_BAD_NETPATH);
  EXPECT_EQ(theRemote, nullptr);
  EXPECT_EQ(RegConnectRegistryA(std::string(theName).append("x").c_str(), HKEY_LOCAL_MACHINE, &theRemote),
            ERROR_BAD_NETPATH);
  EXPECT_EQ(RegConnectRegistryA(nullptr, NumberToHandle<HKEY>(0x80000003u), &theRemote), ERROR_INVALID_HANDLE);
}

TEST(Registry, DatabaseIsMadeWithGroupAccess)
{
  umask(007);
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  struct stat theInfo {};
  ASSERT_EQ(stat(DatabasePath().c_str(), &theInfo), 0);
  EXPECT_EQ(theInfo.st_mode & 0777, 0660u);
}

// Two processes write 1,000 values each into one key while a third reads
// them back: nothing is lost, no read sees half a value, and no busy
// database reaches a caller.
TEST(Registry, ConcurrentProcessesLoseNothing)
{
  constexpr int kValues = 1000;
  constexpr int kWriters = 2;
  {
    Key theKey;
    ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  }
  auto theWriterOf = [](int inWriter) {
    return [inWriter]() -> int {
      Key theKey;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_ALL_ACCESS, &theKey) != ERROR_SUCCESS)
        return 10;
      for (int i = 0; i < kValues; ++i) {
        std::string theName = "w" + std::to_string(inWriter) + "-" + std::to_string(i);
        if (SetBytes(theKey, theName.c_str(), Pattern(inWriter, i)) != ERROR_SUCCESS)
          return 11;
        // Both writers also overwrite one shared value; each write is a run
        // of consecutive bytes, so a mix of two writes shows.
        if (i % 4 == 0 && SetBytes(theKey, "Shared", Pattern(inWriter, i, 4096)) != ERROR_SUCCESS)
          return 12;
      }
      return 0;
    };
  };
  auto theReader = []() -> int {
    Key theKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
      return 20;
    // Round after round over every name, until each has been seen whole (or,
    // should a writer have died, until a generous deadline).
    std::vector<bool> theSeen(kWriters * kValues, false);
    int theMissing = kWriters * kValues;
    auto theDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (int theRound = 0; theMissing > 0 && std::chrono::steady_clock::now() < theDeadline; ++theRound) {
      int theSlot = theRound % (kWriters * kValues);
      int theWriter = theSlot % kWriters;
      int theIndex = theSlot / kWriters;
      DWORD theType = 0;
      std::vector<BYTE> theBytes;
      std::string theName = "w" + std::to_string(theWriter) + "-" + std::to_string(theIndex);
      LONG theError = Query(theKey, theName.c_str(), theType, theBytes);
      if (theError == ERROR_SUCCESS) {
        if (theBytes != Pattern(theWriter, theIndex))
          return 21;
        if (!theSeen[theSlot]) {
          theSeen[theSlot] = true;
          --theMissing;
        }
      } else if (theError != ERROR_FILE_NOT_FOUND) {
        return 22;
      }
      theError = Query(theKey, "Shared", theType, theBytes);
      if (theError == ERROR_SUCCESS) {
        if (theBytes.size() != 4096)
          return 23;
        for (std::size_t i = 1; i < theBytes.size(); ++i)
          if (theBytes[i] != static_cast<BYTE>(theBytes[0] + i))
            return 25;
      } else if (theError != ERROR_FILE_NOT_FOUND) {
        return 26;
      }
    }
    return theMissing == 0 ? 0 : 27;
  };

  pid_t theChildren[] = {StartChild(theWriterOf(0)), StartChild(theWriterOf(1)), StartChild(theReader)};
  for (pid_t theChild : theChildren) {
    ASSERT_GT(theChild, 0);
    EXPECT_EQ(WaitChild(theChild), 0) << "child " << theChild;
  }

  Key theKey;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theKey), ERROR_SUCCESS);
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValues; ++i) {
      std::string theName = "w" + std::to_string(w) + "-" + std::to_string(i);
      DWORD theType = 0;
      std::vector<BYTE> theBytes;
      ASSERT_EQ(Query(theKey, theName.c_str(), theType, theBytes), ERROR_SUCCESS) << theName;
      ASSERT_EQ(theBytes, Pattern(w, i)) << theName;
    }
  }
}

TEST(Registry, ThreadsShareTheRegistrySafely)
{
  constexpr int kThreads = 8;
  constexpr int kRounds = 100;
  std::vector<std::thread> theThreads;
  std::vector<int> theFailures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    theThreads.emplace_back([t, &theFailures] {
      std::string thePath = std::string(kTestKey) + "\\Thread" + std::to_string(t);
      for (int i = 0; i < kRounds; ++i) {
        Key theKey;
        if (Create(thePath.c_str(), &theKey) != ERROR_SUCCESS || SetBytes(theKey, "V", Pattern(t, i)) != 0) {
          ++theFailures[t];
          continue;
        }
        DWORD theType = 0;
        std::vector<BYTE> theBytes;
        if (Query(theKey, "V", theType, theBytes) != ERROR_SUCCESS || theBytes != Pattern(t, i))
          ++theFailures[t];
      }
    });
  }
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theFailures, std::vector<int>(kThreads, 0));
}

// A child forked after the parent used the registry opens its own
// connection; handles the parent opened still work in it.
TEST(Registry, ForkedChildReadsAndWrites)
{
  Key theKey;
  ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
  ASSERT_EQ(SetString(theKey, "FromParent", "p"), ERROR_SUCCESS);

  tltest::ChildResult theChild = tltest::RunInChild([&]() -> int {
    DWORD theType = 0;
    std::vector<BYTE> theBytes;
    if (Query(theKey, "FromParent", theType, theBytes) != ERROR_SUCCESS || theBytes != std::vector<BYTE>{'p', 0})
      return 1;
    for (int i = 0; i < 20; ++i)
      if (SetString(theKey, ("FromChild" + std::to_string(i)).c_str(), "c") != ERROR_SUCCESS)
        return 2;
    Key theOwn;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOwn) != ERROR_SUCCESS)
      return 3;
    return Query(theOwn, "FromChild19", theType, theBytes) == ERROR_SUCCESS ? 0 : 4;
  });
  ASSERT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);

  // The parent's connection is unharmed and sees the child's writes.
  DWORD theType = 0;
  std::vector<BYTE> theBytes;
  EXPECT_EQ(Query(theKey, "FromChild0", theType, theBytes), ERROR_SUCCESS);
  EXPECT_EQ(SetString(theKey, "AfterChild", "p"), ERROR_SUCCESS);
}

// A user who may only read the database file reads it, and is refused writes
// with an error rather than a failure of the whole registry.
TEST(Registry, ReadOnlyUserReads)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to switch to nobody";
  {
    Key theKey;
    ASSERT_EQ(Create(kTestKey, &theKey), ERROR_SUCCESS);
    ASSERT_EQ(SetString(theKey, "Shared", "readable"), ERROR_SUCCESS);
  }
  ASSERT_EQ(chmod(DatabasePath().c_str(), 0644), 0);

  tltest::ChildResult theChild = tltest::RunAsNobody([]() -> int {
    Key theKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theKey) != ERROR_SUCCESS)
      return 1;
    DWORD theType = 0;
    std::vector<BYTE> theBytes;
    if (Query(theKey, "Shared", theType, theBytes) != ERROR_SUCCESS || theType != REG_SZ ||
        std::string(reinterpret_cast<const char*>(theBytes.data())) != "readable")
      return 2;
    Key theExisting;
    if (Create(kTestKey, &theExisting) != ERROR_SUCCESS)
      return 3;
    if (SetString(theExisting, "Shared", "changed") != ERROR_ACCESS_DENIED)
      return 4;
    Key theNew;
    if (Create("SOFTWARE\\New", &theNew) != ERROR_ACCESS_DENIED)
      return 5;
    return 0;
  });
  ASSERT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
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
    {"a folder in its place", [](const std::string& inPath) { std::filesystem::create_directory(inPath); }, ERROR_ACCESS_DENIED},
    {"not a database",
     [](const std::string& inPath) {
       std::ofstream theFile(inPath);
       theFile << std::string(4096, 'g');
     },
     ERROR_REGISTRY_CORRUPT},
    {"home with a missing parent", [](const std::string&) { setenv("TESSALINE_HOME", "/nonexistent-tessaline/home", 1); },
     ERROR_PATH_NOT_FOUND},
  };
  for (const Case& theCase : kCases) {
    std::string theHome = tltest::MakeTempFolder("broken");
    tltest::ChildResult theChild = tltest::RunInChild([&]() -> int {
      setenv("TESSALINE_HOME", theHome.c_str(), 1);
      theCase.mBreak(theHome + "/registry.db");
      Key theKey;
      LONG theCreate = Create(kTestKey, &theKey);
      Key theOpened;
      LONG theOpen = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &theOpened);
      BYTE theByte = 0;
      LONG theSet = RegSetValueExA(HKEY_LOCAL_MACHINE, "V", 0, REG_BINARY, &theByte, 1);
      if (theCreate != theCase.mExpected || theOpen != theCase.mExpected || theSet != theCase.mExpected) {
        std::fprintf(stderr, "%s: create %d, open %d, set %d\n", theCase.mName, theCreate, theOpen, theSet);
        return 1;
      }
      return 0;
    });
    EXPECT_TRUE(theChild.mExited) << theCase.mName;
    EXPECT_EQ(theChild.mStatus, 0) << theCase.mName;
  }
}
