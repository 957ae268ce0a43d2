#include "platform/gdi/TextDrawer.h"

#include "platform/base/WinError.h"
#include "platform/gdi/BrushObject.h"
#include "platform/gdi/DrawingLibraries.h"
#include "platform/gdi/FontObject.h"
#include "platform/gdi/FreeTypeThread.h"

#include <cmath>
#include <numbers>

namespace tlgdi {

namespace {

// Device origins farther out than this are never drawn from a cached mask.
constexpr double kMaxCachedOrigin = 1 << 30;

Point Plus(Point a, Point b, double inTimes)
{
  return Point{a.mX + b.mX * inTimes, a.mY + b.mY * inTimes};
}

}  // namespace

bool TextDrawer::Open(const DeviceContext::DrawState& inState, DWORD& outError)
{
  if (!LoadFontconfig() || !LoadFreeType()) {
    outError = ERROR_MOD_NOT_FOUND;
    return false;
  }
  mState = inState;
  const auto& theFont = static_cast<const FontObject&>(*inState.mFont);
  mFont = theFont.LogFont();
  mMatch = theFont.Match();
  if (mMatch)
    mFace.emplace(*mMatch);
  if (!mMatch || !mFace->IsOpen()) {
    outError = ERROR_NOT_FOUND;
    return false;
  }
  mPixelsPerEm = mMatch->PixelsPerEm(mFont.lfHeight);
  mMatch->Describe(mFont, mPixelsPerEm, mMetrics);
  mWorld = Affine::From(inState.mTransform);

  const double theAngle = mFont.lfEscapement * std::numbers::pi / 1800;
  mAlong = Point{std::cos(theAngle), -std::sin(theAngle)};
  mBelow = Point{std::sin(theAngle), std::cos(theAngle)};
  const double s = mPixelsPerEm / mMatch->mUnitsPerEm;
  const Affine theSlant{mMatch->mSlant[0], mMatch->mSlant[2], mMatch->mSlant[1], mMatch->mSlant[3], 0, 0};
  const Affine thePlacement{s * mAlong.mX, s * mAlong.mY, -s * mBelow.mX, -s * mBelow.mY, 0, 0};
  mGlyphMap = theSlant.Then(thePlacement).Then(mWorld.Linear());
  return true;
}

std::int64_t TextDrawer::Advance(char32_t inCharacter) const
{
  return mMatch->Scaled(mFace->Advance(mFace->Glyph(inCharacter)), mPixelsPerEm);
}

template <typename F>
std::int64_t TextDrawer::ForEachGlyph(std::u32string_view inText, double inX, double inY, F&& inGlyph) const
{
  const Point theBaseline = Plus({inX, inY}, mBelow, mMetrics.tmAscent);
  std::int64_t thePen = 0;
  for (char32_t theCharacter : inText) {
    const FT_UInt theGlyph = mFace->Glyph(theCharacter);
    inGlyph(theGlyph, mWorld.Apply(Plus(theBaseline, mAlong, double(thePen))));
    thePen += mMatch->Scaled(mFace->Advance(theGlyph), mPixelsPerEm);
  }
  return thePen;
}

bool TextDrawer::MayShow(Point inOrigin, const Box& inArea) const
{
  const double theMargin = mMatch->mUnitsPerEm / 24.0;
  const double* b = mMatch->mBox;
  Affine theMap = mGlyphMap;
  theMap.dx = inOrigin.mX;
  theMap.dy = inOrigin.mY;
  const Point theCorners[4] = {theMap.Apply({b[0] - theMargin, b[1] - theMargin}),
                               theMap.Apply({b[2] + theMargin, b[1] - theMargin}),
                               theMap.Apply({b[0] - theMargin, b[3] + theMargin}),
                               theMap.Apply({b[2] + theMargin, b[3] + theMargin})};
  return Box::Around(theCorners, 4).Meets(inArea.Grown(1));
}

void TextDrawer::AddBand(Path& ioPath, double inX, double inY, std::int64_t inLength, double inFrom, double inTo) const
{
  const Point theBaseline = Plus({inX, inY}, mBelow, mMetrics.tmAscent);
  const Point theEnd = Plus(theBaseline, mAlong, double(inLength));
  ioPath.MoveTo(mWorld.Apply(Plus(theBaseline, mBelow, inFrom)));
  ioPath.LineTo(mWorld.Apply(Plus(theEnd, mBelow, inFrom)));
  ioPath.LineTo(mWorld.Apply(Plus(theEnd, mBelow, inTo)));
  ioPath.LineTo(mWorld.Apply(Plus(theBaseline, mBelow, inTo)));
  ioPath.Close();
}

Path TextDrawer::Bars(double inX, double inY, std::int64_t inLength) const
{
  Path thePath;
  const double s = mPixelsPerEm / mMatch->mUnitsPerEm;
  if (mFont.lfUnderline) {
    const double theThickness = std::fmax(1, double(mMatch->Scaled(mMatch->mUnderlineThickness, mPixelsPerEm)));
    const double theCentre = -mMatch->mUnderlinePosition * s;
    AddBand(thePath, inX, inY, inLength, theCentre - theThickness / 2, theCentre + theThickness / 2);
  }
  if (mFont.lfStrikeOut) {
    const double theThickness = std::fmax(1, double(mMatch->Scaled(mMatch->mStrikeoutSize, mPixelsPerEm)));
    const double theTop = -mMatch->mStrikeoutPosition * s;
    AddBand(thePath, inX, inY, inLength, theTop, theTop + theThickness);
  }
  return thePath;
}

bool TextDrawer::Draw(Painter& ioPainter, std::u32string_view inText, double inX, double inY) const
{
  const Box theArea = ioPainter.Area();
  bool theDrawn = true;
  if (mState.mBkMode == OPAQUE) {
    std::int64_t theLength = 0;
    for (char32_t theCharacter : inText)
      theLength += Advance(theCharacter);
    Path theCells;
    AddBand(theCells, inX, inY, theLength, -mMetrics.tmAscent, mMetrics.tmDescent);
    theDrawn = ioPainter.Fill(theCells, BrushObject(false, RGB(255, 255, 255)));
  }
  FreeTypeThread& theCache = FreeTypeThread::Get();
  FreeTypeThread::GlyphKey theKey{mFace->Face(), 0, mMatch->mEmbolden,
                                  {mGlyphMap.m11, mGlyphMap.m12, mGlyphMap.m21, mGlyphMap.m22}};
  CoverageMask theMask;
  const std::int64_t theLength = ForEachGlyph(inText, inX, inY, [&](FT_UInt inGlyph, Point inOrigin) {
    if (!MayShow(inOrigin, theArea))
      return;
    theKey.mGlyph = inGlyph;
    const CoverageMask* theCached = nullptr;
    if (std::fabs(inOrigin.mX) < kMaxCachedOrigin && std::fabs(inOrigin.mY) < kMaxCachedOrigin) {
      theCached = theCache.FindGlyph(theKey);
      if (!theCached && mFace->Render(inGlyph, mGlyphMap, kMaxCachedSide, theMask))
        theCached = &theCache.StoreGlyph(theKey, std::move(theMask));
    }
    if (theCached) {
      ioPainter.Blend(*theCached, static_cast<std::int32_t>(std::floor(inOrigin.mX + 0.5)),
                      static_cast<std::int32_t>(std::floor(inOrigin.mY + 0.5)), mState.mTextColor);
      return;
    }
    Path theOutline;
    Affine theMap = mGlyphMap;
    theMap.dx = inOrigin.mX;
    theMap.dy = inOrigin.mY;
    mFace->AddOutline(inGlyph, theMap, theOutline);
    theDrawn = ioPainter.FillSmooth(theOutline, mState.mTextColor) && theDrawn;
  });
  const Path theBars = Bars(inX, inY, theLength);
  if (!theBars.IsEmpty())
    theDrawn = ioPainter.Fill(theBars, BrushObject(false, mState.mTextColor)) && theDrawn;
  return theDrawn;
}

void TextDrawer::AddToPath(Path& ioPath, std::u32string_view inText, double inX, double inY) const
{
  const std::int64_t theLength = ForEachGlyph(inText, inX, inY, [&](FT_UInt inGlyph, Point inOrigin) {
    Affine theMap = mGlyphMap;
    theMap.dx = inOrigin.mX;
    theMap.dy = inOrigin.mY;
    mFace->AddOutline(inGlyph, theMap, ioPath);
  });
  ioPath.Append(Bars(inX, inY, theLength));
}

}  // namespace tlgdi
