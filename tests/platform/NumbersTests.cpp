#include "platform/base/Numbers.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

TEST(Numbers, ScansPlainDecimals)
{
  struct Case {
    const char* mText;
    ScanStatus mStatus;
    std::size_t mUsed;
    double mValue;
  };
  const Case kCases[] = {
    {"12.5abc", ScanStatus::kOk, 4, 12.5},
    {"+.5", ScanStatus::kOk, 3, 0.5},
    {"1e3", ScanStatus::kOk, 3, 1000.0},
    {"1e+", ScanStatus::kOk, 1, 1.0},
    {"2E-2x", ScanStatus::kOk, 4, 0.02},
    {"1e999", ScanStatus::kOutOfRange, 5, std::numeric_limits<double>::max()},
    {"1e-999", ScanStatus::kOk, 6, 0.0},
    // Subnormals keep their value (strtod's ERANGE for them is no underflow to 0).
    {"4.94065645841247E-324", ScanStatus::kOk, 21, std::numeric_limits<double>::denorm_min()},
    {"1e-310", ScanStatus::kOk, 6, 1e-310},
    {"-2.2250738585072009e-308", ScanStatus::kOk, 24, -2.2250738585072009e-308},
    {".", ScanStatus::kNone, 0, 0},
    {" 1", ScanStatus::kNone, 0, 0},
    {"nan", ScanStatus::kNone, 0, 0},
    {"0x10", ScanStatus::kOk, 1, 0.0},
    {"", ScanStatus::kNone, 0, 0},
  };
  for (const Case& theCase : kCases) {
    double theValue = -42;
    ScanOutcome theOutcome = ScanDouble(theCase.mText, theValue);
    EXPECT_EQ(theOutcome.mStatus, theCase.mStatus) << theCase.mText;
    EXPECT_EQ(theOutcome.mUsed, theCase.mUsed) << theCase.mText;
    if (theOutcome.mStatus != ScanStatus::kNone)
      EXPECT_EQ(theValue, theCase.mValue) << theCase.mText;
    else
      EXPECT_EQ(theValue, -42) << "untouched on failure: " << theCase.mText;
  }
}

TEST(Numbers, ScansIntegersInAnyBase)
{
  std::int64_t theValue = 0;
  EXPECT_EQ(ScanInteger("ff;", 16, theValue).mUsed, 2u);
  EXPECT_EQ(theValue, 255);
  EXPECT_EQ(ScanInteger("-9223372036854775808", 10, theValue).mStatus, ScanStatus::kOk);
  EXPECT_EQ(theValue, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ScanInteger("9223372036854775808", 10, theValue).mStatus, ScanStatus::kOutOfRange);
  EXPECT_EQ(theValue, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ScanInteger("0x10", 16, theValue).mUsed, 1u);
  EXPECT_EQ(ScanInteger("z", 10, theValue).mStatus, ScanStatus::kNone);
}

TEST(Numbers, IgnoresTheProcessLocale)
{
  ASSERT_TRUE(tltest::SwitchToCommaLocale(LC_NUMERIC));
  EXPECT_EQ(FormatC("%.1f", 100.0), "100.0");
  double theValue = 0;
  EXPECT_EQ(ScanDouble("1.5", theValue).mUsed, 3u);
  EXPECT_EQ(theValue, 1.5);
  std::setlocale(LC_NUMERIC, "C");
}
