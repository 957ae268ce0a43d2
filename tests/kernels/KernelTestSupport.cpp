#include "tests/kernels/KernelTestSupport.h"

#include "kernels/FastAffine.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace kerneltest {

namespace {

std::vector<Report> gReports;

int RecordReport(int inStatus, const char* inFunction, const char* inMessage, const char* inModule,
                 int)
{
  gReports.push_back({inStatus, inFunction ? inFunction : "", inMessage ? inMessage : "",
                      inModule ? inModule : ""});
  return inStatus;
}

std::uint8_t* SampleAddress(const ImageHeader* inImage, int inX, int inY, int inChannel)
{
  const int theBytes = kernels::BytesPerSample(inImage->depth);
  std::int64_t theOffset = static_cast<std::int64_t>(inY) * inImage->widthStep;
  if (inImage->dataOrder == IPL_DATA_ORDER_PIXEL)
    theOffset += (static_cast<std::int64_t>(inX) * inImage->channelCount + inChannel) * theBytes;
  else
    theOffset += static_cast<std::int64_t>(inX) * theBytes +
                 static_cast<std::int64_t>(inChannel) * inImage->widthStep * inImage->height;
  return inImage->imageData + theOffset;
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
  std::ostringstream theText;
  for (const Report& theReport : gReports)
    theText << theReport.mStatus << " " << theReport.mFunction << ": " << theReport.mMessage << " ["
            << theReport.mModule << "]\n";
  return theText.str();
}

void HeaderDeleter::operator()(ImageHeader* inImage) const
{
  iplImageRelease(inImage, IPL_IMAGE_HEADER | IPL_IMAGE_DATA);
}

HeaderPtr MakeImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha, int inOrder,
                    int inAlign)
{
  const char* theModel = inChannels == 1 ? "GRAY" : (inChannels == 3 ? "RGB" : "RGBA");
  HeaderPtr theImage(iplCreateImageHeader(inChannels, inAlpha, inDepth, theModel, theModel, inOrder,
                                          IPL_ORIGIN_TL, inAlign, inWidth, inHeight, nullptr, nullptr,
                                          nullptr, nullptr));
  if (!theImage)
    return theImage;
  if (inDepth == IPL_DEPTH_32F)
    iplAllocateImageFP(theImage.get(), 1, 0.0f);
  else
    iplAllocateImage(theImage.get(), 1, 0);
  return theImage;
}

double SampleAt(const ImageHeader* inImage, int inX, int inY, int inChannel)
{
  const std::uint8_t* theSample = SampleAddress(inImage, inX, inY, inChannel);
  switch (inImage->depth) {
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
    case IPL_DEPTH_8U: *theSample = static_cast<std::uint8_t>(inValue); break;
    case IPL_DEPTH_16U: kernels::StoreSample(theSample, static_cast<std::uint16_t>(inValue)); break;
    case IPL_DEPTH_32F: kernels::StoreSample(theSample, static_cast<float>(inValue)); break;
    default: break;
  }
}

bool BitAtPixel(const ImageHeader* inImage, int inX, int inY)
{
  return kernels::BitAt(inImage->imageData + static_cast<std::int64_t>(inY) * inImage->widthStep, inX);
}

void SetBitAtPixel(ImageHeader* inImage, int inX, int inY, bool inValue)
{
  std::uint8_t* theRow = inImage->imageData + static_cast<std::int64_t>(inY) * inImage->widthStep;
  if (inValue)
    kernels::SetBit(theRow, inX);
  else
    kernels::ClearBit(theRow, inX);
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

std::vector<std::uint8_t> StorageOf(const ImageHeader* inImage)
{
  return std::vector<std::uint8_t>(inImage->imageData, inImage->imageData + inImage->imageSize);
}

FastLayerSwitch::FastLayerSwitch(bool inEnabled, int inThreads, kernels::VectorLevel inVectors)
    : mWasEnabled(kernels::FastLayerEnabled())
{
  kernels::SetFastLayer(inEnabled, inThreads, inVectors);
}

FastLayerSwitch::~FastLayerSwitch()
{
  kernels::SetFastLayer(mWasEnabled, 0);
}

TiledImage::TiledImage(ImageHeader* inPicture, int inTileWidth, int inTileHeight)
    : mPicture(inPicture)
{
  mTileInfo = iplTileInfoCreate(&TiledImage::Callback, this, inTileWidth, inTileHeight);
  mHeader = iplCreateImageHeader(inPicture->channelCount, inPicture->alphaChannel, inPicture->depth,
                                 inPicture->colorModel, inPicture->channelSequence,
                                 inPicture->dataOrder, inPicture->origin, inPicture->align,
                                 inPicture->width, inPicture->height, nullptr, nullptr, nullptr,
                                 mTileInfo);
  mTileStep = kernels::WidthStepFor(inPicture->dataOrder, inPicture->depth, inPicture->align,
                                    inPicture->channelCount, inTileWidth);
  const int thePlanes = inPicture->dataOrder == IPL_DATA_ORDER_PLANE ? inPicture->channelCount : 1;
  mTileBytes = mTileStep * inTileHeight * thePlanes;
}

TiledImage::~TiledImage()
{
  iplImageRelease(mHeader, IPL_IMAGE_HEADER | IPL_IMAGE_TILE);
}

void TiledImage::Callback(const ImageHeader* inImage, int inColumn, int inRow, int inMode)
{
  static_cast<TiledImage*>(inImage->tileInfo->id)->Handle(inColumn, inRow, inMode);
}

std::uint8_t* TiledImage::TileStorage(int inColumn, int inRow)
{
  auto theFound = mTiles.find({inColumn, inRow});
  if (theFound == mTiles.end()) {
    theFound = mTiles.emplace(std::make_pair(inColumn, inRow), std::vector<std::uint8_t>(mTileBytes)).first;
    CopyTile(inColumn, inRow, false);
  }
  return theFound->second.data();
}

// Copies between a tile and the picture, pixel by pixel and sample by sample.
void TiledImage::CopyTile(int inColumn, int inRow, bool inToPicture)
{
  std::uint8_t* theTile = mTiles[{inColumn, inRow}].data();
  const int theTw = mTileInfo->width;
  const int theTh = mTileInfo->height;
  const int theBytes = kernels::BytesPerSample(mPicture->depth);
  const bool thePlane = mPicture->dataOrder == IPL_DATA_ORDER_PLANE;
  const std::int64_t thePicturePlane = static_cast<std::int64_t>(mPicture->widthStep) * mPicture->height;
  for (int ty = 0; ty < theTh; ++ty) {
    const int theY = inRow * theTh + ty;
    if (theY >= mPicture->height)
      break;
    for (int tx = 0; tx < theTw; ++tx) {
      const int theX = inColumn * theTw + tx;
      if (theX >= mPicture->width)
        break;
      std::uint8_t* theTileRow = theTile + ty * mTileStep;
      std::uint8_t* thePictureRow = mPicture->imageData + static_cast<std::int64_t>(theY) * mPicture->widthStep;
      if (theBytes == 0) {
        std::uint8_t* theFrom = inToPicture ? theTileRow : thePictureRow;
        std::uint8_t* theTo = inToPicture ? thePictureRow : theTileRow;
        const bool theBit = kernels::BitAt(theFrom, inToPicture ? tx : theX);
        if (theBit)
          kernels::SetBit(theTo, inToPicture ? theX : tx);
        else
          kernels::ClearBit(theTo, inToPicture ? theX : tx);
        continue;
      }
      for (int c = 0; c < mPicture->channelCount; ++c) {
        std::int64_t theTileOffset = ty * mTileStep;
        std::int64_t thePictureOffset = static_cast<std::int64_t>(theY) * mPicture->widthStep;
        if (thePlane) {
          theTileOffset += static_cast<std::int64_t>(tx) * theBytes + c * mTileStep * theTh;
          thePictureOffset += static_cast<std::int64_t>(theX) * theBytes + c * thePicturePlane;
        } else {
          theTileOffset += (static_cast<std::int64_t>(tx) * mPicture->channelCount + c) * theBytes;
          thePictureOffset += (static_cast<std::int64_t>(theX) * mPicture->channelCount + c) * theBytes;
        }
        if (inToPicture)
          std::memcpy(mPicture->imageData + thePictureOffset, theTile + theTileOffset, theBytes);
        else
          std::memcpy(theTile + theTileOffset, mPicture->imageData + thePictureOffset, theBytes);
      }
    }
  }
}

void TiledImage::Handle(int inColumn, int inRow, int inMode)
{
  mCalls.push_back({inColumn, inRow, inMode});
  const std::pair<int, int> theKey{inColumn, inRow};
  std::ostringstream theFault;
  if (inMode == IPL_GET_TILE_TO_READ || inMode == IPL_GET_TILE_TO_WRITE) {
    const bool theOutside = inColumn < 0 || inRow < 0 ||
                            static_cast<std::int64_t>(inColumn) * mTileInfo->width >= mPicture->width ||
                            static_cast<std::int64_t>(inRow) * mTileInfo->height >= mPicture->height;
    if (theOutside) {
      theFault << "tile (" << inColumn << ", " << inRow << ") is outside the image";
      mFaults.push_back(theFault.str());
    }
    if (mHeld.count(theKey)) {
      theFault << "tile (" << inColumn << ", " << inRow << ") asked for while held";
      mFaults.push_back(theFault.str());
    }
    if (theOutside || mRefused.count(theKey)) {
      mTileInfo->tileData = nullptr;
      return;
    }
    mTileInfo->tileData = TileStorage(inColumn, inRow);
    mHeld[theKey] = inMode;
    mMaxHeld = std::max(mMaxHeld, Held());
    return;
  }
  auto theHeld = mHeld.find(theKey);
  if (inMode != IPL_RELEASE_TILE || theHeld == mHeld.end()) {
    theFault << "tile (" << inColumn << ", " << inRow << ") released with mode " << inMode
             << " without being held";
    mFaults.push_back(theFault.str());
    return;
  }
  if (mTileInfo->tileData != mTiles[theKey].data()) {
    theFault << "tile (" << inColumn << ", " << inRow << ") released with a wrong tileData";
    mFaults.push_back(theFault.str());
  }
  if (theHeld->second == IPL_GET_TILE_TO_WRITE)
    CopyTile(inColumn, inRow, true);
  mHeld.erase(theHeld);
}

}  // namespace kerneltest
