#pragma once
// JPEG test material for the JPEG library, colour conversion and reader
// suites: pictures, JPEG streams written by libjpeg-turbo itself, streams
// patched into hostile ones, and djpeg as the decoding oracle.

#include "platform/base/WinTypes.h"

// libjpeg's header needs <cstdio> first.
#include <cstdio>
#include <jpeglib.h>

#include <string>
#include <vector>

namespace jpegtest {

using Bytes = std::vector<BYTE>;

// Interleaved samples, top row first, no padding.
struct Image {
  int mWidth = 0;
  int mHeight = 0;
  int mChannels = 0;
  Bytes mSamples;

  const BYTE* At(int inX, int inY) const { return &mSamples[(static_cast<std::size_t>(inY) * mWidth + inX) * mChannels]; }
};

// The coloured, asymmetric picture: quadrants red (top left), green (top
// right), blue (bottom left) and yellow (bottom right), shaded a little from
// left to right. Channels 3: R, G, B; 1: grey levels 60, 110, 160, 210;
// 4: the quadrants' inks C, M, Y, K (255 = full ink).
Image Picture(int inWidth, int inHeight, int inChannels);

struct JpegSpec {
  int mWidth = 64;
  int mHeight = 48;
  int mChannels = 3;                   // of the picture: 3, 1, 4, or 2 (raw samples)
  J_COLOR_SPACE mFileSpace = JCS_YCbCr;  // JCS_GRAYSCALE, JCS_CMYK, JCS_YCCK, JCS_UNKNOWN ...
  bool mAdobe = true;                  // 4 channels: an Adobe marker, and the inks stored inverted as Adobe's are
  int mHSampling = 2;                  // of the first channel (and black)
  int mVSampling = 2;
  int mQuality = 90;
  bool mProgressive = false;
  Bytes mProfile = {};                 // embedded as ICC_PROFILE segments
};

// The picture of the size and channels inSpec asks for, encoded by libjpeg-turbo.
Bytes MakeJpeg(const JpegSpec& inSpec);
Bytes MakeJpeg(const JpegSpec& inSpec, const Image& inPicture);

// The stream with the frame header's height and width replaced.
Bytes WithFrameSize(Bytes inJpeg, int inWidth, int inHeight);

// A progressive stream with inCopies more copies of its second scan before
// its end: libjpeg warns of each and goes on.
Bytes WithRepeatedScan(const Bytes& inJpeg, int inCopies);

// inBytes written to a new file in a fresh folder of the test home.
std::string WriteTempFile(const Bytes& inBytes, const std::string& inName);

// djpeg's decoding of a file at 1 / inScale (PPM for colour, PGM for grey).
Image Djpeg(const std::string& inPath, int inScale);

// The sampling factors of each channel, "2x2,1x1,1x1", as libjpeg reads them.
std::string Sampling(const Bytes& inJpeg);

}  // namespace jpegtest
