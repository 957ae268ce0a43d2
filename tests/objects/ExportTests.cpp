// The Export operation on pixels made here, each writer's output read back
// by another decoder (ImageMagick for GIF, PNG, TIFF and BMP; djpeg, and the
// quantisation tables cjpeg writes, for JPEG); and SaveAs and GetAs from a
// page, as a script meets them.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Preferences.h"
#include "core/QTUtils.h"
#include "core/Utilities.h"
#include "objects/Export.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

namespace {

using Bytes = std::vector<BYTE>;

constexpr LONG kWidth = 7;
constexpr LONG kHeight = 5;

// Red, with a yellow top-left pixel, a blue right column and a green bottom
// row: a mirror, a flip or a swap of red and blue shows.
DWORD PictureWord(LONG inX, LONG inY)
{
  if (inY == kHeight - 1)
    return 0x0000FF00;
  if (inX == kWidth - 1)
    return 0x000000FF;
  return inX == 0 && inY == 0 ? 0x00FFFF00 : 0x00FF0000;
}

// The picture at inDepth: drawn on 32 bits, then copied.
void MakePicture(Bitmap& ioWorld, LONG inDepth)
{
  Bitmap thePicture;
  tltest::MakePixels(thePicture, kWidth, kHeight);
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x)
      tltest::SetPixelWord(thePicture, x, y, PictureWord(x, y));
  tltest::MakePixels(ioWorld, kWidth, kHeight, inDepth);
  ASSERT_EQ(ioWorld.CopyAllFromDC(thePicture.GetHDC()), 0);
}

struct Outcome {
  std::string mError;  // empty on success
  Bytes mData;
};

// One export with the canvas defaults SetupOp gives: to inPath, or without
// one into memory as inType.
Outcome RunExport(Bitmap& inWorld, const std::string& inParams, const char* inType, const char* inPath = nullptr)
{
  Export theOp(inPath ? "Save As:" : "Get As:");
  theOp.GetParams()->Depth = ColorCountForDepth(inWorld.GetDepth());
  if (inPath)
    theOp.SetFile(inPath);
  else
    theOp.SetType(inType);
  theOp.SetParameters(inParams);
  theOp.Run(inWorld, nullptr);
  Outcome theOutcome;
  if (theOp.GetError()->HasError())
    theOutcome.mError = theOp.GetError()->GetText();
  else if (theOp.GetDataPtr())
    theOutcome.mData.assign(static_cast<const BYTE*>(theOp.GetDataPtr()),
                            static_cast<const BYTE*>(theOp.GetDataPtr()) + theOp.GetDataSize());
  return theOutcome;
}

// ImageMagick's reading of the bytes as R, G, B, A; empty when it fails.
Bytes Decode(const Bytes& inData, LONG inWidth = kWidth, LONG inHeight = kHeight)
{
  MagickReader theReader;
  theReader.ReadBlob(inData.data(), inData.size(), "test");
  const Image* theImage = theReader.GetImage(1);
  Bytes thePixels(static_cast<std::size_t>(inWidth) * inHeight * 4);
  MagickExceptionPtr theException(AcquireExceptionInfo());
  if (!theImage || theReader.GetWidth() != inWidth || theReader.GetHeight() != inHeight ||
      !ExportImagePixels(theImage, 0, 0, inWidth, inHeight, "RGBA", CharPixel, thePixels.data(), theException.get()))
    return {};
  return thePixels;
}

// Every pixel of the decoded picture is the picture's colour (any alpha).
void ExpectPicture(const Bytes& inDecoded)
{
  ASSERT_EQ(inDecoded.size(), std::size_t{kWidth * kHeight * 4});
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x) {
      const DWORD theWord = PictureWord(x, y);
      const BYTE* thePixel = &inDecoded[(y * kWidth + x) * 4];
      ASSERT_EQ(Bytes(thePixel, thePixel + 3),
                (Bytes{BYTE(theWord >> 16), BYTE(theWord >> 8), BYTE(theWord)}))
        << "at " << x << "," << y;
    }
}

// The bytes of every segment with one of the markers (DQT, SOF0 ...).
Bytes Segments(const Bytes& inJPEG, std::initializer_list<BYTE> inMarkers)
{
  Bytes theFound;
  for (std::size_t i = 2; i + 4 <= inJPEG.size() && inJPEG[i] == 0xFF && inJPEG[i + 1] != 0xDA;) {
    const std::size_t theLength = inJPEG[i + 2] << 8 | inJPEG[i + 3];
    if (std::find(inMarkers.begin(), inMarkers.end(), inJPEG[i + 1]) != inMarkers.end())
      theFound.insert(theFound.end(), inJPEG.begin() + i, inJPEG.begin() + std::min(inJPEG.size(), i + 2 + theLength));
    i += 2 + theLength;
  }
  return theFound;
}

Bytes ReadBytes(const std::string& inPath)
{
  const std::string theText = tltest::ReadFile(inPath);
  return Bytes(theText.begin(), theText.end());
}

// The picture as a binary PPM, for cjpeg.
std::string WritePPM(const std::string& inFolder)
{
  const std::string thePath = inFolder + "/picture.ppm";
  std::ofstream theFile(thePath, std::ios::binary);
  theFile << "P6\n" << kWidth << " " << kHeight << "\n255\n";
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x) {
      const DWORD theWord = PictureWord(x, y);
      theFile << char(theWord >> 16) << char(theWord >> 8) << char(theWord);
    }
  return thePath;
}

class Exports : public testing::Test {
protected:
  void SetUp() override { mFolder = tltest::MakeTempFolder("export"); }
  std::string mFolder;
};

TEST_F(Exports, GIFKeepsTheColoursAndTheTopRowFromEveryDepthWithAndWithoutLZW)
{
  for (LONG theDepth : {32, 24, 16, 8}) {
    for (LONG theLZW : {0, 1}) {
      SCOPED_TRACE("depth " + std::to_string(theDepth) + ", UseLZW " + std::to_string(theLZW));
      ASSERT_EQ(SetPrefLong("UseLZW", theLZW), ERROR_SUCCESS);
      Bitmap theWorld;
      MakePicture(theWorld, theDepth);
      const Outcome theGIF = RunExport(theWorld, "", "GIF Image");
      ASSERT_EQ(theGIF.mError, "");
      ASSERT_GE(theGIF.mData.size(), 13u);
      EXPECT_EQ(std::string(theGIF.mData.begin(), theGIF.mData.begin() + 6), "GIF87a");
      ExpectPicture(Decode(theGIF.mData));
    }
  }
}

// A picture of random colours through LZW (more than a byte a pixel) is
// written, and a GIF that cannot be made says why in words.
TEST_F(Exports, GIFsOfNoiseAreWrittenAndRefusalsSayWhy)
{
  ASSERT_EQ(SetPrefLong("UseLZW", 1), ERROR_SUCCESS);
  std::mt19937 theRandom(3);
  Bitmap theNoise;
  tltest::MakePixels(theNoise, 300, 200);
  for (LONG y = 0; y < 200; ++y)
    for (LONG x = 0; x < 300; ++x)
      tltest::SetPixelWord(theNoise, x, y, theRandom() & 0xFFFFFF);
  const Outcome theGIF = RunExport(theNoise, "", nullptr, (mFolder + "/noise.gif").c_str());
  EXPECT_EQ(theGIF.mError, "");
  EXPECT_EQ(Decode(ReadBytes(mFolder + "/noise.gif"), 300, 200).size(), 300u * 200 * 4);

  Bitmap theWide;
  tltest::MakePixels(theWide, 65536, 1);
  const std::string theError = RunExport(theWide, "", "gif").mError;
  EXPECT_EQ(theError.substr(0, 51), "A GIF image is at most 65535 pixels wide and high\n\n") << theError;
  EXPECT_EQ(theError.find("Unspecified"), std::string::npos) << theError;
}

TEST_F(Exports, GIFOptionsReachTheFile)
{
  // Shades of many colours, for the reduction to have work.
  Bitmap theWorld;
  tltest::MakePixels(theWorld, 64, 48);
  for (LONG y = 0; y < 48; ++y)
    for (LONG x = 0; x < 64; ++x)
      tltest::SetPixelWord(theWorld, x, y, DWORD(x * 4) << 16 | DWORD(y * 5) << 8 | DWORD((x + y) * 2));
  auto theTableBits = [](const Bytes& inGIF) { return (inGIF.at(10) & 7) + 1; };
  auto theTransparentIndex = [&](const Bytes& inGIF) {
    const std::size_t theExtension = 13 + 3 * (std::size_t{1} << theTableBits(inGIF));
    EXPECT_EQ(inGIF.at(theExtension), 0x21);
    return inGIF.at(theExtension + 6);
  };

  const Outcome theFull = RunExport(theWorld, "", "gif");
  ASSERT_EQ(theFull.mError, "");
  EXPECT_EQ(theTableBits(theFull.mData), 8);
  const Outcome theSixteen = RunExport(theWorld, "depth=16 dither=1 palette=adaptive", "gif");
  ASSERT_EQ(theSixteen.mError, "");
  EXPECT_LE(theTableBits(theSixteen.mData), 4);
  const Outcome theInterlaced = RunExport(theWorld, "interlace=1", "gif");
  ASSERT_EQ(theInterlaced.mError, "");
  EXPECT_EQ(theInterlaced.mData.at(13 + 3 * 256 + 9), 0x40);

  // A point past the corner is the corner; a colour wins over a point.
  const Outcome thePoint = RunExport(theWorld, "transparent=1000,1000", "gif");
  ASSERT_EQ(thePoint.mError, "");
  EXPECT_EQ(std::string(thePoint.mData.begin(), thePoint.mData.begin() + 6), "GIF89a");
  const Bytes theDecoded = Decode(thePoint.mData, 64, 48);
  ASSERT_FALSE(theDecoded.empty());
  EXPECT_EQ(theDecoded.back(), 0) << "the bottom-right pixel is transparent";
  EXPECT_EQ(theDecoded[3], 255) << "the top-left pixel is not";
  const BYTE theCorner = theTransparentIndex(thePoint.mData);
  EXPECT_EQ(theCorner, theTransparentIndex(RunExport(theWorld, "transparent=63,47", "gif").mData));
  // The colour of the top-right pixel, 252,0,126: its nearest table entry.
  const Outcome theColour = RunExport(theWorld, "transparent=63,47 transparent=#FC007E", "gif");
  ASSERT_EQ(theColour.mError, "");
  int theNearest = 0;
  int theBest = INT_MAX;
  for (int i = 0; i < 256; ++i) {
    const BYTE* theEntry = &theColour.mData.at(13 + 3 * i);
    const int theDistance = (theEntry[0] - 252) * (theEntry[0] - 252) + theEntry[1] * theEntry[1] +
                            (theEntry[2] - 126) * (theEntry[2] - 126);
    if (theDistance < theBest) {
      theBest = theDistance;
      theNearest = i;
    }
  }
  EXPECT_EQ(theTransparentIndex(theColour.mData), theNearest);
  EXPECT_NE(theNearest, theCorner);
}

TEST_F(Exports, JPEGQualityWordsGiveTheLibraryQualityAndTheStreamDecodesCloseToTheCanvas)
{
  Bitmap theWorld;
  MakePicture(theWorld, 32);
  const std::string thePPM = WritePPM(mFolder);
  const std::pair<const char*, int> kQualities[] = {{"0", 1},      {"low", 25},  {"normal", 70},
                                                    {"high", 95},  {"max", 100}, {"lossless", 100}};
  for (const auto& [theWord, theLibraryQuality] : kQualities) {
    SCOPED_TRACE(std::string("quality=") + theWord);
    const Outcome theJPEG = RunExport(theWorld, std::string("quality=") + theWord, "jpeg");
    ASSERT_EQ(theJPEG.mError, "");
    const std::string theReference = mFolder + "/reference.jpg";
    const tltest::RunResult theCjpeg = tltest::RunProgram(
      {"/usr/bin/cjpeg", "-quality", std::to_string(theLibraryQuality), "-sample", "2x1", "-baseline", "-outfile",
       theReference, thePPM});
    ASSERT_EQ(theCjpeg.mStatus, 0) << theCjpeg.mErr;
    EXPECT_EQ(Segments(theJPEG.mData, {0xDB, 0xC0}), Segments(ReadBytes(theReference), {0xDB, 0xC0}))
      << "quantisation tables and frame";
  }

  // Every depth's road to the library: packed, or through a 24-bit copy.
  for (LONG theDepth : {32, 24, 16}) {
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theCanvas;
    MakePicture(theCanvas, theDepth);
    const std::string theFile = mFolder + "/high.jpg";
    ASSERT_EQ(RunExport(theCanvas, "quality=high", nullptr, theFile.c_str()).mError, "");
    const tltest::RunResult theDjpeg = tltest::RunProgram({"/usr/bin/djpeg", "-pnm", theFile});
    ASSERT_EQ(theDjpeg.mStatus, 0) << theDjpeg.mErr;
    const std::string kHeader = "P6\n7 5\n255\n";
    ASSERT_EQ(theDjpeg.mOut.substr(0, kHeader.size()), kHeader);
    double theError = 0;
    for (LONG i = 0; i < kWidth * kHeight * 3; ++i) {
      const DWORD theWord = PictureWord(i / 3 % kWidth, i / 3 / kWidth);
      theError += std::abs(BYTE(theDjpeg.mOut.at(kHeader.size() + i)) - int(theWord >> (16 - 8 * (i % 3)) & 0xFF));
    }
    EXPECT_LT(theError / (kWidth * kHeight * 3), 24) << "mean error of a channel";
  }

  Bitmap theDot;
  tltest::MakePixels(theDot, 1, 1);
  const Outcome theSmall = RunExport(theDot, "", "jpeg");
  ASSERT_EQ(theSmall.mError, "");
  EXPECT_FALSE(Decode(theSmall.mData, 1, 1).empty());
}

// A 32-bit canvas goes to the JPEG library as it stands, a 24-bit one as a
// copy: the same colours give the same stream, to memory and to a file,
// whatever the alpha.
TEST_F(Exports, JPEGOfA32BitCanvasIsTheJPEGOfItsColoursAt24Bits)
{
  constexpr LONG kSideX = 37, kSideY = 23;  // 24-bit rows of 111 bytes and a pad
  Bitmap theWorld;
  tltest::MakePixels(theWorld, kSideX, kSideY);
  for (LONG y = 0; y < kSideY; ++y)
    for (LONG x = 0; x < kSideX; ++x)
      tltest::SetPixelWord(theWorld, x, y,
                           DWORD((x * 7 + y * 3) & 0xFF) << 24 | DWORD(x * 6) << 16 | DWORD(y * 11) << 8 |
                             DWORD(x + y) * 4);
  Bitmap theCopy;
  tltest::MakePixels(theCopy, kSideX, kSideY, 24);
  ASSERT_EQ(theCopy.CopyAllFromDC(theWorld.GetHDC()), 0);

  for (const char* theParams : {"", "quality=high"}) {
    SCOPED_TRACE(theParams);
    const Outcome theMemory = RunExport(theWorld, theParams, "jpeg");
    ASSERT_EQ(theMemory.mError, "");
    ASSERT_FALSE(theMemory.mData.empty());
    EXPECT_EQ(RunExport(theCopy, theParams, "jpeg").mData, theMemory.mData);
    const std::string theFile = mFolder + "/same.jpg";
    ASSERT_EQ(RunExport(theCopy, theParams, nullptr, theFile.c_str()).mError, "");
    EXPECT_EQ(ReadBytes(theFile), theMemory.mData);
    ASSERT_EQ(RunExport(theWorld, theParams, nullptr, theFile.c_str()).mError, "");
    EXPECT_EQ(ReadBytes(theFile), theMemory.mData);
  }
}

// A resize the canvas could not make (beyond 4 GB of pixels) leaves its
// pixels as they were: the JPEG holds those, never memory past them.
TEST_F(Exports, JPEGAfterARefusedResizeHoldsThePixelsTheCanvasHas)
{
  constexpr LONG kSideX = 20000, kSideY = 3;
  for (LONG theDepth : {32, 8}) {
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theWorld;
    tltest::MakePixels(theWorld, kSideX, kSideY, theDepth);
    theWorld.SetDepth(32);
    theWorld.SetHeight(60000);
    ASSERT_NE(theWorld.Update(), 0);
    const std::string theFile = mFolder + "/refused.jpg";
    ASSERT_EQ(RunExport(theWorld, "", nullptr, theFile.c_str()).mError, "");
    for (const Bytes& theJPEG : {RunExport(theWorld, "", "jpeg").mData, ReadBytes(theFile)}) {
      const Bytes theFrame = Segments(theJPEG, {0xC0});
      ASSERT_GE(theFrame.size(), 9u);
      EXPECT_EQ(Bytes(theFrame.begin() + 5, theFrame.begin() + 9),
                (Bytes{0, kSideY, BYTE(kSideX >> 8), BYTE(kSideX & 0xFF)}))
        << "height and width of the frame";
    }
  }
}

TEST_F(Exports, OtherFormatsAndJPEGsWithAResolutionGoToImageMagick)
{
  Bitmap theWorld;
  MakePicture(theWorld, 32);
  tltest::SetPixelWord(theWorld, 2, 1, 0x80FF0000);  // half-transparent red

  const std::string theJPEG = mFolder + "/dpi.jpg";
  ASSERT_EQ(RunExport(theWorld, "hres=300 vres=300", nullptr, theJPEG.c_str()).mError, "");
  const Bytes theStream = ReadBytes(theJPEG);
  ASSERT_GE(theStream.size(), 18u);
  EXPECT_EQ(Bytes(theStream.begin() + 13, theStream.begin() + 16), (Bytes{1, 300 >> 8, 300 & 0xFF}))
    << "JFIF density in dots per inch";

  for (bool theAlpha : {false, true}) {
    const Outcome thePNG = RunExport(theWorld, theAlpha ? "alpha=1" : "", "png");
    ASSERT_EQ(thePNG.mError, "");
    const Bytes theDecoded = Decode(thePNG.mData);
    ExpectPicture(theDecoded);
    EXPECT_EQ(theDecoded.at((1 * kWidth + 2) * 4 + 3), theAlpha ? 0x80 : 0xFF) << "alpha " << theAlpha;
  }
  for (const char* theType : {"tiff", "bmp"}) {
    const Outcome theOutcome = RunExport(theWorld, "", theType);
    ASSERT_EQ(theOutcome.mError, "") << theType;
    ExpectPicture(Decode(theOutcome.mData));
  }
  // Two messages, joined by a blank.
  EXPECT_EQ(RunExport(theWorld, "", "qqqz").mError.substr(0, 47), "ImageMagick Error -  No image encoder available");
}

// Coders that ended the process (HTML's writer frees twice, Debian's MAT
// coder misses a symbol) are refused as every coder the policy does not
// list; the process serves on.
TEST_F(Exports, CodersOutsideThePolicyAreRefusedAndTheProcessServesOn)
{
  const tltest::ChildResult theChild = tltest::RunInChild([&] {
    Bitmap theWorld;
    MakePicture(theWorld, 32);
    int theRefused = 0;
    for (const char* theType : {"html", "htm", "HTML", "mat", "svg", "txt", "xc", "info"}) {
      const std::string thePath = mFolder + "/a." + theType;
      for (const Outcome& theOutcome : {RunExport(theWorld, "", theType), RunExport(theWorld, "", nullptr, thePath.c_str())})
        theRefused += theOutcome.mError.rfind("ImageMagick Error -  No image encoder available", 0) == 0;
    }
    return theRefused == 16 ? 0 : 2;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild));
  EXPECT_TRUE(std::filesystem::is_empty(mFolder));
}

TEST_F(Exports, FailuresAreReportedAndWriteNothing)
{
  Bitmap theFresh;
  EXPECT_EQ(RunExport(theFresh, "", "gif").mError.substr(0, 40), "Cannot export canvas because it is empty");
  Bitmap theWorld;
  MakePicture(theWorld, 32);
  EXPECT_EQ(RunExport(theWorld, "", nullptr, "").mError.substr(0, 18), "File path is blank");

  const std::string theMissing = mFolder + "/missing/picture";
  EXPECT_EQ(RunExport(theWorld, "", nullptr, (theMissing + ".jpg").c_str()).mError.substr(0, 20),
            "JPEG Error Message -");
  const std::string theGIFError = RunExport(theWorld, "", nullptr, (theMissing + ".gif").c_str()).mError;
  Error theExpected;
  theExpected.mWindowsCode = ERROR_PATH_NOT_FOUND;
  std::string theWording = theExpected.GetText();
  theWording.erase(theWording.find_last_not_of("\r\n") + 1);
  EXPECT_EQ(theGIFError.substr(0, theWording.size()), theWording);

  const std::string theUnparsed = mFolder + "/unparsed.gif";
  EXPECT_NE(RunExport(theWorld, "depth 16", nullptr, theUnparsed.c_str()).mError, "");
  EXPECT_EQ(tltest::ReadFile(theUnparsed), "");

  ASSERT_EQ(SetPrefLong("IMExport", 0), ERROR_SUCCESS);
  EXPECT_EQ(RunExport(theWorld, "", "png").mError.substr(0, 41), "No writer is available for this file type");
  EXPECT_EQ(RunExport(theWorld, "hres=72", "jpeg").mError.substr(0, 41),
            "No writer is available for this file type");
  ASSERT_EQ(SetPrefLong("IMExport", 1), ERROR_SUCCESS);
}

// With QuickTime there (the stand-in, whose only working exporter writes
// BMP), QuickTime writes a BMP with ImageMagick off, into memory and to a
// file; a format it cannot write goes on to ImageMagick with the error
// cleared, or, with ImageMagick off, fails with QuickTime's code.
TEST_F(Exports, WithQuickTimeTheExporterWritesFirstAndImageMagickFollowsItsFailure)
{
  setenv(kQTLibraryVariable, TL_QUICKTIME_STANDIN, 1);
  OSErr theStartErr = 0;
  LONG theAvailable = 0;
  AcquireQuickTime(theStartErr, theAvailable);
  ASSERT_EQ(theAvailable, 1);
  Bitmap theWorld;
  MakePicture(theWorld, 32);

  ASSERT_EQ(SetPrefLong("IMExport", 0), ERROR_SUCCESS);
  const Outcome theMemory = RunExport(theWorld, "", "bmp");
  ASSERT_EQ(theMemory.mError, "");
  ExpectPicture(Decode(theMemory.mData));
  const std::string thePath = mFolder + "/picture.bmp";
  ASSERT_EQ(RunExport(theWorld, "", nullptr, thePath.c_str()).mError, "");
  EXPECT_EQ(ReadBytes(thePath), theMemory.mData);

  Error theExpected;
  theExpected.mQuickTimeCode = kQTCantFindHandlerErr;
  const std::string theWording = theExpected.GetText();
  EXPECT_EQ(RunExport(theWorld, "", "png").mError.substr(0, theWording.size()), theWording);

  ASSERT_EQ(SetPrefLong("IMExport", 1), ERROR_SUCCESS);
  const Outcome thePNG = RunExport(theWorld, "", "png");
  ASSERT_EQ(thePNG.mError, "");
  EXPECT_EQ(Bytes(thePNG.mData.begin(), thePNG.mData.begin() + std::min<std::size_t>(4, thePNG.mData.size())),
            (Bytes{0x89, 'P', 'N', 'G'}));
  ExpectPicture(Decode(thePNG.mData));
  ReleaseQuickTime(theStartErr);
}

class ExportPages : public Exports {
protected:
  void SetUp() override
  {
    Exports::SetUp();
    const tltest::RunResult theResult = tltest::RunProgram({TL_TLREGSVR, TL_TESSALINE4});
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  }
  tltest::RunResult RunPage(const std::string& inPage, const std::vector<std::string>& inArguments)
  {
    std::vector<std::string> theCommand = {TL_TLSCRIPT, std::string(TL_PAGES_DIR) + "/" + inPage};
    theCommand.insert(theCommand.end(), inArguments.begin(), inArguments.end());
    return tltest::RunProgram(theCommand,
                              {"LSAN_OPTIONS=suppressions=" TL_HOST_SUPPRESSIONS ":print_suppressions=0"});
  }
};

TEST_F(ExportPages, SaveAsChoosesTheWriterByNameAndReportsWhatFails)
{
  const tltest::RunResult theResult = RunPage("export.js", {mFolder});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, tltest::ReadFile(std::string(TL_PAGES_DIR) + "/export.expected"));

  auto theStart = [&](const char* inName, std::size_t inLength) {
    return tltest::ReadFile(mFolder + "/" + inName).substr(0, inLength);
  };
  EXPECT_EQ(theStart("x.gif", 6), "GIF87a");
  EXPECT_EQ(theStart("typed.dat", 6), "GIF87a");
  EXPECT_EQ(theStart("photo.jpg", 4), "\xFF\xD8\xFF\xE0");
  EXPECT_EQ(theStart("dpi.jpg", 16).substr(13), std::string("\x01\x01\x2C", 3)) << "300 dots per inch";
  EXPECT_EQ(theStart("alpha.png", 4), "\x89PNG");
  EXPECT_EQ(theStart("picture.tiff", 2), "II");
  EXPECT_EQ(theStart("picture.bmp", 2), "BM");
  EXPECT_EQ(tltest::ReadFile(mFolder + "/unparsed.gif"), "");

  // The canvas's colours and orientation: red, blue on the right, green below.
  const Bytes theDecoded = Decode(ReadBytes(mFolder + "/x.gif"), 6, 5);
  ASSERT_FALSE(theDecoded.empty());
  for (auto [theX, theY, theColour] : {std::tuple{0, 0, 0xFF0000}, {3, 2, 0xFF0000}, {4, 0, 0x0000FF},
                                       {5, 2, 0x0000FF}, {0, 3, 0x00FF00}, {5, 4, 0x00FF00}}) {
    const BYTE* thePixel = &theDecoded[(theY * 6 + theX) * 4];
    EXPECT_EQ(thePixel[0] << 16 | thePixel[1] << 8 | thePixel[2], theColour) << "at " << theX << "," << theY;
  }

  // One line for each save with a path, failed ones too.
  std::vector<std::string> theSaved;
  for (const auto& theRecord : tltest::LogRecords("SaveAs.log"))
    if (theRecord[6].rfind(mFolder, 0) == 0)
      theSaved.push_back(theRecord[4] + " " + theRecord[6].substr(mFolder.size()));
  ASSERT_EQ(theSaved.size(), 12u);
  EXPECT_EQ(theSaved[1], "Save As: /x.gif");
}

TEST_F(ExportPages, GetAsGivesTheBytesSaveAsWrites)
{
  for (const char* theParams : {"", "interlace=1 transparent=2,2", "depth=4 dither=1"}) {
    const std::string thePath = mFolder + "/same.gif";
    const tltest::RunResult theResult = RunPage("bytes.js", {thePath, theParams});
    EXPECT_EQ(theResult.mErr, "") << theParams;
    EXPECT_EQ(theResult.mOut, tltest::ReadFile(thePath)) << theParams;
    EXPECT_FALSE(theResult.mOut.empty()) << theParams;
  }
}

}  // namespace
