// Value strings: the first byte picks a parser, the rest is its text. What a
// parser accepts formats back into text that it reads again as the same
// value (colours, written as percentages, as nearly the same);
// lists keep to their limits and points to their range.

#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"
#include "platform/base/Numbers.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Parse, format, parse again: the two values agree.
template <typename T, typename Parse, typename Format>
void RoundTrip(std::string_view inText, Parse inParse, Format inFormat)
{
  T theValue{};
  if (!inParse(inText, theValue))
    return;
  T theAgain{};
  TL_FUZZ_CHECK(inParse(inFormat(theValue), theAgain));
  TL_FUZZ_CHECK(inFormat(theAgain) == inFormat(theValue));
}

void CheckColor(std::string_view inText)
{
  ColorValue theColor;
  if (!ParseColor(inText, theColor))
    return;
  const std::string theText = FormatColor(theColor);
  ColorValue theOnce;
  TL_FUZZ_CHECK(ParseColor(theText, theOnce));
  TL_FUZZ_CHECK(theOnce.IsPattern() == theColor.IsPattern());
  // Percentages are written as c x 100 / 65280 to one decimal and read as
  // p x 0.01 x 65535: a channel comes back within 300 of itself.
  if (theColor.IsPattern())
    return;
  for (auto theChannel : {&ColorValue::mRed, &ColorValue::mGreen, &ColorValue::mBlue, &ColorValue::mAlpha})
    TL_FUZZ_CHECK(std::abs(static_cast<int>(theOnce.*theChannel) - static_cast<int>(theColor.*theChannel)) <= 300);
}

void CheckLists(std::string_view inText, std::size_t inMax)
{
  std::vector<LONG> theLongs;
  if (ParseLongList(inText, theLongs, inMax))
    TL_FUZZ_CHECK(theLongs.size() <= inMax);
  std::vector<float> theFloats;
  if (ParseFloatList(inText, theFloats, inMax)) {
    TL_FUZZ_CHECK(theFloats.size() <= inMax);
    for (float theValue : theFloats)
      TL_FUZZ_CHECK(std::isfinite(theValue));
  }
  std::vector<FloatPoint> thePoints;
  if (ParseFloatPoints(inText, thePoints, inMax)) {
    TL_FUZZ_CHECK(thePoints.size() <= inMax);
    for (const FloatPoint& thePoint : thePoints)
      TL_FUZZ_CHECK(std::abs(thePoint.x) < 32768 && std::abs(thePoint.y) < 32768);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const int theParser = theInput.Between(0, 9);
  const std::size_t theMax = static_cast<std::size_t>(theInput.Between(0, 8));
  const std::string_view theText = theInput.Rest();
  switch (theParser) {
    case 0: RoundTrip<RECT>(theText, ParseRect, FormatRect); break;
    case 1: RoundTrip<POINT>(theText, ParsePoint, FormatPoint); break;
    case 2: RoundTrip<LONG>(theText, ParseLong, FormatLong); break;
    case 3: RoundTrip<FontStyle>(theText, ParseTextStyle, FormatTextStyle); break;
    case 4: RoundTrip<LONG>(theText, ParseHAlign, FormatHAlign); break;
    case 5: RoundTrip<LONG>(theText, ParseVAlign, FormatVAlign); break;
    case 6: CheckColor(theText); break;
    case 7: CheckLists(theText, theMax); break;
    case 8: {
      float theValue = 0;
      if (ParseFloat(theText, theValue)) {
        TL_FUZZ_CHECK(std::isfinite(theValue));
        float theAgain = 0;
        TL_FUZZ_CHECK(ParseFloat(FormatC("%.9g", static_cast<double>(theValue)), theAgain) && theAgain == theValue);
      }
      break;
    }
    default: {
      LONG theCharset = 0;
      if (ParseCharset(theText, theCharset) && theCharset != 134) {
        LONG theAgain = -1;
        TL_FUZZ_CHECK(ParseCharset(FormatCharset(theCharset), theAgain) && theAgain == theCharset);
      }
      break;
    }
  }
  return 0;
}
