// Nearest colour-table entries, searched once per cache cell.

#include "core/ColorLookup.h"

#include "core/EventLog.h"
#include "core/Paleteer.h"

namespace {

constexpr DWORD kUnknown = 0xFFFFFFFF;
constexpr std::size_t kColorCells = 8192;

double Luminance(double inRed, double inGreen, double inBlue)
{
  return 0.299 * inRed + 0.587 * inGreen + 0.114 * inBlue;
}

}  // namespace

bool ColorLookup::IsGreyKind() const
{
  return mKind == Paleteer::kGrayscale || mKind == Paleteer::kBlackAndWhite;
}

void ColorLookup::Reset()
{
  mCache = std::vector<DWORD>();
}

bool ColorLookup::Init(const RGBQUAD* inTable, LONG inNum, LONG inKind, bool inWithCache)
{
  Reset();
  TL_ASSERT(inNum <= 256);
  if (inNum > kMaxEntries || (!inTable && inNum > 0)) {
    mTable = nullptr;
    mNum = 0;
    return false;
  }
  mTable = inTable;
  mNum = inNum < 0 ? 0 : inNum;
  mKind = inKind;
  if (!inWithCache)
    return false;
  if (IsGreyKind()) {
    mCache.resize(256);
    for (int v = 0; v < 256; ++v)
      mCache[v] = static_cast<DWORD>(FindNearestGrey(static_cast<BYTE>(v), static_cast<BYTE>(v), static_cast<BYTE>(v)));
  } else {
    mCache.assign(kColorCells, kUnknown);
  }
  return true;
}

LONG ColorLookup::FindNearest(BYTE inRed, BYTE inGreen, BYTE inBlue) const
{
  LONG theBest = 0;
  LONG theBestDistance = 0x7FFFFFFF;
  for (LONG i = 0; i < mNum; ++i) {
    const LONG theRed = static_cast<LONG>(mTable[i].rgbRed) - inRed;
    LONG theDistance = theRed * theRed;
    if (theDistance > theBestDistance)
      continue;
    const LONG theGreen = static_cast<LONG>(mTable[i].rgbGreen) - inGreen;
    theDistance += theGreen * theGreen;
    if (theDistance > theBestDistance)
      continue;
    const LONG theBlue = static_cast<LONG>(mTable[i].rgbBlue) - inBlue;
    theDistance += theBlue * theBlue;
    if (theDistance < theBestDistance) {
      theBest = i;
      theBestDistance = theDistance;
    }
  }
  return theBest;
}

LONG ColorLookup::FindNearestGrey(BYTE inRed, BYTE inGreen, BYTE inBlue) const
{
  const double theY = Luminance(inRed, inGreen, inBlue);
  LONG theBest = 0;
  double theBestDistance = 1000.0;
  for (LONG i = 0; i < mNum; ++i) {
    double theDistance = Luminance(mTable[i].rgbRed, mTable[i].rgbGreen, mTable[i].rgbBlue) - theY;
    if (theDistance < 0)
      theDistance = -theDistance;
    if (theDistance < theBestDistance) {
      theBest = i;
      theBestDistance = theDistance;
    }
  }
  return theBest;
}

BYTE ColorLookup::Map(BYTE inRed, BYTE inGreen, BYTE inBlue)
{
  if (IsGreyKind()) {
    const auto theGrey = static_cast<std::size_t>(0.587 * inGreen + 0.299 * inRed + 0.114 * inBlue + 0.5);
    return static_cast<BYTE>(mCache[theGrey]);
  }
  const std::size_t theKey = (inRed >> 4) + (static_cast<std::size_t>(inBlue >> 4) << 9) + ((inGreen & 0xF8u) << 1);
  DWORD& theCell = mCache[theKey];
  if (theCell == kUnknown)
    theCell = static_cast<DWORD>(FindNearest(inRed, inGreen, inBlue) & 255);
  return static_cast<BYTE>(theCell);
}
