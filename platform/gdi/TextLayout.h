#pragma once
// The lines of DrawText: where a text breaks into lines, given the advance of
// each character and the width of the formatting rectangle. The rules are
// the ones Gdi.h states at DrawTextExW; this unit only counts, it knows no
// fonts or pixels. Every character is looked at no more than twice, so the
// time is linear in the text's length.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace tlgdi {

class TextLayout {
public:
  static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

  struct Line {
    std::size_t mStart = 0;  // characters mStart to mEnd - 1 are drawn
    std::size_t mEnd = 0;
    std::int64_t mWidth = 0;  // without trailing blanks
  };

  struct Options {
    std::int64_t mMaxWidth = 0;
    bool mWrap = false;        // word breaks and line ends; else one line
    bool mBreakWords = false;  // a word wider than the line is broken
    std::size_t mMaxLines = kNoLimit;
  };

  std::vector<Line> mLines;
  std::size_t mNext = 0;  // the first character not laid out

  // inWidths holds one advance per character of inText.
  static TextLayout Lay(std::u32string_view inText, const std::vector<std::int64_t>& inWidths,
                        const Options& inOptions);
};

}  // namespace tlgdi
