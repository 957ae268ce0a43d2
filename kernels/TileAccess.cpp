#include "kernels/TileAccess.h"

#include "kernels/AlignedAlloc.h"
#include "kernels/ErrorStatus.h"
#include "kernels/ImageHeader.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kernels {

std::int64_t TileWidthStep(const ImageHeader* inImage)
{
  if (!inImage || iplHeaderCheck(inImage) != 0 || !inImage->tileInfo)
    return 0;
  return WidthStepFor(inImage->dataOrder, inImage->depth, inImage->align, inImage->channelCount,
                      inImage->tileInfo->width);
}

namespace {

// Where one pixel's samples are: storage, row step, plane size and the pixel's
// position inside that storage. For a tiled image the tile is held until
// Release.
class PixelPlace {
 public:
  PixelPlace(const ImageHeader* inImage, int inX, int inY, int inMode) : mImage(inImage)
  {
    TileInfoRecord* theTiles = inImage->tileInfo;
    if (!theTiles) {
      mStorage = inImage->imageData;
      mRowStep = inImage->widthStep;
      mPlaneSize = mRowStep * inImage->height;
      mX = inX;
      mY = inY;
      return;
    }
    mRowStep = TileWidthStep(inImage);
    if (mRowStep <= 0)
      return;
    mPlaneSize = mRowStep * theTiles->height;
    mX = inX % theTiles->width;
    mY = inY % theTiles->height;
    mColumn = inX / theTiles->width;
    mRow = inY / theTiles->height;
    theTiles->tileData = nullptr;
    theTiles->callback(inImage, mColumn, mRow, inMode);
    mStorage = theTiles->tileData;
    mHeld = mStorage != nullptr;
  }

  ~PixelPlace()
  {
    if (mHeld) {
      mImage->tileInfo->tileData = mStorage;
      mImage->tileInfo->callback(mImage, mColumn, mRow, IPL_RELEASE_TILE);
    }
  }

  PixelPlace(const PixelPlace&) = delete;
  PixelPlace& operator=(const PixelPlace&) = delete;

  // The sample's address, or null when the storage could not be had.
  std::uint8_t* Sample(int inChannel, int inBytes) const
  {
    if (!mStorage)
      return nullptr;
    std::int64_t theOffset = mRowStep * mY;
    if (mImage->dataOrder == IPL_DATA_ORDER_PIXEL)
      theOffset += (static_cast<std::int64_t>(mX) * mImage->channelCount + inChannel) * inBytes;
    else
      theOffset += static_cast<std::int64_t>(mX) * inBytes + inChannel * mPlaneSize;
    return mStorage + theOffset;
  }

 private:
  const ImageHeader* mImage;
  std::uint8_t* mStorage = nullptr;
  std::int64_t mRowStep = 0;
  std::int64_t mPlaneSize = 0;
  int mX = 0;
  int mY = 0;
  int mColumn = 0;
  int mRow = 0;
  bool mHeld = false;
};

}  // namespace

float PixelGet(const ImageHeader* inImage, int inX, int inY, int inChannel)
{
  const int theBytes = BytesPerSample(inImage->depth);
  if (inImage->depth != IPL_DEPTH_8U && inImage->depth != IPL_DEPTH_16U && inImage->depth != IPL_DEPTH_32F)
    return 0.0f;
  PixelPlace thePlace(inImage, inX, inY, IPL_GET_TILE_TO_READ);
  const std::uint8_t* theSample = thePlace.Sample(inChannel, theBytes);
  if (!theSample)
    return 0.0f;
  switch (inImage->depth) {
    case IPL_DEPTH_8U: return *theSample;
    case IPL_DEPTH_16U: return LoadSample<std::uint16_t>(theSample);
    default: return LoadSample<float>(theSample);
  }
}

void PixelSet(const ImageHeader* inImage, int inX, int inY, int inChannel, float inValue)
{
  const int theBytes = BytesPerSample(inImage->depth);
  if (inImage->depth != IPL_DEPTH_8U && inImage->depth != IPL_DEPTH_16U && inImage->depth != IPL_DEPTH_32F)
    return;
  PixelPlace thePlace(inImage, inX, inY, IPL_GET_TILE_TO_WRITE);
  std::uint8_t* theSample = thePlace.Sample(inChannel, theBytes);
  if (!theSample)
    return;
  switch (inImage->depth) {
    case IPL_DEPTH_8U: *theSample = RoundToSample<std::uint8_t>(inValue); break;
    case IPL_DEPTH_16U: StoreSample(theSample, RoundToSample<std::uint16_t>(inValue)); break;
    default: StoreSample(theSample, inValue); break;
  }
}

int TileRowRead(const ImageHeader* inImage, std::uint8_t** outTiles, int inCount,
                int inFirstColumn, int inRow, int inStep)
{
  TileInfoRecord* theTiles = inImage->tileInfo;
  int theResult = 0;
  for (int i = 0; i < inCount; ++i) {
    theTiles->tileData = nullptr;
    theTiles->callback(inImage, inFirstColumn + i * inStep, inRow, IPL_GET_TILE_TO_READ);
    outTiles[i] = theTiles->tileData;
    if (!outTiles[i])
      theResult = 1;
  }
  return theResult;
}

void TileRowRelease(const ImageHeader* inImage, std::uint8_t* const* inTiles, int inCount,
                    int inFirstColumn, int inRow, int inStep)
{
  TileInfoRecord* theTiles = inImage->tileInfo;
  for (int i = inCount - 1; i >= 0; --i) {
    if (!inTiles[i])
      continue;
    theTiles->tileData = inTiles[i];
    theTiles->callback(inImage, inFirstColumn + i * inStep, inRow, IPL_RELEASE_TILE);
  }
}

void RectCopy(const std::uint8_t* inSource, int inX1, int inY1, int inX2, int inY2,
              std::int64_t inSourceRowStep, std::int64_t inSourcePlaneSize, std::uint8_t* outBuffer,
              int inColumn, int inRow, std::int64_t inBufferRowStep, std::int64_t inBufferPlaneSize,
              int inPixelBytes, int inPlanes)
{
  const int theStepX = inX2 < inX1 ? -1 : 1;
  const int theStepY = inY2 < inY1 ? -1 : 1;
  const std::int64_t theColumns = static_cast<std::int64_t>(inX2 - inX1) * theStepX + 1;
  const std::int64_t theRows = static_cast<std::int64_t>(inY2 - inY1) * theStepY + 1;
  if (inPixelBytes == 0) {
    for (std::int64_t r = 0; r < theRows; ++r) {
      const std::uint8_t* theSourceRow = inSource + (inY1 + r * theStepY) * inSourceRowStep;
      std::uint8_t* theBufferRow = outBuffer + (inRow + r) * inBufferRowStep;
      for (std::int64_t c = 0; c < theColumns; ++c) {
        if (BitAt(theSourceRow, inX1 + c * theStepX))
          SetBit(theBufferRow, inColumn + c);
      }
    }
    return;
  }
  for (int p = 0; p < inPlanes; ++p) {
    const std::uint8_t* theSourcePlane = inSource + p * inSourcePlaneSize;
    std::uint8_t* theBufferPlane = outBuffer + p * inBufferPlaneSize;
    for (std::int64_t r = 0; r < theRows; ++r) {
      const std::uint8_t* theSourceRow = theSourcePlane + (inY1 + r * theStepY) * inSourceRowStep;
      std::uint8_t* theBufferRow =
        theBufferPlane + (inRow + r) * inBufferRowStep + static_cast<std::int64_t>(inColumn) * inPixelBytes;
      if (theStepX > 0) {
        std::memcpy(theBufferRow, theSourceRow + static_cast<std::int64_t>(inX1) * inPixelBytes,
                    static_cast<std::size_t>(theColumns * inPixelBytes));
        continue;
      }
      for (std::int64_t c = 0; c < theColumns; ++c)
        std::memcpy(theBufferRow + c * inPixelBytes, theSourceRow + (inX1 - c) * inPixelBytes,
                    static_cast<std::size_t>(inPixelBytes));
    }
  }
}

namespace {

// The inner start and end of the piece of a range inA..inB that lies in tile
// inTile of size inSize, walked in direction inStep.
void PieceOfTile(int inA, int inB, int inStep, int inSize, int inTile, int& outFrom, int& outTo)
{
  const int theFirstTile = inA / inSize;
  const int theLastTile = inB / inSize;
  outFrom = inTile == theFirstTile ? inA % inSize : (inStep > 0 ? 0 : inSize - 1);
  outTo = inTile == theLastTile ? inB % inSize : (inStep > 0 ? inSize - 1 : 0);
}

}  // namespace

int RectRead(const ImageHeader* inImage, int inX1, int inY1, int inX2, int inY2,
             std::uint8_t* outBuffer, int inColumn, int inRow, std::int64_t inBufferRowStep,
             std::int64_t inBufferPlaneSize, int inPixelBytes, int inPlanes)
{
  if (inImage->imageData) {
    RectCopy(inImage->imageData, inX1, inY1, inX2, inY2, inImage->widthStep,
             static_cast<std::int64_t>(inImage->widthStep) * inImage->height, outBuffer, inColumn,
             inRow, inBufferRowStep, inBufferPlaneSize, inPixelBytes, inPlanes);
    return 0;
  }
  const TileInfoRecord* theTiles = inImage->tileInfo;
  const std::int64_t theTileStep = TileWidthStep(inImage);
  if (theTileStep <= 0)
    return 1;
  const int theTw = theTiles->width;
  const int theTh = theTiles->height;
  const std::int64_t theTilePlane = theTileStep * theTh;
  const int theStepX = inX2 < inX1 ? -1 : 1;
  const int theStepY = inY2 < inY1 ? -1 : 1;
  const int theC1 = inX1 / theTw;
  const int theC2 = inX2 / theTw;
  const int theR1 = inY1 / theTh;
  const int theR2 = inY2 / theTh;
  const int theCount = (theC2 - theC1) * theStepX + 1;
  auto** thePointers = reinterpret_cast<std::uint8_t**>(
    iplAlignedAlloc(static_cast<int>(sizeof(std::uint8_t*)) * theCount));
  if (!thePointers) {
    iplStatusSet(IPL_STATUS_NO_MEMORY);
    return 1;
  }
  int theBufferRow = inRow;
  for (int r = theR1;; r += theStepY) {
    if (TileRowRead(inImage, thePointers, theCount, theC1, r, theStepX) != 0) {
      TileRowRelease(inImage, thePointers, theCount, theC1, r, theStepX);
      iplAlignedFree(thePointers);
      iplStatusSet(IPL_STATUS_ERROR);
      return 1;
    }
    int theRowFrom = 0;
    int theRowTo = 0;
    PieceOfTile(inY1, inY2, theStepY, theTh, r, theRowFrom, theRowTo);
    int theBufferColumn = inColumn;
    for (int i = 0; i < theCount; ++i) {
      int theColFrom = 0;
      int theColTo = 0;
      PieceOfTile(inX1, inX2, theStepX, theTw, theC1 + i * theStepX, theColFrom, theColTo);
      RectCopy(thePointers[i], theColFrom, theRowFrom, theColTo, theRowTo, theTileStep, theTilePlane,
               outBuffer, theBufferColumn, theBufferRow, inBufferRowStep, inBufferPlaneSize,
               inPixelBytes, inPlanes);
      theBufferColumn += (theColTo - theColFrom) * theStepX + 1;
    }
    TileRowRelease(inImage, thePointers, theCount, theC1, r, theStepX);
    theBufferRow += (theRowTo - theRowFrom) * theStepY + 1;
    if (r == theR2)
      break;
  }
  iplAlignedFree(thePointers);
  return 0;
}

TileGrid TileGridGet(const ImageHeader* inImage, int inHeight, int inWidth)
{
  TileGrid theGrid;
  theGrid.mTileWidth = inImage->tileInfo ? inImage->tileInfo->width : 128;
  theGrid.mTileHeight = inImage->tileInfo ? inImage->tileInfo->height : 128;
  const int theX0 = inImage->roi ? std::max(inImage->roi->xOffset, 0) : 0;
  const int theY0 = inImage->roi ? std::max(inImage->roi->yOffset, 0) : 0;
  const int theTw = theGrid.mTileWidth;
  const int theTh = theGrid.mTileHeight;
  theGrid.mInnerX = theX0 % theTw;
  theGrid.mInnerY = theY0 % theTh;
  theGrid.mFirstColumn = theX0 / theTw;
  theGrid.mFirstRow = theY0 / theTh;
  theGrid.mColumns = static_cast<int>((static_cast<std::int64_t>(theX0) + inWidth - 1) / theTw) - theX0 / theTw + 1;
  theGrid.mRows = static_cast<int>((static_cast<std::int64_t>(theY0) + inHeight - 1) / theTh) - theY0 / theTh + 1;
  return theGrid;
}

bool TileRangeGet(const ImageHeader* inImage, const ImageHeader* inTiled, int& outWidth,
                  int& outHeight, TileGrid& outGrid)
{
  if (!inImage || !inTiled || !inTiled->tileInfo)
    return false;
  int theWidth = 0;
  int theHeight = 0;
  if (!RoiSizeCommon2(inImage, inTiled, theWidth, theHeight) || theWidth < 1 || theHeight < 1)
    return false;
  outWidth = theWidth;
  outHeight = theHeight;
  outGrid = TileGridGet(inTiled, theHeight, theWidth);
  return true;
}

}  // namespace kernels
