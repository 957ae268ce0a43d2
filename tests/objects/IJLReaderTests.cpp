#include "core/ColorSpace.h"
#include "objects/IJLTempFileReader.h"
#include "platform/gdi/Gdi.h"
#include "tests/core/EventWatcher.h"
#include "tests/core/TestProfiles.h"
#include "tests/platform/JpegTestImages.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using jpegtest::Bytes;
using jpegtest::JpegSpec;

// The reader's DIB section as GDI describes it.
struct Section {
  explicit Section(HBITMAP inBitmap) { mValid = GetObjectA(inBitmap, sizeof(mInfo), &mInfo) == sizeof(mInfo); }
  const BYTE* Pixel(LONG inX, LONG inY) const
  {
    return static_cast<const BYTE*>(mInfo.dsBm.bmBits) + inY * mInfo.dsBm.bmWidthBytes + inX * mInfo.dsBm.bmBitsPixel / 8;
  }

  bool mValid = false;
  DIBSECTION mInfo{};
};

// The names in the temporary folder, which each test makes its own.
std::vector<std::string> TempFiles()
{
  std::vector<std::string> theNames;
  for (const auto& theEntry : std::filesystem::directory_iterator(std::getenv("TMPDIR")))
    theNames.push_back(theEntry.path().filename().string());
  return theNames;
}

class IJLReaderTest : public testing::Test {
protected:
  void SetUp() override { setenv("TMPDIR", tltest::MakeTempFolder("tmp").c_str(), 1); }
};

TEST_F(IJLReaderTest, ChoosesTheLargestReductionStillLargerThanTheBox)
{
  const Bytes theJpeg = jpegtest::WithFrameSize(jpegtest::MakeJpeg({}), 4000, 3000);
  const struct {
    LONG mBoxWidth, mBoxHeight;
    LONG mScale, mWidth, mHeight;
  } kCases[] = {{400, 300, 8, 500, 375}, {500, 375, 4, 1000, 750}, {1999, 10, 2, 2000, 1500}, {4000, 10, 1, 4000, 3000}};
  for (const auto& theCase : kCases) {
    IJLTempFileReader theReader;
    theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
    theReader.ReadHeader();
    theReader.ChooseScale(theCase.mBoxWidth, theCase.mBoxHeight);
    EXPECT_EQ(theReader.GetScale(), theCase.mScale) << theCase.mBoxWidth << "x" << theCase.mBoxHeight;
    EXPECT_EQ(theReader.GetWidth(), theCase.mWidth) << theCase.mBoxWidth << "x" << theCase.mBoxHeight;
    EXPECT_EQ(theReader.GetHeight(), theCase.mHeight) << theCase.mBoxWidth << "x" << theCase.mBoxHeight;
    EXPECT_EQ(theReader.GetNaturalPixelCount(), 12000000);
    EXPECT_EQ(theReader.GetPixelCount(), static_cast<LONGLONG>(theCase.mWidth) * theCase.mHeight);
    EXPECT_EQ(theReader.GetBounds().right, theCase.mWidth);
    EXPECT_EQ(theReader.GetNaturalBounds().bottom, 3000);
    EXPECT_EQ(theReader.GetErrorText(), nullptr);
  }
}

TEST_F(IJLReaderTest, DecodesAsDjpegDoesIntoATopDownSectionInBlueGreenRed)
{
  const JpegSpec kSpecs[] = {{.mWidth = 83, .mHeight = 61},
                             {.mWidth = 83, .mHeight = 61, .mChannels = 1, .mFileSpace = JCS_GRAYSCALE}};
  const struct {
    LONG mBoxWidth, mBoxHeight, mScale;
  } kBoxes[] = {{1000, 1000, 1}, {41, 30, 2}, {10, 7, 8}};
  for (const JpegSpec& theSpec : kSpecs) {
    const Bytes theJpeg = jpegtest::MakeJpeg(theSpec);
    const std::string thePath = jpegtest::WriteTempFile(theJpeg, "picture.jpg");
    for (const auto& theBox : kBoxes)
      for (bool theFromFile : {true, false}) {
        SCOPED_TRACE(std::to_string(theSpec.mChannels) + " channels at 1/" + std::to_string(theBox.mScale) +
                     (theFromFile ? " from a file" : " from memory"));
        const jpegtest::Image theOracle = jpegtest::Djpeg(thePath, theBox.mScale);
        IJLReader theReader;
        if (theFromFile)
          theReader.SetPath(thePath.c_str());
        else
          theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
        theReader.ChooseScale(theBox.mBoxWidth, theBox.mBoxHeight);
        ASSERT_EQ(theReader.GetScale(), theBox.mScale);
        const Section theSection(theReader.GetHBITMAP());
        ASSERT_EQ(theReader.GetErrorText(), nullptr);
        ASSERT_TRUE(theSection.mValid);
        EXPECT_LT(theSection.mInfo.dsBmih.biHeight, 0);
        ASSERT_EQ(theSection.mInfo.dsBm.bmBitsPixel, 24);
        ASSERT_EQ(theSection.mInfo.dsBm.bmWidth, theOracle.mWidth);
        ASSERT_EQ(theSection.mInfo.dsBm.bmHeight, theOracle.mHeight);
        int theDifferences = 0;
        for (LONG theY = 0; theY < theOracle.mHeight; ++theY)
          for (LONG theX = 0; theX < theOracle.mWidth; ++theX)
            for (int theChannel = 0; theChannel < 3; ++theChannel)
              theDifferences += theSection.Pixel(theX, theY)[theChannel] !=
                                theOracle.At(theX, theY)[theOracle.mChannels == 3 ? 2 - theChannel : 0];
        EXPECT_EQ(theDifferences, 0);
      }
  }
}

TEST_F(IJLReaderTest, ConvertsFourChannelJpegsToTheSameBlueGreenRed)
{
  const jpegtest::Image theInks = jpegtest::Picture(64, 48, 4);
  const Bytes theLight = profiletest::SaveProfile(profiletest::LightCMYKProfile().get());
  // What the inks give through the colour conversion, as B, G, R, 0.
  auto Expected = [&theInks](const Bytes& inProfile) {
    Bytes thePixels = theInks.mSamples;
    ConvertCMYKToRGB(thePixels.data(), 64, 48, 256, inProfile.empty() ? nullptr : inProfile.data(),
                     static_cast<DWORD>(inProfile.size()));
    ConvertRGBXToBGRA(thePixels.data(), 64, 48, 256);
    return thePixels;
  };
  const struct {
    const char* mName;
    J_COLOR_SPACE mSpace;
    bool mAdobe;
    Bytes mProfile;
  } kCases[] = {{"YCCK", JCS_YCCK, true, {}},
                {"Adobe CMYK", JCS_CMYK, true, {}},
                {"plain CMYK", JCS_CMYK, false, {}},
                {"YCCK with a profile", JCS_YCCK, true, theLight}};
  for (const auto& theCase : kCases) {
    const Bytes theJpeg = jpegtest::MakeJpeg({.mChannels = 4, .mFileSpace = theCase.mSpace, .mAdobe = theCase.mAdobe,
                                              .mHSampling = 1, .mVSampling = 1, .mQuality = 100, .mProfile = theCase.mProfile});
    IJLReader theReader;
    theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
    EXPECT_TRUE(theReader.IsCMYK()) << theCase.mName;
    const Section theSection(theReader.GetHBITMAP());
    ASSERT_TRUE(theSection.mValid) << theCase.mName << ": " << theReader.GetErrorText();
    ASSERT_EQ(theSection.mInfo.dsBm.bmBitsPixel, 32);
    EXPECT_LT(theSection.mInfo.dsBmih.biHeight, 0);
    const Bytes theExpected = Expected(theCase.mProfile);
    int theWorst = 0;
    for (LONG theY = 0; theY < 48; ++theY)
      for (LONG theX = 0; theX < 64; ++theX)
        for (int theChannel = 0; theChannel < 4; ++theChannel)
          theWorst = std::max(theWorst, std::abs(theSection.Pixel(theX, theY)[theChannel] -
                                                 theExpected[(theY * 64 + theX) * 4 + theChannel]));
    EXPECT_LE(theWorst, 6) << theCase.mName;
  }
  EXPECT_NE(Expected(theLight), Expected({}));
}

TEST_F(IJLReaderTest, ReadsBlocks255MoreThanAMultipleOf256WideThroughATemporaryFile)
{
  const Bytes theWide = jpegtest::MakeJpeg({.mWidth = 511, .mHeight = 9});
  const Bytes theWider = jpegtest::MakeJpeg({.mWidth = 512, .mHeight = 9});
  {
    IJLTempFileReader theReader;
    theReader.SetData(theWider.data(), static_cast<LONG>(theWider.size()));
    theReader.ReadHeader();
    EXPECT_TRUE(TempFiles().empty());
  }
  {
    IJLTempFileReader theReader;
    theReader.SetData(theWide.data(), static_cast<LONG>(theWide.size()));
    theReader.ReadHeader();
    const std::vector<std::string> theFiles = TempFiles();
    ASSERT_EQ(theFiles.size(), 1u);
    EXPECT_EQ(theFiles[0].substr(0, 3), "ijl");
    EXPECT_EQ(tltest::ReadFile(std::string(std::getenv("TMPDIR")) + "/" + theFiles[0]),
              std::string(theWide.begin(), theWide.end()));
    theReader.ReadImage();
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(theReader.GetErrorText(), nullptr);
    const Section theSection(theReader.GetHBITMAP());
    ASSERT_TRUE(theSection.mValid);
    EXPECT_NEAR(theSection.Pixel(3, 1)[2], 254, 8);  // red, top left
    EXPECT_NEAR(theSection.Pixel(3, 1)[0], 1, 8);
  }
  // Gone too when the image cannot be read, or the reader ends after its header.
  {
    const Bytes theHostile = jpegtest::WithRepeatedScan(jpegtest::MakeJpeg({.mWidth = 767, .mHeight = 9, .mProgressive = true}), 600);
    IJLTempFileReader theReader;
    theReader.SetData(theHostile.data(), static_cast<LONG>(theHostile.size()));
    theReader.ReadHeader();
    EXPECT_EQ(TempFiles().size(), 1u);
    EXPECT_EQ(theReader.GetHBITMAP(), nullptr);
    EXPECT_STREQ(theReader.GetErrorText(), "JPEG image too large.");
    EXPECT_TRUE(TempFiles().empty());
  }
  {
    IJLTempFileReader theReader;
    theReader.SetData(theWide.data(), static_cast<LONG>(theWide.size()));
    EXPECT_EQ(theReader.GetNaturalWidth(), 511);
    EXPECT_EQ(TempFiles().size(), 1u);
  }
  EXPECT_TRUE(TempFiles().empty());

  // A file that someone else removed cannot be deleted: an error event says so.
  {
    tltest::EventWatcher theWatcher;
    IJLTempFileReader theReader;
    theReader.SetData(theWide.data(), static_cast<LONG>(theWide.size()));
    theReader.ReadHeader();
    std::filesystem::remove(std::string(std::getenv("TMPDIR")) + "/" + TempFiles().at(0));
    theReader.DeleteTempFile();
    EXPECT_STREQ(theReader.GetErrorText(), "IJL unable to delete temporary file.");
    EXPECT_EQ(theWatcher.NewTexts(), std::vector<std::string>{"IJL unable to delete temporary file"});
  }

  setenv("TMPDIR", (std::string(std::getenv("TMPDIR")) + "/missing").c_str(), 1);
  IJLTempFileReader theReader;
  theReader.SetData(theWide.data(), static_cast<LONG>(theWide.size()));
  theReader.ReadImage();
  EXPECT_STREQ(theReader.GetErrorText(), "IJL could not create temporary file.");
  EXPECT_EQ(theReader.GetHBITMAP(), nullptr);
}

TEST_F(IJLReaderTest, ReportsTheLibrarysTextsWithAFullStopAndDrawsNothing)
{
  const Bytes theJpeg = jpegtest::MakeJpeg({.mWidth = 511, .mHeight = 9});
  const Bytes theProgressive = jpegtest::MakeJpeg({.mProgressive = true});
  const std::string theLongPath = tltest::MakeTempFolder("long") + "/" + std::string(300, 'a') + ".jpg";
  const struct {
    const char* mName;
    Bytes mData;
    const char* mPath;
    const char* mText;
  } kCases[] = {
    {"cut after 100 bytes", Bytes(theJpeg.begin(), theJpeg.begin() + 100), nullptr,
     "The JPEG data ends before its image."},
    {"2 channels", jpegtest::MakeJpeg({.mChannels = 2, .mFileSpace = JCS_UNKNOWN, .mHSampling = 1, .mVSampling = 1}),
     nullptr, "Unsupported number of JPEG channels."},
    {"progressive 30000 x 30000", jpegtest::WithFrameSize(theProgressive, 30000, 30000), nullptr,
     "JPEG image too large."},
    {"65535 wide", jpegtest::WithFrameSize(theJpeg, 65535, 48), nullptr, "JPEG image too large."},
    {"not a JPEG", {'B', 'M', 0, 0, 0, 0}, nullptr, "The data is not a JPEG image."},
    {"a path of 300 bytes", {}, theLongPath.c_str(), "Unable to open the JPEG file."},
  };
  for (const auto& theCase : kCases) {
    IJLTempFileReader theReader;
    if (theCase.mPath)
      theReader.SetPath(theCase.mPath);
    else
      theReader.SetData(theCase.mData.data(), static_cast<LONG>(theCase.mData.size()));
    EXPECT_EQ(theReader.GetHBITMAP(), nullptr) << theCase.mName;
    EXPECT_STREQ(theReader.GetErrorText(), theCase.mText) << theCase.mName;
    // The first error stays.
    theReader.SetData(theJpeg.data(), static_cast<LONG>(theJpeg.size()));
    theReader.ReadHeader();
    theReader.ReadImage();
    EXPECT_STREQ(theReader.GetErrorText(), theCase.mText) << theCase.mName;
    EXPECT_EQ(theReader.GetHBITMAP(), nullptr) << theCase.mName;
  }
  EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
