#pragma once
// The nearest entry of a colour table (up to 256 RGBQUAD entries) for a
// colour, with a cache: colour palettes keep one answer per cell of 4 bits
// of red, 5 of green and 4 of blue (8192 cells, each searched once); the grey
// palettes (kinds 5 and 6 of Paleteer) precompute all 256 grey levels.
// The table stays the caller's and must outlive the lookup.

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"

#include <vector>

class ColorLookup {
public:
  static constexpr LONG kMaxEntries = 256;

  ColorLookup() = default;
  virtual ~ColorLookup() = default;

  // Keeps the table, its count and the palette kind; with inWithCache makes
  // the cache and answers true. A table of more than 256 entries is refused
  // (reported, false, no table kept).
  bool Init(const RGBQUAD* inTable, LONG inNum, LONG inKind, bool inWithCache);
  // Frees the cache.
  void Reset();

  // The entry nearest by squared RGB distance; the first of equals; 0 for an
  // empty table.
  LONG FindNearest(BYTE inRed, BYTE inGreen, BYTE inBlue) const;
  // The entry whose luminance is nearest the colour's; the first of equals.
  LONG FindNearestGrey(BYTE inRed, BYTE inGreen, BYTE inBlue) const;

  // The index a reduction writes for the colour, through the cache (which
  // Init must have made).
  BYTE Map(BYTE inRed, BYTE inGreen, BYTE inBlue);

  bool IsGreyKind() const;
  const RGBQUAD& Entry(LONG inIndex) const { return mTable[inIndex]; }

private:
  LONG mKind = 0;
  const RGBQUAD* mTable = nullptr;
  LONG mNum = 0;
  std::vector<DWORD> mCache;
};
