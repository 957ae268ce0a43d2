#include "objects/Select.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/PixelLock.h"
#include "platform/base/LastError.h"

#include <algorithm>

namespace {

constexpr LONG kCanvasSide = 256;
constexpr LONG kSelected = 255;

// The selection types of the keyword selectiontype.
enum : LONG { kColor = 0, kNotColor = 1, kAll = 2, kNone = 3 };

// The transfer modes that combine; every other mode copies.
enum : WORD { kAddPin = 33, kAddOver = 34, kSubPin = 35, kAddMax = 37, kSubOver = 38, kAddMin = 39, kSubMin = 4095 };

DWORD Combine(WORD inMode, LONG inAlpha, LONG inValue, LONG inPin)
{
  switch (inMode) {
    case kAddPin:
      return static_cast<DWORD>(std::min(inAlpha + inValue, inPin));
    case kAddOver:
      return static_cast<DWORD>(inAlpha + inValue) & 0xFF;
    case kSubPin:
      return static_cast<DWORD>(std::max(inAlpha - inValue, inPin));
    case kAddMax:
      return static_cast<DWORD>(std::min(inAlpha + inValue, kSelected));
    case kSubOver:
      return static_cast<DWORD>(inAlpha - inValue) & 0xFF;
    case kAddMin:
      return static_cast<DWORD>(std::min(inAlpha, inValue));
    case kSubMin:
      return static_cast<DWORD>(std::max(inAlpha - inValue, LONG{0}));
    default:
      return static_cast<DWORD>(inValue);
  }
}

}  // namespace

void Select::SetSelectionType(const char* inType)
{
  if (mParams)
    mParams->ApplyParameter("selectiontype", inType);
  AddLogParam("Type", inType);
}

LONG Select::PrepareCanvas(Bitmap& inWorld)
{
  inWorld.SetDepth(32);
  return inWorld.Create(kCanvasSide, kCanvasSide, 32, nullptr);
}

LONG Select::DoIt(Bitmap& inWorld)
{
  const LONG theStatus = PrepareCanvas(inWorld);
  if (theStatus != 0) {
    mError->mWindowsCode = theStatus;
  } else {
    ColorValue theKey = mParams->KeyColor;
    if (mParams->HasKeyLocation)
      inWorld.GetPixel(mParams->KeyLocation.x, mParams->KeyLocation.y, theKey);
    // 1e30 would overflow the integer, and above 100 no distance changes side.
    const double thePercent = std::clamp(static_cast<double>(mParams->Tolerance), 0.0, 100.0);
    const auto theTolerance = static_cast<LONG>(thePercent * 256.0 * 0.01);
    const auto theRed = static_cast<BYTE>(theKey.mRed >> 8);
    const auto theGreen = static_cast<BYTE>(theKey.mGreen >> 8);
    const auto theBlue = static_cast<BYTE>(theKey.mBlue >> 8);
    switch (mParams->SelectionType) {
      case kColor:
        SelectByColor(inWorld, theRed, theGreen, theBlue, theTolerance, false);
        break;
      case kNotColor:
        SelectByColor(inWorld, theRed, theGreen, theBlue, theTolerance, true);
        break;
      case kAll:
        SelectAll(inWorld, kSelected);
        break;
      case kNone:
        SelectAll(inWorld, 0);
        break;
      default:
        break;
    }
  }
  if (const DWORD theCode = GetLastError(); theCode != 0)
    mError->mWindowsCode = static_cast<LONG>(theCode);
  mError->AddContext("Unable to draw shape");
  return theStatus;
}

void Select::SelectByColor(Bitmap& inWorld, BYTE inKeyRed, BYTE inKeyGreen, BYTE inKeyBlue, LONG inTolerance,
                           bool inInvert)
{
  const LONG theLimit = inTolerance * inTolerance * 3;
  CombineIntoAlpha(inWorld, [&](LONG inRed, LONG inGreen, LONG inBlue) {
    const LONG theDistance = (inRed - inKeyRed) * (inRed - inKeyRed) + (inGreen - inKeyGreen) * (inGreen - inKeyGreen) +
                             (inBlue - inKeyBlue) * (inBlue - inKeyBlue);
    const bool theSelected = inInvert ? theDistance > theLimit : theDistance < theLimit;
    return theSelected ? kSelected : 0;
  });
}

void Select::SelectAll(Bitmap& inWorld, BYTE inValue)
{
  CombineIntoAlpha(inWorld, [&](LONG, LONG, LONG) { return LONG{inValue}; });
}

template <typename ValueOf>
void Select::CombineIntoAlpha(Bitmap& inWorld, ValueOf inValueOf)
{
  PixelLock theLock(inWorld);
  if (!theLock.Is32Bit()) {
    mError->AddMessage("Unable to lock canvas.");
    return;
  }
  TL_ASSERT_TEXT(theLock.GetPixels().mRowBytes / 4 == inWorld.GetBounds().right, "theRowLen == inWorld.GetWidth()");
  const WORD theMode = mParams->Mode;
  const LONG thePin = mParams->ModeColor.mRed >> 8;
  theLock.ForEachWord([&](DWORD& ioWord, LONG, LONG) {
    const LONG theValue = inValueOf(static_cast<LONG>(theLock.Channel(ioWord, PixelLock::kRedChannel)),
                                    static_cast<LONG>(theLock.Channel(ioWord, PixelLock::kGreenChannel)),
                                    static_cast<LONG>(theLock.Channel(ioWord, PixelLock::kBlueChannel)));
    const auto theAlpha = static_cast<LONG>(theLock.Channel(ioWord, PixelLock::kAlphaChannel));
    ioWord = theLock.WithChannel(ioWord, PixelLock::kAlphaChannel, Combine(theMode, theAlpha, theValue, thePin));
  });
}
