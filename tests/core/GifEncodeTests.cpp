// The GIF writer: small files checked byte by byte, the code streams of the
// uncompressed mode read back code by code, and whole pictures decoded by
// ImageMagick (an independent reader) back to the same indices.

#include "core/GifEncode.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <magick/MagickCore.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

struct Indexed {
  LONG mWidth;
  LONG mHeight;
  LONG mColors;
  LONG mRowBytes;
  Bytes mPixels;
};

// Entry i has red i, so that every entry is a colour of its own.
const std::vector<RGBQUAD> kPalette = [] {
  std::vector<RGBQUAD> thePalette(256);
  for (int i = 0; i < 256; ++i)
    thePalette[i] = {static_cast<BYTE>(i * 37), static_cast<BYTE>(255 - i), static_cast<BYTE>(i), 0};
  return thePalette;
}();

Bytes Encode(const Indexed& inPicture, LONG inTransparent, bool inInterlace, bool inUseLZW)
{
  std::size_t theSize = 7;
  std::unique_ptr<BYTE[]> theFile =
    GifEncode(inPicture.mWidth, inPicture.mHeight, inPicture.mColors, kPalette.data(), inTransparent,
              inInterlace, inUseLZW, inPicture.mRowBytes, inPicture.mPixels.data(), theSize);
  if (!theFile) {
    EXPECT_EQ(theSize, 0u);
    return {};
  }
  return Bytes(theFile.get(), theFile.get() + theSize);
}

// A picture whose pixel at (x, y) is inIndex(x, y); the bytes that pad each
// row to inRowBytes index past any colour table.
template <typename F>
Indexed MakePicture(LONG inWidth, LONG inHeight, LONG inColors, LONG inPadding, F inIndex)
{
  Indexed thePicture{inWidth, inHeight, inColors, inWidth + inPadding, {}};
  thePicture.mPixels.assign(static_cast<std::size_t>(thePicture.mRowBytes) * inHeight, 0xFF);
  for (LONG theY = 0; theY < inHeight; ++theY)
    for (LONG theX = 0; theX < inWidth; ++theX)
      thePicture.mPixels[theY * thePicture.mRowBytes + theX] = static_cast<BYTE>(inIndex(theX, theY));
  return thePicture;
}

// Where the image data of a file with a table of 2^inBits entries starts
// (the code size byte), after the descriptor.
std::size_t ImageDataOffset(const Bytes& inFile, int inBits)
{
  const std::size_t theTableEnd = 13 + 3 * (std::size_t{1} << inBits);
  return theTableEnd + (inFile[theTableEnd] == 0x21 ? 8 : 0) + 10;
}

// The codes of a stream whose code size never changes, up to the end code.
std::vector<int> FixedSizeCodes(const Bytes& inFile, int inBits)
{
  std::size_t theAt = ImageDataOffset(inFile, inBits);
  const int theMinimumSize = inFile[theAt++];
  Bytes theData;
  while (inFile.at(theAt) != 0) {
    const std::size_t theCount = inFile[theAt];
    theData.insert(theData.end(), inFile.begin() + theAt + 1, inFile.begin() + theAt + 1 + theCount);
    theAt += theCount + 1;
  }
  std::vector<int> theCodes;
  const int theSize = theMinimumSize + 1;
  for (std::size_t theBit = 0; theBit + theSize <= theData.size() * 8; theBit += theSize) {
    int theCode = 0;
    for (int i = 0; i < theSize; ++i)
      theCode |= ((theData[(theBit + i) / 8] >> ((theBit + i) % 8)) & 1) << i;
    theCodes.push_back(theCode);
    if (theCode == (1 << theMinimumSize) + 1)
      break;
  }
  return theCodes;
}

// ImageMagick's reading of a GIF file as R, G, B, A bytes; empty on any
// error or warning.
Bytes DecodeWithMagick(const Bytes& inFile, LONG inWidth, LONG inHeight)
{
  static std::once_flag gStarted;
  std::call_once(gStarted, [] { MagickCoreGenesis(nullptr, MagickFalse); });
  ExceptionInfo* theException = AcquireExceptionInfo();
  ImageInfo* theInfo = AcquireImageInfo();
  Image* theImage = BlobToImage(theInfo, inFile.data(), inFile.size(), theException);
  Bytes thePixels(static_cast<std::size_t>(inWidth) * inHeight * 4);
  const bool theRead = theImage && static_cast<LONG>(theImage->columns) == inWidth &&
                       static_cast<LONG>(theImage->rows) == inHeight &&
                       ExportImagePixels(theImage, 0, 0, inWidth, inHeight, "RGBA", CharPixel, thePixels.data(),
                                         theException) &&
                       theException->severity == UndefinedException;
  if (!theRead)
    ADD_FAILURE() << "ImageMagick: " << (theException->reason ? theException->reason : "no image");
  if (theImage)
    DestroyImageList(theImage);
  DestroyImageInfo(theInfo);
  DestroyExceptionInfo(theException);
  return theRead ? thePixels : Bytes{};
}

TEST(GifEncode, OnePixelFileIsExact)
{
  const RGBQUAD thePalette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  const BYTE thePixel = 0;
  std::size_t theSize = 0;
  std::unique_ptr<BYTE[]> theFile = GifEncode(1, 1, 2, thePalette, -1, false, true, 1, &thePixel, theSize);
  const Bytes kExpected = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C,
                           0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B};
  ASSERT_TRUE(theFile);
  EXPECT_EQ(Bytes(theFile.get(), theFile.get() + theSize), kExpected);
}

TEST(GifEncode, ColourCountSetsTableSizeAndCodeSize)
{
  for (auto [theColors, theBits] : {std::pair{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {17, 5}, {256, 8}}) {
    SCOPED_TRACE("colours " + std::to_string(theColors));
    const Indexed thePicture = MakePicture(4, 2, theColors, 0, [&](LONG x, LONG y) { return (x + 4 * y) % theColors; });
    const Bytes theFile = Encode(thePicture, -1, false, true);
    ASSERT_FALSE(theFile.empty());
    EXPECT_EQ(theFile[10], 0x80 | (theBits - 1) << 4 | (theBits - 1));
    for (int i = 0; i < 1 << theBits; ++i) {
      const RGBQUAD theEntry = i < theColors ? kPalette[i] : RGBQUAD{};
      EXPECT_EQ(Bytes(theFile.begin() + 13 + 3 * i, theFile.begin() + 16 + 3 * i),
                (Bytes{theEntry.rgbRed, theEntry.rgbGreen, theEntry.rgbBlue}))
        << "entry " << i;
    }
    EXPECT_EQ(theFile[ImageDataOffset(theFile, theBits) - 10], 0x2C);
    EXPECT_EQ(theFile[ImageDataOffset(theFile, theBits)], std::max(theBits, 2));
  }
}

TEST(GifEncode, TransparentIndexAddsTheControlExtension)
{
  const Indexed thePicture = MakePicture(3, 3, 4, 1, [](LONG x, LONG y) { return (x * y) % 4; });
  const Bytes thePlain = Encode(thePicture, -1, false, true);
  const Bytes theTransparent = Encode(thePicture, 3, false, true);
  ASSERT_EQ(theTransparent.size(), thePlain.size() + 8);
  EXPECT_EQ(std::string(thePlain.begin(), thePlain.begin() + 6), "GIF87a");
  EXPECT_EQ(std::string(theTransparent.begin(), theTransparent.begin() + 6), "GIF89a");
  const std::size_t theTableEnd = 13 + 3 * 4;
  EXPECT_EQ(Bytes(theTransparent.begin() + theTableEnd, theTransparent.begin() + theTableEnd + 8),
            (Bytes{0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 3, 0x00}));
  EXPECT_TRUE(std::equal(thePlain.begin() + theTableEnd, thePlain.end(), theTransparent.begin() + theTableEnd + 8));
}

TEST(GifEncode, UncompressedStreamsHoldOneCodePerPixel)
{
  // Clear, the pixel, end of information.
  EXPECT_EQ(FixedSizeCodes(Encode(MakePicture(1, 1, 2, 0, [](LONG, LONG) { return 1; }), -1, false, false), 1),
            (std::vector<int>{4, 1, 5}));

  // A clear code after every 254 codes, counting from the first clear code.
  std::vector<int> theExpected;
  for (int i = 0; i < 1000; ++i) {
    if (i % 254 == 0)
      theExpected.push_back(256);
    theExpected.push_back(i % 256);
  }
  theExpected.push_back(257);
  const Bytes theLong = Encode(MakePicture(1000, 1, 256, 0, [](LONG x, LONG) { return x % 256; }), -1, false, false);
  EXPECT_EQ(FixedSizeCodes(theLong, 8), theExpected);
  EXPECT_EQ(theLong.at(ImageDataOffset(theLong, 8) + 1), 255) << "sub-blocks of 255 bytes";

  // Interlaced rows: every eighth from 0, every eighth from 4, every fourth
  // from 2, every second from 1 (too few codes for a clear code at m = 5).
  const Bytes theInterlaced = Encode(MakePicture(1, 20, 32, 2, [](LONG, LONG y) { return y; }), -1, true, false);
  ASSERT_FALSE(theInterlaced.empty());
  EXPECT_EQ(theInterlaced[ImageDataOffset(theInterlaced, 5) - 1], 0x40);
  EXPECT_EQ(FixedSizeCodes(theInterlaced, 5),
            (std::vector<int>{32, 0, 8, 16, 4, 12, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 33}));
}

TEST(GifEncode, RefusesWhatItCannotWrite)
{
  const Bytes theSmall = {0, 1, 1, 0};
  const Bytes theRow(65535, 1);
  const Bytes thePastTable = {0, 1, 2, 1};
  struct Case {
    const char* mWhat;
    LONG mWidth, mHeight, mColors, mTransparent;
    const BYTE* mPixels;
    bool mWritten;
  } kCases[] = {
    {"width 0", 0, 2, 2, -1, theSmall.data(), false},
    {"width 65536", 65536, 1, 2, -1, theRow.data(), false},
    {"width 65535", 65535, 1, 2, -1, theRow.data(), true},
    {"height -1", 2, -1, 2, -1, theSmall.data(), false},
    {"257 colours", 2, 2, 257, -1, theSmall.data(), false},
    {"transparent 256", 2, 2, 256, 256, theSmall.data(), false},
    {"transparent 255", 2, 2, 256, 255, theSmall.data(), true},
    {"no pixels", 2, 2, 2, -1, nullptr, false},
    {"index 2 in a table of 2", 2, 2, 2, -1, thePastTable.data(), false},
  };
  for (const Case& theCase : kCases) {
    std::size_t theSize = 9;
    SetLastError(0);
    std::unique_ptr<BYTE[]> theFile =
      GifEncode(theCase.mWidth, theCase.mHeight, theCase.mColors, kPalette.data(), theCase.mTransparent, false,
                true, theCase.mWidth, theCase.mPixels, theSize);
    EXPECT_EQ(theFile != nullptr, theCase.mWritten) << theCase.mWhat;
    EXPECT_EQ(theSize != 0, theCase.mWritten) << theCase.mWhat;
    if (!theCase.mWritten) {
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << theCase.mWhat << ": the refusal's reason";
    }
  }
}

// LZW codes of noise take about 1.5 bytes a pixel, more than the pixels
// themselves: noise of every size is written whole, and ImageMagick and
// giflib read back every pixel. (A block of a third more bytes than pixels
// and 1024 refused the one-row noise from 6707 pixels on.)
TEST(GifEncode, NoiseOfEverySizeReadsBackInImageMagickAndGiflib)
{
  if (access("/usr/bin/gif2rgb", X_OK) != 0)
    GTEST_SKIP() << "giflib-tools is not installed";
  const std::string theFolder = tltest::MakeTempFolder("gif");
  std::mt19937 theRandom(7);
  for (const auto& [theWidth, theHeight] : {std::pair{256, 256}, std::pair{640, 480}, std::pair{4097, 3},
                                           std::pair{6707, 1}, std::pair{16000, 1}}) {
    const Indexed theNoise =
      MakePicture(theWidth, theHeight, 256, 1, [&](LONG, LONG) { return static_cast<LONG>(theRandom() % 256); });
    for (bool theUseLZW : {true, false}) {
      SCOPED_TRACE(std::to_string(theWidth) + " x " + std::to_string(theHeight) +
                   (theUseLZW ? ", LZW" : ", uncompressed"));
      const Bytes theFile = Encode(theNoise, -1, false, theUseLZW);
      ASSERT_FALSE(theFile.empty());
      Bytes theExpected;
      for (LONG theY = 0; theY < theHeight; ++theY)
        for (LONG theX = 0; theX < theWidth; ++theX) {
          const RGBQUAD theEntry = kPalette[theNoise.mPixels[theY * theNoise.mRowBytes + theX]];
          theExpected.insert(theExpected.end(), {theEntry.rgbRed, theEntry.rgbGreen, theEntry.rgbBlue});
        }
      Bytes theMagick = DecodeWithMagick(theFile, theWidth, theHeight);
      for (std::size_t i = 0; i * 4 < theMagick.size(); ++i)
        std::copy_n(theMagick.begin() + 4 * i, 3, theMagick.begin() + 3 * i);
      theMagick.resize(theMagick.size() / 4 * 3);
      EXPECT_TRUE(theMagick == theExpected) << "ImageMagick";

      const std::string thePath = theFolder + "/noise.gif";
      std::ofstream(thePath, std::ios::binary).write(reinterpret_cast<const char*>(theFile.data()),
                                                     static_cast<std::streamsize>(theFile.size()));
      const tltest::RunResult theRun =
        tltest::RunProgram({"/usr/bin/gif2rgb", "-1", "-o", theFolder + "/noise.rgb", thePath});
      ASSERT_EQ(theRun.mStatus, 0) << theRun.mErr;
      const std::string theGiflib = tltest::ReadFile(theFolder + "/noise.rgb");
      EXPECT_TRUE(Bytes(theGiflib.begin(), theGiflib.end()) == theExpected) << "giflib";
    }
  }
}

TEST(GifEncode, ImageMagickDecodesTheSameIndices)
{
  std::mt19937 theRandom(11);
  // Smooth shading with noise, as a reduced photo gives; and flat areas.
  auto thePhoto = [&](LONG inColors) {
    return [&theRandom, inColors](LONG x, LONG y) {
      const double theLevel = 128 + 60 * std::sin(x / 17.0) + 50 * std::cos(y / 23.0) + theRandom() % 17 - 8;
      return std::clamp(static_cast<LONG>(theLevel), LONG{0}, LONG{255}) * inColors / 256;
    };
  };
  auto theFlat = [](LONG inColors) {
    return [inColors](LONG x, LONG y) { return (x / 50 + 3 * (y / 40)) % inColors; };
  };
  const std::vector<std::pair<const char*, Indexed>> kPictures = {
    {"photo 301 x 203, 256 colours", MakePicture(301, 203, 256, 3, thePhoto(256))},
    {"photo 97 x 61, 5 colours", MakePicture(97, 61, 5, 1, thePhoto(5))},
    {"flat 640 x 480, 2 colours", MakePicture(640, 480, 2, 0, theFlat(2))},
    {"flat 33 x 300, 16 colours", MakePicture(33, 300, 16, 2, theFlat(16))},
  };
  for (const auto& [theName, thePicture] : kPictures) {
    for (bool theUseLZW : {true, false}) {
      for (bool theInterlace : {false, true}) {
        SCOPED_TRACE(std::string(theName) + (theUseLZW ? ", LZW" : ", uncompressed") +
                     (theInterlace ? ", interlaced" : ""));
        const LONG theTransparent = theInterlace ? 1 : -1;
        const Bytes theFile = Encode(thePicture, theTransparent, theInterlace, theUseLZW);
        const Bytes theDecoded = DecodeWithMagick(theFile, thePicture.mWidth, thePicture.mHeight);
        ASSERT_FALSE(theDecoded.empty());
        for (LONG theY = 0; theY < thePicture.mHeight; ++theY) {
          for (LONG theX = 0; theX < thePicture.mWidth; ++theX) {
            const BYTE theIndex = thePicture.mPixels[theY * thePicture.mRowBytes + theX];
            const RGBQUAD theEntry = kPalette[theIndex];
            const Bytes theExpected = {theEntry.rgbRed, theEntry.rgbGreen, theEntry.rgbBlue,
                                       static_cast<BYTE>(theIndex == theTransparent ? 0 : 255)};
            const auto thePixel = theDecoded.begin() + (theY * thePicture.mWidth + theX) * 4;
            ASSERT_EQ(Bytes(thePixel, thePixel + 4), theExpected) << "at " << theX << "," << theY;
          }
        }
      }
    }
  }
}

// A decoder may stop reading once it has every pixel; ImageMagick then takes
// a last sub-block it left unread for the start of another image (in the
// uncompressed stream of 1360 four-colour pixels, clear and end of
// information make the byte 0x2C). Every length up to a few sub-blocks puts
// the last pixel code at the end of a sub-block somewhere.
TEST(GifEncode, PixelsEndingASubBlockStillReadBack)
{
  std::mt19937 theRandom(5);
  Bytes theNoise(1500);
  for (BYTE& thePixel : theNoise)
    thePixel = static_cast<BYTE>(theRandom() % 4);
  for (bool theUseLZW : {true, false}) {
    for (LONG theWidth = 1; theWidth <= static_cast<LONG>(theNoise.size()); ++theWidth) {
      SCOPED_TRACE("width " + std::to_string(theWidth) + (theUseLZW ? ", LZW" : ", uncompressed"));
      const Bytes theFile = Encode({theWidth, 1, 4, theWidth, theNoise}, -1, false, theUseLZW);
      ASSERT_FALSE(DecodeWithMagick(theFile, theWidth, 1).empty());
    }
  }
}

}  // namespace
