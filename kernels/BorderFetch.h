#pragma once
// Fetching a rectangle of an image into a buffer of its own, with the pixels
// outside the image supplied by each side's border mode:
//   0  the side's constant;
//   1  the nearest edge pixel;
//   2  the mirror image with the edge pixel repeated (-1 takes 0, -2 takes 1;
//      n takes n - 1);
//   3  the periodic repetition of the image (-1 takes n - 1, n takes 0).
// Above and below the image (sides 0 and 1) the side's mode applies to both
// coordinates, so the corner blocks follow the top or bottom side.
//
// The buffer holds all channels in the image's own sample type and layout:
// rows of w pixels on the image's alignment, one plane (pixel order) or one
// per channel (plane order); depth 1 is all zero before it is filled.

#include "kernels/IplTypes.h"

#include <cstdint>

namespace kernels {

// The w x h rectangle whose first pixel is (inX, inY), with its row step; null
// for an invalid header or an empty rectangle, and null with the status set
// (IPL_STATUS_NO_MEMORY, or IPL_STATUS_ERROR for a tile that could not be had)
// when the pixels cannot be fetched. Free it with RectFetchFree.
std::uint8_t* RectFetchWithBorder(const ImageHeader* inImage, int inX, int inY, int inWidth,
                                  int inHeight, std::int64_t* outRowStep);
void RectFetchFree(std::uint8_t* inBuffer);

// Replication inside a buffer (depth 1 only sets the bits set in the pixel
// copied). PixelReplicate copies pixel (column, row) over the block of
// inColumns x inRows pixels starting there; ColumnReplicate copies, in each of
// inRows rows, the pixel at column to the next inColumns - 1 columns;
// RowReplicate copies inColumns pixels of row `row` to the next inRows - 1 rows.
void PixelReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                    std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes);
void ColumnReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                     std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes);
void RowReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                  std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes);

}  // namespace kernels
