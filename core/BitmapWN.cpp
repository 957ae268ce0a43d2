// Pixels in a top-down DIB section of a memory device context.

#include "core/BitmapWN.h"

#include "core/EventLog.h"
#include "core/Paleteer.h"
#include "core/SystemUtilities.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"

#include <cstdlib>
#include <memory>

namespace {

// Rows are handed out 4-byte aligned, except on systems before Windows NT 4.
bool AlignsRows()
{
  const OSKind theKind = GetOSKind();
  return theKind == kOSUnknown || theKind >= kOSNT4;
}

}  // namespace

BitmapWN::~BitmapWN()
{
  Dispose();
}

bool BitmapWN::GetSize(LONG& outDepth, LONG& outWidth, LONG& outHeight)
{
  if (!mHDC)
    return false;
  outDepth = mDIB.dsBm.bmBitsPixel;
  outWidth = mDIB.dsBmih.biWidth;
  outHeight = std::abs(mDIB.dsBmih.biHeight);
  TL_ASSERT_TEXT(outWidth > 0, "*outWidth > 0");
  return true;
}

LONG BitmapWN::Create(LONG inDepth, LONG inWidth, LONG inHeight)
{
  TL_ASSERT_TEXT(!mHDC && !mHBM, "(!mHDC) && (!mHBM)");
  if (mHDC || mHBM)
    return ERROR_INVALID_PARAMETER;
  TL_ASSERT_TEXT(inWidth > 0 && inHeight > 0, "(inWidth > 0) && (inHeight > 0)");

  HDC theDC = CreateCompatibleDC(nullptr);
  HBITMAP theBitmap = nullptr;
  if (theDC) {
    // Indexed depths read a full colour table from the header: all zero here,
    // the default table is written below.
    auto theInfo = std::make_unique<IndexedBitmapInfo>();
    theInfo->DescribeTopDown(inWidth, inHeight, static_cast<WORD>(inDepth == kTLGray8PixelFormat ? 8 : inDepth));
    void* theBits = nullptr;
    if (inDepth >= 0 && inDepth <= 0xFFFF)
      theBitmap = CreateDIBSection(theDC, reinterpret_cast<const BITMAPINFO*>(theInfo.get()), DIB_RGB_COLORS,
                                   &theBits, nullptr, 0);
    else
      SetLastError(ERROR_INVALID_PARAMETER);
    if (!theBitmap) {
      const DWORD theError = GetLastError();
      DeleteDC(theDC);
      SetLastError(theError);
      theDC = nullptr;
    }
  }
  if (!theDC || !theBitmap) {
    const DWORD theError = GetLastError();
    TL_ASSERT_TEXT(theError, "err");
    return static_cast<LONG>(theError);
  }

  mHDC = theDC;
  mHBM = theBitmap;
  mOldHBM = SelectObject(mHDC, mHBM);
  TL_ASSERT_TEXT(mOldHBM, "*outOldHBM");
  GetObjectA(mHBM, sizeof mDIB, &mDIB);
  mFormat = inDepth;

  if (inDepth == kTLGray8PixelFormat || (inDepth >= 1 && inDepth <= 8)) {
    // Two colours are black and white, not the uniform cube's first two
    // entries (white and yellow).
    Paleteer thePaleteer;
    thePaleteer.SetKind(inDepth == kTLGray8PixelFormat ? Paleteer::kGrayscale
                        : inDepth == 1                 ? Paleteer::kBlackAndWhite
                                                       : Paleteer::kUniform);
    thePaleteer.SetColorCount(inDepth == kTLGray8PixelFormat ? 256 : 1 << inDepth);
    RGBQUAD theTable[Paleteer::kMaxColors];
    const LONG theCount = thePaleteer.BuildColorTable(theTable);
    SetDIBColorTable(mHDC, 0, static_cast<UINT>(theCount), theTable);
  }
  return 0;
}

LONG BitmapWN::Resize(LONG inDepth, LONG inWidth, LONG inHeight)
{
  TL_ASSERT_TEXT(mHDC && mHBM, "(mHDC) && (mHBM)");
  TL_ASSERT_TEXT(inWidth > 0 && inHeight > 0, "(inWidth > 0) && (inHeight > 0)");
  if (!mHDC || !mHBM)
    return ERROR_INVALID_PARAMETER;
  if (inDepth == mFormat && inWidth == mDIB.dsBmih.biWidth && inHeight == std::abs(mDIB.dsBmih.biHeight)) {
    TL_ASSERT(FALSE);
    return 0;
  }
  BitmapWN theNew;
  LONG theStatus = theNew.Create(inDepth, inWidth, inHeight);
  if (theStatus == 0 && !theNew.GetHDC())
    theStatus = ERROR_INVALID_PARAMETER;
  if (theStatus == 0) {
    const RECT theRect{0, 0, inWidth, inHeight};
    theStatus = theNew.CopyFromDC(mHDC, theRect, theRect);
  }
  if (theStatus == 0) {
    Assign(theNew);
    theNew.Detach();
  }
  return theStatus;
}

void BitmapWN::Dispose()
{
  if (mHDC) {
    TL_ASSERT_TEXT(mOldHBM && mHBM, "mOldHBM && mHBM");
    TL_ASSERT(mLocks == 0);
    if (mGWorld && QT())
      QT()->DisposeGWorld(mGWorld);
    if (mOldHBM)
      SelectObject(mHDC, mOldHBM);
    DeleteDC(mHDC);
    if (mHBM)
      DeleteObject(mHBM);
  }
  Detach();
}

void BitmapWN::Detach()
{
  mHDC = nullptr;
  mHBM = nullptr;
  mOldHBM = nullptr;
  mDIB = DIBSECTION{};
  mFormat = 0;
  mGWorld = nullptr;
  mLocks = 0;
  ClearDrawingState();
}

void BitmapWN::Assign(const BitmapWN& inOther)
{
  Dispose();
  CopyDrawingState(inOther);
  mHDC = inOther.mHDC;
  mHBM = inOther.mHBM;
  mOldHBM = inOther.mOldHBM;
  mFormat = inOther.mFormat;
  mDIB = inOther.mDIB;
  mLocks = inOther.mLocks;
}

GWorldPtr BitmapWN::GetGWorld()
{
  if (!mGWorld && mHDC && mHBM && QT())
    QT()->NewGWorldFromHBITMAP(&mGWorld, nullptr, nullptr, 0, mHBM, mHDC);
  return mGWorld;
}

LONG BitmapWN::GetDepth()
{
  if (!mHDC)
    return kTLNoPixelFormat;
  switch (mDIB.dsBm.bmBitsPixel) {
    case 1:
    case 2:
    case 4:
    case 8:
      return mDIB.dsBm.bmBitsPixel;
    case 16:
      return kTL16L555PixelFormat;
    case 32:
      return kTL32BGRAPixelFormat;
    default:
      TL_ASSERT(FALSE);
      return kTLNoPixelFormat;
  }
}

bool BitmapWN::LockPixels(LockedPixels& outPixels)
{
  if (!mHDC)
    return false;
  GdiFlush();
  outPixels.mBase = static_cast<BYTE*>(mDIB.dsBm.bmBits);
  outPixels.mRowBytes = mDIB.dsBm.bmWidthBytes;
  outPixels.mHeight = std::abs(mDIB.dsBmih.biHeight);
  outPixels.mFormat = mFormat;
  outPixels.mPixSize = mDIB.dsBm.bmBitsPixel;
  if (AlignsRows() && outPixels.mRowBytes % 4 != 0)
    outPixels.mRowBytes += 4 - outPixels.mRowBytes % 4;
  ++mLocks;
  return true;
}

void BitmapWN::UnlockPixels()
{
  --mLocks;
  TL_ASSERT(mLocks >= 0);
}

LONG BitmapWN::CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect)
{
  if (!mHDC)
    return 0;
  HPALETTE theHalftone = nullptr;
  HPALETTE theOldPalette = nullptr;
  if (mDIB.dsBm.bmBitsPixel < 9) {
    theHalftone = CreateHalftonePalette(mHDC);
    if (theHalftone) {
      theOldPalette = SelectPalette(mHDC, theHalftone, FALSE);
      RealizePalette(mHDC);
    }
  }
  const LONG theSrcWidth = inSrcRect.right - inSrcRect.left;
  const LONG theSrcHeight = inSrcRect.bottom - inSrcRect.top;
  const LONG theDstWidth = inDstRect.right - inDstRect.left;
  const LONG theDstHeight = inDstRect.bottom - inDstRect.top;
  BOOL theDone;
  if (theSrcWidth == theDstWidth && theSrcHeight == theDstHeight)
    theDone = BitBlt(mHDC, inDstRect.left, inDstRect.top, theSrcWidth, theSrcHeight, inHDC, inSrcRect.left,
                     inSrcRect.top, SRCCOPY);
  else
    theDone = StretchBlt(mHDC, inDstRect.left, inDstRect.top, theDstWidth, theDstHeight, inHDC, inSrcRect.left,
                         inSrcRect.top, theSrcWidth, theSrcHeight, SRCCOPY);
  const DWORD theError = theDone ? 0 : GetLastError();
  if (theHalftone) {
    SelectPalette(mHDC, theOldPalette, TRUE);
    DeleteObject(theHalftone);
  }
  return static_cast<LONG>(theError);
}

LONG BitmapWN::CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform)
{
  if (!mHDC)
    return 0;
  const int theOldMode = ::SetGraphicsMode(mHDC, GM_ADVANCED);
  if (theOldMode && !SetWorldTransform(mHDC, &inXform)) {
    const DWORD theError = GetLastError();
    ::SetGraphicsMode(mHDC, theOldMode);
    return static_cast<LONG>(theError);
  }
  const LONG theStatus = CopyFromDC(inHDC, inSrcRect, inSrcRect);
  if (theOldMode) {
    ModifyWorldTransform(mHDC, nullptr, MWT_IDENTITY);
    ::SetGraphicsMode(mHDC, theOldMode);
  }
  return theStatus;
}
