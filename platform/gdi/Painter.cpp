#include "platform/gdi/Painter.h"

#include "platform/gdi/PathClipper.h"
#include "platform/gdi/Rasterizer.h"

#include <algorithm>
#include <cmath>

namespace tlgdi {

namespace {

// A device coordinate as a pixel index clamped to 0..inLimit.
std::int32_t PixelIndex(double inValue, std::int32_t inLimit)
{
  if (!(inValue > 0))
    return 0;
  return inValue >= inLimit ? inLimit : static_cast<std::int32_t>(inValue);
}

// The device box of a mask's pixels, grown by inMargin.
Box Region(const CoverageMask& inMask, double inMargin)
{
  return Box{inMask.mLeft - 0.5, inMask.mTop - 0.5, inMask.mLeft + inMask.mWidth - 0.5,
             inMask.mTop + inMask.mHeight - 0.5}
    .Grown(inMargin);
}

}  // namespace

Painter::Painter(const PixelView& inView, const std::vector<std::uint32_t>& inColors)
  : mView(inView), mColors(inColors)
{
  if (mView.mFormat->IsIndexed())
    mLookup.emplace(mColors);
}

void Painter::SetClip(const Box& inLogical, const Affine& inWorld)
{
  mClip = Clip{inWorld.Inverse(), inLogical};
}

Box Painter::Area() const
{
  return Box{-0.5, -0.5, mView.mWidth - 0.5, mView.mHeight - 0.5};
}

bool Painter::Inside(std::int32_t inX, std::int32_t inY) const
{
  if (!mClip)
    return true;
  const Point p = mClip->mInverse.Apply({double(inX), double(inY)});
  const Box& b = mClip->mLogical;
  return p.mX >= b.mLeft && p.mX < b.mRight && p.mY >= b.mTop && p.mY < b.mBottom;
}

template <typename F>
bool Painter::ForEachTile(const Box& inBounds, F&& inDraw)
{
  if (!(inBounds.mLeft <= inBounds.mRight && inBounds.mTop <= inBounds.mBottom))
    return true;
  // Pixels whose squares the bounds can touch, inside the bitmap.
  const std::int32_t theLeft = PixelIndex(std::floor(inBounds.mLeft + 0.5), mView.mWidth);
  const std::int32_t theRight = PixelIndex(std::floor(inBounds.mRight + 0.5) + 1, mView.mWidth);
  const std::int32_t theTop = PixelIndex(std::floor(inBounds.mTop + 0.5), mView.mHeight);
  const std::int32_t theBottom = PixelIndex(std::floor(inBounds.mBottom + 0.5) + 1, mView.mHeight);
  for (std::int32_t y = theTop; y < theBottom; y += kTileSide)
    for (std::int32_t x = theLeft; x < theRight; x += kTileSide) {
      mMask.Reset(x, y, std::min(kTileSide, theRight - x), std::min(kTileSide, theBottom - y));
      if (!inDraw(mMask))
        return false;
    }
  return true;
}

bool Painter::Fill(const Path& inPath, const BrushObject& inBrush)
{
  return ForEachTile(inPath.Bounds(), [&](CoverageMask& ioMask) {
    const std::vector<Polyline> theFigures = PathClipper::ForFill(inPath, Region(ioMask, 1));
    if (theFigures.empty())
      return true;
    if (!Rasterizer::Fill(theFigures, ioMask))
      return false;
    Put(ioMask, inBrush);
    return true;
  });
}

bool Painter::Stroke(const Path& inPath, double inWidth, const Affine& inPen, COLORREF inColor)
{
  Affine thePen = inPen;
  double theWidth = inWidth;
  if (!(theWidth * thePen.LeastStretch() >= 1)) {
    thePen = Affine{};
    theWidth = 1;
  }
  double theHalf = theWidth / 2 * thePen.MostStretch();
  if (theHalf > kMaxHalfPen) {
    theWidth *= kMaxHalfPen / theHalf;
    theHalf = kMaxHalfPen;
  }
  const BrushObject theInk(false, inColor);
  return ForEachTile(inPath.Bounds().Grown(theHalf + 1), [&](CoverageMask& ioMask) {
    const std::vector<Polyline> theFigures = PathClipper::ForStroke(inPath, Region(ioMask, theHalf + 2));
    if (theFigures.empty())
      return true;
    if (!Rasterizer::Stroke(theFigures, theWidth, thePen, ioMask))
      return false;
    Put(ioMask, theInk);
    return true;
  });
}

bool Painter::FillSmooth(const Path& inPath, COLORREF inColor)
{
  return ForEachTile(inPath.Bounds(), [&](CoverageMask& ioMask) {
    const std::vector<Polyline> theFigures = PathClipper::ForFill(inPath, Region(ioMask, 1));
    if (theFigures.empty())
      return true;
    if (!Rasterizer::FillSmooth(theFigures, ioMask))
      return false;
    Blend(ioMask, 0, 0, inColor);
    return true;
  });
}

void Painter::Put(const CoverageMask& inMask, const BrushObject& inSource)
{
  mPixels.resize(inMask.mWidth);
  for (std::int32_t y = 0; y < inMask.mHeight; ++y) {
    const std::uint8_t* theCoverage = inMask.Row(y);
    const std::int32_t theY = inMask.mTop + y;
    std::uint8_t* theRow = mView.Row(theY);
    for (std::int32_t x = 0; x < inMask.mWidth;) {
      if (theCoverage[x] < 128 || !Inside(inMask.mLeft + x, theY)) {
        ++x;
        continue;
      }
      std::int32_t theEnd = x + 1;
      while (theEnd < inMask.mWidth && theCoverage[theEnd] >= 128 && Inside(inMask.mLeft + theEnd, theY))
        ++theEnd;
      inSource.Span(inMask.mLeft + x, theY, theEnd - x, mPixels.data());
      mView.mFormat->Write(theRow, inMask.mLeft + x, theEnd - x, mPixels.data(), mLookup ? &*mLookup : nullptr);
      x = theEnd;
    }
  }
}

void Painter::Blend(const CoverageMask& inMask, std::int32_t inDX, std::int32_t inDY, COLORREF inColor)
{
  // The part of the moved mask inside the bitmap.
  const std::int64_t theLeft = std::max<std::int64_t>(0, std::int64_t(inMask.mLeft) + inDX);
  const std::int64_t theTop = std::max<std::int64_t>(0, std::int64_t(inMask.mTop) + inDY);
  const std::int64_t theRight = std::min<std::int64_t>(mView.mWidth, std::int64_t(inMask.mLeft) + inDX + inMask.mWidth);
  const std::int64_t theBottom = std::min<std::int64_t>(mView.mHeight, std::int64_t(inMask.mTop) + inDY + inMask.mHeight);
  if (theLeft >= theRight || theTop >= theBottom)
    return;
  const std::uint32_t theInk = PixelFromColorRef(inColor);
  const int theWidth = static_cast<int>(theRight - theLeft);
  mPixels.resize(theWidth);
  mColumns.resize(theWidth);
  mRows.resize(theWidth);
  for (auto y = static_cast<std::int32_t>(theTop); y < theBottom; ++y) {
    const std::uint8_t* theCoverage = inMask.Row(static_cast<std::int32_t>(y - inDY - inMask.mTop)) +
                                      (theLeft - inDX - inMask.mLeft);
    std::uint8_t* theRow = mView.Row(y);
    for (int x = 0; x < theWidth;) {
      const auto theX = static_cast<std::int32_t>(theLeft + x);
      if (theCoverage[x] == 0 || !Inside(theX, y)) {
        ++x;
        continue;
      }
      int theEnd = x + 1;
      while (theEnd < theWidth && theCoverage[theEnd] != 0 && Inside(theX + (theEnd - x), y))
        ++theEnd;
      const int theCount = theEnd - x;
      for (int i = 0; i < theCount; ++i) {
        mColumns[i] = theX + i;
        mRows[i] = theRow;
      }
      mView.mFormat->Read(mRows.data(), mColumns.data(), theCount, mColors.data(), mPixels.data());
      for (int i = 0; i < theCount; ++i) {
        const std::uint32_t a = theCoverage[x + i];
        const std::uint32_t theOld = mPixels[i];
        std::uint32_t theNew = 0;
        for (int theShift = 0; theShift <= 16; theShift += 8) {
          const std::uint32_t theBack = (theOld >> theShift) & 0xFF, theFront = (theInk >> theShift) & 0xFF;
          theNew |= ((theBack * (255 - a) + theFront * a + 127) / 255) << theShift;
        }
        mPixels[i] = theNew;
      }
      mView.mFormat->Write(theRow, theX, theCount, mPixels.data(), mLookup ? &*mLookup : nullptr);
      x = theEnd;
    }
  }
}

}  // namespace tlgdi
