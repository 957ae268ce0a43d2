// A store shared with its group: the owner writes the machine-wide keys, a
// member of the group only reads them, with no write access to anything, and
// never reads a store a writer left half-written. Run with a throw-away user
// of the store's group.

#include "platform/base/WinError.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/EventReport.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "SOFTWARE\\Quillbright\\Tessaline\\4.0.5";

// The text of the value, or "!<error>".
std::string Read(HKEY inRoot, const char* inKey, const char* inName)
{
  RegistryKey theKey;
  if (LONG theError = theKey.Open(inRoot, inKey); theError != ERROR_SUCCESS)
    return "!" + std::to_string(theError);
  char theText[64] = "";
  DWORD theSize = sizeof theText;
  if (LONG theError = RegQueryValueExA(theKey.Get(), inName, nullptr, nullptr, reinterpret_cast<BYTE*>(theText),
                                       &theSize);
      theError != ERROR_SUCCESS)
    return "!" + std::to_string(theError);
  return theText;
}

LONG Write(HKEY inRoot, const char* inKey, const char* inName, const std::string& inText)
{
  RegistryKey theKey;
  if (LONG theError = theKey.Create(inRoot, inKey); theError != ERROR_SUCCESS)
    return theError;
  return theKey.WriteString(inName, inText);
}

class SharedStore : public testing::Test {
protected:
  void SetUp() override
  {
    if (!tltest::IsRoot())
      GTEST_SKIP() << "needs root to make a user and hand the store to its group";
    ASSERT_TRUE(mUser.mMade) << "useradd, groupadd or chpasswd failed";
    // The group may look into the store but make nothing there.
    mHome = tltest::MakeGroupFolder(mUser, 02750);
    ASSERT_FALSE(mHome.empty());
    setenv("TESSALINE_HOME", mHome.c_str(), 1);
    umask(022);
    ASSERT_EQ(Write(HKEY_LOCAL_MACHINE, kKey, "Probe", "old"), ERROR_SUCCESS);
    ASSERT_EQ(Write(HKEY_CLASSES_ROOT, "Tessaline4.Canvas", "", "Canvas Class"), ERROR_SUCCESS);
  }

  // Runs inBody as the member of the group.
  tltest::ChildResult AsMember(const std::function<int()>& inBody) const
  {
    return tltest::RunAsUser(mUser.mName, inBody);
  }

  // The files of the store that the member owns: none, ever.
  std::vector<std::string> MembersFiles() const
  {
    std::vector<std::string> theFiles;
    for (const fs::directory_entry& theEntry : fs::recursive_directory_iterator(mHome)) {
      struct stat theInfo {};
      if (lstat(theEntry.path().c_str(), &theInfo) == 0 && theInfo.st_uid == mUser.mUid)
        theFiles.push_back(theEntry.path().string());
    }
    return theFiles;
  }

  tltest::SystemUser mUser;
  std::string mHome;
};

// Every write of the member is refused as Windows refuses it, changes
// nothing, and leaves its own reads of the stored values as they were,
// whatever mode an older store left on the database; the event log stays
// the group's to append to.
TEST_F(SharedStore, OnlyTheOwnerWritesTheMachineWideKeys)
{
  struct stat theInfo {};
  ASSERT_EQ(stat((mHome + "/registry.db").c_str(), &theInfo), 0);
  EXPECT_EQ(theInfo.st_mode & 07777, 0640u);
  EXPECT_EQ(theInfo.st_gid, mUser.mExtraGid) << "the store's group, from the setgid folder";

  const auto theMemberWrites = [] {
    HKEY theKey = nullptr;
    std::vector<LONG> theResults;
    BYTE theByte = 1;
    theResults.push_back(Write(HKEY_LOCAL_MACHINE, kKey, "Probe", "new"));
    theResults.push_back(Write(HKEY_LOCAL_MACHINE, kKey, "MaxSize", "50000"));
    theResults.push_back(Write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", "Value", "new"));
    theResults.push_back(Write(HKEY_CLASSES_ROOT, "Tessaline4.Canvas", "", "Taken"));
    theResults.push_back(RegSetValueExA(HKEY_LOCAL_MACHINE, "Top", 0, REG_BINARY, &theByte, 1));
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &theKey) == ERROR_SUCCESS) {
      theResults.push_back(RegDeleteValueA(theKey, "Probe"));
      RegCloseKey(theKey);
    }
    theResults.push_back(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Tessaline4.Canvas"));
    for (LONG theResult : theResults)
      if (theResult != ERROR_ACCESS_DENIED)
        return 10 + static_cast<int>(theResult);
    if (theResults.size() != 7)
      return 2;
    if (Read(HKEY_LOCAL_MACHINE, kKey, "Probe") != "old" || Read(HKEY_CLASSES_ROOT, "Tessaline4.Canvas", "") != "Canvas Class")
      return 3;
    return tltest::ReportTestEvent("written by a member") ? 0 : 4;
  };
  // A fresh store, then one whose database an older version made group-writable.
  EXPECT_EQ(chmod(mHome.c_str(), 02770), 0);
  ASSERT_TRUE(tltest::ReportTestEvent("written by the owner"));
  for (mode_t theMode : {0640, 0660}) {
    SCOPED_TRACE(theMode);
    ASSERT_EQ(chmod((mHome + "/registry.db").c_str(), theMode), 0);
    EXPECT_TRUE(tltest::Succeeded(AsMember(theMemberWrites)));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, "Probe"), "old");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, "MaxSize"), "!" + std::to_string(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Tessaline4.Canvas", ""), "Canvas Class");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", "Value"), "!" + std::to_string(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_NE(tltest::ReadFile(mHome + "/events.log").find("written by a member"), std::string::npos);
  EXPECT_EQ(MembersFiles(), std::vector<std::string>{}) << "the member only appended to what the owner made";
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, kKey, "Probe", "by the owner"), ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, "Probe"), "by the owner");
}

// A writer that dies inside its transaction leaves the database half
// written with its journal beside it. A member, who may not put it right,
// reads no value of it (an error instead); the owner's next read rolls the
// journal back, and then the member reads the value as it was committed.
TEST_F(SharedStore, AReaderNeverSeesAHalfWrittenStore)
{
  const std::string theDatabase = mHome + "/registry.db";
  EXPECT_TRUE(tltest::Succeeded(AsMember([] { return Read(HKEY_LOCAL_MACHINE, kKey, "Probe") == "old" ? 0 : 1; })))
    << "a member reads with no write access to the folder or the database";

  const std::string theBefore = tltest::ReadFile(theDatabase);
  EXPECT_TRUE(tltest::Succeeded(tltest::RunInChild([&] {
    sqlite3* theConnection = nullptr;
    if (sqlite3_open_v2(theDatabase.c_str(), &theConnection, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      return 1;
    // A cache of a few pages spills the transaction into the database.
    const int theCode = sqlite3_exec(theConnection,
                                     "PRAGMA cache_size = 2; BEGIN IMMEDIATE;"
                                     "UPDATE vals SET data = X'6E657700' WHERE name = 'Probe';"
                                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
                                     "  INSERT INTO vals SELECT 1, 'filler' || i, 3, randomblob(3000) FROM n;",
                                     nullptr, nullptr, nullptr);
    _exit(theCode == SQLITE_OK ? 0 : 2);  // no commit, no rollback: as if killed
  })));
  ASSERT_TRUE(fs::exists(theDatabase + "-journal"));
  ASSERT_NE(tltest::ReadFile(theDatabase), theBefore) << "the transaction reached the database";
  struct stat theInfo {};
  ASSERT_EQ(stat((theDatabase + "-journal").c_str(), &theInfo), 0);
  EXPECT_EQ(theInfo.st_mode & 0777, 0640u) << "the journal is as private as the database";

  EXPECT_TRUE(tltest::Succeeded(AsMember([] {
    const std::string theValue = Read(HKEY_LOCAL_MACHINE, kKey, "Probe");
    return theValue == "!" + std::to_string(ERROR_ACCESS_DENIED) ? 0 : theValue == "new" ? 1 : 2;
  })));
  EXPECT_EQ(MembersFiles(), std::vector<std::string>{});
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, "Probe"), "old");
  EXPECT_FALSE(fs::exists(theDatabase + "-journal"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kKey, "filler1"), "!" + std::to_string(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(tltest::Succeeded(AsMember([] { return Read(HKEY_LOCAL_MACHINE, kKey, "Probe") == "old" ? 0 : 1; })));
}

// A member's connection answers again what it read last only while nobody
// has written: the owner's write, made while the member waits between two
// reads, is what the member's very next read answers. The member, who cannot
// write the change counter, makes nothing in the store.
TEST_F(SharedStore, AMembersNextReadSeesTheOwnersWrite)
{
  int theReady[2];
  int theGo[2];
  ASSERT_EQ(pipe(theReady), 0);
  ASSERT_EQ(pipe(theGo), 0);
  tltest::ChildResult theMember;
  std::thread theWaiter([&] {
    theMember = AsMember([&] {
      for (int theRead = 0; theRead < 3; ++theRead)
        if (Read(HKEY_LOCAL_MACHINE, kKey, "Probe") != "old")
          return 1;
      char theByte = 0;
      if (write(theReady[1], &theByte, 1) != 1 || read(theGo[0], &theByte, 1) != 1)
        return 2;
      return Read(HKEY_LOCAL_MACHINE, kKey, "Probe") == "new" ? 0 : 3;
    });
    close(theReady[1]);  // a member that ended early wakes the owner
  });
  char theByte = 0;
  EXPECT_EQ(read(theReady[0], &theByte, 1), 1);
  EXPECT_EQ(Write(HKEY_LOCAL_MACHINE, kKey, "Probe", "new"), ERROR_SUCCESS);
  EXPECT_EQ(write(theGo[1], &theByte, 1), 1);
  theWaiter.join();
  for (int theEnd : {theReady[0], theGo[0], theGo[1]})
    close(theEnd);
  EXPECT_TRUE(tltest::Succeeded(theMember));
  struct stat theInfo {};
  ASSERT_EQ(stat((mHome + "/registry.version").c_str(), &theInfo), 0);
  EXPECT_EQ(theInfo.st_mode & 07777, 0640u);
  EXPECT_EQ(theInfo.st_gid, mUser.mExtraGid);
  EXPECT_EQ(MembersFiles(), std::vector<std::string>{});
}

}  // namespace
