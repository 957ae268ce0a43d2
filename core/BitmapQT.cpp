// Pixels in a QuickTime GWorld.

#include "core/BitmapQT.h"

#include "core/EventLog.h"
#include "core/GDIAccess.h"
#include "core/QTUtils.h"
#include "core/Utilities.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr OSType kRawCodec = kQTRawCodecType;
constexpr SInt32 kBestFidelityCodec = -2;
constexpr double kInchesPerMeter = 0.0254;

Fixed SaturateFixed(LONGLONG inValue)
{
  return static_cast<Fixed>(std::clamp<LONGLONG>(inValue, INT32_MIN, INT32_MAX));
}

// The matrix that first turns the rows of a bottom-up DIB of inHeight rows
// the right way up (y -> inHeight - y), then applies inMatrix.
MatrixRecord FlipThen(const MatrixRecord& inMatrix, LONG inHeight)
{
  MatrixRecord theResult = inMatrix;
  for (int j = 0; j < 3; ++j) {
    theResult.matrix[1][j] = SaturateFixed(-static_cast<LONGLONG>(inMatrix.matrix[1][j]));
    theResult.matrix[2][j] =
      SaturateFixed(static_cast<LONGLONG>(inHeight) * inMatrix.matrix[1][j] + inMatrix.matrix[2][j]);
  }
  return theResult;
}

// Keeps the Windows last error across a QuickTime call.
class LastErrorKeeper {
public:
  LastErrorKeeper() : mError(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(mError); }

private:
  DWORD mError;
};

}  // namespace

BitmapQT::~BitmapQT()
{
  Dispose();
}

bool BitmapQT::GetSize(LONG& outDepth, LONG& outWidth, LONG& outHeight)
{
  outDepth = outWidth = outHeight = 0;
  if (!mBuffer || !QT())
    return false;
  Rect theBounds{};
  QT()->GetPortBounds(mBuffer, &theBounds);
  outWidth = theBounds.right - theBounds.left;
  outHeight = theBounds.bottom - theBounds.top;
  PixMapHandle thePixMap = QT()->GetGWorldPixMap(mBuffer);
  outDepth = thePixMap ? (*thePixMap)->pixelSize : 0;
  return true;
}

LONG BitmapQT::Create(LONG inDepth, LONG inWidth, LONG inHeight)
{
  TL_ASSERT(mBuffer == NULL);
  if (mBuffer)
    return ERROR_INVALID_PARAMETER;
  if (inWidth > kMaxSide || inHeight > kMaxSide)
    return ERROR_INVALID_PARAMETER;
  if (!QT())
    return OSErrToWinError(kQTNotInstalledErr);
  const Rect theBounds = RECTToQDRect(RECT{0, 0, inWidth, inHeight});
  LastErrorKeeper theKeeper;
  return OSErrToWinError(QT()->NewGWorld(&mBuffer, inDepth, &theBounds, nullptr, nullptr, 0));
}

LONG BitmapQT::Resize(LONG inDepth, LONG inWidth, LONG inHeight)
{
  TL_ASSERT(mBuffer);
  if (!mBuffer || !QT())
    return ERROR_INVALID_PARAMETER;
  if (inWidth > kMaxSide || inHeight > kMaxSide)
    return ERROR_INVALID_PARAMETER;
  const Rect theBounds = RECTToQDRect(RECT{0, 0, inWidth, inHeight});
  const GWorldFlags theFlags = mDither ? kQTClipPix | kQTDitherPix : kQTClipPix;
  LastErrorKeeper theKeeper;
  if (QT()->UpdateGWorld(&mBuffer, inDepth, &theBounds, nullptr, nullptr, theFlags) < 0)
    return OSErrToWinError(QT()->QDError());
  return 0;
}

void BitmapQT::Dispose()
{
  if (mBuffer) {
    TL_ASSERT_TEXT(!mCurrentPort && !mCurrentDev, "(!mCurrentPort) && (!mCurrentDev)");
    TL_ASSERT(mLocks == 0);
    if (QT())
      QT()->DisposeGWorld(mBuffer);
    mBuffer = nullptr;
    mCurrentPort = nullptr;
    mCurrentDev = nullptr;
    mLocks = 0;
  }
  NativeBitmap::Dispose();
}

HDC BitmapQT::GetHDC()
{
  return mBuffer && QT() ? QT()->GetPortHDC(mBuffer) : nullptr;
}

HBITMAP BitmapQT::GetHBITMAP()
{
  return mBuffer && QT() ? QT()->GetPortHBITMAP(mBuffer) : nullptr;
}

LONG BitmapQT::GetDepth()
{
  PixMapHandle thePixMap = mBuffer && QT() ? QT()->GetGWorldPixMap(mBuffer) : nullptr;
  return thePixMap ? (*thePixMap)->pixelSize : kTLNoPixelFormat;
}

void BitmapQT::BeginDraw()
{
  TL_ASSERT(mBuffer);
  TL_ASSERT_TEXT(!mCurrentPort && !mCurrentDev, "(!mCurrentPort) && (!mCurrentDev)");
  if (!mBuffer || !QT())
    return;
  const QTServices& theQT = *QT();
  theQT.GetGWorld(&mCurrentPort, &mCurrentDev);
  theQT.SetGWorld(mBuffer, nullptr);
  theQT.GetPenState(&mSavedPenState);
  theQT.GetForeColor(&mSavedForeColor);
  theQT.GetBackColor(&mSavedBackColor);
}

LONG BitmapQT::EndDraw()
{
  if (QT()) {
    const QTServices& theQT = *QT();
    theQT.RGBForeColor(&mSavedForeColor);
    theQT.RGBBackColor(&mSavedBackColor);
    theQT.SetPenState(&mSavedPenState);
    theQT.SetGWorld(mCurrentPort, mCurrentDev);
  }
  mCurrentPort = nullptr;
  mCurrentDev = nullptr;
  return 0;
}

bool BitmapQT::LockPixels(LockedPixels& outPixels)
{
  if (!mBuffer || !QT())
    return false;
  const QTServices& theQT = *QT();
  Rect theBounds{};
  theQT.GetPortBounds(mBuffer, &theBounds);
  outPixels.mHeight = theBounds.bottom - theBounds.top;
  PixMapHandle thePixMap = theQT.GetGWorldPixMap(mBuffer);
  TL_ASSERT(thePixMap);
  if (!thePixMap)
    return false;
  outPixels.mFormat = (*thePixMap)->pixelFormat ? static_cast<LONG>((*thePixMap)->pixelFormat) : (*thePixMap)->pixelSize;
  outPixels.mPixSize = theQT.QTGetPixelSize(static_cast<OSType>(outPixels.mFormat));
  // The state before the outermost lock is the one the last unlock restores.
  if (mLocks == 0)
    mSavedPixelsState = theQT.GetPixelsState(thePixMap);
  if (!theQT.LockPixels(thePixMap))
    return false;
  outPixels.mBase = reinterpret_cast<BYTE*>(theQT.GetPixBaseAddr(thePixMap));
  outPixels.mRowBytes = theQT.QTGetPixMapHandleRowBytes(thePixMap);
  // The pixel map keeps only the low 14 bits of a long row.
  TL_ASSERT_TEXT((outPixels.mRowBytes & 0x3FFF) == ((*thePixMap)->rowBytes & 0x3FFF),
                 "*outRowLen == (((*thePixMap)->rowBytes) & 0x3fff)");
  ++mLocks;
  return true;
}

void BitmapQT::UnlockPixels()
{
  --mLocks;
  if (mLocks == 0) {
    TL_ASSERT(mBuffer);
    PixMapHandle thePixMap = mBuffer && QT() ? QT()->GetGWorldPixMap(mBuffer) : nullptr;
    TL_ASSERT(thePixMap);
    if (thePixMap) {
      QT()->UnlockPixels(thePixMap);
      QT()->SetPixelsState(thePixMap, mSavedPixelsState);
    }
  }
  TL_ASSERT(mLocks >= 0);
}

LONG BitmapQT::CopyFromDC(HDC inHDC, RECT inSrcRect, RECT inDstRect)
{
  GDIAccess theAccess(inHDC);
  HBITMAP theBitmap = theAccess.GetHBITMAP();
  return CopyFromBitmap(theAccess.GetHDC(), theBitmap, inSrcRect, inDstRect);
}

LONG BitmapQT::CopyFromDCTransformed(HDC inHDC, RECT inSrcRect, const XFORM& inXform)
{
  GDIAccess theAccess(inHDC);
  HBITMAP theBitmap = theAccess.GetHBITMAP();
  return CopyFromBitmapTransformed(theAccess.GetHDC(), theBitmap, inSrcRect, inXform);
}

LONG BitmapQT::CopyFromBitmap(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect, RECT inDstRect)
{
  if (!QT())
    return OSErrToWinError(kQTNotInstalledErr);
  const Rect theSrc = RECTToQDRect(inSrcRect);
  const Rect theDst = RECTToQDRect(inDstRect);
  MatrixRecord theMatrix;
  QT()->RectMatrix(&theMatrix, &theSrc, &theDst);
  return OSErrToWinError(CopyFrom(inHDC, inHBITMAP, inSrcRect, &theMatrix));
}

LONG BitmapQT::CopyFromBitmapTransformed(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect, const XFORM& inXform)
{
  if (!QT())
    return OSErrToWinError(kQTNotInstalledErr);
  MatrixRecord theMatrix;
  if (OSErr theErr = TransformToMatrix(inXform, theMatrix); theErr != 0)
    return OSErrToWinError(theErr);
  return OSErrToWinError(CopyFrom(inHDC, inHBITMAP, inSrcRect, &theMatrix));
}

OSErr BitmapQT::CopyFrom(HDC inHDC, HBITMAP inHBITMAP, RECT inSrcRect, const MatrixRecord* inMatrix)
{
  TL_ASSERT_TEXT(inHBITMAP, "inSrc");
  if (!mBuffer || !QT())
    return kQTNoErr;
  MatrixRecord theMatrix;
  if (inMatrix)
    theMatrix = *inMatrix;
  else
    QT()->SetIdentityMatrix(&theMatrix);
  ImageDescriptionHandle theDesc = nullptr;
  Ptr theData = nullptr;
  MakeImageDescription(inHDC, inHBITMAP, &theDesc, &theData);
  if (!theDesc)
    return kQTMemFullErr;

  const LONG theWidth = (*theDesc)->width;
  const LONG theHeight = (*theDesc)->height;
  RECT theSrc = IntersectRects(inSrcRect, RECT{0, 0, theWidth, theHeight});
  OSErr theErr = kQTNoErr;
  if (theSrc.left < theSrc.right && theSrc.top < theSrc.bottom) {
    // The description's rows are the DIB's rows in memory: a bottom-up DIB
    // is described upside down and turned back by the matrix.
    DIBSECTION theDIB{};
    GetObjectA(inHBITMAP, sizeof theDIB, &theDIB);
    if (theDIB.dsBmih.biHeight > 0) {
      theMatrix = FlipThen(theMatrix, theHeight);
      theSrc = RECT{theSrc.left, theHeight - theSrc.bottom, theSrc.right, theHeight - theSrc.top};
    }
    theErr = DrawImageDescription(theDesc, theData, RECTToQDRect(theSrc), theMatrix);
  }
  QT()->DisposeHandle(reinterpret_cast<Handle>(theDesc));
  return theErr;
}

OSErr BitmapQT::DrawImageDescription(ImageDescriptionHandle inDesc, Ptr inData, const Rect& inSrcRect,
                                     const MatrixRecord& inMatrix)
{
  TL_ASSERT(inDesc);
  TL_ASSERT(mBuffer);
  PixMapHandle dstPixMap = mBuffer && QT() ? QT()->GetGWorldPixMap(mBuffer) : nullptr;
  TL_ASSERT(dstPixMap);
  if (!inDesc || !dstPixMap)
    return kQTParamErr;
  const QTServices& theQT = *QT();
  const SInt16 theMode = static_cast<SInt16>(mGraphicsMode + (mDither > 0 ? kQTDitherCopy : 0));
  BeginDraw();
  theQT.OpColor(&mOpColor);
  OSErr theErr;
  {
    LastErrorKeeper theKeeper;
    theErr = theQT.FDecompressImage(inData, inDesc, dstPixMap, &inSrcRect, &inMatrix, theMode, nullptr, nullptr,
                                    nullptr, kQTCodecMaxQuality, kBestFidelityCodec, (*inDesc)->dataSize, nullptr,
                                    nullptr);
  }
  EndDraw();
  return theErr;
}

void BitmapQT::MakeImageDescription(HDC inHDC, HBITMAP inHBITMAP, ImageDescriptionHandle* outDesc, Ptr* outData)
{
  *outDesc = nullptr;
  *outData = nullptr;
  DIBSECTION theDIB{};
  if (!QT() || GetObjectA(inHBITMAP, sizeof theDIB, &theDIB) != static_cast<int>(sizeof theDIB))
    return;
  const QTServices& theQT = *QT();
  auto theDesc = reinterpret_cast<ImageDescriptionHandle>(theQT.NewHandle(sizeof(ImageDescription)));
  if (!theDesc)
    return;
  theQT.HLock(reinterpret_cast<Handle>(theDesc));
  ImageDescription& theRecord = **theDesc;
  std::memset(&theRecord, 0, sizeof theRecord);
  theRecord.idSize = static_cast<SInt32>(theQT.GetHandleSize(reinterpret_cast<Handle>(theDesc)));
  theRecord.cType = kRawCodec;
  theRecord.spatialQuality = kQTCodecNormalQuality;
  theRecord.width = static_cast<SInt16>(theDIB.dsBm.bmWidth);
  theRecord.height = static_cast<SInt16>(theDIB.dsBm.bmHeight);
  theRecord.hRes = theQT.Long2Fix(72);
  theRecord.vRes = theQT.Long2Fix(72);
  if (theDIB.dsBmih.biXPelsPerMeter > 0 && theDIB.dsBmih.biYPelsPerMeter > 0) {
    theRecord.hRes = theQT.X2Fix(theDIB.dsBmih.biXPelsPerMeter * kInchesPerMeter);
    theRecord.vRes = theQT.X2Fix(theDIB.dsBmih.biYPelsPerMeter * kInchesPerMeter);
  }
  theRecord.dataSize = static_cast<SInt32>(theDIB.dsBmih.biSizeImage);
  theRecord.depth = static_cast<SInt16>(theDIB.dsBm.bmBitsPixel);
  theRecord.clutID = -1;
  theQT.HUnlock(reinterpret_cast<Handle>(theDesc));
  *outDesc = theDesc;
  *outData = static_cast<Ptr>(theDIB.dsBm.bmBits);
  if (theDIB.dsBm.bmBitsPixel <= 8)
    AttachColorTable(inHDC, theDesc);
}

void BitmapQT::AttachColorTable(HDC inHDC, ImageDescriptionHandle inDesc)
{
  RGBQUAD theColors[256];
  const UINT theCount = GetDIBColorTable(inHDC, 0, 256, theColors);
  if (theCount <= 2 || !QT())
    return;
  const QTServices& theQT = *QT();
  auto theTable = reinterpret_cast<CTabHandle>(theQT.NewHandle(static_cast<Size>(8 + 8 * theCount)));
  if (!theTable)
    return;
  ColorTable& theRecord = **theTable;
  theRecord.ctSeed = 0;
  theRecord.ctFlags = 0;
  theRecord.ctSize = static_cast<SInt16>(theCount - 1);
  for (UINT i = 0; i < theCount; ++i)
    theRecord.ctTable[i] = ColorSpec{static_cast<SInt16>(i),
                                     RGBColor{static_cast<std::uint16_t>(theColors[i].rgbRed << 8),
                                              static_cast<std::uint16_t>(theColors[i].rgbGreen << 8),
                                              static_cast<std::uint16_t>(theColors[i].rgbBlue << 8)}};
  theQT.SetImageDescriptionCTable(inDesc, theTable);
  theQT.DisposeHandle(reinterpret_cast<Handle>(theTable));
}
