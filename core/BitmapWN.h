#pragma once
// The DIB-section backing of a Bitmap, used when QuickTime is not available:
// a top-down DIB section selected into a memory device context of its own,
// so that GDI draws straight into the pixels. Indexed depths get a default
// colour table: black and white for 1 bit, the uniform cube of 2^depth
// colours (Paleteer kind 3) for 2 to 8 bits, or for format 40 (8-bit grey) a
// 256-level grey ramp.

#include "core/NativeBitmap.h"

class BitmapWN : public NativeBitmap {
public:
  BitmapWN() = default;
  ~BitmapWN() override;

  bool GetSize(LONG& outDepth, LONG& outWidth, LONG& outHeight) override;
  [[nodiscard]] LONG Create(LONG inDepth, LONG inWidth, LONG inHeight) override;
  [[nodiscard]] LONG Resize(LONG inDepth, LONG inWidth, LONG inHeight) override;
  void Dispose() override;
  HDC GetHDC() override { return mHDC; }
  HBITMAP GetHBITMAP() override { return mHBM; }
  GWorldPtr GetGWorld() override;
  LONG GetDepth() override;
  void BeginDraw() override {}
  LONG EndDraw() override { return 0; }
  bool LockPixels(LockedPixels& outPixels) override;
  void UnlockPixels() override;
  [[nodiscard]] LONG CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect) override;
  [[nodiscard]] LONG CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform) override;

  // Forgets the pixels without freeing them (another BitmapWN took them).
  virtual void Detach();
  // Disposes the pixels, then takes inOther's (which must then Detach).
  virtual void Assign(const BitmapWN& inOther);

  LONG GetLockCount() const { return mLocks; }

private:
  HDC mHDC = nullptr;
  HBITMAP mHBM = nullptr;
  HGDIOBJ mOldHBM = nullptr;
  DIBSECTION mDIB{};
  LONG mFormat = 0;
  GWorldPtr mGWorld = nullptr;
  LONG mLocks = 0;
};
