#pragma once
// Windows bitmap files: uncompressed, 1, 4, 8, 24 or 32 bits a pixel, rows
// bottom-up (positive height) or top-down (negative height).

#include "tests/quicktime/standin/DecodedImage.h"
#include "tests/quicktime/standin/Pixels.h"

#include <string>
#include <string_view>

namespace BmpCodec {

// Whether the bytes hold a complete bitmap file of a kind this reads.
bool Validate(std::string_view inBytes);
OSErr ReadInfo(std::string_view inBytes, ImageInfo& outInfo);
OSErr Decode(std::string_view inBytes, DecodedImage& outImage);
}  // namespace BmpCodec
