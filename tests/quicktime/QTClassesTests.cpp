// The QuickTime codecs over the stand-in: the importer reads JPEG and BMP
// files and data by the road of its mode and draws them placed and clipped,
// in the pixels the ImageMagick codec and the JPEG library reader give;
// the exporter writes BMP files and blocks; the readers describe all images
// or none; the movie classes report the stand-in's refusal; every object
// keeps its first error; and without QuickTime nothing is reached.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "core/QTClasses.h"
#include "core/QTUtils.h"
#include "objects/IJLReader.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/core/TestProfiles.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/quicktime/QuickTimeTestSupport.h"
#include "tests/quicktime/standin/StandIn.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

using qttest::Colour;
using qttest::Pixel;

constexpr int kWidth = 48;
constexpr int kHeight = 32;
constexpr Colour kWhite{255, 255, 255};

// The placement every drawing test uses: twice the size, moved by (10, 6),
// and the part of the picture drawn.
const Transform kPlacement(2, 0, 0, 2, 10, 6);
constexpr RECT kClip{8, 4, 40, 28};
constexpr int kCanvasWidth = 120;
constexpr int kCanvasHeight = 80;

std::array<LONG, 4> Fields(const RECT& inRect)
{
  return {inRect.left, inRect.top, inRect.right, inRect.bottom};
}

// Holds a QuickTime reference on the stand-in, started by the test after it
// has set what the start reads.
class QuickTimeCodecs : public testing::Test {
protected:
  void Start(const char* inVersion = "6.0")
  {
    qttest::UseStandIn();
    setenv(kStandInVersionVariable, inVersion, 1);
    AcquireQuickTime(mStartErr, mAvailable);
    mAcquired = true;
    ASSERT_EQ(mAvailable, 1);
  }
  void TearDown() override
  {
    if (mAcquired)
      ReleaseQuickTime(mStartErr);
  }

private:
  OSErr mStartErr = 0;
  LONG mAvailable = 0;
  bool mAcquired = false;
};

Pixel CanvasPixel(Bitmap& inCanvas, int inX, int inY)
{
  LockedPixels thePixels;
  if (!inCanvas.LockPixels(thePixels))
    return {};
  const BYTE* theAt = thePixels.mBase + inY * thePixels.mRowBytes + 4 * inX;
  inCanvas.UnlockPixels();
  return {theAt[0], theAt[1], theAt[2], theAt[3]};
}

Colour Quadrants(int inX, int inY)
{
  return qttest::QuadrantColour(inX, inY, kWidth, kHeight);
}

// Every canvas pixel as the placement of a picture leaves it: the picture's
// pixel nearest to where the pixel's centre comes from when that lies inside
// the clip, else the canvas's white.
void ExpectPlaced(Bitmap& inCanvas, const std::function<Colour(int, int)>& inPicture, int inTolerance)
{
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      const int theX = static_cast<int>(std::floor((x + 0.5 - kPlacement.eDx) / kPlacement.eM11));
      const int theY = static_cast<int>(std::floor((y + 0.5 - kPlacement.eDy) / kPlacement.eM22));
      const bool theDrawn = theX >= kClip.left && theX < kClip.right && theY >= kClip.top && theY < kClip.bottom;
      const Colour theColour = theDrawn ? inPicture(theX, theY) : kWhite;
      ASSERT_TRUE(qttest::Near(CanvasPixel(inCanvas, x, y), theColour, inTolerance)) << "canvas pixel " << x << ", " << y;
    }
}

// The importer draws onto a white canvas without an error, placed as above.
void ExpectDrawnPlaced(QTImporter& inImporter, const std::function<Colour(int, int)>& inPicture, int inTolerance)
{
  Bitmap theCanvas;
  ASSERT_EQ(theCanvas.Create(kCanvasWidth, kCanvasHeight, 32, nullptr), 0);
  inImporter.Draw(&theCanvas);
  ASSERT_EQ(inImporter.GetQTError(), 0);
  ASSERT_EQ(inImporter.GetWinError(), 0);
  ExpectPlaced(theCanvas, inPicture, inTolerance);
}

// --- The importer and the info reader in each mode ---------------------------------

struct ReadMode {
  const char* mName;
  const char* mVersion;
  LONG mMemoryIP;
  bool mInMemory;
};

void PrintTo(const ReadMode& inMode, std::ostream* outStream)
{
  *outStream << inMode.mName;
}

class ImporterModes : public QuickTimeCodecs, public testing::WithParamInterface<ReadMode> {
protected:
  void SetUp() override
  {
    ASSERT_EQ(SetPrefLong("QTMemoryIP", GetParam().mMemoryIP), ERROR_SUCCESS);
    Start(GetParam().mVersion);
  }
};

INSTANTIATE_TEST_SUITE_P(Modes, ImporterModes,
                         testing::Values(ReadMode{"Memory", "6.0", 1, true}, ReadMode{"QuickTime4", "4.1", 1, false},
                                         ReadMode{"NoMemoryIP", "6.0", 0, false}),
                         [](const testing::TestParamInfo<ReadMode>& inInfo) { return std::string(inInfo.param.mName); });

TEST_P(ImporterModes, DrawsJpegAndBmpFromFilesAndDataPlacedAndClipped)
{
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  const std::string theBmp = qttest::QuadrantBmp(kWidth, kHeight);
  const struct {
    const char* mFile;  // null: from memory
    const std::string& mBytes;
    int mTolerance;
  } kCases[] = {{"q.jpg", theJpeg, 8}, {nullptr, theJpeg, 8}, {"q.bmp", theBmp, 0}, {nullptr, theBmp, 0}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mFile ? theCase.mFile : &theCase.mBytes == &theJpeg ? "JPEG data" : "BMP data");
    QTImporter theImporter;
    if (theCase.mFile)
      theImporter.ReadFile(qttest::WriteFile(theCase.mFile, theCase.mBytes).c_str());
    else
      theImporter.ReadData(theCase.mBytes.data(), static_cast<LONG>(theCase.mBytes.size()));
    theImporter.SetClipRect(kClip);
    theImporter.SetTransform(kPlacement);
    RECT theRect;
    theImporter.GetNaturalBounds(theRect);
    EXPECT_EQ(Fields(theRect), (std::array<LONG, 4>{0, 0, kWidth, kHeight}));
    theImporter.GetBounds(theRect);
    EXPECT_EQ(Fields(theRect), (std::array<LONG, 4>{0, 0, kWidth, kHeight}));
    theImporter.GetClipRect(theRect);
    EXPECT_EQ(Fields(theRect), Fields(kClip));
    EXPECT_EQ(theImporter.GetDepth(), 24);
    EXPECT_EQ(theImporter.DrawsAllPixels(), 1);
    ExpectDrawnPlaced(theImporter, Quadrants, theCase.mTolerance);
  }
}

// In memory the bytes are read where they are (a file once, at ReadFile);
// otherwise a file is read when the importer opens and data are copied.
TEST_P(ImporterModes, ReadsByTheRoadOfItsMode)
{
  const bool theInMemory = GetParam().mInMemory;
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  RECT theBounds;

  QTImporter theGone;
  const std::string thePath = qttest::WriteFile("gone.jpg", theJpeg);
  theGone.ReadFile(thePath.c_str());
  std::remove(thePath.c_str());
  theGone.GetNaturalBounds(theBounds);
  EXPECT_EQ(theGone.GetQTError(), theInMemory ? 0 : kQTFileNotFoundErr) << "a file removed after ReadFile";

  QTImporter theChanged;
  std::string theData = theJpeg;
  theChanged.ReadData(theData.data(), static_cast<LONG>(theData.size()));
  theData.assign(theData.size(), 'x');
  theChanged.GetNaturalBounds(theBounds);
  EXPECT_EQ(theChanged.GetQTError(), theInMemory ? kQTCantFindHandlerErr : 0) << "data changed after ReadData";

  QTImporter theMissing;
  theMissing.ReadFile((tltest::TestHome() + "/missing.jpg").c_str());
  EXPECT_EQ(theMissing.GetQTError(), theInMemory ? 0 : kQTFileNotFoundErr);
  EXPECT_EQ(theMissing.GetWinError(), theInMemory ? static_cast<LONG>(ERROR_FILE_NOT_FOUND) : 0);
}

TEST_P(ImporterModes, InfoReaderDescribesAllImagesOrNone)
{
  const std::vector<std::uint8_t> theRGB = qttest::QuadrantPixels(kWidth, kHeight);
  const std::vector<std::uint8_t> theGrey(kWidth * kHeight, 90);
  const std::vector<std::uint8_t> theInks(4 * kWidth * kHeight, 60);
  const struct {
    const char* mName;
    std::string mBytes;
    ImageInfoRecord mRecord;  // depth 0: no image
    const char* mFormat;
  } kCases[] = {
      {"rgb.jpg", qttest::WriteJpeg(kWidth, kHeight, 3, theRGB, 150), {24, 150, 0, 0, kWidth, kHeight, 1, 0}, "JPEG"},
      {"grey.jpg", qttest::WriteJpeg(kWidth, kHeight, 1, theGrey), {40, 72, 0, 0, kWidth, kHeight, 2, 0}, "JPEG"},
      {"cmyk.jpg", qttest::WriteJpeg(kWidth, kHeight, 4, theInks), {32, 72, 0, 0, kWidth, kHeight, 11, 0}, "JPEG"},
      {"profiled.jpg", qttest::WriteJpeg(kWidth, kHeight, 4, theInks, 0, std::string(300, 'p')),
       {32, 72, 0, 0, kWidth, kHeight, 11, 1}, "JPEG"},
      {"q.bmp", qttest::QuadrantBmp(kWidth, kHeight), {24, 72, 0, 0, kWidth, kHeight, 1, 0}, "BMP"},
      {"junk.jpg", std::string(600, 'j'), {}, ""},
  };
  for (const auto& theCase : kCases)
    for (bool theFromFile : {true, false}) {
      SCOPED_TRACE(std::string(theCase.mName) + (theFromFile ? " file" : " data"));
      QTInfoReader theReader;
      if (theFromFile)
        theReader.SetFile(qttest::WriteFile(theCase.mName, theCase.mBytes).c_str());
      else
        theReader.SetData(theCase.mBytes.data(), static_cast<LONG>(theCase.mBytes.size()), "");
      EXPECT_STREQ(theReader.GetFormatName(), theCase.mFormat);
      const bool theImage = theCase.mRecord.mBitDepth != 0;
      ASSERT_EQ(theReader.GetCount(), theImage ? 1 : 0);
      EXPECT_EQ(theReader.GetFormatDepth(), theCase.mRecord.mBitDepth);
      EXPECT_EQ(theReader.GetFormatResolution(), theCase.mRecord.mResolution);
      if (theImage) {
        const ImageInfoRecord theRecord = theReader.GetRecord(0);
        EXPECT_EQ(theRecord, theCase.mRecord) << "depth " << theRecord.mBitDepth << ", resolution "
                                              << theRecord.mResolution << ", colour space " << theRecord.mColorSpace
                                              << ", profile " << theRecord.mHasColorProfile;
      }
    }
}

// The picture on a Bitmap of the picture's size, B, G, R, A bytes, top row first.
using BitmapPixels = std::vector<BYTE>;
BitmapPixels PixelsOf(Bitmap& inBitmap)
{
  BitmapPixels thePixels;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Pixel thePixel = CanvasPixel(inBitmap, x, y);
      thePixels.insert(thePixels.end(), {thePixel.mBlue, thePixel.mGreen, thePixel.mRed, thePixel.mAlpha});
    }
  return thePixels;
}

Colour ColourAt(const BitmapPixels& inPixels, int inX, int inY)
{
  const BYTE* thePixel = &inPixels[4 * (static_cast<std::size_t>(inY) * kWidth + inX)];
  return Colour{thePixel[2], thePixel[1], thePixel[0]};
}

// Every pixel different and no channel symmetric.
Colour Gradient(int inX, int inY)
{
  return Colour{static_cast<BYTE>(20 + 4 * inX), static_cast<BYTE>(240 - 6 * inY),
                static_cast<BYTE>(10 + 2 * inX + 3 * inY)};
}

// The picture onto a Bitmap of its size, with the alpha of its column.
void Paint(Bitmap& ioBitmap, const std::function<Colour(int, int)>& inPicture, const std::function<BYTE(int)>& inAlpha)
{
  LockedPixels thePixels;
  ASSERT_TRUE(ioBitmap.LockPixels(thePixels));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Colour theColour = inPicture(x, y);
      BYTE* theAt = thePixels.mBase + y * thePixels.mRowBytes + 4 * x;
      theAt[0] = theColour.mBlue;
      theAt[1] = theColour.mGreen;
      theAt[2] = theColour.mRed;
      theAt[3] = inAlpha(x);
    }
  ioBitmap.UnlockPixels();
}

// A BMP ImageMagick writes of a picture.
std::string MagickBmp(const std::function<Colour(int, int)>& inPicture)
{
  Bitmap thePicture;
  EXPECT_EQ(thePicture.Create(kWidth, kHeight, 32, nullptr), 0);
  Paint(thePicture, inPicture, [](int) { return BYTE{255}; });
  MagickWriter theWriter;
  theWriter.SetBitmap(&thePicture);
  theWriter.SetType("BMP3");
  EXPECT_EQ(theWriter.Write(), 0) << (theWriter.GetError() ? theWriter.GetError() : "");
  return std::string(static_cast<const char*>(theWriter.GetData()), static_cast<std::size_t>(theWriter.GetLength()));
}

// A BMP drawn placed and clipped shows exactly the pixels the ImageMagick
// codec reads from it.
TEST_F(QuickTimeCodecs, BmpDrawsThePixelsOfTheImageMagickCodec)
{
  Start();
  const struct {
    const char* mName;
    std::string mBmp;
  } kCases[] = {{"the quadrant BMP", qttest::QuadrantBmp(kWidth, kHeight)},
                {"a gradient BMP of ImageMagick", MagickBmp(Gradient)}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    MagickReader theReader;
    theReader.ReadBlob(theCase.mBmp.data(), theCase.mBmp.size(), theCase.mName);
    ASSERT_EQ(theReader.GetError(), nullptr) << theReader.GetError();
    Bitmap theMagickBitmap;
    ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theMagickBitmap), 0);
    ASSERT_EQ(Fields(theMagickBitmap.GetBounds()), (std::array<LONG, 4>{0, 0, kWidth, kHeight}));
    const BitmapPixels theExpected = PixelsOf(theMagickBitmap);
    QTImporter theImporter;
    theImporter.ReadData(theCase.mBmp.data(), static_cast<LONG>(theCase.mBmp.size()));
    theImporter.SetClipRect(kClip);
    theImporter.SetTransform(kPlacement);
    ExpectDrawnPlaced(
        theImporter, [&](int inX, int inY) { return ColourAt(theExpected, inX, inY); }, 0);
  }
}

// The JPEG library reader's pixels, B, G, R, 0, top row first.
BitmapPixels ReadWithTheJpegLibrary(const jpegtest::Bytes& inJpeg)
{
  IJLReader theReader;
  theReader.SetData(inJpeg.data(), static_cast<LONG>(inJpeg.size()));
  DIBSECTION theSection{};
  EXPECT_EQ(GetObjectA(theReader.GetHBITMAP(), sizeof theSection, &theSection), static_cast<int>(sizeof theSection))
    << theReader.GetErrorText();
  EXPECT_EQ(theSection.dsBm.bmBitsPixel, 32);
  BitmapPixels thePixels;
  for (int y = 0; y < kHeight && theSection.dsBm.bmBits; ++y) {
    const BYTE* theRow = static_cast<const BYTE*>(theSection.dsBm.bmBits) + y * theSection.dsBm.bmWidthBytes;
    thePixels.insert(thePixels.end(), theRow, theRow + 4 * kWidth);
  }
  return thePixels;
}

// Drawn through a C, M, Y, K offscreen and the ICC conversion (the embedded
// profile, else the default one), a CMYK JPEG shows the colours the JPEG
// library reader gives it, placed and clipped as any other image.
TEST_F(QuickTimeCodecs, CmykJpegDrawsInTheColoursOfTheJpegLibraryReader)
{
  Start();
  const jpegtest::Bytes theLight = profiletest::SaveProfile(profiletest::LightCMYKProfile().get());
  const struct {
    const char* mName;
    J_COLOR_SPACE mSpace;
    bool mAdobe;
    jpegtest::Bytes mProfile;
  } kCases[] = {{"Adobe CMYK", JCS_CMYK, true, {}},
                {"plain CMYK", JCS_CMYK, false, {}},
                {"YCCK", JCS_YCCK, true, {}},
                {"CMYK with a profile", JCS_CMYK, true, theLight}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    const jpegtest::Bytes theJpeg =
        jpegtest::MakeJpeg({.mWidth = kWidth, .mHeight = kHeight, .mChannels = 4, .mFileSpace = theCase.mSpace,
                            .mAdobe = theCase.mAdobe, .mHSampling = 1, .mVSampling = 1, .mQuality = 100,
                            .mProfile = theCase.mProfile});
    const BitmapPixels theExpected = ReadWithTheJpegLibrary(theJpeg);
    ASSERT_EQ(theExpected.size(), 4u * kWidth * kHeight);
    QTImporter theImporter;
    theImporter.ReadData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
    theImporter.SetClipRect(kClip);
    theImporter.SetTransform(kPlacement);
    EXPECT_EQ(theImporter.GetDepth(), 32);
    ExpectDrawnPlaced(
        theImporter, [&](int inX, int inY) { return ColourAt(theExpected, inX, inY); }, 2);
  }
}

// The stand-in draws every mode as copy, but hears the mode it is asked for.
TEST_F(QuickTimeCodecs, ImporterDithersWhenAsked)
{
  Start();
  const std::string theBmp = qttest::QuadrantBmp(kWidth, kHeight);
  const struct {
    WORD mMode;
    LONG mDither;
    std::int32_t mTransferMode;
  } kCases[] = {{0, 0, 0}, {0, 1, 64}, {32, 0, 32}, {32, 1, 96}, {0, -1, 64}};
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(testing::Message() << "mode " << theCase.mMode << ", dither " << theCase.mDither);
    QTImporter theImporter;
    theImporter.ReadData(theBmp.data(), static_cast<LONG>(theBmp.size()));
    theImporter.SetGraphicsMode(theCase.mMode, RGBColor{0x8000, 0x8000, 0x8000});
    theImporter.SetDither(theCase.mDither);
    theImporter.SetClipRect(kClip);
    Bitmap theCanvas;
    ASSERT_EQ(theCanvas.Create(kWidth, kHeight, 32, nullptr), 0);
    theImporter.Draw(&theCanvas);
    ASSERT_EQ(theImporter.GetQTError(), 0);
    EXPECT_EQ(qttest::StandInLastTransferMode(), theCase.mTransferMode);
  }
}

// --- The exporter ---------------------------------------------------------------------

std::uint32_t Read32(const std::string& inBytes, std::size_t inAt)
{
  std::uint32_t theValue = 0;
  for (int i = 3; i >= 0; --i)
    theValue = theValue << 8 | static_cast<unsigned char>(inBytes[inAt + static_cast<std::size_t>(i)]);
  return theValue;
}

// A BMP file of the quadrant picture, bottom-up, at inBits (32: with the
// picture's alpha), and its pixels per metre.
void ExpectQuadrantBmp(const std::string& inBytes, int inBits, std::uint32_t inPelsH, std::uint32_t inPelsV)
{
  ASSERT_GE(inBytes.size(), 54u);
  ASSERT_EQ(inBytes.substr(0, 2), "BM");
  EXPECT_EQ(Read32(inBytes, 18), static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(Read32(inBytes, 22), static_cast<std::uint32_t>(kHeight));
  ASSERT_EQ(Read32(inBytes, 28) & 0xFFFF, static_cast<std::uint32_t>(inBits));
  EXPECT_EQ(Read32(inBytes, 38), inPelsH);
  EXPECT_EQ(Read32(inBytes, 42), inPelsV);
  const std::size_t theRowBytes = (static_cast<std::size_t>(kWidth) * inBits / 8 + 3) / 4 * 4;
  const std::size_t theStart = Read32(inBytes, 10);
  ASSERT_EQ(inBytes.size(), theStart + theRowBytes * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const std::size_t theAt = theStart + (kHeight - 1 - y) * theRowBytes + static_cast<std::size_t>(x * inBits / 8);
      const auto Byte = [&](int i) { return static_cast<std::uint8_t>(inBytes[theAt + static_cast<std::size_t>(i)]); };
      ASSERT_TRUE(qttest::Near({Byte(0), Byte(1), Byte(2), 0}, Quadrants(x, y), 0))
        << "pixel " << x << ", " << y;
      if (inBits == 32) {
        ASSERT_EQ(Byte(3), 10 + x) << "alpha of pixel " << x << ", " << y;
      }
    }
}

TEST_F(QuickTimeCodecs, ExporterWritesBmpToFilesAndMemory)
{
  Start();
  Bitmap theSource;
  ASSERT_EQ(theSource.Create(kWidth, kHeight, 32, nullptr), 0);
  // The quadrant picture with an alpha that grows to the right.
  Paint(theSource, Quadrants, [](int inX) { return static_cast<BYTE>(10 + inX); });
  const struct {
    bool mToFile;
    LONG mMemoryOP;
    LONG mAlpha;
    LONG mHorizontal, mVertical;  // dots per inch, 0: not set
    int mBits;
    std::uint32_t mPelsH, mPelsV;
  } kCases[] = {
      {false, 1, 0, 0, 0, 24, 2835, 2835},     {false, 1, 1, 300, 300, 32, 11811, 11811},
      {true, 1, 1, 0, 0, 32, 2835, 2835},      {true, 0, 0, 300, 150, 24, 11811, 5906},
      {true, 0, 1, 0, 96, 32, 2835, 3780},
  };
  for (const auto& theCase : kCases) {
    SCOPED_TRACE(testing::Message() << (theCase.mToFile ? "file" : "memory") << ", QTMemoryOP " << theCase.mMemoryOP
                                    << ", alpha " << theCase.mAlpha << ", " << theCase.mHorizontal << " x "
                                    << theCase.mVertical << " dpi");
    ASSERT_EQ(SetPrefLong("QTMemoryOP", theCase.mMemoryOP), ERROR_SUCCESS);
    const std::string thePath = tltest::TestHome() + "/out.bmp";
    std::remove(thePath.c_str());
    QTExporter theExporter;
    theExporter.SetBitmap(&theSource);
    theExporter.SetType("BMP");
    theExporter.SetAlpha(theCase.mAlpha);
    theExporter.SetResolution(theCase.mHorizontal, theCase.mVertical);
    if (theCase.mToFile)
      theExporter.SetPath(thePath);
    ASSERT_EQ(theExporter.Write(), 0) << "QuickTime error " << theExporter.GetQTError() << ", Windows error "
                                      << theExporter.GetWinError();
    const std::string theMemory(static_cast<const char*>(theExporter.GetData()),
                                static_cast<std::size_t>(theExporter.GetLength()));
    EXPECT_EQ(theMemory.empty(), theCase.mToFile && theCase.mMemoryOP == 0);
    ExpectQuadrantBmp(theCase.mToFile ? tltest::ReadFile(thePath) : theMemory, theCase.mBits, theCase.mPelsH,
                      theCase.mPelsV);
    if (theCase.mToFile && !theMemory.empty()) {
      EXPECT_EQ(theMemory, tltest::ReadFile(thePath));
    }
  }
}

TEST_F(QuickTimeCodecs, ExporterFailsWithItsCodeAndLeavesNoFile)
{
  Start();
  Bitmap theSource;
  ASSERT_EQ(theSource.Create(kWidth, kHeight, 32, nullptr), 0);
  const struct {
    const char* mType;
    const char* mName;
    LONG mQTError;
  } kCases[] = {
      {"nothing", "out.xyz", kQTCantFindHandlerErr},
      {"", "out.x02", kQTBadComponentSelector},     // "Exporter 02" by its extension
      {"Listed 03", "out.bin", kQTBadComponentSelector},  // "Exporter 03" by its description
  };
  for (const auto& theCase : kCases)
    for (LONG theMemoryOP : {0, 1}) {
      SCOPED_TRACE(testing::Message() << theCase.mName << ", QTMemoryOP " << theMemoryOP);
      ASSERT_EQ(SetPrefLong("QTMemoryOP", theMemoryOP), ERROR_SUCCESS);
      const std::string thePath = tltest::TestHome() + "/" + theCase.mName;
      QTExporter theExporter;
      theExporter.SetBitmap(&theSource);
      theExporter.SetType(theCase.mType);
      theExporter.SetPath(thePath);
      EXPECT_EQ(theExporter.Write(), 1);
      EXPECT_EQ(theExporter.GetQTError(), theCase.mQTError);
      EXPECT_EQ(theExporter.GetData(), nullptr);
      EXPECT_FALSE(std::filesystem::exists(thePath));
    }
}

TEST_F(QuickTimeCodecs, ExporterListNamesTheStandInsExporters)
{
  setenv(kStandInExportersVariable, "3", 1);
  Start();
  QTExporterList theList;
  ASSERT_EQ(theList.GetCount(), 3);
  const char* kNames[] = {"BMP", "Exporter 02", "Exporter 03", ""};
  for (LONG i = 0; i < 4; ++i) {
    std::string theName = "left over";
    theList.GetDescription(i, theName);
    EXPECT_EQ(theName, kNames[i]) << "exporter " << i;
  }
  EXPECT_EQ(theList.GetQTError(), 0);
}

// --- Movies: the stand-in has none ----------------------------------------------------

class MovieReads : public QuickTimeCodecs, public testing::WithParamInterface<bool> {
protected:
  void SetUp() override
  {
    setenv(kStandInUnreadableMoviesVariable, GetParam() ? "1" : "0", 1);
    mTempFolder = tltest::MakeTempFolder("tmp");
    setenv("TMPDIR", mTempFolder.c_str(), 1);
    Start();
  }

  std::size_t TempFiles() const
  {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(mTempFolder), {}));
  }

  std::string mTempFolder;
};

INSTANTIATE_TEST_SUITE_P(Movies, MovieReads, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& inInfo) {
                           return std::string(inInfo.param ? "UnreadableMovieFiles" : "NoMovies");
                         });

TEST_P(MovieReads, RefusalIsReportedAndTheTemporaryFileDeleted)
{
  const LONG theRefusal = GetParam() ? kQTFileNotFoundErr : kQTNoMovieFoundErr;
  const std::string theBytes = "data that no movie importer reads";
  const tltest::EventWatcher theEvents;
  {
    QTMovieImporter theImporter;
    theImporter.SetName("clip.mov");
    theImporter.ReadData(theBytes.data(), static_cast<LONG>(theBytes.size()));
    Bitmap theCanvas;
    ASSERT_EQ(theCanvas.Create(8, 8, 32, nullptr), 0);
    theImporter.Draw(&theCanvas);
    EXPECT_EQ(theImporter.GetQTError(), theRefusal);
    EXPECT_EQ(TempFiles(), 1u) << "the temporary file lives as long as the importer";
  }
  EXPECT_EQ(TempFiles(), 0u);
  const std::vector<std::string> theTexts = theEvents.NewTexts();
  if (GetParam()) {
    ASSERT_EQ(theTexts.size(), 1u);
    const std::regex theEvent("QuickTime unable to read temporary file \"" + mTempFolder +
                              "/[^\"/]+\\.mov\"\\. Please adjust security settings\\.");
    EXPECT_TRUE(std::regex_match(theTexts[0], theEvent)) << theTexts[0];
  } else {
    EXPECT_TRUE(theTexts.empty()) << theTexts[0];
  }

  QTMovieInfoReader theReader;
  theReader.SetData(theBytes.data(), static_cast<LONG>(theBytes.size()), "clip.mov");
  EXPECT_EQ(theReader.GetQTError(), theRefusal);
  EXPECT_EQ(theReader.GetCount(), 0);
  EXPECT_STREQ(theReader.GetFormatName(), "");
  EXPECT_EQ(TempFiles(), 0u);

  // A file of the caller's own is no temporary file: no event.
  QTMovieImporter theFileImporter;
  theFileImporter.ReadFile(qttest::WriteFile("own.mov", theBytes).c_str());
  RECT theBox;
  theFileImporter.GetNaturalBounds(theBox);
  EXPECT_EQ(theFileImporter.GetQTError(), theRefusal);
  EXPECT_EQ(theEvents.NewTexts().size(), GetParam() ? 1u : 0u);
}

// --- Errors ---------------------------------------------------------------------------

TEST_F(QuickTimeCodecs, EveryObjectKeepsItsFirstErrorAndDoesNothingMore)
{
  Start();
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  const std::string theTempFolder = tltest::MakeTempFolder("tmp");
  setenv("TMPDIR", theTempFolder.c_str(), 1);
  Bitmap theCanvas;
  ASSERT_EQ(theCanvas.Create(kCanvasWidth, kCanvasHeight, 32, nullptr), 0);

  QTImporter theImporter;
  theImporter.ReadFile((tltest::TestHome() + "/missing.jpg").c_str());
  theImporter.ReadData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
  theImporter.Draw(&theCanvas);
  EXPECT_EQ(theImporter.GetWinError(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(theImporter.GetQTError(), 0);
  EXPECT_EQ(theImporter.GetDepth(), 0);
  EXPECT_TRUE(qttest::Near(CanvasPixel(theCanvas, 20, 20), kWhite, 0)) << "nothing is drawn";

  QTExporter theExporter;
  theExporter.SetBitmap(&theCanvas);
  theExporter.SetType("nothing");
  EXPECT_EQ(theExporter.Write(), 1);
  theExporter.SetType("BMP");
  EXPECT_EQ(theExporter.Write(), 1);
  EXPECT_EQ(theExporter.GetQTError(), kQTCantFindHandlerErr);
  EXPECT_EQ(theExporter.GetData(), nullptr);

  QTInfoReader theReader;
  const std::string theJunk(600, 'j');
  theReader.SetData(theJunk.data(), static_cast<LONG>(theJunk.size()), "");
  theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()), "");
  EXPECT_EQ(theReader.GetQTError(), kQTCantFindHandlerErr);
  EXPECT_EQ(theReader.GetCount(), 0);

  QTMovieInfoReader theMovieReader;
  theMovieReader.SetFile((tltest::TestHome() + "/missing.mov").c_str());
  theMovieReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()), "clip.mov");
  EXPECT_EQ(theMovieReader.GetQTError(), kQTFileNotFoundErr);
  EXPECT_TRUE(std::filesystem::is_empty(theTempFolder)) << "no temporary file is written after the error";
}

// Without QuickTime the callers make none of these; one made anyway holds
// "not installed", does nothing and reports its making.
TEST(QuickTimeCodecsWithoutQuickTime, ObjectsHoldNotInstalledAndDoNothing)
{
  unsetenv(kQTLibraryVariable);
  OSErr theStartErr = 0;
  LONG theAvailable = 1;
  AcquireQuickTime(theStartErr, theAvailable);
  ASSERT_EQ(theAvailable, 0);
  const tltest::EventWatcher theEvents;
  const std::string theJpeg = qttest::WriteJpeg(kWidth, kHeight, 3, qttest::QuadrantPixels(kWidth, kHeight));
  Bitmap theCanvas;
  ASSERT_EQ(theCanvas.Create(8, 8, 32, nullptr), 0);

  QTImporter theImporter;
  theImporter.ReadData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
  theImporter.Draw(&theCanvas);
  QTMovieImporter theMovieImporter;
  theMovieImporter.ReadData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
  theMovieImporter.Draw(&theCanvas);
  QTExporter theExporter;
  theExporter.SetBitmap(&theCanvas);
  EXPECT_EQ(theExporter.Write(), 1);
  QTInfoReader theReader;
  theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()), "");
  QTMovieInfoReader theMovieReader;
  theMovieReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()), "clip.mov");
  QTExporterList theList;
  EXPECT_EQ(theList.GetCount(), 0);

  const QTObject* const kObjects[] = {&theImporter, &theMovieImporter, &theExporter, &theReader, &theMovieReader, &theList};
  for (const QTObject* theObject : kObjects)
    EXPECT_EQ(theObject->GetQTError(), kQTNotInstalledErr);
  EXPECT_EQ(theReader.GetCount() + theMovieReader.GetCount(), 0);
  EXPECT_EQ(theEvents.NewAssertions("QTClasses"), std::vector<std::string>(std::size(kObjects), "(QTOK())"));
  ReleaseQuickTime(theStartErr);
}

}  // namespace
