#include "kernels/ImageLayout.h"

#include "kernels/CheckedSize.h"

#include <algorithm>

namespace kernels {

bool IsValidDepth(std::int32_t inDepth)
{
  switch (inDepth) {
    case IPL_DEPTH_1U:
    case IPL_DEPTH_8U:
    case IPL_DEPTH_16U:
    case IPL_DEPTH_32F:
    case IPL_DEPTH_8S:
    case IPL_DEPTH_16S:
    case IPL_DEPTH_32S:
      return true;
    default:
      return false;
  }
}

int BitsPerSample(std::int32_t inDepth)
{
  return inDepth & ~IPL_DEPTH_SIGN;
}

int BytesPerSample(std::int32_t inDepth)
{
  return BitsPerSample(inDepth) / 8;
}

std::int64_t RowBytesFor(int inDataOrder, std::int32_t inDepth, int inChannelCount, int inWidth)
{
  const std::int64_t theChannels = inDataOrder == IPL_DATA_ORDER_PIXEL ? inChannelCount : 1;
  std::optional<std::int64_t> theBits = CheckedProduct({inWidth, BitsPerSample(inDepth), theChannels});
  if (!theBits)
    return -1;
  return (*theBits + 7) / 8;
}

std::int64_t WidthStepFor(int inDataOrder, std::int32_t inDepth, int inAlign, int inChannelCount,
                          int inWidth)
{
  const std::int64_t theChannels = inDataOrder == IPL_DATA_ORDER_PIXEL ? inChannelCount : 1;
  std::optional<std::int64_t> theBits = CheckedProduct({inWidth, BitsPerSample(inDepth), theChannels});
  if (!theBits || inAlign < 1)
    return -1;
  const std::int64_t theUnit = 8 * static_cast<std::int64_t>(inAlign);
  return (*theBits + theUnit - 1) / theUnit * inAlign;
}

bool RoiRect(const ImageHeader* inImage, bool inClip, IplRect& outRect)
{
  const RoiRecord* theRoi = inImage->roi;
  if (!theRoi) {
    if (inImage->width < 1 || inImage->height < 1)
      return false;
    outRect = {0, 0, inImage->width - 1, inImage->height - 1};
    return true;
  }
  if (theRoi->width < 1 || theRoi->height < 1)
    return false;
  std::int64_t theX1 = theRoi->xOffset;
  std::int64_t theY1 = theRoi->yOffset;
  std::int64_t theX2 = theX1 + theRoi->width - 1;
  std::int64_t theY2 = theY1 + theRoi->height - 1;
  if (inClip) {
    theX1 = std::max<std::int64_t>(theX1, 0);
    theY1 = std::max<std::int64_t>(theY1, 0);
    theX2 = std::min<std::int64_t>(theX2, inImage->width - 1);
    theY2 = std::min<std::int64_t>(theY2, inImage->height - 1);
    if (theX2 < theX1 || theY2 < theY1)
      return false;
  } else if (theX2 > kInt32Max || theY2 > kInt32Max) {
    return false;
  }
  outRect = {static_cast<int>(theX1), static_cast<int>(theY1), static_cast<int>(theX2),
             static_cast<int>(theY2)};
  return true;
}

bool RoiRecordRect(const RoiRecord* inRoi, IplRect& outRect)
{
  if (!inRoi || inRoi->width < 1 || inRoi->height < 1)
    return false;
  const std::int64_t theX2 = static_cast<std::int64_t>(inRoi->xOffset) + inRoi->width - 1;
  const std::int64_t theY2 = static_cast<std::int64_t>(inRoi->yOffset) + inRoi->height - 1;
  if (theX2 < 0 || theY2 < 0 || theX2 > kInt32Max || theY2 > kInt32Max)
    return false;
  outRect = {std::max(inRoi->xOffset, 0), std::max(inRoi->yOffset, 0), static_cast<int>(theX2),
             static_cast<int>(theY2)};
  return true;
}

int ChannelOfInterest(const ImageHeader* inImage)
{
  return inImage->roi ? inImage->roi->coi : 0;
}

int ProcessedChannelCount(const ImageHeader* inImage)
{
  if (ChannelOfInterest(inImage) > 0)
    return 1;
  if (inImage->alphaChannel) {
    if (!inImage->roi && inImage->channelCount == 1)
      return -1;
    return inImage->channelCount - 1;
  }
  return inImage->channelCount;
}

std::uint8_t* ChannelAccess::At(int inX, int inY, int inBytesPerSample) const
{
  std::int64_t theOffset = inY * mRowStep;
  if (inBytesPerSample == 0)
    theOffset += inX / 8;
  else if (mPlaneOrder)
    theOffset += static_cast<std::int64_t>(inX) * inBytesPerSample;
  else
    theOffset += static_cast<std::int64_t>(inX) * mChannels * inBytesPerSample;
  return mStart + theOffset;
}

bool GetChannelAccess(const ImageHeader* inImage, ChannelAccess& outAccess)
{
  const int theProcessed = ProcessedChannelCount(inImage);
  if (theProcessed < 0 || !inImage->imageData)
    return false;
  const int theCoi = ChannelOfInterest(inImage);
  ChannelAccess theAccess;
  theAccess.mRowStep = inImage->widthStep;
  theAccess.mPlaneSize = static_cast<std::int64_t>(inImage->widthStep) * inImage->height;
  theAccess.mProcessed = theProcessed;
  theAccess.mChannels = inImage->channelCount;
  theAccess.mFirstChannel = theCoi > 0 ? theCoi - 1 : 0;
  theAccess.mPlaneOrder = inImage->dataOrder == IPL_DATA_ORDER_PLANE;
  const std::int64_t theChannelOffset =
    theAccess.mPlaneOrder ? theAccess.mFirstChannel * theAccess.mPlaneSize
                          : static_cast<std::int64_t>(theAccess.mFirstChannel) * BytesPerSample(inImage->depth);
  theAccess.mStart = inImage->imageData + theChannelOffset;
  outAccess = theAccess;
  return true;
}

bool RoiBitAddress(const ImageHeader* inImage, BitAddress& outAddress)
{
  if (!inImage || inImage->depth != IPL_DEPTH_1U || !inImage->imageData)
    return false;
  const int theX = inImage->roi ? std::max(inImage->roi->xOffset, 0) : 0;
  const int theY = inImage->roi ? std::max(inImage->roi->yOffset, 0) : 0;
  outAddress.mByte = inImage->imageData + static_cast<std::int64_t>(theY) * inImage->widthStep + theX / 8;
  outAddress.mRowStep = inImage->widthStep;
  outAddress.mBit = theX % 8;
  return true;
}

namespace {
bool CommonSize(std::initializer_list<const ImageHeader*> inImages, int& outWidth, int& outHeight)
{
  int theWidth = kInt32Max;
  int theHeight = kInt32Max;
  for (const ImageHeader* theImage : inImages) {
    if (!theImage)
      continue;
    IplRect theRect;
    if (!RoiRect(theImage, true, theRect))
      return false;
    theWidth = std::min(theWidth, theRect.Width());
    theHeight = std::min(theHeight, theRect.Height());
  }
  outWidth = theWidth;
  outHeight = theHeight;
  return true;
}
}  // namespace

bool RoiSizeCommon2(const ImageHeader* inFirst, const ImageHeader* inSecond, int& outWidth,
                    int& outHeight)
{
  return inFirst && CommonSize({inFirst, inSecond}, outWidth, outHeight);
}

bool RoiSizeCommon3(const ImageHeader* inFirst, const ImageHeader* inSecond,
                    const ImageHeader* inThird, int& outWidth, int& outHeight)
{
  return inFirst && inSecond && CommonSize({inFirst, inSecond, inThird}, outWidth, outHeight);
}

}  // namespace kernels
