#pragma once
// The QuickTime backing of a Bitmap, used when QuickTime is available: the
// pixels are a GWorld, so that QuickTime importers draw into them directly,
// while GDI draws through the GWorld's device context. Copies from device
// contexts describe the source DIB section as a raw QuickTime image and
// decompress it into the GWorld. Sides above 16000 pixels are refused (87)
// before QuickTime is asked. QuickTime errors come back as Windows codes.

#include "core/NativeBitmap.h"

class BitmapQT : public NativeBitmap {
public:
  static constexpr LONG kMaxSide = 16000;

  BitmapQT() = default;
  ~BitmapQT() override;

  bool GetSize(LONG& outDepth, LONG& outWidth, LONG& outHeight) override;
  [[nodiscard]] LONG Create(LONG inDepth, LONG inWidth, LONG inHeight) override;
  [[nodiscard]] LONG Resize(LONG inDepth, LONG inWidth, LONG inHeight) override;
  void Dispose() override;
  HDC GetHDC() override;
  HBITMAP GetHBITMAP() override;
  GWorldPtr GetGWorld() override { return mBuffer; }
  LONG GetDepth() override;
  void BeginDraw() override;
  LONG EndDraw() override;
  bool LockPixels(LockedPixels& outPixels) override;
  void UnlockPixels() override;
  [[nodiscard]] LONG CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect) override;
  [[nodiscard]] LONG CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform) override;

  // A rectangle of a DIB section (and the device context it is selected in)
  // onto a rectangle of the pixels, or through a world transform.
  [[nodiscard]] virtual LONG CopyFromBitmap(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect, RECT inDstRect);
  [[nodiscard]] virtual LONG CopyFromBitmapTransformed(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect,
                                                       const XFORM& inXform);
  // The part of the DIB section inside inSrcRect through the matrix (null:
  // the identity); nothing is drawn for a part outside the picture.
  [[nodiscard]] virtual OSErr CopyFrom(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect, const MatrixRecord* inMatrix);
  [[nodiscard]] virtual OSErr DrawImageDescription(ImageDescriptionHandle inDesc, Ptr inData, const Rect& inSrcRect,
                                                   const MatrixRecord& inMatrix);
  // A new description of the DIB section as raw pixels (the caller disposes
  // it) and the address of its bits; both null when it cannot be read.
  virtual void MakeImageDescription(HDC inHDC, HBITMAP inHBITMAP, ImageDescriptionHandle* outDesc, Ptr* outData);
  // The colour table of the device context's DIB section, when it has more
  // than two entries.
  virtual void AttachColorTable(HDC inHDC, ImageDescriptionHandle inDesc);

  LONG GetLockCount() const { return mLocks; }

private:
  GWorldPtr mBuffer = nullptr;
  CGrafPtr mCurrentPort = nullptr;
  GDHandle mCurrentDev = nullptr;
  RGBColor mSavedForeColor{0, 0, 0};
  RGBColor mSavedBackColor{0, 0, 0};
  PenState mSavedPenState{};
  GWorldFlags mSavedPixelsState = 0;
  LONG mLocks = 0;
};
