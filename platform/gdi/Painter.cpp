#include "platform/gdi/Painter.h"

#include "platform/gdi/PathClipper.h"
#include "platform/gdi/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// The first pixel from inX on (before inEnd) that is covered, or (inCovered)
// that is not: covered meaning coverage of at least half. Eight pixels all
// 0 or all 255 are stepped over at once.
std::int32_t RunEnd(const std::uint8_t* inCoverage, std::int32_t inX, std::int32_t inEnd, bool inCovered)
{
  const std::uint64_t theSame = inCovered ? ~std::uint64_t{0} : 0;
  for (std::uint64_t theWord = 0; inX + 8 <= inEnd; inX += 8) {
    std::memcpy(&theWord, inCoverage + inX, 8);
    if (theWord != theSame)
      break;
  }
  while (inX < inEnd && (inCoverage[inX] >= 128) == inCovered)
    ++inX;
  return inX;
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

void Painter::KeepColumns(std::int32_t inLeft, std::int32_t inTop, int inCount)
{
  mKeptLeft = inLeft;
  mKeptColumns.clear();
  if (!mClip || mClip->mInverse.m12 != 0 || mClip->mInverse.m21 != 0)
    return;
  // Without turn or shear a device column maps to one logical x and a row to
  // one logical y (the other coordinate adds a zero), so the clip keeps a
  // pixel when it keeps its column and its row, each tested as Inside does.
  const Box& b = mClip->mLogical;
  mKeptColumns.resize(static_cast<std::size_t>(inCount));
  for (int i = 0; i < inCount; ++i) {
    const double x = mClip->mInverse.Apply({double(inLeft + i), double(inTop)}).mX;
    mKeptColumns[static_cast<std::size_t>(i)] = x >= b.mLeft && x < b.mRight;
  }
}

const std::uint8_t* Painter::KeptRow(std::int32_t inY, std::int32_t inLeft, int inCount)
{
  if (!mClip)
    return nullptr;
  mKept.resize(static_cast<std::size_t>(inCount));
  if (mKeptColumns.empty()) {
    for (int i = 0; i < inCount; ++i)
      mKept[static_cast<std::size_t>(i)] = Inside(inLeft + i, inY);
    return mKept.data();
  }
  const double y = mClip->mInverse.Apply({double(mKeptLeft), double(inY)}).mY;
  const bool theRowKept = y >= mClip->mLogical.mTop && y < mClip->mLogical.mBottom;
  const std::uint8_t* theColumns = mKeptColumns.data() + (inLeft - mKeptLeft);
  for (int i = 0; i < inCount; ++i)
    mKept[static_cast<std::size_t>(i)] = theRowKept && theColumns[i];
  return mKept.data();
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
  NearestColor* theLookup = mLookup ? &*mLookup : nullptr;
  KeepColumns(inMask.mLeft, inMask.mTop, inMask.mWidth);
  for (std::int32_t y = 0; y < inMask.mHeight; ++y) {
    const std::uint8_t* theCoverage = inMask.Row(y);
    const std::int32_t theY = inMask.mTop + y;
    const std::uint8_t* theKept = KeptRow(theY, inMask.mLeft, inMask.mWidth);
    // The end of the run from x on that is (inCovered) or is not drawn.
    auto Skip = [&](std::int32_t x, bool inCovered) {
      if (!theKept)
        return RunEnd(theCoverage, x, inMask.mWidth, inCovered);
      while (x < inMask.mWidth && (theCoverage[x] >= 128 && theKept[x]) == inCovered)
        ++x;
      return x;
    };
    std::uint8_t* theRow = mView.Row(theY);
    for (std::int32_t x = Skip(0, false); x < inMask.mWidth; x = Skip(x, false)) {
      const std::int32_t theEnd = Skip(x, true);
      inSource.Span(inMask.mLeft + x, theY, theEnd - x, mPixels.data());
      mView.mFormat->Write(theRow, inMask.mLeft + x, theEnd - x, mPixels.data(), theLookup);
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
  const auto theX0 = static_cast<std::int32_t>(theLeft);
  const bool theNative = mView.mFormat->IsNativeWord();
  mPixels.resize(theWidth);
  mColumns.resize(theWidth);
  mRows.resize(theWidth);
  KeepColumns(theX0, static_cast<std::int32_t>(theTop), theWidth);
  for (auto y = static_cast<std::int32_t>(theTop); y < theBottom; ++y) {
    const std::uint8_t* theCoverage = inMask.Row(static_cast<std::int32_t>(y - inDY - inMask.mTop)) +
                                      (theLeft - inDX - inMask.mLeft);
    const std::uint8_t* theKept = KeptRow(y, theX0, theWidth);
    auto Covered = [&](int x) { return theCoverage[x] != 0 && (!theKept || theKept[x]); };
    std::uint8_t* theRow = mView.Row(y);
    for (int x = 0; x < theWidth;) {
      if (!Covered(x)) {
        ++x;
        continue;
      }
      int theEnd = x + 1;
      while (theEnd < theWidth && Covered(theEnd))
        ++theEnd;
      const int theCount = theEnd - x;
      std::uint32_t* thePixels = mPixels.data();
      std::uint8_t* theNativeRun = theRow + 4 * (theLeft + x);
      if (theNative) {
        std::memcpy(thePixels, theNativeRun, 4 * static_cast<std::size_t>(theCount));
      } else {
        for (int i = 0; i < theCount; ++i) {
          mColumns[i] = theX0 + x + i;
          mRows[i] = theRow;
        }
        mView.mFormat->Read(mRows.data(), mColumns.data(), theCount, mColors.data(), thePixels);
      }
      for (int i = 0; i < theCount; ++i) {
        const std::uint32_t a = theCoverage[x + i];
        const std::uint32_t theOld = thePixels[i];
        std::uint32_t theNew = 0;
        for (int theShift = 0; theShift <= 16; theShift += 8) {
          const std::uint32_t theBack = (theOld >> theShift) & 0xFF, theFront = (theInk >> theShift) & 0xFF;
          theNew |= ((theBack * (255 - a) + theFront * a + 127) / 255) << theShift;
        }
        thePixels[i] = theNew;
      }
      if (theNative)
        std::memcpy(theNativeRun, thePixels, 4 * static_cast<std::size_t>(theCount));
      else
        mView.mFormat->Write(theRow, theX0 + x, theCount, thePixels, mLookup ? &*mLookup : nullptr);
      x = theEnd;
    }
  }
}

}  // namespace tlgdi
