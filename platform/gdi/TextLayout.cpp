#include "platform/gdi/TextLayout.h"

namespace tlgdi {

namespace {

bool IsBlank(char32_t c)
{
  return c == U' ';
}

bool IsLineEnd(char32_t c)
{
  return c == U'\r' || c == U'\n';
}

// The index after the blanks from inAt on, and after one line end (CR LF
// counting as one) that follows them.
std::size_t PastBreak(std::u32string_view inText, std::size_t inAt)
{
  while (inAt < inText.size() && IsBlank(inText[inAt]))
    ++inAt;
  if (inAt < inText.size() && IsLineEnd(inText[inAt])) {
    const bool theCRLF = inText[inAt] == U'\r' && inAt + 1 < inText.size() && inText[inAt + 1] == U'\n';
    inAt += theCRLF ? 2 : 1;
  }
  return inAt;
}

}  // namespace

TextLayout TextLayout::Lay(std::u32string_view inText, const std::vector<std::int64_t>& inWidths,
                           const Options& inOptions)
{
  TextLayout theLayout;
  const std::size_t n = inText.size();
  if (inOptions.mMaxLines == 0)
    return theLayout;

  if (!inOptions.mWrap) {
    Line theLine{0, n, 0};
    std::int64_t theWidth = 0;
    for (std::size_t i = 0; i < n; ++i) {
      theWidth += inWidths[i];
      if (!IsBlank(inText[i]))
        theLine.mWidth = theWidth;
    }
    theLayout.mLines.push_back(theLine);
    theLayout.mNext = n;
    return theLayout;
  }

  std::size_t i = 0;
  while (i < n && theLayout.mLines.size() < inOptions.mMaxLines) {
    const std::size_t theStart = i;
    std::int64_t theWidth = 0;         // everything so far, blanks included
    std::int64_t theContentWidth = 0;  // up to the last character that is not blank
    std::size_t theContentEnd = theStart;
    std::size_t theSoftBreak = n;  // the last run of blanks after some content
    std::int64_t theSoftWidth = 0;
    Line theLine;
    std::size_t j = theStart;
    for (;;) {
      if (j == n) {
        theLine = Line{theStart, j, theContentWidth};
        i = n;
        break;
      }
      const char32_t c = inText[j];
      if (IsLineEnd(c)) {
        theLine = Line{theStart, j, theContentWidth};
        i = PastBreak(inText, j);
        break;
      }
      if (IsBlank(c)) {
        if (theContentEnd == j && j > theStart) {
          theSoftBreak = j;
          theSoftWidth = theContentWidth;
        }
        theWidth += inWidths[j++];
        continue;
      }
      if (j > theStart && theWidth + inWidths[j] > inOptions.mMaxWidth) {
        if (theSoftBreak != n) {
          theLine = Line{theStart, theSoftBreak, theSoftWidth};
          i = PastBreak(inText, theSoftBreak);
          break;
        }
        if (inOptions.mBreakWords) {
          theLine = Line{theStart, j, theContentWidth};
          i = j;
          break;
        }
        // The word stands alone on its line, however wide.
        while (j < n && !IsBlank(inText[j]) && !IsLineEnd(inText[j]))
          theWidth += inWidths[j++];
        theLine = Line{theStart, j, theWidth};
        i = PastBreak(inText, j);
        break;
      }
      theWidth += inWidths[j++];
      theContentWidth = theWidth;
      theContentEnd = j;
    }
    theLayout.mLines.push_back(theLine);
  }
  theLayout.mNext = i;
  return theLayout;
}

}  // namespace tlgdi
