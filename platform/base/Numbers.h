#pragma once
// Numbers read and written the same way whatever the process locale: '.' is
// the decimal point, there is no thousands separator, and nothing but plain
// decimal (or, for integers, the base asked for) is accepted: no "nan", "inf"
// or hexadecimal floats.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class ScanStatus {
  kNone,        // no number at the start of the text
  kOk,
  kOutOfRange,  // a number, too large for the type (the value is clamped)
};

struct ScanOutcome {
  ScanStatus mStatus = ScanStatus::kNone;
  std::size_t mUsed = 0;  // characters that make up the number
};

// [+|-] digits [. [digits]] [(e|E) [+|-] digits], or [+|-] . digits [...], at the
// very start of inText (no blanks are skipped). An exponent without digits is
// not part of the number. A subnormal value reads as itself, one below the
// smallest subnormal as 0 (with its sign).
ScanOutcome ScanDouble(std::string_view inText, double& outValue);

// [+|-] digits in inBase (2 to 36; 16 takes no "0x" prefix), at the start of
// inText. Out-of-range values are clamped to the int64_t range.
ScanOutcome ScanInteger(std::string_view inText, int inBase, std::int64_t& outValue);

// printf in the "C" locale.
std::string FormatC(const char* inFormat, ...) __attribute__((format(printf, 1, 2)));
