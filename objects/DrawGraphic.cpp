#include "objects/DrawGraphic.h"

#include "core/AlphaKeeper.h"
#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/GDIAccess.h"
#include "core/ImageMagick.h"
#include "core/ImportOptions.h"
#include "core/JPEGParser.h"
#include "core/QTClasses.h"
#include "core/QTUtils.h"
#include "core/Preferences.h"
#include "core/SystemUtilities.h"
#include "core/Utilities.h"
#include "objects/IJLTempFileReader.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace {

constexpr char kLimitMessage[] =
    "Image is bigger than the maximum we allow. This maximum can only be changed by a System Administrator.";

LONGLONG Area(const RECT& inRect)
{
  return LONGLONG{RectWidth(inRect)} * RectHeight(inRect);
}

// What a frame weighs against the limit: its pixels, or the page up to its
// right and bottom edges when that is more (an empty canvas grows to it).
LONGLONG FrameArea(const Image* inImage)
{
  const RECT thePage = MagickImagePageRect(inImage);
  return std::max(LONGLONG{thePage.right} * thePage.bottom, Area(MagickImageBounds(inImage)));
}

RGBColor ToRGBColor(const ColorValue& inColor)
{
  return RGBColor{inColor.mRed, inColor.mGreen, inColor.mBlue};
}

}  // namespace

DrawGraphic::~DrawGraphic()
{
  if (mDataPtr) {
    const HRESULT theResult = UnaccessVARIANT(mData);
    TL_ASSERT(SUCCEEDED(theResult));
  }
}

void DrawGraphic::SetFile(const char* inFile)
{
  TL_ASSERT(inFile);
  if (!inFile)
    return;
  mPath = inFile;
  mGotPath = true;
  AddLogParam("File", inFile);
}

void DrawGraphic::SetData(const VARIANT* inData)
{
  TL_ASSERT((inData) && (!mDataPtr));
  if (!inData || mDataPtr)
    return;
  mData = *inData;
  mGotData = true;
  const HRESULT theResult = AccessVARIANT(mData, mDataPtr, mDataLength);
  if (FAILED(theResult)) {
    mDataPtr = nullptr;
    mDataLength = 0;
    AddLogParam("Data", "????????");
    mError->mWindowsCode = theResult;
    return;
  }
  TL_ASSERT(mDataPtr);
  if (mDataLength >= 8) {
    std::uint32_t theWords[2];
    std::memcpy(theWords, mDataPtr, sizeof(theWords));
    AddLogParam("Data", FormatC("%" PRId32 " bytes, 0x%08" PRIx32 " 0x%08" PRIx32 " ...", mDataLength, theWords[0],
                                theWords[1])
                            .c_str());
  } else {
    AddLogParam("Data", FormatC("%" PRId32 " bytes", mDataLength).c_str());
  }
}

void DrawGraphic::SetType(const char* inType)
{
  TL_ASSERT(inType);
  if (!inType)
    return;
  if (mParams)
    mParams->ApplyParameter("type", inType);
  AddLogParam("Type", inType);
}

// ---- The reader chain

LONG DrawGraphic::DoIt(Bitmap& inWorld)
{
  const LONGLONG theMaxSize = GetPrefLong("MaxSize", 2000);
  const LONGLONG theLimit = theMaxSize * theMaxSize;
  SetLastError(0);

  if (const LONG theStatus = inWorld.Update(); theStatus != 0) {
    mError->mWindowsCode = theStatus;
    return 0;
  }
  if (mGotData && (mDataLength < 4 || !mDataPtr))
    mError->AddMessage("Insufficient data supplied.");
  else if (mGotPath && !IsURL(mPath) && !FileExists(mPath.c_str()) && !mError->KeepFileRefusal())
    mError->AddMessage("File does not exist.");
  if (mError->HasError())
    return 0;

  const bool theIsJPEG = mGotData ? IsJPEGData(mDataPtr, static_cast<DWORD>(mDataLength)) : IsJPEGFile(mPath.c_str());
  if (theIsJPEG && GetPrefLong("IJLImport", 1) != 0) {
    DrawWithIJL(inWorld, theLimit);
  } else {
    bool theFailed = true;
    if (QuickTimeAvailable() && GetPrefLong("QTImport", 1) != 0) {
      QTImporter theImporter;
      mError->Clear(false);
      DrawWithImporter(theImporter, inWorld, theLimit);
      theFailed = mError->HasError();
    }
    if (theFailed && GetPrefLong("IMImport", 1) != 0) {
      mError->Clear(false);
      DrawWithMagick(inWorld, theLimit);
      theFailed = mError->HasError();
    }
    if (theFailed && QuickTimeAvailable() && GetPrefLong("QTImportMovies", 0) != 0) {
      QTMovieImporter theImporter;
      mError->Clear(false);
      DrawWithImporter(theImporter, inWorld, theLimit);
    }
  }
  if (!mError->HasError() && !mDrawn)
    mError->AddMessage("No importer could read the image.");
  FillNewCanvas(inWorld);
  return 0;
}

// ---- The JPEG library

void DrawGraphic::DrawWithIJL(Bitmap& inWorld, LONGLONG inLimit)
{
  IJLTempFileReader theReader;
  GDIAccess theAccess;
  TL_ASSERT(mGotPath || mGotData);
  if (mGotData)
    theReader.SetData(mDataPtr, mDataLength);
  else
    theReader.SetPath(mPath.c_str());

  LONG theWindowsCode = 0;
  theReader.ReadHeader();
  if (!theReader.GetErrorText()) {
    const LONG theWidth = theReader.GetNaturalWidth();
    const LONG theHeight = theReader.GetNaturalHeight();
    PrepareCanvas(inWorld, theWidth, theHeight, inLimit);
    if (mError->HasError())
      return;

    const RECT theNatural = theReader.GetNaturalBounds();
    const RECT thePlacement = mParams->GetPlacement(theNatural, inWorld.GetBounds());
    RECT theSource = mParams->GetSourceRect(theNatural);
    Transform theTransform = mParams->GetDestTransform(thePlacement, theSource);

    // A large JPEG placed small decodes at the smallest DCT scale still
    // larger than its placed box, with the source rectangle scaled to match.
    if (LONGLONG{theWidth} * theHeight > (inLimit >> 4)) {
      const RECT theBox = MapRectBounds(theTransform, theNatural);
      theReader.ChooseScale(RectWidth(theBox), RectHeight(theBox));
      if (const LONG theScale = theReader.GetScale(); theScale > 1) {
        for (LONG* theValue : {&theSource.left, &theSource.top, &theSource.right, &theSource.bottom})
          *theValue = static_cast<LONG>((LONGLONG{*theValue} + theScale - 1) / theScale);
        theTransform = mParams->GetDestTransform(thePlacement, theSource);
      }
    }
    if (theReader.GetPixelCount() > inLimit) {
      AddLimitMessage();
      return;
    }

    theReader.ReadImage();
    theAccess.Set(theReader.GetHBITMAP());
    if (!theReader.GetErrorText()) {
      if (HDC theDC = theAccess.GetHDC(); !theDC) {
        theWindowsCode = static_cast<LONG>(GetLastError());
      } else {
        mRect = PlacedRect(thePlacement);
        PlaceImage(inWorld, theDC, theAccess.GetHBITMAP(), IPLBridge::Order::kDIB, theSource, theTransform);
      }
    }
  }
  if (const char* theText = theReader.GetErrorText()) {
    mError->AddMessage("JPEG Error - ");
    mError->AddMessage(theText);
  }
  if (theWindowsCode != 0)
    mError->mWindowsCode = theWindowsCode;
}

// ---- QuickTime importers

void DrawGraphic::DrawWithImporter(ImportOptions& ioImporter, Bitmap& inWorld, LONGLONG inLimit)
{
  TL_ASSERT(mGotPath || mGotData);
  mError->AddContext("Unable to draw file.");
  const auto theKeepCodes = [&] {
    mError->mQuickTimeCode = ioImporter.GetQTError();
    if (const LONG theCode = ioImporter.GetWinError(); theCode != 0)
      mError->mWindowsCode = theCode;
  };
  if (mGotData)
    ioImporter.ReadData(mDataPtr, mDataLength);
  else
    ioImporter.ReadFile(mPath.c_str());
  theKeepCodes();
  if (mError->HasError())
    return;

  ioImporter.SetName(mParams->Type.c_str());
  ioImporter.SetImageIndex(mParams->Image);
  ioImporter.SetTime(mParams->Time);
  ioImporter.SetGraphicsMode(mParams->Mode, ToRGBColor(mParams->ModeColor));
  ioImporter.SetDither(mParams->Dither);
  RECT theBounds{0, 0, 0, 0};
  RECT theNatural{0, 0, 0, 0};
  ioImporter.GetBounds(theBounds);
  ioImporter.GetNaturalBounds(theNatural);
  theKeepCodes();
  if (mError->HasError())
    return;
  if (LONGLONG{theBounds.right} * theBounds.bottom > inLimit || Area(theNatural) > inLimit) {
    AddLimitMessage();
    return;
  }
  PrepareCanvas(inWorld, theBounds.right, theBounds.bottom, inLimit);
  // The importer draws in its own way: no telling what it covers.
  FillNewCanvas(inWorld);
  if (mError->HasError())
    return;

  const RECT thePlacement = mParams->GetPlacement(theBounds, inWorld.GetBounds());
  mRect = PlacedRect(thePlacement);
  RECT theClip = mParams->GetSourceRect(theBounds);
  ioImporter.SetClipRect(theClip);
  const Transform theTransform = mParams->GetDestTransform(thePlacement, theClip);
  ioImporter.GetClipRect(theClip);

  if (UseIPLTransform(theClip) && !theTransform.LeavesRectUnchanged(theNatural) &&
      ioImporter.DrawsAllPixels() != 0 && ioImporter.GetDepth() >= 24) {
    Bitmap theTemp;
    if (const LONG theStatus = theTemp.Create(RectWidth(theNatural), RectHeight(theNatural), 32, nullptr);
        theStatus != 0) {
      mError->mWindowsCode = theStatus;
      return;
    }
    ioImporter.Draw(&theTemp);
    theKeepCodes();
    if (mError->HasError())
      return;
    theTemp.ToRGBA();
    IPLBridge theBridge;
    theBridge.SetSource(theTemp.GetHBITMAP(), IPLBridge::Order::kRGBA);
    theBridge.SetDestination(&inWorld);
    theBridge.SetTransform(theTransform);
    theBridge.SetClip(theClip);
    AddIPLError(theBridge.Run());
  } else {
    ioImporter.SetTransform(theTransform);
    ioImporter.Draw(&inWorld);
    theKeepCodes();
  }
  mDrawn = !mError->HasError();
}

// ---- ImageMagick

void DrawGraphic::DrawWithMagick(Bitmap& inWorld, LONGLONG inLimit)
{
  TL_ASSERT(mGotPath || mGotData);
  MagickReader theReader;
  const char* theName = mParams->Type.empty() ? nullptr : mParams->Type.c_str();
  const auto theRead = [&] {
    if (mGotData)
      theReader.ReadBlob(mDataPtr, static_cast<std::size_t>(mDataLength), theName);
    else
      theReader.ReadFile(mPath.c_str(), theName);
  };
  const LONG theFrame = std::max<LONG>(mParams->Image, 1);
  // The attributes of the frame asked for first, so that no pixels are
  // decoded beyond the limit; a size that the header declares counts where
  // ImageMagick refused it. Then that frame's pixels alone.
  theReader.SetPing(true);
  theReader.SetFrame(theFrame);
  theRead();
  const Image* thePinged = theReader.GetError() ? nullptr : theReader.GetImage(1);
  if (std::max(FrameArea(thePinged), theReader.GetDeclaredArea()) > inLimit) {
    AddLimitMessage();
    return;
  }
  if (!theReader.GetError()) {
    if (!thePinged) {
      TL_ASSERT(thePinged);
      return;
    }
    if (Area(MagickImageBounds(thePinged)) == 0)
      return;
    theReader.Dispose();
    theReader.SetFrame(theFrame);
    theRead();
  }
  if (!theReader.GetError()) {
    const Image* theImage = theReader.GetImage(1);
    TL_ASSERT(theImage);
    if (!theImage)
      return;
    if (FrameArea(theImage) > inLimit) {
      AddLimitMessage();
      return;
    }
    const RECT thePage = MagickImagePageRect(theImage);
    PrepareCanvas(inWorld, thePage.right, thePage.bottom, inLimit);
    if (!mError->HasError()) {
      const RECT thePlacement = mParams->GetPlacement(thePage, inWorld.GetBounds());
      mRect = PlacedRect(thePlacement);
      const RECT theSource = MagickImageToPageRect(theImage, mParams->GetSourceRect(thePage), theFrame);
      const Transform theTransform = mParams->GetDestTransform(thePlacement, theSource);
      const bool theKernel = UseIPLTransform(theSource);
      Bitmap theTemp;
      if (const LONG theStatus = MagickImageToBitmap(theImage, &theTemp, theKernel ? kTL32RGBAPixelFormat : 32);
          theStatus != 0)
        mError->mWindowsCode = theStatus;
      else
        PlaceImage(inWorld, theTemp.GetHDC(), theTemp.GetHBITMAP(),
                   theKernel ? IPLBridge::Order::kRGBA : IPLBridge::Order::kDIB, theSource, theTransform);
    }
  }
  if (const char* theText = theReader.GetError()) {
    mError->AddMessage("ImageMagick Error - ");
    mError->AddMessage(theText);
  }
}

// ---- Placing

void DrawGraphic::PlaceImage(Bitmap& inWorld, HDC inSrcDC, HBITMAP inSrcHBM, IPLBridge::Order inOrder,
                             const RECT& inSrcRect, const Transform& inTransform)
{
  if (!CoversCanvas(inWorld, inSrcRect, inTransform))
    FillNewCanvas(inWorld);
  NativeBitmap& theBacking = *inWorld.GetNativeBitmap();
  DrawingStateSaver theSaver(theBacking);
  theBacking.SetDither(mParams->Dither);
  theBacking.SetGraphicsMode(mParams->Mode, ToRGBColor(mParams->ModeColor));
  if (UseIPLTransform(inSrcRect)) {
    IPLBridge theBridge;
    theBridge.SetSource(inSrcHBM, inOrder);
    theBridge.SetDestination(&inWorld);
    theBridge.SetTransform(inTransform);
    theBridge.SetClip(inSrcRect);
    AddIPLError(theBridge.Run());
  } else if (const LONG theStatus = CopyKeepingAlpha(inWorld, inSrcDC, inSrcRect, inTransform); theStatus != 0) {
    mError->mWindowsCode = theStatus;
  }
  mDrawn = !mError->HasError();
  // A failed copy leaves a new canvas to DoIt's fill.
  mNewCanvas = mNewCanvas && !mDrawn;
}

void DrawGraphic::PrepareCanvas(Bitmap& inWorld, LONG inWidth, LONG inHeight, LONGLONG inLimit)
{
  if (inWorld.GetHDC())
    return;
  const RECT theItem{0, 0, inWidth, inHeight};
  Transform theTransform = mParams->GetItemTransform(inWidth, inHeight);
  if (const RECT theBox = MapRectBounds(theTransform, theItem); theBox.left != 0 || theBox.top != 0) {
    mParams->ExtraTransform.SetIdentity();
    mParams->ExtraTransform.Translate(static_cast<float>(-LONGLONG{theBox.left}),
                                      static_cast<float>(-LONGLONG{theBox.top}));
    theTransform = mParams->GetItemTransform(inWidth, inHeight);
  }
  LONG theWidth = 0;
  LONG theHeight = 0;
  inWorld.FitSize(inWidth, inHeight, theWidth, theHeight, &theTransform);
  if (LONGLONG{theWidth} * theHeight > inLimit) {
    AddLimitMessage();
    return;
  }
  // Left unfilled for a picture that may cover it (FillNewCanvas).
  if (const LONG theStatus = inWorld.Create(inWidth, inHeight, -1, &theTransform, Bitmap::NewPixels::kUnfilled);
      theStatus != 0)
    mError->mWindowsCode = theStatus;
  else
    mNewCanvas = true;
}

void DrawGraphic::FillNewCanvas(Bitmap& inWorld)
{
  if (!mNewCanvas)
    return;
  mNewCanvas = false;
  if (const LONG theStatus = inWorld.Erase(); theStatus != 0 && !mError->HasError())
    mError->mWindowsCode = theStatus;
}

bool DrawGraphic::CoversCanvas(Bitmap& inWorld, const RECT& inSrcRect, const Transform& inTransform)
{
  // A DIB section's new pixels are 0, the alpha that a fill leaves: a copy
  // that writes every pixel's colour and keeps the alpha leaves what the fill
  // and the copy would.
  if (mParams->Mode != 0 || inWorld.GetNativeBitmap()->GetDepth() != kTL32BGRAPixelFormat ||
      inTransform.eM12 != 0 || inTransform.eM21 != 0)
    return false;
  const RECT theBounds = inWorld.GetBounds();
  const auto Spans = [](double inScale, double inMove, LONG inFrom, LONG inTo, LONG inExtent) {
    const double theA = inScale * inFrom + inMove, theB = inScale * inTo + inMove;
    return std::min(theA, theB) <= 0 && std::max(theA, theB) >= inExtent;
  };
  return Spans(inTransform.eM11, inTransform.eDx, inSrcRect.left, inSrcRect.right, theBounds.right) &&
         Spans(inTransform.eM22, inTransform.eDy, inSrcRect.top, inSrcRect.bottom, theBounds.bottom);
}

// ---- Helpers

bool DrawGraphic::UseIPLTransform(const RECT& inRect) const
{
  return mParams->Mode == 0 && GetPrefLong("IPLTransform", 1) != 0 && RectWidth(inRect) >= 2 &&
         RectHeight(inRect) >= 2;
}

RECT DrawGraphic::PlacedRect(const RECT& inPlacement) const
{
  return MapRectBounds(mParams->ExtraTransform, inPlacement);
}

void DrawGraphic::AddLimitMessage()
{
  mError->AddMessage(kLimitMessage);
}

void DrawGraphic::AddIPLError(LONG inStatus)
{
  if (const char* theText = IPLStatusText(inStatus)) {
    mError->AddMessage("IPL Error - ");
    mError->AddMessage(theText);
  }
}
