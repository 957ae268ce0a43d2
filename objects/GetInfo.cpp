#include "objects/GetInfo.h"

#include "core/Bitmap.h"
#include "core/EventLog.h"
#include "core/PixelLock.h"
#include "core/Utilities.h"
#include "platform/base/AsciiCase.h"

#include <algorithm>

void GetInfo::SetType(const char* inType)
{
  mType = inType;
  AddLogParam("Type", inType);
}

LONG GetInfo::DoIt(Bitmap& inWorld)
{
  if (EqualsIgnoringCase(mType, "selectionrect"))
    GetSelectionRect(inWorld);
  else if (EqualsIgnoringCase(mType, "palette"))
    GetPalette(inWorld);
  return 0;
}

void GetInfo::GetSelectionRect(Bitmap& inWorld)
{
  mHasText = true;
  mText = FormatRect(inWorld.GetDepth() == 32 ? GetAlphaBounds(inWorld) : inWorld.GetBounds());
}

RECT GetInfo::GetAlphaBounds(Bitmap& inWorld)
{
  TL_ASSERT(inWorld.GetDepth() == 32);
  PixelLock theLock(inWorld);
  if (!theLock.IsLocked())
    return RECT{0, 0, 0, 0};
  if (!theLock.Is32Bit())
    return inWorld.GetBounds();
  TL_ASSERT_TEXT(theLock.GetPixels().mRowBytes % 4 == 0, "(rowLen % 4) == 0");
  RECT theBounds{0, 0, 0, 0};
  bool theFound = false;
  theLock.ForEachWord([&](DWORD& ioWord, LONG inX, LONG inY) {
    if (theLock.Channel(ioWord, PixelLock::kAlphaChannel) == 0)
      return;
    if (!theFound) {
      theBounds = RECT{inX, inY, inX + 1, inY + 1};
      theFound = true;
      return;
    }
    theBounds.left = std::min(theBounds.left, inX);
    theBounds.right = std::max(theBounds.right, inX + 1);
    theBounds.bottom = inY + 1;
  });
  return theBounds;
}

void GetInfo::GetPalette(Bitmap& inWorld)
{
  mHasData = true;
  RGBQUAD theTable[256];
  const LONG theCount = inWorld.GetColorTable(theTable);
  mData.clear();
  for (LONG i = 0; i < theCount; ++i)
    mData.insert(mData.end(), {theTable[i].rgbRed, theTable[i].rgbGreen, theTable[i].rgbBlue});
}
