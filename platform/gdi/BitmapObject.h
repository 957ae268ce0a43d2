#pragma once
// A bitmap behind an HBITMAP: a DIB section (pixels we map, or memory its
// caller owns) or a device-dependent bitmap from CreateBitmap, with its
// layout and, for indexed layouts, its colour table.
//
// The pixel memory of a DIB section we make is an anonymous private mapping:
// zeroed, page aligned, and refused cleanly by the system when it is larger
// than memory allows. The colour table has its own lock, since one thread
// may change it while another blits from the bitmap.

#include "platform/gdi/DibDescription.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"
#include "platform/gdi/PixelView.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tlgdi {

class BitmapObject : public GdiObject {
public:
  // A DIB section of inDescription over new zeroed memory (inCallerBits null) or over
  // inCallerBits with rows inRowBytes apart (0: the natural length). Null,
  // with outError set, on failure.
  static std::shared_ptr<BitmapObject> MakeDib(const DibDescription& inDescription, void* inCallerBits,
                                               std::int64_t inRowBytes, DWORD& outError);

  // A device-dependent bitmap of 1 or 32 bits per pixel, rows top-down and
  // padded to even lengths, filled from inBits when given.
  static std::shared_ptr<BitmapObject> MakeDevice(int inWidth, int inHeight, int inBitCount,
                                                  const void* inBits, DWORD& outError);

  ~BitmapObject() override;

  bool IsDibSection() const { return mDib; }
  const PixelFormat& Format() const { return mFormat; }
  std::uint8_t* Bits() const { return mBits; }
  PixelView View() const;

  // The colour table as 0x00RRGGBB words (empty for direct layouts).
  std::vector<std::uint32_t> Colors() const;
  UINT GetColors(UINT inStart, UINT inCount, RGBQUAD* outColors) const;
  UINT SetColors(UINT inStart, UINT inCount, const RGBQUAD* inColors);

  void Describe(BITMAP& outBitmap) const;
  void Describe(DIBSECTION& outSection) const;

private:
  BitmapObject() : GdiObject(ObjectKind::kBitmap) {}

  bool mDib = false;
  LONG mWidth = 0;
  LONG mHeight = 0;  // as the header gave it: negative for top-down DIBs
  bool mTopDown = false;
  PixelFormat mFormat;
  DWORD mCompression = BI_RGB;
  LONG mXPelsPerMeter = 0;
  LONG mYPelsPerMeter = 0;
  DWORD mClrUsed = 0;
  DWORD mClrImportant = 0;
  std::int64_t mRowBytes = 0;
  std::uint8_t* mBits = nullptr;
  std::size_t mMappedSize = 0;  // 0 when the memory is the caller's

  mutable std::mutex mColorLock;  // held across copies to and from callers' memory: a FaultSafeLock
  std::vector<RGBQUAD> mColors;
};

}  // namespace tlgdi
