#pragma once
// Text in a device context's font, size, escapement and world transform:
// metrics, advances, and drawing a run of characters into pixels or into a
// path.
//
// Placement. A run starts at the top left of its first character cell; the
// baseline lies tmAscent below it. With an escapement e (tenths of a degree)
// the run heads along d = (cos e, -sin e) in logical units (y down) and "below
// the baseline" is n = (sin e, cos e). Each glyph's origin is the baseline
// point moved by the whole-unit advances before it; its outline, in font
// units with y up, is scaled by em / units-per-em, slanted when the match
// says so, turned by the escapement and mapped by the world transform.
//
// Drawing. In OPAQUE mode the run's cells are filled in white first. Glyphs
// are drawn at the nearest whole device pixel from FreeType's antialiased
// masks (kept in the thread's glyph cache up to kMaxCachedSide pixels a side);
// larger glyphs are filled straight from their outlines, tile by tile, only
// where they meet the bitmap. Underline and strikeout are bars of the text
// colour along the run, drawn without antialiasing. Glyphs whose box misses
// the bitmap are skipped.

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/FontFace.h"
#include "platform/gdi/FontMatch.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/Painter.h"
#include "platform/gdi/Path.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace tlgdi {

class TextDrawer {
public:
  static constexpr std::int32_t kMaxCachedSide = 256;

  // The font selected into the state's device context. False, with outError,
  // when no font can be found for it or fontconfig or FreeType cannot be
  // loaded.
  bool Open(const DeviceContext::DrawState& inState, DWORD& outError);

  const TEXTMETRICW& Metrics() const { return mMetrics; }
  std::int64_t Advance(char32_t inCharacter) const;

  // False when the rasteriser failed (out of memory, or no Cairo).
  [[nodiscard]] bool Draw(Painter& ioPainter, std::u32string_view inText, double inX, double inY) const;
  // The glyph outlines, underline and strikeout, as figures of a path.
  void AddToPath(Path& ioPath, std::u32string_view inText, double inX, double inY) const;

private:
  // Calls inGlyph(glyph, device origin) for each character; answers the
  // run's advance.
  template <typename F>
  std::int64_t ForEachGlyph(std::u32string_view inText, double inX, double inY, F&& inGlyph) const;
  // The underline and strikeout bars of a run inLength long.
  Path Bars(double inX, double inY, std::int64_t inLength) const;
  // A quadrilateral along the run: inFrom to inTo below the baseline point
  // (inX, inY) + ascent, inLength long, mapped to the device.
  void AddBand(Path& ioPath, double inX, double inY, std::int64_t inLength, double inFrom, double inTo) const;
  bool MayShow(Point inOrigin, const Box& inArea) const;

  DeviceContext::DrawState mState;
  LOGFONTA mFont{};
  std::shared_ptr<const FontMatch> mMatch;
  std::optional<FontFace> mFace;
  double mPixelsPerEm = 0;
  TEXTMETRICW mMetrics{};
  Affine mWorld;
  Point mAlong;  // d
  Point mBelow;  // n
  Affine mGlyphMap;  // font units to device, linear
};

}  // namespace tlgdi
