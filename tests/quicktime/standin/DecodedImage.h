#pragma once
// What the stand-in's image readers answer: a description of the image and,
// when asked, its pixels.

#include "platform/quicktime/QTTypes.h"

#include <string>
#include <vector>

struct ImageInfo {
  int mWidth = 0;
  int mHeight = 0;
  int mDepth = 0;             // as image descriptions give it: 24, 32, 40 (grey), 8 ...
  double mResolution = 72;    // dots per inch
  OSType mCodecType = 0;      // the description's cType
  std::string mCompressorName;
  OSType mColorSpace = 0;     // the 'cspc' extension, 0 for none
};

// Pixels top row first, rows packed: 4 bytes a pixel, in the format 32
// (B, G, R, A) or 'cmyk' (C, M, Y, K, 0 = no ink).
struct DecodedImage {
  int mWidth = 0;
  int mHeight = 0;
  OSType mFormat = 32;
  std::vector<unsigned char> mPixels;
};

// Largest side the stand-in's readers accept (QuickDraw rectangles are
// 16-bit) and the most pixel bytes they allocate.
constexpr int kMaxImageSide = 32767;
constexpr long long kMaxImageBytes = 1LL << 31;
