#include "objects/ReduceColors.h"

#include "core/Bitmap.h"
#include "core/ColorReducer.h"
#include "core/EventLog.h"
#include "core/Paleteer.h"
#include "core/PixelLock.h"
#include "core/Utilities.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"

#include <algorithm>
#include <cinttypes>
#include <cstddef>
#include <cstring>

namespace {

// The grey level of an 8-bit colour, quantised to steps of inStep.
BYTE GreyLevel(DWORD inRed, DWORD inGreen, DWORD inBlue, LONG inStep)
{
  const auto theGrey = static_cast<LONG>(0.299 * inRed + 0.587 * inGreen + 0.114 * inBlue + 0.5);
  return static_cast<BYTE>(theGrey / inStep * inStep);
}

bool ReadDIBSection(Bitmap& inWorld, DIBSECTION& outSection)
{
  return GetObjectA(inWorld.GetHBITMAP(), sizeof outSection, &outSection) == static_cast<int>(sizeof outSection);
}

LONG LastErrorCode()
{
  return static_cast<LONG>(GetLastError());
}

}  // namespace

void ReduceColors::SetPaletteData(const BYTE* inData, LONG inLength)
{
  TL_ASSERT(inData);
  mPaletteData = inData;
  mPaletteLength = inData ? std::max<LONG>(inLength, 0) : 0;
  if (mPaletteLength < 8) {
    AddLogParam("Palette Data", FormatC("%" PRId32 " bytes", mPaletteLength).c_str());
    return;
  }
  std::uint32_t theWords[2];
  std::memcpy(theWords, inData, sizeof theWords);
  AddLogParam("Palette Data", FormatC("%" PRId32 " bytes, 0x%08" PRIx32 " 0x%08" PRIx32 " ...", mPaletteLength,
                                      theWords[0], theWords[1])
                                  .c_str());
}

void ReduceColors::SetPaletteType(const char* inType)
{
  mPaletteType = inType;
  AddLogParam("Palette Type", inType);
}

void ReduceColors::SetColors(LONG inCount)
{
  mColors = inCount;
  AddLogParam("Colors", FormatLong(inCount).c_str());
}

void ReduceColors::SetDither(LONG inDither)
{
  mDither = inDither;
  AddLogParam("Dither", inDither ? "True" : "False");
}

LONG ReduceColors::DoIt(Bitmap& inWorld)
{
  LONG theKind = Paleteer::kAdaptive;
  if (!ParsePalette(mPaletteType, theKind))
    theKind = Paleteer::kPaletteFile;
  LONG theCount = mColors;
  if (theKind == Paleteer::kBlackAndWhite) {
    theKind = Paleteer::kGrayscale;
    theCount = 2;
  }
  if (theKind == Paleteer::kGrayscale && !mDither) {
    // 0 levels would divide by zero, and more than 256 leave no step.
    const LONG theLevels = std::clamp<LONG>(theCount, 1, Paleteer::kMaxColors);
    if (inWorld.GetDepth() == 32) {
      GreyLevels32(inWorld, theLevels);
      return 0;
    }
    if (inWorld.GetDepth() <= 8) {
      GreyLevelsTable(inWorld, theLevels);
      return 0;
    }
  }
  ReduceToPalette(inWorld, theKind, theCount);
  return 0;
}

void ReduceColors::GreyLevels32(Bitmap& inWorld, LONG inLevels)
{
  TL_ASSERT(inWorld.GetDepth() == 32);
  TL_ASSERT_TEXT(inLevels > 0, "inNumCols > 0");
  PixelLock theLock(inWorld);
  if (!theLock.IsLocked())
    return;
  TL_ASSERT_TEXT(theLock.GetPixels().mRowBytes % 4 == 0, "(rowLen % 4) == 0");
  const LONG theStep = 256 / inLevels;
  const bool theWalked = theLock.ForEachWord([&](DWORD& ioWord, LONG, LONG) {
    const DWORD theGrey = GreyLevel(theLock.Channel(ioWord, PixelLock::kRedChannel),
                                    theLock.Channel(ioWord, PixelLock::kGreenChannel),
                                    theLock.Channel(ioWord, PixelLock::kBlueChannel), theStep);
    for (int theChannel : {PixelLock::kRedChannel, PixelLock::kGreenChannel, PixelLock::kBlueChannel})
      ioWord = theLock.WithChannel(ioWord, theChannel, theGrey);
  });
  if (!theWalked)
    ReportFailure(0);
}

void ReduceColors::GreyLevelsTable(Bitmap& inWorld, LONG inLevels)
{
  HDC theDC = inWorld.GetHDC();
  if (!theDC)
    return;
  TL_ASSERT(inWorld.GetDepth() <= 8);
  TL_ASSERT_TEXT(inLevels > 0, "inNumCols > 0");
  RGBQUAD theTable[Paleteer::kMaxColors];
  const LONG theCount = inWorld.GetColorTable(theTable);
  const LONG theStep = 256 / inLevels;
  for (LONG i = 0; i < theCount; ++i) {
    const BYTE theGrey = GreyLevel(theTable[i].rgbRed, theTable[i].rgbGreen, theTable[i].rgbBlue, theStep);
    theTable[i] = RGBQUAD{theGrey, theGrey, theGrey, 0};
  }
  const UINT theNum = SetDIBColorTable(theDC, 0, static_cast<UINT>(theCount), theTable);
  TL_ASSERT(theNum);
  if (!theNum)
    ReportFailure(LastErrorCode());
}

void ReduceColors::ReduceToPalette(Bitmap& inWorld, LONG inKind, LONG inCount)
{
  const RECT theBounds = inWorld.GetBounds();
  if (theBounds.right < 1 || theBounds.bottom < 1) {
    ReportFailure(0);
    return;
  }
  Bitmap theCopy;
  LONG theStatus = theCopy.Create(theBounds.right, theBounds.bottom, 32, nullptr);
  if (theStatus == 0)
    theStatus = theCopy.CopyAllFromDC(inWorld.GetHDC());
  if (theStatus != 0) {
    ReportFailure(theStatus);
    return;
  }

  RGBQUAD theTable[Paleteer::kMaxColors]{};
  LONG theEntries = 0;
  if (mPaletteData) {
    theEntries = TableFromData(theTable);
  } else {
    // An adaptive palette samples 16, 24 or 32 bits: the copy, whatever the canvas's depth.
    Paleteer thePaleteer;
    thePaleteer.SetSource(theCopy.GetHBITMAP());
    thePaleteer.SetColorCount(inCount);
    thePaleteer.SetKind(inKind);
    thePaleteer.SetPalettePath(mPaletteType);
    theEntries = thePaleteer.BuildColorTable(theTable);
  }
  if (theEntries < 1) {
    mError->AddMessage("Unable to understand palette");
    if (inKind == Paleteer::kPaletteFile)
      mError->KeepFileRefusal();
    return;
  }

  LONG theFormerDepth = 32, theWidth = 0, theHeight = 0;
  inWorld.GetNativeBitmap()->GetSize(theFormerDepth, theWidth, theHeight);
  RGBQUAD theFormerTable[Paleteer::kMaxColors];
  const LONG theFormerEntries = inWorld.GetColorTable(theFormerTable);
  inWorld.Clear();
  theStatus = inWorld.Create(theBounds.right, theBounds.bottom, 8, nullptr);
  if (theStatus == 0) {
    std::fill(theTable + theEntries, theTable + Paleteer::kMaxColors, theTable[0]);
    ColorReducer theReducer;
    theReducer.SetPaletteKind(inKind);
    DIBSECTION theSource{};
    DIBSECTION theTarget{};
    if (SetDIBColorTable(inWorld.GetHDC(), 0, Paleteer::kMaxColors, theTable) == Paleteer::kMaxColors &&
        ReadDIBSection(theCopy, theSource) && ReadDIBSection(inWorld, theTarget) &&
        theReducer.Reduce(&theSource, &theTarget, theTable, theEntries, mDither != 0))
      return;
    theStatus = LastErrorCode();
  }
  TL_ASSERT_TEXT(theStatus != 0, "err");
  ReportFailure(theStatus);

  // The picture as it was, from the copy.
  inWorld.Clear();
  if (inWorld.Create(theBounds.right, theBounds.bottom, theFormerDepth, nullptr) != 0)
    return;
  if (theFormerEntries > 0)
    SetDIBColorTable(inWorld.GetHDC(), 0, static_cast<UINT>(theFormerEntries), theFormerTable);
  static_cast<void>(inWorld.CopyAllFromDC(theCopy.GetHDC()));
}

LONG ReduceColors::TableFromData(RGBQUAD* outTable) const
{
  const LONG theBytes = mPaletteLength % 3 == 0 ? 3 : mPaletteLength % 4 == 0 ? 4 : 3;
  const LONG theCount = std::min(mPaletteLength / theBytes, Paleteer::kMaxColors);
  for (LONG i = 0; i < theCount; ++i) {
    const BYTE* theEntry = mPaletteData + static_cast<std::ptrdiff_t>(i) * theBytes;
    outTable[i] = RGBQUAD{theEntry[2], theEntry[1], theEntry[0], 0};
  }
  return theCount;
}

void ReduceColors::ReportFailure(LONG inCode)
{
  if (inCode != 0)
    mError->mWindowsCode = inCode;
  else
    mError->AddMessage("Unable to reduce colors.");
}
