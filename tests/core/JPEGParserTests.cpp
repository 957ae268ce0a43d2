#include "core/ByteSource.h"
#include "core/JPEGParser.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

// libjpeg's header needs <cstdio> first.
#include <cstdio>
#include <jpeglib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

const std::set<std::string> kFailureTexts = {"JPEG file too short", "Bad JPEG marker length", "Bad SOF marker length",
                                             "Bad SOS marker length"};

// ---- Streams written by libjpeg-turbo

struct Marker {
  int mCode;
  Bytes mData;
};

struct Picture {
  const char* mName;
  int mWidth;
  int mHeight;
  int mComponents;
  J_COLOR_SPACE mInputSpace;
  std::optional<J_COLOR_SPACE> mFileSpace;
  bool mProgressive = false;
  Bytes mProfile = {};                // written with jpeg_write_icc_profile
  std::vector<Marker> mMarkers = {};  // written with jpeg_write_marker, in order
};

Bytes Encode(const Picture& inPicture)
{
  jpeg_compress_struct theInfo{};
  jpeg_error_mgr theErrors{};
  theInfo.err = jpeg_std_error(&theErrors);
  jpeg_create_compress(&theInfo);
  unsigned char* theBuffer = nullptr;
  unsigned long theSize = 0;
  jpeg_mem_dest(&theInfo, &theBuffer, &theSize);
  theInfo.image_width = static_cast<JDIMENSION>(inPicture.mWidth);
  theInfo.image_height = static_cast<JDIMENSION>(inPicture.mHeight);
  theInfo.input_components = inPicture.mComponents;
  theInfo.in_color_space = inPicture.mInputSpace;
  jpeg_set_defaults(&theInfo);
  if (inPicture.mFileSpace)
    jpeg_set_colorspace(&theInfo, *inPicture.mFileSpace);
  theInfo.density_unit = 1;
  theInfo.X_density = 300;
  theInfo.Y_density = 150;
  if (inPicture.mProgressive)
    jpeg_simple_progression(&theInfo);
  jpeg_start_compress(&theInfo, TRUE);
  if (!inPicture.mProfile.empty())
    jpeg_write_icc_profile(&theInfo, inPicture.mProfile.data(), static_cast<unsigned>(inPicture.mProfile.size()));
  for (const Marker& theMarker : inPicture.mMarkers)
    jpeg_write_marker(&theInfo, theMarker.mCode, theMarker.mData.data(), static_cast<unsigned>(theMarker.mData.size()));
  std::vector<JSAMPLE> theRow(static_cast<std::size_t>(inPicture.mWidth * inPicture.mComponents));
  for (int theY = 0; theY < inPicture.mHeight; ++theY) {
    for (std::size_t theX = 0; theX < theRow.size(); ++theX)
      theRow[theX] = static_cast<JSAMPLE>((theX * 7 + static_cast<std::size_t>(theY) * 13) & 0xFF);
    JSAMPROW theRows[] = {theRow.data()};
    jpeg_write_scanlines(&theInfo, theRows, 1);
  }
  jpeg_finish_compress(&theInfo);
  jpeg_destroy_compress(&theInfo);
  Bytes theBytes(theBuffer, theBuffer + theSize);
  std::free(theBuffer);
  return theBytes;
}

Bytes RandomBytes(std::size_t inCount, unsigned inSeed)
{
  std::mt19937 theGenerator(inSeed);
  Bytes theBytes(inCount);
  for (BYTE& theByte : theBytes)
    theByte = static_cast<BYTE>(theGenerator());
  return theBytes;
}

// The APP2 payload of chunk inNumber of inTotal.
Bytes ICCChunk(int inNumber, int inTotal, const Bytes& inData)
{
  Bytes theChunk = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, BYTE(inNumber), BYTE(inTotal)};
  theChunk.insert(theChunk.end(), inData.begin(), inData.end());
  return theChunk;
}

Bytes Join(std::initializer_list<Bytes> inParts)
{
  Bytes theJoined;
  for (const Bytes& thePart : inParts)
    theJoined.insert(theJoined.end(), thePart.begin(), thePart.end());
  return theJoined;
}

// ---- Hand-built streams

const Bytes kSOI = {0xFF, 0xD8};
const Bytes kEOI = {0xFF, 0xD9};

// A segment whose length field says inLength whatever follows.
Bytes RawSegment(BYTE inMarker, unsigned inLength, const Bytes& inRest = {})
{
  return Join({{0xFF, inMarker, BYTE(inLength >> 8), BYTE(inLength)}, inRest});
}

Bytes Segment(BYTE inMarker, const Bytes& inPayload)
{
  return RawSegment(inMarker, static_cast<unsigned>(inPayload.size() + 2), inPayload);
}

Bytes Frame(BYTE inMarker, int inWidth, int inHeight, int inComponents, int inExtraLength = 0)
{
  Bytes thePayload = {8, BYTE(inHeight >> 8), BYTE(inHeight), BYTE(inWidth >> 8), BYTE(inWidth), BYTE(inComponents)};
  for (int theComponent = 0; theComponent < inComponents; ++theComponent)
    thePayload.insert(thePayload.end(), {BYTE(theComponent + 1), 0x11, 0});
  thePayload.insert(thePayload.end(), static_cast<std::size_t>(inExtraLength), 0);
  return Segment(inMarker, thePayload);
}

Bytes Scan(int inComponents)
{
  Bytes thePayload = {BYTE(inComponents)};
  for (int theComponent = 0; theComponent < inComponents; ++theComponent)
    thePayload.insert(thePayload.end(), {BYTE(theComponent + 1), 0});
  thePayload.insert(thePayload.end(), {0, 63, 0});
  return Segment(0xDA, thePayload);
}

// ---- Reading through the parser

// Data at the very end of a readable region, followed by an inaccessible
// page, so a read beyond its end faults at once.
class GuardedBuffer {
public:
  explicit GuardedBuffer(const Bytes& inData)
  {
    std::size_t thePage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    mSize = (inData.size() + thePage - 1) / thePage * thePage + thePage;
    mBlock = static_cast<BYTE*>(mmap(nullptr, mSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(mBlock + mSize - thePage, thePage, PROT_NONE);
    mData = mBlock + mSize - thePage - inData.size();
    if (!inData.empty())
      std::memcpy(mData, inData.data(), inData.size());
  }
  ~GuardedBuffer() { munmap(mBlock, mSize); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  const BYTE* Data() const { return mData; }

private:
  BYTE* mBlock;
  BYTE* mData;
  std::size_t mSize;
};

struct Outcome {
  LONG mResult = -1;     // the answer, when nothing was thrown
  std::string mThrown;   // the failure's text, when one was
  std::string mError;    // the parser's error text afterwards
};

Outcome Walk(const Bytes& inData, const std::function<LONG(JPEGParser&)>& inStep, JPEGParser* outParser = nullptr)
{
  GuardedBuffer theBuffer(inData);
  ByteSource theSource(theBuffer.Data(), static_cast<DWORD>(inData.size()));
  JPEGParser theLocal;
  JPEGParser& theParser = outParser ? *outParser : theLocal;
  theParser.SetSource(&theSource);
  Outcome theOutcome;
  try {
    theOutcome.mResult = inStep(theParser);
  } catch (const JPEGParserFailure& theFailure) {
    theOutcome.mThrown = theFailure.GetText();
  }
  theOutcome.mError = theParser.GetErrorText();
  return theOutcome;
}

LONG DoCheck(JPEGParser& inParser) { return inParser.Check(); }
LONG DoParse(JPEGParser& inParser) { return inParser.Parse(); }

Bytes TakeICC(const Bytes& inData)
{
  Bytes theProfile;
  Walk(inData, [&](JPEGParser& inParser) {
    theProfile = inParser.TakeICC();
    return 0;
  });
  return theProfile;
}

// ---- Files written by libjpeg-turbo

TEST(JPEGParser, ReadsWhatLibjpegWrites)
{
  const Bytes kProfile = RandomBytes(150000, 1);  // three APP2 chunks
  struct Case {
    Picture mPicture;
    bool mJFIF;
    bool mAdobe;
    LONG mTransform;
  };
  const Case kCases[] = {
    {{"baseline", 37, 23, 3, JCS_RGB, std::nullopt}, true, false, 0},
    {{"progressive", 64, 48, 3, JCS_RGB, std::nullopt, true}, true, false, 0},
    {{"grey", 17, 300, 1, JCS_GRAYSCALE, std::nullopt}, true, false, 0},
    {{"cmyk", 40, 30, 4, JCS_CMYK, JCS_CMYK}, false, true, 0},
    {{"ycck with a profile", 40, 30, 4, JCS_CMYK, JCS_YCCK, false, kProfile}, false, true, 2},
  };
  for (const Case& theCase : kCases) {
    const Picture& thePicture = theCase.mPicture;
    SCOPED_TRACE(thePicture.mName);
    Bytes theData = Encode(thePicture);
    EXPECT_TRUE(IsJPEGData(theData.data(), static_cast<DWORD>(theData.size())));

    JPEGParser theParser;
    Outcome theWalk = Walk(theData, DoParse, &theParser);
    ASSERT_EQ(theWalk.mResult, 0) << theWalk.mThrown;
    EXPECT_EQ(theParser.GetWidth(), thePicture.mWidth);
    EXPECT_EQ(theParser.GetHeight(), thePicture.mHeight);
    EXPECT_EQ(theParser.GetComponents(), thePicture.mComponents);
    const JFIFFields& theJFIF = theParser.GetJFIF();
    EXPECT_EQ(theJFIF.mPresent, theCase.mJFIF);
    if (theCase.mJFIF) {
      EXPECT_EQ(theJFIF.mMajorVersion, 1);
      EXPECT_EQ(theJFIF.mMinorVersion, 1);
      EXPECT_EQ(theJFIF.mUnits, 1);
      EXPECT_EQ(theJFIF.mXDensity, 300);
      EXPECT_EQ(theJFIF.mYDensity, 150);
    }
    EXPECT_EQ(theParser.HasAdobe(), theCase.mAdobe);
    EXPECT_EQ(theParser.GetAdobeTransform(), theCase.mTransform);

    EXPECT_EQ(TakeICC(theData), thePicture.mProfile);
  }
}

TEST(JPEGParser, AssemblesChunksInAnyOrderAndStopsThere)
{
  const Bytes kParts[] = {RandomBytes(100, 2), RandomBytes(3000, 3), RandomBytes(1, 4)};
  const Bytes kProfile = Join({kParts[0], kParts[1], kParts[2]});
  Picture thePicture{"chunks 2, 3, 1", 8, 8, 3, JCS_RGB, std::nullopt};
  thePicture.mMarkers = {{JPEG_APP0 + 2, ICCChunk(2, 3, kParts[1])},
                         {JPEG_APP0 + 2, ICCChunk(3, 3, kParts[2])},
                         {JPEG_APP0 + 2, ICCChunk(1, 3, kParts[0])}};
  EXPECT_EQ(TakeICC(Encode(thePicture)), kProfile);

  // After the chunk that completes the profile nothing more is read.
  Bytes theStream = Join({kSOI, Segment(0xE2, ICCChunk(2, 3, kParts[1])), Segment(0xE2, ICCChunk(3, 3, kParts[2])),
                          Segment(0xE2, ICCChunk(1, 3, kParts[0])), RawSegment(0xE1, 1)});
  EXPECT_EQ(TakeICC(theStream), kProfile);
  EXPECT_EQ(Walk(theStream, DoParse).mThrown, "Bad JPEG marker length") << "a full walk does read on";
}

TEST(JPEGParser, ChunksThatDoNotFitAreIgnored)
{
  const Bytes kA = {'A', 'A'};
  const Bytes kB = {'B', 'B', 'B'};
  const Bytes kC = {'C'};
  struct Case {
    const char* mName;
    std::vector<Bytes> mChunks;  // APP2 payloads in order
    Bytes mProfile;
  };
  const Case kCases[] = {
    {"one of two", {ICCChunk(1, 2, kA)}, {}}, {"a total of 0", {ICCChunk(1, 0, kA), ICCChunk(1, 1, kB)}, kB},
    {"number 0", {ICCChunk(0, 1, kA), ICCChunk(1, 1, kC)}, kC},
    {"number above the total", {ICCChunk(3, 2, kA), ICCChunk(1, 2, kB), ICCChunk(2, 2, kC)}, Join({kB, kC})},
    {"number above the first total", {ICCChunk(1, 2, kA), ICCChunk(3, 3, kB), ICCChunk(2, 3, kC)}, Join({kA, kC})},
    {"a repeated chunk replaces", {ICCChunk(1, 2, kA), ICCChunk(1, 2, kB), ICCChunk(2, 2, kC)}, Join({kB, kC})},
    {"an empty chunk is present", {ICCChunk(1, 2, {}), ICCChunk(2, 2, kC)}, kC},
    {"another identifier", {{'F', 'P', 'X', 'R', 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 'x'}, ICCChunk(1, 1, kA)}, kA},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    Bytes theStream = kSOI;
    for (const Bytes& theChunk : theCase.mChunks)
      theStream = Join({theStream, Segment(0xE2, theChunk)});
    theStream = Join({theStream, Frame(0xC0, 1, 1, 1), kEOI});
    EXPECT_EQ(TakeICC(theStream), theCase.mProfile);
  }
}

// ---- Hand-built streams: every edge of the walk

TEST(JPEGParser, WalksMarkersAsTheyCome)
{
  struct Case {
    const char* mName;
    Bytes mData;
    std::function<LONG(JPEGParser&)> mStep;
    LONG mResult;           // when nothing is thrown
    const char* mThrown;    // else the failure's text
    const char* mError;     // the error text afterwards
  };
  const Bytes kJunk = {0xFF, 0xE1, 0x00, 0x01, 0x55};
  const Case kCases[] = {
    {"no start of image", {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xD9}, DoCheck, 1, "", "JPEG header missing"},
    {"Parse without start of image", {0xFF, 0xD9, 0xFF, 0xD9}, DoParse, 1, "", "JPEG header missing"},
    {"ends with EOI: no walk", Join({kSOI, kJunk, kEOI}), DoCheck, 0, "", ""},
    {"the same walked", Join({kSOI, kJunk, kEOI}), DoParse, -1, "Bad JPEG marker length", "Bad JPEG marker length"},
    {"walk to EOI", Join({kSOI, Frame(0xC0, 9, 8, 3), Scan(3), {1, 2, 3}, kEOI, {0}}), DoCheck, 0, "", ""},
    {"walk off the end", Join({kSOI, Frame(0xC0, 9, 8, 3), Scan(3), {1, 2, 3}}), DoCheck, -1, "JPEG file too short",
     "JPEG file too short"},
    {"SOF of length 17, 3 components", Join({kSOI, Frame(0xC1, 9, 8, 3), kEOI}), DoParse, 0, "", ""},
    {"SOF of length 18, 3 components", Join({kSOI, Frame(0xC1, 9, 8, 3, 1), kEOI}), DoParse, -1,
     "Bad SOF marker length", "Bad SOF marker length"},
    {"SOS of a wrong length", Join({kSOI, RawSegment(0xDA, 9, {1, 1, 0, 0, 63, 0, 0}), kEOI}), DoParse, -1,
     "Bad SOS marker length", "Bad SOS marker length"},
    {"APP2 of length 15 skipped whole",
     Join({kSOI, RawSegment(0xE2, 15, {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1}), kEOI}),
     DoParse, 0, "", ""},
    {"FF 00 inside scan data", Join({kSOI, Scan(1), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0x00}, kEOI, {0}}), DoCheck, 0,
     "", ""},
    {"FF 00 outside scan data is a marker with a length",
     Join({kSOI, {0xFF, 0x00, 0x00, 0x04, 0xFF, 0xD9}, kEOI, {0}}), DoCheck, 0, "", ""},
    {"fill bytes", Join({kSOI, {0xFF, 0xFF, 0xFF}, kEOI, {0}}), DoCheck, 0, "", ""},
    {"restart markers and TEM", Join({kSOI, Scan(1), {1, 0xFF, 0xD0, 2, 0xFF, 0x00, 0xFF, 0x01}, kEOI, {7}}),
     DoCheck, 0, "", ""},
    {"comments and APP12 text", Join({kSOI, Segment(0xFE, Bytes(600, 'c')), Segment(0xEC, {'D', 'u', 'c', 'k'}), kEOI, {0}}),
     DoCheck, 0, "", ""},
    {"a length that runs past the end", Join({kSOI, RawSegment(0xE5, 0xFFFF, {1, 2}), kEOI}), DoParse, -1,
     "JPEG file too short", "JPEG file too short"},
    {"only a start of image", kSOI, DoCheck, -1, "JPEG file too short", "JPEG file too short"},
    {"one byte", {0xFF}, DoCheck, -1, "JPEG file too short", "JPEG file too short"},
    {"nothing", {}, DoCheck, -1, "JPEG file too short", "JPEG file too short"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    Outcome theOutcome = Walk(theCase.mData, theCase.mStep);
    EXPECT_EQ(theOutcome.mThrown, theCase.mThrown);
    if (!*theCase.mThrown) {
      EXPECT_EQ(theOutcome.mResult, theCase.mResult);
    }
    EXPECT_EQ(theOutcome.mError, theCase.mError);
  }
}

// The "Photoshop 3.0" APP13 segments before the first scan, joined in file
// order; other APP13 segments, and whatever follows the scan, left out.
TEST(JPEGParser, JoinsThePhotoshopSegmentsBeforeTheScan)
{
  auto thePhotoshop = [](const Bytes& inData) {
    return Segment(0xED, Join({{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0}, inData}));
  };
  const Bytes theFrame = Join({Frame(0xC0, 9, 8, 1), Scan(1), {1, 2, 3}});
  struct Case {
    const char* mName;
    Bytes mData;
    Bytes mJoined;
  } const kCases[] = {
    {"two segments", Join({kSOI, thePhotoshop({'8', 'B'}), Segment(0xDB, {0, 1}), thePhotoshop({'I', 'M'}), theFrame,
                           kEOI}),
     {'8', 'B', 'I', 'M'}},
    {"an empty segment and another APP13",
     Join({kSOI, thePhotoshop({}), Segment(0xED, {'A', 'd', 'o', 'b', 'e', '_', 'C', 'M', 0, 5, 6, 7, 8, 9}),
           thePhotoshop({5}), theFrame, kEOI}),
     {5}},
    {"identifier without its zero", Join({kSOI, Segment(0xED, {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3',
                                                               '.', '0', '!', 4}),
                                          theFrame, kEOI}),
     {}},
    {"after the scan", Join({kSOI, thePhotoshop({1}), theFrame, thePhotoshop({2}), kEOI}), {1}},
    {"the second cut short", Join({kSOI, thePhotoshop({1}), RawSegment(0xED, 40, {'P', 'h', 'o', 't', 'o'})}), {1}},
    {"no start of image", Join({thePhotoshop({1}), kEOI}), {}},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    Bytes theJoined = {9};
    Bytes theAgain = {9};
    Walk(theCase.mData, [&](JPEGParser& inParser) {
      theJoined = inParser.TakePhotoshopResources();
      theAgain = inParser.TakePhotoshopResources();
      return 0;
    });
    EXPECT_EQ(theJoined, theCase.mJoined);
    EXPECT_EQ(theAgain, theCase.mJoined) << "a second walk joins them again";
  }
}

TEST(JPEGParser, ALengthBelowTwoIsBadEverywhere)
{
  const BYTE kMarkers[] = {0xC0, 0xC2, 0xC4, 0xD8, 0xDA, 0xDB, 0xE0, 0xE2, 0xE5, 0xEC, 0xED, 0xEE, 0xFE};
  for (BYTE theMarker : kMarkers) {
    for (unsigned theLength : {0u, 1u}) {
      SCOPED_TRACE(testing::Message() << std::hex << int(theMarker) << " length " << theLength);
      Bytes theData = Join({kSOI, RawSegment(theMarker, theLength, Bytes(40, 0)), kEOI});
      Outcome theOutcome = Walk(theData, DoParse);
      EXPECT_EQ(theOutcome.mThrown, "Bad JPEG marker length");
      Outcome theCollecting = Walk(theData, [](JPEGParser& inParser) {
        inParser.ParseAll();
        return 0;
      });
      EXPECT_EQ(theCollecting.mThrown, "Bad JPEG marker length");
    }
  }
}

TEST(JPEGParser, ReadsJFIFAndAdobeFields)
{
  Bytes theJFIF = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 2, 0x01, 0x2C, 0x00, 0x48, 0, 0});
  Bytes theShortAPP0 = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 9});
  Bytes theJFXX = Segment(0xE0, {'J', 'F', 'X', 'X', 0, 0x10, 1, 2, 3, 4, 5, 6});
  Bytes theAdobe = Segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 1});
  Bytes theOther = Segment(0xEE, {'O', 't', 'h', 'e', 'r', 0, 100, 0, 0, 0, 0, 1});
  JPEGParser theParser;
  Outcome theOutcome = Walk(Join({kSOI, theShortAPP0, theJFXX, theOther, theJFIF, theAdobe, kEOI}), DoParse, &theParser);
  ASSERT_EQ(theOutcome.mResult, 0) << theOutcome.mThrown;
  const JFIFFields& theFields = theParser.GetJFIF();
  EXPECT_TRUE(theFields.mPresent);
  EXPECT_EQ(theFields.mMajorVersion, 1);
  EXPECT_EQ(theFields.mMinorVersion, 2);
  EXPECT_EQ(theFields.mUnits, 2);
  EXPECT_EQ(theFields.mXDensity, 300);
  EXPECT_EQ(theFields.mYDensity, 72);
  EXPECT_TRUE(theParser.HasAdobe());
  EXPECT_EQ(theParser.GetAdobeTransform(), 1);
}

TEST(JPEGParser, BrokenCopiesOfRealFilesFailCleanly)
{
  Picture thePicture{"profiled progressive", 33, 17, 3, JCS_RGB, std::nullopt, true, RandomBytes(70000, 5)};
  Bytes theData = Encode(thePicture);
  // Every truncation: never a JPEG, always one of the failure texts.
  std::size_t theStep = std::max<std::size_t>(1, theData.size() / 3000);
  for (std::size_t theLength = 0; theLength < theData.size(); theLength += theStep) {
    Bytes theCut(theData.begin(), theData.begin() + static_cast<long>(theLength));
    Outcome theOutcome = Walk(theCut, DoCheck);
    ASSERT_TRUE(kFailureTexts.count(theOutcome.mThrown) || theOutcome.mResult == 1) << "cut at " << theLength;
    if (theLength > 0) {
      ASSERT_FALSE(IsJPEGData(theCut.data(), static_cast<DWORD>(theCut.size()))) << "cut at " << theLength;
    }
  }
}

TEST(JPEGParser, JPEGTestsOnDataAndFiles)
{
  Bytes theData = Encode({"file", 10, 10, 3, JCS_RGB, std::nullopt});
  std::string theFolder = tltest::MakeTempFolder("jpeg");
  std::string theFile = theFolder + "/photo.jpg";
  std::ofstream(theFile, std::ios::binary).write(reinterpret_cast<const char*>(theData.data()),
                                                 static_cast<std::streamsize>(theData.size()));
  std::string theText = theFolder + "/photo.txt";
  std::ofstream(theText) << "not a JPEG at all";
  EXPECT_TRUE(IsJPEGFile(theFile.c_str()));
  EXPECT_FALSE(IsJPEGFile(theText.c_str()));
  EXPECT_FALSE(IsJPEGFile((theFolder + "/missing.jpg").c_str()));
  EXPECT_FALSE(IsJPEGFile(theFolder.c_str()));

  // A file answers as its bytes do, whether its ends settle it or not.
  Bytes theTrailed = theData;
  theTrailed.insert(theTrailed.end(), {0x00, 0x00});
  const std::vector<std::pair<const char*, Bytes>> kFiles = {
    {"the two ends alone", {0xFF, 0xD8, 0xFF, 0xD9}},
    {"ends around nothing valid", {0xFF, 0xD8, 0x12, 0x34, 0xFF, 0xD9}},
    {"three bytes", {0xFF, 0xD8, 0xD9}},
    {"no end of image", {0xFF, 0xD8, 0xFF, 0x00}},
    {"bytes after the end of image", theTrailed},
    {"no start of image", {0xFF, 0xD7, 0xFF, 0xD9}},
  };
  for (const auto& [theName, theBytes] : kFiles) {
    const std::string thePath = theFolder + "/case.jpg";
    std::ofstream(thePath, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(theBytes.data()), static_cast<std::streamsize>(theBytes.size()));
    EXPECT_EQ(IsJPEGFile(thePath.c_str()), IsJPEGData(theBytes.data(), static_cast<DWORD>(theBytes.size())))
      << theName;
  }

  tltest::EventWatcher theEvents;
  EXPECT_FALSE(IsJPEGData(nullptr, 100));
  EXPECT_FALSE(IsJPEGData(theData.data(), 0));
  EXPECT_FALSE(IsJPEGFile(nullptr));
  EXPECT_EQ(theEvents.NewAssertions("JPEGParser"), (std::vector<std::string>{"(inPtr)", "(inLen > 0)", "(inFile)"}));
}

// ---- Seeded mutations

Bytes Mutate(Bytes inData, std::mt19937& ioGenerator)
{
  auto thePick = [&](std::size_t inBound) {
    return inBound == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, inBound - 1)(ioGenerator);
  };
  int theCount = 1 + static_cast<int>(thePick(4));
  for (int theMutation = 0; theMutation < theCount && !inData.empty(); ++theMutation) {
    std::size_t theAt = thePick(inData.size());
    const std::size_t theLength = thePick(std::min<std::size_t>(64, inData.size() - theAt) + 1);
    const auto theFrom = inData.begin() + static_cast<long>(theAt);
    switch (thePick(7)) {
      case 0: inData[theAt] ^= static_cast<BYTE>(1u << thePick(8)); break;
      case 1: inData[theAt] = 0xFF; break;
      case 2: inData[theAt] = 0x00; break;
      case 3: inData.resize(theAt); break;
      case 4:  // a two-byte length anywhere
        inData[theAt] = static_cast<BYTE>(thePick(256));
        if (theAt + 1 < inData.size())
          inData[theAt + 1] = static_cast<BYTE>(thePick(256));
        break;
      case 5: {  // a range repeated
        const Bytes theRange(theFrom, theFrom + static_cast<long>(theLength));
        inData.insert(inData.begin() + static_cast<long>(thePick(inData.size())), theRange.begin(), theRange.end());
        break;
      }
      default: inData.erase(theFrom, theFrom + static_cast<long>(theLength)); break;  // a range removed
    }
  }
  return inData;
}

TEST(JPEGParser, SeededMutationsNeverCrash)
{
  const Bytes kSmallProfile[] = {RandomBytes(120, 6), RandomBytes(90, 7), RandomBytes(40, 8)};
  Picture theChunked{"chunked cmyk", 16, 12, 4, JCS_CMYK, JCS_CMYK};
  theChunked.mMarkers = {{JPEG_APP0 + 2, ICCChunk(1, 3, kSmallProfile[0])},
                         {JPEG_APP0 + 2, ICCChunk(3, 3, kSmallProfile[2])},
                         {JPEG_COM, {'h', 'i'}},
                         {JPEG_APP0 + 2, ICCChunk(2, 3, kSmallProfile[1])}};
  const Bytes kSamples[] = {
    Encode({"baseline", 24, 16, 3, JCS_RGB, std::nullopt}),
    Encode({"progressive", 24, 16, 3, JCS_RGB, std::nullopt, true}),
    Encode({"grey", 16, 16, 1, JCS_GRAYSCALE, std::nullopt}),
    Encode(theChunked),
  };
  constexpr unsigned kSeed = 0x7E55A11E;
  constexpr int kRounds = 3000;
  std::mt19937 theGenerator(kSeed);
  for (int theRound = 0; theRound < kRounds; ++theRound) {
    const Bytes& theSample = kSamples[static_cast<std::size_t>(theRound) % std::size(kSamples)];
    Bytes theData = Mutate(theSample, theGenerator);
    SCOPED_TRACE(testing::Message() << "seed " << kSeed << " round " << theRound << " (" << theData.size() << " bytes)");
    for (const auto& theStep : {std::function<LONG(JPEGParser&)>(DoCheck), std::function<LONG(JPEGParser&)>(DoParse),
                                std::function<LONG(JPEGParser&)>([](JPEGParser& inParser) {
                                  return static_cast<LONG>(inParser.TakeICC().size() + inParser.GetICCSize());
                                })}) {
      Outcome theOutcome = Walk(theData, theStep);
      ASSERT_TRUE(theOutcome.mThrown.empty() || kFailureTexts.count(theOutcome.mThrown)) << theOutcome.mThrown;
      ASSERT_TRUE(theOutcome.mError.empty() || theOutcome.mError == "JPEG header missing" ||
                  kFailureTexts.count(theOutcome.mError))
        << theOutcome.mError;
    }
    if (!theData.empty())
      IsJPEGData(theData.data(), static_cast<DWORD>(theData.size()));
  }
}

}  // namespace
