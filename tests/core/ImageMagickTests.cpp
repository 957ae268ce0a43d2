// The ImageMagick codec against files that MagickCore itself writes (and
// ImageMagick's own command, under Debian's policy): every format's
// description, pixels on both Bitmap layouts and back, CMYK through the ICC
// road, the writer's options, the texts, the coders the policy lets through
// (each in a child process of its own) and hostile input under the policy.

#include "core/Bitmap.h"
#include "core/ColorSpace.h"
#include "core/ImageMagick.h"
#include "core/MappedFileSource.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "tests/core/EventWatcher.h"
#include "tests/core/TestProfiles.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;
using Pixel = std::array<int, 4>;  // red, green, blue, alpha
using MagickInfoPtr = std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>>;

constexpr LONG kWidth = 6;
constexpr LONG kHeight = 4;
const RECT kPattern{0, 0, kWidth, kHeight};

// Every pixel different, no channel symmetric: a swap, flip or mirror shows.
Pixel PatternPixel(LONG x, LONG y)
{
  return {30 + 40 * x, 20 + 50 * y, 230 - 35 * x - 10 * y, 255 - 20 * y};
}

// ---- Fixtures written by MagickCore

// Starts ImageMagick the codec's way, with the project's policy. Listing the
// formats also loads every coder, which ImageMagick otherwise does the first
// time it meets bytes it cannot tell: timed reads start after it.
void StartMagick()
{
  static MagickFormatList gStarted;
}

MagickImagePtr MakeImage(LONG inWidth, LONG inHeight, bool inMatte,
                         const std::function<Pixel(LONG, LONG)>& inPixel = PatternPixel)
{
  StartMagick();
  MagickImagePtr theImage(AcquireImage(nullptr));
  EXPECT_TRUE(SetImageExtent(theImage.get(), inWidth, inHeight));
  theImage->depth = 8;
  theImage->matte = inMatte ? MagickTrue : MagickFalse;
  for (LONG y = 0; y < inHeight; ++y) {
    PixelPacket* theRow = QueueAuthenticPixels(theImage.get(), 0, y, inWidth, 1, &theImage->exception);
    for (LONG x = 0; x < inWidth; ++x) {
      const Pixel thePixel = inPixel(x, y);
      theRow[x].red = static_cast<Quantum>(thePixel[0] * 257);
      theRow[x].green = static_cast<Quantum>(thePixel[1] * 257);
      theRow[x].blue = static_cast<Quantum>(thePixel[2] * 257);
      theRow[x].opacity = static_cast<Quantum>((255 - thePixel[3]) * 257);
    }
    SyncAuthenticPixels(theImage.get(), &theImage->exception);
  }
  return theImage;
}

// The list as one file where the format allows.
Bytes Encode(MagickImagePtr inImages, const char* inFormat)
{
  MagickExceptionPtr theException(AcquireExceptionInfo());
  MagickInfoPtr theInfo(CloneImageInfo(nullptr));
  std::strcpy(theInfo->magick, inFormat);
  std::size_t theLength = 0;
  unsigned char* theBlob = ImagesToBlob(theInfo.get(), inImages.get(), &theLength, theException.get());
  EXPECT_TRUE(theBlob) << inFormat;
  Bytes theBytes(theBlob, theBlob + theLength);
  RelinquishMagickMemory(theBlob);
  return theBytes;
}

Bytes Pattern(const char* inFormat, bool inMatte = false)
{
  return Encode(MakeImage(kWidth, kHeight, inMatte), inFormat);
}

// ImageMagick's reading of the bytes, in the format named when one is.
MagickImagePtr Decode(const Bytes& inBytes, const char* inFormat = nullptr)
{
  MagickExceptionPtr theException(AcquireExceptionInfo());
  MagickInfoPtr theInfo(CloneImageInfo(nullptr));
  if (inFormat)
    std::strcpy(theInfo->magick, inFormat);
  return MagickImagePtr(BlobToImage(theInfo.get(), inBytes.data(), inBytes.size(), theException.get()));
}

MagickImagePtr Append(MagickImagePtr inList, MagickImagePtr inImage)
{
  Image* theFirst = inList.release();
  AppendImageToList(&theFirst, inImage.release());
  return MagickImagePtr(theFirst);
}

// Three 10 x 10 frames on a 20 x 20 page, at (0, 0), (5, 5) and (10, 10).
Bytes ThreeFrameGIF()
{
  MagickImagePtr theList;
  for (LONG i = 0; i < 3; ++i) {
    MagickImagePtr theFrame = MakeImage(10, 10, false, [i](LONG, LONG) { return Pixel{80 * i, 255 - 80 * i, 40, 255}; });
    theFrame->page = RectangleInfo{20, 20, 5 * i, 5 * i};
    theList = Append(std::move(theList), std::move(theFrame));
  }
  return Encode(std::move(theList), "GIF");
}

Bytes ThreePageTIFF()
{
  return Encode(Append(Append(MakeImage(kWidth, kHeight, false), MakeImage(3, 2, false)), MakeImage(2, 5, false)),
                "TIFF");
}

Bytes WithResolution(const char* inFormat, ResolutionType inUnits, double inResolution)
{
  MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
  theImage->units = inUnits;
  theImage->x_resolution = theImage->y_resolution = inResolution;
  return Encode(std::move(theImage), inFormat);
}

Bytes Grey(const char* inFormat)
{
  MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
  TransformImageColorspace(theImage.get(), GRAYColorspace);
  return Encode(std::move(theImage), inFormat);
}

std::string WriteTemp(const std::string& inName, const Bytes& inBytes)
{
  const std::string thePath = tltest::MakeTempFolder("magick") + "/" + inName;
  std::ofstream(thePath, std::ios::binary)
    .write(reinterpret_cast<const char*>(inBytes.data()), static_cast<std::streamsize>(inBytes.size()));
  return thePath;
}

Bytes Text(const std::string& inText)
{
  return Bytes(inText.begin(), inText.end());
}

std::string ErrorOf(MagickBase& inCodec)
{
  const char* theError = inCodec.GetError();
  return theError ? theError : "(none)";
}

// ---- Describing

ImageInfoRecord Record(LONG inDepth, LONG inResolution, RECT inRect, LONG inSpace = 1, LONG inProfile = 0)
{
  return {inDepth, inResolution, inRect.left, inRect.top, inRect.right, inRect.bottom, inSpace, inProfile};
}

// The process's peak resident size.
long PeakResidentKiB()
{
  std::ifstream theStatus("/proc/self/status");
  for (std::string theLine; std::getline(theStatus, theLine);)
    if (theLine.rfind("VmHWM:", 0) == 0)
      return std::stol(theLine.substr(6));
  return -1;
}

// Hostile input is refused from its header, far below this bound, which
// leaves room for a loaded machine under the sanitizers.
constexpr auto kRefusalBound = std::chrono::seconds(5);

TEST(MagickInfoReader, DescribesEveryFormatFromMemoryAndFiles)
{
  struct Described {
    const char* mName;
    std::function<Bytes()> mMake;
    const char* mFormat;
    std::vector<ImageInfoRecord> mRecords;
  };
  const std::vector<Described> theCases = {
    {"PNG with alpha", [] { return Pattern("PNG", true); }, "PNG", {Record(32, 72, kPattern)}},
    {"palette PNG (200 colours)",
     [] { return Encode(MakeImage(200, 1, false, [](LONG x, LONG) { return Pixel{x, 255 - x, x / 2, 255}; }), "PNG8"); },
     "PNG", {Record(8, 72, {0, 0, 200, 1})}},
    {"GIF frames", ThreeFrameGIF, "GIF",
     {Record(1, 72, {0, 0, 10, 10}), Record(1, 72, {5, 5, 15, 15}), Record(1, 72, {10, 10, 20, 20})}},
    {"TIFF pages", ThreePageTIFF, "TIFF",
     {Record(24, 72, kPattern), Record(24, 72, {0, 0, 3, 2}), Record(24, 72, {0, 0, 2, 5})}},
    {"BMP at 39.2 px/cm", [] { return WithResolution("BMP", PixelsPerCentimeterResolution, 39.2); }, "BMP",
     {Record(24, 100, kPattern)}},
    {"PNG at 28.35 px/cm (24 colours)", [] { return WithResolution("PNG", PixelsPerCentimeterResolution, 28.35); },
     "PNG", {Record(5, 72, kPattern)}},
    {"PSD at 300 dpi", [] { return WithResolution("PSD", PixelsPerInchResolution, 300); }, "PSD",
     {Record(24, 300, kPattern), Record(24, 300, kPattern)}},
    {"grey JPEG", [] { return Grey("JPEG"); }, "JPEG", {Record(32, 72, kPattern, 2)}},
    {"JPEG at 300 dpi", [] { return WithResolution("JPEG", PixelsPerInchResolution, 300); }, "JPEG",
     {Record(32, 300, kPattern)}},
  };
  for (const Described& theCase : theCases) {
    const Bytes theBytes = theCase.mMake();
    const std::string thePath = WriteTemp("input.bin", theBytes);
    for (bool thePing : {true, false}) {
      for (bool theFromFile : {true, false}) {
        SCOPED_TRACE(std::string(theCase.mName) + (thePing ? ", ping" : ", full") + (theFromFile ? ", file" : ", memory"));
        MagickInfoReader theReader(thePing);
        if (theFromFile)
          theReader.SetFile(thePath.c_str());
        else
          theReader.SetData(theBytes.data(), static_cast<LONG>(theBytes.size()), "input.bin");
        EXPECT_EQ(ErrorOf(theReader), "(none)");
        EXPECT_STREQ(theReader.GetFormatName(), theCase.mFormat);
        ASSERT_EQ(theReader.GetCount(), static_cast<LONG>(theCase.mRecords.size()));
        for (LONG i = 0; i < theReader.GetCount(); ++i)
          EXPECT_EQ(theReader.GetRecord(i), theCase.mRecords[static_cast<std::size_t>(i)]) << "record " << i;
        // Photoshop's image resources are the IPTC block, when decoded.
        EXPECT_EQ(theReader.GetIPTCLength() > 0, !thePing && std::strcmp(theCase.mFormat, "PSD") == 0);
      }
    }
  }
}

TEST(ReadPSDResolution, TakesResource1005WithItsFraction)
{
  // All ones in both fractions (16.16 numbers at bytes 0 and 8 of the
  // resource's data): 301 dpi, where ImageMagick itself reads the whole part.
  Bytes thePSD = WithResolution("PSD", PixelsPerInchResolution, 300);
  const Bytes theTag = {'8', 'B', 'I', 'M', 0x03, 0xED, 0, 0};
  const auto theResource = std::search(thePSD.begin(), thePSD.end(), theTag.begin(), theTag.end());
  ASSERT_NE(theResource, thePSD.end());
  for (std::ptrdiff_t theByte : {14, 15, 22, 23})
    theResource[theByte] = 0xFF;
  MagickReader theReader;
  theReader.ReadBlob(thePSD.data(), thePSD.size(), "photo.psd");
  ASSERT_EQ(theReader.GetImageCount(), 2);
  for (LONG i = 1; i <= 2; ++i) {
    EXPECT_EQ(theReader.GetImage(i)->x_resolution, 301.0);
    EXPECT_EQ(theReader.GetImage(i)->y_resolution, 301.0);
    EXPECT_EQ(theReader.GetImage(i)->units, PixelsPerInchResolution);
  }
}

// ---- Pixels

// The Bitmap's pixel (x, y) as red, green, blue, alpha.
Pixel BitmapPixel(Bitmap& inBM, LONG x, LONG y)
{
  LockedPixels thePixels;
  EXPECT_TRUE(inBM.LockPixels(thePixels));
  const BYTE* p = thePixels.mBase + y * thePixels.mRowBytes + 4 * x;
  inBM.UnlockPixels();
  return inBM.IsRGBA() ? Pixel{p[0], p[1], p[2], p[3]} : Pixel{p[2], p[1], p[0], p[3]};
}

void ExpectPattern(Bitmap& inBM, bool inMatte, int inTolerance = 0)
{
  ASSERT_EQ(FormatRect(inBM.GetBounds()), FormatRect(kPattern));
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x) {
      Pixel theWanted = PatternPixel(x, y);
      theWanted[3] = inMatte ? theWanted[3] : 255;
      const Pixel theGot = BitmapPixel(inBM, x, y);
      for (int c = 0; c < 4; ++c)
        ASSERT_NEAR(theGot[c], theWanted[c], inTolerance) << "pixel " << x << "," << y << " channel " << c;
    }
}

TEST(MagickImageToBitmap, KeepsColoursAndTopRowInBothLayoutsAndEveryFormat)
{
  struct Road {
    const char* mFormat;
    bool mAlpha;
    int mTolerance;
  };
  for (LONG theLayout : {LONG{32}, kTL32RGBAPixelFormat}) {
    Bitmap theBitmap;
    ASSERT_EQ(MagickImageToBitmap(MakeImage(kWidth, kHeight, true).get(), &theBitmap, theLayout), 0);
    EXPECT_EQ(theBitmap.IsRGBA(), theLayout == kTL32RGBAPixelFormat);
    ExpectPattern(theBitmap, true);
    for (const Road& theRoad : {Road{"PNG", true, 0}, Road{"PNG", false, 0}, Road{"TIFF", true, 0}, Road{"PSD", false, 0}, Road{"GIF", false, 0},
                                Road{"BMP", false, 0}, Road{"JPEG", false, 12}}) {
      SCOPED_TRACE(std::string(theRoad.mFormat) + (theLayout == 32 ? " from B, G, R, A" : " from R, G, B, A"));
      MagickWriter theWriter;
      theWriter.SetBitmap(&theBitmap);
      theWriter.SetType(theRoad.mFormat);
      theWriter.SetAlpha(theRoad.mAlpha);
      theWriter.SetQuality(1024);
      ASSERT_EQ(theWriter.Write(), 0) << ErrorOf(theWriter);
      MagickReader theReader;
      theReader.ReadBlob(theWriter.GetData(), static_cast<std::size_t>(theWriter.GetLength()), "");
      Bitmap theCopy;
      ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theCopy), 0) << ErrorOf(theReader);
      ExpectPattern(theCopy, theRoad.mAlpha, theRoad.mTolerance);
    }
  }
}

TEST(MagickImageToBitmap, ReadsALargeFileThroughItsMapping)
{
  const std::string thePath = WriteTemp("large.png", Pattern("PNG", true));
  std::filesystem::resize_file(thePath, MappedFileSource::kReadInLimit + 1);
  MagickReader theReader;
  theReader.ReadFile(thePath.c_str(), nullptr);
  Bitmap theBitmap;
  ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap), 0) << ErrorOf(theReader);
  ExpectPattern(theBitmap, true);
}

TEST(MagickImageToBitmap, ConvertsOtherColourSpacesAndCodesThemInTheSystemsNumbering)
{
  struct Space {
    ColorspaceType mSpace;
    LONG mCode;
    bool mShown;  // the pixels show the pattern's colours
  };
  for (const Space& theCase : {Space{sRGBColorspace, 1, true}, Space{LinearGRAYColorspace, 2, false},
                               Space{Rec709LumaColorspace, 2, false}, Space{OHTAColorspace, 4, true},
                               Space{XYZColorspace, 5, true}, Space{YCbCrColorspace, 6, true},
                               Space{YUVColorspace, 10, true}, Space{LabColorspace, 1, true},
                               Space{HSLColorspace, 1, true}}) {
    MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
    TransformImageColorspace(theImage.get(), theCase.mSpace);
    Bitmap theBitmap;
    ASSERT_EQ(MagickImageToBitmap(theImage.get(), &theBitmap), 0) << theCase.mSpace;
    if (theCase.mShown)
      ExpectPattern(theBitmap, false, 2);
    const Bytes theBytes = Encode(std::move(theImage), "MIFF");
    MagickInfoReader theReader(true);
    theReader.SetData(theBytes.data(), static_cast<LONG>(theBytes.size()), "");
    ASSERT_EQ(theReader.GetCount(), 1) << theCase.mSpace;
    EXPECT_EQ(theReader.GetRecord(0).mColorSpace, theCase.mCode) << theCase.mSpace;
  }
  MagickReader thePinged;
  thePinged.SetPing(true);
  const Bytes theBytes = Pattern("PNG");
  thePinged.ReadBlob(theBytes.data(), theBytes.size(), "");
  EXPECT_EQ(thePinged.GetArea(), kWidth * kHeight);
  Bitmap theBitmap;
  EXPECT_EQ(MagickImageToBitmap(thePinged.GetImage(1), &theBitmap), Bitmap::kBadParameter);
  EXPECT_EQ(MagickImageToBitmap(nullptr, &theBitmap), Bitmap::kBadParameter);
}

TEST(MagickImagePageRect, PlacesFramesOnTheirPage)
{
  MagickReader theReader;
  const Bytes theBytes = ThreeFrameGIF();
  theReader.ReadBlob(theBytes.data(), theBytes.size(), "frames.gif");
  ASSERT_EQ(theReader.GetImageCount(), 3);
  EXPECT_EQ(theReader.GetImage(0), theReader.GetImage(1));
  EXPECT_EQ(theReader.GetImage(4), nullptr);
  const Image* theSecond = theReader.GetImage(2);
  EXPECT_EQ(FormatRect(MagickImagePageRect(theSecond)), "5,5,15,15");
  EXPECT_EQ(FormatRect(MagickImageBounds(theSecond)), "0,0,10,10");
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theSecond, RECT{5, 5, 15, 15})), "0,0,10,10");
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theReader.GetImage(1), RECT{5, 5, 15, 15})), "5,5,15,15");

  // Pixels twice as tall as wide: the page twice as wide.
  MagickImagePtr theTall = MakeImage(10, 4, false);
  theTall->x_resolution = 100;
  theTall->y_resolution = 200;
  EXPECT_EQ(FormatRect(MagickImagePageRect(theTall.get())), "0,0,20,4");
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theTall.get(), RECT{2, 0, 20, 4})), "1,0,10,4");
}

// ---- Writing

// What the writer made of the pattern with these settings.
Bytes Written(const std::function<void(MagickWriter&)>& inSettings)
{
  Bitmap theBitmap;
  EXPECT_EQ(MagickImageToBitmap(MakeImage(kWidth, kHeight, false).get(), &theBitmap), 0);
  MagickWriter theWriter;
  theWriter.SetBitmap(&theBitmap);
  inSettings(theWriter);
  EXPECT_EQ(theWriter.Write(), 0) << ErrorOf(theWriter);
  if (theWriter.IsToFile())
    return Text(tltest::ReadFile(theWriter.GetPath()));
  const auto* theData = static_cast<const BYTE*>(theWriter.GetData());
  return Bytes(theData, theData + theWriter.GetLength());
}

TEST(MagickWriter, MapsQualityResolutionAndFormat)
{
  for (const auto& theCase : std::vector<std::pair<LONG, std::size_t>>{{512, 50}, {1024, 100}, {1100, 100}, {-5, 100}, {0, 1}}) {
    MagickImagePtr theImage = Decode(Written([&](MagickWriter& w) { w.SetType("JPEG"), w.SetQuality(theCase.first); }));
    ASSERT_TRUE(theImage);
    EXPECT_EQ(theImage->quality, theCase.second) << "quality " << theCase.first;
  }
  EXPECT_EQ(Decode(Written([](MagickWriter& w) { w.SetType("MIFF"); }))->depth, 8u);
  // 300 x 0 writes no resolution at all.
  for (LONG theVertical : {0, 300}) {
    MagickImagePtr theImage = Decode(Written([&](MagickWriter& w) { w.SetType("MIFF"), w.SetResolution(300, theVertical); }));
    ASSERT_TRUE(theImage);
    EXPECT_EQ(theImage->x_resolution, theVertical) << "300 x " << theVertical;
    EXPECT_EQ(theImage->y_resolution, theVertical) << "300 x " << theVertical;
  }
  struct Named {
    std::string mPath;
    const char* mType;
    const char* mFormat;
  };
  const std::string theFolder = tltest::MakeTempFolder("written");
  for (const Named& theCase : {Named{theFolder + "/a.png", "GIF", "PNG"}, Named{theFolder + "/a", "GIF", "GIF"},
                               Named{"", "BMP", "BMP"}}) {
    MagickImagePtr theImage = Decode(Written([&](MagickWriter& w) {
      w.SetType(theCase.mType);
      if (!theCase.mPath.empty())
        w.SetPath(theCase.mPath);
    }));
    ASSERT_TRUE(theImage) << theCase.mPath;
    EXPECT_STREQ(theImage->magick, theCase.mFormat) << theCase.mPath << " as " << theCase.mType;
  }
}

TEST(MagickWriter, StoresUnderThePathAsItStands)
{
  const std::string theFolder = tltest::MakeTempFolder("pipe");
  tltest::ChildResult theChild = tltest::RunInChild([&] {
    if (chdir(theFolder.c_str()) != 0)
      return 2;
    const Bytes theBytes = Written([](MagickWriter& w) { w.SetType("PNG"), w.SetPath("|touch x"); });
    return theBytes.size() > 8 && theBytes[1] == 'P' ? 0 : 3;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild));
  std::vector<std::string> theNames;
  for (const auto& theEntry : std::filesystem::directory_iterator(theFolder))
    theNames.push_back(theEntry.path().filename().string());
  EXPECT_EQ(theNames, std::vector<std::string>{"|touch x"});
}

// ---- Texts

TEST(MagickCodec, WordsItsErrors)
{
  MagickReader theReader;
  theReader.ReadBlob(nullptr, 0, "none");
  EXPECT_EQ(ErrorOf(theReader), "No image data provided");
  theReader.Dispose();
  // Plain text, also under an image's name, and ImageMagick's own text format.
  for (const auto& [theName, theText] : std::vector<std::pair<const char*, const char*>>{
         {"notes.txt", "hello text\n"}, {"photo.jpg", "hello text\n"},
         {"pixels.txt", "# ImageMagick pixel enumeration: 1,1,255,srgb\n0,0: (255,0,0)  #FF0000  red\n"}}) {
    theReader.ReadFile(WriteTemp(theName, Text(theText)).c_str(), nullptr);
    EXPECT_EQ(ErrorOf(theReader), "Unable to detect image type") << theName;
    theReader.Dispose();
    EXPECT_EQ(ErrorOf(theReader), "(none)");
  }

  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(4, 4, 32, nullptr), 0);
  for (const char* theType : {"NOSUCHFORMAT", "XC", ""}) {
    MagickWriter theWriter;
    theWriter.SetBitmap(&theBitmap);
    theWriter.SetType(theType);
    EXPECT_EQ(theWriter.Write(), DelegateError) << theType;
    EXPECT_EQ(ErrorOf(theWriter), "No image encoder available") << theType;
  }

  MagickFormatList theList;
  std::vector<std::string> theEntries(static_cast<std::size_t>(theList.GetCount()) + 2);
  for (LONG i = -1; i <= theList.GetCount(); ++i)
    theList.GetDescription(i, theEntries[static_cast<std::size_t>(i + 1)]);
  EXPECT_EQ(theEntries.front(), theEntries[1]);
  EXPECT_EQ(theEntries.back(), "");
  EXPECT_NE(std::find(theEntries.begin(), theEntries.end(), "PNG - Portable Network Graphics"), theEntries.end());
}

TEST(MagickCodec, ReportsWhatImageMagickCatchesToTheEventLog)
{
  StartMagick();
  const auto theCatch = [](ExceptionType inSeverity, const std::string& inReason) {
    MagickExceptionPtr theException(AcquireExceptionInfo());
    ThrowException(theException.get(), inSeverity, inReason.c_str(), nullptr);
    CatchException(theException.get());
  };
  tltest::EventWatcher theWatcher;
  theCatch(CorruptImageError, "bad file");
  theCatch(CoderWarning, "odd file");
  theCatch(CoderError, std::string(128, 'r'));
  const std::vector<tltest::Event> theEvents = theWatcher.NewEvents();
  ASSERT_EQ(theEvents.size(), 3u);
  EXPECT_EQ(theEvents[0].mType + ": " + theEvents[0].mText, "Error: ImageMagick Exception Error - bad file");
  EXPECT_EQ(theEvents[1].mType + ": " + theEvents[1].mText, "Warning: ImageMagick Exception Warning - odd file");
  EXPECT_EQ(theEvents[2].mText, "ImageMagick Undefined Error");

  tltest::ChildResult theChild = tltest::RunInChild([&] {
    if (SetPrefLong("AutoRecover", 0) != 0)
      return 3;
    theCatch(CorruptImageError, "the end");
    return 0;
  });
  EXPECT_TRUE(theChild.mExited && theChild.mStatus == 1);
}

// ---- Hostile input

// A TCP port on the loopback that tells whether anyone connected.
class Listener {
public:
  Listener() : mSocket(socket(AF_INET, SOCK_STREAM, 0))
  {
    sockaddr_in theAddress{};
    theAddress.sin_family = AF_INET;
    theAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t theSize = sizeof theAddress;
    EXPECT_EQ(bind(mSocket, reinterpret_cast<sockaddr*>(&theAddress), theSize), 0);
    EXPECT_EQ(listen(mSocket, 8), 0);
    getsockname(mSocket, reinterpret_cast<sockaddr*>(&theAddress), &theSize);
    mURL = "http://127.0.0.1:" + std::to_string(ntohs(theAddress.sin_port)) + "/x.png";
  }
  ~Listener() { close(mSocket); }
  std::string mURL;
  bool Knocked() const
  {
    pollfd thePoll{mSocket, POLLIN, 0};
    return poll(&thePoll, 1, 0) > 0;
  }

private:
  int mSocket;
};

// ---- PNG streams built by hand

void PutWord(Bytes& ioBytes, DWORD inValue)
{
  for (int theShift = 24; theShift >= 0; theShift -= 8)
    ioBytes.push_back(static_cast<BYTE>(inValue >> theShift));
}

// A chunk: length, type, data and the CRC of type and data.
Bytes PNGChunk(const char* inType, const Bytes& inData)
{
  Bytes theChunk;
  PutWord(theChunk, static_cast<DWORD>(inData.size()));
  theChunk.insert(theChunk.end(), inType, inType + 4);
  theChunk.insert(theChunk.end(), inData.begin(), inData.end());
  DWORD theCRC = 0xFFFFFFFF;
  for (std::size_t i = 4; i < theChunk.size(); ++i)
    for (int theBit = 0; theBit < 8; ++theBit)
      theCRC = (theCRC >> 1) ^ (0xEDB88320 & (0 - ((theCRC ^ (theChunk[i] >> theBit)) & 1)));
  PutWord(theChunk, ~theCRC);
  return theChunk;
}

// The signature, then the chunks.
Bytes PNGStream(std::initializer_list<Bytes> inChunks)
{
  Bytes theStream = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Bytes& theChunk : inChunks)
    theStream.insert(theStream.end(), theChunk.begin(), theChunk.end());
  return theStream;
}

// A header chunk of an 8-bit RGB picture of inWidth x inHeight.
Bytes PNGHeader(DWORD inWidth, DWORD inHeight)
{
  Bytes theHeader;
  PutWord(theHeader, inWidth);
  PutWord(theHeader, inHeight);
  theHeader.insert(theHeader.end(), {8, 2, 0, 0, 0});
  return PNGChunk("IHDR", theHeader);
}

// A zlib stream of one stored block: inBytes as they are.
Bytes StoredZlib(const Bytes& inBytes)
{
  Bytes theStream = {0x78, 0x01, 0x01, static_cast<BYTE>(inBytes.size()), static_cast<BYTE>(inBytes.size() >> 8),
                     static_cast<BYTE>(~inBytes.size()), static_cast<BYTE>(~inBytes.size() >> 8)};
  theStream.insert(theStream.end(), inBytes.begin(), inBytes.end());
  DWORD theA = 1;
  DWORD theB = 0;
  for (BYTE theByte : inBytes) {
    theA = (theA + theByte) % 65521;
    theB = (theB + theA) % 65521;
  }
  PutWord(theStream, theB << 16 | theA);
  return theStream;
}

// A zlib stream of inCount blanks.
Bytes DeflatedBlanks(std::size_t inCount)
{
  const Bytes theBlanks(inCount, ' ');
  uLongf theLength = compressBound(theBlanks.size());
  Bytes theDeflated(theLength);
  EXPECT_EQ(compress2(theDeflated.data(), &theLength, theBlanks.data(), theBlanks.size(), 9), Z_OK);
  theDeflated.resize(theLength);
  return theDeflated;
}

// 83 bytes: a red pixel, then a text chunk whose length claims 2,000,000,000
// bytes of which 15 follow (libpng took the claim for an allocation).
Bytes ClaimingPNG()
{
  Bytes theClaim;
  PutWord(theClaim, 2000000000);
  theClaim.insert(theClaim.end(), {'t', 'E', 'X', 't', 'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x', 'x', 'x', 'x', 'x', 'x', 'x'});
  return PNGStream({PNGHeader(1, 1), PNGChunk("IDAT", StoredZlib({0, 255, 0, 0})), theClaim});
}

TEST(MagickReader, RefusesHostileInputQuicklyAndOffline)
{
  StartMagick();
  Listener theListener;
  const std::string& theURL = theListener.mURL;
  const std::string theOutput = tltest::TestHome() + "/msl-output.png";
  const std::vector<std::pair<const char*, std::string>> theCases = {
    {"SVG", "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"10\" height=\"10\">"
            "<image xlink:href=\"" + theURL + "\" width=\"10\" height=\"10\"/></svg>\n"},
    {"MVG", "push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 10,10 '" + theURL + "'\npop graphic-context\n"},
    {"MSL", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<image>\n<read filename=\"" + theURL + "\"/>\n<write filename=\"" +
              theOutput + "\"/>\n</image>\n"},
    {"PostScript", "%!PS-Adobe-3.0\n/Times findfont 12 scalefont setfont 10 10 moveto (x) show showpage\n"},
    {"PDF", "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n"},
  };
  std::vector<std::pair<const char*, Bytes>> theInputs = {{"PNG of 100000 x 100000", PNGStream({PNGHeader(100000, 100000)})}};
  for (const auto& [theName, theText] : theCases)
    theInputs.emplace_back(theName, Text(theText));
  for (const auto& [theName, theBytes] : theInputs) {
    for (bool thePing : {true, false}) {
      MagickReader theReader;
      theReader.SetPing(thePing);
      const auto theStart = std::chrono::steady_clock::now();
      theReader.ReadBlob(theBytes.data(), theBytes.size(), theName);
      EXPECT_LT(std::chrono::steady_clock::now() - theStart, kRefusalBound) << theName;
      EXPECT_NE(theReader.GetError(), nullptr) << theName;
      EXPECT_EQ(theReader.GetImageCount(), 0) << theName;
    }
  }
  EXPECT_FALSE(theListener.Knocked());
  EXPECT_FALSE(std::filesystem::exists(theOutput));
}

TEST(MagickReader, SurvivesEveryCutOfEveryFormat)
{
  StartMagick();
  for (const auto& [theName, theBytes] : std::vector<std::pair<const char*, Bytes>>{
         {"PNG", Pattern("PNG", true)}, {"GIF", ThreeFrameGIF()}, {"TIFF", ThreePageTIFF()}, {"BMP", Pattern("BMP")},
         {"PSD", Pattern("PSD")}, {"JPEG", Grey("JPEG")}}) {
    for (std::size_t theCut = 1; theCut < theBytes.size(); theCut += 1 + theCut / 8) {
      SCOPED_TRACE(std::string(theName) + " cut at " + std::to_string(theCut));
      // Each cut in a buffer of its own size: a read past it shows under the sanitizers.
      MagickReader theReader;
      const auto theStart = std::chrono::steady_clock::now();
      theReader.ReadBlob(Bytes(theBytes.begin(), theBytes.begin() + static_cast<std::ptrdiff_t>(theCut)).data(), theCut,
                         theName);
      EXPECT_LT(std::chrono::steady_clock::now() - theStart, kRefusalBound);
      Bitmap theBitmap;
      EXPECT_TRUE(theReader.GetError() || MagickImageToBitmap(theReader.GetImage(1), &theBitmap) == 0);
    }
  }
}

TEST(MagickReader, AWarningDoesNotFailWhatDecoded)
{
  // The TIFF's directory moved to its end with one more entry, of a tag that
  // libtiff does not know and warns about.
  Bytes theTIFF = Pattern("TIFF");
  ASSERT_EQ(theTIFF[0], 'I');
  const auto theWord = [&theTIFF](std::size_t inAt) { return DWORD{theTIFF[inAt]} | DWORD{theTIFF[inAt + 1]} << 8; };
  const DWORD theDirectory = theWord(4) | theWord(6) << 16;
  const DWORD theCount = theWord(theDirectory);
  Bytes theMoved = {static_cast<BYTE>(theCount + 1), 0};
  for (DWORD i = 0; i < 12 * theCount; ++i)
    theMoved.push_back(theTIFF[theDirectory + 2 + i]);
  for (BYTE theByte : {0xE8, 0xFD, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0})
    theMoved.push_back(theByte);
  for (std::size_t i = 0; i < 4; ++i)
    theTIFF[4 + i] = static_cast<BYTE>(theTIFF.size() >> (8 * i));
  theTIFF.insert(theTIFF.end(), theMoved.begin(), theMoved.end());

  MagickReader theReader;
  theReader.ReadBlob(theTIFF.data(), theTIFF.size(), "tagged.tif");
  EXPECT_EQ(ErrorOf(theReader), "(none)");
  Bitmap theBitmap;
  EXPECT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap), 0);
  ExpectPattern(theBitmap, false);
}

TEST(MagickPolicy, RefusesTheHostileCodersAndBoundsResources)
{
  StartMagick();
  for (const char* theCoder : {"URL", "HTTP", "HTTPS", "FTP", "X", "MSL", "MVG", "SVG", "MSVG", "TEXT", "TXT", "LABEL",
                               "PS", "PS2", "PS3", "EPS", "EPSF", "EPSI", "EPI", "EPT", "PDF", "PDFA", "AI", "XPS"}) {
    EXPECT_FALSE(IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, theCoder)) << theCoder;
    EXPECT_FALSE(IsRightsAuthorized(CoderPolicyDomain, WritePolicyRights, theCoder)) << theCoder;
  }
  EXPECT_TRUE(IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, "PNG"));
  for (const char* theDelegate : {"gs", "ps:alpha", "https", "ffmpeg"})
    EXPECT_FALSE(IsRightsAuthorized(DelegatePolicyDomain, ExecutePolicyRights, theDelegate)) << theDelegate;
  EXPECT_FALSE(IsRightsAuthorized(PathPolicyDomain, ReadPolicyRights, "@/etc/passwd"));
  EXPECT_EQ(GetMagickResourceLimit(WidthResource), 16000u);
  EXPECT_EQ(GetMagickResourceLimit(HeightResource), 16000u);
  EXPECT_EQ(GetMagickResourceLimit(AreaResource), 128000000u);
  EXPECT_EQ(GetMagickResourceLimit(MemoryResource), 256u << 20);
  EXPECT_EQ(GetMagickResourceLimit(MapResource), 512u << 20);
  EXPECT_EQ(GetMagickResourceLimit(DiskResource), 1u << 30);
}

// The test runs itself again from a copy of this program that has no policy
// beside it: there the codec refuses everything.
TEST(MagickPolicy, RefusesEverythingWithoutThePolicy)
{
  if (const char* theCopy = std::getenv("TL_MAGICK_NO_POLICY")) {
    tltest::EventWatcher theWatcher;
    MagickReader theReader;
    const Bytes theBytes = Pattern("PNG");
    theReader.ReadBlob(theBytes.data(), theBytes.size(), "");
    EXPECT_EQ(ErrorOf(theReader), "ImageMagick security policy not in force");
    Bitmap theBitmap;
    ASSERT_EQ(theBitmap.Create(4, 4, 32, nullptr), 0);
    MagickWriter theWriter;
    theWriter.SetBitmap(&theBitmap);
    theWriter.SetType("PNG");
    EXPECT_EQ(theWriter.Write(), PolicyError);
    const std::vector<std::string> theTexts = theWatcher.NewTexts();
    const std::string theFolder = std::filesystem::path(theCopy).parent_path().string();
    EXPECT_NE(std::find(theTexts.begin(), theTexts.end(),
                        "ImageMagick security policy not in force: no policy.xml in \"" + theFolder + "/../resources/\""),
              theTexts.end())
      << ::testing::PrintToString(theTexts);
    return;
  }
  const std::string theCopy = tltest::MakeTempFolder("nopolicy") + "/magick_tests";
  std::filesystem::copy_file("/proc/self/exe", theCopy);
  EXPECT_EQ(std::system(("TL_MAGICK_NO_POLICY='" + theCopy + "' '" + theCopy +
                         "' --gtest_filter=MagickPolicy.RefusesEverythingWithoutThePolicy >/dev/null 2>&1")
                          .c_str()),
            0);
}

TEST(MagickReader, RefusesAChunkThatClaimsMoreThanTheDataAtOnce)
{
  StartMagick();
  const Bytes thePNG = ClaimingPNG();
  ASSERT_EQ(thePNG.size(), 83u);
  // A text chunk of 80 MB of blanks, deflated to some 80 KB.
  Bytes theText = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
  const Bytes theDeflated = DeflatedBlanks(80000000);
  theText.insert(theText.end(), theDeflated.begin(), theDeflated.end());
  const Bytes theInflating = PNGStream({PNGHeader(1, 1), PNGChunk("IDAT", StoredZlib({0, 255, 0, 0})),
                                        PNGChunk("zTXt", theText), PNGChunk("IEND", {})});

  const std::string theClaim = "Corrupt PNG image: chunk \"tEXt\" claims 2000000000 bytes, 15 remain";
  for (const auto& [theName, theBytes, theError] : std::vector<std::tuple<const char*, Bytes, std::string>>{
         {"PNG", thePNG, theClaim},
         {"inflating PNG", theInflating, "Corrupt PNG image: chunk \"zTXt\" inflates to more than 8000000 bytes"}}) {
    for (bool thePing : {true, false}) {
      SCOPED_TRACE(std::string(theName) + (thePing ? ", ping" : ", full"));
      // In a child, whose peak resident size starts at what it shares.
      const tltest::ChildResult theChild = tltest::RunInChild([&] {
        const long theBefore = PeakResidentKiB();
        MagickReader theReader;
        theReader.SetPing(thePing);
        const auto theStart = std::chrono::steady_clock::now();
        theReader.ReadBlob(theBytes.data(), theBytes.size(), theName);
        if (std::chrono::steady_clock::now() - theStart > kRefusalBound)
          return 2;
        if (ErrorOf(theReader) != theError || theReader.GetImageCount() != 0)
          return 3;
        return PeakResidentKiB() - theBefore < 64 * 1024 ? 0 : 4;
      });
      EXPECT_TRUE(tltest::Succeeded(theChild)) << "2: slow, 3: another error, 4: 64 MiB or more";
    }
  }
  MagickReader theReader;
  theReader.ReadBlob(theInflating.data(), theInflating.size() - 40000, "cut");
  EXPECT_EQ(ErrorOf(theReader).rfind("Corrupt PNG image: chunk \"zTXt\" claims ", 0), 0u) << ErrorOf(theReader);
}

// "Unable to detect image type" only when no format knows the bytes; the
// reason of what went wrong otherwise, and the size a header declares.
TEST(MagickReader, BlamesTheCauseOfAFailure)
{
  StartMagick();
  const Bytes theHuge =
    PNGStream({PNGHeader(100000, 100000), PNGChunk("IDAT", StoredZlib(Bytes(60000, 0))), PNGChunk("IEND", {})});
  Bytes theCut = Pattern("PNG");
  theCut.resize(theCut.size() - 20);
  Bytes theBadCRC = Pattern("PNG");
  theBadCRC[29] ^= 1;
  const Bytes theBMP = WithResolution("BMP", PixelsPerInchResolution, 72);
  Bytes theHugeBMP = theBMP;
  for (std::size_t theField : {18, 22})
    for (std::size_t i = 0; i < 4; ++i)
      theHugeBMP[theField + i] = static_cast<BYTE>(100000 >> (8 * i));
  const struct {
    const char* mName;
    Bytes mBytes;
    std::string mError;
    LONGLONG mDeclared;
  } kCases[] = {
    {"PNG of 100000 x 100000", theHuge, "width or height exceeds limit", 10000000000},
    {"PNG of 4294967295 x 4294967295", PNGStream({PNGHeader(0xFFFFFFFF, 0xFFFFFFFF)}), "width or height exceeds limit",
     INT64_MAX},
    {"PNG cut short", theCut, "Corrupt PNG image: chunk \"IDAT\" claims ", kWidth * kHeight},
    {"PNG with a bad checksum", theBadCRC, "Unable to decode PNG image", kWidth * kHeight},
    {"BMP of 100000 x 100000", theHugeBMP, "width or height exceeds limit", 0},
    {"no format's bytes", Text("\x01\x02\x03\x04 nothing an image starts with"), "Unable to detect image type", 0},
  };
  for (const auto& theCase : kCases) {
    for (bool thePing : {true, false}) {
      SCOPED_TRACE(std::string(theCase.mName) + (thePing ? ", ping" : ", full"));
      MagickReader theReader;
      theReader.SetPing(thePing);
      theReader.ReadBlob(theCase.mBytes.data(), theCase.mBytes.size(), theCase.mName);
      EXPECT_EQ(ErrorOf(theReader).substr(0, theCase.mError.size()), theCase.mError);
      EXPECT_EQ(theReader.GetImageCount(), 0);
      EXPECT_EQ(theReader.GetDeclaredArea(), theCase.mDeclared);
    }
  }
  MagickReader theReader;
  const Bytes thePNG = Pattern("PNG");
  theReader.ReadBlob(thePNG.data(), thePNG.size(), "");
  EXPECT_EQ(theReader.GetDeclaredArea(), kWidth * kHeight);
  theReader.Dispose();
  EXPECT_EQ(theReader.GetDeclaredArea(), 0);
}

// ---- The coders the policy allows

std::string Lower(std::string inText)
{
  std::transform(inText.begin(), inText.end(), inText.begin(), [](unsigned char c) { return std::tolower(c); });
  return inText;
}

// Every format ImageMagick knows, and the file of the module that holds its
// coder ("png.so"), as ImageMagick's own command lists them.
std::map<std::string, std::string> EveryCoder()
{
  std::map<std::string, std::string> theCoders;
  std::istringstream theList(tltest::RunConvert({"-list", "format"}).mOut);
  const std::regex theEntry(R"(^\s*([A-Z0-9-]+)\*?\s+([A-Z0-9]+)\s+[r-][w-][+-]\s)");
  std::smatch theMatch;
  for (std::string theLine; std::getline(theList, theLine);)
    if (std::regex_search(theLine, theMatch, theEntry))
      theCoders[theMatch[1]] = Lower(theMatch[2]) + ".so";
  return theCoders;
}

// The names of the formats the codec lists.
std::vector<std::string> ListedNames()
{
  MagickFormatList theList;
  std::vector<std::string> theNames;
  for (LONG i = 0; i < theList.GetCount(); ++i) {
    std::string theEntry;
    theList.GetDescription(i, theEntry);
    theNames.push_back(theEntry.substr(0, theEntry.find(" - ")));
  }
  return theNames;
}

bool IsListed(const std::vector<std::string>& inNames, const std::string& inName)
{
  return std::find(inNames.begin(), inNames.end(), inName) != inNames.end();
}

// The modules of the listed formats' coders.
std::set<std::string> ListedModules(const std::map<std::string, std::string>& inCoders)
{
  std::set<std::string> theModules;
  const std::vector<std::string> theListed = ListedNames();
  for (const auto& [theName, theModule] : inCoders)
    if (IsListed(theListed, theName))
      theModules.insert(theModule);
  return theModules;
}

TEST(MagickPolicy, EveryListedCoderWritesAndReadsBackInAChildOfItsOwn)
{
  StartMagick();
  const std::vector<std::string> theListed = ListedNames();
  for (const char* theRaster : {"BMP", "GIF", "ICO", "JPEG", "PCX", "PNG", "PPM", "PSD", "TGA", "TIFF", "WEBP", "XBM", "XPM"})
    EXPECT_TRUE(IsListed(theListed, theRaster)) << theRaster;
  for (const std::string& theName : theListed) {
    EXPECT_TRUE(IsRightsAuthorized(CoderPolicyDomain, static_cast<PolicyRights>(ReadPolicyRights | WritePolicyRights),
                                   theName.c_str()))
      << theName;
    const tltest::ChildResult theChild = tltest::RunInChild([&] {
      Bitmap theBitmap;
      if (MagickImageToBitmap(MakeImage(kWidth, kHeight, false).get(), &theBitmap) != 0)
        return 2;
      MagickWriter theWriter;
      theWriter.SetBitmap(&theBitmap);
      theWriter.SetType(Lower(theName));
      if (theWriter.Write() != 0)
        return 3;
      const auto* theData = static_cast<const BYTE*>(theWriter.GetData());
      MagickImagePtr theBack = Decode(Bytes(theData, theData + theWriter.GetLength()), theName.c_str());
      return theBack && theBack->columns == kWidth && theBack->rows == kHeight ? 0 : 4;
    });
    EXPECT_TRUE(tltest::Succeeded(theChild)) << theName << " (2: no bitmap, 3: not written, 4: not read back)";
  }
}

TEST(MagickPolicy, RefusesEveryOtherCoderWithoutLoadingIt)
{
  StartMagick();
  const std::map<std::string, std::string> theCoders = EveryCoder();
  ASSERT_GT(theCoders.size(), 150u) << "ImageMagick's command lists its formats";
  const std::vector<std::string> theListed = ListedNames();
  // HTML's writer frees twice, Debian's MAT coder misses a symbol.
  for (const char* theCrasher : {"HTML", "HTM", "MAT"})
    EXPECT_FALSE(IsListed(theListed, theCrasher)) << theCrasher;
  EXPECT_GT(theCoders.size(), theListed.size() + 150);
  const std::set<std::string> theModules = ListedModules(theCoders);
  const std::string theFolder = tltest::MakeTempFolder("refused");
  // In one child, which notes the name it tries (the name that crashed it).
  const std::string theNote = tltest::MakeTempFolder("trying") + "/name";
  const tltest::ChildResult theChild = tltest::RunInChild([&] {
    Bitmap theBitmap;
    if (theBitmap.Create(4, 4, 32, nullptr) != 0)
      return 2;
    for (const auto& [theName, theModule] : theCoders) {
      if (IsListed(theListed, theName))
        continue;
      std::ofstream(theNote) << theName;
      // As a type (GetAs) and as a file's extension (SaveAs), in capitals and not.
      for (const std::string& thePath : {std::string(), theFolder + "/out." + Lower(theName)})
        for (const std::string& theType : {theName, Lower(theName)}) {
          MagickWriter theWriter;
          theWriter.SetBitmap(&theBitmap);
          theWriter.SetType(theType);
          if (!thePath.empty())
            theWriter.SetPath(thePath);
          if (theWriter.Write() != DelegateError || ErrorOf(theWriter) != "No image encoder available")
            return 3;
        }
      if (!theModules.count(theModule) && tltest::IsLibraryLoaded(theModule.c_str()))
        return 4;
    }
    return 0;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild)) << tltest::ReadFile(theNote) << " (3: not refused, 4: its coder loaded)";
  EXPECT_TRUE(std::filesystem::is_empty(theFolder));
}

// Files of formats the codec does not list, made by ImageMagick's own
// command (MAT by hand, since Debian's coder cannot write it).
TEST(MagickReader, RefusesFilesOfOtherCodersWithoutLoadingThem)
{
  StartMagick();
  const std::map<std::string, std::string> theCoders = EveryCoder();
  const std::set<std::string> theModules = ListedModules(theCoders);
  const std::string theFolder = tltest::MakeTempFolder("others");
  std::string theMAT = "MATLAB 5.0 MAT-file, Platform: GLNXA64, Created on: Mon Jan  1 00:00:00 2024";
  theMAT.resize(116, ' ');
  theMAT += std::string(8, '\0') + std::string("\x00\x01IM", 4) + std::string(64, '\0');
  std::ofstream(theFolder + "/picture.mat", std::ios::binary) << theMAT;
  for (const char* theFormat : {"MAT", "FITS", "DPX", "XWD", "VIFF", "HDR", "JP2", "CIN", "VICAR", "EXR", "SGI", "PICT", "HTML"}) {
    const std::string thePath = theFolder + "/picture." + Lower(theFormat);
    if (!std::filesystem::exists(thePath)) {
      ASSERT_EQ(tltest::RunConvert({"-size", "6x4", "gradient:red-blue", thePath}).mStatus, 0) << theFormat;
    }
    ASSERT_TRUE(theCoders.count(theFormat)) << theFormat;
    const std::string& theModule = theCoders.at(theFormat);
    ASSERT_FALSE(theModules.count(theModule)) << theFormat;
    const tltest::ChildResult theChild = tltest::RunInChild([&] {
      MagickReader theReader;
      theReader.ReadFile(thePath.c_str(), nullptr);
      if (!theReader.GetError() || theReader.GetImageCount() != 0)
        return 2;
      return tltest::IsLibraryLoaded(theModule.c_str()) ? 3 : 0;
    });
    EXPECT_TRUE(tltest::Succeeded(theChild)) << theFormat << " (2: read, 3: its coder loaded)";
  }
}

// ---- CMYK

// R, G, B of every pixel of the first image, as ImageMagick's command makes
// them of the inks: from the embedded profile, else from the built-in one, to
// the built-in sRGB.
Bytes ConvertedToRGB(const profiletest::ProfileFiles& inProfiles, const std::string& inPath, bool inEmbedded)
{
  std::vector<std::string> theArguments = {inPath + "[0]"};
  if (!inEmbedded)
    theArguments.insert(theArguments.end(), {"-profile", inProfiles.mCMYK});
  theArguments.insert(theArguments.end(), {"-profile", inProfiles.mRGB, "-depth", "8", "rgb:" + inPath + ".rgb"});
  EXPECT_EQ(tltest::RunConvert(theArguments).mStatus, 0) << inPath;
  return Text(tltest::ReadFile(inPath + ".rgb"));
}

// R, G, B, 0 of every pixel as the JPEG library's road makes them of the
// inks that ImageMagick reads (it maps paper white to white, where
// ImageMagick's command gives the built-in profile's paper a tint).
Bytes InksThroughTheJPEGRoad(const Image* inImage)
{
  Bytes thePixels(std::size_t{4} * inImage->columns * inImage->rows);
  MagickExceptionPtr theException(AcquireExceptionInfo());
  EXPECT_TRUE(ExportImagePixels(inImage, 0, 0, inImage->columns, inImage->rows, "CMYK", CharPixel, thePixels.data(),
                                theException.get()));
  const StringInfo* theProfile = GetImageProfile(inImage, "icc");
  const LONG theWidth = static_cast<LONG>(inImage->columns);
  ConvertCMYKToRGB(thePixels.data(), theWidth, static_cast<LONG>(inImage->rows), 4 * theWidth,
                   theProfile ? GetStringInfoDatum(theProfile) : nullptr,
                   theProfile ? static_cast<DWORD>(GetStringInfoLength(theProfile)) : 0);
  return thePixels;
}

TEST(MagickImageToBitmap, TurnsCMYKIntoRGBThroughTheEmbeddedOrBuiltInProfile)
{
  StartMagick();
  const profiletest::ProfileFiles theProfiles;
  for (const char* theFormat : {"tif", "psd", "jpg"}) {
    for (bool theEmbedded : {false, true}) {
      const std::string thePath = theProfiles.mFolder + "/quadrants" + (theEmbedded ? "-embedded." : ".") + theFormat;
      profiletest::MakeCMYKQuadrants(theProfiles, thePath, theEmbedded);
      const Bytes theConverted = ConvertedToRGB(theProfiles, thePath, theEmbedded);
      ASSERT_EQ(theConverted.size(), 64u * 48 * 3) << thePath;
      MagickReader theReader;
      theReader.ReadFile(thePath.c_str(), nullptr);
      ASSERT_EQ(ErrorOf(theReader), "(none)") << thePath;
      const Image* theImage = theReader.GetImage(1);
      ASSERT_EQ(theImage->colorspace, CMYKColorspace) << thePath;
      ASSERT_EQ(GetImageProfile(theImage, "icc") != nullptr, theEmbedded) << thePath;
      const Bytes theRoad = InksThroughTheJPEGRoad(theImage);
      for (LONG theLayout : {LONG{32}, kTL32RGBAPixelFormat}) {
        SCOPED_TRACE(thePath + (theLayout == 32 ? " as B, G, R, A" : " as R, G, B, A"));
        Bitmap theBitmap;
        ASSERT_EQ(MagickImageToBitmap(theImage, &theBitmap, theLayout), 0);
        int theWorst = 0;
        for (LONG y = 0; y < 48; ++y)
          for (LONG x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
              theWorst = std::max(theWorst, std::abs(BitmapPixel(theBitmap, x, y)[c] - theRoad[(y * 64 + x) * 4 + c]));
        EXPECT_LE(theWorst, 3) << "from the JPEG library's road";
        for (POINT theCentre : {POINT{16, 12}, POINT{48, 12}, POINT{16, 36}}) {
          const Pixel theGot = BitmapPixel(theBitmap, theCentre.x, theCentre.y);
          for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(theGot[c], theConverted[(theCentre.y * 64 + theCentre.x) * 3 + c], 3)
              << "from ImageMagick's command at " << theCentre.x << "," << theCentre.y << " channel " << c;
        }
        const Pixel theWhite = BitmapPixel(theBitmap, 48, 36);
        EXPECT_GE(std::min({theWhite[0], theWhite[1], theWhite[2]}), 250) << "paper white";
      }
    }
  }
}

}  // namespace
