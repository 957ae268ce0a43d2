#pragma once
// Pixels and rectangles of plain and tiled images.
//
// A tiled image (tileInfo set, no imageData) keeps its samples in tiles of
// tw x th pixels held by the caller. Tile (c, r) covers columns c x tw ..
// c x tw + tw - 1 and rows r x th .. r x th + th - 1 and is stored like a small
// image with the image's depth, channels, order and align (row step
// TileWidthStep). The kernels ask the tile callback for a tile with mode 1
// (read) or 2 (write), find it in tileInfo->tileData, and hand it back with
// mode 4 before moving on; a tile that came back null is never handed back.
// Rectangles are read a whole tile row at a time.
//
// Buffers that rectangles are copied into are described by a row step, a plane
// size, the bytes from one pixel to the next (0 for depth 1, where positions
// count bits, most significant bit first) and a number of planes.

#include "kernels/IplTypes.h"

#include <cstdint>

namespace kernels {

// The row step of one tile; 0 when the image is null, fails iplHeaderCheck
// (whose status stays stored) or has no tile record.
std::int64_t TileWidthStep(const ImageHeader* inImage);

// One sample of a plain or tiled image. A tile that cannot be had reads as 0
// and is written to not at all. Depths other than 8, 16 and 32 (float) read as
// 0 and are left unchanged. Writes to 8- and 16-bit samples round and clamp.
float PixelGet(const ImageHeader* inImage, int inX, int inY, int inChannel);
void PixelSet(const ImageHeader* inImage, int inX, int inY, int inChannel, float inValue);

// Asks for inCount tiles of tile row inRow, columns inFirstColumn,
// inFirstColumn + inStep, ... (inStep +1 or -1), storing each tile's pointer;
// 1 when any came back null (all are still asked for), else 0.
int TileRowRead(const ImageHeader* inImage, std::uint8_t** outTiles, int inCount,
                int inFirstColumn, int inRow, int inStep);
// Hands the tiles back with mode 4, last first; null entries are skipped.
void TileRowRelease(const ImageHeader* inImage, std::uint8_t* const* inTiles, int inCount,
                    int inFirstColumn, int inRow, int inStep);

// Copies source pixels inX1..inX2 of rows inY1..inY2 into the buffer from
// (inColumn, inRow) on. Either range may run backwards; the pixels are then
// taken in that order and still laid into increasing buffer positions.
void RectCopy(const std::uint8_t* inSource, int inX1, int inY1, int inX2, int inY2,
              std::int64_t inSourceRowStep, std::int64_t inSourcePlaneSize, std::uint8_t* outBuffer,
              int inColumn, int inRow, std::int64_t inBufferRowStep, std::int64_t inBufferPlaneSize,
              int inPixelBytes, int inPlanes);

// RectCopy from an image, through its tiles when it has no imageData. 0 on
// success; 1 on failure, with the status set to IPL_STATUS_NO_MEMORY or, for a
// tile that could not be had, IPL_STATUS_ERROR (the tiles of that tile row that
// were obtained are handed back).
int RectRead(const ImageHeader* inImage, int inX1, int inY1, int inX2, int inY2,
             std::uint8_t* outBuffer, int inColumn, int inRow, std::int64_t inBufferRowStep,
             std::int64_t inBufferPlaneSize, int inPixelBytes, int inPlanes);

// The tiles that a region of inHeight x inWidth pixels touches, the region
// starting at the image's ROI offsets (negative ones raised to 0). Tiles of the
// image's tile record, or cells of 128 x 128 pixels without one.
struct TileGrid {
  int mInnerX = 0;        // position inside the first tile
  int mInnerY = 0;
  int mTileHeight = 0;
  int mTileWidth = 0;
  int mFirstColumn = 0;   // first tile column and row
  int mFirstRow = 0;
  int mColumns = 0;       // tile columns and rows touched
  int mRows = 0;
};
TileGrid TileGridGet(const ImageHeader* inImage, int inHeight, int inWidth);

// The common size of two images' regions (the smaller width and height of
// their ROI sizes) and its tile grid in the tiled image; fails when either
// size is 0 or the tiled image has no tile record.
bool TileRangeGet(const ImageHeader* inImage, const ImageHeader* inTiled, int& outWidth,
                  int& outHeight, TileGrid& outGrid);

}  // namespace kernels
