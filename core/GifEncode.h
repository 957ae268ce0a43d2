#pragma once
// The library's own GIF writer: one 8-bit indexed picture as a complete GIF
// file in a new memory block, with a global colour table, an optional
// transparent colour (then GIF89a with a graphic control extension, else
// GIF87a), optional interlacing, and either LZW compression or an
// uncompressed stream of one code per pixel.
//
// The uncompressed stream is still a valid LZW stream: every pixel is written
// as its own root code, and a clear code follows whenever the decoder's table
// would otherwise make its codes one bit wider, so the code size never grows.
//
// The file is written into one block, allocated once, with room for the
// longest stream either mode can make of the picture (about 1.52 bytes a
// pixel): noise compresses to more than a byte a pixel.
//
//   std::size_t theSize = 0;
//   std::unique_ptr<BYTE[]> theFile = GifEncode(theWidth, theHeight, theCount, theTable, -1,
//                                               false, true, theRowBytes, thePixels, theSize);
//   if (!theFile)
//     ... nothing was written

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"

#include <cstddef>
#include <memory>

// Encodes inWidth x inHeight pixels (1 to 65535 each), one palette index a
// byte, the top row at inPixels and each next row inRowBytes further on.
// inColors (up to 256) entries of inPalette are used; the colour table has
// 2^b entries, b being the fewest bits (1 to 8) that count inColors, and its
// entries past inColors are black. inTransparentIndex is an index up to 255,
// or negative for none.
//
// Answers the file, whose first outSize bytes are written. Answers null with
// outSize 0, and the last Windows error ERROR_INVALID_PARAMETER, when an
// argument is out of range or a pixel indexes past the colour table, and
// ERROR_NOT_ENOUGH_MEMORY when memory runs out.
std::unique_ptr<BYTE[]> GifEncode(LONG inWidth, LONG inHeight, LONG inColors, const RGBQUAD* inPalette,
                                  LONG inTransparentIndex, bool inInterlace, bool inUseLZW, LONG inRowBytes,
                                  const BYTE* inPixels, std::size_t& outSize);
