#pragma once
// The font file fontconfig picks for a logical font, with the figures of
// its tables that text metrics are made from (in font units).
//
// Matching asks fontconfig for the face name (none when empty), the weight
// and slant, scalable fonts only, and the first language of the charset (see
// FontCatalog); fontconfig's best match always answers, so an unknown name
// gives its usual fallback. When the match has no face of the weight or slant
// asked for, fontconfig says so (embolden, a slanting matrix) and glyphs are
// emboldened or slanted here. Matches are kept for the process by what
// fontconfig is asked (face name, weight, slant, charset), so the many fonts
// of one description a canvas makes are matched once.
//
// Scaling. A negative lfHeight is the em in logical units; a positive one the
// cell height (ascent + descent), 0 a cell of kDefaultCell. Ascent and
// descent are the OS/2 table's Windows figures (the horizontal header's when
// it has none): for an em size both rounded up, for a cell the ascent rounded
// and the descent the rest of the cell. Advances are rounded to whole units,
// half up.

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tlgdi {

struct FontMatch {
  static constexpr LONG kDefaultCell = 16;

  // Null when fontconfig finds no scalable font at all, or its file cannot
  // be read.
  static std::shared_ptr<const FontMatch> Find(const LOGFONTA& inFont);

  double PixelsPerEm(LONG inHeight) const;
  // The metrics at inPixelsPerEm, with the style fields of inFont.
  void Describe(const LOGFONTA& inFont, double inPixelsPerEm, TEXTMETRICW& outMetrics) const;
  // Font units at inPixelsPerEm in logical units, rounded half up.
  std::int64_t Scaled(std::int64_t inUnits, double inPixelsPerEm) const;

  std::string mFile;
  int mIndex = 0;
  bool mEmbolden = false;
  double mSlant[4] = {1, 0, 0, 1};  // xx, xy, yx, yy over font units, y up

  int mUnitsPerEm = 0;
  int mAscent = 0;   // above the baseline
  int mDescent = 0;  // below it, positive
  int mExternalLeading = 0;
  int mAverageWidth = 0;
  int mMaxAdvance = 0;
  int mUnderlinePosition = 0;  // centre of the bar, negative below the baseline
  int mUnderlineThickness = 0;
  int mStrikeoutPosition = 0;  // top of the bar above the baseline
  int mStrikeoutSize = 0;
  bool mFixedPitch = false;
  double mBox[4] = {0, 0, 0, 0};  // every glyph's box: x min, y min, x max, y max
};

}  // namespace tlgdi
