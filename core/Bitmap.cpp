// The pixel buffer: wanted size, depth and colour over a backing.

#include "core/Bitmap.h"

#include "core/BitmapQT.h"
#include "core/BitmapWN.h"
#include "core/EventLog.h"
#include "core/PixelLock.h"
#include "core/QTUtils.h"
#include "core/SystemUtilities.h"
#include "platform/base/LastError.h"
#include "platform/quicktime/QuickTime.h"
#include "platform/wgl/Wgl.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr DWORD kPFDFlagsNeeded = PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI | PFD_DRAW_TO_BITMAP;

LONG ShiftOf(DWORD inMask)
{
  return inMask ? std::countr_zero(inMask) : -1;
}

// The 32-bit DIB section of a handle whose rows are whole words; false for
// any other.
bool Read32BitDIB(HBITMAP inHBITMAP, const DIBSECTION* inDIBSection, DIBSECTION& outDIB)
{
  if (inDIBSection)
    outDIB = *inDIBSection;
  else if (GetObjectA(inHBITMAP, sizeof outDIB, &outDIB) != static_cast<int>(sizeof outDIB))
    return false;
  return outDIB.dsBm.bmBitsPixel == 32 && outDIB.dsBm.bmWidthBytes % 4 == 0 && outDIB.dsBm.bmBits;
}

template <typename Rewrite>
void RewriteWords(const DIBSECTION& inDIB, Rewrite inRewrite)
{
  BYTE* theRow = static_cast<BYTE*>(inDIB.dsBm.bmBits);
  for (LONG y = 0; y < inDIB.dsBm.bmHeight; ++y, theRow += inDIB.dsBm.bmWidthBytes) {
    for (LONG x = 0; x < inDIB.dsBm.bmWidthBytes / 4; ++x) {
      DWORD theWord;
      std::memcpy(&theWord, theRow + 4 * x, 4);
      theWord = inRewrite(theWord);
      std::memcpy(theRow + 4 * x, &theWord, 4);
    }
  }
}

}  // namespace

Bitmap::Bitmap()
{
  AcquireQuickTime(mQTErr, mQTAvailable);
  if (mQTAvailable)
    mGNBM = std::make_unique<BitmapQT>();
  else
    mGNBM = std::make_unique<BitmapWN>();
}

Bitmap::~Bitmap()
{
  Clear();
  mGNBM.reset();
  ReleaseQuickTime(mQTErr);
}

void Bitmap::Clear()
{
  DeleteGLContext();
  mGNBM->Dispose();
  mDepth = 32;
  mWidth = 0;
  mHeight = 0;
}

LONG Bitmap::Create(LONG inWidth, LONG inHeight, LONG inDepth, const Transform* inTransform, NewPixels inNew)
{
  TL_ASSERT_TEXT(inWidth > 0 && inHeight > 0, "(inWidth > 0) && (inHeight > 0)");
  if (inWidth < 1 || inHeight < 1)
    return kBadParameter;
  LONG theStatus = Update();
  if (theStatus != 0)
    return theStatus;
  if (mGNBM->GetHDC())
    return 0;
  LONG theWidth, theHeight;
  FitSize(inWidth, inHeight, theWidth, theHeight, inTransform);
  mWidth = theWidth;
  mHeight = theHeight;
  if (inDepth >= 0)
    mDepth = inDepth;
  mFillNew = inNew == NewPixels::kFilled;
  theStatus = Update();
  mFillNew = true;
  if (theStatus != 0)
    return theStatus;
  return mGNBM->GetHDC() ? 0 : kBadParameter;
}

void Bitmap::FitSize(LONG inWidth, LONG inHeight, LONG& outWidth, LONG& outHeight, const Transform* inTransform) const
{
  LONG theNaturalWidth = inWidth;
  LONG theNaturalHeight = inHeight;
  if (inTransform) {
    const POINT theCorners[4] = {{0, 0}, {inWidth, 0}, {0, inHeight}, {inWidth, inHeight}};
    for (int i = 0; i < 4; ++i) {
      LONG theX, theY;
      inTransform->MapPointRounded(theCorners[i].x, theCorners[i].y, theX, theY);
      theNaturalWidth = i == 0 ? theX : std::max(theNaturalWidth, theX);
      theNaturalHeight = i == 0 ? theY : std::max(theNaturalHeight, theY);
    }
  }

  if (mWidth > 0 && mHeight > 0) {
    outWidth = mWidth;
    outHeight = mHeight;
  } else if (mHeight > 0) {
    outHeight = mHeight;
    outWidth = mHeight;
    if (theNaturalHeight != 0 && inHeight != 0)
      outWidth = TruncToLong(static_cast<double>(mHeight) * theNaturalWidth / inHeight + 0.5);
  } else if (mWidth > 0) {
    outWidth = mWidth;
    outHeight = mWidth;
    if (theNaturalWidth != 0 && inWidth != 0)
      outHeight = TruncToLong(static_cast<double>(mWidth) * theNaturalHeight / inWidth + 0.5);
  } else {
    outWidth = theNaturalWidth;
    outHeight = theNaturalHeight;
  }
  outWidth = std::max<LONG>(outWidth, 1);
  outHeight = std::max<LONG>(outHeight, 1);
}

LONG Bitmap::Update()
{
  LONG theDepth = 0, theWidth = 0, theHeight = 0;
  if (!mGNBM->GetHDC() || !mGNBM->GetSize(theDepth, theWidth, theHeight)) {
    if (mWidth <= 0 || mHeight <= 0)
      return 0;
    const LONG theStatus = mGNBM->Create(mDepth, mWidth, mHeight);
    if (theStatus == 0 && mFillNew)
      FillMargins(0, 0, mWidth, mHeight);
    return theStatus;
  }
  if (theWidth == mWidth && theHeight == mHeight && HasDepth(theDepth))
    return 0;
  DeleteGLContext();
  const LONG theStatus = mGNBM->Resize(mDepth, mWidth, mHeight);
  if (theStatus == 0)
    FillMargins(theWidth, theHeight, mWidth, mHeight);
  return theStatus;
}

bool Bitmap::HasDepth(LONG inBitsPerPixel)
{
  if (inBitsPerPixel == mDepth)
    return true;
  // Codes such as 40 (8-bit grey) and 'RGBA' (32 bits) are not their bits per
  // pixel: the format the backing made its pixels in tells.
  LockedPixels thePixels;
  if (!mGNBM->LockPixels(thePixels))
    return false;
  mGNBM->UnlockPixels();
  return thePixels.mFormat == mDepth;
}

void Bitmap::FillMargins(LONG inOldWidth, LONG inOldHeight, LONG inNewWidth, LONG inNewHeight)
{
  if (inNewWidth <= inOldWidth && inNewHeight <= inOldHeight)
    return;
  HDC theDC = mGNBM->GetHDC();
  if (!theDC)
    return;
  HBRUSH theBrush = CreateSolidBrush(RGB(static_cast<BYTE>(mColor.mRed >> 8), static_cast<BYTE>(mColor.mGreen >> 8),
                                         static_cast<BYTE>(mColor.mBlue >> 8)));
  const int theOldMode = SetMapMode(theDC, MM_TEXT);
  if (inNewWidth > inOldWidth) {
    const RECT theRight{inOldWidth, 0, inNewWidth, inNewHeight};
    FillRect(theDC, &theRight, theBrush);
  }
  if (inNewHeight > inOldHeight) {
    const RECT theBottom{0, inOldHeight, inOldWidth, inNewHeight};
    FillRect(theDC, &theBottom, theBrush);
  }
  if (theOldMode)
    SetMapMode(theDC, theOldMode);
  DeleteObject(theBrush);
}

RECT Bitmap::GetBounds()
{
  LONG theDepth = 0, theWidth = 0, theHeight = 0;
  if (!mGNBM->GetSize(theDepth, theWidth, theHeight))
    return RECT{0, 0, 0, 0};
  return RECT{0, 0, theWidth, theHeight};
}

LONGLONG Bitmap::GetDataSize()
{
  LONG theDepth = 0, theWidth = 0, theHeight = 0;
  if (!mGNBM->GetSize(theDepth, theWidth, theHeight))
    return 0;
  // A GWorld of 8-bit grey names its depth by the code 40.
  const LONG theBits = theDepth == kTLGray8PixelFormat ? 8 : theDepth;
  return static_cast<LONGLONG>(theWidth) * theHeight * theBits / 8;
}

LONG Bitmap::Erase()
{
  const LONG theStatus = Update();
  const RECT theBounds = GetBounds();
  FillMargins(0, 0, theBounds.right, theBounds.bottom);
  return theStatus;
}

LONG Bitmap::Invert()
{
  const LONG theStatus = Update();
  LONG theDepth = 0, theWidth = 0, theHeight = 0;
  HDC theDC = mGNBM->GetHDC();
  if (!theDC || !mGNBM->GetSize(theDepth, theWidth, theHeight))
    return theStatus;
  if (theDepth < 9) {
    RGBQUAD theTable[256];
    const UINT theCount = GetDIBColorTable(theDC, 0, 256, theTable);
    for (UINT i = 0; i < theCount; ++i) {
      theTable[i].rgbRed = static_cast<BYTE>(~theTable[i].rgbRed);
      theTable[i].rgbGreen = static_cast<BYTE>(~theTable[i].rgbGreen);
      theTable[i].rgbBlue = static_cast<BYTE>(~theTable[i].rgbBlue);
    }
    const UINT theNum = SetDIBColorTable(theDC, 0, theCount, theTable);
    TL_ASSERT(theNum);
  } else {
    const BOOL theNum = BitBlt(theDC, 0, 0, theWidth, theHeight, theDC, 0, 0, NOTSRCCOPY);
    TL_ASSERT(theNum);
  }
  return theStatus;
}

void Bitmap::GetPixel(LONG inX, LONG inY, ColorValue& outColor)
{
  (void)Update();
  outColor = mColor;
  if (mDepth != 32) {
    HDC theDC = mGNBM->GetHDC();
    const COLORREF theColor = theDC ? ::GetPixel(theDC, inX, inY) : CLR_INVALID;
    if (theColor != CLR_INVALID)
      outColor = ColorValue(static_cast<WORD>(GetRValue(theColor) << 8), static_cast<WORD>(GetGValue(theColor) << 8),
                            static_cast<WORD>(GetBValue(theColor) << 8), 65535);
    return;
  }
  if (inX < 0 || inY < 0 || inX >= mWidth || inY >= mHeight)
    return;
  LockedPixels thePixels;
  if (!LockPixels(thePixels))
    return;
  const LONG thePixSize = thePixels.mPixSize;
  TL_ASSERT(thePixSize == 32);
  if (thePixSize == 32 && inY < thePixels.mHeight && 4LL * inX + 4 <= thePixels.mRowBytes &&
      GetChannelMasks(nullptr, nullptr)) {
    DWORD theWord;
    std::memcpy(&theWord, thePixels.mBase + static_cast<std::ptrdiff_t>(inY) * thePixels.mRowBytes + 4 * inX, 4);
    WORD theChannels[4];
    for (int i = 0; i < 4; ++i)
      theChannels[i] = static_cast<WORD>(ChannelOf(theWord, mMasks[i], mShifts[i]) << 8);
    outColor = ColorValue(theChannels[0], theChannels[1], theChannels[2], theChannels[3]);
  }
  UnlockPixels();
}

HDC Bitmap::GetHDC()
{
  return mGNBM->GetHDC();
}

HBITMAP Bitmap::GetHBITMAP()
{
  return mGNBM->GetHBITMAP();
}

void Bitmap::BeginDraw()
{
  mGNBM->BeginDraw();
}

LONG Bitmap::EndDraw()
{
  return mGNBM->EndDraw();
}

bool Bitmap::LockPixels(LockedPixels& outPixels)
{
  return mGNBM->LockPixels(outPixels);
}

void Bitmap::UnlockPixels()
{
  mGNBM->UnlockPixels();
}

LONG Bitmap::CopyAllFromDC(HDC inHDC)
{
  const RECT theRect{0, 0, mWidth, mHeight};
  return mGNBM->CopyFromDC(inHDC, theRect, theRect);
}

LONG Bitmap::CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect)
{
  return mGNBM->CopyFromDC(inHDC, inSrcRect, inDstRect);
}

LONG Bitmap::CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform)
{
  return mGNBM->CopyFromDCTransformed(inHDC, inSrcRect, inXform);
}

LONG Bitmap::GetColorTable(RGBQUAD* outTable)
{
  HDC theDC = mGNBM->GetHDC();
  return theDC ? static_cast<LONG>(GetDIBColorTable(theDC, 0, 256, outTable)) : 0;
}

bool Bitmap::GetChannelMasks(const DWORD** outMasks, const LONG** outShifts)
{
  HBITMAP theBitmap = mGNBM->GetHBITMAP();
  if (!theBitmap)
    return false;
  DIBSECTION theDIB{};
  const bool ok = GetObjectA(theBitmap, sizeof theDIB, &theDIB) == static_cast<int>(sizeof theDIB);
  TL_ASSERT(ok);
  if (!ok)
    return false;
  GetDIBChannelMasks(theDIB, mMasks, mShifts);
  if (outMasks)
    *outMasks = mMasks;
  if (outShifts)
    *outShifts = mShifts;
  return true;
}

void Bitmap::ToRGBA()
{
  if (mRGBA)
    return;
  mRGBA = true;
  const bool ok = ConvertDIBToRGBA(mGNBM->GetHBITMAP(), nullptr);
  TL_ASSERT(ok);
}

void Bitmap::FromRGBA()
{
  if (!mRGBA)
    return;
  mRGBA = false;
  const bool ok = ConvertDIBFromRGBA(mGNBM->GetHBITMAP(), nullptr);
  TL_ASSERT(ok);
}

HGLRC Bitmap::GetGLContext()
{
  if (!mGLContext)
    CreateGLContext();
  return mGLContext;
}

void Bitmap::CreateGLContext()
{
  HDC theDC = mGNBM->GetHDC();
  if (!theDC)
    return;
  PIXELFORMATDESCRIPTOR theDescriptor{};
  const int theCount = DescribePixelFormat(theDC, 1, sizeof theDescriptor, &theDescriptor);
  int theChoice = 0;
  for (int theFormat = 1; theFormat <= theCount; ++theFormat) {
    if (DescribePixelFormat(theDC, theFormat, sizeof theDescriptor, &theDescriptor) == 0)
      continue;
    const bool theQualifies = (theDescriptor.dwFlags & kPFDFlagsNeeded) == kPFDFlagsNeeded &&
                              theDescriptor.iPixelType == PFD_TYPE_RGBA && theDescriptor.cColorBits == 32 &&
                              theDescriptor.iLayerType == PFD_MAIN_PLANE;
    if (!theQualifies)
      continue;
    if (theDescriptor.cAlphaBits == 8) {
      theChoice = theFormat;
      break;
    }
    if (theChoice == 0)
      theChoice = theFormat;
  }
  if (theChoice == 0)
    return;
  const DWORD theLastError = GetLastError();
  DescribePixelFormat(theDC, theChoice, sizeof theDescriptor, &theDescriptor);
  SetPixelFormat(theDC, theChoice, &theDescriptor);
  mGLContext = wglCreateContext(theDC);
  if (mGLContext)
    SetLastError(theLastError);
}

void Bitmap::DeleteGLContext()
{
  if (!mGLContext)
    return;
  const BOOL ok = wglDeleteContext(mGLContext);
  TL_ASSERT(ok);
  mGLContext = nullptr;
}

bool GetDIBChannelMasks(const DIBSECTION& inDIBSection, DWORD outMasks[4], LONG outShifts[4])
{
  const bool theBitFields = inDIBSection.dsBmih.biCompression == BI_BITFIELDS;
  bool theKnown = true;
  switch (inDIBSection.dsBmih.biBitCount) {
    case 16:
      if (theBitFields)
        std::copy(inDIBSection.dsBitfields, inDIBSection.dsBitfields + 3, outMasks);
      else
        outMasks[0] = 0x7C00, outMasks[1] = 0x03E0, outMasks[2] = 0x001F;
      break;
    case 24:
      outMasks[0] = 0xFF0000, outMasks[1] = 0x00FF00, outMasks[2] = 0x0000FF;
      break;
    case 32:
      if (theBitFields)
        std::copy(inDIBSection.dsBitfields, inDIBSection.dsBitfields + 3, outMasks);
      else
        outMasks[0] = 0xFF0000, outMasks[1] = 0x00FF00, outMasks[2] = 0x0000FF;
      outMasks[3] = ~(outMasks[0] | outMasks[1] | outMasks[2]);
      break;
    default:
      theKnown = false;
  }
  for (int i = 0; i < 4; ++i)
    outShifts[i] = ShiftOf(outMasks[i]);
  return theKnown;
}

bool ConvertDIBToRGBA(HBITMAP inHBITMAP, const DIBSECTION* inDIBSection)
{
  DIBSECTION theDIB{};
  if (!Read32BitDIB(inHBITMAP, inDIBSection, theDIB))
    return false;
  DWORD theMasks[4] = {0, 0, 0, 0};
  LONG theShifts[4];
  GetDIBChannelMasks(theDIB, theMasks, theShifts);
  RewriteWords(theDIB, [&](DWORD inWord) {
    return ChannelOf(inWord, theMasks[0], theShifts[0]) | ChannelOf(inWord, theMasks[1], theShifts[1]) << 8 |
           ChannelOf(inWord, theMasks[2], theShifts[2]) << 16 | ChannelOf(inWord, theMasks[3], theShifts[3]) << 24;
  });
  return true;
}

bool ConvertDIBFromRGBA(HBITMAP inHBITMAP, const DIBSECTION* inDIBSection)
{
  DIBSECTION theDIB{};
  if (!Read32BitDIB(inHBITMAP, inDIBSection, theDIB))
    return false;
  DWORD theMasks[4] = {0, 0, 0, 0};
  LONG theShifts[4];
  GetDIBChannelMasks(theDIB, theMasks, theShifts);
  RewriteWords(theDIB, [&](DWORD inWord) {
    DWORD theWord = 0;
    for (int i = 0; i < 4; ++i)
      if (theMasks[i])
        theWord |= (((inWord >> (8 * i)) & 0xFF) << theShifts[i]) & theMasks[i];
    return theWord;
  });
  return true;
}
