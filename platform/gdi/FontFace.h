#pragma once
// A matched font's FreeType face on the calling thread: character lookup,
// advances and glyph outlines, all read unscaled (font units, y up) and
// mapped to device pixels by the caller's own affine map, so any size and any
// transform work alike. Synthetic emboldening (by 1/24 em, which also widens
// the advance) and slant follow the match.

#include "platform/gdi/CoverageMask.h"
#include "platform/gdi/FontMatch.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/Path.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

namespace tlgdi {

class FontFace {
public:
  explicit FontFace(const FontMatch& inMatch);

  // False when the face cannot be opened on this thread.
  bool IsOpen() const { return mFace != nullptr; }
  FT_Face Face() const { return mFace; }

  // 0 (the missing-character glyph) for a character the font lacks.
  FT_UInt Glyph(char32_t inCharacter) const;
  std::int64_t Advance(FT_UInt inGlyph) const;

  // The glyph's outline mapped by inMap, as closed figures.
  void AddOutline(FT_UInt inGlyph, const Affine& inMap, Path& ioPath) const;

  // Renders the glyph (antialiased, by FreeType) with its origin at the
  // centre of device pixel (0, 0), mapped by inLinear; outMask's box is
  // relative to that pixel. False, with nothing rendered, when the mask
  // would be wider or taller than inMaxSide.
  bool Render(FT_UInt inGlyph, const Affine& inLinear, std::int32_t inMaxSide, CoverageMask& outMask) const;

private:
  // The unscaled outline of inGlyph in the face's slot; false when it has none.
  bool Load(FT_UInt inGlyph) const;

  const FontMatch& mMatch;
  FT_Face mFace;
};

}  // namespace tlgdi
