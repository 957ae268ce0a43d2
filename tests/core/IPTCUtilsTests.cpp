// The image-resource search and the IPTC dataset walk: hand-built blocks with
// every padding and truncation case, a block near the end of a source of
// 4 GiB - 1 bytes, and a Photoshop file and a JPEG written by ImageMagick.

#include "core/IPTCUtils.h"

#include <gtest/gtest.h>
#include <magick/MagickCore.h>
#include <sys/mman.h>

#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

Bytes Join(std::initializer_list<Bytes> inParts)
{
  Bytes theBytes;
  for (const Bytes& thePart : inParts)
    theBytes.insert(theBytes.end(), thePart.begin(), thePart.end());
  return theBytes;
}

Bytes Text(const std::string& inText)
{
  return Bytes(inText.begin(), inText.end());
}

Bytes BE32(DWORD inValue)
{
  return {static_cast<BYTE>(inValue >> 24), static_cast<BYTE>(inValue >> 16), static_cast<BYTE>(inValue >> 8),
          static_cast<BYTE>(inValue)};
}

// "8BIM", id, name (length byte and name padded to an even count), size,
// data and, after odd data, a pad byte.
Bytes Resource(LONG inID, const std::string& inName, const Bytes& inData)
{
  Bytes theBlock = Join({Text("8BIM"), {static_cast<BYTE>(inID >> 8), static_cast<BYTE>(inID)},
                         {static_cast<BYTE>(inName.size())}, Text(inName)});
  if (inName.size() % 2 == 0)
    theBlock.push_back(0);
  theBlock = Join({theBlock, BE32(static_cast<DWORD>(inData.size())), inData});
  if (inData.size() % 2 != 0)
    theBlock.push_back(0);
  return theBlock;
}

Bytes Resolution(DWORD inHorizontal, DWORD inVertical)
{
  return Join({BE32(inHorizontal), {0, 1, 0, 2}, BE32(inVertical), {0, 1, 0, 2}});
}

struct DataSet {
  LONG mRecord;
  LONG mDataSet;
  std::string mName;
  Bytes mData;

  bool operator==(const DataSet&) const = default;
};

struct Walk {
  LONG mAnswer = 99;
  std::vector<DataSet> mDataSets;
};

Walk ReadAll(const Bytes& inBlock)
{
  ByteSource theSource(inBlock.data(), static_cast<DWORD>(inBlock.size()));
  Walk theWalk;
  theWalk.mAnswer = ReadIPTCRecords(
    theSource,
    [](LONG inRecord, LONG inDataSet, const char* inName, const BYTE* inData, LONG inLength, void* inContext) {
      static_cast<std::vector<DataSet>*>(inContext)->push_back(
        {inRecord, inDataSet, inName, Bytes(inData, inData + inLength)});
    },
    &theWalk.mDataSets);
  return theWalk;
}

struct Found {
  LONG mCount;
  Bytes mData;
};

Found Find(const Bytes& inBytes, LONG inID)
{
  ByteSource theSource(inBytes.data(), static_cast<DWORD>(inBytes.size()));
  ByteSource theData(inBytes.data(), 1);  // not empty: the search must empty it
  const LONG theCount = FindImageResource(theSource, inID, theData);
  return {theCount, Bytes(theData.GetCurrentPtr(), theData.GetCurrentPtr() + theData.GetLength())};
}

std::pair<double, double> ReadResolution(const Bytes& inBytes)
{
  ByteSource theSource(inBytes.data(), static_cast<DWORD>(inBytes.size()));
  std::pair<double, double> theResolution;
  ReadResolutionInfo(theSource, theResolution.first, theResolution.second);
  return theResolution;
}

TEST(IPTCUtils, FindImageResourcePassesPadsAndStopsAtTheEnd)
{
  const Bytes theWanted = Resource(kIPTCResourceID, "", {9, 8, 7});
  const Bytes theCut = Resource(kIPTCResourceID, "", {1, 2, 3, 4});
  Bytes theHugeSize = Resource(kIPTCResourceID, "", {1, 2});
  theHugeSize[8] = 0x80;
  struct Case {
    const char* mWhat;
    Bytes mBytes;
    Found mExpected;
  } kCases[] = {
    {"a name of 2 characters, then a pad byte", Join({Resource(1000, "ab", {1, 2, 3, 4}), theWanted}), {1, {9, 8, 7}}},
    {"a name of 1 character, no pad", Resource(kIPTCResourceID, "a", {5, 5}), {0, {5, 5}}},
    {"odd data, then its pad byte", Join({Resource(1, "", {1, 2, 3}), Resource(2, "xyz", {4}), theWanted}),
     {2, {9, 8, 7}}},
    {"bytes before and between blocks", Join({Text("8BI"), Resource(1, "", {}), {0, 0, 0}, theWanted}), {1, {9, 8, 7}}},
    {"no such block", Join({Resource(1, "", {1}), Resource(2, "", {2})}), {2, {}}},
    {"data running past the end", Bytes(theCut.begin(), theCut.end() - 1), {0, {}}},
    {"a block cut in its name", Bytes(theWanted.begin(), theWanted.begin() + 7), {0, {}}},
    {"a size with its top bit set", Join({theHugeSize, theWanted}), {0, {}}},
    {"no bytes", {}, {0, {}}},
  };
  for (const Case& theCase : kCases) {
    const Found theFound = Find(theCase.mBytes, kIPTCResourceID);
    EXPECT_EQ(theFound.mCount, theCase.mExpected.mCount) << theCase.mWhat;
    EXPECT_EQ(theFound.mData, theCase.mExpected.mData) << theCase.mWhat;
  }
}

// A block near the end of a 4 GiB - 1 byte source whose size runs past the
// end: in 32-bit arithmetic its end would wrap to a position 2 GiB back,
// where another block waits.
TEST(IPTCUtils, SizesPastTheEndOfALargeSourceStopTheSearch)
{
  const DWORD theLength = 0xFFFFFFFF;
  void* theMapping =
    mmap(nullptr, theLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (theMapping == MAP_FAILED)
    GTEST_SKIP() << "no room for a 4 GiB mapping";
  BYTE* theBytes = static_cast<BYTE*>(theMapping);
  const Bytes theDecoy = Resource(kIPTCResourceID, "", Text("wrapped"));
  const Bytes theOversized = Join({Text("8BIM"), {0, 1, 0, 0}, BE32(0x7FFFFFFF)});
  std::memcpy(theBytes + 0x7FFFFF10, theDecoy.data(), theDecoy.size());
  std::memcpy(theBytes + 0xFFFFFF00, theOversized.data(), theOversized.size());

  ByteSource theSource(theBytes, theLength);
  theSource.Seek(0xFFFFFEF0);
  ByteSource theData;
  EXPECT_EQ(FindImageResource(theSource, kIPTCResourceID, theData), 0);
  EXPECT_EQ(theData.GetLength(), 0u);
  munmap(theMapping, theLength);
}

TEST(IPTCUtils, ReadIPTCRecordsDeliversUntilTheEndOrAnError)
{
  const Bytes theImageName = {0x1C, 2, 5, 0, 4, 'a', 'b', 'c', 'd'};
  const DataSet theImageNameSet = {2, 5, "Image Name", Text("abcd")};
  struct Case {
    const char* mWhat;
    Bytes mBytes;
    LONG mAnswer;
    std::vector<DataSet> mDataSets;
  } kCases[] = {
    {"one dataset after two zero bytes", Join({{0, 0}, theImageName}), 1, {theImageNameSet}},
    {"a caption followed by 0x00", {0x1C, 2, 0x78, 0, 3, 'a', 'b', 'c', 0}, -1, {{2, 120, "Caption", Text("abc")}}},
    {"an extended length", Join({theImageName, {0x1C, 2, 5, 0x80, 4, 0, 0, 0, 1, 'x'}}), 0, {theImageNameSet}},
    {"record version and dataset 2, not named", {0x1C, 2, 0, 0, 2, 0, 4, 0x1C, 2, 2, 0, 1, 'x'}, 2,
     {{2, 0, "", {0, 4}}, {2, 2, "", Text("x")}}},
    {"empty datasets", {0x1C, 2, 25, 0, 0, 0x1C, 2, 25, 0, 2, 'o', 'k', 0x1C, 2, 25, 0, 0}, 3,
     {{2, 25, "Keyword", {}}, {2, 25, "Keyword", Text("ok")}, {2, 25, "Keyword", {}}}},
    {"names whatever the record", {0x1C, 1, 120, 0, 1, 'x'}, 1, {{1, 120, "Caption", Text("x")}}},
    {"data cut short", {0x1C, 2, 5, 0, 16, 'a', 'b'}, -1, {}},
    {"a length cut short", Join({theImageName, {0x1C, 2, 5, 0}}), -1, {theImageNameSet}},
    {"a tag alone", Join({theImageName, {0x1C}}), -1, {theImageNameSet}},
    {"no tag", {0, 1, 2, 3}, 0, {}},
  };
  for (const Case& theCase : kCases) {
    const Walk theWalk = ReadAll(theCase.mBytes);
    EXPECT_EQ(theWalk.mAnswer, theCase.mAnswer) << theCase.mWhat;
    EXPECT_EQ(theWalk.mDataSets, theCase.mDataSets) << theCase.mWhat;
  }
}

TEST(IPTCUtils, DataSetNamesByNumber)
{
  for (LONG theField = 1; theField <= 20; ++theField)
    EXPECT_EQ(GetIPTCDataSetName(199 + theField), "Custom Field " + std::to_string(theField));
  const std::pair<LONG, std::string> kNames[] = {{5, "Image Name"}, {47, "Reference Date"}, {100, "Country Code"},
                                                 {101, "Country"}, {103, "Original Transmission Reference"},
                                                 {116, "Copyright String"}, {122, "Caption Writer"}, {0, ""},
                                                 {6, ""}, {123, ""}, {220, ""}, {-5, ""}};
  for (const auto& [theNumber, theName] : kNames)
    EXPECT_EQ(GetIPTCDataSetName(theNumber), theName) << theNumber;
}

TEST(IPTCUtils, ReadResolutionInfoReadsFixedPointAndDefaults)
{
  struct Case {
    Bytes mBytes;
    double mHorizontal;
    double mVertical;
  } kCases[] = {
    {Resolution(72 << 16, 72 << 16 | 0xFFFF), 72.0, 73.0},
    {Resolution(300 << 16 | 0x8000, 150 << 16), 300 + 0x8000 / 65535.0, 150.0},
    {Bytes(15, 1), 72.0, 72.0},
  };
  for (const Case& theCase : kCases)
    EXPECT_EQ(ReadResolution(theCase.mBytes), std::pair(theCase.mHorizontal, theCase.mVertical))
      << theCase.mBytes.size() << " bytes";
}

// ImageMagick writes the image resources it is given into a Photoshop file's
// resource section and into a JPEG's APP13 segment, with the resolution
// block set from the image's resolution (as 16.16 numbers rounded up).
Bytes WriteWithMagick(const char* inFormat, const Bytes& inResources)
{
  static std::once_flag gStarted;
  std::call_once(gStarted, [] { MagickCoreGenesis(nullptr, MagickFalse); });
  ExceptionInfo* theException = AcquireExceptionInfo();
  ImageInfo* theInfo = AcquireImageInfo();
  Image* theImage = AcquireImage(theInfo);
  Bytes theFile;
  if (SetImageExtent(theImage, 8, 6) && SetImageBackgroundColor(theImage)) {
    StringInfo* theProfile = BlobToStringInfo(inResources.data(), inResources.size());
    SetImageProfile(theImage, "8bim", theProfile);
    DestroyStringInfo(theProfile);
    theImage->units = PixelsPerInchResolution;
    theImage->x_resolution = 300;
    theImage->y_resolution = 150;
    CopyMagickString(theInfo->magick, inFormat, MaxTextExtent);
    CopyMagickString(theImage->magick, inFormat, MaxTextExtent);
    std::size_t theLength = 0;
    void* theBlob = ImageToBlob(theInfo, theImage, &theLength, theException);
    if (theBlob)
      theFile.assign(static_cast<BYTE*>(theBlob), static_cast<BYTE*>(theBlob) + theLength);
    RelinquishMagickMemory(theBlob);
  }
  EXPECT_FALSE(theFile.empty()) << inFormat << ": " << (theException->reason ? theException->reason : "no file");
  DestroyImage(theImage);
  DestroyImageInfo(theInfo);
  DestroyExceptionInfo(theException);
  return theFile;
}

TEST(IPTCUtils, FindsResourcesInFilesWrittenByImageMagick)
{
  const Bytes theIPTC =
    Join({{0x1C, 2, 120, 0, 9}, Text("A caption"), {0x1C, 2, 25, 0, 3}, Text("one"), {0x1C, 2, 25, 0, 3}, Text("two")});
  const Bytes theResources = Join({Resource(kResolutionResourceID, "", Resolution(96 << 16, 96 << 16)),
                                   Resource(kIPTCResourceID, "", theIPTC)});
  const std::vector<DataSet> theExpected = {
    {2, 120, "Caption", Text("A caption")}, {2, 25, "Keyword", Text("one")}, {2, 25, "Keyword", Text("two")}};
  struct Case {
    const char* mFormat;
    const char* mSignature;
  } kCases[] = {{"PSD", "8BPS"}, {"JPEG", "\xFF\xD8\xFF"}};
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mFormat);
    const Bytes theFile = WriteWithMagick(theCase.mFormat, theResources);
    ASSERT_GE(theFile.size(), 4u);
    ASSERT_EQ(std::memcmp(theFile.data(), theCase.mSignature, std::strlen(theCase.mSignature)), 0);

    const Found theBlock = Find(theFile, kIPTCResourceID);
    const Walk theWalk = ReadAll(theBlock.mData);
    EXPECT_EQ(theWalk.mAnswer, 3);
    EXPECT_EQ(theWalk.mDataSets, theExpected);

    const auto [theHorizontal, theVertical] = ReadResolution(Find(theFile, kResolutionResourceID).mData);
    EXPECT_NEAR(theHorizontal, 300.0, 1e-4);
    EXPECT_NEAR(theVertical, 150.0, 1e-4);
  }
}

}  // namespace
