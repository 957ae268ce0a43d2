#pragma once
// A Bitmap's pixels held locked for the life of the object, and a walk over
// 32-bit ones. The walk takes its rows and row length from the lock and its
// width from the pixels themselves (GetBounds), never from the Bitmap's
// wanted size, which a refused resize leaves ahead of the pixels.
//
//   PixelLock theLock(inWorld);
//   theLock.ForEachWord([&](DWORD& ioWord, LONG, LONG) {
//     ioWord = theLock.WithChannel(ioWord, kAlphaChannel, 255);
//   });

#include "core/Bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// The 8-bit channel of a pixel word under a mask; 0 for an empty mask.
inline DWORD ChannelOf(DWORD inWord, DWORD inMask, LONG inShift)
{
  return inMask ? ((inWord & inMask) >> inShift) & 0xFF : 0;
}

class PixelLock {
public:
  // Indices of Bitmap::GetChannelMasks.
  static constexpr int kRedChannel = 0;
  static constexpr int kGreenChannel = 1;
  static constexpr int kBlueChannel = 2;
  static constexpr int kAlphaChannel = 3;

  explicit PixelLock(Bitmap& inWorld) : mWorld(inWorld), mLocked(inWorld.LockPixels(mPixels))
  {
    mIs32Bit = mLocked && mPixels.mPixSize == 32 && inWorld.GetChannelMasks(&mMasks, &mShifts);
  }
  ~PixelLock()
  {
    if (mLocked)
      mWorld.UnlockPixels();
  }
  PixelLock(const PixelLock&) = delete;
  PixelLock& operator=(const PixelLock&) = delete;

  // False without pixels.
  bool IsLocked() const { return mLocked; }
  // Locked 32-bit pixels with known channel masks: what ForEachWord walks.
  bool Is32Bit() const { return mIs32Bit; }
  const LockedPixels& GetPixels() const { return mPixels; }
  // Is32Bit, with red, green and blue in bytes 2, 1 and 0 of each word.
  bool IsBGRABytes() const
  {
    return mIs32Bit && mMasks[kRedChannel] == 0x00FF0000 && mMasks[kGreenChannel] == 0x0000FF00 &&
           mMasks[kBlueChannel] == 0x000000FF;
  }

  // A channel of a word of 32-bit pixels, 0..255.
  DWORD Channel(DWORD inWord, int inChannel) const
  {
    return ChannelOf(inWord, mMasks[inChannel], mShifts[inChannel]);
  }
  // The word with one channel replaced by inValue (0..255), the other bits kept.
  DWORD WithChannel(DWORD inWord, int inChannel, DWORD inValue) const
  {
    const DWORD theMask = mMasks[inChannel];
    return theMask ? (inWord & ~theMask) | ((inValue << mShifts[inChannel]) & theMask) : inWord;
  }

  // Calls inVisit(word, x, y) for every pixel, top row first, and stores the
  // word it leaves; false, visiting nothing, unless Is32Bit.
  template <typename Visit>
  bool ForEachWord(Visit&& inVisit)
  {
    if (!mIs32Bit)
      return false;
    const LONG theWidth = std::min(mWorld.GetBounds().right, mPixels.mRowBytes / 4);
    for (LONG y = 0; y < mPixels.mHeight; ++y) {
      BYTE* theRow = mPixels.mBase + static_cast<std::ptrdiff_t>(y) * mPixels.mRowBytes;
      for (LONG x = 0; x < theWidth; ++x) {
        DWORD theWord;
        std::memcpy(&theWord, theRow + 4 * static_cast<std::ptrdiff_t>(x), 4);
        inVisit(theWord, x, y);
        std::memcpy(theRow + 4 * static_cast<std::ptrdiff_t>(x), &theWord, 4);
      }
    }
    return true;
  }

private:
  Bitmap& mWorld;
  LockedPixels mPixels;
  bool mLocked;
  bool mIs32Bit = false;
  const DWORD* mMasks = nullptr;
  const LONG* mShifts = nullptr;
};
