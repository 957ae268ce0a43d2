#include "platform/gdi/Blitter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tlgdi {

namespace {

// A device coordinate range, clamped so that it converts to int32 safely.
std::int32_t ClampToPixels(double inValue, std::int32_t inLimit)
{
  if (!(inValue > 0))
    return 0;
  if (inValue > inLimit)
    return inLimit;
  return static_cast<std::int32_t>(inValue);
}

// The index along one axis of a logical coordinate, or false when it falls
// outside the destination range or outside the source.
bool SourceIndex(double inLogical, double inDestStart, double inDestSize, double inSourceStart,
                 double inSourceSize, std::int32_t inSourceLimit, std::int32_t& outIndex)
{
  const double theLow = std::min(inDestStart, inDestStart + inDestSize);
  const double theHigh = std::max(inDestStart, inDestStart + inDestSize);
  if (!(inLogical >= theLow && inLogical < theHigh))
    return false;
  const double theSourceLow = std::floor(std::min(inSourceStart, inSourceStart + inSourceSize));
  const double theSourceHigh = std::ceil(std::max(inSourceStart, inSourceStart + inSourceSize)) - 1;
  double theIndex = std::floor(inSourceStart + ((inLogical - inDestStart) * inSourceSize) / inDestSize);
  theIndex = std::clamp(theIndex, theSourceLow, theSourceHigh);
  if (!(theIndex >= 0 && theIndex < inSourceLimit))
    return false;
  outIndex = static_cast<std::int32_t>(theIndex);
  return true;
}

constexpr XFORM kIdentity = {1, 0, 0, 1, 0, 0};

bool InsideRange(double inLogical, double inStart, double inSize)
{
  return inLogical >= std::min(inStart, inStart + inSize) && inLogical < std::max(inStart, inStart + inSize);
}

}  // namespace

Blitter::Blitter(const PixelView& inDest, const std::vector<std::uint32_t>& inDestColors, const XFORM& inWorld,
                 Paths inPaths)
  : mDest(inDest), mWorld(inWorld), mSeparable(inWorld.eM12 == 0 && inWorld.eM21 == 0), mPaths(inPaths),
    mDestColors(inDestColors)
{
  if (mDest.mFormat->IsIndexed())
    mLookup.emplace(mDestColors);
}

void Blitter::Logical(std::int32_t inX, std::int32_t inY, double& outX, double& outY) const
{
  const double m11 = mWorld.eM11, m12 = mWorld.eM12, m21 = mWorld.eM21, m22 = mWorld.eM22;
  const double theDeterminant = m11 * m22 - m12 * m21;
  const double dx = (inX + 0.5) - mWorld.eDx;
  const double dy = (inY + 0.5) - mWorld.eDy;
  outX = (m22 * dx - m21 * dy) / theDeterminant;
  outY = (m11 * dy - m12 * dx) / theDeterminant;
}

Blitter::Span Blitter::Bounds(const BlitRect& inRect) const
{
  double theMinX = INFINITY, theMinY = INFINITY, theMaxX = -INFINITY, theMaxY = -INFINITY;
  for (int theCorner = 0; theCorner < 4; ++theCorner) {
    const double x = inRect.mX + ((theCorner & 1) ? inRect.mWidth : 0);
    const double y = inRect.mY + ((theCorner & 2) ? inRect.mHeight : 0);
    const double theX = mWorld.eM11 * x + mWorld.eM21 * y + mWorld.eDx;
    const double theY = mWorld.eM12 * x + mWorld.eM22 * y + mWorld.eDy;
    theMinX = std::min(theMinX, theX);
    theMaxX = std::max(theMaxX, theX);
    theMinY = std::min(theMinY, theY);
    theMaxY = std::max(theMaxY, theY);
  }
  Span theSpan;
  theSpan.mLeft = ClampToPixels(std::floor(theMinX), mDest.mWidth);
  theSpan.mRight = ClampToPixels(std::ceil(theMaxX), mDest.mWidth);
  theSpan.mTop = ClampToPixels(std::floor(theMinY), mDest.mHeight);
  theSpan.mBottom = ClampToPixels(std::ceil(theMaxY), mDest.mHeight);
  return theSpan;
}

void Blitter::Write(std::int32_t inY, std::int32_t inX, int inCount, const std::uint32_t* inPixels)
{
  mDest.mFormat->Write(mDest.Row(inY), inX, inCount, inPixels, mLookup ? &*mLookup : nullptr);
}

bool Blitter::ShortcutCopy(const PixelView& inSource, const std::vector<std::uint32_t>& inSourceColors,
                           const BlitRect& inDestRect, const BlitRect& inSourceRect, RasterOp inOp)
{
  const PixelFormat& theFormat = *mDest.mFormat;
  if (inOp != RasterOp::kCopy || theFormat.BitCount() < 8 || !theFormat.SameLayout(*inSource.mFormat) ||
      (theFormat.IsIndexed() && inSourceColors != mDestColors))
    return false;
  if (mWorld.eM11 != 1 || mWorld.eM22 != 1 || mWorld.eM12 != 0 || mWorld.eM21 != 0 ||
      std::floor(mWorld.eDx) != mWorld.eDx || std::floor(mWorld.eDy) != mWorld.eDy)
    return false;
  if (inDestRect.mWidth != inSourceRect.mWidth || inDestRect.mHeight != inSourceRect.mHeight ||
      inDestRect.mWidth <= 0 || inDestRect.mHeight <= 0)
    return false;

  // Device columns and rows covered by the rectangle, inside both views.
  const double theLeft = inDestRect.mX + mWorld.eDx;
  const double theTop = inDestRect.mY + mWorld.eDy;
  const double theFromX = std::max({theLeft, 0.0, theLeft - inSourceRect.mX});
  const double theToX = std::min({theLeft + inDestRect.mWidth, double(mDest.mWidth), theLeft - inSourceRect.mX + inSource.mWidth});
  const double theFromY = std::max({theTop, 0.0, theTop - inSourceRect.mY});
  const double theToY = std::min({theTop + inDestRect.mHeight, double(mDest.mHeight), theTop - inSourceRect.mY + inSource.mHeight});
  if (theFromX >= theToX || theFromY >= theToY)
    return true;

  const std::int64_t theBytes = theFormat.BitCount() / 8;
  const auto theX = static_cast<std::int32_t>(theFromX);
  const auto theSourceX = static_cast<std::int32_t>(theFromX - theLeft + inSourceRect.mX);
  const auto theLength = static_cast<std::size_t>((theToX - theFromX) * theBytes);
  for (auto y = static_cast<std::int32_t>(theFromY); y < theToY; ++y) {
    const auto theSourceY = static_cast<std::int32_t>(y - theTop + inSourceRect.mY);
    std::memcpy(mDest.Row(y) + theX * theBytes, inSource.Row(theSourceY) + theSourceX * theBytes, theLength);
  }
  return true;
}

void Blitter::Copy(const PixelView& inSource, const std::vector<std::uint32_t>& inSourceColors,
                   const BlitRect& inDestRect, const BlitRect& inSourceRect, RasterOp inOp)
{
  if (inDestRect.mWidth == 0 || inDestRect.mHeight == 0 || inSourceRect.mWidth == 0 || inSourceRect.mHeight == 0 ||
      inSource.mWidth <= 0 || inSource.mHeight <= 0)
    return;

  // A pixel that only ever reads itself (same pixels, same rectangle, no
  // transform) needs no copy aside: each run is read before it is written.
  const bool theInPlace = inSource.mTop == mDest.mTop && inSource.mStride == mDest.mStride &&
                          inDestRect.mX == inSourceRect.mX && inDestRect.mY == inSourceRect.mY &&
                          inDestRect.mWidth == inSourceRect.mWidth && inDestRect.mHeight == inSourceRect.mHeight &&
                          std::memcmp(&mWorld, &kIdentity, sizeof(XFORM)) == 0;
  PixelView theSource = inSource;
  std::vector<std::uint8_t> theCopy;
  if (!theInPlace && inSource.Overlaps(mDest)) {
    theCopy.assign(inSource.Begin(), inSource.End());
    theSource.mTop = theCopy.data() + (inSource.mTop - inSource.Begin());
  }
  if (mPaths == Paths::kFast && ShortcutCopy(theSource, inSourceColors, inDestRect, inSourceRect, inOp))
    return;

  const Span theSpan = Bounds(inDestRect);
  if (theSpan.mLeft >= theSpan.mRight || theSpan.mTop >= theSpan.mBottom)
    return;
  const int theWidth = theSpan.mRight - theSpan.mLeft;
  std::vector<std::int32_t> theXs(theWidth);  // source column per device column, -1 outside
  std::vector<const std::uint8_t*> theRows(theWidth);
  std::vector<std::uint32_t> thePixels(theWidth);

  auto SourceX = [&](double inLogical, std::int32_t& outX) {
    return SourceIndex(inLogical, inDestRect.mX, inDestRect.mWidth, inSourceRect.mX, inSourceRect.mWidth,
                       theSource.mWidth, outX);
  };
  auto SourceY = [&](double inLogical, std::int32_t& outY) {
    return SourceIndex(inLogical, inDestRect.mY, inDestRect.mHeight, inSourceRect.mY, inSourceRect.mHeight,
                       theSource.mHeight, outY);
  };
  // Without rotation or shear the source columns are the same on every row.
  if (mSeparable) {
    for (int i = 0; i < theWidth; ++i) {
      double lx, ly;
      Logical(theSpan.mLeft + i, theSpan.mTop, lx, ly);
      if (!SourceX(lx, theXs[i]))
        theXs[i] = -1;
    }
  }

  for (std::int32_t py = theSpan.mTop; py < theSpan.mBottom; ++py) {
    if (mSeparable) {
      double lx, ly;
      std::int32_t theRow = 0;
      Logical(theSpan.mLeft, py, lx, ly);
      if (!SourceY(ly, theRow))
        continue;
      std::fill(theRows.begin(), theRows.end(), theSource.Row(theRow));
    } else {
      for (int i = 0; i < theWidth; ++i) {
        double lx, ly;
        Logical(theSpan.mLeft + i, py, lx, ly);
        std::int32_t theRow = 0;
        if (SourceX(lx, theXs[i]) && SourceY(ly, theRow))
          theRows[i] = theSource.Row(theRow);
        else
          theXs[i] = -1;
      }
    }
    // Each run of columns that have a source is read, changed and written.
    for (int i = 0; i < theWidth;) {
      if (theXs[i] < 0) {
        ++i;
        continue;
      }
      int theRun = 1;
      while (i + theRun < theWidth && theXs[i + theRun] >= 0)
        ++theRun;
      theSource.mFormat->Read(theRows.data() + i, theXs.data() + i, theRun, inSourceColors.data(), thePixels.data());
      if (inOp == RasterOp::kInvert)
        for (int k = 0; k < theRun; ++k)
          thePixels[k] = ~thePixels[k];
      Write(py, theSpan.mLeft + i, theRun, thePixels.data());
      i += theRun;
    }
  }
}

void Blitter::Fill(const BlitRect& inRect, std::uint32_t inColor)
{
  const Span theSpan = Bounds(inRect);
  if (theSpan.mLeft >= theSpan.mRight || theSpan.mTop >= theSpan.mBottom)
    return;
  const std::vector<std::uint32_t> theColor(theSpan.mRight - theSpan.mLeft, inColor);
  for (std::int32_t py = theSpan.mTop; py < theSpan.mBottom; ++py) {
    std::int32_t theRunStart = 0;
    int theRun = 0;
    for (std::int32_t px = theSpan.mLeft; px <= theSpan.mRight; ++px) {
      bool theInside = false;
      if (px < theSpan.mRight) {
        double lx, ly;
        Logical(px, py, lx, ly);
        theInside = InsideRange(lx, inRect.mX, inRect.mWidth) && InsideRange(ly, inRect.mY, inRect.mHeight);
      }
      if (theInside) {
        if (theRun++ == 0)
          theRunStart = px;
      } else if (theRun > 0) {
        Write(py, theRunStart, theRun, theColor.data());
        theRun = 0;
      }
    }
  }
}

}  // namespace tlgdi
