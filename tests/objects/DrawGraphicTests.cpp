// The DrawGraphic operation on a Bitmap and the kernel bridge under it: the
// quadrant picture through every reader, road and canvas depth, placement,
// the size limit and reduced decoding, every failure's words, hostile input,
// CMYK JPEGs through both readers, and warps on many threads at once.
// Fixtures are written by MagickCore, libjpeg-turbo and ImageMagick's command.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "objects/DrawGraphic.h"
#include "objects/IPLUtils.h"
#include "platform/quicktime/QuickTime.h"
#include "tests/core/TestProfiles.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

namespace {

using jpegtest::Bytes;
using Pixel = std::array<int, 3>;  // red, green, blue, 0..255

constexpr LONG kWidth = 64;
constexpr LONG kHeight = 48;

// Red top left, green top right, blue bottom left, white bottom right.
Pixel Quadrant(LONG x, LONG y, LONG inWidth, LONG inHeight)
{
  const bool theRight = x >= inWidth / 2;
  if (y < inHeight / 2)
    return theRight ? Pixel{0, 255, 0} : Pixel{255, 0, 0};
  return theRight ? Pixel{255, 255, 255} : Pixel{0, 0, 255};
}

// A smooth picture: any fair resize of it stays close to it.
Pixel Gradient(LONG x, LONG y, LONG inWidth, LONG inHeight)
{
  return {static_cast<int>(255 * x / inWidth), static_cast<int>(255 * y / inHeight),
          static_cast<int>(128 + 100 * std::sin(x * 6.283 / inWidth))};
}

using Picture = std::function<Pixel(LONG, LONG, LONG, LONG)>;

Bytes MagickFile(const char* inFormat, const Picture& inPicture = Quadrant, bool inMatte = false)
{
  static MagickFormatList gStarted;
  MagickImagePtr theImage(AcquireImage(nullptr));
  EXPECT_TRUE(SetImageExtent(theImage.get(), kWidth, kHeight));
  theImage->depth = 8;
  theImage->matte = inMatte ? MagickTrue : MagickFalse;
  for (LONG y = 0; y < kHeight; ++y) {
    PixelPacket* theRow = QueueAuthenticPixels(theImage.get(), 0, y, kWidth, 1, &theImage->exception);
    for (LONG x = 0; x < kWidth; ++x) {
      const Pixel thePixel = inPicture(x, y, kWidth, kHeight);
      theRow[x].red = static_cast<Quantum>(thePixel[0] * 257);
      theRow[x].green = static_cast<Quantum>(thePixel[1] * 257);
      theRow[x].blue = static_cast<Quantum>(thePixel[2] * 257);
      theRow[x].opacity = 0;
    }
    SyncAuthenticPixels(theImage.get(), &theImage->exception);
  }
  MagickExceptionPtr theException(AcquireExceptionInfo());
  std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>> theInfo(CloneImageInfo(nullptr));
  std::strcpy(theInfo->magick, inFormat);
  std::size_t theLength = 0;
  unsigned char* theBlob = ImagesToBlob(theInfo.get(), theImage.get(), &theLength, theException.get());
  EXPECT_TRUE(theBlob) << inFormat;
  Bytes theBytes(theBlob, theBlob + theLength);
  RelinquishMagickMemory(theBlob);
  return theBytes;
}

Bytes Jpeg(jpegtest::JpegSpec inSpec, const Picture& inPicture = Quadrant)
{
  jpegtest::Image theImage{inSpec.mWidth, inSpec.mHeight, 3, {}};
  for (LONG y = 0; y < inSpec.mHeight; ++y)
    for (LONG x = 0; x < inSpec.mWidth; ++x)
      for (int theChannel : inPicture(x, y, inSpec.mWidth, inSpec.mHeight))
        theImage.mSamples.push_back(static_cast<BYTE>(theChannel));
  return jpegtest::MakeJpeg(inSpec, theImage);
}

struct Outcome {
  std::string mError;  // empty for success
  std::string mRect;
};

// One DrawData (or DrawFile, with a path) of the bytes onto inWorld.
Outcome Draw(Bitmap& inWorld, const Bytes& inBytes, const std::string& inParams, const char* inPath = nullptr)
{
  Variant theData;  // outlives the operation, which holds its array locked
  DrawGraphic theOp(inPath ? "Draw File:" : "Draw Data:");
  if (inPath) {
    theOp.SetFile(inPath);
  } else {
    EXPECT_EQ(PtrToVARIANT(inBytes.data(), static_cast<DWORD>(inBytes.size()), theData.Receive()), S_OK);
    theOp.SetData(theData.Get());
    theOp.SetType("");
  }
  theOp.SetParameters(inParams);
  theOp.Run(inWorld, nullptr);
  Error* theError = theOp.GetError();
  return {theError->HasError() ? theError->GetText() : "", FormatRect(theOp.GetRect())};
}

// A canvas of the size and depth, filled with grey.
void MakeCanvas(Bitmap& ioWorld, LONG inWidth, LONG inHeight, LONG inDepth)
{
  ioWorld.SetWidth(inWidth);
  ioWorld.SetHeight(inHeight);
  ioWorld.SetDepth(inDepth);
  ioWorld.SetColor(ColorValue{32896, 32896, 32896, 65535});
  ASSERT_EQ(ioWorld.Update(), 0);
}

Pixel At(Bitmap& inWorld, LONG x, LONG y)
{
  ColorValue theColor;
  inWorld.GetPixel(x, y, theColor);
  return {theColor.mRed >> 8, theColor.mGreen >> 8, theColor.mBlue >> 8};
}

std::vector<Pixel> AllPixels(Bitmap& inWorld)
{
  std::vector<Pixel> thePixels;
  for (LONG y = 0; y < inWorld.GetHeight(); ++y)
    for (LONG x = 0; x < inWorld.GetWidth(); ++x)
      thePixels.push_back(At(inWorld, x, y));
  return thePixels;
}

// The pixel memory as it stands.
Bytes Snapshot(Bitmap& inWorld)
{
  LockedPixels thePixels;
  if (!inWorld.LockPixels(thePixels))
    return {};
  Bytes theBytes(thePixels.mBase, thePixels.mBase + std::size_t(thePixels.mRowBytes) * thePixels.mHeight);
  inWorld.UnlockPixels();
  return theBytes;
}

bool Near(const Pixel& inA, const Pixel& inB, int inTolerance)
{
  for (int i = 0; i < 3; ++i)
    if (std::abs(inA[i] - inB[i]) > inTolerance)
      return false;
  return true;
}

std::string Text(const Pixel& inPixel)
{
  return std::to_string(inPixel[0]) + "," + std::to_string(inPixel[1]) + "," + std::to_string(inPixel[2]);
}

TEST(DrawGraphic, EveryFormatKeepsItsQuadrantsOnBothRoadsAndEveryDepth)
{
  const std::vector<std::pair<const char*, Bytes>> theInputs = {
      {"JPEG", Jpeg({})},
      {"progressive JPEG", Jpeg({.mProgressive = true})},
      {"PNG with alpha", MagickFile("PNG", Quadrant, true)},
      {"GIF", MagickFile("GIF")},
      {"BMP", MagickFile("BMP")},
      {"TIFF", MagickFile("TIFF")},
  };
  for (const auto& [theName, theBytes] : theInputs) {
    for (LONG theRoad : {1, 0}) {
      ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
      for (LONG theDepth : {32, 16, 8}) {
        SCOPED_TRACE(std::string(theName) + ", IPLTransform " + std::to_string(theRoad) + ", depth " +
                     std::to_string(theDepth));
        Bitmap theWorld;
        MakeCanvas(theWorld, 2 * kWidth, 2 * kHeight, theDepth);
        const Outcome theOutcome = Draw(theWorld, theBytes, "rect=0,0,128,96");
        ASSERT_EQ(theOutcome.mError, "");
        EXPECT_EQ(theOutcome.mRect, "0,0,128,96");
        for (POINT theCentre : {POINT{32, 24}, POINT{96, 24}, POINT{32, 72}, POINT{96, 72}}) {
          const Pixel theWant = Quadrant(theCentre.x, theCentre.y, 2 * kWidth, 2 * kHeight);
          const Pixel theGot = At(theWorld, theCentre.x, theCentre.y);
          EXPECT_TRUE(Near(theGot, theWant, 26))
              << "at " << theCentre.x << "," << theCentre.y << ": " << Text(theGot) << " for " << Text(theWant);
        }
      }
    }
  }
}

TEST(DrawGraphic, PlacesByRectPositionAndFitAndSizesAnEmptyCanvas)
{
  const Bytes theJpeg = Jpeg({});
  struct Case {
    const char* mParams;
    bool mEmpty;
    const char* mRect;
    LONG mWidth, mHeight;  // of the canvas afterwards, 1 either way
  };
  const Case theCases[] = {
      {"rect=10,10,110,85", false, "10,10,110,85", 200, 150},
      {"x=20 y=30", false, "20,30,84,78", 200, 150},
      {"rect=0,0,32,100 fit=true", false, "0,0,32,24", 200, 150},
      {"", true, "0,0,64,48", 64, 48},
      // An empty canvas takes the placed picture's size, and the picture
      // and the rectangle returned move to its top left.
      {"rect=10,10,138,106", true, "0,0,128,96", 128, 96},
      {"x=20 y=30", true, "0,0,64,48", 64, 48},
      {"rotate=30", true, nullptr, 80, 74},
  };
  for (const Case& theCase : theCases) {
    SCOPED_TRACE(theCase.mParams);
    Bitmap theWorld;
    if (!theCase.mEmpty)
      MakeCanvas(theWorld, 200, 150, 32);
    const Outcome theOutcome = Draw(theWorld, theJpeg, theCase.mParams);
    ASSERT_EQ(theOutcome.mError, "");
    if (theCase.mRect) {
      EXPECT_EQ(theOutcome.mRect, theCase.mRect);
    }
    EXPECT_NEAR(theWorld.GetWidth(), theCase.mWidth, 1);
    EXPECT_NEAR(theWorld.GetHeight(), theCase.mHeight, 1);
  }
  // Turned 30 degrees clockwise, the top left corner lands on the top edge
  // 24 pixels in and the bottom left one on the left edge: (10, 10) of the
  // picture at (28, 14), (10, 38) at (14, 38); the corner outside is the
  // natural colour.
  Bitmap theRotated;
  ASSERT_EQ(Draw(theRotated, theJpeg, "rotate=30").mError, "");
  EXPECT_TRUE(Near(At(theRotated, 28, 14), {255, 0, 0}, 40)) << Text(At(theRotated, 28, 14));
  EXPECT_TRUE(Near(At(theRotated, 14, 38), {0, 0, 255}, 40)) << Text(At(theRotated, 14, 38));
  EXPECT_TRUE(Near(At(theRotated, 2, 2), {255, 255, 255}, 0)) << Text(At(theRotated, 2, 2));
}

// Enlarged by 2, 3, 10 and 3.7, from PNG and JPEG, the kernel road covers
// the placed rectangle to its last column and row as the GDI road does, and
// puts the colour edges where the GDI road does (within half a pixel).
TEST(DrawGraphic, EnlargementsCoverThePlacedRectangleOnBothRoads)
{
  const std::vector<std::pair<const char*, Bytes>> theInputs = {{"PNG", MagickFile("PNG")}, {"JPEG", Jpeg({})}};
  const RECT kRects[] = {{0, 0, 128, 96}, {0, 0, 192, 144}, {0, 0, 640, 480}, {3, 5, 240, 183}};
  for (const auto& [theName, theBytes] : theInputs) {
    for (const RECT& theRect : kRects) {
      const std::string theParams = "rect=" + FormatRect(theRect);
      SCOPED_TRACE(std::string(theName) + " " + theParams);
      Bitmap theRoads[2];
      for (LONG theRoad : {1, 0}) {
        ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
        MakeCanvas(theRoads[theRoad], 700, 500, 32);
        ASSERT_EQ(Draw(theRoads[theRoad], theBytes, theParams).mError, "");
      }
      EXPECT_EQ(tltest::QuadrantPlacementFaults(theRoads[1], theRoads[0], theRect, 0x808080,
                                                std::string(theName) == "JPEG" ? 40 : 2),
                "");
    }
  }
  ASSERT_EQ(SetPrefLong("IPLTransform", 1), ERROR_SUCCESS);
}

// The canvas's alpha is its selection: placing a picture leaves it as it
// was on both roads, whatever alpha the decoded picture has, enlarged, at
// its natural size or turned.
TEST(DrawGraphic, BothRoadsLeaveTheCanvasAlphaAsItWas)
{
  const std::vector<std::pair<const char*, Bytes>> theInputs = {
      {"JPEG", Jpeg({})}, {"PNG with alpha", MagickFile("PNG", Quadrant, true)}, {"GIF", MagickFile("GIF")}};
  const auto Alpha = [](LONG x, LONG y) { return static_cast<DWORD>((3 * x + 5 * y) & 0xFF); };
  // Each placement with a point of the red quadrant.
  const std::pair<const char*, POINT> kPlacements[] = {
      {"rect=0,0,128,96", {40, 40}}, {"x=10 y=20", {40, 40}}, {"rotate=30", {15, 14}}};
  for (const auto& [theName, theBytes] : theInputs) {
    for (const auto& [theParams, theRed] : kPlacements) {
      for (LONG theRoad : {1, 0}) {
        SCOPED_TRACE(std::string(theName) + " " + theParams + ", IPLTransform " + std::to_string(theRoad));
        ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
        Bitmap theWorld;
        MakeCanvas(theWorld, 140, 110, 32);
        for (LONG y = 0; y < 110; ++y)
          for (LONG x = 0; x < 140; ++x)
            tltest::SetPixelWord(theWorld, x, y, (tltest::PixelWord(theWorld, x, y) & 0xFFFFFF) | Alpha(x, y) << 24);
        ASSERT_EQ(Draw(theWorld, theBytes, theParams).mError, "");
        int theChanged = 0;
        for (LONG y = 0; y < 110; ++y)
          for (LONG x = 0; x < 140; ++x)
            theChanged += tltest::PixelWord(theWorld, x, y) >> 24 != Alpha(x, y);
        EXPECT_EQ(theChanged, 0);
        EXPECT_TRUE(Near(At(theWorld, theRed.x, theRed.y), {255, 0, 0}, 40))
          << "nothing drawn: " << Text(At(theWorld, theRed.x, theRed.y));
      }
    }
  }
  ASSERT_EQ(SetPrefLong("IPLTransform", 1), ERROR_SUCCESS);
}

// A new canvas that the picture covers is not filled first, and holds the
// same bytes as a canvas of its size that was (alpha included), on both
// roads. (One it does not cover is filled as ever: the turned picture of
// PlacesByRectPositionAndFitAndSizesAnEmptyCanvas.)
TEST(DrawGraphic, ANewCanvasTheyCoverHoldsWhatAFilledOneWould)
{
  const std::vector<std::pair<const char*, Bytes>> theInputs = {
      {"JPEG", Jpeg({})}, {"PNG with alpha", MagickFile("PNG", Quadrant, true)}};
  for (const auto& [theName, theBytes] : theInputs) {
    for (LONG theRoad : {1, 0}) {
      for (const char* theParams : {"", "rect=10,10,138,106", "x=-8 y=4"}) {
        SCOPED_TRACE(std::string(theName) + " " + theParams + ", IPLTransform " + std::to_string(theRoad));
        ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
        Bitmap theNew;
        const Outcome theOutcome = Draw(theNew, theBytes, theParams);
        ASSERT_EQ(theOutcome.mError, "");
        Bitmap theFilled;
        theFilled.SetWidth(theNew.GetWidth());
        theFilled.SetHeight(theNew.GetHeight());
        ASSERT_EQ(theFilled.Update(), 0);
        ASSERT_EQ(Draw(theFilled, theBytes, "rect=" + theOutcome.mRect).mError, "");
        EXPECT_EQ(Snapshot(theNew), Snapshot(theFilled));
      }
    }
  }
  ASSERT_EQ(SetPrefLong("IPLTransform", 1), ERROR_SUCCESS);
}

TEST(DrawGraphic, DecodesALargeJpegSmallUnderTheLimitAndRefusesItWhole)
{
  const Bytes theJpeg = Jpeg({.mWidth = 4000, .mHeight = 3000, .mQuality = 95}, Gradient);
  const std::string kLimit = "Image is bigger than the maximum we allow. This maximum can only be changed by a "
                             "System Administrator.";
  Bitmap theWorld;
  MakeCanvas(theWorld, 400, 300, 32);
  ASSERT_EQ(Draw(theWorld, theJpeg, "rect=0,0,400,300").mError, "");
  double theSquares = 0;
  for (LONG y = 0; y < 300; ++y)
    for (LONG x = 0; x < 400; ++x) {
      const Pixel theGot = At(theWorld, x, y);
      const Pixel theWant = Gradient(10 * x + 5, 10 * y + 5, 4000, 3000);
      for (int i = 0; i < 3; ++i)
        theSquares += (theGot[i] - theWant[i]) * (theGot[i] - theWant[i]);
    }
  EXPECT_GT(10 * std::log10(255.0 * 255.0 * 400 * 300 * 3 / theSquares), 30.0);

  Bitmap theFull;
  MakeCanvas(theFull, 400, 300, 32);
  const std::vector<Pixel> theBefore = AllPixels(theFull);
  EXPECT_EQ(Draw(theFull, theJpeg, "").mError.substr(0, kLimit.size()), kLimit);
  EXPECT_EQ(AllPixels(theFull), theBefore);
  ASSERT_EQ(SetPrefLong("MaxSize", 4000), ERROR_SUCCESS);
  EXPECT_EQ(Draw(theFull, theJpeg, "").mError, "");
}

// A GIF of inCount copies of the one frame of inGIF, the last one moved to
// inLastAt on the page.
Bytes RepeatedFrame(const Bytes& inGIF, int inCount, POINT inLastAt)
{
  const std::size_t theHeader = 13 + (inGIF[10] & 0x80 ? std::size_t{3} << ((inGIF[10] & 7) + 1) : 0);
  std::size_t theDescriptor = theHeader;
  while (inGIF[theDescriptor] == '!') {  // label, then sub-blocks up to an empty one
    theDescriptor += 2;
    while (inGIF[theDescriptor] != 0)
      theDescriptor += 1 + inGIF[theDescriptor];
    ++theDescriptor;
  }
  const Bytes theBlocks(inGIF.begin() + static_cast<std::ptrdiff_t>(theHeader), inGIF.end() - 1);  // no trailer
  Bytes theFile(inGIF.begin(), inGIF.begin() + static_cast<std::ptrdiff_t>(theHeader));
  for (int i = 0; i < inCount; ++i)
    theFile.insert(theFile.end(), theBlocks.begin(), theBlocks.end());
  const std::size_t theLast = theFile.size() - theBlocks.size() + (theDescriptor - theHeader);
  theFile[theLast + 1] = static_cast<BYTE>(inLastAt.x);
  theFile[theLast + 2] = static_cast<BYTE>(inLastAt.x >> 8);
  theFile[theLast + 3] = static_cast<BYTE>(inLastAt.y);
  theFile[theLast + 4] = static_cast<BYTE>(inLastAt.y >> 8);
  theFile.push_back(';');
  return theFile;
}

// Frame 300 of 300 frames of 1000 x 1000 on a 1500 x 1500 page: decoded
// alone, where every frame decoded would take some 2.4 GB. MaxSize counts
// the frame drawn, not the first.
TEST(DrawGraphic, DrawsTheFrameAskedForAloneAndLimitsItsSize)
{
  MagickFormatList theStart;
  MagickImagePtr theFrame(AcquireImage(nullptr));
  ASSERT_TRUE(SetImageExtent(theFrame.get(), 1000, 1000));
  QueryColorDatabase("#ff8000", &theFrame->background_color, &theFrame->exception);
  SetImageBackgroundColor(theFrame.get());
  theFrame->page = RectangleInfo{1500, 1500, 0, 0};
  MagickExceptionPtr theException(AcquireExceptionInfo());
  std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>> theInfo(CloneImageInfo(nullptr));
  std::strcpy(theInfo->magick, "GIF");
  std::size_t theLength = 0;
  unsigned char* theBlob = ImageToBlob(theInfo.get(), theFrame.get(), &theLength, theException.get());
  ASSERT_TRUE(theBlob);
  const Bytes theOne(theBlob, theBlob + theLength);
  RelinquishMagickMemory(theBlob);
  const Bytes theFrames = RepeatedFrame(theOne, 300, {500, 500});

  for (LONG theIndex : {LONG{300}, LONG{150}}) {
    SCOPED_TRACE(theIndex);
    Bitmap theWorld;
    const Outcome theOutcome = Draw(theWorld, theFrames, "image=" + std::to_string(theIndex));
    EXPECT_EQ(theOutcome.mError, "");
    EXPECT_EQ(theOutcome.mRect, theIndex == 300 ? "500,500,1500,1500" : "0,0,1000,1000");
    EXPECT_EQ(Text(At(theWorld, 999, 999)), "255,128,0");
    if (theIndex == 300) {
      EXPECT_EQ(Text(At(theWorld, 1499, 1499)), "255,128,0");
      EXPECT_NE(Text(At(theWorld, 499, 499)), "255,128,0");
    }
  }

  // A second frame that reaches past the limit of 2000 x 2000.
  Bitmap theWorld;
  MakeCanvas(theWorld, 40, 30, 32);
  const Bytes theLarge = RepeatedFrame(theOne, 2, {1500, 1500});
  EXPECT_EQ(Draw(theWorld, theLarge, "image=2").mError.substr(0, 30), "Image is bigger than the maxim");
  EXPECT_EQ(Draw(theWorld, theLarge, "image=1").mError, "");
}

TEST(DrawGraphic, WordsEveryFailureAndLeavesTheCanvasAsItWas)
{
  const Bytes theJpeg = Jpeg({});
  Bytes theBadTable = theJpeg;
  // The first frame component's quantisation table index (SOF0: marker,
  // length, precision, height, width, count, then id, sampling, table).
  for (std::size_t i = 2; i + 11 < theBadTable.size(); ++i)
    if (theBadTable[i] == 0xFF && theBadTable[i + 1] == 0xC0) {
      theBadTable[i + 12] = 7;
      break;
    }
  const std::string theTextPath = jpegtest::WriteTempFile(Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, "text.png");
  struct Case {
    const char* mName;
    Bytes mBytes;
    const char* mPath;
    const char* mParams;
    LONG mIJLImport, mIMImport;
    const char* mStart;  // of the error text; null for success
  };
  const Case theCases[] = {
      {"3 bytes", {0xFF, 0xD8, 0xFF}, nullptr, "", 1, 1, "Insufficient data supplied."},
      {"missing file", {}, "/nonexistent/picture.png", "", 1, 1, "File does not exist."},
      {"https", {}, "https://localhost/picture.png", "", 1, 1, "File does not exist."},
      {"quantisation table 7", theBadTable, nullptr, "", 1, 1, "JPEG Error - "},
      {"text as .png", {}, theTextPath.c_str(), "", 1, 1, "ImageMagick Error - "},
      {"stretch 0", theJpeg, nullptr, "stretch=0,1", 1, 1, "IPL Error -  Bad argument"},
      {"no reader", MagickFile("PNG"), nullptr, "", 0, 0, "No importer could read the image."},
      {"JPEG by ImageMagick", theJpeg, nullptr, "", 0, 1, nullptr},
  };
  for (const Case& theCase : theCases) {
    SCOPED_TRACE(theCase.mName);
    ASSERT_EQ(SetPrefLong("IJLImport", theCase.mIJLImport), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("IMImport", theCase.mIMImport), ERROR_SUCCESS);
    Bitmap theWorld;
    MakeCanvas(theWorld, kWidth, kHeight, 32);
    const std::vector<Pixel> theBefore = AllPixels(theWorld);
    const Outcome theOutcome = Draw(theWorld, theCase.mBytes, theCase.mParams, theCase.mPath);
    if (!theCase.mStart) {
      EXPECT_EQ(theOutcome.mError, "");
      EXPECT_TRUE(Near(At(theWorld, 5, 5), {255, 0, 0}, 26));
      continue;
    }
    EXPECT_EQ(theOutcome.mError.substr(0, std::strlen(theCase.mStart)), theCase.mStart) << theOutcome.mError;
    EXPECT_EQ(AllPixels(theWorld), theBefore);
  }
  // The library's own words end in a full stop, and no other reader is tried.
  ASSERT_EQ(SetPrefLong("IJLImport", 1), ERROR_SUCCESS);
  Bitmap theWorld;
  const std::string theText = Draw(theWorld, theBadTable, "").mError;
  EXPECT_EQ(theText.substr(0, theText.find('\n')).back(), '.') << theText;
  EXPECT_EQ(theText.find("ImageMagick"), std::string::npos) << theText;
}

// A PNG signature and header chunk, with its CRC, claiming 100000 x 100000.
Bytes HugePNG()
{
  Bytes thePNG = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                  0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0};
  DWORD theCRC = 0xFFFFFFFF;
  for (std::size_t i = 12; i < thePNG.size(); ++i)
    for (int theBit = 0; theBit < 8; ++theBit)
      theCRC = (theCRC >> 1) ^ (0xEDB88320 & (0 - ((theCRC ^ (thePNG[i] >> theBit)) & 1)));
  for (int theShift = 24; theShift >= 0; theShift -= 8)
    thePNG.push_back(static_cast<BYTE>(~theCRC >> theShift));
  return thePNG;
}

TEST(DrawGraphic, FailsHostileInputQuickly)
{
  Bytes theTruncated = Jpeg({.mWidth = 640, .mHeight = 480});
  theTruncated.resize(theTruncated.size() / 2);
  const Bytes theHugePNG = HugePNG();
  const std::string theEmpty = jpegtest::WriteTempFile({}, "empty.jpg");
  const std::vector<std::tuple<const char*, Bytes, const char*, bool>> theCases = {
      {"zero bytes", {}, theEmpty.c_str(), false},
      {"PNG of 100000 x 100000", theHugePNG, nullptr, false},
      {"JPEG of 65000 x 65000", jpegtest::WithFrameSize(Jpeg({}), 65000, 65000), nullptr, false},
      {"truncated JPEG", theTruncated, nullptr, true},
  };
  for (const auto& [theName, theBytes, thePath, theMayDraw] : theCases) {
    SCOPED_TRACE(theName);
    for (bool theEmptyCanvas : {true, false}) {
      Bitmap theWorld;
      if (!theEmptyCanvas)
        MakeCanvas(theWorld, kWidth, kHeight, 32);
      const auto theStart = std::chrono::steady_clock::now();
      const Outcome theOutcome = Draw(theWorld, theBytes, "", thePath);
      // Refused from the header: decoding the sizes claimed would take minutes,
      // and the bound leaves room for a loaded machine under the sanitizers.
      EXPECT_LT(std::chrono::steady_clock::now() - theStart, std::chrono::seconds(5));
      EXPECT_TRUE(theMayDraw || !theOutcome.mError.empty());
      if (theEmptyCanvas && !theMayDraw) {
        EXPECT_EQ(theWorld.GetHDC(), nullptr) << "an empty canvas grew for a picture that failed";
      }
    }
  }
}

// "Unable to detect image type" only for bytes no format knows; the limit
// message for a size known to be above it, even where ImageMagick refuses
// the file; ImageMagick's reason, or the codec's, otherwise.
TEST(DrawGraphic, ImageMagickFailuresBlameTheirCause)
{
  const std::string kLimit = "Image is bigger than the maximum we allow. This maximum can only be changed by a "
                             "System Administrator.";
  // Cut in the middle of the pixel data.
  Bytes theCut = MagickFile("PNG");
  const Bytes theIDAT = {'I', 'D', 'A', 'T'};
  const auto theData = std::search(theCut.begin(), theCut.end(), theIDAT.begin(), theIDAT.end());
  ASSERT_NE(theData, theCut.end());
  theCut.erase(theData + 4 + (theData[-1] | theData[-2] << 8) / 2, theCut.end());
  const struct {
    const char* mName;
    Bytes mBytes;
    LONG mMaxSize;
    std::string mStart;
  } kCases[] = {
      {"PNG of 100000 x 100000", HugePNG(), 2000, kLimit},
      {"PNG of 100000 x 100000 under MaxSize 100000", HugePNG(), 100000,
       "ImageMagick Error -  width or height exceeds limit"},
      {"PNG cut short", theCut, 2000, "ImageMagick Error -  Corrupt PNG image: chunk \"IDAT\" claims "},
      {"no format's bytes", {1, 2, 3, 4, 5, 6, 7, 8}, 2000, "ImageMagick Error -  Unable to detect image type"},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    ASSERT_EQ(SetPrefLong("MaxSize", theCase.mMaxSize), ERROR_SUCCESS);
    Bitmap theWorld;
    MakeCanvas(theWorld, kWidth, kHeight, 32);
    const std::vector<Pixel> theBefore = AllPixels(theWorld);
    const std::string theError = Draw(theWorld, theCase.mBytes, "").mError;
    EXPECT_EQ(theError.substr(0, theCase.mStart.size()), theCase.mStart) << theError;
    EXPECT_EQ(AllPixels(theWorld), theBefore);
  }
}

// A CMYK JPEG from ImageMagick's command, with and without an embedded
// profile, through ImageMagick on both placement roads: within 3 levels of
// what the JPEG library's road draws of the same file.
TEST(DrawGraphic, CMYKJpegsDrawAsTheJpegLibraryDrawsThem)
{
  const profiletest::ProfileFiles theProfiles;
  for (bool theEmbedded : {false, true}) {
    const std::string thePath = theProfiles.mFolder + (theEmbedded ? "/embedded.jpg" : "/inks.jpg");
    profiletest::MakeCMYKQuadrants(theProfiles, thePath, theEmbedded);
    std::vector<Pixel> theLibrary;
    for (LONG theIJLImport : {1, 0}) {
      for (LONG theRoad : {1, 0}) {
        SCOPED_TRACE(thePath + ", IJLImport " + std::to_string(theIJLImport) + ", IPLTransform " + std::to_string(theRoad));
        ASSERT_EQ(SetPrefLong("IJLImport", theIJLImport), ERROR_SUCCESS);
        ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
        Bitmap theWorld;
        MakeCanvas(theWorld, kWidth, kHeight, 32);
        ASSERT_EQ(Draw(theWorld, {}, "", thePath.c_str()).mError, "");
        const std::vector<Pixel> thePixels = AllPixels(theWorld);
        if (theLibrary.empty()) {
          theLibrary = thePixels;
          EXPECT_GT(At(theWorld, 16, 12)[0], At(theWorld, 16, 12)[2] + 60) << "red: " << Text(At(theWorld, 16, 12));
          continue;
        }
        int theWorst = 0;
        for (std::size_t i = 0; i < thePixels.size(); ++i)
          for (int c = 0; c < 3; ++c)
            theWorst = std::max(theWorst, std::abs(thePixels[i][c] - theLibrary[i][c]));
        EXPECT_LE(theWorst, 3);
      }
    }
  }
}

TEST(DrawGraphic, WarpsOnManyThreadsReportOnlyTheirOwnFailures)
{
  const Bytes theJpeg = Jpeg({});
  constexpr int kThreads = 8;
  constexpr int kDraws = 200;
  const auto theParams = [](int inDraw) {
    return inDraw % 5 == 0 ? std::string("stretch=0,1") : "rect=" + std::to_string(inDraw % 7) + ",3,390,290";
  };
  // The pixels of each rectangle, drawn alone.
  std::vector<Bytes> theReference;
  for (int k = 0; k < 7; ++k) {
    Bitmap theWorld;
    MakeCanvas(theWorld, 400, 300, 32);
    ASSERT_EQ(Draw(theWorld, theJpeg, "rect=" + std::to_string(k) + ",3,390,290").mError, "");
    theReference.push_back(Snapshot(theWorld));
  }
  std::vector<std::string> theFaults(kThreads);
  std::vector<std::thread> theThreads;
  for (int t = 0; t < kThreads; ++t)
    theThreads.emplace_back([&, t] {
      for (int i = 0; i < kDraws && theFaults[t].empty(); ++i) {
        Bitmap theWorld;
        MakeCanvas(theWorld, 400, 300, 32);
        const Outcome theOutcome = Draw(theWorld, theJpeg, theParams(i));
        const bool theFails = i % 5 == 0;
        if (theFails && theOutcome.mError.rfind("IPL Error -  Bad argument\n", 0) != 0)
          theFaults[t] = "draw " + std::to_string(i) + " reported: " + theOutcome.mError;
        else if (!theFails && (!theOutcome.mError.empty() || Snapshot(theWorld) != theReference[i % 7]))
          theFaults[t] = "draw " + std::to_string(i) + " differs: " + theOutcome.mError;
      }
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(theFaults[t], "") << "thread " << t;
}

// With QuickTime there (the stand-in, which reads BMP and JPEG only), the
// graphics importer draws a BMP on either road with ImageMagick off; a PNG
// it refuses goes on to ImageMagick with the importer's error cleared, or,
// with ImageMagick off, to the movie importer, whose error is the one left.
TEST(DrawGraphic, WithQuickTimeTheImporterDrawsFirstAndItsFailureIsCleared)
{
  setenv(kQTLibraryVariable, TL_QUICKTIME_STANDIN, 1);
  OSErr theStartErr = 0;
  LONG theAvailable = 0;
  AcquireQuickTime(theStartErr, theAvailable);
  ASSERT_EQ(theAvailable, 1);
  ASSERT_EQ(SetPrefLong("IMImport", 0), ERROR_SUCCESS);
  const Bytes theBMP = MagickFile("BMP3");
  for (LONG theRoad : {1, 0}) {
    SCOPED_TRACE("IPLTransform " + std::to_string(theRoad));
    ASSERT_EQ(SetPrefLong("IPLTransform", theRoad), ERROR_SUCCESS);
    Bitmap theWorld;
    MakeCanvas(theWorld, 2 * kWidth, 2 * kHeight, 32);
    const Outcome theOutcome = Draw(theWorld, theBMP, "rect=0,0,128,96");
    ASSERT_EQ(theOutcome.mError, "");
    EXPECT_EQ(theOutcome.mRect, "0,0,128,96");
    for (POINT theCentre : {POINT{32, 24}, POINT{96, 24}, POINT{32, 72}, POINT{96, 72}}) {
      const Pixel theWant = Quadrant(theCentre.x, theCentre.y, 2 * kWidth, 2 * kHeight);
      const Pixel theGot = At(theWorld, theCentre.x, theCentre.y);
      EXPECT_TRUE(Near(theGot, theWant, 8))
          << "at " << theCentre.x << "," << theCentre.y << ": " << Text(theGot) << " for " << Text(theWant);
    }
  }

  // The importer's error goes whole, its context too, before each fallback.
  const Bytes thePNG = MagickFile("PNG");
  const struct {
    LONG mIMImport, mQTImportMovies;
    const char* mError;
  } kCases[] = {
      {1, 0, ""},
      {0, 1, "A QuickTime error occurred indicating that no movie was found (-2048).\n\n\nUnable to draw file."},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE("IMImport " + std::to_string(theCase.mIMImport));
    ASSERT_EQ(SetPrefLong("IMImport", theCase.mIMImport), ERROR_SUCCESS);
    ASSERT_EQ(SetPrefLong("QTImportMovies", theCase.mQTImportMovies), ERROR_SUCCESS);
    Bitmap theWorld;
    MakeCanvas(theWorld, kWidth, kHeight, 32);
    EXPECT_EQ(Draw(theWorld, thePNG, "").mError, theCase.mError);
  }
  ReleaseQuickTime(theStartErr);
}

// ---- The bridge alone

// The quadrant picture as a 32-bit Bitmap, in R, G, B, A order when asked.
void QuadrantBitmap(Bitmap& ioBitmap, bool inRGBA)
{
  const Bytes theBMP = MagickFile("BMP");
  MagickReader theReader;
  theReader.ReadBlob(theBMP.data(), theBMP.size(), nullptr);
  ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &ioBitmap, inRGBA ? kTL32RGBAPixelFormat : 32), 0);
}

TEST(IPLBridge, WarpsEitherByteOrderOntoEveryDepthAndHonoursTheClip)
{
  for (bool theRGBA : {false, true}) {
    for (LONG theDepth : {32, 24, 16}) {
      SCOPED_TRACE(std::string(theRGBA ? "R, G, B, A" : "DIB order") + " onto depth " + std::to_string(theDepth));
      Bitmap theSource;
      QuadrantBitmap(theSource, theRGBA);
      Bitmap theWorld;
      MakeCanvas(theWorld, kWidth, kHeight, theDepth);
      const Pixel theGrey = At(theWorld, 50, 10);
      IPLBridge theBridge;
      theBridge.SetSource(theSource.GetHBITMAP(), theRGBA ? IPLBridge::Order::kRGBA : IPLBridge::Order::kDIB);
      theBridge.SetDestination(&theWorld);
      theBridge.SetClip(RECT{0, 0, 32, 48});  // the left half only
      ASSERT_EQ(theBridge.Run(), 0);
      EXPECT_TRUE(Near(At(theWorld, 10, 10), {255, 0, 0}, 8)) << Text(At(theWorld, 10, 10));
      EXPECT_TRUE(Near(At(theWorld, 10, 40), {0, 0, 255}, 8)) << Text(At(theWorld, 10, 40));
      EXPECT_EQ(At(theWorld, 50, 10), theGrey) << Text(At(theWorld, 50, 10));
      EXPECT_FALSE(theWorld.IsRGBA());
    }
  }
}

TEST(IPLBridge, AFlatTransformFailsWithTheKernelsStatusAndDrawsNothing)
{
  Bitmap theSource;
  QuadrantBitmap(theSource, false);
  Bitmap theWorld;
  MakeCanvas(theWorld, kWidth, kHeight, 32);
  IPLBridge theBridge;
  theBridge.SetSource(theSource.GetHBITMAP(), IPLBridge::Order::kDIB);
  theBridge.SetDestination(&theWorld);
  theBridge.SetTransform(Transform(0, 0, 0, 1, 0, 0));
  const LONG theStatus = theBridge.Run();
  EXPECT_EQ(theStatus, IPL_STATUS_BAD_ARGUMENT);
  EXPECT_STREQ(IPLStatusText(theStatus), "Bad argument");
  EXPECT_EQ(IPLStatusText(0), nullptr);
  EXPECT_TRUE(Near(At(theWorld, 10, 10), {128, 128, 128}, 0));
}

}  // namespace
