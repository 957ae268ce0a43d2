#pragma once
// JPEG reading through libjpeg-turbo.

#include "tests/quicktime/standin/DecodedImage.h"

#include <string>
#include <string_view>

namespace JpegCodec {

// Whether the bytes hold a JPEG header libjpeg accepts.
bool Validate(std::string_view inBytes);
// Size, depth (24 colour, 40 grey, 32 CMYK), resolution from the JFIF
// density, colour space ('cmyk' for CMYK, 'b16g' for grey).
OSErr ReadInfo(std::string_view inBytes, ImageInfo& outInfo);
// Every pixel; CMYK stays CMYK (Adobe's inverted samples put right).
// kQTBadImageDataErr for corrupt or truncated data.
OSErr Decode(std::string_view inBytes, DecodedImage& outImage);
// The embedded ICC profile (its APP2 chunks joined); empty when there is none.
OSErr ReadProfile(std::string_view inBytes, std::string& outProfile);

}  // namespace JpegCodec
