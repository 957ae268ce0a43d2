#pragma once
// Windows bitmap files: uncompressed, 1, 4, 8, 24 or 32 bits a pixel, rows
// bottom-up (positive height) or top-down (negative height). Written files
// are 24 or 32 bits a pixel, bottom-up.

#include "tests/quicktime/standin/DecodedImage.h"
#include "tests/quicktime/standin/Pixels.h"

#include <string>
#include <string_view>

namespace BmpCodec {

// Whether the bytes hold a complete bitmap file of a kind this reads.
bool Validate(std::string_view inBytes);
OSErr ReadInfo(std::string_view inBytes, ImageInfo& outInfo);
OSErr Decode(std::string_view inBytes, DecodedImage& outImage);
// A file of the pixels at 24 (B, G, R) or 32 bits (B, G, R, A) a pixel,
// with a resolution in dots per inch each way.
OSErr Encode(const PixelView& inPixels, int inBits, double inHorizontalDpi, double inVerticalDpi,
             std::string& outBytes);
}  // namespace BmpCodec
