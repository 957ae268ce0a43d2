// The codecs' option records: defaults, setters and the byte limits of
// names and paths.

#include "core/ExportOptions.h"
#include "core/FormatList.h"
#include "core/ImageInfoSource.h"
#include "core/ImportOptions.h"
#include "tests/core/PixelTestSupport.h"

#include <gtest/gtest.h>

using namespace pixeltest;

namespace {

class TestExporter : public ExportOptions {
public:
  LONG Write() override { return 0; }
};

class TestImporter : public ImportOptions {
public:
  void ReadFile(const char*) override {}
  void ReadData(const void*, LONG) override {}
  void GetNaturalBounds(RECT& outRect) override { outRect = RECT{0, 0, 30, 20}; }
  void Draw(Bitmap*) override {}
};

class TestInfoReader : public ImageInfoSource {
public:
  void SetFile(const char*) override
  {
    Reset();
    AddRecord(ImageInfoRecord{24, 72, 0, 0, 30, 20, 1, 0});
    AddRecord(ImageInfoRecord{8, 96, 0, 0, 10, 10, 2, 1});
  }
  void SetData(const void*, LONG, const char*) override {}
  const char* GetFormatName() override { return "Test"; }
};

TEST(ExportOptions, Defaults)
{
  TestExporter theOptions;
  EXPECT_EQ(theOptions.GetDepth(), 32);
  EXPECT_EQ(theOptions.GetQuality(), 512);
  EXPECT_EQ(theOptions.GetPath(), "");
  EXPECT_FALSE(theOptions.IsToFile());
  EXPECT_EQ(theOptions.GetData(), nullptr);
  EXPECT_EQ(theOptions.GetLength(), 0);
  EXPECT_EQ(theOptions.GetType(), "");
  EXPECT_EQ(theOptions.GetBitmap(), nullptr);
  EXPECT_EQ(theOptions.GetInterlace(), 0);
  EXPECT_EQ(theOptions.GetAlpha(), 0);
  EXPECT_EQ(theOptions.GetHorizontalResolution(), 0);
  EXPECT_EQ(theOptions.GetVerticalResolution(), 0);
}

TEST(ExportOptions, ColorsGiveDepths)
{
  struct Case {
    LONG mColors, mDepth;
  } const kCases[] = {{16777216, 32}, {65537, 32}, {65536, 16}, {257, 16}, {256, 8}, {129, 8}, {128, 7},
                      {65, 7},        {64, 6},     {33, 6},     {17, 5},   {9, 4},   {5, 3},   {3, 2},
                      {2, 1},         {1, 1},      {0, 1}};
  for (const Case& theCase : kCases) {
    TestExporter theOptions;
    EXPECT_EQ(theOptions.SetColors(theCase.mColors), theCase.mDepth) << theCase.mColors << " colours";
    EXPECT_EQ(theOptions.GetDepth(), theCase.mDepth) << theCase.mColors << " colours";
  }
}

TEST(ExportOptions, PathsOfAtMost259Bytes)
{
  TestExporter theOptions;
  EXPECT_EQ(theOptions.SetPath("/tmp/a.gif"), 11);
  EXPECT_TRUE(theOptions.IsToFile());
  const std::string the259(259, 'p');
  EXPECT_EQ(theOptions.SetPath(the259), 260);
  EXPECT_EQ(theOptions.GetPath(), the259);
  EXPECT_FALSE(AssertionLogged("ExportOptions", "len < inArraySize"));
  EXPECT_EQ(theOptions.SetPath(std::string(260, 'q')), 0);
  EXPECT_EQ(theOptions.GetPath(), the259) << "the old path stays";
  EXPECT_TRUE(AssertionLogged("ExportOptions", "len < inArraySize"));

  TestExporter theFresh;
  EXPECT_EQ(theFresh.SetPath(std::string(300, 'q')), 0);
  EXPECT_TRUE(theFresh.IsToFile()) << "set even when the path is refused";
  EXPECT_EQ(theFresh.GetPath(), "");
  EXPECT_EQ(theFresh.SetPath(""), 1);
}

TEST(ExportOptions, SettersAnswerWhatTheyKeep)
{
  TestExporter theOptions;
  EXPECT_EQ(theOptions.SetQuality(1024), 1024);
  EXPECT_EQ(theOptions.SetInterlace(1), 1);
  EXPECT_EQ(theOptions.SetAlpha(1), 1);
  EXPECT_EQ(theOptions.SetType("image/png"), "image/png");
  theOptions.SetResolution(300, 150);
  EXPECT_EQ(theOptions.GetHorizontalResolution(), 300);
  EXPECT_EQ(theOptions.GetVerticalResolution(), 150);
}

TEST(ImportOptions, Defaults)
{
  TestImporter theOptions;
  EXPECT_EQ(theOptions.GetName(), "");
  EXPECT_EQ(theOptions.GetImageIndex(), 1);
  EXPECT_EQ(theOptions.GetTime(), 0.0f);
  EXPECT_EQ(theOptions.GetGraphicsMode(), 0);
  EXPECT_EQ(theOptions.GetDither(), 0);
  EXPECT_FALSE(theOptions.HasTransform());
  EXPECT_EQ(theOptions.GetTransform(), Transform());
  RECT theClip{1, 1, 1, 1};
  theOptions.GetClipRect(theClip);
  EXPECT_EQ(theClip.right, 0);
  EXPECT_EQ(theOptions.GetQTError(), 0);
  EXPECT_EQ(theOptions.GetWinError(), 0);
  EXPECT_EQ(theOptions.GetDepth(), 32);
  EXPECT_EQ(theOptions.DrawsAllPixels(), 1);
  RECT theBounds{};
  theOptions.GetBounds(theBounds);
  EXPECT_EQ(theBounds.right, 30) << "the natural bounds";

  theOptions.SetTransform(Transform(2, 0, 0, 2, 5, 5));
  EXPECT_TRUE(theOptions.HasTransform());
  EXPECT_EQ(theOptions.GetTransform(), Transform(2, 0, 0, 2, 5, 5));
  theOptions.SetGraphicsMode(36, RGBColor{1, 2, 3});
  EXPECT_EQ(theOptions.GetGraphicsMode(), 36);
  EXPECT_EQ(theOptions.GetOpColor().blue, 3);
  theOptions.SetClipRect(RECT{1, 2, 3, 4});
  theOptions.GetClipRect(theClip);
  EXPECT_EQ(theClip.bottom, 4);
}

TEST(ImportOptions, NamesAreCutAt259Bytes)
{
  struct Case {
    const char* mName;
    std::string mGiven;
    std::string mKept;
    bool mReported;
  } const kCases[] = {
    {"short", "photo.jpg", "photo.jpg", false},
    {"259 bytes", std::string(259, 'n'), std::string(259, 'n'), false},
    {"260 bytes", std::string(260, 'n'), std::string(259, 'n'), true},
    {"a two-byte character across the limit", std::string(258, 'n') + "\xC3\xA9", std::string(258, 'n'), true},
  };
  for (const Case& theCase : kCases) {
    const int theBefore = AssertionCount();
    TestImporter theOptions;
    theOptions.SetName(theCase.mGiven.c_str());
    EXPECT_EQ(theOptions.GetName(), theCase.mKept) << theCase.mName;
    EXPECT_EQ(AssertionCount() > theBefore, theCase.mReported) << theCase.mName;
  }
  EXPECT_TRUE(AssertionLogged("ImportOptions", "len < inArraySize"));
  TestImporter theOptions;
  theOptions.SetName("kept");
  theOptions.SetName(nullptr);
  EXPECT_EQ(theOptions.GetName(), "kept");
}

TEST(ImageInfoSource, Records)
{
  TestInfoReader theReader;
  EXPECT_EQ(theReader.GetCount(), 0);
  EXPECT_EQ(theReader.GetIPTCData(), nullptr);
  EXPECT_EQ(theReader.GetIPTCLength(), 0);
  theReader.SetFile("x");
  ASSERT_EQ(theReader.GetCount(), 2);
  EXPECT_EQ(theReader.GetRecord(1), (ImageInfoRecord{8, 96, 0, 0, 10, 10, 2, 1}));
  EXPECT_EQ(theReader.GetRecord(2), ImageInfoRecord{}) << "past the end";
  EXPECT_EQ(theReader.GetRecord(-1), ImageInfoRecord{});
  EXPECT_TRUE(AssertionLogged("ImageInfoSource", "inIndex < GetCount()"));
  theReader.Reset();
  EXPECT_EQ(theReader.GetCount(), 0);
}

}  // namespace
