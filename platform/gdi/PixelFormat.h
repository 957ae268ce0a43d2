#pragma once
// The pixel layouts of DIB sections and bitmaps, and the reading and writing
// of pixel spans through one common form: a 32-bit word 0xAARRGGBB (bytes
// B, G, R, A in memory).
//
// Layouts: 1, 4 and 8 bits index a colour table (the most significant bits
// of a byte are the leftmost pixel); 16 bits are a little-endian word split
// by three masks (5-5-5 unless bit fields say otherwise); 24 bits are the
// bytes B, G, R; 32 bits are a little-endian word split by three masks
// (0x00FF0000, 0x0000FF00, 0x000000FF unless bit fields say otherwise) whose
// remaining bits, when they form one field, are alpha.
//
// Channel scaling: a channel c of n bits reads as (255 c + m / 2) / m with
// m = 2^n - 1, and an 8-bit value v writes as (m v + 127) / 255 (integer
// division), so 8-bit channels pass unchanged and every n-bit value survives
// a read and a write. Formats without alpha read alpha 0.

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <optional>

namespace tlgdi {

class NearestColor;

// A COLORREF (0x00BBGGRR) in the common form, alpha 0.
constexpr std::uint32_t PixelFromColorRef(COLORREF inColor)
{
  return (static_cast<std::uint32_t>(GetRValue(inColor)) << 16) | (static_cast<std::uint32_t>(GetGValue(inColor)) << 8) |
         GetBValue(inColor);
}

class PixelFormat {
public:
  // A valid layout, or nothing: inBitCount 1, 4, 8, 16, 24 or 32; inMasks
  // (red, green, blue) are read only for BI_BITFIELDS with 16 or 32 bits and
  // must be non-zero, contiguous, disjoint and inside the pixel.
  static std::optional<PixelFormat> Make(int inBitCount, DWORD inCompression, const DWORD inMasks[3]);

  int BitCount() const { return mBitCount; }
  bool IsIndexed() const { return mBitCount <= 8; }
  bool HasBitFields() const { return mBitFields; }
  // 32 bits whose word is the common form itself (B, G, R, A in memory).
  bool IsNativeWord() const { return mNativeWord; }
  DWORD RedMask() const { return mRed.mMask; }
  DWORD GreenMask() const { return mGreen.mMask; }
  DWORD BlueMask() const { return mBlue.mMask; }

  // Same bits for the same colours (indexed layouts: with equal tables).
  bool SameLayout(const PixelFormat& inOther) const;

  // Reads the pixels at inXs[i] of their rows inRows[i]; inTable holds the
  // colours of an indexed layout as 0x00RRGGBB words.
  void Read(const std::uint8_t* const* inRows, const std::int32_t* inXs, int inCount,
            const std::uint32_t* inTable, std::uint32_t* outPixels) const;

  // Writes inCount pixels from inX on; indexed layouts map each colour to its
  // nearest table entry through inLookup.
  void Write(std::uint8_t* inRow, std::int32_t inX, int inCount, const std::uint32_t* inPixels,
             NearestColor* inLookup) const;

private:
  struct Channel {
    std::uint32_t mMask = 0;
    int mShift = 0;
    std::uint32_t mMax = 0;  // 2^bits - 1; 0 for a missing channel

    static Channel FromMask(std::uint32_t inMask);
    std::uint32_t Get(std::uint32_t inWord) const;
    std::uint32_t Put(std::uint32_t inValue) const;
  };

  std::uint32_t Unpack(std::uint32_t inWord) const;
  std::uint32_t Pack(std::uint32_t inPixel) const;

  int mBitCount = 0;
  bool mBitFields = false;
  bool mNativeWord = false;  // 32 bits in the B, G, R, A order of the common form
  Channel mRed;
  Channel mGreen;
  Channel mBlue;
  Channel mAlpha;
};

}  // namespace tlgdi
