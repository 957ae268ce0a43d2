// Plain and Floyd-Steinberg mapping of 32-bit pixels onto a colour table.

#include "core/ColorReducer.h"

#include "core/EventLog.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace {

// A DIB section's row y counted from the top of the picture.
BYTE* PictureRow(const DIBSECTION& inDIB, LONG inY)
{
  const LONG theRowBytes = (inDIB.dsBm.bmWidthBytes + 3) & ~3;
  const LONG theRow = inDIB.dsBmih.biHeight < 0 ? inY : inDIB.dsBm.bmHeight - 1 - inY;
  return static_cast<BYTE*>(inDIB.dsBm.bmBits) + static_cast<std::ptrdiff_t>(theRow) * theRowBytes;
}

struct Channels {
  DWORD mMasks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  int mShifts[3] = {16, 8, 0};

  explicit Channels(const DIBSECTION& inDIB)
  {
    if (inDIB.dsBmih.biCompression == BI_BITFIELDS)
      std::copy(inDIB.dsBitfields, inDIB.dsBitfields + 3, mMasks);
    for (int c = 0; c < 3; ++c)
      mShifts[c] = mMasks[c] ? std::countr_zero(mMasks[c]) : 0;
  }

  // Red, green or blue of a pixel word; a zero mask reads 0.
  BYTE Get(DWORD inWord, int inChannel) const
  {
    return static_cast<BYTE>((inWord & mMasks[inChannel]) >> mShifts[inChannel]);
  }
};

DWORD Word(const BYTE* inRow, LONG inX)
{
  DWORD theWord;
  std::memcpy(&theWord, inRow + 4 * static_cast<std::ptrdiff_t>(inX), 4);
  return theWord;
}

// The buffered errors of one channel, addressable from -1 to width.
class ErrorRow {
public:
  bool Make(LONG inWidth)
  {
    try {
      mEntries.assign(static_cast<std::size_t>(inWidth) + 2, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  LONG& operator[](LONG inX) { return mEntries[static_cast<std::size_t>(inX + 1)]; }

private:
  std::vector<LONG> mEntries;
};

}  // namespace

bool ColorReducer::Reduce(const DIBSECTION* inSrc, const DIBSECTION* inDst, const RGBQUAD* inColorTable,
                          LONG inNumCols, bool inDither)
{
  TL_ASSERT_TEXT(inSrc && inDst, "inSrc && inDst");
  if (!inSrc || !inDst)
    return false;
  TL_ASSERT(inSrc->dsBm.bmHeight == inDst->dsBm.bmHeight);
  TL_ASSERT(inSrc->dsBm.bmWidth == inDst->dsBm.bmWidth);
  TL_ASSERT(inSrc->dsBm.bmBitsPixel == 32);
  TL_ASSERT(inDst->dsBm.bmBitsPixel == 8);
  if (inSrc->dsBm.bmHeight != inDst->dsBm.bmHeight || inSrc->dsBm.bmWidth != inDst->dsBm.bmWidth ||
      inSrc->dsBm.bmBitsPixel != 32 || inDst->dsBm.bmBitsPixel != 8 || !inSrc->dsBm.bmBits ||
      !inDst->dsBm.bmBits || inSrc->dsBm.bmWidth < 0 || inSrc->dsBm.bmHeight < 0 || !inColorTable || inNumCols < 1)
    return false;

  const LONG theWidth = inSrc->dsBm.bmWidth;
  const LONG theHeight = inSrc->dsBm.bmHeight;
  ErrorRow theErrors[3];
  for (ErrorRow& theRow : theErrors) {
    if (!theRow.Make(theWidth)) {
      TL_ASSERT_TEXT(FALSE, "error");
      return false;
    }
  }
  if (!mLookup.Init(inColorTable, inNumCols, mPaletteKind, true))
    return false;

  const Channels theChannels(*inSrc);
  const bool theGrey = mLookup.IsGreyKind();
  for (LONG r = 0; r < theHeight; ++r) {
    const BYTE* theSrc = PictureRow(*inSrc, r);
    BYTE* theDst = PictureRow(*inDst, r);
    if (!inDither) {
      for (LONG x = 0; x < theWidth; ++x) {
        const DWORD theWord = Word(theSrc, x);
        theDst[x] = mLookup.Map(theChannels.Get(theWord, 0), theChannels.Get(theWord, 1), theChannels.Get(theWord, 2));
      }
      continue;
    }

    const bool theRightward = (theHeight - 1 - r) % 2 == 0;
    const LONG theStep = theRightward ? 1 : -1;
    const LONG theFirst = theRightward ? 0 : theWidth - 1;
    LONG theCarry[3];
    for (int c = 0; c < 3; ++c)
      theCarry[c] = theErrors[c][theFirst];
    for (LONG x = theFirst; x >= 0 && x < theWidth; x += theStep) {
      const DWORD theWord = Word(theSrc, x);
      LONG theValue[3];
      for (int c = 0; c < 3; ++c)
        theValue[c] = std::clamp<LONG>(theChannels.Get(theWord, c) + theCarry[c], 0, 255);
      const BYTE theIndex =
        mLookup.Map(static_cast<BYTE>(theValue[0]), static_cast<BYTE>(theValue[1]), static_cast<BYTE>(theValue[2]));
      theDst[x] = theIndex;

      const RGBQUAD& theEntry = mLookup.Entry(theIndex);
      const LONG theEntryValue[3] = {theEntry.rgbRed, theEntry.rgbGreen, theEntry.rgbBlue};
      const LONG theGreyError = ((77 * theValue[0] + 150 * theValue[1] + 29 * theValue[2]) >> 8) - theEntry.rgbRed;
      for (int c = 0; c < 3; ++c) {
        const LONG e = theGrey ? theGreyError : theValue[c] - theEntryValue[c];
        ErrorRow& theRow = theErrors[c];
        if (e >= -2 && e <= 2) {
          theCarry[c] = theRow[x + theStep];
          theRow[x + theStep] = 0;
        } else {
          theCarry[c] = ((7 * e) >> 4) + theRow[x + theStep];
          theRow[x - theStep] += (3 * e) >> 4;
          theRow[x] += (5 * e) >> 4;
          theRow[x + theStep] = e >> 4;
        }
      }
    }
  }
  mLookup.Reset();
  return true;
}
