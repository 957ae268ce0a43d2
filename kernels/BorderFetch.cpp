#include "kernels/BorderFetch.h"

#include "kernels/AlignedAlloc.h"
#include "kernels/CheckedSize.h"
#include "kernels/ErrorStatus.h"
#include "kernels/ImageLayout.h"
#include "kernels/SampleAccess.h"
#include "kernels/TileAccess.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kernels {

namespace {

// The fetch buffer and its layout.
struct Buffer {
  std::uint8_t* mData;
  std::int64_t mRowStep;
  std::int64_t mPlaneSize;
  int mPixelBytes;  // 0 for depth 1
  int mPlanes;
};

void CopyPixel(const Buffer& inBuffer, int inFromColumn, int inFromRow, int inToColumn, int inToRow)
{
  if (inBuffer.mPixelBytes == 0) {
    if (BitAt(inBuffer.mData + inFromRow * inBuffer.mRowStep, inFromColumn))
      SetBit(inBuffer.mData + inToRow * inBuffer.mRowStep, inToColumn);
    return;
  }
  for (int p = 0; p < inBuffer.mPlanes; ++p) {
    std::uint8_t* thePlane = inBuffer.mData + p * inBuffer.mPlaneSize;
    std::memmove(thePlane + inToRow * inBuffer.mRowStep + static_cast<std::int64_t>(inToColumn) * inBuffer.mPixelBytes,
                 thePlane + inFromRow * inBuffer.mRowStep + static_cast<std::int64_t>(inFromColumn) * inBuffer.mPixelBytes,
                 static_cast<std::size_t>(inBuffer.mPixelBytes));
  }
}

// The image coordinate an outside coordinate takes under a border mode 1-3.
int MapCoordinate(std::int64_t inV, int inSize, int inMode)
{
  if (inV >= 0 && inV < inSize)
    return static_cast<int>(inV);
  switch (inMode) {
    case IPL_BORDER_REPLICATE:
      return inV < 0 ? 0 : inSize - 1;
    case IPL_BORDER_REFLECT: {
      const std::int64_t theD = inV < 0 ? -inV - 1 : inV - inSize;
      const bool theEven = (theD / inSize) % 2 == 0;
      const int theM = static_cast<int>(theD % inSize);
      if (inV < 0)
        return theEven ? theM : inSize - 1 - theM;
      return theEven ? inSize - 1 - theM : theM;
    }
    default:
      return static_cast<int>(((inV % inSize) + inSize) % inSize);
  }
}

// A run of buffer positions whose image coordinates run from mFrom to mTo by
// steps of one (forward or backward).
struct Piece {
  int mOffset;
  int mFrom;
  int mTo;
};

// Cuts inCount positions from inStart on wherever the mapped coordinate stops
// running on by one, i.e. where it crosses from one period to the next.
std::vector<Piece> MappedPieces(std::int64_t inStart, int inCount, int inSize, int inMode)
{
  std::vector<Piece> thePieces;
  int theDirection = 0;
  for (int i = 0; i < inCount; ++i) {
    const int theM = MapCoordinate(inStart + i, inSize, inMode);
    if (!thePieces.empty()) {
      Piece& theLast = thePieces.back();
      const int theStep = theM - theLast.mTo;
      const bool theFirstStep = theLast.mFrom == theLast.mTo;
      if ((theFirstStep && (theStep == 1 || theStep == -1)) || (!theFirstStep && theStep == theDirection)) {
        theDirection = theStep;
        theLast.mTo = theM;
        continue;
      }
    }
    thePieces.push_back({i, theM, theM});
  }
  return thePieces;
}

// The mode 0 pattern, as one 32-bit word.
std::uint32_t BorderWord(std::int32_t inDepth, std::int32_t inConstant)
{
  switch (inDepth) {
    case IPL_DEPTH_1U: return (inConstant & 1) ? 0xFFFFFFFFu : 0u;
    case IPL_DEPTH_8U:
    case IPL_DEPTH_8S: return (static_cast<std::uint32_t>(inConstant) & 0xFFu) * 0x01010101u;
    case IPL_DEPTH_16U:
    case IPL_DEPTH_16S: return (static_cast<std::uint32_t>(inConstant) & 0xFFFFu) * 0x00010001u;
    case IPL_DEPTH_32F: {
      const float theValue = static_cast<float>(inConstant);
      std::uint32_t theWord = 0;
      std::memcpy(&theWord, &theValue, sizeof(theWord));
      return theWord;
    }
    default: return static_cast<std::uint32_t>(inConstant);
  }
}

class Fetch {
 public:
  Fetch(const ImageHeader* inImage, const Buffer& inBuffer, int inX, int inY, int inWidth, int inHeight)
      : mImage(inImage), mBuffer(inBuffer), mX(inX), mY(inY), mW(inWidth), mH(inHeight)
  {
    const int theImageW = inImage->width;
    const int theImageH = inImage->height;
    const std::int64_t theRight = static_cast<std::int64_t>(inX) + inWidth;
    const std::int64_t theBottom = static_cast<std::int64_t>(inY) + inHeight;
    mTop = inY < 0 ? static_cast<int>(std::min<std::int64_t>(-static_cast<std::int64_t>(inY), inHeight)) : 0;
    mBottomRows = theBottom > theImageH ? static_cast<int>(std::min<std::int64_t>(theBottom - theImageH, inHeight)) : 0;
    mLeft = inX < 0 ? static_cast<int>(std::min<std::int64_t>(-static_cast<std::int64_t>(inX), inWidth)) : 0;
    mRight = theRight > theImageW ? static_cast<int>(std::min<std::int64_t>(theRight - theImageW, inWidth)) : 0;
    mHasMiddle = theBottom >= 1 && inY < theImageH;
    mHasInterior = theRight >= 1 && inX < theImageW;
    mMidY1 = std::max(inY, 0);
    mMidY2 = static_cast<int>(std::min<std::int64_t>(theBottom, theImageH) - 1);
    mInX1 = std::max(inX, 0);
    mInX2 = static_cast<int>(std::min<std::int64_t>(theRight, theImageW) - 1);
  }

  bool Run()
  {
    if (mTop > 0 && !Band(IPL_SIDE_TOP_INDEX, 0, mY, mTop, 0))
      return false;
    if (mHasMiddle) {
      const int theRows = mMidY2 - mMidY1 + 1;
      if (mLeft > 0 && !Beside(IPL_SIDE_LEFT_INDEX, 0, mX, mLeft, theRows, 0))
        return false;
      if (mHasInterior && Read(mInX1, mMidY1, mInX2, mMidY2, mLeft, mTop) != 0)
        return false;
      if (mRight > 0 && !Beside(IPL_SIDE_RIGHT_INDEX, mW - mRight, mX + mW - mRight, mRight, theRows, mImage->width - 1))
        return false;
    }
    if (mBottomRows > 0 &&
        !Band(IPL_SIDE_BOTTOM_INDEX, mH - mBottomRows, mY + mH - mBottomRows, mBottomRows, mImage->height - 1))
      return false;
    return true;
  }

 private:
  int Mode(int inSide) const { return mImage->borderMode[inSide] & 3; }

  int Read(int inX1, int inY1, int inX2, int inY2, int inColumn, int inRow) const
  {
    return RectRead(mImage, inX1, inY1, inX2, inY2, mBuffer.mData, inColumn, inRow, mBuffer.mRowStep,
                    mBuffer.mPlaneSize, mBuffer.mPixelBytes, mBuffer.mPlanes);
  }

  // Rows above or below the image, across the whole buffer width.
  bool Band(int inSide, int inBufferRow, int inImageRow, int inRows, int inEdgeRow) const
  {
    const int theMode = Mode(inSide);
    if (theMode == IPL_BORDER_CONSTANT) {
      const std::uint32_t theWord = BorderWord(mImage->depth, mImage->borderConst[inSide]);
      for (int p = 0; p < mBuffer.mPlanes; ++p) {
        for (int r = 0; r < inRows; ++r) {
          auto* theRow = reinterpret_cast<std::uint32_t*>(
            mBuffer.mData + p * mBuffer.mPlaneSize + (inBufferRow + r) * mBuffer.mRowStep);
          std::fill(theRow, theRow + mBuffer.mRowStep / 4, theWord);
        }
      }
      return true;
    }
    if (theMode == IPL_BORDER_REPLICATE) {
      const int theInterior = mW - mLeft - mRight;
      if (mHasInterior && Read(mInX1, inEdgeRow, mInX2, inEdgeRow, mLeft, inBufferRow) != 0)
        return false;
      if (mLeft > 0) {
        if (Read(0, inEdgeRow, 0, inEdgeRow, 0, inBufferRow) != 0)
          return false;
        PixelReplicate(mBuffer.mData, 0, inBufferRow, mLeft, inRows, mBuffer.mRowStep, mBuffer.mPlaneSize,
                       mBuffer.mPixelBytes, mBuffer.mPlanes);
      }
      if (mRight > 0) {
        const int theLast = mImage->width - 1;
        if (Read(theLast, inEdgeRow, theLast, inEdgeRow, mW - mRight, inBufferRow) != 0)
          return false;
        PixelReplicate(mBuffer.mData, mW - mRight, inBufferRow, mRight, inRows, mBuffer.mRowStep,
                       mBuffer.mPlaneSize, mBuffer.mPixelBytes, mBuffer.mPlanes);
      }
      if (mHasInterior)
        RowReplicate(mBuffer.mData, mLeft, inBufferRow, theInterior, inRows, mBuffer.mRowStep,
                     mBuffer.mPlaneSize, mBuffer.mPixelBytes, mBuffer.mPlanes);
      return true;
    }
    for (const Piece& theRows : MappedPieces(inImageRow, inRows, mImage->height, theMode)) {
      for (const Piece& theColumns : MappedPieces(mX, mW, mImage->width, theMode)) {
        if (Read(theColumns.mFrom, theRows.mFrom, theColumns.mTo, theRows.mTo, theColumns.mOffset,
                 inBufferRow + theRows.mOffset) != 0)
          return false;
      }
    }
    return true;
  }

  // Columns left or right of the image, in the middle rows.
  bool Beside(int inSide, int inBufferColumn, int inImageColumn, int inColumns, int inRows, int inEdgeColumn) const
  {
    const int theMode = Mode(inSide);
    if (theMode == IPL_BORDER_CONSTANT) {
      FillPart(mImage->borderConst[inSide], inBufferColumn, inColumns, inRows);
      return true;
    }
    if (theMode == IPL_BORDER_REPLICATE) {
      if (Read(inEdgeColumn, mMidY1, inEdgeColumn, mMidY2, inBufferColumn, mTop) != 0)
        return false;
      ColumnReplicate(mBuffer.mData, inBufferColumn, mTop, inColumns, inRows, mBuffer.mRowStep,
                      mBuffer.mPlaneSize, mBuffer.mPixelBytes, mBuffer.mPlanes);
      return true;
    }
    for (const Piece& theColumns : MappedPieces(inImageColumn, inColumns, mImage->width, theMode)) {
      if (Read(theColumns.mFrom, mMidY1, theColumns.mTo, mMidY2, inBufferColumn + theColumns.mOffset, mTop) != 0)
        return false;
    }
    return true;
  }

  // Mode 0 beside the image: only the part's own pixels are written.
  void FillPart(std::int32_t inConstant, int inBufferColumn, int inColumns, int inRows) const
  {
    if (mBuffer.mPixelBytes == 0) {
      if (!(inConstant & 1))
        return;
      for (int r = 0; r < inRows; ++r) {
        for (int c = 0; c < inColumns; ++c)
          SetBit(mBuffer.mData + (mTop + r) * mBuffer.mRowStep, inBufferColumn + c);
      }
      return;
    }
    const int theSampleBytes = BytesPerSample(mImage->depth);
    const int theSamples = inColumns * (mBuffer.mPixelBytes / theSampleBytes);
    const std::uint32_t theWord = BorderWord(mImage->depth, inConstant);
    for (int p = 0; p < mBuffer.mPlanes; ++p) {
      for (int r = 0; r < inRows; ++r) {
        std::uint8_t* theStart = mBuffer.mData + p * mBuffer.mPlaneSize + (mTop + r) * mBuffer.mRowStep +
                                 static_cast<std::int64_t>(inBufferColumn) * mBuffer.mPixelBytes;
        for (int s = 0; s < theSamples; ++s)
          std::memcpy(theStart + static_cast<std::int64_t>(s) * theSampleBytes, &theWord,
                      static_cast<std::size_t>(theSampleBytes));
      }
    }
  }

  const ImageHeader* mImage;
  Buffer mBuffer;
  int mX, mY, mW, mH;
  int mTop = 0, mBottomRows = 0, mLeft = 0, mRight = 0;
  bool mHasMiddle = false, mHasInterior = false;
  int mMidY1 = 0, mMidY2 = 0, mInX1 = 0, mInX2 = 0;
};

}  // namespace

std::uint8_t* RectFetchWithBorder(const ImageHeader* inImage, int inX, int inY, int inWidth,
                                  int inHeight, std::int64_t* outRowStep)
{
  if (!inImage || (inImage->dataOrder != IPL_DATA_ORDER_PIXEL && inImage->dataOrder != IPL_DATA_ORDER_PLANE) ||
      !IsValidDepth(inImage->depth) ||
      (inImage->align != 4 && inImage->align != 8 && inImage->align != 16 && inImage->align != 32))
    return nullptr;
  const bool thePlaneOrder = inImage->dataOrder == IPL_DATA_ORDER_PLANE;
  const int theSampleBytes = BytesPerSample(inImage->depth);
  const int thePixelBytes = thePlaneOrder ? theSampleBytes : inImage->channelCount * theSampleBytes;
  const std::int64_t theRowStep = WidthStepFor(inImage->dataOrder, inImage->depth, inImage->align,
                                               inImage->channelCount, std::max(inWidth, 0));
  if (outRowStep)
    *outRowStep = std::max<std::int64_t>(theRowStep, 0);
  if (inWidth < 1 || inHeight < 1)
    return nullptr;
  const int thePlanes = thePlaneOrder ? inImage->channelCount : 1;
  std::optional<std::int64_t> theBytes = CheckedProduct({thePlanes, inHeight, theRowStep});
  std::uint8_t* theData = theBytes && *theBytes <= kInt32Max ? iplAlignedAlloc(static_cast<int>(*theBytes)) : nullptr;
  if (!theData) {
    iplStatusSet(IPL_STATUS_NO_MEMORY);
    return nullptr;
  }
  if (inImage->depth == IPL_DEPTH_1U)
    std::memset(theData, 0, static_cast<std::size_t>(*theBytes));
  const Buffer theBuffer = {theData, theRowStep, theRowStep * inHeight, thePixelBytes, thePlanes};
  Fetch theFetch(inImage, theBuffer, inX, inY, inWidth, inHeight);
  if (!theFetch.Run()) {
    iplAlignedFree(theData);
    return nullptr;
  }
  return theData;
}

void RectFetchFree(std::uint8_t* inBuffer)
{
  iplAlignedFree(inBuffer);
}

void PixelReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                    std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes)
{
  const Buffer theBuffer = {inBuffer, inRowStep, inPlaneSize, inPixelBytes, inPlanes};
  for (int r = 0; r < inRows; ++r) {
    for (int c = 0; c < inColumns; ++c) {
      if (r != 0 || c != 0)
        CopyPixel(theBuffer, inColumn, inRow, inColumn + c, inRow + r);
    }
  }
}

void ColumnReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                     std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes)
{
  const Buffer theBuffer = {inBuffer, inRowStep, inPlaneSize, inPixelBytes, inPlanes};
  for (int r = 0; r < inRows; ++r) {
    for (int c = 1; c < inColumns; ++c)
      CopyPixel(theBuffer, inColumn, inRow + r, inColumn + c, inRow + r);
  }
}

void RowReplicate(std::uint8_t* inBuffer, int inColumn, int inRow, int inColumns, int inRows,
                  std::int64_t inRowStep, std::int64_t inPlaneSize, int inPixelBytes, int inPlanes)
{
  for (int r = 1; r < inRows; ++r) {
    if (inPixelBytes == 0) {
      const std::uint8_t* theFrom = inBuffer + inRow * inRowStep;
      std::uint8_t* theTo = inBuffer + (inRow + r) * inRowStep;
      for (int c = 0; c < inColumns; ++c) {
        if (BitAt(theFrom, inColumn + c))
          SetBit(theTo, inColumn + c);
      }
      continue;
    }
    for (int p = 0; p < inPlanes; ++p) {
      const std::int64_t theColumnOffset = p * inPlaneSize + static_cast<std::int64_t>(inColumn) * inPixelBytes;
      std::memcpy(inBuffer + theColumnOffset + (inRow + r) * inRowStep, inBuffer + theColumnOffset + inRow * inRowStep,
                  static_cast<std::size_t>(inColumns) * inPixelBytes);
    }
  }
}

}  // namespace kernels
