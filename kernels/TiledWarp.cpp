#include "kernels/TiledWarp.h"

#include "kernels/BorderFetch.h"
#include "kernels/EdgeSmoothing.h"
#include "kernels/ErrorStatus.h"
#include "kernels/TileAccess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace kernels {

namespace {

constexpr int kFetchMargin = 3;
// Far enough outside any image to stand for "outside" without overflowing.
constexpr int kFar = 1 << 30;

// The integer bounding box of points mapped into the source: floor of the
// smallest, ceil of the largest coordinates, held far outside any image.
template <typename Points>
IplRect BoxOf(const Points& inPoints)
{
  double theMinX = HUGE_VAL, theMinY = HUGE_VAL, theMaxX = -HUGE_VAL, theMaxY = -HUGE_VAL;
  for (const Point& thePoint : inPoints) {
    theMinX = std::min(theMinX, thePoint.x);
    theMaxX = std::max(theMaxX, thePoint.x);
    theMinY = std::min(theMinY, thePoint.y);
    theMaxY = std::max(theMaxY, thePoint.y);
  }
  return {ToIndex(std::floor(theMinX), -kFar, kFar), ToIndex(std::floor(theMinY), -kFar, kFar),
          ToIndex(std::ceil(theMaxX), -kFar, kFar), ToIndex(std::ceil(theMaxY), -kFar, kFar)};
}

// The source box of a block under the bilinear or perspective inverse. Outside
// the quadrangle those inverses may cross their horizon or take the other
// root, so the corners of the block cell say nothing: the box is that of the
// vertices of the block's part of the quadrangle, mapped (the perspective
// image of that convex part is the hull of theirs; the bend the bilinear
// inverse gives its edges stays within the fetch margin). A block the
// quadrangle misses gets a box outside every image.
IplRect QuadPartBox(const InverseMap& inInverse, const Quad& inQuad, const IplRect& inPart)
{
  std::vector<Point> thePolygon = ClipToRect(std::vector<Point>(inQuad.begin(), inQuad.end()), inPart);
  if (thePolygon.empty())
    return {kFar, kFar, kFar, kFar};
  for (Point& thePoint : thePolygon)
    thePoint = inInverse.SourceOf(thePoint.x, thePoint.y);
  return BoxOf(thePolygon);
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

// The block walk both directions share. For each block, inBoxOf(cell, part)
// gives the source box the block reads (cell: the whole block cell in image
// coordinates; part: the cell cut to the destination ROI rectangle), and
// inWarp(source copy, destination copy, fetched box, part, tile origin) warps
// it. False when a failure ended the walk.
template <typename BoxFor, typename Warp>
bool WalkBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                const IplRect& inDestinationRect, const char* inFunction, BoxFor inBoxOf, Warp inWarp)
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
      IplRect thePart;
      thePart.x1 = static_cast<int>(std::max<std::int64_t>(theCellX, inDestinationRect.x1));
      thePart.y1 = static_cast<int>(std::max<std::int64_t>(theCellY, inDestinationRect.y1));
      thePart.x2 = static_cast<int>(std::min<std::int64_t>(theCellX2, inDestinationRect.x2));
      thePart.y2 = static_cast<int>(std::min<std::int64_t>(theCellY2, inDestinationRect.y2));
      if (thePart.x2 < thePart.x1 || thePart.y2 < thePart.y1)
        continue;
      const std::int64_t theOriginX = theTiledDestination ? theCellX : 0;
      const std::int64_t theOriginY = theTiledDestination ? theCellY : 0;
      theDestination.SetRoi(static_cast<int>(thePart.x1 - theOriginX), static_cast<int>(thePart.y1 - theOriginY),
                            thePart.Width(), thePart.Height());

      IplRect theBox = inBoxOf(std::array<std::int64_t, 4>{theCellX, theCellY, theCellX2, theCellY2}, thePart);
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
        return false;
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

      std::optional<WriteTile> theTile;
      if (theTiledDestination) {
        theTile.emplace(inDestination, c, r);
        if (!theTile->Data()) {
          iplError(IPL_STATUS_ERROR, inFunction, "Error get tile to write", kWarpModule, __LINE__);
          return false;
        }
        theDestination.mHeader.imageData = theTile->Data();
      }
      inWarp(&theBlock, &theDestination.mHeader, theBox, thePart, Point{static_cast<double>(theOriginX),
                                                                        static_cast<double>(theOriginY)});
      theTile.reset();
      if (iplStatusGet() < 0)
        return false;
    }
  }
  return true;
}

Quad Moved(const Quad& inQuad, double inX, double inY)
{
  Quad theQuad = inQuad;
  for (Point& thePoint : theQuad) {
    thePoint.x -= inX;
    thePoint.y -= inY;
  }
  return theQuad;
}

}  // namespace

void WarpBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                const IplRect& inDestinationRect, const Quad& inQuad, const InverseMap& inInverse,
                int inInterpolate, const char* inFunction, bool inClip)
{
  auto theBoxOf = [&inInverse, &inQuad](const std::array<std::int64_t, 4>& inCell, const IplRect& inPart) {
    if (inInverse.mKind == WarpKind::kAffine) {
      const double x1 = static_cast<double>(inCell[0]), y1 = static_cast<double>(inCell[1]);
      const double x2 = static_cast<double>(inCell[2]), y2 = static_cast<double>(inCell[3]);
      return BoxOf(std::array<Point, 4>{inInverse.SourceOf(x1, y1), inInverse.SourceOf(x2, y1),
                                        inInverse.SourceOf(x1, y2), inInverse.SourceOf(x2, y2)});
    }
    return QuadPartBox(inInverse, inQuad, inPart);
  };
  auto theWarp = [&](ImageHeader* inBlock, ImageHeader* inPart, const IplRect&, const IplRect&, const Point& inOrigin) {
    WarpRectToQuad(inBlock, inPart, Moved(inQuad, inOrigin.x, inOrigin.y), inInterpolate & ~IPL_INTER_SMOOTH_EDGES,
                   inFunction, inInverse.mKind, false);
  };
  if (!WalkBlocks(inSource, inDestination, inSourceRect, inDestinationRect, inFunction, theBoxOf, theWarp))
    return;
  if ((inInterpolate & IPL_INTER_SMOOTH_EDGES) && inClip && iplStatusGet() >= 0) {
    const Quad theArea = CoveredQuad(inQuad, inSourceRect, inInverse.mKind, inInterpolate);
    SmoothEdges(inDestination, std::vector<Point>(theArea.begin(), theArea.end()), inDestinationRect,
                inInverse.mOrientation);
  }
}

void WarpQuadBlocks(ImageHeader* inSource, ImageHeader* inDestination, const IplRect& inSourceRect,
                    const IplRect& inDestinationRect, const Quad& inQuad, int inMethod, const char* inFunction,
                    WarpKind inKind)
{
  // The destination ROI rectangle counted from the block's first pixel.
  auto MappingOf = [&inDestinationRect](const IplRect& inPart) {
    return IplRect{inDestinationRect.x1 - inPart.x1, inDestinationRect.y1 - inPart.y1,
                   inDestinationRect.x2 - inPart.x1, inDestinationRect.y2 - inPart.y1};
  };
  auto theBoxOf = [&](const std::array<std::int64_t, 4>&, const IplRect& inPart) {
    const IplRect theMapping = MappingOf(inPart);
    const double theW = inPart.Width() - 1;
    const double theH = inPart.Height() - 1;
    double theCoeffs[9] = {};
    if (inKind == WarpKind::kBilinear) {
      SolveBilinear(theMapping, inQuad, theCoeffs);
      return BoxOf(BilinearQuad(theCoeffs, 0, 0, theW, theH));
    }
    SolvePerspective(theMapping, inQuad, true, theCoeffs);
    return BoxOf(PerspectiveQuad(theCoeffs, 0, 0, theW, theH));
  };
  auto theWarp = [&](ImageHeader* inBlock, ImageHeader* inPart, const IplRect& inBox, const IplRect& inPartRect,
                     const Point&) {
    const IplRect theMapping = MappingOf(inPartRect);
    WarpQuadToRect(inBlock, inPart, Moved(inQuad, inBox.x1, inBox.y1), inMethod, inFunction, inKind, false,
                   &theMapping);
  };
  WalkBlocks(inSource, inDestination, inSourceRect, inDestinationRect, inFunction, theBoxOf, theWarp);
}

}  // namespace kernels
