// The ImageMagick codec against files that MagickCore itself writes: every
// format's description, pixels on both Bitmap layouts and back, the writer's
// options, the texts, and hostile input under the project's policy.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/MappedFileSource.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "tests/core/EventWatcher.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;
using Pixel = std::array<int, 4>;  // red, green, blue, alpha

constexpr LONG kWidth = 6;
constexpr LONG kHeight = 4;

// Every pixel different, no channel symmetric: a swap, flip or mirror shows.
Pixel PatternPixel(LONG x, LONG y)
{
  return {30 + 40 * x, 20 + 50 * y, 230 - 35 * x - 10 * y, 255 - 20 * y};
}

// ---- Fixtures written by MagickCore

// Starts ImageMagick the codec's way (with the project's policy) for the
// fixtures' own calls. Listing the formats also loads every coder, which
// ImageMagick otherwise does the first time it meets bytes it cannot tell:
// timed reads start after it.
void StartMagick()
{
  MagickFormatList theStart;
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

// The list (one file of several images where the format allows) as bytes.
Bytes Encode(Image* inImages, const char* inFormat)
{
  MagickExceptionPtr theException(AcquireExceptionInfo());
  std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>> theInfo(CloneImageInfo(nullptr));
  std::strcpy(theInfo->magick, inFormat);
  std::size_t theLength = 0;
  unsigned char* theBlob = ImagesToBlob(theInfo.get(), inImages, &theLength, theException.get());
  EXPECT_TRUE(theBlob) << inFormat << ": " << (theException->reason ? theException->reason : "");
  Bytes theBytes(theBlob, theBlob + theLength);
  RelinquishMagickMemory(theBlob);
  return theBytes;
}

MagickImagePtr Decode(const Bytes& inBytes)
{
  MagickExceptionPtr theException(AcquireExceptionInfo());
  std::unique_ptr<ImageInfo, MagickRelease<DestroyImageInfo>> theInfo(CloneImageInfo(nullptr));
  return MagickImagePtr(BlobToImage(theInfo.get(), inBytes.data(), inBytes.size(), theException.get()));
}

void Append(MagickImagePtr& ioList, MagickImagePtr inImage)
{
  Image* theFirst = ioList.release();
  AppendImageToList(&theFirst, inImage.release());
  ioList.reset(theFirst);
}

// Three 10 x 10 frames on a 20 x 20 page, at (0, 0), (5, 5) and (10, 10).
Bytes ThreeFrameGIF()
{
  MagickImagePtr theList;
  for (LONG i = 0; i < 3; ++i) {
    MagickImagePtr theFrame = MakeImage(10, 10, false, [i](LONG, LONG) { return Pixel{80 * i, 255 - 80 * i, 40, 255}; });
    theFrame->page = RectangleInfo{20, 20, 5 * i, 5 * i};
    Append(theList, std::move(theFrame));
  }
  return Encode(theList.get(), "GIF");
}

Bytes ThreePageTIFF()
{
  MagickImagePtr theList = MakeImage(kWidth, kHeight, false);
  Append(theList, MakeImage(3, 2, false));
  Append(theList, MakeImage(2, 5, false));
  return Encode(theList.get(), "TIFF");
}

Bytes WithResolution(const char* inFormat, ResolutionType inUnits, double inResolution)
{
  MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
  theImage->units = inUnits;
  theImage->x_resolution = theImage->y_resolution = inResolution;
  return Encode(theImage.get(), inFormat);
}

Bytes Grey(const char* inFormat)
{
  MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
  TransformImageColorspace(theImage.get(), GRAYColorspace);
  return Encode(theImage.get(), inFormat);
}

// 200 colours, written with a palette.
Bytes PalettePNG()
{
  MagickImagePtr theImage = MakeImage(200, 1, false, [](LONG x, LONG) { return Pixel{x, 255 - x, x / 2, 255}; });
  return Encode(theImage.get(), "PNG8");
}

std::string WriteTemp(const std::string& inName, const Bytes& inBytes)
{
  const std::string thePath = tltest::MakeTempFolder("magick") + "/" + inName;
  std::ofstream(thePath, std::ios::binary).write(reinterpret_cast<const char*>(inBytes.data()),
                                                 static_cast<std::streamsize>(inBytes.size()));
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

struct Described {
  const char* mName;
  std::function<Bytes()> mMake;
  const char* mFormat;
  std::vector<ImageInfoRecord> mRecords;
};

ImageInfoRecord Record(LONG inDepth, LONG inResolution, RECT inRect, LONG inSpace = 1, LONG inProfile = 0)
{
  return {inDepth, inResolution, inRect.left, inRect.top, inRect.right, inRect.bottom, inSpace, inProfile};
}

const RECT kPattern{0, 0, kWidth, kHeight};

TEST(MagickInfoReader, DescribesEveryFormatFromMemoryAndFiles)
{
  const std::vector<Described> theCases = {
    {"PNG with alpha", [] { return Encode(MakeImage(kWidth, kHeight, true).get(), "PNG"); }, "PNG",
     {Record(32, 72, kPattern)}},
    {"palette PNG", PalettePNG, "PNG", {Record(8, 72, {0, 0, 200, 1})}},
    {"GIF frames", ThreeFrameGIF, "GIF",
     {Record(1, 72, {0, 0, 10, 10}), Record(1, 72, {5, 5, 15, 15}), Record(1, 72, {10, 10, 20, 20})}},
    {"TIFF pages", ThreePageTIFF, "TIFF",
     {Record(24, 72, kPattern), Record(24, 72, {0, 0, 3, 2}), Record(24, 72, {0, 0, 2, 5})}},
    {"BMP at 39.2 px/cm", [] { return WithResolution("BMP", PixelsPerCentimeterResolution, 39.2); }, "BMP",
     {Record(24, 100, kPattern)}},
    {"grey JPEG", [] { return Grey("JPEG"); }, "JPEG", {Record(32, 72, kPattern, 2)}},
    {"JPEG", [] { return Encode(MakeImage(kWidth, kHeight, false).get(), "JPEG"); }, "JPEG",
     {Record(32, 72, kPattern)}},
    {"PNG at 28.35 px/cm", [] { return WithResolution("PNG", PixelsPerCentimeterResolution, 28.35); }, "PNG",
     {Record(5, 72, kPattern)}},
    {"PSD at 300 dpi", [] { return WithResolution("PSD", PixelsPerInchResolution, 300); }, "PSD",
     {Record(24, 300, kPattern), Record(24, 300, kPattern)}},
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
        // Photoshop's image resources come as the IPTC block, when read.
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
  for (std::size_t theByte : {14, 15, 22, 23})
    theResource[static_cast<std::ptrdiff_t>(theByte)] = 0xFF;
  MagickReader theReader;
  theReader.ReadBlob(thePSD.data(), thePSD.size(), "photo.psd");
  ASSERT_EQ(theReader.GetImageCount(), 2);
  for (LONG i = 1; i <= 2; ++i) {
    EXPECT_EQ(theReader.GetImage(i)->x_resolution, 301.0);
    EXPECT_EQ(theReader.GetImage(i)->y_resolution, 301.0);
    EXPECT_EQ(theReader.GetImage(i)->units, PixelsPerInchResolution);
  }
}

TEST(MagickInfoReader, ReportsColourSpacesInTheSystemsNumbering)
{
  const std::vector<std::pair<ColorspaceType, LONG>> theCases = {
    {sRGBColorspace, 1}, {RGBColorspace, 1}, {LinearGRAYColorspace, 2}, {Rec709LumaColorspace, 2},
    {OHTAColorspace, 4}, {XYZColorspace, 5}, {YCbCrColorspace, 6}, {YUVColorspace, 10},
    {CMYKColorspace, 11}, {LabColorspace, 1}, {HSLColorspace, 1}};
  for (const auto& [theSpace, theCode] : theCases) {
    MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
    TransformImageColorspace(theImage.get(), theSpace);
    const Bytes theBytes = Encode(theImage.get(), "MIFF");
    MagickInfoReader theReader(true);
    theReader.SetData(theBytes.data(), static_cast<LONG>(theBytes.size()), "");
    ASSERT_EQ(theReader.GetCount(), 1) << theSpace;
    EXPECT_EQ(theReader.GetRecord(0).mColorSpace, theCode) << theSpace;
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
  ASSERT_EQ(RectWidth(inBM.GetBounds()), kWidth);
  ASSERT_EQ(RectHeight(inBM.GetBounds()), kHeight);
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x) {
      Pixel theWanted = PatternPixel(x, y);
      if (!inMatte)
        theWanted[3] = 255;
      const Pixel theGot = BitmapPixel(inBM, x, y);
      for (int c = 0; c < 4; ++c)
        ASSERT_NEAR(theGot[c], theWanted[c], inTolerance) << "pixel " << x << "," << y << " channel " << c;
    }
}

TEST(MagickImageToBitmap, KeepsColoursAndTopRowInBothLayoutsAndBack)
{
  for (LONG theLayout : {LONG{32}, kTL32RGBAPixelFormat}) {
    SCOPED_TRACE(theLayout == 32 ? "B, G, R, A" : "R, G, B, A");
    MagickReader theReader;
    const Bytes theBytes = Encode(MakeImage(kWidth, kHeight, true).get(), "PNG");
    theReader.ReadBlob(theBytes.data(), theBytes.size(), "pattern.png");
    Bitmap theBitmap;
    ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap, theLayout), 0);
    EXPECT_EQ(theBitmap.IsRGBA(), theLayout == kTL32RGBAPixelFormat);
    ExpectPattern(theBitmap, true);

    MagickWriter theWriter;
    theWriter.SetBitmap(&theBitmap);
    theWriter.SetType("PNG");
    theWriter.SetAlpha(1);
    ASSERT_EQ(theWriter.Write(), 0) << ErrorOf(theWriter);
    MagickReader theAgain;
    theAgain.ReadBlob(theWriter.GetData(), static_cast<std::size_t>(theWriter.GetLength()), "again.png");
    Bitmap theCopy;
    ASSERT_EQ(MagickImageToBitmap(theAgain.GetImage(1), &theCopy), 0);
    ExpectPattern(theCopy, true);
  }
}

TEST(MagickImageToBitmap, ReadsALargeFileThroughItsMapping)
{
  const std::string thePath = WriteTemp("large.png", Encode(MakeImage(kWidth, kHeight, true).get(), "PNG"));
  std::filesystem::resize_file(thePath, MappedFileSource::kReadInLimit + 1);
  MagickReader theReader;
  theReader.ReadFile(thePath.c_str(), nullptr);
  Bitmap theBitmap;
  ASSERT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap), 0) << ErrorOf(theReader);
  ExpectPattern(theBitmap, true);
}

TEST(MagickImageToBitmap, ConvertsOtherColourSpacesAndNeedsPixels)
{
  for (ColorspaceType theSpace : {LabColorspace, YCbCrColorspace, HSLColorspace}) {
    MagickImagePtr theImage = MakeImage(kWidth, kHeight, false);
    TransformImageColorspace(theImage.get(), theSpace);
    Bitmap theBitmap;
    ASSERT_EQ(MagickImageToBitmap(theImage.get(), &theBitmap), 0) << theSpace;
    ExpectPattern(theBitmap, false, 2);
  }
  MagickReader thePinged;
  thePinged.SetPing(true);
  const Bytes theBytes = Encode(MakeImage(kWidth, kHeight, false).get(), "PNG");
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
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theSecond, RECT{5, 5, 15, 15})), "0,0,10,10");
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theReader.GetImage(1), RECT{5, 5, 15, 15})), "5,5,15,15");
  EXPECT_EQ(FormatRect(MagickImageBounds(theSecond)), "0,0,10,10");

  // Pixels twice as tall as wide: the page twice as wide.
  MagickImagePtr theTall = MakeImage(10, 4, false);
  theTall->x_resolution = 100;
  theTall->y_resolution = 200;
  EXPECT_EQ(FormatRect(MagickImagePageRect(theTall.get())), "0,0,20,4");
  EXPECT_EQ(FormatRect(MagickImageToPageRect(theTall.get(), RECT{2, 0, 20, 4})), "1,0,10,4");
}

// ---- Writing

// The image that the writer made of the pattern with these settings.
MagickImagePtr Written(const std::function<void(MagickWriter&)>& inSettings, Bytes* outBytes = nullptr)
{
  Bitmap theBitmap;
  const Bytes theBytes = Encode(MakeImage(kWidth, kHeight, false).get(), "PNG");
  MagickReader theReader;
  theReader.ReadBlob(theBytes.data(), theBytes.size(), "");
  EXPECT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap), 0);
  MagickWriter theWriter;
  theWriter.SetBitmap(&theBitmap);
  inSettings(theWriter);
  EXPECT_EQ(theWriter.Write(), 0) << ErrorOf(theWriter);
  Bytes theOut = theWriter.IsToFile() ? Bytes() : Bytes(static_cast<const BYTE*>(theWriter.GetData()),
                                                        static_cast<const BYTE*>(theWriter.GetData()) + theWriter.GetLength());
  if (theWriter.IsToFile()) {
    const std::string theFile = tltest::ReadFile(theWriter.GetPath());
    theOut.assign(theFile.begin(), theFile.end());
  }
  if (outBytes)
    *outBytes = theOut;
  return Decode(theOut);
}

TEST(MagickWriter, MapsQualityResolutionAndFormat)
{
  for (const auto& [theQuality, theWanted] :
       std::vector<std::pair<LONG, std::size_t>>{{512, 50}, {1024, 100}, {1100, 100}, {-5, 100}, {0, 1}}) {
    MagickImagePtr theImage = Written([=](MagickWriter& w) { w.SetType("JPEG"), w.SetQuality(theQuality); });
    ASSERT_TRUE(theImage);
    EXPECT_EQ(theImage->quality, theWanted) << "quality " << theQuality;
  }
  // 300 x 0 writes no resolution at all.
  for (const auto& [theV, theWanted] : std::vector<std::pair<LONG, double>>{{0, 0}, {300, 300}}) {
    MagickImagePtr theImage = Written([=](MagickWriter& w) { w.SetType("MIFF"), w.SetResolution(300, theV); });
    ASSERT_TRUE(theImage);
    EXPECT_EQ(theImage->x_resolution, theWanted) << "300 x " << theV;
    EXPECT_EQ(theImage->y_resolution, theWanted) << "300 x " << theV;
  }
  const std::string theFolder = tltest::MakeTempFolder("written");
  const std::vector<std::tuple<std::string, const char*, const char*>> theFormats = {
    {theFolder + "/a.png", "GIF", "PNG"}, {theFolder + "/a", "GIF", "GIF"}, {"", "BMP", "BMP"}};
  for (const auto& [thePath, theType, theFormat] : theFormats) {
    MagickImagePtr theImage = Written([&](MagickWriter& w) {
      w.SetType(theType);
      if (!thePath.empty())
        w.SetPath(thePath);
    });
    ASSERT_TRUE(theImage) << thePath;
    EXPECT_STREQ(theImage->magick, theFormat) << thePath << " as " << theType;
  }
}

TEST(MagickWriter, StoresUnderThePathAsItStands)
{
  const std::string theFolder = tltest::MakeTempFolder("pipe");
  tltest::ChildResult theChild = tltest::RunInChild([&] {
    if (chdir(theFolder.c_str()) != 0)
      return 2;
    Bytes theBytes;
    Written([](MagickWriter& w) { w.SetType("PNG"), w.SetPath("|touch x"); }, &theBytes);
    return theBytes.size() > 8 && std::memcmp(theBytes.data(), "\x89PNG", 4) == 0 ? 0 : 3;
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
  const std::vector<std::pair<const char*, Bytes>> theTexts = {
    {"notes.txt", Text("hello text\n")}, {"photo.jpg", Text("hello text\n")},
    {"pixels.txt", Text("# ImageMagick pixel enumeration: 1,1,255,srgb\n0,0: (255,0,0)  #FF0000  red\n")}};
  for (const auto& [theName, theText] : theTexts) {
    theReader.ReadFile(WriteTemp(theName, theText).c_str(), nullptr);
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
  ASSERT_GT(theList.GetCount(), 100);
  std::string theFirst, theEntry;
  theList.GetDescription(-3, theFirst);
  theList.GetDescription(0, theEntry);
  EXPECT_EQ(theFirst, theEntry);
  bool theHasPNG = false;
  for (LONG i = 0; i < theList.GetCount(); ++i) {
    theList.GetDescription(i, theEntry);
    theHasPNG = theHasPNG || theEntry == "PNG - Portable Network Graphics";
  }
  EXPECT_TRUE(theHasPNG);
  theList.GetDescription(theList.GetCount(), theEntry);
  EXPECT_EQ(theEntry, "");
}

TEST(MagickCodec, ReportsWhatImageMagickCatchesToTheEventLog)
{
  StartMagick();
  const std::string theLong(130, 'r');
  tltest::EventWatcher theWatcher;
  for (const auto& [theSeverity, theReason] : std::vector<std::pair<ExceptionType, std::string>>{
         {CorruptImageError, "bad file"}, {CoderWarning, "odd file"}, {CoderError, theLong}}) {
    MagickExceptionPtr theException(AcquireExceptionInfo());
    ThrowException(theException.get(), theSeverity, theReason.c_str(), nullptr);
    CatchException(theException.get());
  }
  const std::vector<tltest::Event> theEvents = theWatcher.NewEvents();
  ASSERT_EQ(theEvents.size(), 3u);
  EXPECT_EQ(theEvents[0].mText, "ImageMagick Exception Error - bad file");
  EXPECT_EQ(theEvents[0].mType, "Error");
  EXPECT_EQ(theEvents[1].mText, "ImageMagick Exception Warning - odd file");
  EXPECT_EQ(theEvents[1].mType, "Warning");
  EXPECT_EQ(theEvents[2].mText, "ImageMagick Undefined Error");

  tltest::ChildResult theChild = tltest::RunInChild([] {
    if (SetPrefLong("AutoRecover", 0) != 0)
      return 3;
    MagickExceptionPtr theException(AcquireExceptionInfo());
    ThrowException(theException.get(), CorruptImageError, "the end", nullptr);
    CatchException(theException.get());
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 1);
}

// ---- Hostile input

// A TCP port on the loopback that counts who knocked.
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
  const std::string& URL() const { return mURL; }
  bool Knocked() const
  {
    pollfd thePoll{mSocket, POLLIN, 0};
    return poll(&thePoll, 1, 0) > 0;
  }

private:
  int mSocket;
  std::string mURL;
};

// A PNG signature and header chunk claiming inWidth x inHeight, with its CRC.
Bytes PNGHeader(DWORD inWidth, DWORD inHeight)
{
  Bytes thePNG = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  const auto thePut = [&thePNG](DWORD inValue) {
    for (int theShift = 24; theShift >= 0; theShift -= 8)
      thePNG.push_back(static_cast<BYTE>(inValue >> theShift));
  };
  thePut(inWidth);
  thePut(inHeight);
  for (BYTE theByte : {8, 2, 0, 0, 0})
    thePNG.push_back(theByte);
  DWORD theCRC = 0xFFFFFFFF;
  for (std::size_t i = 12; i < thePNG.size(); ++i) {
    theCRC ^= thePNG[i];
    for (int theBit = 0; theBit < 8; ++theBit)
      theCRC = (theCRC >> 1) ^ (0xEDB88320 & (0 - (theCRC & 1)));
  }
  thePut(~theCRC);
  return thePNG;
}

TEST(MagickReader, RefusesHostileInputQuicklyAndOffline)
{
  StartMagick();
  Listener theListener;
  const std::string theURL = theListener.URL();
  const std::vector<std::pair<const char*, Bytes>> theCases = {
    {"huge PNG", PNGHeader(100000, 100000)},
    {"SVG", Text("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                 "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"10\" height=\"10\">"
                 "<image xlink:href=\"" + theURL + "\" width=\"10\" height=\"10\"/></svg>\n")},
    {"MVG", Text("push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 10,10 '" + theURL +
                 "'\npop graphic-context\n")},
    {"MSL", Text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<image>\n<read filename=\"" + theURL +
                 "\"/>\n<write filename=\"/tmp/tl-msl-out.png\"/>\n</image>\n")},
    {"PostScript", Text("%!PS-Adobe-3.0\n/Times findfont 12 scalefont setfont 10 10 moveto (x) show showpage\n")},
    {"EPS", Text("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nshowpage\n")},
    {"PDF", Text("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n")},
  };
  for (const auto& [theName, theBytes] : theCases) {
    for (bool thePing : {true, false}) {
      MagickReader theReader;
      theReader.SetPing(thePing);
      const auto theStart = std::chrono::steady_clock::now();
      theReader.ReadBlob(theBytes.data(), theBytes.size(), theName);
      EXPECT_LT(std::chrono::steady_clock::now() - theStart, std::chrono::seconds(1)) << theName;
      EXPECT_NE(theReader.GetError(), nullptr) << theName;
      EXPECT_EQ(theReader.GetImageCount(), 0) << theName;
    }
  }
  EXPECT_FALSE(theListener.Knocked());
  EXPECT_FALSE(std::filesystem::exists("/tmp/tl-msl-out.png"));
}

TEST(MagickReader, SurvivesEveryCutOfEveryFormat)
{
  StartMagick();
  const std::vector<std::pair<const char*, Bytes>> theFiles = {
    {"PNG", Encode(MakeImage(kWidth, kHeight, true).get(), "PNG")}, {"GIF", ThreeFrameGIF()},
    {"TIFF", ThreePageTIFF()}, {"BMP", Encode(MakeImage(kWidth, kHeight, false).get(), "BMP")},
    {"PSD", WithResolution("PSD", PixelsPerInchResolution, 300)}, {"JPEG", Grey("JPEG")}};
  for (const auto& [theName, theBytes] : theFiles) {
    for (std::size_t theCut = 1; theCut < theBytes.size(); theCut += 1 + theCut / 8) {
      MagickReader theReader;
      const Bytes thePart(theBytes.begin(), theBytes.begin() + static_cast<std::ptrdiff_t>(theCut));
      const auto theStart = std::chrono::steady_clock::now();
      theReader.ReadBlob(thePart.data(), thePart.size(), theName);
      EXPECT_LT(std::chrono::steady_clock::now() - theStart, std::chrono::seconds(1)) << theName << " cut at " << theCut;
      if (theReader.GetError())
        continue;
      Bitmap theBitmap;
      EXPECT_EQ(MagickImageToBitmap(theReader.GetImage(1), &theBitmap), 0) << theName << " cut at " << theCut;
      EXPECT_GT(theReader.GetArea(), 0) << theName << " cut at " << theCut;
    }
  }
}

TEST(MagickReader, AWarningDoesNotFailWhatDecoded)
{
  // The TIFF's directory moved to the end with one more entry, of a tag that
  // libtiff does not know and warns about.
  Bytes theTIFF = Encode(MakeImage(kWidth, kHeight, false).get(), "TIFF");
  ASSERT_EQ(theTIFF[0], 'I');
  const auto theWord = [&theTIFF](std::size_t inAt) { return DWORD{theTIFF[inAt]} | DWORD{theTIFF[inAt + 1]} << 8; };
  const DWORD theDirectory = theWord(4) | theWord(6) << 16;
  const DWORD theCount = theWord(theDirectory);
  Bytes theMoved = {static_cast<BYTE>(theCount + 1), 0};
  for (DWORD i = 0; i < 12 * theCount; ++i)
    theMoved.push_back(theTIFF[theDirectory + 2 + i]);
  for (BYTE theByte : {0xE8, 0xFD, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0})
    theMoved.push_back(theByte);
  const auto theEnd = static_cast<DWORD>(theTIFF.size());
  for (int i = 0; i < 4; ++i)
    theTIFF[4 + static_cast<std::size_t>(i)] = static_cast<BYTE>(theEnd >> (8 * i));
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
  for (const char* theCoder : {"URL", "HTTP", "HTTPS", "FTP", "MSL", "MVG", "SVG", "MSVG", "TEXT", "TXT", "LABEL",
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
    const Bytes theBytes = Encode(MakeImage(kWidth, kHeight, false).get(), "PNG");
    theReader.ReadBlob(theBytes.data(), theBytes.size(), "");
    EXPECT_EQ(ErrorOf(theReader), "ImageMagick security policy not in force");
    EXPECT_EQ(theReader.GetImageCount(), 0);
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
  const std::string theFolder = tltest::MakeTempFolder("nopolicy") + "/bin";
  std::filesystem::create_directories(theFolder);
  const std::string theCopy = theFolder + "/magick_tests";
  std::filesystem::copy_file("/proc/self/exe", theCopy);
  const std::string theCommand = "TL_MAGICK_NO_POLICY='" + theCopy + "' '" + theCopy +
                                 "' --gtest_filter=MagickPolicy.RefusesEverythingWithoutThePolicy >/dev/null 2>&1";
  EXPECT_EQ(std::system(theCommand.c_str()), 0);
}

}  // namespace
