#include "platform/base/Numbers.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace {

bool IsDigit(char inChar)
{
  return inChar >= '0' && inChar <= '9';
}

std::size_t SkipDigits(std::string_view inText, std::size_t inAt)
{
  while (inAt < inText.size() && IsDigit(inText[inAt]))
    ++inAt;
  return inAt;
}

// The C locale, made once; strtod_l and uselocale take it explicitly, so no
// thread ever changes another's locale.
locale_t CLocale()
{
  static const locale_t gLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return gLocale;
}

}  // namespace

ScanOutcome ScanDouble(std::string_view inText, double& outValue)
{
  std::size_t theAt = 0;
  if (theAt < inText.size() && (inText[theAt] == '+' || inText[theAt] == '-'))
    ++theAt;
  std::size_t theIntegerStart = theAt;
  theAt = SkipDigits(inText, theAt);
  const std::size_t theIntegerEnd = theAt;
  std::size_t theDigits = theAt - theIntegerStart;
  if (theAt < inText.size() && inText[theAt] == '.') {
    std::size_t theFractionStart = theAt + 1;
    std::size_t theFractionEnd = SkipDigits(inText, theFractionStart);
    theDigits += theFractionEnd - theFractionStart;
    if (theDigits > 0)
      theAt = theFractionEnd;
  }
  if (theDigits == 0)
    return {};
  if (theAt < inText.size() && (inText[theAt] == 'e' || inText[theAt] == 'E')) {
    std::size_t theExponent = theAt + 1;
    if (theExponent < inText.size() && (inText[theExponent] == '+' || inText[theExponent] == '-'))
      ++theExponent;
    std::size_t theExponentEnd = SkipDigits(inText, theExponent);
    if (theExponentEnd > theExponent)
      theAt = theExponentEnd;
  }

  // A whole number of at most 15 digits is exact as a double: no copy of the
  // text, no strtod_l (points and sizes are such numbers). A minus sign
  // applied to 0 keeps its sign, as strtod_l's -0 does.
  if (theAt == theIntegerEnd && theDigits <= 15) {
    double theWhole = 0;
    for (std::size_t i = theIntegerStart; i < theIntegerEnd; ++i)
      theWhole = theWhole * 10 + (inText[i] - '0');
    outValue = theIntegerStart > 0 && inText[0] == '-' ? -theWhole : theWhole;
    return {ScanStatus::kOk, theAt};
  }
  // The grammar is checked; strtod_l does the correctly rounded conversion.
  std::string theNumber(inText.substr(0, theAt));
  errno = 0;
  double theValue = strtod_l(theNumber.c_str(), nullptr, CLocale());
  ScanOutcome theOutcome{ScanStatus::kOk, theAt};
  // ERANGE also comes with a subnormal result, which is the value itself;
  // below the smallest subnormal strtod_l answers a signed 0.
  if (errno == ERANGE && std::isinf(theValue)) {
    theOutcome.mStatus = ScanStatus::kOutOfRange;
    theValue = std::copysign(std::numeric_limits<double>::max(), theValue);
  }
  outValue = theValue;
  return theOutcome;
}

ScanOutcome ScanInteger(std::string_view inText, int inBase, std::int64_t& outValue)
{
  if (inBase < 2 || inBase > 36)
    return {};
  std::size_t theAt = 0;
  bool theNegative = false;
  if (theAt < inText.size() && (inText[theAt] == '+' || inText[theAt] == '-')) {
    theNegative = inText[theAt] == '-';
    ++theAt;
  }
  std::size_t theStart = theAt;
  // Accumulate as a negative number, whose range is the larger one.
  std::int64_t theValue = 0;
  bool theOverflow = false;
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  for (; theAt < inText.size(); ++theAt) {
    char theChar = inText[theAt];
    int theDigit = IsDigit(theChar)                    ? theChar - '0'
                   : (theChar >= 'a' && theChar <= 'z') ? theChar - 'a' + 10
                   : (theChar >= 'A' && theChar <= 'Z') ? theChar - 'A' + 10
                                                        : 99;
    if (theDigit >= inBase)
      break;
    if (theOverflow)
      continue;
    if (theValue < (kMin + theDigit) / inBase) {
      theOverflow = true;
      continue;
    }
    theValue = theValue * inBase - theDigit;
  }
  if (theAt == theStart)
    return {};
  if (!theNegative) {
    if (theValue == kMin)
      theOverflow = true;
    else
      theValue = -theValue;
  }
  if (theOverflow)
    theValue = theNegative ? kMin : std::numeric_limits<std::int64_t>::max();
  outValue = theValue;
  return {theOverflow ? ScanStatus::kOutOfRange : ScanStatus::kOk, theAt};
}

std::string FormatC(const char* inFormat, ...)
{
  locale_t thePrevious = uselocale(CLocale());
  va_list theArguments;
  va_start(theArguments, inFormat);
  va_list theCopy;
  va_copy(theCopy, theArguments);
  int theLength = std::vsnprintf(nullptr, 0, inFormat, theCopy);
  va_end(theCopy);
  std::string theText;
  if (theLength > 0) {
    theText.resize(static_cast<std::size_t>(theLength));
    std::vsnprintf(theText.data(), theText.size() + 1, inFormat, theArguments);
  }
  va_end(theArguments);
  uselocale(thePrevious);
  return theText;
}
