// The text functions of Gdi.h: colours and modes, metrics, TextOutW and
// DrawText, and MulDiv, which fonts are sized with.

#include "platform/gdi/Gdi.h"

#include "platform/base/Utf8.h"
#include "platform/gdi/GdiCalls.h"
#include "platform/gdi/Painter.h"
#include "platform/gdi/StockObjects.h"
#include "platform/gdi/TextDrawer.h"
#include "platform/gdi/TextLayout.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace tlgdi;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Text as characters, with where each one starts in the text it came from.
struct Characters {
  std::u32string mText;
  std::vector<std::size_t> mStarts;
  std::size_t mLength = 0;  // of the source, in its own units

  std::size_t SourceIndex(std::size_t inCharacter) const
  {
    return inCharacter < mStarts.size() ? mStarts[inCharacter] : mLength;
  }
};

// Bytes that are not UTF-8 and unpaired surrogates read as U+FFFD.
Characters FromUtf8(const char* inText, std::size_t inLength)
{
  Characters theResult;
  theResult.mLength = inLength;
  const std::string_view theText(inText, inLength);
  for (std::size_t i = 0; i < inLength;) {
    const utf8::Decoded theCode = utf8::Decode(theText.substr(i));
    theResult.mStarts.push_back(i);
    theResult.mText += theCode.mValid && !utf8::IsSurrogate(theCode.mCode) ? theCode.mCode : kReplacement;
    i += theCode.mUsed;
  }
  return theResult;
}

Characters FromUtf16(const WCHAR* inText, std::size_t inLength)
{
  Characters theResult;
  theResult.mLength = inLength;
  for (std::size_t i = 0; i < inLength;) {
    theResult.mStarts.push_back(i);
    const char32_t theUnit = inText[i];
    if (theUnit >= 0xD800 && theUnit < 0xDC00 && i + 1 < inLength && inText[i + 1] >= 0xDC00 && inText[i + 1] < 0xE000) {
      theResult.mText += 0x10000 + ((theUnit - 0xD800) << 10) + (inText[i + 1] - 0xDC00);
      i += 2;
    } else {
      theResult.mText += utf8::IsSurrogate(theUnit) ? kReplacement : theUnit;
      ++i;
    }
  }
  return theResult;
}

std::size_t Utf16Length(const WCHAR* inText)
{
  std::size_t theLength = 0;
  while (inText[theLength] != 0)
    ++theLength;
  return theLength;
}

LONG ToLong(std::int64_t inValue)
{
  return static_cast<LONG>(std::clamp<std::int64_t>(inValue, INT32_MIN, INT32_MAX));
}

// The font of the device context on the calling thread; false with the
// last error set when there is none.
bool OpenFont(const DeviceContext::DrawState& inState, TextDrawer& outDrawer)
{
  DWORD theError = ERROR_SUCCESS;
  if (!outDrawer.Open(inState, theError))
    return Fail<bool>(theError, false);
  return true;
}

bool HasPixels(const DeviceContext::DrawState& inState)
{
  return inState.mBitmap && !StockObjects::Get().IsPlaceholder(inState.mBitmap.get());
}

int DrawTextWith(HDC inDC, const Characters& inText, RECT* ioRect, UINT inFormat, DRAWTEXTPARAMS* ioParams)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return 0;
  if (!ioRect || (ioParams && ioParams->cbSize != sizeof(DRAWTEXTPARAMS)))
    return Fail<int>(ERROR_INVALID_PARAMETER);
  const DeviceContext::DrawState theState = theDC->ForDrawing();
  TextDrawer theDrawer;
  if (!OpenFont(theState, theDrawer))
    return 0;
  const std::int64_t theLineHeight = theDrawer.Metrics().tmHeight;
  const bool theMeasure = (inFormat & DT_CALCRECT) != 0;
  const bool theSingle = (inFormat & DT_SINGLELINE) != 0 || (inFormat & DT_WORDBREAK) == 0;

  if (inText.mText.empty()) {
    if (theMeasure) {
      ioRect->right = ioRect->left;
      ioRect->bottom = theSingle ? ToLong(std::int64_t(ioRect->top) + theLineHeight) : ioRect->top;
    }
    if (ioParams)
      ioParams->uiLengthDrawn = 0;
    return static_cast<int>(theLineHeight);
  }

  const std::int64_t theLeft = std::int64_t(ioRect->left) + (ioParams ? ioParams->iLeftMargin : 0);
  const std::int64_t theRight = std::int64_t(ioRect->right) - (ioParams ? ioParams->iRightMargin : 0);
  std::vector<std::int64_t> theWidths(inText.mText.size());
  for (std::size_t i = 0; i < theWidths.size(); ++i)
    theWidths[i] = theDrawer.Advance(inText.mText[i]);
  TextLayout::Options theOptions;
  theOptions.mMaxWidth = theRight - theLeft;
  theOptions.mWrap = !theSingle;
  theOptions.mBreakWords = (inFormat & DT_EDITCONTROL) != 0;
  if (theOptions.mBreakWords && !theMeasure) {
    const std::int64_t theRoom = std::int64_t(ioRect->bottom) - ioRect->top;
    theOptions.mMaxLines = theRoom < 0 ? 0 : theLineHeight > 0 ? theRoom / theLineHeight : TextLayout::kNoLimit;
  }
  const TextLayout theLayout = TextLayout::Lay(inText.mText, theWidths, theOptions);
  if (ioParams)
    ioParams->uiLengthDrawn = static_cast<UINT>(inText.SourceIndex(theLayout.mNext));
  const std::int64_t theHeight = static_cast<std::int64_t>(theLayout.mLines.size()) * theLineHeight;

  if (theMeasure) {
    std::int64_t theWidest = 0;
    for (const TextLayout::Line& theLine : theLayout.mLines)
      theWidest = std::max(theWidest, theLine.mWidth);
    ioRect->right = ToLong(theLeft + theWidest + (ioParams ? ioParams->iRightMargin : 0));
    ioRect->bottom = ToLong(std::int64_t(ioRect->top) + theHeight);
    return static_cast<int>(ToLong(theHeight));
  }

  const bool theRecording = theDC->IsPathOpen();
  if (!theRecording && !HasPixels(theState))
    return static_cast<int>(ToLong(theHeight));
  std::optional<Painter> thePainter;
  Path thePath;
  if (!theRecording) {
    thePainter.emplace(theState.mBitmap->View(), theState.mBitmap->Colors());
    thePainter->SetClip(Box{double(ioRect->left), double(ioRect->top), double(ioRect->right), double(ioRect->bottom)},
                        Affine::From(theState.mTransform));
  }
  for (std::size_t i = 0; i < theLayout.mLines.size(); ++i) {
    const TextLayout::Line& theLine = theLayout.mLines[i];
    const double y = double(ioRect->top) + double(i) * double(theLineHeight);
    if (!theRecording && y >= ioRect->bottom)
      break;
    std::int64_t x = theLeft;
    if (inFormat & DT_CENTER)
      x = theLeft + (theRight - theLeft - theLine.mWidth) / 2;
    else if (inFormat & DT_RIGHT)
      x = theRight - theLine.mWidth;
    const std::u32string_view theCharacters =
      std::u32string_view(inText.mText).substr(theLine.mStart, theLine.mEnd - theLine.mStart);
    if (theRecording)
      theDrawer.AddToPath(thePath, theCharacters, double(x), y);
    else if (!theDrawer.Draw(*thePainter, theCharacters, double(x), y))
      return Fail<int>(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (theRecording)
    theDC->AddToPath(thePath);
  return static_cast<int>(ToLong(theHeight));
}

}  // namespace

// ---------------------------------------------------------------------------
// Colours and modes

COLORREF SetTextColor(HDC inDC, COLORREF inColor)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return CLR_INVALID;
  return theDC->SetTextColor(inColor & 0x00FFFFFFu);
}

int SetBkMode(HDC inDC, int inMode)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return 0;
  if (inMode != TRANSPARENT && inMode != OPAQUE)
    return Fail<int>(ERROR_INVALID_PARAMETER);
  return theDC->SetBkMode(inMode);
}

int MulDiv(int inNumber, int inNumerator, int inDenominator)
{
  if (inDenominator == 0)
    return Fail<int>(ERROR_INVALID_PARAMETER, -1);
  const std::int64_t theProduct = std::int64_t(inNumber) * inNumerator;
  const std::uint64_t theMagnitude = theProduct < 0 ? 0 - std::uint64_t(theProduct) : std::uint64_t(theProduct);
  const std::uint64_t theDivisor = inDenominator < 0 ? 0 - std::uint64_t(std::int64_t(inDenominator))
                                                     : std::uint64_t(inDenominator);
  const std::uint64_t theQuotient = (theMagnitude + theDivisor / 2) / theDivisor;
  const bool theNegative = (theProduct < 0) != (inDenominator < 0);
  if (theQuotient > (theNegative ? 0x80000000ull : 0x7FFFFFFFull))
    return Fail<int>(ERROR_ARITHMETIC_OVERFLOW, -1);
  return theNegative ? static_cast<int>(-static_cast<std::int64_t>(theQuotient)) : static_cast<int>(theQuotient);
}

// ---------------------------------------------------------------------------
// Text

BOOL GetTextMetricsW(HDC inDC, TEXTMETRICW* outMetrics)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!outMetrics)
    return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&] {
    TextDrawer theDrawer;
    if (!OpenFont(theDC->ForDrawing(), theDrawer))
      return FALSE;
    *outMetrics = theDrawer.Metrics();
    return TRUE;
  });
}

BOOL GetCharWidthW(HDC inDC, UINT inFirst, UINT inLast, INT* outWidths)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (!outWidths || inLast < inFirst)
    return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&] {
    TextDrawer theDrawer;
    if (!OpenFont(theDC->ForDrawing(), theDrawer))
      return FALSE;
    for (std::uint64_t c = inFirst; c <= inLast; ++c)
      outWidths[c - inFirst] = ToLong(theDrawer.Advance(static_cast<char32_t>(c)));
    return TRUE;
  });
}

BOOL TextOutW(HDC inDC, int inX, int inY, LPCWSTR inText, int inCount)
{
  std::shared_ptr<DeviceContext> theDC = FindDC(inDC);
  if (!theDC)
    return FALSE;
  if (inCount < 0 || (!inText && inCount > 0))
    return Fail<BOOL>(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&] {
    const DeviceContext::DrawState theState = theDC->ForDrawing();
    TextDrawer theDrawer;
    if (!OpenFont(theState, theDrawer))
      return FALSE;
    const Characters theText = FromUtf16(inText, static_cast<std::size_t>(inCount));
    if (theDC->IsPathOpen()) {
      Path thePath;
      theDrawer.AddToPath(thePath, theText.mText, inX, inY);
      theDC->AddToPath(thePath);
    } else if (HasPixels(theState)) {
      Painter thePainter(theState.mBitmap->View(), theState.mBitmap->Colors());
      if (!theDrawer.Draw(thePainter, theText.mText, inX, inY))
        return Fail<BOOL>(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
  });
}

int DrawTextExA(HDC inDC, LPCSTR inText, int inCount, RECT* ioRect, UINT inFormat, DRAWTEXTPARAMS* ioParams)
{
  if (inCount < -1 || (!inText && inCount != 0))
    return Fail<int>(ERROR_INVALID_PARAMETER);
  return Guarded<int>(0, [&] {
    const std::size_t theLength = inCount == -1 ? std::strlen(inText) : static_cast<std::size_t>(inCount);
    return DrawTextWith(inDC, FromUtf8(inText, theLength), ioRect, inFormat, ioParams);
  });
}

int DrawTextExW(HDC inDC, LPCWSTR inText, int inCount, RECT* ioRect, UINT inFormat, DRAWTEXTPARAMS* ioParams)
{
  if (inCount < -1 || (!inText && inCount != 0))
    return Fail<int>(ERROR_INVALID_PARAMETER);
  return Guarded<int>(0, [&] {
    const std::size_t theLength = inCount == -1 ? Utf16Length(inText) : static_cast<std::size_t>(inCount);
    return DrawTextWith(inDC, FromUtf16(inText, theLength), ioRect, inFormat, ioParams);
  });
}

int DrawTextA(HDC inDC, LPCSTR inText, int inCount, RECT* ioRect, UINT inFormat)
{
  return DrawTextExA(inDC, inText, inCount, ioRect, inFormat, nullptr);
}

int DrawTextW(HDC inDC, LPCWSTR inText, int inCount, RECT* ioRect, UINT inFormat)
{
  return DrawTextExW(inDC, inText, inCount, ioRect, inFormat, nullptr);
}
