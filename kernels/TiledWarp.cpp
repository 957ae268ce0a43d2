#include "kernels/TiledWarp.h"

#include "kernels/BorderFetch.h"
#include "kernels/EdgeSmoothing.h"
#include "kernels/ErrorStatus.h"
#include "kernels/TileAccess.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace kernels {

namespace {

constexpr int kFetchMargin = 3;
// Far enough outside any image to stand for "outside" without overflowing.
constexpr int kFar = 1 << 30;

// The integer bounding box of a block cell mapped into the source.
IplRect MappedBox(const InverseMap& inInverse, std::int64_t inX1, std::int64_t inY1, std::int64_t inX2,
                  std::int64_t inY2)
{
  const double* c = inInverse.mC;
  double theMinX = HUGE_VAL, theMinY = HUGE_VAL, theMaxX = -HUGE_VAL, theMaxY = -HUGE_VAL;
  for (std::int64_t theY : {inY1, inY2}) {
    for (std::int64_t theX : {inX1, inX2}) {
      const double theSX = c[0] * theX + c[1] * theY + c[2];
      const double theSY = c[3] * theX + c[4] * theY + c[5];
      theMinX = std::min(theMinX, theSX);
      theMaxX = std::max(theMaxX, theSX);
      theMinY = std::min(theMinY, theSY);
      theMaxY = std::max(theMaxY, theSY);
    }
  }
  return {ToIndex(std::floor(theMinX), -kFar, kFar), ToIndex(std::floor(theMinY), -kFar, kFar),
          ToIndex(std::ceil(theMaxX), -kFar, kFar), ToIndex(std::ceil(theMaxY), -kFar, kFar)};
}

// A header copy that owns nothing: no mask, no tiles, a ROI of its own.
struct WorkingCopy {
  WorkingCopy(const ImageHeader* inImage) : mHeader(*inImage)
  {
    mRoi = {inImage->roi ? inImage->roi->coi : 0, 0, 0, 1, 1};
    mHeader.roi = &mRoi;
    mHeader.maskHeader = nullptr;
    mHeader.tileInfo = nullptr;
    mHeader.allocatedBlock = nullptr;
  }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  void SetRoi(int inX, int inY, int inWidth, int inHeight)
  {
    mRoi.xOffset = inX;
    mRoi.yOffset = inY;
    mRoi.width = inWidth;
    mRoi.height = inHeight;
  }

  ImageHeader mHeader;
  RoiRecord mRoi;
};

// A fetched source block, freed on every exit.
struct FetchedBlock {
  ~FetchedBlock() { RectFetchFree(mData); }
  std::uint8_t* mData = nullptr;
  std::int64_t mRowStep = 0;
};

// The callback's tile handed out for writing, handed back on every exit.
class WriteTile {
 public:
  WriteTile(const ImageHeader* inImage, int inColumn, int inRow)
      : mImage(inImage), mColumn(inColumn), mRow(inRow)
  {
    mImage->tileInfo->tileData = nullptr;
    mImage->tileInfo->callback(mImage, mColumn, mRow, IPL_GET_TILE_TO_WRITE);
    mData = mImage->tileInfo->tileData;
  }
  ~WriteTile()
  {
    if (!mData)
      return;
    mImage->tileInfo->tileData = mData;
    mImage->tileInfo->callback(mImage, mColumn, mRow, IPL_RELEASE_TILE);
  }
  WriteTile(const WriteTile&) = delete;
  WriteTile& operator=(const WriteTile&) = delete;

  std::uint8_t* Data() const { return mData; }

 private:
  const ImageHeader* mImage;
  int mColumn;
  int mRow;
  std::uint8_t* mData = nullptr;
};

}  // namespace

void WarpBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                const IplRect& inDestinationRect, const Quad& inQuad, const InverseMap& inInverse,
                int inInterpolate, const char* inFunction, bool inClip)
{
  const TileGrid theGrid = TileGridGet(inDestination, inDestinationRect.Height(), inDestinationRect.Width());
  const bool theTiledDestination = inDestination->tileInfo != nullptr;
  const int thePlanes = inSource->dataOrder == IPL_DATA_ORDER_PLANE ? inSource->channelCount : 1;

  WorkingCopy theSource(inSource);
  WorkingCopy theDestination(inDestination);
  if (theTiledDestination) {
    const std::int64_t theTileStep = TileWidthStep(inDestination);
    theDestination.mHeader.width = theGrid.mTileWidth;
    theDestination.mHeader.height = theGrid.mTileHeight;
    theDestination.mHeader.widthStep = static_cast<std::int32_t>(theTileStep);
    theDestination.mHeader.imageSize = static_cast<std::int32_t>(
      theTileStep * theGrid.mTileHeight *
      (inDestination->dataOrder == IPL_DATA_ORDER_PLANE ? inDestination->channelCount : 1));
  }
  // Blocks the quadrangle cannot reach are passed over without a fetch.
  IplRect theReach;
  if (!RoiRect(inSource, false, theReach))
    theReach = inSourceRect;

  for (int r = theGrid.mFirstRow; r < theGrid.mFirstRow + theGrid.mRows; ++r) {
    for (int c = theGrid.mFirstColumn; c < theGrid.mFirstColumn + theGrid.mColumns; ++c) {
      const std::int64_t theCellX = static_cast<std::int64_t>(c) * theGrid.mTileWidth;
      const std::int64_t theCellY = static_cast<std::int64_t>(r) * theGrid.mTileHeight;
      const std::int64_t theCellX2 = theCellX + theGrid.mTileWidth - 1;
      const std::int64_t theCellY2 = theCellY + theGrid.mTileHeight - 1;
      const int thePartX1 = static_cast<int>(std::max<std::int64_t>(theCellX, inDestinationRect.x1));
      const int thePartY1 = static_cast<int>(std::max<std::int64_t>(theCellY, inDestinationRect.y1));
      const int thePartX2 = static_cast<int>(std::min<std::int64_t>(theCellX2, inDestinationRect.x2));
      const int thePartY2 = static_cast<int>(std::min<std::int64_t>(theCellY2, inDestinationRect.y2));
      if (thePartX2 < thePartX1 || thePartY2 < thePartY1)
        continue;
      const std::int64_t theOriginX = theTiledDestination ? theCellX : 0;
      const std::int64_t theOriginY = theTiledDestination ? theCellY : 0;
      theDestination.SetRoi(static_cast<int>(thePartX1 - theOriginX), static_cast<int>(thePartY1 - theOriginY),
                            thePartX2 - thePartX1 + 1, thePartY2 - thePartY1 + 1);

      IplRect theBox = MappedBox(inInverse, theCellX, theCellY, theCellX2, theCellY2);
      if (theBox.x2 < theReach.x1 || theBox.x1 > theReach.x2 || theBox.y2 < theReach.y1 ||
          theBox.y1 > theReach.y2)
        continue;
      theBox.x1 = std::max(theBox.x1 - kFetchMargin, 0);
      theBox.y1 = std::max(theBox.y1 - kFetchMargin, 0);
      theBox.x2 = std::min(theBox.x2 + kFetchMargin, inSource->width - 1);
      theBox.y2 = std::min(theBox.y2 + kFetchMargin, inSource->height - 1);
      FetchedBlock theFetch;
      theFetch.mData = RectFetchWithBorder(inSource, theBox.x1, theBox.y1, theBox.Width(), theBox.Height(),
                                           &theFetch.mRowStep);
      if (!theFetch.mData || iplStatusGet() < 0) {
        iplError(IPL_STATUS_BACKTRACE, inFunction, "", kWarpModule, __LINE__);
        return;
      }
      ImageHeader& theBlock = theSource.mHeader;
      theBlock.imageData = theFetch.mData;
      theBlock.widthStep = static_cast<std::int32_t>(theFetch.mRowStep);
      theBlock.width = theBox.Width();
      theBlock.height = theBox.Height();
      theBlock.imageSize = static_cast<std::int32_t>(theFetch.mRowStep * theBox.Height() * thePlanes);
      // The source rectangle the quadrangle was made from, in block coordinates.
      theSource.SetRoi(inSourceRect.x1 - theBox.x1, inSourceRect.y1 - theBox.y1, inSourceRect.Width(),
                       inSourceRect.Height());

      Quad theQuad = inQuad;
      std::optional<WriteTile> theTile;
      if (theTiledDestination) {
        theTile.emplace(inDestination, c, r);
        if (!theTile->Data()) {
          iplError(IPL_STATUS_ERROR, inFunction, "Error get tile to write", kWarpModule, __LINE__);
          return;
        }
        theDestination.mHeader.imageData = theTile->Data();
        for (Point& thePoint : theQuad) {
          thePoint.x -= static_cast<double>(theOriginX);
          thePoint.y -= static_cast<double>(theOriginY);
        }
      }
      WarpRectToQuad(&theBlock, &theDestination.mHeader, theQuad, inInterpolate & ~IPL_INTER_SMOOTH_EDGES,
                     inFunction, false);
      theTile.reset();
      if (iplStatusGet() < 0)
        return;
    }
  }
  if ((inInterpolate & IPL_INTER_SMOOTH_EDGES) && inClip && iplStatusGet() >= 0)
    SmoothEdges(inDestination, std::vector<Point>(inQuad.begin(), inQuad.end()), inDestinationRect,
                inInverse.mOrientation);
}

}  // namespace kernels
