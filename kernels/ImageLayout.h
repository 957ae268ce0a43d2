#pragma once
// How an image's samples are laid out: depths, the row-step rule, regions of
// interest as inclusive rectangles, and channel access (which channels a kernel
// processes and where the first of them starts).

#include "kernels/IplTypes.h"

#include <cstdint>

namespace kernels {

bool IsValidDepth(std::int32_t inDepth);
// The depth without its sign bit: 1, 8, 16 or 32.
int BitsPerSample(std::int32_t inDepth);
// 0 for depth 1, where positions count bits.
int BytesPerSample(std::int32_t inDepth);

// The row-step rule: width x bits x channels (channels only in pixel order)
// rounded up to a multiple of 8 x align bits, in bytes; -1 when a value is out
// of range or the step does not fit in 64 bits.
std::int64_t WidthStepFor(int inDataOrder, std::int32_t inDepth, int inAlign, int inChannelCount,
                          int inWidth);

// Bytes a row of the image needs at least (before alignment).
std::int64_t RowBytesFor(int inDataOrder, std::int32_t inDepth, int inChannelCount, int inWidth);

// An inclusive rectangle: x2 = x1 + width - 1.
struct IplRect {
  int x1 = 0;
  int y1 = 0;
  int x2 = -1;
  int y2 = -1;
  int Width() const { return x2 - x1 + 1; }
  int Height() const { return y2 - y1 + 1; }
};

// The image's ROI rectangle, or the whole image without a ROI. Clipped: offsets
// below 0 raised to 0 and far edges lowered to the image's last column and row;
// fails when the ROI's width or height is below 1 or it lies wholly outside.
// Unclipped: the RoiRecord's rectangle as it stands (fails when its width or
// height is below 1 or its far edge does not fit).
bool RoiRect(const ImageHeader* inImage, bool inClip, IplRect& outRect);

// The same rectangle taken from a RoiRecord alone (no image to clip to): width
// and height at least 1, far edges not negative, negative offsets raised to 0.
bool RoiRecordRect(const RoiRecord* inRoi, IplRect& outRect);

// The channel of interest (0 = all) of an image.
int ChannelOfInterest(const ImageHeader* inImage);

// 1 with a channel of interest; otherwise channelCount, less 1 when the image
// has an alpha channel. -1 for an image without ROI whose single channel is
// its alpha channel.
int ProcessedChannelCount(const ImageHeader* inImage);

// Where a kernel finds the processed channels of an image.
struct ChannelAccess {
  std::uint8_t* mStart = nullptr;   // pixel (0, 0) at the first processed channel
  std::int64_t mRowStep = 0;        // bytes from one row to the next
  std::int64_t mPlaneSize = 0;      // widthStep x height
  int mProcessed = 0;               // processed channels
  int mChannels = 0;                // channels of the image
  int mFirstChannel = 0;            // index of the first processed channel
  bool mPlaneOrder = false;

  // The first processed sample of pixel (x, y); for depth 1 the byte holding it.
  std::uint8_t* At(int inX, int inY, int inBytesPerSample) const;
};

// Fails for an image whose processed channels cannot be found (see
// ProcessedChannelCount) or that has no contiguous storage.
bool GetChannelAccess(const ImageHeader* inImage, ChannelAccess& outAccess);

// For a depth-1 image: the byte holding the ROI's first pixel, the row step
// and the bit position of that pixel (0 = most significant bit).
struct BitAddress {
  std::uint8_t* mByte = nullptr;
  std::int64_t mRowStep = 0;
  int mBit = 0;
};
bool RoiBitAddress(const ImageHeader* inImage, BitAddress& outAddress);

// The smallest width and height among the images' clipped ROI sizes; fails
// when any of them fails. The last image may be null.
bool RoiSizeCommon2(const ImageHeader* inFirst, const ImageHeader* inSecond, int& outWidth,
                    int& outHeight);
bool RoiSizeCommon3(const ImageHeader* inFirst, const ImageHeader* inSecond,
                    const ImageHeader* inThird, int& outWidth, int& outHeight);

}  // namespace kernels
