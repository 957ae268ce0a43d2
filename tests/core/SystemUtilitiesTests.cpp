#include "core/FontNames.h"
#include "core/SystemUtilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(SystemUtilities, KnowsThisSystemAsALaterNT)
{
  EXPECT_EQ(GetOSKind(), kOSUnknown);
  EXPECT_TRUE(IsNT5OrLater());
}

TEST(SystemUtilities, RoundsHalfAwayFromZero)
{
  struct Case {
    double mValue;
    LONG mRounded;
  };
  const Case kCases[] = {{2.5, 3},
                         {-2.5, -3},
                         {2.49, 2},
                         {-2.49, -2},
                         {0.0, 0},
                         {-0.5, -1},
                         {1e12, 2147483647},
                         {-1e12, -2147483647 - 1},
                         {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const Case& theCase : kCases)
    EXPECT_EQ(RoundToLong(theCase.mValue), theCase.mRounded) << theCase.mValue;
  EXPECT_EQ(TruncToLong(-2.7), -2);
  EXPECT_EQ(ClampToLong(LONGLONG{1} << 40), 2147483647);
}

TEST(SystemUtilities, FindsTheLowestSetBit)
{
  EXPECT_EQ(LowestSetBit(0), -1);
  EXPECT_EQ(LowestSetBit(1), 0);
  EXPECT_EQ(LowestSetBit(0x00FF0000), 16);
  EXPECT_EQ(LowestSetBit(0x80000000u), 31);
  EXPECT_EQ(LowestSetBit(0x7C00), 10);
}

TEST(SystemUtilities, RecognisesURLs)
{
  for (const char* theURL : {"http://example.com/a.gif", "HTTP://x", "ftp://host/file", "Rtsp://stream"})
    EXPECT_TRUE(IsURL(theURL)) << theURL;
  for (const char* thePath : {"https://example.com", "/srv/http://x", "http:/x", "file://x", "", "ftp:"})
    EXPECT_FALSE(IsURL(thePath)) << thePath;
}

TEST(FontNames, PicksAnInstalledFamilyFromAList)
{
  const std::vector<std::string> theFamilies = EnumFontNames(1, "", 0);
  ASSERT_NE(std::find(theFamilies.begin(), theFamilies.end(), "DejaVu Sans"), theFamilies.end())
    << "fonts-dejavu-core is not installed";

  struct Case {
    const char* mList;
    const char* mFace;
  };
  const Case kCases[] = {
    {"Arial,DejaVu Sans", "DejaVu Sans"},
    {"No Such Family, dejavu sans", "DejaVu Sans"},  // a leading blank is skipped, case ignored
    {"No Such Family,DejaVu Se", "DejaVu Serif"},    // the beginning of a name
    {"No Such Family,Liberation Sans", "Liberation Sans"},
    {"No Such Family", "kept"},
    {"Nothing,,Else", theFamilies.front().c_str()},  // an empty item matches the first family
  };
  for (const Case& theCase : kCases) {
    std::string theFace = "kept";
    PickInstalledFont(1, theCase.mList, theFace);
    EXPECT_EQ(theFace, theCase.mFace) << theCase.mList;
  }

  std::string theName;
  EXPECT_TRUE(FindFontName({"Alpha Beta", "Alpha", "alphabet"}, "ALPHA", theName));
  EXPECT_EQ(theName, "Alpha");
  EXPECT_TRUE(FindFontName({"Alpha Beta", "alphabet"}, "alpha", theName));
  EXPECT_EQ(theName, "Alpha Beta");
  EXPECT_FALSE(FindFontName({"Alpha"}, "Alphas", theName));

  const std::vector<std::string> theOne = EnumFontNames(1, "DejaVu Sans", 0);
  EXPECT_EQ(theOne, std::vector<std::string>{"DejaVu Sans"});
}
