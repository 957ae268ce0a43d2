#include "objects/MiscOps.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/GDIAccess.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "objects/IPLUtils.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/gdi/Gdi.h"

#include <cinttypes>
#include <cstdlib>

namespace {

// Logs the image handle under the name of its kind; false for a handle that
// is neither a bitmap nor a memory device context (null, forged or stale).
bool LogImage(Operation& ioOp, HGDIOBJ inImage)
{
  const std::string theText = FormatC("0x%08" PRIx32, HandleToNumber(inImage));
  switch (GetObjectType(inImage)) {
  case OBJ_BITMAP:
    ioOp.AddLogParam("Image(HBITMAP)", theText.c_str());
    return true;
  case OBJ_MEMDC:
    ioOp.AddLogParam("Image(Memory HDC)", theText.c_str());
    return true;
  default:
    ioOp.AddLogParam("Image", theText.c_str());
    return false;
  }
}

constexpr char kBadImageMessage[] = "Unable to understand image provided";

}  // namespace

LONG EraseCanvas::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = inWorld.Erase();
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  return theStatus;
}

LONG InvertCanvas::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = inWorld.Invert();
  if (theStatus != 0)
    mError->mWindowsCode = theStatus;
  return theStatus;
}

// ---- DrawCanvas

void DrawCanvas::SetImage(HGDIOBJ inImage)
{
  mImage = inImage;
  if (!LogImage(*this, inImage))
    mError->AddMessage(kBadImageMessage);
}

LONG DrawCanvas::DoIt(Bitmap& inWorld)
{
  GDIAccess theAccess(mImage);
  SetLastError(0);
  const auto theFail = [&](LONG inCode) {
    mError->mWindowsCode = inCode;
    return 0;
  };
  if (const LONG theStatus = inWorld.Update(); theStatus != 0)
    return theFail(theStatus);
  HDC theDC = theAccess.GetHDC();
  HBITMAP theHBM = theDC ? theAccess.GetHBITMAP() : nullptr;
  BITMAP theInfo{};
  if (!theHBM || GetObjectA(theHBM, sizeof(theInfo), &theInfo) != sizeof(theInfo))
    return theFail(static_cast<LONG>(GetLastError()));
  if (!inWorld.GetHDC()) {
    if (const LONG theStatus = inWorld.Create(theInfo.bmWidth, theInfo.bmHeight, -1, nullptr); theStatus != 0)
      return theFail(theStatus);
  }
  // Either road would read pixels it has already written when the image is
  // the canvas's own (and GDI refuses a rotated source then): it reads a copy.
  Bitmap theCopy;
  if (theHBM == inWorld.GetHBITMAP()) {
    LONG theStatus = theCopy.Create(theInfo.bmWidth, theInfo.bmHeight, inWorld.GetDepth(), nullptr);
    if (theStatus == 0)
      theStatus = theCopy.CopyAllFromDC(theDC);
    if (theStatus != 0)
      return theFail(theStatus);
    theDC = theCopy.GetHDC();
    theHBM = theCopy.GetHBITMAP();
  }

  const RECT theImageRect{0, 0, theInfo.bmWidth, theInfo.bmHeight};
  mRect = mParams->GetPlacement(theImageRect, inWorld.GetBounds());
  const RECT theSource = mParams->GetSourceRect(theImageRect);
  const Transform theTransform = mParams->GetDestTransform(mRect, theSource);
  // The kernels refuse a source narrower or shorter than 2 pixels.
  const bool theKernel = mParams->Mode == 0 && theInfo.bmBitsPixel == 32 && GetPrefLong("IPLTransform", 1) != 0 &&
                         !theTransform.LeavesRectUnchanged(theImageRect) && RectWidth(theSource) >= 2 &&
                         RectHeight(theSource) >= 2;

  NativeBitmap& theBacking = *inWorld.GetNativeBitmap();
  const DrawingStateSaver theSaver(theBacking);
  const ColorValue& theColor = mParams->ModeColor;
  theBacking.SetDither(mParams->Dither);
  theBacking.SetGraphicsMode(mParams->Mode, RGBColor{theColor.mRed, theColor.mGreen, theColor.mBlue});
  if (!theKernel) {
    if (const LONG theStatus = inWorld.CopyFromDCTransformed(theDC, theSource, theTransform); theStatus != 0)
      return theFail(theStatus);
    return 0;
  }
  IPLBridge theBridge;
  theBridge.SetSource(theHBM, IPLBridge::Order::kDIB);
  theBridge.SetDestination(&inWorld);
  theBridge.SetTransform(theTransform);
  theBridge.SetClip(theSource);
  if (const char* theText = IPLStatusText(theBridge.Run())) {
    mError->AddMessage("IPL Error - ");
    mError->AddMessage(theText);
  }
  return 0;
}

// ---- SetChannel

void SetChannel::SetImage(HGDIOBJ inImage)
{
  mImage = inImage;
  if (!LogImage(*this, inImage))
    mError->AddMessage(kBadImageMessage);
}

void SetChannel::SetChannelIndex(const char* inChannel)
{
  TL_ASSERT(inChannel);
  if (!inChannel)
    return;
  if (!ParseChannel(inChannel, mChannel))
    mError->AddMessage("Unable to understand channel.");
  AddLogParam("Channel", inChannel);
}

LONG SetChannel::DoIt(Bitmap& inWorld)
{
  GDIAccess theAccess(mImage);
  // Pixels of another depth are brought to 32 bits here, since the loop
  // below walks 4 bytes a pixel.
  inWorld.SetDepth(32);
  if (const LONG theStatus = inWorld.Create(256, 256, -1, nullptr); theStatus != 0) {
    mError->mWindowsCode = theStatus;
    return 0;
  }
  HBITMAP theHBM = theAccess.GetHBITMAP();
  if (!theHBM)
    return 0;
  BITMAP theInfo{};
  HDC theDC = theAccess.GetHDC();
  if (!theDC || GetObjectA(theHBM, sizeof(theInfo), &theInfo) != sizeof(theInfo)) {
    mError->mWindowsCode = static_cast<LONG>(GetLastError());
    return 0;
  }

  // 256 grey levels, so that each pixel's own level is written.
  Bitmap theGreys;
  LONG theStatus = theGreys.Create(inWorld.GetWidth(), inWorld.GetHeight(), 40, nullptr);
  if (theStatus == 0)
    theStatus = theGreys.CopyFromDC(theDC, RECT{0, 0, theInfo.bmWidth, theInfo.bmHeight}, theGreys.GetBounds());
  if (theStatus != 0) {
    mError->mWindowsCode = theStatus;
    return 0;
  }

  const DWORD* theMasks = nullptr;
  const LONG* theShifts = nullptr;
  RGBQUAD theTable[256];
  const LONG theNumCols = theGreys.GetColorTable(theTable);
  TL_ASSERT_TEXT(theNumCols <= 256, "theNumCols <= SIZEOFARRAY(greys)");
  TL_ASSERT(mChannel < 4);
  if (!inWorld.GetChannelMasks(&theMasks, &theShifts) || mChannel < 0 || mChannel >= 4 ||
      theShifts[mChannel] < 0)
    return 0;
  const LONG theShift = theShifts[mChannel];
  const DWORD theKeep = ~theMasks[mChannel];
  DWORD theGreyWords[256] = {};
  for (LONG i = 0; i < theNumCols && i < 256; ++i) {
    const DWORD theGrey = (DWORD{theTable[i].rgbRed} + theTable[i].rgbGreen + theTable[i].rgbBlue) / 3;
    theGreyWords[i] = theGrey << theShift;
  }

  LockedPixels theChannelPixels;
  LockedPixels theRGBPixels;
  if (!theGreys.LockPixels(theChannelPixels))
    return 0;
  if (!inWorld.LockPixels(theRGBPixels)) {
    theGreys.UnlockPixels();
    return 0;
  }
  const LONG theRGBRowLen = theRGBPixels.mRowBytes / 4;
  const LONG theChannelRowLen = theChannelPixels.mRowBytes;
  const bool theGreyBytes = theChannelPixels.mPixSize == 8;
  const bool theWords = theRGBPixels.mPixSize == 32;
  const bool theRowLen = theRGBRowLen == inWorld.GetWidth();
  const bool theRowLens = std::abs(theRGBRowLen - theChannelRowLen) <= 4;
  const bool theRows = theChannelPixels.mHeight == theRGBPixels.mHeight;
  TL_ASSERT_TEXT(theGreyBytes, "channelPixSize == 8");
  TL_ASSERT_TEXT(theWords, "rgbPixSize == 32");
  TL_ASSERT_TEXT(theRowLen, "rgbRowLen == inWorld.GetWidth()");
  TL_ASSERT_TEXT(theRowLens, "abs(rgbRowLen - channelRowLen) <= 4");
  TL_ASSERT_TEXT(theRows, "channelNumRows == rgbNumRows");
  // A failed check skips the loop, which would otherwise read or write past
  // a row.
  const bool theFits = theGreyBytes && theWords && theRowLen && theRowLens && theRows;
  if (theFits) {
    const LONG theWidth = inWorld.GetWidth();
    for (LONG y = 0; y < theRGBPixels.mHeight; ++y) {
      const BYTE* theIndex = theChannelPixels.mBase + LONGLONG{y} * theChannelPixels.mRowBytes;
      auto* thePixel = reinterpret_cast<DWORD*>(theRGBPixels.mBase + LONGLONG{y} * theRGBPixels.mRowBytes);
      for (LONG x = 0; x < theWidth; ++x)
        thePixel[x] = (thePixel[x] & theKeep) | theGreyWords[theIndex[x]];
    }
  }
  inWorld.UnlockPixels();
  theGreys.UnlockPixels();
  return 0;
}
