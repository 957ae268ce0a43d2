#pragma once
// Pixels in every layout the stand-in knows, and the one drawing routine
// that importers, FDecompressImage and UpdateGWorld share: each destination
// pixel takes the source pixel nearest to where the matrix's inverse sends
// its centre (affine matrices; the perspective column is ignored).
//
// Layouts (format codes): 1, 2, 4, 8 (indices into a colour table, the
// leftmost pixel in the high bits), 40 (8-bit indices into a grey ramp or a
// table), 16 (5-5-5 little-endian words), 24 (B, G, R), 32 and 'BGRA'
// (B, G, R, A), 'RGBA' (R, G, B, A), 'cmyk' (C, M, Y, K: 0 = no ink).

#include "platform/quicktime/QTTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Bits per pixel of a format code; 0 for one the stand-in does not know.
int BitsPerPixel(OSType inFormat);
bool IsIndexedFormat(OSType inFormat);
// A colour table of 2^bits grey levels, black first.
std::vector<RGBColor> GreyRamp(int inBits);
// Bytes of one row of inWidth pixels, padded to a multiple of 4 (as DIB rows
// are); 0 when the size is out of range.
std::int64_t PaddedRowBytes(std::int64_t inWidth, int inBits);

// A view of pixels: row 0 at mBase, rows mRowBytes apart. mOrigin is the
// coordinate of the top-left pixel (a port's bounds may not start at 0, 0).
struct PixelView {
  unsigned char* mBase = nullptr;
  std::ptrdiff_t mRowBytes = 0;
  int mWidth = 0;
  int mHeight = 0;
  OSType mFormat = 32;
  std::vector<RGBColor> mTable;  // for indexed formats
  Point mOrigin{0, 0};
};

// Draws the part inSource (in source coordinates) of inFrom into inTo through
// inMatrix. Transfer modes other than copy draw as copy.
// kQTParamErr for a matrix that cannot be inverted or an unknown layout.
OSErr DrawPixels(const PixelView& inFrom, const Rect& inSource, const MatrixRecord& inMatrix,
                 const PixelView& inTo);

// The transfer mode last asked for (an importer's graphics mode, or
// FDecompressImage's), which tests read as they cannot see it in the pixels.
void NoteTransferMode(SInt32 inMode);
SInt32 LastTransferMode();
