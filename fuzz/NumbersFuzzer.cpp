// Number scanning and formatting, in a process whose locale writes a decimal
// comma when the machine has one: ScanDouble reads exactly its grammar's
// prefix with strtod's correctly rounded value (subnormals included, no nan,
// inf or hexadecimal), ScanInteger agrees with a wide accumulation in every
// base, and what FormatC writes with 17 digits reads back exactly.

#include "fuzz/FuzzSupport.h"
#include "platform/base/Numbers.h"

#include <clocale>
#include <cmath>
#include <limits>
#include <locale.h>
#include <string>

namespace {

bool IsDigit(char inChar)
{
  return inChar >= '0' && inChar <= '9';
}

// The length of the longest prefix that the decimal grammar takes.
std::size_t GrammarLength(std::string_view inText)
{
  std::size_t theAt = 0;
  auto theDigits = [&] {
    const std::size_t theStart = theAt;
    while (theAt < inText.size() && IsDigit(inText[theAt]))
      ++theAt;
    return theAt - theStart;
  };
  if (theAt < inText.size() && (inText[theAt] == '+' || inText[theAt] == '-'))
    ++theAt;
  std::size_t theCount = theDigits();
  if (theAt < inText.size() && inText[theAt] == '.') {
    const std::size_t thePoint = theAt++;
    const std::size_t theFraction = theDigits();
    if (theCount + theFraction == 0)
      theAt = thePoint;
    theCount += theFraction;
  }
  if (theCount == 0)
    return 0;
  if (theAt < inText.size() && (inText[theAt] == 'e' || inText[theAt] == 'E')) {
    const std::size_t theMark = theAt++;
    if (theAt < inText.size() && (inText[theAt] == '+' || inText[theAt] == '-'))
      ++theAt;
    if (theDigits() == 0)
      theAt = theMark;
  }
  return theAt;
}

void CheckDouble(std::string_view inText)
{
  double theValue = -42;
  const ScanOutcome theOutcome = ScanDouble(inText, theValue);
  TL_FUZZ_CHECK(theOutcome.mUsed == GrammarLength(inText));
  if (theOutcome.mStatus == ScanStatus::kNone) {
    TL_FUZZ_CHECK(theValue == -42);
    return;
  }
  static const locale_t gC = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const double theExpected = strtod_l(std::string(inText.substr(0, theOutcome.mUsed)).c_str(), nullptr, gC);
  if (std::isinf(theExpected)) {
    TL_FUZZ_CHECK(theOutcome.mStatus == ScanStatus::kOutOfRange);
    TL_FUZZ_CHECK(theValue == std::copysign(std::numeric_limits<double>::max(), theExpected));
  } else {
    TL_FUZZ_CHECK(theOutcome.mStatus == ScanStatus::kOk);
    TL_FUZZ_CHECK(theValue == theExpected && std::signbit(theValue) == std::signbit(theExpected));
  }
}

void CheckInteger(std::string_view inText, int inBase)
{
  std::int64_t theValue = 0;
  const ScanOutcome theOutcome = ScanInteger(inText, inBase, theValue);
  std::size_t theAt = 0;
  const bool theNegative = !inText.empty() && inText[0] == '-';
  if (!inText.empty() && (inText[0] == '-' || inText[0] == '+'))
    ++theAt;
  const std::size_t theStart = theAt;
  __int128 theWide = 0;
  for (; theAt < inText.size(); ++theAt) {
    const char c = inText[theAt];
    const int theDigit = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'z') ? c - 'a' + 10 : (c >= 'A' && c <= 'Z') ? c - 'A' + 10 : 99;
    if (theDigit >= inBase)
      break;
    theWide = std::min<__int128>(theWide * inBase + theDigit, __int128{1} << 70);
  }
  if (theAt == theStart) {
    TL_FUZZ_CHECK(theOutcome.mStatus == ScanStatus::kNone && theOutcome.mUsed == 0);
    return;
  }
  TL_FUZZ_CHECK(theOutcome.mUsed == theAt);
  if (theNegative)
    theWide = -theWide;
  const __int128 theClamped = std::clamp<__int128>(theWide, std::numeric_limits<std::int64_t>::min(),
                                                   std::numeric_limits<std::int64_t>::max());
  TL_FUZZ_CHECK(theValue == static_cast<std::int64_t>(theClamped));
  TL_FUZZ_CHECK((theOutcome.mStatus == ScanStatus::kOutOfRange) == (theClamped != theWide));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  const int theBase = theInput.Between(2, 36);
  const double theNumber = theInput.Take<double>();
  const std::string_view theText = theInput.Rest();
  CheckDouble(theText);
  CheckInteger(theText, theBase);
  if (std::isfinite(theNumber)) {
    const std::string theWritten = FormatC("%.17g", theNumber);
    double theBack = 0;
    TL_FUZZ_CHECK(ScanDouble(theWritten, theBack).mUsed == theWritten.size());
    TL_FUZZ_CHECK(theBack == theNumber);
  }
  return 0;
}
