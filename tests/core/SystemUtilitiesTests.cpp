#include "core/FontNames.h"
#include "core/SystemUtilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

TEST(SystemUtilities, RoundsBitsAndURLs)
{
  EXPECT_EQ(GetOSKind(), kOSUnknown);
  EXPECT_TRUE(IsNT5OrLater());
  const std::pair<double, LONG> kRounded[] = {{2.5, 3},    {-2.5, -3},  {2.49, 2}, {-2.49, -2}, {-0.5, -1},
                                              {1e12, 2147483647}, {-1e12, -2147483647 - 1},
                                              {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const auto& [theValue, theRounded] : kRounded)
    EXPECT_EQ(RoundToLong(theValue), theRounded) << theValue;
  EXPECT_EQ(ClampToLong(LONGLONG{1} << 40), 2147483647);

  const std::pair<DWORD, LONG> kBits[] = {{0, -1}, {1, 0}, {0x7C00, 10}, {0x00FF0000, 16}, {0x80000000u, 31}};
  for (const auto& [theMask, theBit] : kBits)
    EXPECT_EQ(LowestSetBit(theMask), theBit) << theMask;

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
  EXPECT_EQ(EnumFontNames(1, "DejaVu Sans", 0), std::vector<std::string>{"DejaVu Sans"});
  const std::pair<const char*, const char*> kCases[] = {
    {"Arial,DejaVu Sans", "DejaVu Sans"},
    {"No Such Family, dejavu sans", "DejaVu Sans"},  // a leading blank is skipped, case ignored
    {"No Such Family,DejaVu Se", "DejaVu Serif"},    // the beginning of a name
    {"No Such Family", "kept"},
    {"Nothing,,Else", theFamilies.front().c_str()},  // an empty item matches the first family
  };
  for (const auto& [theList, theWanted] : kCases) {
    std::string theFace = "kept";
    PickInstalledFont(1, theList, theFace);
    EXPECT_EQ(theFace, theWanted) << theList;
  }
  // An exact name wins over a longer one found first.
  std::string theName;
  EXPECT_TRUE(FindFontName({"Alpha Beta", "Alpha", "alphabet"}, "ALPHA", theName));
  EXPECT_EQ(theName, "Alpha");
  EXPECT_FALSE(FindFontName({"Alpha"}, "Alphas", theName));
}
