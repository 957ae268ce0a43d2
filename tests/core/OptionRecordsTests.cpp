// The codecs' option records: colour counts and the byte limits of names and
// paths.

#include "core/ExportOptions.h"
#include "core/ImportOptions.h"
#include "tests/core/EventWatcher.h"

#include <gtest/gtest.h>

namespace {

class TestExporter : public ExportOptions {
public:
  LONG Write() override { return 0; }
};

class TestImporter : public ImportOptions {
public:
  void ReadFile(const char*) override {}
  void ReadData(const void*, LONG) override {}
  void GetNaturalBounds(RECT& outRect) override { outRect = RECT{}; }
  void Draw(Bitmap*) override {}
};

TEST(ExportOptions, ColorsGiveDepths)
{
  // Every count's depth is BitsForColorCount's (UtilitiesTests).
  const std::pair<LONG, LONG> kCases[] = {{256, 8}, {257, 16}, {2, 1}};
  for (const auto& [theColors, theDepth] : kCases) {
    TestExporter theOptions;
    EXPECT_EQ(theOptions.SetColors(theColors), theDepth) << theColors << " colours";
    EXPECT_EQ(theOptions.GetDepth(), theDepth) << theColors << " colours";
  }
}

TEST(ExportOptions, PathsOfAtMost259Bytes)
{
  TestExporter theOptions;
  const std::string the259(259, 'p');
  EXPECT_EQ(theOptions.SetPath(the259), 260);
  EXPECT_TRUE(theOptions.IsToFile());
  tltest::EventWatcher theWatcher;
  EXPECT_EQ(theOptions.SetPath(std::string(260, 'q')), 0);
  EXPECT_EQ(theOptions.GetPath(), the259) << "the old path stays";
  EXPECT_EQ(theWatcher.NewAssertions("ExportOptions"), std::vector<std::string>{"(len < inArraySize)"});
}

TEST(ImportOptions, NamesAreCutAt259Bytes)
{
  struct Case {
    const char* mName;
    std::string mGiven;
    std::string mKept;
    bool mReported;
  } const kCases[] = {
    {"259 bytes", std::string(259, 'n'), std::string(259, 'n'), false},
    {"260 bytes", std::string(260, 'n'), std::string(259, 'n'), true},
    {"a two-byte character across the limit", std::string(258, 'n') + "\xC3\xA9", std::string(258, 'n'), true},
  };
  for (const Case& theCase : kCases) {
    tltest::EventWatcher theWatcher;
    TestImporter theOptions;
    theOptions.SetName(theCase.mGiven.c_str());
    theOptions.SetName(nullptr);
    EXPECT_EQ(theOptions.GetName(), theCase.mKept) << theCase.mName;
    EXPECT_EQ(theWatcher.NewAssertions("ImportOptions").size(), theCase.mReported ? 1u : 0u) << theCase.mName;
  }
}

}  // namespace
