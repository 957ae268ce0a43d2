#include "tests/kernels/KernelTestSupport.h"

#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

namespace kerneltest {

namespace {

std::vector<Report> gReports;

int RecordReport(int inStatus, const char* inFunction, const char* inMessage, const char* inModule, int)
{
  gReports.push_back({inStatus, inFunction ? inFunction : "", inMessage ? inMessage : "", inModule ? inModule : ""});
  return inStatus;
}

// Sample (x, y, c) of storage laid out as inLayout with its own row step and
// row count (a picture or one of its tiles).
std::uint8_t* SampleIn(std::uint8_t* inBase, const ImageHeader* inLayout, std::int64_t inStep, int inRows, int inX,
                       int inY, int inChannel)
{
  const int theBytes = kernels::BytesPerSample(inLayout->depth);
  std::int64_t theOffset = inY * inStep;
  if (inLayout->dataOrder == IPL_DATA_ORDER_PLANE)
    theOffset += static_cast<std::int64_t>(inX) * theBytes + inChannel * inStep * inRows;
  else
    theOffset += (static_cast<std::int64_t>(inX) * inLayout->channelCount + inChannel) * theBytes;
  return inBase + theOffset;
}

std::string DescribeReports(const std::vector<Report>& inReports)
{
  std::ostringstream theText;
  for (const Report& theReport : inReports)
    theText << theReport.mStatus << " " << theReport.mFunction << ": " << theReport.mMessage << " ["
            << theReport.mModule << "]\n";
  return theText.str();
}

std::uint8_t* SampleAddress(const ImageHeader* inImage, int inX, int inY, int inChannel)
{
  return SampleIn(inImage->imageData, inImage, inImage->widthStep, inImage->height, inX, inY, inChannel);
}

void FillRandom(ImageHeader* inImage, std::mt19937& inRandom)
{
  if (inImage->depth != IPL_DEPTH_32F) {
    std::uniform_int_distribution<int> theByte(0, 255);
    for (int i = 0; i < inImage->imageSize; ++i)
      inImage->imageData[i] = static_cast<std::uint8_t>(theByte(inRandom));
    return;
  }
  std::uniform_real_distribution<float> theValue(0.0f, 1000.0f);
  for (int i = 0; i + 4 <= inImage->imageSize; i += 4)
    kernels::StoreSample(inImage->imageData + i, theValue(inRandom));
}

}  // namespace

ReportRecorder::ReportRecorder()
{
  gReports.clear();
  iplErrorModeSet(2);
  iplStatusSet(0);
  iplErrorHandlerSet(&RecordReport);
}

ReportRecorder::~ReportRecorder()
{
  iplErrorHandlerSet(nullptr);
  iplErrorModeSet(0);
  iplStatusSet(0);
  gReports.clear();
}

const std::vector<Report>& ReportRecorder::Reports() const
{
  return gReports;
}

void ReportRecorder::Clear()
{
  gReports.clear();
}

std::string ReportRecorder::Describe() const
{
  return DescribeReports(gReports);
}

void ExpectReports(const ReportRecorder& inRecorder, const std::vector<Report>& inExpected, const std::string& inCase)
{
  EXPECT_EQ(inRecorder.Describe(), DescribeReports(inExpected)) << inCase;
}

void HeaderDeleter::operator()(ImageHeader* inImage) const
{
  iplImageRelease(inImage, IPL_IMAGE_HEADER | IPL_IMAGE_DATA);
}

HeaderPtr MakeImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha, int inOrder, int inAlign)
{
  const char* theModel = inChannels == 1 ? "GRAY" : (inChannels == 3 ? "RGB" : "RGBA");
  HeaderPtr theImage(iplCreateImageHeader(inChannels, inAlpha, inDepth, theModel, theModel, inOrder, IPL_ORIGIN_TL,
                                          inAlign, inWidth, inHeight, nullptr, nullptr, nullptr, nullptr));
  if (theImage && inDepth == IPL_DEPTH_32F)
    iplAllocateImageFP(theImage.get(), 1, 0.0f);
  else if (theImage)
    iplAllocateImage(theImage.get(), 1, 0);
  return theImage;
}

HeaderPtr RandomImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha, int inOrder,
                      unsigned inSeed)
{
  HeaderPtr theImage = MakeImage(inWidth, inHeight, inDepth, inChannels, inAlpha, inOrder);
  std::mt19937 theRandom(inSeed);
  FillRandom(theImage.get(), theRandom);
  return theImage;
}

HeaderPtr RandomImage(int inWidth, int inHeight, const Layout& inLayout, unsigned inSeed)
{
  return RandomImage(inWidth, inHeight, inLayout.mDepth, inLayout.mChannels, inLayout.mAlpha, inLayout.mOrder,
                     inSeed);
}

std::pair<int, int> ProcessedChannels(const Layout& inLayout)
{
  if (inLayout.mCoi)
    return {inLayout.mCoi - 1, inLayout.mCoi - 1};
  return {0, inLayout.mChannels - 1 - (inLayout.mAlpha ? 1 : 0)};
}

HeaderPtr CopyOf(const ImageHeader* inImage)
{
  HeaderPtr theCopy = MakeImage(inImage->width, inImage->height, inImage->depth, inImage->channelCount,
                                inImage->alphaChannel, inImage->dataOrder);
  std::memcpy(theCopy->imageData, inImage->imageData, inImage->imageSize);
  return theCopy;
}

double SampleAt(const ImageHeader* inImage, int inX, int inY, int inChannel)
{
  const std::uint8_t* theSample = SampleAddress(inImage, inX, inY, inChannel);
  switch (inImage->depth) {
    case IPL_DEPTH_1U: return kernels::BitAt(inImage->imageData + std::int64_t{inY} * inImage->widthStep, inX);
    case IPL_DEPTH_8U: return *theSample;
    case IPL_DEPTH_16U: return kernels::LoadSample<std::uint16_t>(theSample);
    case IPL_DEPTH_32F: return kernels::LoadSample<float>(theSample);
    default: return 0.0;
  }
}

void SetSampleAt(ImageHeader* inImage, int inX, int inY, int inChannel, double inValue)
{
  std::uint8_t* theSample = SampleAddress(inImage, inX, inY, inChannel);
  switch (inImage->depth) {
    case IPL_DEPTH_1U: {
      std::uint8_t* theRow = inImage->imageData + std::int64_t{inY} * inImage->widthStep;
      inValue != 0 ? kernels::SetBit(theRow, inX) : kernels::ClearBit(theRow, inX);
      break;
    }
    case IPL_DEPTH_8U: *theSample = static_cast<std::uint8_t>(inValue); break;
    case IPL_DEPTH_16U: kernels::StoreSample(theSample, static_cast<std::uint16_t>(inValue)); break;
    case IPL_DEPTH_32F: kernels::StoreSample(theSample, static_cast<float>(inValue)); break;
    default: break;
  }
}

// Double-precision reference of a warp: nearest, bilinear, or the cubic
// through four points, clamped to the integer range.
double ReferenceSample(const ImageHeader* inSource, int inChannel, int inMethod, double inSX, double inSY)
{
  const auto At = [&](int x, int y) { return SampleAt(inSource, x, y, inChannel); };
  if (inMethod == IPL_INTER_NN)
    return At(static_cast<int>(std::floor(inSX + 0.5)), static_cast<int>(std::floor(inSY + 0.5)));
  if (inMethod == IPL_INTER_LINEAR) {
    const int theX = std::clamp(static_cast<int>(std::floor(inSX)), 0, inSource->width - 2);
    const int theY = std::clamp(static_cast<int>(std::floor(inSY)), 0, inSource->height - 2);
    const double theFx = inSX - theX;
    const double theFy = inSY - theY;
    return (1 - theFy) * ((1 - theFx) * At(theX, theY) + theFx * At(theX + 1, theY)) +
           theFy * ((1 - theFx) * At(theX, theY + 1) + theFx * At(theX + 1, theY + 1));
  }
  const int theX0 = std::clamp(static_cast<int>(std::floor(inSX)) - 1, 0, inSource->width - 4);
  const int theY0 = std::clamp(static_cast<int>(std::floor(inSY)) - 1, 0, inSource->height - 4);
  const auto Lagrange = [](double t, int i) {
    double theWeight = 1;
    for (int j = 0; j < 4; ++j)
      if (j != i)
        theWeight *= (t - (j - 1)) / (i - j);
    return theWeight;
  };
  double theSum = 0;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      theSum += Lagrange(inSX - theX0 - 1, i) * Lagrange(inSY - theY0 - 1, j) * At(theX0 + i, theY0 + j);
  if (inSource->depth == IPL_DEPTH_8U)
    return std::clamp(theSum, 0.0, 255.0);
  return inSource->depth == IPL_DEPTH_16U ? std::clamp(theSum, 0.0, 65535.0) : theSum;
}

std::vector<std::uint8_t> StorageOf(const ImageHeader* inImage)
{
  return std::vector<std::uint8_t>(inImage->imageData, inImage->imageData + inImage->imageSize);
}

TiledImage::TiledImage(ImageHeader* inPicture, int inTileWidth, int inTileHeight) : mPicture(inPicture)
{
  mTileInfo = iplTileInfoCreate(&TiledImage::Callback, this, inTileWidth, inTileHeight);
  mHeader = iplCreateImageHeader(inPicture->channelCount, inPicture->alphaChannel, inPicture->depth,
                                 inPicture->colorModel, inPicture->channelSequence, inPicture->dataOrder,
                                 inPicture->origin, inPicture->align, inPicture->width, inPicture->height, nullptr,
                                 nullptr, nullptr, mTileInfo);
  mTileStep = kernels::WidthStepFor(inPicture->dataOrder, inPicture->depth, inPicture->align,
                                    inPicture->channelCount, inTileWidth);
}

TiledImage::~TiledImage()
{
  iplImageRelease(mHeader, IPL_IMAGE_HEADER | IPL_IMAGE_TILE);
}

void TiledImage::Callback(const ImageHeader* inImage, int inColumn, int inRow, int inMode)
{
  static_cast<TiledImage*>(inImage->tileInfo->id)->Handle(inColumn, inRow, inMode);
}

void TiledImage::CopyTile(int inColumn, int inRow, bool inToPicture)
{
  std::uint8_t* theTile = mTiles[{inColumn, inRow}].data();
  const int theTw = mTileInfo->width;
  const int theTh = mTileInfo->height;
  const int theBytes = kernels::BytesPerSample(mPicture->depth);
  for (int ty = 0; ty < theTh && inRow * theTh + ty < mPicture->height; ++ty) {
    for (int tx = 0; tx < theTw && inColumn * theTw + tx < mPicture->width; ++tx) {
      const int theX = inColumn * theTw + tx;
      const int theY = inRow * theTh + ty;
      if (theBytes == 0) {
        std::uint8_t* theTileRow = theTile + ty * mTileStep;
        if (inToPicture)
          SetSampleAt(mPicture, theX, theY, 0, kernels::BitAt(theTileRow, tx));
        else if (SampleAt(mPicture, theX, theY, 0))
          kernels::SetBit(theTileRow, tx);
        continue;
      }
      for (int c = 0; c < mPicture->channelCount; ++c) {
        std::uint8_t* theInTile = SampleIn(theTile, mPicture, mTileStep, theTh, tx, ty, c);
        std::uint8_t* theInPicture = SampleAddress(mPicture, theX, theY, c);
        std::memcpy(inToPicture ? theInPicture : theInTile, inToPicture ? theInTile : theInPicture, theBytes);
      }
    }
  }
}

void TiledImage::Handle(int inColumn, int inRow, int inMode)
{
  mCalls.push_back({inColumn, inRow, inMode});
  const std::pair<int, int> theKey{inColumn, inRow};
  std::ostringstream theTile;
  theTile << "tile (" << inColumn << ", " << inRow << ")";
  if (inMode == IPL_GET_TILE_TO_READ || inMode == IPL_GET_TILE_TO_WRITE) {
    const bool theOutside = inColumn < 0 || inRow < 0 ||
                            static_cast<std::int64_t>(inColumn) * mTileInfo->width >= mPicture->width ||
                            static_cast<std::int64_t>(inRow) * mTileInfo->height >= mPicture->height;
    if (theOutside)
      mFaults.push_back(theTile.str() + " is outside the image");
    if (mHeld.count(theKey))
      mFaults.push_back(theTile.str() + " asked for while held");
    mTileInfo->tileData = nullptr;
    if (theOutside || mRefused.count(theKey))
      return;
    if (!mTiles.count(theKey)) {
      const int thePlanes = mPicture->dataOrder == IPL_DATA_ORDER_PLANE ? mPicture->channelCount : 1;
      mTiles[theKey].resize(mTileStep * mTileInfo->height * thePlanes);
      CopyTile(inColumn, inRow, false);
    }
    mTileInfo->tileData = mTiles[theKey].data();
    mHeld[theKey] = inMode;
    mMaxHeld = std::max(mMaxHeld, Held());
    return;
  }
  auto theHeld = mHeld.find(theKey);
  if (inMode != IPL_RELEASE_TILE || theHeld == mHeld.end()) {
    mFaults.push_back(theTile.str() + " released with mode " + std::to_string(inMode) + " without being held");
    return;
  }
  if (mTileInfo->tileData != mTiles[theKey].data())
    mFaults.push_back(theTile.str() + " released with a wrong tileData");
  if (theHeld->second == IPL_GET_TILE_TO_WRITE)
    CopyTile(inColumn, inRow, true);
  mHeld.erase(theHeld);
}

}  // namespace kerneltest
