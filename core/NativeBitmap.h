#pragma once
// The backing of a Bitmap: the object that owns the pixels. BitmapWN keeps
// them in a top-down DIB section selected into a memory device context,
// BitmapQT in a QuickTime GWorld; both draw with GDI through GetHDC and hand
// out the pixels, top row first, through LockPixels.
//
// Pixel-format codes (depths, GetDepth, the format LockPixels answers):
//   1, 2, 4, 8   indexed colour with a colour table
//   16           5-5-5 words
//   24           bytes B, G, R
//   32           little-endian words 0xAARRGGBB: bytes B, G, R, A in memory
//   40           8-bit grey: 8-bit indices into a 256-level grey table
//   'RGBA'       bytes R, G, B, A in memory (Bitmap::ToRGBA)
//   'BGRA'       a 32-bit DIB section as BitmapWN names it
//   'L555'       a 16-bit 5-5-5 DIB section as BitmapWN names it
//   'xxxx'       no pixels, or a layout the backing cannot name
//
// Statuses are signed 32-bit: 0 success, else a Windows error code (or the
// Bitmap's own -50 when creating left no pixels).

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"
#include "platform/quicktime/QTTypes.h"

inline constexpr LONG kTLGray8PixelFormat = 40;
inline constexpr LONG kTL32RGBAPixelFormat = static_cast<LONG>(MakeOSType("RGBA"));
inline constexpr LONG kTL32BGRAPixelFormat = static_cast<LONG>(MakeOSType("BGRA"));
inline constexpr LONG kTL16L555PixelFormat = static_cast<LONG>(MakeOSType("L555"));
inline constexpr LONG kTLNoPixelFormat = static_cast<LONG>(MakeOSType("xxxx"));

// What LockPixels hands out.
struct LockedPixels {
  BYTE* mBase = nullptr;
  LONG mRowBytes = 0;
  LONG mHeight = 0;
  LONG mFormat = 0;
  LONG mPixSize = 0;  // bits per pixel
};

class NativeBitmap {
public:
  NativeBitmap() = default;
  virtual ~NativeBitmap() = default;
  NativeBitmap(const NativeBitmap&) = delete;
  NativeBitmap& operator=(const NativeBitmap&) = delete;

  // Bits per pixel, width and height of the pixels; false without pixels.
  virtual bool GetSize(LONG& outDepth, LONG& outWidth, LONG& outHeight) = 0;
  // Makes the pixels (only while there are none).
  [[nodiscard]] virtual LONG Create(LONG inDepth, LONG inWidth, LONG inHeight) = 0;
  // New pixels of the depth and size holding the old ones at the top left.
  [[nodiscard]] virtual LONG Resize(LONG inDepth, LONG inWidth, LONG inHeight) = 0;
  // Frees the pixels; clears the dither flag, graphics mode and op colour.
  virtual void Dispose() { ClearDrawingState(); }
  // Draws into the pixels; null without pixels.
  virtual HDC GetHDC() = 0;
  virtual HBITMAP GetHBITMAP() = 0;
  // A QuickTime GWorld over the pixels, where the backing can make one.
  virtual GWorldPtr GetGWorld() = 0;
  // The pixel-format code of the pixels as they are.
  virtual LONG GetDepth() = 0;
  // Makes the pixels the current QuickDraw port where the backing needs it.
  virtual void BeginDraw() = 0;
  virtual LONG EndDraw() = 0;
  // Pins the pixels; false, with nothing written, without pixels. Locks nest.
  virtual bool LockPixels(LockedPixels& outPixels) = 0;
  virtual void UnlockPixels() = 0;
  // Copies a rectangle of a device context into a rectangle of the pixels,
  // scaling when the sizes differ.
  [[nodiscard]] virtual LONG CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect) = 0;
  // Copies a rectangle of a device context through a world transform.
  [[nodiscard]] virtual LONG CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform) = 0;

  // The canvas's dither flag and transfer mode live here.
  LONG GetDither() const { return mDither; }
  void SetDither(LONG inDither) { mDither = inDither; }
  WORD GetGraphicsMode() const { return mGraphicsMode; }
  RGBColor GetOpColor() const { return mOpColor; }
  void SetGraphicsMode(WORD inMode, RGBColor inOpColor)
  {
    mGraphicsMode = inMode;
    mOpColor = inOpColor;
  }

protected:
  void ClearDrawingState()
  {
    mDither = 0;
    mGraphicsMode = 0;
    mOpColor = RGBColor{0, 0, 0};
  }
  void CopyDrawingState(const NativeBitmap& inOther)
  {
    mDither = inOther.mDither;
    mGraphicsMode = inOther.mGraphicsMode;
    mOpColor = inOther.mOpColor;
  }

  LONG mDither = 0;
  WORD mGraphicsMode = 0;  // a transfer mode, 0 = copy
  RGBColor mOpColor{0, 0, 0};
};

// A backing's dither flag, transfer mode and mode colour, given back when the
// saver goes, so that a draw that sets its own leaves the canvas's on every
// way out.
class DrawingStateSaver {
public:
  explicit DrawingStateSaver(NativeBitmap& inBacking)
      : mBacking(inBacking), mDither(inBacking.GetDither()), mMode(inBacking.GetGraphicsMode()),
        mOpColor(inBacking.GetOpColor())
  {
  }
  ~DrawingStateSaver()
  {
    mBacking.SetDither(mDither);
    mBacking.SetGraphicsMode(mMode, mOpColor);
  }
  DrawingStateSaver(const DrawingStateSaver&) = delete;
  DrawingStateSaver& operator=(const DrawingStateSaver&) = delete;

private:
  NativeBitmap& mBacking;
  LONG mDither;
  WORD mMode;
  RGBColor mOpColor;
};
