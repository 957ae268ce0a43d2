#include "core/ByteSource.h"
#include "core/FileUtilities.h"
#include "core/MappedFileSource.h"
#include "core/SException.h"
#include "platform/base/LastError.h"
#include "platform/files/Files.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string WriteFile(const std::string& inName, const std::string& inContent)
{
  std::string thePath = tltest::MakeTempFolder("source") + "/" + inName;
  std::ofstream(thePath, std::ios::binary) << inContent;
  return thePath;
}

std::size_t OpenDescriptors()
{
  std::size_t theCount = 0;
  for ([[maybe_unused]] const auto& theEntry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++theCount;
  return theCount;
}

std::string ReadAll(ByteStream& inStream)
{
  std::string theBytes;
  for (LONG theByte; (theByte = inStream.ReadByte()) >= 0;)
    theBytes += static_cast<char>(theByte);
  return theBytes;
}

TEST(ByteSource, SeeksWithinItsBlockAndReadsToTheEnd)
{
  const BYTE kBlock[] = {10, 20, 30, 40, 255};
  ByteSource theSource(kBlock, sizeof kBlock);
  const std::tuple<DWORD, DWORD, LONG> kCases[] = {{0, 0, 10}, {4, 4, 255}, {5, 5, -1}, {6, 5, -1},
                                                   {0xFFFFFFFFu, 5, -1}, {2, 2, 30}};
  for (const auto& [theSeek, thePosition, theNext] : kCases) {
    SCOPED_TRACE(theSeek);
    EXPECT_EQ(theSource.Seek(theSeek), kBlock + thePosition);
    EXPECT_EQ(theSource.GetPosition(), thePosition);
    EXPECT_EQ(theSource.ReadByte(), theNext);
  }
  ByteSource theEmpty;
  EXPECT_EQ(theEmpty.ReadByte(), -1);
  EXPECT_EQ(theEmpty.Seek(3), nullptr);
}

TEST(MappedFileSource, ReadsAFileWholeAndASmallOneKeepsItsBytesWhenItShrinks)
{
  const std::string theContent = std::string("\xFF\xD8 some bytes \x00\x01", 16) + std::string(100000, 'x');
  const std::string thePath = WriteFile("photo.jpg", theContent);
  MappedFileSource theSource;
  ASSERT_FALSE(theSource.Open(thePath.c_str())) << theSource.GetErrorText();
  EXPECT_EQ(theSource.GetErrorText(), "");
  EXPECT_EQ(theSource.GetLength(), theContent.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(theSource.GetView()), theContent.size()), theContent);
  std::filesystem::resize_file(thePath, 10);
  EXPECT_EQ(ReadAll(theSource), theContent);
  theSource.Close();
  EXPECT_EQ(theSource.GetView(), nullptr);
  EXPECT_EQ(theSource.GetLength(), 0u);
}

TEST(MappedFileSource, FailuresGiveTheirTextAndHoldNothing)
{
  std::string theFolder = tltest::MakeTempFolder("failures");
  std::string theEmpty = WriteFile("empty.gif", "");
  std::string theHuge = WriteFile("huge.tif", "II");
  std::filesystem::resize_file(theHuge, 5ull << 30);  // sparse: no disk used
  std::size_t theDescriptors = OpenDescriptors();
  struct Case {
    const char* mName;
    std::function<bool(MappedFileSource&)> mOpen;
    const char* mText;
  };
  const Case kCases[] = {
    {"missing file", [&](MappedFileSource& s) { return s.Open((theFolder + "/none.jpg").c_str()); },
     "Unable to read file"},
    {"folder", [&](MappedFileSource& s) { return s.Open(theFolder.c_str()); }, "Unable to read file"},
    {"empty file", [&](MappedFileSource& s) { return s.Open(theEmpty.c_str()); }, "File is empty"},
    {"file of 4 GiB or more", [&](MappedFileSource& s) { return s.Open(theHuge.c_str()); }, "Unable to get file size"},
    {"invalid handle", [](MappedFileSource& s) { return s.MapHandle(INVALID_HANDLE_VALUE); }, "File handle invalid"},
    {"null handle", [](MappedFileSource& s) { return s.MapHandle(nullptr); }, "File handle invalid"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    MappedFileSource theSource;
    EXPECT_TRUE(theCase.mOpen(theSource));
    EXPECT_EQ(theSource.GetErrorText(), theCase.mText);
    EXPECT_EQ(theSource.GetView(), nullptr);
    EXPECT_EQ(theSource.GetLength(), 0u);
    EXPECT_EQ(OpenDescriptors(), theDescriptors) << "a handle was left open";
  }
}

TEST(MappedFileSource, AFileBeingWrittenIsRefused)
{
  std::string thePath = WriteFile("busy.png", "0123456789");
  // A writer on another thread holds the file.
  HANDLE theWriter = CreateFileA(thePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(theWriter, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(std::async(std::launch::async, [&] { return LockFile(theWriter, 0, 0, 10, 0); }).get());
  MappedFileSource theSource;
  EXPECT_TRUE(theSource.Open(thePath.c_str()));
  EXPECT_EQ(theSource.GetErrorText(), "Unable to read file");
  UnlockFile(theWriter, 0, 0, 10, 0);
  CloseHandle(theWriter);
  EXPECT_FALSE(theSource.Open(thePath.c_str()));
}

TEST(MappedFileSource, FileEndsAreReadAloneAndUnderTheLock)
{
  const std::string theFile = WriteFile("ends.jpg", "abcdefgh");
  BYTE theFirst[8] = {};
  BYTE theLast[8] = {};
  ASSERT_TRUE(ReadFileEnds(theFile.c_str(), 3, theFirst, theLast));
  EXPECT_EQ(std::string(theFirst, theFirst + 3), "abc");
  EXPECT_EQ(std::string(theLast, theLast + 3), "fgh");
  ASSERT_TRUE(ReadFileEnds(theFile.c_str(), 4, theFirst, theLast)) << "ends that meet";
  EXPECT_FALSE(ReadFileEnds(theFile.c_str(), 5, theFirst, theLast)) << "ends that overlap";
  const std::string theFolder = tltest::MakeTempFolder("ends");
  EXPECT_FALSE(ReadFileEnds((theFolder + "/none.jpg").c_str(), 2, theFirst, theLast));
  EXPECT_FALSE(ReadFileEnds(theFolder.c_str(), 2, theFirst, theLast));

  const std::size_t theDescriptors = OpenDescriptors();
  HANDLE theWriter = CreateFileA(theFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(theWriter, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(std::async(std::launch::async, [&] { return LockFile(theWriter, 0, 0, 8, 0); }).get());
  EXPECT_FALSE(ReadFileEnds(theFile.c_str(), 2, theFirst, theLast)) << "a file being written";
  UnlockFile(theWriter, 0, 0, 8, 0);
  CloseHandle(theWriter);
  EXPECT_EQ(OpenDescriptors(), theDescriptors) << "a handle was left open";
}

TEST(MappedFileSource, ALargeFileIsHeldWhileMapped)
{
  std::string thePath = tltest::MakeTempFolder("large") + "/large.bmp";
  constexpr std::uintmax_t kSize = MappedFileSource::kReadInLimit + 65536ull;
  std::ofstream(thePath, std::ios::binary).put('B');
  std::filesystem::resize_file(thePath, kSize);  // sparse: no disk used
  MappedFileSource theSource;
  ASSERT_FALSE(theSource.Open(thePath.c_str())) << theSource.GetErrorText();
  EXPECT_EQ(theSource.GetLength(), kSize);
  EXPECT_EQ(theSource.ReadByte(), 'B');
  EXPECT_FALSE(SetFileLength(thePath.c_str(), 10)) << "the library's writers are refused";
  EXPECT_FALSE(WriteWholeFile(thePath.c_str(), "x", 1));
  EXPECT_EQ(std::filesystem::file_size(thePath), kSize);

  // Another program cuts it anyway: a read beyond the new end faults, and in
  // a guarded call the fault is an SException, not the end of the process.
  std::filesystem::resize_file(thePath, 10);
  theSource.Seek(static_cast<DWORD>(kSize - 1));
  bool theCaught = false;
  try {
    ScopedFaultTranslator theGuard(TranslateSystemException);
    theSource.ReadByte();
  } catch (const SException& theFault) {
    theCaught = theFault.GetCode() == 0xC0000005u;
  }
  EXPECT_TRUE(theCaught);
  theSource.Close();
  EXPECT_TRUE(SetFileLength(thePath.c_str(), 0)) << "and free again after Close";
}

}  // namespace
