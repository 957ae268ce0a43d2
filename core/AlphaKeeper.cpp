#include "core/AlphaKeeper.h"

#include "core/Parameters.h"
#include "core/PixelLock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

AlphaKeeper::AlphaKeeper(Bitmap& inWorld, const RECT& inRect) : mWorld(inWorld)
{
  const RECT theBounds = inWorld.GetBounds();
  mRect = {std::max(inRect.left, theBounds.left), std::max(inRect.top, theBounds.top),
           std::min(inRect.right, theBounds.right), std::min(inRect.bottom, theBounds.bottom)};
  if (mRect.right <= mRect.left || mRect.bottom <= mRect.top)
    return;
  mAlpha.resize(static_cast<std::size_t>(mRect.right - mRect.left) * static_cast<std::size_t>(mRect.bottom - mRect.top));
  ForEachPixel([](DWORD& ioWord, BYTE& ioKept, const PixelLock& inLock) {
    ioKept = static_cast<BYTE>(inLock.Channel(ioWord, PixelLock::kAlphaChannel));
  });
}

void AlphaKeeper::Restore()
{
  ForEachPixel([](DWORD& ioWord, BYTE& ioKept, const PixelLock& inLock) {
    ioWord = inLock.WithChannel(ioWord, PixelLock::kAlphaChannel, ioKept);
  });
  mAlpha.clear();
}

template <typename Visit>
void AlphaKeeper::ForEachPixel(Visit&& inVisit)
{
  if (mAlpha.empty())
    return;
  PixelLock theLock(mWorld);
  if (!theLock.Is32Bit()) {
    mAlpha.clear();
    return;
  }
  const LockedPixels& thePixels = theLock.GetPixels();
  BYTE* theKept = mAlpha.data();
  for (LONG y = mRect.top; y < mRect.bottom; ++y) {
    BYTE* theRow = thePixels.mBase + static_cast<std::ptrdiff_t>(y) * thePixels.mRowBytes;
    for (LONG x = mRect.left; x < mRect.right; ++x, ++theKept) {
      DWORD theWord;
      std::memcpy(&theWord, theRow + 4 * static_cast<std::ptrdiff_t>(x), 4);
      inVisit(theWord, *theKept, theLock);
      std::memcpy(theRow + 4 * static_cast<std::ptrdiff_t>(x), &theWord, 4);
    }
  }
}

LONG CopyKeepingAlpha(Bitmap& ioWorld, HDC inSrcDC, const RECT& inSrcRect, const Transform& inTransform)
{
  // The mapped corners rounded, and a pixel more for the rounding.
  const RECT theBounds = MapRectBounds(inTransform, inSrcRect);
  const auto Moved = [](LONG inValue, LONGLONG inBy) {
    return static_cast<LONG>(std::clamp<LONGLONG>(inValue + inBy, INT32_MIN, INT32_MAX));
  };
  AlphaKeeper theAlpha(ioWorld, {Moved(theBounds.left, -1), Moved(theBounds.top, -1), Moved(theBounds.right, 1),
                                 Moved(theBounds.bottom, 1)});
  const LONG theStatus = ioWorld.CopyFromDCTransformed(inSrcDC, inSrcRect, inTransform);
  theAlpha.Restore();
  return theStatus;
}
