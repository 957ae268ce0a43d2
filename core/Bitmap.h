#pragma once
// The pixel buffer of the library: every canvas owns one, and operations,
// importers, exporters and the kernel bridge draw into, read from or copy
// through one. It keeps the wanted size, depth (a pixel-format code, see
// NativeBitmap.h) and background colour, and keeps its pixels in a backing
// chosen once, at construction: a QuickTime GWorld (BitmapQT) when QuickTime
// is available, else a top-down DIB section (BitmapWN). Rows are top-down on
// both: row 0 is the top of the picture, and 32-bit pixels are B, G, R, A.
//
// Sizes. Width x height products and byte counts are 64-bit. The DIB backing
// refuses pixel data of 4 GiB and more (8, too little memory), the QuickTime
// backing sides above 16000 pixels (87); Create refuses sides below 1 (-50).
//
// A Bitmap holds one process-wide QuickTime reference while it lives. It is
// used by one thread at a time.

#include "core/ColorValue.h"
#include "core/NativeBitmap.h"
#include "core/Transform.h"
#include "platform/quicktime/QTTypes.h"

#include <memory>

class Bitmap {
public:
  static constexpr LONG kBadParameter = -50;

  Bitmap();
  virtual ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  // The wanted size and depth; Update (or Create) makes the pixels agree.
  LONG GetWidth() const { return mWidth; }
  LONG GetHeight() const { return mHeight; }
  LONG GetDepth() const { return mDepth; }
  void SetWidth(LONG inWidth) { mWidth = inWidth; }
  void SetHeight(LONG inHeight) { mHeight = inHeight; }
  void SetDepth(LONG inDepth) { mDepth = inDepth; }
  // The natural colour: new pixels, new margins and Erase use it.
  const ColorValue& GetColor() const { return mColor; }
  void SetColor(const ColorValue& inColor) { mColor = inColor; }
  // The backing (never null once constructed); its dither flag and transfer
  // mode are the canvas's.
  NativeBitmap* GetNativeBitmap() const { return mGNBM.get(); }
  // Set while ToRGBA has put the 32-bit pixels in R, G, B, A order.
  bool IsRGBA() const { return mRGBA; }

  // Whether new pixels are filled with the natural colour, or left as the
  // backing made them (a DIB section's are 0) for a caller that covers them
  // all at once, or else erases them.
  enum class NewPixels { kFilled, kUnfilled };

  // Makes the pixels when there are none: the size from FitSize, the depth
  // inDepth unless negative (which keeps the depth). Sides below 1 give -50;
  // existing pixels are left alone (0).
  [[nodiscard]] LONG Create(LONG inWidth, LONG inHeight, LONG inDepth, const Transform* inTransform,
                            NewPixels inNew = NewPixels::kFilled);
  // The size new pixels get for a picture of inWidth x inHeight placed
  // through inTransform (or null), given the preset width and height.
  void FitSize(LONG inWidth, LONG inHeight, LONG& outWidth, LONG& outHeight, const Transform* inTransform) const;
  // Makes the backing agree with width, height and depth: creates, or
  // resizes keeping the old pixels at the top left; new area in the natural
  // colour.
  [[nodiscard]] LONG Update();
  // Frees the pixels; depth back to 32, width and height to 0.
  void Clear();

  RECT GetBounds();
  // Width x height x bits per pixel / 8 of the pixels; 0 without pixels.
  LONGLONG GetDataSize();
  [[nodiscard]] LONG Erase();
  [[nodiscard]] LONG Invert();
  // The colour at (inX, inY), or the natural colour outside the pixels.
  void GetPixel(LONG inX, LONG inY, ColorValue& outColor);

  HDC GetHDC();
  HBITMAP GetHBITMAP();
  void BeginDraw();
  LONG EndDraw();
  bool LockPixels(LockedPixels& outPixels);
  void UnlockPixels();
  [[nodiscard]] LONG CopyAllFromDC(HDC inHDC);
  [[nodiscard]] LONG CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect);
  [[nodiscard]] LONG CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform);
  // Up to 256 entries into outTable; the count (0 without pixels).
  LONG GetColorTable(RGBQUAD* outTable);

  // Red, green, blue and alpha masks of the pixels and the index of each
  // mask's lowest bit (-1 for an empty mask); false without pixels. Either
  // out pointer may be null; the arrays live as long as the Bitmap.
  bool GetChannelMasks(const DWORD** outMasks, const LONG** outShifts);
  // Rewrites 32-bit pixels as R, G, B, A in memory, once; FromRGBA undoes it.
  void ToRGBA();
  void FromRGBA();

  // An OpenGL rendering context on the device context (32-bit pixels only),
  // made on first use; null when none can be made (the next call retries).
  HGLRC GetGLContext();

private:
  // Whether the backing's pixels, of inBitsPerPixel, are of the depth field's format.
  bool HasDepth(LONG inBitsPerPixel);
  void FillMargins(LONG inOldWidth, LONG inOldHeight, LONG inNewWidth, LONG inNewHeight);
  void CreateGLContext();
  void DeleteGLContext();

  LONG mWidth = 0;
  LONG mHeight = 0;
  LONG mDepth = 32;
  ColorValue mColor{65535, 65535, 65535, 65535};
  LONG mQTAvailable = 0;
  OSErr mQTErr = 0;
  std::unique_ptr<NativeBitmap> mGNBM;
  HGLRC mGLContext = nullptr;
  DWORD mMasks[4] = {0, 0, 0, 0};
  LONG mShifts[4] = {0, 0, 0, 0};
  bool mRGBA = false;
  bool mFillNew = true;  // Update fills pixels it makes
};

// The red, green, blue and alpha masks of a DIB section of 16, 24 or 32 bits
// per pixel (false for others, masks untouched) and their lowest bits.
bool GetDIBChannelMasks(const DIBSECTION& inDIBSection, DWORD outMasks[4], LONG outShifts[4]);
// Rewrite a 32-bit DIB section in place as bytes R, G, B, A, and back.
// inDIBSection may be null (then it is read from the handle).
bool ConvertDIBToRGBA(HBITMAP inHBITMAP, const DIBSECTION* inDIBSection);
bool ConvertDIBFromRGBA(HBITMAP inHBITMAP, const DIBSECTION* inDIBSection);
