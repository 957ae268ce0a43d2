#pragma once
// Puts paths and coverage masks into a bitmap's pixels, in the bitmap's own
// layout: solid colours, patterns and pens write whole pixels where a shape
// covers the pixel's centre; glyph coverage blends the text colour with what
// is there. Every pixel written has alpha 0; indexed layouts take the
// nearest entry of the colour table.
//
// A path is rasterised a tile of at most kTileSide x kTileSide pixels at a
// time, over the tiles its bounds meet inside the bitmap, and cut (with
// PathClipper) to the tile and a margin beyond it first, so neither a huge
// shape nor a huge bitmap ever makes a huge mask, and Cairo sees only
// coordinates near its tile.
//
// An optional clip rectangle in logical units (with the world transform that
// maps it) keeps every write to the pixels whose centres it holds, left and
// top edges included, right and bottom excluded.

#include "platform/gdi/BrushObject.h"
#include "platform/gdi/CoverageMask.h"
#include "platform/gdi/Geometry.h"
#include "platform/gdi/NearestColor.h"
#include "platform/gdi/Path.h"
#include "platform/gdi/PixelView.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tlgdi {

class Painter {
public:
  static constexpr std::int32_t kTileSide = 1024;
  // Half the widest pen drawn, in device pixels: wider pens are drawn this wide.
  static constexpr double kMaxHalfPen = 2097152;

  Painter(const PixelView& inView, const std::vector<std::uint32_t>& inColors);

  void SetClip(const Box& inLogical, const Affine& inWorld);

  // Each drawing answers false when the rasteriser failed (out of memory);
  // tiles drawn before stay drawn.

  // Even-odd fill with the brush, no antialiasing.
  [[nodiscard]] bool Fill(const Path& inPath, const BrushObject& inBrush);
  // A pen inWidth units wide that inPen maps to device pixels; one pixel
  // wide (whatever the map) where it would be thinner than that.
  [[nodiscard]] bool Stroke(const Path& inPath, double inWidth, const Affine& inPen, COLORREF inColor);
  // Non-zero fill blended by its antialiased coverage.
  [[nodiscard]] bool FillSmooth(const Path& inPath, COLORREF inColor);

  // Blends inColor by the mask's coverage, the mask moved by inDX, inDY pixels.
  void Blend(const CoverageMask& inMask, std::int32_t inDX, std::int32_t inDY, COLORREF inColor);

  // The device area of the bitmap's pixels.
  Box Area() const;

private:
  struct Clip {
    Affine mInverse;  // device to logical
    Box mLogical;
  };

  // Calls inDraw(mask) for each tile of the bitmap that inBounds meets, the
  // mask reset to that tile, until one answers false.
  template <typename F>
  bool ForEachTile(const Box& inBounds, F&& inDraw);

  bool Inside(std::int32_t inX, std::int32_t inY) const;
  // Readies KeptRow for the inCount columns from inLeft: without turn or
  // shear in the clip, which of them it keeps is worked out once.
  void KeepColumns(std::int32_t inLeft, std::int32_t inTop, int inCount);
  // One flag a pixel (1: kept) for inCount pixels of row inY from inLeft,
  // which lie in the columns KeepColumns readied; null without a clip.
  const std::uint8_t* KeptRow(std::int32_t inY, std::int32_t inLeft, int inCount);
  // Writes whole pixels from inSource where the mask covers them.
  void Put(const CoverageMask& inMask, const BrushObject& inSource);

  PixelView mView;
  std::vector<std::uint32_t> mColors;
  std::optional<NearestColor> mLookup;
  std::optional<Clip> mClip;
  CoverageMask mMask;
  std::vector<std::uint32_t> mPixels;
  std::vector<std::int32_t> mColumns;
  std::vector<const std::uint8_t*> mRows;
  std::int32_t mKeptLeft = 0;
  std::vector<std::uint8_t> mKeptColumns;  // empty: every pixel asks Inside
  std::vector<std::uint8_t> mKept;
};

}  // namespace tlgdi
