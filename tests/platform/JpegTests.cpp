#include "platform/jpeg/Jpeg.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

using jpegtest::Bytes;
using jpegtest::JpegSpec;

// One record over a memory block or a file, freed at the end.
class Reader {
public:
  explicit Reader(const Bytes& inJpeg) : mJpeg(inJpeg)
  {
    ijlInit(&mProps);
    mProps.JPGBytes = mJpeg.data();
    mProps.JPGSizeBytes = static_cast<LONG>(mJpeg.size());
  }
  explicit Reader(const std::string& inPath) : mPath(inPath)
  {
    ijlInit(&mProps);
    mProps.JPGFile = mPath.c_str();
  }
  ~Reader() { ijlFree(&mProps); }

  IJLERR Header() { return ijlRead(&mProps, Mode(IJL_FILE_READ_HEADER)); }

  // The image at 1 / inScale into a new DIB whose rows are followed by
  // inPad bytes of 0xEE.
  IJLERR Image(int inScale, int inChannels, IJL_COLOR inColor, LONG inPad = 0, bool inBottomUp = false)
  {
    mProps.DIBWidth = (mProps.JPGWidth + inScale - 1) / inScale;
    const LONG theHeight = (mProps.JPGHeight + inScale - 1) / inScale;
    mProps.DIBHeight = inBottomUp ? theHeight : -theHeight;
    mProps.DIBChannels = inChannels;
    mProps.DIBColor = inColor;
    mProps.DIBPadBytes = inPad;
    mProps.JPGColor = inColor == IJL_OTHER ? IJL_OTHER : IJL_YCBCR;
    mDIB.assign(static_cast<std::size_t>(RowBytes()) * theHeight, 0xEE);
    mProps.DIBBytes = mDIB.data();
    const IJLIOTYPE kModes[] = {IJL_FILE_READ_IMAGE, IJL_FILE_READ_HALF, IJL_FILE_READ_QUARTER, IJL_FILE_READ_EIGHTH};
    return ijlRead(&mProps, Mode(kModes[inScale == 1 ? 0 : inScale == 2 ? 1 : inScale == 4 ? 2 : 3]));
  }

  LONG RowBytes() const { return mProps.DIBWidth * mProps.DIBChannels + mProps.DIBPadBytes; }
  const BYTE* Pixel(LONG inX, LONG inY) const { return &mDIB[inY * RowBytes() + inX * mProps.DIBChannels]; }

  // "" when every pixel equals the oracle's (channels reversed into B, G, R)
  // and every padding byte is untouched; else the first difference.
  std::string Compare(const jpegtest::Image& inOracle) const
  {
    if (inOracle.mWidth != mProps.DIBWidth || inOracle.mHeight != std::abs(mProps.DIBHeight))
      return "size " + std::to_string(inOracle.mWidth) + "x" + std::to_string(inOracle.mHeight);
    for (LONG theY = 0; theY < inOracle.mHeight; ++theY) {
      for (LONG theX = 0; theX < inOracle.mWidth; ++theX)
        for (LONG theChannel = 0; theChannel < mProps.DIBChannels; ++theChannel) {
          const int theOracle = inOracle.At(theX, theY)[inOracle.mChannels == 3 ? 2 - theChannel : 0];
          if (Pixel(theX, theY)[theChannel] != theOracle)
            return "pixel " + std::to_string(theX) + "," + std::to_string(theY) + " channel " +
                   std::to_string(theChannel) + ": " + std::to_string(Pixel(theX, theY)[theChannel]) + " for " +
                   std::to_string(theOracle);
        }
      for (LONG thePad = 0; thePad < mProps.DIBPadBytes; ++thePad)
        if (mDIB[(theY + 1) * RowBytes() - 1 - thePad] != 0xEE)
          return "padding of row " + std::to_string(theY);
    }
    return "";
  }

  JPEG_CORE_PROPERTIES mProps;

private:
  IJLIOTYPE Mode(IJLIOTYPE inFileMode) const { return static_cast<IJLIOTYPE>(inFileMode + (mPath.empty() ? 1 : 0)); }

  Bytes mJpeg;
  std::string mPath;
  Bytes mDIB;
};

TEST(JpegLibrary, DecodesAsDjpegDoesAtEveryScaleFromFilesAndMemory)
{
  struct Case {
    const char* mName;
    JpegSpec mSpec;
  };
  const Case kCases[] = {
    {"4:2:0", {.mWidth = 83, .mHeight = 61}},
    {"4:4:4", {.mWidth = 83, .mHeight = 61, .mHSampling = 1, .mVSampling = 1}},
    {"4:2:2 progressive", {.mWidth = 83, .mHeight = 61, .mVSampling = 1, .mProgressive = true}},
    {"RGB stored", {.mWidth = 83, .mHeight = 61, .mFileSpace = JCS_RGB, .mHSampling = 1, .mVSampling = 1}},
    {"grey", {.mWidth = 83, .mHeight = 61, .mChannels = 1, .mFileSpace = JCS_GRAYSCALE, .mHSampling = 1, .mVSampling = 1}},
  };
  for (const Case& theCase : kCases) {
    const Bytes theJpeg = jpegtest::MakeJpeg(theCase.mSpec);
    const std::string thePath = jpegtest::WriteTempFile(theJpeg, "picture.jpg");
    for (int theScale : {1, 2, 4, 8}) {
      const jpegtest::Image theOracle = jpegtest::Djpeg(thePath, theScale);
      for (bool theFromFile : {true, false}) {
        SCOPED_TRACE(std::string(theCase.mName) + " at 1/" + std::to_string(theScale) + (theFromFile ? " from a file" : " from memory"));
        Reader theReader = theFromFile ? Reader(thePath) : Reader(theJpeg);
        ASSERT_EQ(theReader.Header(), IJL_OK);
        ASSERT_EQ(theReader.Image(theScale, 3, IJL_BGR, 3, theScale % 4 == 0), IJL_OK);
        EXPECT_EQ(theReader.Compare(theOracle), "");
        if (theCase.mSpec.mChannels == 1) {
          ASSERT_EQ(theReader.Image(theScale, 1, IJL_G, 1), IJL_OK);
          EXPECT_EQ(theReader.Compare(theOracle), "");
        }
      }
    }
  }
}

TEST(JpegLibrary, GivesTheTopRowFirstInBlueGreenRed)
{
  Reader theReader(jpegtest::MakeJpeg({.mHSampling = 1, .mVSampling = 1, .mQuality = 95}));
  ASSERT_EQ(theReader.Header(), IJL_OK);
  ASSERT_EQ(theReader.Image(1, 3, IJL_BGR, 0, true), IJL_OK);
  // Red, green, blue and yellow quadrants, slightly shaded from the left.
  const struct {
    LONG mX, mY;
    int mBlue, mGreen, mRed;
  } kCorners[] = {{2, 2, 1, 1, 254}, {61, 2, 37, 218, 37}, {2, 45, 254, 1, 1}, {61, 45, 37, 218, 218}};
  for (const auto& theCorner : kCorners) {
    const BYTE* thePixel = theReader.Pixel(theCorner.mX, theCorner.mY);
    EXPECT_NEAR(thePixel[0], theCorner.mBlue, 8) << theCorner.mX << "," << theCorner.mY;
    EXPECT_NEAR(thePixel[1], theCorner.mGreen, 8) << theCorner.mX << "," << theCorner.mY;
    EXPECT_NEAR(thePixel[2], theCorner.mRed, 8) << theCorner.mX << "," << theCorner.mY;
  }
}

TEST(JpegLibrary, HeaderReadsGiveSizeChannelsAndAdobeTransform)
{
  const struct {
    const char* mName;
    JpegSpec mSpec;
    LONG mChannels;
    LONG mAdobeTransform;
  } kCases[] = {
    {"JFIF colour", {.mWidth = 40, .mHeight = 30}, 3, -1},
    {"grey", {.mWidth = 40, .mHeight = 30, .mChannels = 1, .mFileSpace = JCS_GRAYSCALE}, 1, -1},
    {"RGB", {.mWidth = 40, .mHeight = 30, .mFileSpace = JCS_RGB}, 3, 0},
    {"Adobe CMYK", {.mWidth = 40, .mHeight = 30, .mChannels = 4, .mFileSpace = JCS_CMYK}, 4, 0},
    {"YCCK", {.mWidth = 40, .mHeight = 30, .mChannels = 4, .mFileSpace = JCS_YCCK}, 4, 2},
    {"plain CMYK", {.mWidth = 40, .mHeight = 30, .mChannels = 4, .mFileSpace = JCS_CMYK, .mAdobe = false}, 4, -1},
  };
  for (const auto& theCase : kCases) {
    Reader theReader(jpegtest::MakeJpeg(theCase.mSpec));
    EXPECT_EQ(theReader.Header(), IJL_OK) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGWidth, 40) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGHeight, 30) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGChannels, theCase.mChannels) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGAdobeTransform, theCase.mAdobeTransform) << theCase.mName;
  }
}

TEST(JpegLibrary, RefusesHostileStreamsWithClearCodesAndKeepsTheFrameSize)
{
  const Bytes theJpeg = jpegtest::MakeJpeg({});
  const Bytes theProgressive = jpegtest::MakeJpeg({.mProgressive = true});
  std::size_t theFirstScan = 0;
  while (!(theJpeg[theFirstScan] == 0xFF && theJpeg[theFirstScan + 1] == 0xDA))
    ++theFirstScan;
  // The frame header: its marker, its length, the precision of its samples.
  const Bytes theFrameMarker = {0xFF, 0xC0};
  const std::size_t theFrame = static_cast<std::size_t>(
    std::search(theJpeg.begin(), theJpeg.end(), theFrameMarker.begin(), theFrameMarker.end()) - theJpeg.begin());
  Bytes theTwelveBit = theJpeg;
  theTwelveBit[theFrame + 4] = 12;
  Bytes theLongFrame = theJpeg;
  ++theLongFrame[theFrame + 3];
  const std::string theFolder = tltest::MakeTempFolder("hostile");
  // A picture whose path is longer than Windows allows.
  const std::string theDeepFolder = theFolder + "/" + std::string(120, 'a') + "/" + std::string(120, 'b');
  std::filesystem::create_directories(theDeepFolder);
  const std::string theLongPath = theDeepFolder + "/" + std::string(40, 'c') + ".jpg";
  std::ofstream(theLongPath, std::ios::binary).write(reinterpret_cast<const char*>(theJpeg.data()),
                                                     static_cast<std::streamsize>(theJpeg.size()));
  const struct {
    const char* mName;
    Bytes mBytes;  // empty: read mPath
    std::string mPath;
    bool mImage;
    IJLERR mResult;
    LONG mWidth;
    LONG mChannels;
  } kCases[] = {
    {"a stream of one byte", {0xFF}, "", false, IJL_NOT_JPEG, 0, 0},
    {"a GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, "", false, IJL_NOT_JPEG, 0, 0},
    {"cut inside the tables", Bytes(theJpeg.begin(), theJpeg.begin() + static_cast<long>(theFirstScan) - 20), "",
     false, IJL_TRUNCATED, 64, 3},
    {"a frame header one byte long", theLongFrame, "", false, IJL_CORRUPT, 64, 3},
    {"2 channels", jpegtest::MakeJpeg({.mChannels = 2, .mFileSpace = JCS_UNKNOWN, .mHSampling = 1, .mVSampling = 1}),
     "", false, IJL_UNSUPPORTED_CHANNELS, 64, 2},
    {"progressive 30000 x 30000", jpegtest::WithFrameSize(theProgressive, 30000, 30000), "", false, IJL_TOO_LARGE,
     30000, 3},
    {"progressive 30000 x 30000, image", jpegtest::WithFrameSize(theProgressive, 30000, 30000), "", true,
     IJL_TOO_LARGE, 30000, 3},
    {"65535 wide", jpegtest::WithFrameSize(theJpeg, 65535, 48), "", false, IJL_TOO_LARGE, 65535, 3},
    {"12 bits a sample", theTwelveBit, "", false, IJL_UNSUPPORTED_JPEG, 64, 3},
    {"600 scans more", jpegtest::WithRepeatedScan(theProgressive, 600), "", true, IJL_TOO_LARGE, 64, 3},
    {"an empty file", {}, jpegtest::WriteTempFile({}, "empty.jpg"), false, IJL_EMPTY_INPUT, 0, 0},
    {"a missing file", {}, theFolder + "/missing.jpg", false, IJL_CANNOT_OPEN_FILE, 0, 0},
    {"a folder", {}, theFolder, false, IJL_CANNOT_OPEN_FILE, 0, 0},
    {"a path of 300 bytes", {}, theLongPath, false, IJL_CANNOT_OPEN_FILE, 0, 0},
  };
  for (const auto& theCase : kCases) {
    Reader theReader = theCase.mPath.empty() ? Reader(theCase.mBytes) : Reader(theCase.mPath);
    theReader.mProps.JPGWidth = 7;
    IJLERR theResult = theReader.Header();
    if (theCase.mImage)
      theResult = theReader.Image(8, 3, IJL_BGR);
    EXPECT_EQ(theResult, theCase.mResult) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGWidth, theCase.mWidth) << theCase.mName;
    EXPECT_EQ(theReader.mProps.JPGChannels, theCase.mChannels) << theCase.mName;
  }
}

TEST(JpegLibrary, DecodesAStreamCutInsideItsImageWithGreyFill)
{
  const Bytes theJpeg = jpegtest::MakeJpeg({});
  const Bytes theScanMarker = {0xFF, 0xDA};
  const auto theScan = std::search(theJpeg.begin(), theJpeg.end(), theScanMarker.begin(), theScanMarker.end());
  Reader theReader(Bytes(theJpeg.begin(), theScan + (theJpeg.end() - theScan) / 2));
  ASSERT_EQ(theReader.Header(), IJL_OK);
  ASSERT_EQ(theReader.Image(1, 3, IJL_BGR), IJL_OK);
  for (LONG theX = 0; theX < 64; ++theX)
    EXPECT_NEAR(theReader.Pixel(theX, 47)[1], 128, 2) << theX;
}

TEST(JpegLibrary, ReadsFourChannelsAsStored)
{
  const jpegtest::Image thePicture = jpegtest::Picture(64, 48, 4);
  const struct {
    J_COLOR_SPACE mSpace;
    bool mAdobe;
    bool mInverted;
  } kCases[] = {{JCS_CMYK, true, true}, {JCS_CMYK, false, false}};
  for (const auto& theCase : kCases) {
    Reader theReader(jpegtest::MakeJpeg(
      {.mChannels = 4, .mFileSpace = theCase.mSpace, .mAdobe = theCase.mAdobe, .mHSampling = 1, .mVSampling = 1, .mQuality = 100}));
    ASSERT_EQ(theReader.Header(), IJL_OK);
    ASSERT_EQ(theReader.Image(1, 4, IJL_OTHER), IJL_OK);
    for (LONG theY : {2, 45})
      for (LONG theX : {2, 61})
        for (int theChannel = 0; theChannel < 4; ++theChannel) {
          const int theStored = thePicture.At(theX, theY)[theChannel];
          EXPECT_NEAR(theReader.Pixel(theX, theY)[theChannel], theCase.mInverted ? 255 - theStored : theStored, 3)
            << theX << "," << theY << " channel " << theChannel << (theCase.mAdobe ? " Adobe" : " plain");
        }
    // CMYK converts only as stored.
    EXPECT_EQ(theReader.Image(1, 3, IJL_BGR), IJL_INVALID_DIB);
  }
}

TEST(JpegLibrary, RefusesRecordsAndFieldsThatDoNotFit)
{
  const Bytes theJpeg = jpegtest::MakeJpeg({});
  EXPECT_EQ(ijlInit(nullptr), IJL_INVALID_POINTER);
  EXPECT_EQ(ijlRead(nullptr, IJL_MEMORY_READ_HEADER), IJL_INVALID_POINTER);
  JPEG_CORE_PROPERTIES theProps{};
  EXPECT_EQ(ijlRead(&theProps, IJL_MEMORY_READ_HEADER), IJL_NOT_INITIALIZED);
  ASSERT_EQ(ijlInit(&theProps), IJL_OK);
  EXPECT_EQ(ijlRead(&theProps, IJL_MEMORY_READ_HEADER), IJL_INVALID_POINTER);
  EXPECT_EQ(ijlRead(&theProps, IJL_FILE_READ_HEADER), IJL_INVALID_POINTER);
  EXPECT_EQ(ijlRead(&theProps, IJL_MEMORY_WRITE_IMAGE), IJL_INVALID_MODE);
  EXPECT_EQ(ijlWrite(&theProps, IJL_MEMORY_READ_IMAGE), IJL_INVALID_MODE);
  EXPECT_EQ(ijlRead(&theProps, static_cast<IJLIOTYPE>(20)), IJL_INVALID_MODE);
  EXPECT_EQ(ijlFree(&theProps), IJL_OK);
  EXPECT_EQ(ijlFree(&theProps), IJL_NOT_INITIALIZED);

  Reader theReader(theJpeg);
  theReader.mProps.JPGSizeBytes = 0;
  EXPECT_EQ(theReader.Header(), IJL_EMPTY_INPUT);
  theReader.mProps.JPGSizeBytes = static_cast<LONG>(theJpeg.size());
  ASSERT_EQ(theReader.Header(), IJL_OK);
  ASSERT_EQ(theReader.Image(2, 3, IJL_BGR), IJL_OK);
  const struct {
    const char* mName;
    void (*mSpoil)(JPEG_CORE_PROPERTIES&);
  } kSpoilers[] = {
    {"width", [](JPEG_CORE_PROPERTIES& ioProps) { ++ioProps.DIBWidth; }},
    {"height", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBHeight = 1; }},
    {"padding", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBPadBytes = -1; }},
    {"channels", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBChannels = 4; }},
    {"B, G, R, A, written only",
     [](JPEG_CORE_PROPERTIES& ioProps) {
       ioProps.DIBChannels = 4;
       ioProps.DIBColor = IJL_BGRA;
     }},
    {"colour", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBColor = IJL_YCBCR; }},
    {"raw with 3 channels of a colour", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBColor = IJL_OTHER; }},
    {"no pixels", [](JPEG_CORE_PROPERTIES& ioProps) { ioProps.DIBBytes = nullptr; }},
  };
  for (const auto& theSpoiler : kSpoilers) {
    JPEG_CORE_PROPERTIES theSpoilt = theReader.mProps;
    theSpoiler.mSpoil(theSpoilt);
    EXPECT_EQ(ijlRead(&theSpoilt, IJL_MEMORY_READ_HALF), IJL_INVALID_DIB) << theSpoiler.mName;
  }
}

// A record for writing the picture as B, G, R rows of inPad extra bytes,
// or with inChannels 4 as B, G, R, A rows whose alpha changes at every pixel.
struct Writer {
  explicit Writer(const jpegtest::Image& inPicture, LONG inPad = 0, LONG inChannels = 3)
  {
    for (int theY = 0; theY < inPicture.mHeight; ++theY) {
      for (int theX = 0; theX < inPicture.mWidth; ++theX) {
        mDIB.insert(mDIB.end(), {inPicture.At(theX, theY)[2], inPicture.At(theX, theY)[1], inPicture.At(theX, theY)[0]});
        if (inChannels == 4)
          mDIB.push_back(static_cast<BYTE>(theX * 37 + theY * 11));
      }
      mDIB.insert(mDIB.end(), static_cast<std::size_t>(inPad), 0xEE);
    }
    ijlInit(&mProps);
    mProps.DIBBytes = mDIB.data();
    mProps.DIBChannels = inChannels;
    mProps.DIBColor = inChannels == 4 ? IJL_BGRA : IJL_BGR;
    mProps.DIBWidth = mProps.JPGWidth = inPicture.mWidth;
    mProps.DIBHeight = mProps.JPGHeight = inPicture.mHeight;
    mProps.DIBPadBytes = inPad;
    mProps.JPGSubSampling = IJL_444;
    mProps.JPGQuality = 95;
  }
  ~Writer() { ijlFree(&mProps); }

  Bytes mDIB;
  JPEG_CORE_PROPERTIES mProps;
};

TEST(JpegLibrary, WritesIntoTheCallersBlockOnceItIsLargeEnough)
{
  Writer theWriter(jpegtest::Picture(1, 1, 3));
  Bytes theBlock(16, 0xEE);
  theWriter.mProps.JPGBytes = theBlock.data();
  theWriter.mProps.JPGSizeBytes = 16;
  ASSERT_EQ(ijlWrite(&theWriter.mProps, IJL_MEMORY_WRITE_IMAGE), IJL_BUFFER_TOO_SMALL);
  const LONG theNeeded = theWriter.mProps.JPGSizeBytes;
  EXPECT_GT(theNeeded, 16);
  EXPECT_EQ(theBlock, Bytes(16, 0xEE));

  theBlock.assign(static_cast<std::size_t>(theNeeded), 0);
  theWriter.mProps.JPGBytes = theBlock.data();
  ASSERT_EQ(ijlWrite(&theWriter.mProps, IJL_MEMORY_WRITE_IMAGE), IJL_OK);
  EXPECT_EQ(theWriter.mProps.JPGSizeBytes, theNeeded);
  const jpegtest::Image theDecoded = jpegtest::Djpeg(jpegtest::WriteTempFile(theBlock, "one.jpg"), 1);
  ASSERT_EQ(theDecoded.mWidth, 1);
  EXPECT_NEAR(theDecoded.At(0, 0)[0], 255, 4);
  EXPECT_NEAR(theDecoded.At(0, 0)[1], 0, 4);
}

TEST(JpegLibrary, WritesTopRowFirstWithTheAskedSamplingToFilesAndMemory)
{
  const jpegtest::Image thePicture = jpegtest::Picture(64, 48, 3);
  const struct {
    IJL_SUBSAMPLING mCode;
    const char* mSampling;
    bool mToFile;
    bool mBottomUp;
  } kCases[] = {{IJL_444, "1x1,1x1,1x1", false, false}, {IJL_420, "2x2,1x1,1x1", true, true},
                {IJL_422, "2x1,1x1,1x1", false, true}};
  for (const auto& theCase : kCases) {
    Writer theWriter(thePicture, 2);
    theWriter.mProps.JPGSubSampling = theCase.mCode;
    if (theCase.mBottomUp)
      theWriter.mProps.DIBHeight = -theWriter.mProps.DIBHeight;
    const std::string thePath = tltest::MakeTempFolder("written") + "/out.jpg";
    Bytes theBlock(64 * 48 * 3);
    theWriter.mProps.JPGFile = thePath.c_str();
    theWriter.mProps.JPGBytes = theBlock.data();
    theWriter.mProps.JPGSizeBytes = static_cast<LONG>(theBlock.size());
    ASSERT_EQ(ijlWrite(&theWriter.mProps, theCase.mToFile ? IJL_FILE_WRITE_IMAGE : IJL_MEMORY_WRITE_IMAGE), IJL_OK);
    const std::string theFile = tltest::ReadFile(thePath);
    const Bytes theStream = theCase.mToFile ? Bytes(theFile.begin(), theFile.end())
                                            : Bytes(theBlock.begin(), theBlock.begin() + theWriter.mProps.JPGSizeBytes);
    EXPECT_EQ(theStream.size(), static_cast<std::size_t>(theWriter.mProps.JPGSizeBytes));
    EXPECT_EQ(jpegtest::Sampling(theStream), theCase.mSampling);
    const jpegtest::Image theDecoded = jpegtest::Djpeg(jpegtest::WriteTempFile(theStream, "out.jpg"), 1);
    for (LONG theY : {2, 45})
      for (LONG theX : {2, 61})
        for (int theChannel = 0; theChannel < 3; ++theChannel)
          EXPECT_NEAR(theDecoded.At(theX, theY)[theChannel], thePicture.At(theX, theY)[theChannel], 12)
            << theCase.mSampling << " " << theX << "," << theY;
  }
}

TEST(JpegLibrary, WritesBlueGreenRedAlphaRowsAsTheStreamOfTheirBlueGreenRed)
{
  const jpegtest::Image thePicture = jpegtest::Picture(61, 37, 3);
  for (IJL_SUBSAMPLING theSampling : {IJL_444, IJL_420, IJL_422}) {
    Bytes theStreams[2];
    Writer theWriters[2] = {Writer(thePicture, 1), Writer(thePicture, 8, 4)};
    for (int i = 0; i < 2; ++i) {
      Bytes theBlock(61 * 37 * 3);
      theWriters[i].mProps.JPGSubSampling = theSampling;
      theWriters[i].mProps.JPGBytes = theBlock.data();
      theWriters[i].mProps.JPGSizeBytes = static_cast<LONG>(theBlock.size());
      ASSERT_EQ(ijlWrite(&theWriters[i].mProps, IJL_MEMORY_WRITE_IMAGE), IJL_OK);
      theStreams[i].assign(theBlock.begin(), theBlock.begin() + theWriters[i].mProps.JPGSizeBytes);
    }
    EXPECT_EQ(theStreams[0], theStreams[1]) << "sampling code " << theSampling;
  }
}

TEST(JpegLibrary, RefusesWritesThatCannotBeMade)
{
  Writer theWriter(jpegtest::Picture(8, 8, 3));
  const std::string thePath = tltest::MakeTempFolder("unwritten") + "/no/such/folder.jpg";
  theWriter.mProps.JPGFile = thePath.c_str();
  EXPECT_EQ(ijlWrite(&theWriter.mProps, IJL_FILE_WRITE_IMAGE), IJL_CANNOT_WRITE_FILE);
  theWriter.mProps.JPGQuality = 101;
  EXPECT_EQ(ijlWrite(&theWriter.mProps, IJL_FILE_WRITE_IMAGE), IJL_INVALID_JPEG_PARAMETERS);
  theWriter.mProps.JPGQuality = 50;
  theWriter.mProps.JPGWidth = 9;
  EXPECT_EQ(ijlWrite(&theWriter.mProps, IJL_FILE_WRITE_IMAGE), IJL_INVALID_JPEG_PARAMETERS);
  theWriter.mProps.JPGWidth = 8;
  theWriter.mProps.DIBChannels = 4;
  EXPECT_EQ(ijlWrite(&theWriter.mProps, IJL_FILE_WRITE_IMAGE), IJL_INVALID_DIB);
  theWriter.mProps.DIBChannels = 3;
  theWriter.mProps.DIBColor = IJL_BGRA;
  EXPECT_EQ(ijlWrite(&theWriter.mProps, IJL_FILE_WRITE_IMAGE), IJL_INVALID_DIB);
}

TEST(JpegLibrary, WordsEveryCodeWithoutAFinalFullStop)
{
  std::set<std::string> theTexts;
  for (int theCode = IJL_OK; theCode >= IJL_BUFFER_TOO_SMALL; --theCode) {
    const std::string theText = ijlErrorStr(static_cast<IJLERR>(theCode));
    EXPECT_FALSE(theText.empty() || theText.back() == '.') << theCode;
    theTexts.insert(theText);
  }
  EXPECT_EQ(theTexts.size(), 18u);
  EXPECT_STREQ(ijlErrorStr(static_cast<IJLERR>(-99)), "Unknown JPEG library error");
}

}  // namespace
