// Describing without pixels: on a corpus of files that convert writes (every
// format the policy reads, palettes, grey, alpha, CMYK, profiles,
// resolutions, frames with page offsets, pages and layers), the description
// that keeps no pixels is the one a full decode gives, and Graphic.SetFile
// gives it; a description writes no file, even where a decode's pixel cache
// would go to disk; one frame of a file of several decodes alone into what
// the whole read has for it.

#include "core/Bitmap.h"
#include "core/ImageMagick.h"
#include "core/Utilities.h"
#include "objects/ClassTable.h"
#include "objects/Graphic.h"
#include "platform/automation/Registration.h"
#include "tests/objects/GraphicTestFiles.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CorpusFile {
  const char* mName;  // its extension names the format, unless mPrefix does
  std::vector<std::string> mConvert;
  const char* mPrefix = "";
};

const std::vector<std::string> kGradient = {"-size", "30x20", "gradient:red-blue"};

std::vector<std::string> With(std::vector<std::string> inArguments, const std::vector<std::string>& inMore)
{
  inArguments.insert(inArguments.end(), inMore.begin(), inMore.end());
  return inArguments;
}

// Frames of different sizes at page offsets, one of them transparent.
const std::vector<std::string> kFrames = {"-size", "20x20", "xc:white", "(", "-size", "10x10", "xc:red", "-repage",
                                          "20x20+5+5", ")", "(", "-size", "6x4", "xc:rgba(0,0,255,0.0)", "-repage",
                                          "20x20+2+3", ")", "(", "-size", "7x9", "gradient:", "-repage", "20x20+13+11",
                                          ")"};
const std::vector<std::string> kLayers = {"-size", "16x16", "xc:green", "(", "-size", "8x8", "xc:red", "-repage",
                                          "+4+4", ")", "(", "-size", "4x6", "xc:rgba(0,0,255,0.5)", "-repage", "+1+2",
                                          ")"};

const std::vector<CorpusFile>& Corpus()
{
  static const std::vector<CorpusFile> gCorpus = {
      {"rgb.png", kGradient},
      {"palette.png", With(kGradient, {"-colors", "5", "-type", "Palette"}), "PNG8:"},
      {"grey.png", With(kGradient, {"-colorspace", "Gray"})},
      {"grey16.png", With(kGradient, {"-colorspace", "Gray", "-depth", "16"})},
      {"alpha.png", {"-size", "30x20", "xc:rgba(255,0,0,0.5)"}},
      {"rgb16.png", With(kGradient, {"-depth", "16"}), "PNG48:"},
      {"mono.png", {"-size", "30x20", "xc:black", "-type", "bilevel"}},
      {"dpcm.png", With(kGradient, {"-units", "PixelsPerCentimeter", "-density", "40"})},
      {"icc.png", With(kGradient, {"-profile", TL_SRGB_PROFILE})},
      {"interlaced.png", With(kGradient, {"-interlace", "PNG"})},
      {"frames.gif", kFrames},
      {"interlaced.gif", With(kFrames, {"-interlace", "GIF"})},
      {"single.gif", With(kGradient, {"-colors", "16"})},
      {"pages.tif", {"-size", "8x6", "xc:red", "-size", "12x9", "xc:green", "xc:blue"}},
      {"grey.tif", With(kGradient, {"-colorspace", "Gray"})},
      {"cmyk.tif", With(kGradient, {"-colorspace", "CMYK"})},
      {"palette.tif", With(kGradient, {"-colors", "8", "-type", "Palette"})},
      {"alpha.tif", {"-size", "30x20", "xc:rgba(0,255,0,0.3)"}},
      {"alpha-pages.tif", {"-size", "8x6", "xc:red", "xc:rgba(0,0,255,0.5)"}},
      {"dpi.tif", With(kGradient, {"-units", "PixelsPerInch", "-density", "300", "-compress", "LZW"})},
      {"icc.tif", With(kGradient, {"-profile", TL_SRGB_PROFILE})},
      {"jpeg.tif", With(kGradient, {"-compress", "JPEG"})},
      {"group4.tif", {"-size", "30x20", "xc:black", "-type", "bilevel", "-compress", "Group4"}},
      {"layers.psd", kLayers},
      {"dpi.psd", With(kGradient, {"-units", "PixelsPerInch", "-density", "300"})},
      {"cmyk.psd", With(kGradient, {"-colorspace", "CMYK"})},
      {"grey.psd", With(kGradient, {"-colorspace", "Gray"})},
      {"icc.psd", With(kGradient, {"-profile", TL_SRGB_PROFILE})},
      {"rgb.jpg", kGradient},
      {"grey.jpg", With(kGradient, {"-colorspace", "Gray"})},
      {"cmyk.jpg", {"-size", "30x20", "xc:red", "-colorspace", "CMYK"}},
      {"cmyk-icc.jpg", {"-size", "30x20", "xc:red", "-colorspace", "CMYK", "-profile", TL_CMYK_PROFILE}},
      {"dpi.jpg", With(kGradient, {"-units", "PixelsPerInch", "-density", "240"})},
      {"progressive.jpg", With(kGradient, {"-interlace", "Plane"})},
      {"rgb.bmp", kGradient, "BMP3:"},
      {"palette.bmp", With(kGradient, {"-colors", "16", "-type", "Palette"}), "BMP3:"},
      {"alpha.bmp", {"-size", "30x20", "xc:rgba(255,0,0,0.5)"}},
      {"mono.bmp", {"-size", "30x20", "xc:black", "-type", "bilevel"}},
      {"rgb.webp", kGradient},
      {"alpha.webp", {"-size", "30x20", "xc:rgba(255,0,0,0.5)"}},
      {"lossless.webp", With(kGradient, {"-define", "webp:lossless=true"})},
      {"icons.ico", {"-size", "16x16", "xc:red", "-size", "32x32", "xc:blue"}},
      {"png.ico", {"-size", "256x256", "gradient:"}},
      {"palette.pcx", With(kGradient, {"-colors", "16"})},
      {"rgb.tga", kGradient},
      {"grey.pgm", With(kGradient, {"-colorspace", "Gray"})},
      {"mono.pbm", {"-size", "30x20", "xc:black", "-type", "bilevel"}},
      {"alpha.pam", {"-size", "30x20", "xc:rgba(255,0,0,0.5)"}},
      {"rgb.sun", kGradient},
      {"palette.xpm", With(kGradient, {"-colors", "16"})},
      {"mono.wbmp", {"-size", "30x20", "xc:black", "-type", "bilevel"}},
      {"pages.miff", {"-size", "30x20", "xc:red", "xc:blue"}},
      {"pages.dcx", {"-size", "30x20", "xc:red", "xc:blue"}},
  };
  return gCorpus;
}

std::string CorpusPath(const CorpusFile& inFile)
{
  return graphictest::ConvertFile(inFile.mConvert, inFile.mName, inFile.mPrefix);
}

// The format, the records and the IPTC block of a description, as text.
std::string Described(MagickInfoReader& inReader)
{
  std::ostringstream theText;
  theText << inReader.GetFormatName() << " " << inReader.GetCount();
  for (LONG i = 0; i < inReader.GetCount(); ++i) {
    const ImageInfoRecord theRecord = inReader.GetRecord(i);
    theText << " | " << theRecord.mBitDepth << " " << theRecord.mResolution << " " << theRecord.mLeft << ","
            << theRecord.mTop << "," << theRecord.mRight << "," << theRecord.mBottom << " " << theRecord.mColorSpace
            << " " << theRecord.mHasColorProfile;
  }
  const BYTE* theIPTC = inReader.GetIPTCData();
  theText << " | IPTC " << std::string(reinterpret_cast<const char*>(theIPTC), theIPTC ? inReader.GetIPTCLength() : 0);
  return theText.str();
}

std::string DescribedFile(MagickRead inRead, const std::string& inPath, bool inFromMemory = false)
{
  MagickInfoReader theReader(inRead);
  const graphictest::Bytes theBytes = graphictest::ReadBytes(inPath);
  if (inFromMemory)
    theReader.SetData(theBytes.data(), static_cast<LONG>(theBytes.size()), inPath.c_str());
  else
    theReader.SetFile(inPath.c_str());
  return theReader.GetError() ? std::string("error ") + theReader.GetError() : Described(theReader);
}

using GraphicCorpus = graphictest::GraphicFixture;

TEST_F(GraphicCorpus, DescribesWithoutPixelsWhatADecodeDescribes)
{
  std::size_t theDescribed = 0;
  for (const CorpusFile& theFile : Corpus()) {
    SCOPED_TRACE(theFile.mName);
    const std::string thePath = CorpusPath(theFile);
    const std::string theDecoded = DescribedFile(MagickRead::kPixels, thePath);
    // Icons, TGA and WBMP are formats the codec cannot tell from their
    // bytes: both ways fail alike.
    theDescribed += theDecoded.rfind("error", 0) != 0;
    EXPECT_EQ(DescribedFile(MagickRead::kAttributes, thePath), theDecoded);
    EXPECT_EQ(DescribedFile(MagickRead::kAttributes, thePath, true), theDecoded) << "from memory";

    // Graphic's own road: the same count, format and rectangles.
    Variant theVariant(thePath);
    ASSERT_EQ(mGraphic->SetFile(theVariant.Get()), S_OK);
    MagickInfoReader theDecoder(MagickRead::kPixels);
    theDecoder.SetFile(thePath.c_str());
    LONG theCount = 0;
    ASSERT_EQ(mGraphic->get_Count(&theCount), S_OK);
    ASSERT_EQ(theCount, theDecoder.GetCount());
    for (LONG i = 1; i <= theCount; ++i) {
      ComPtr<IGraphicImage> theImage;
      ASSERT_EQ(mGraphic->get_Item(i, theImage.Receive()), S_OK);
      Variant theRect;
      ASSERT_EQ(theImage->get_Rectangle(theRect.Receive()), S_OK);
      const ImageInfoRecord theRecord = theDecoder.GetRecord(i - 1);
      EXPECT_EQ(VariantText(*theRect.Get()),
                FormatRect(RECT{theRecord.mLeft, theRecord.mTop, theRecord.mRight, theRecord.mBottom}));
    }
  }
  EXPECT_GE(theDescribed, 40u);
}

// A GIF whose first frame's LZW data ends inside its first sub-block, the
// next "sub-block" claiming 255 bytes that are not there: the decoder reads
// on from the end of the LZW data and finds a second frame, a ping walks the
// sub-blocks and fails. The description is the decode's.
TEST(MagickInfoReader, DescribesAGIFWhosePingFailsAsItsDecodeReadsIt)
{
  const graphictest::Bytes theGIF = graphictest::Join({
      {'G', 'I', 'F', '8', '9', 'a', 0x08, 0x24, 0x08, 0x00, 0x00, 0x00, 0x00},  // 9224 x 8, no colour table
      graphictest::Bytes(30, 0),  // stray bytes, skipped
      {0xA0, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00},
      {',', 0, 0, 0, 0, 4, 0, 4, 0, 0x00},                // frame 1: 4 x 4 at 0,0
      {0x02, 0x04, 0x84, 0x8F, 0x09, 0xF6},               // code size 2, one 4-byte sub-block
      {0xFF},                                             // a sub-block of 255 bytes, cut short
      {'!', 0xF9, 0x04, 0, 0, 0, 0, 0x00},                // a graphic control extension
      {',', 4, 0, 4, 0, 4, 0, 4, 0, 0x80, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // frame 2 at 4,4, 2 colours
      {0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, ';'},
  });
  MagickInfoReader theDecoded(MagickRead::kPixels);
  theDecoded.SetData(theGIF.data(), static_cast<LONG>(theGIF.size()), "lzw.gif");
  ASSERT_EQ(theDecoded.GetCount(), 2) << (theDecoded.GetError() ? theDecoded.GetError() : "");
  MagickInfoReader theDescribed(false);
  theDescribed.SetData(theGIF.data(), static_cast<LONG>(theGIF.size()), "lzw.gif");
  EXPECT_EQ(Described(theDescribed), Described(theDecoded));
}

// Files that ImageMagick writes where a describe runs, in a child whose
// pixel cache may hold 4 MiB in memory: a decode's cache goes to disk there.
// (A PSD is decoded, its layers through the pixel cache.)
TEST_F(GraphicCorpus, ADescriptionWritesNoFile)
{
  std::vector<std::string> thePaths;
  for (const char* theName : {"big.jpg", "big.png", "big.gif", "big.tif", "big.bmp", "big.webp"})
    thePaths.push_back(graphictest::ConvertFile({"-size", "1200x900", "gradient:red-blue"}, theName));
  const std::string theTemp = tltest::MakeTempFolder("magick-tmp");
  const tltest::ChildResult theChild = tltest::RunInChild([&] {
    setenv("MAGICK_TMPDIR", theTemp.c_str(), 1);
    setenv("TMPDIR", theTemp.c_str(), 1);
    unsetenv("MAGICK_TEMPORARY_PATH");
    MagickFormatList theStart;
    SetMagickResourceLimit(MemoryResource, 4 << 20);
    SetMagickResourceLimit(MapResource, 4 << 20);
    const int theWatch = inotify_init1(IN_NONBLOCK);
    if (theWatch < 0 || inotify_add_watch(theWatch, theTemp.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
      return 2;
    int theStatus = 0;
    for (const std::string& thePath : thePaths) {
      Variant theVariant(thePath);
      LONG theCount = 0;
      if (mGraphic->SetFile(theVariant.Get()) != S_OK || mGraphic->get_Count(&theCount) != S_OK || theCount < 1)
        theStatus = 3;
      char theEvents[4096];
      if (read(theWatch, theEvents, sizeof theEvents) > 0) {
        std::fprintf(stderr, "a file was written describing %s\n", thePath.c_str());
        theStatus = 4;
      }
    }
    return theStatus;
  });
  EXPECT_TRUE(tltest::Succeeded(theChild)) << "2: no watch, 3: not described, 4: a file written";
  EXPECT_TRUE(std::filesystem::is_empty(theTemp));
}

// The bytes of the frame on a Bitmap, its page rectangle and its bounds.
std::string Frame(const Image* inImage)
{
  if (!inImage)
    return "no image";
  Bitmap theBitmap;
  if (MagickImageToBitmap(inImage, &theBitmap) != 0)
    return "not drawn";
  std::string theText = FormatRect(MagickImagePageRect(inImage)) + " " + FormatRect(MagickImageBounds(inImage)) + " ";
  LockedPixels thePixels;
  if (!theBitmap.LockPixels(thePixels))
    return "not locked";
  const LONG theWidth = RectWidth(theBitmap.GetBounds());
  for (LONG y = 0; y < thePixels.mHeight; ++y)
    theText.append(reinterpret_cast<const char*>(thePixels.mBase + y * thePixels.mRowBytes), 4 * std::size_t(theWidth));
  theBitmap.UnlockPixels();
  return theText;
}

TEST(MagickReader, ReadsOneFrameAloneAsTheWholeReadHasIt)
{
  for (const CorpusFile& theFile : Corpus()) {
    SCOPED_TRACE(theFile.mName);
    const graphictest::Bytes theBytes = graphictest::ReadBytes(CorpusPath(theFile));
    MagickReader theWhole;
    theWhole.ReadBlob(theBytes.data(), theBytes.size(), theFile.mName);
    if (theWhole.GetError())
      continue;
    const LONG theCount = theWhole.GetImageCount();
    for (LONG theFrame = 1; theFrame <= theCount + 1; ++theFrame) {
      MagickReader theAlone;
      theAlone.SetFrame(theFrame);
      theAlone.ReadBlob(theBytes.data(), theBytes.size(), theFile.mName);
      if (theFrame > theCount) {
        EXPECT_EQ(theAlone.GetImageCount(), 0) << "past the end: " << (theAlone.GetError() ? theAlone.GetError() : "");
        continue;
      }
      ASSERT_EQ(theAlone.GetImageCount(), 1) << "frame " << theFrame;
      EXPECT_TRUE(Frame(theAlone.GetImage(1)) == Frame(theWhole.GetImage(theFrame))) << "frame " << theFrame;
    }
  }
}

}  // namespace
