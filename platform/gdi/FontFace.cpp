#include "platform/gdi/FontFace.h"

#include "platform/gdi/FreeTypeThread.h"

#include FT_ADVANCES_H
#include FT_OUTLINE_H

#include <cmath>
#include <vector>

namespace tlgdi {

namespace {

// Device coordinates beyond this are never rendered whole.
constexpr double kMaxRendered = 1 << 24;

// Glyph outlines as path figures, through FT_Outline_Decompose.
struct OutlineSink {
  const Affine& mMap;
  Path& mPath;
  bool mOpen = false;
  Point mLast;  // font units

  static OutlineSink& Of(void* inUser) { return *static_cast<OutlineSink*>(inUser); }
  static Point Units(const FT_Vector* inPoint) { return Point{double(inPoint->x), double(inPoint->y)}; }

  static int MoveTo(const FT_Vector* inTo, void* inUser)
  {
    OutlineSink& s = Of(inUser);
    if (s.mOpen)
      s.mPath.Close();
    s.mOpen = true;
    s.mLast = Units(inTo);
    s.mPath.MoveTo(s.mMap.Apply(s.mLast));
    return 0;
  }
  static int LineTo(const FT_Vector* inTo, void* inUser)
  {
    OutlineSink& s = Of(inUser);
    s.mLast = Units(inTo);
    s.mPath.LineTo(s.mMap.Apply(s.mLast));
    return 0;
  }
  static int ConicTo(const FT_Vector* inControl, const FT_Vector* inTo, void* inUser)
  {
    OutlineSink& s = Of(inUser);
    const Point c = Units(inControl), p = Units(inTo);
    const Point c1{s.mLast.mX + 2.0 / 3.0 * (c.mX - s.mLast.mX), s.mLast.mY + 2.0 / 3.0 * (c.mY - s.mLast.mY)};
    const Point c2{p.mX + 2.0 / 3.0 * (c.mX - p.mX), p.mY + 2.0 / 3.0 * (c.mY - p.mY)};
    s.mLast = p;
    s.mPath.CubicTo(s.mMap.Apply(c1), s.mMap.Apply(c2), s.mMap.Apply(p));
    return 0;
  }
  static int CubicTo(const FT_Vector* inControl1, const FT_Vector* inControl2, const FT_Vector* inTo, void* inUser)
  {
    OutlineSink& s = Of(inUser);
    s.mLast = Units(inTo);
    s.mPath.CubicTo(s.mMap.Apply(Units(inControl1)), s.mMap.Apply(Units(inControl2)), s.mMap.Apply(s.mLast));
    return 0;
  }
};

}  // namespace

FontFace::FontFace(const FontMatch& inMatch)
  : mMatch(inMatch), mFace(FreeTypeThread::Get().Face(inMatch.mFile, inMatch.mIndex))
{
}

FT_UInt FontFace::Glyph(char32_t inCharacter) const
{
  return FT_Get_Char_Index(mFace, inCharacter);
}

std::int64_t FontFace::Advance(FT_UInt inGlyph) const
{
  FT_Fixed theAdvance = 0;
  if (FT_Get_Advance(mFace, inGlyph, FT_LOAD_NO_SCALE, &theAdvance) != 0)
    return 0;
  return theAdvance + (mMatch.mEmbolden ? mMatch.mUnitsPerEm / 24 : 0);
}

bool FontFace::Load(FT_UInt inGlyph) const
{
  if (FT_Load_Glyph(mFace, inGlyph, FT_LOAD_NO_SCALE) != 0 || mFace->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return false;
  if (mMatch.mEmbolden)
    FT_Outline_Embolden(&mFace->glyph->outline, mMatch.mUnitsPerEm / 24);
  return true;
}

void FontFace::AddOutline(FT_UInt inGlyph, const Affine& inMap, Path& ioPath) const
{
  if (!Load(inGlyph))
    return;
  static const FT_Outline_Funcs kFuncs = {&OutlineSink::MoveTo, &OutlineSink::LineTo, &OutlineSink::ConicTo,
                                          &OutlineSink::CubicTo, 0, 0};
  OutlineSink theSink{inMap, ioPath, false, {}};
  FT_Outline_Decompose(&mFace->glyph->outline, &kFuncs, &theSink);
  if (theSink.mOpen)
    ioPath.Close();
}

bool FontFace::Render(FT_UInt inGlyph, const Affine& inLinear, std::int32_t inMaxSide, CoverageMask& outMask) const
{
  outMask.Reset(0, 0, 0, 0);
  if (!Load(inGlyph))
    return true;
  const FT_Outline& theSource = mFace->glyph->outline;
  if (theSource.n_points <= 0)
    return true;

  // Points in FreeType's raster space: pixel (i, j) covers x from i to i + 1
  // and y from -(j + 1) to -j, y pointing up.
  std::vector<Point> thePoints(theSource.n_points);
  for (int i = 0; i < theSource.n_points; ++i) {
    const Point p = inLinear.Apply({double(theSource.points[i].x), double(theSource.points[i].y)});
    thePoints[i] = Point{p.mX + 0.5, -(p.mY + 0.5)};
  }
  const Box theBox = Box::Around(thePoints.data(), thePoints.size());  // y up: mTop is the lowest
  if (!Box{-kMaxRendered, -kMaxRendered, kMaxRendered, kMaxRendered}.Contains(theBox))
    return false;
  const double theLeft = std::floor(theBox.mLeft), theRight = std::ceil(theBox.mRight);
  const double theBottom = std::floor(theBox.mTop), theTop = std::ceil(theBox.mBottom);
  if (theRight - theLeft > inMaxSide || theTop - theBottom > inMaxSide)
    return false;
  const auto theWidth = static_cast<std::int32_t>(theRight - theLeft);
  const auto theHeight = static_cast<std::int32_t>(theTop - theBottom);
  if (theWidth == 0 || theHeight == 0)
    return true;
  outMask.Reset(static_cast<std::int32_t>(theLeft), static_cast<std::int32_t>(-theTop), theWidth, theHeight);

  std::vector<FT_Vector> theRaster(thePoints.size());
  for (std::size_t i = 0; i < thePoints.size(); ++i)
    theRaster[i] = FT_Vector{std::lround((thePoints[i].mX - theLeft) * 64), std::lround((thePoints[i].mY - theBottom) * 64)};
  FT_Outline theOutline = theSource;
  theOutline.points = theRaster.data();
  theOutline.flags &= ~FT_OUTLINE_OWNER;
  FT_Bitmap theBitmap{};
  theBitmap.rows = static_cast<unsigned>(theHeight);
  theBitmap.width = static_cast<unsigned>(theWidth);
  theBitmap.pitch = outMask.mStride;
  theBitmap.buffer = outMask.mCoverage.data();
  theBitmap.num_grays = 256;
  theBitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  FT_Outline_Get_Bitmap(FreeTypeThread::Get().Library(), &theOutline, &theBitmap);
  return true;
}

}  // namespace tlgdi
