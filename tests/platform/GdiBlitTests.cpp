#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Blitter.h"
#include "platform/gdi/Gdi.h"
#include "tests/platform/GdiTestDibs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>

using namespace gditest;

namespace {

constexpr LONG kWidth = 7;
constexpr LONG kHeight = 5;

// An asymmetric picture: no two neighbours share a colour, and neither a
// mirror nor a flip of it is the same. Colours come from the 16-colour table.
std::uint32_t PictureColor(LONG inX, LONG inY)
{
  const std::vector<RGBQUAD>& theTable = LayoutNamed("4").mTable;
  const RGBQUAD& q = theTable[(inX + 3 * inY + (inX * inY) % 4) % 16];
  const std::uint32_t theAlpha = static_cast<std::uint32_t>(0x11 * ((inX + inY) % 16)) << 24;
  return theAlpha | (static_cast<std::uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
}

void PaintPicture(Dib& ioDib)
{
  for (LONG y = 0; y < kHeight; ++y)
    for (LONG x = 0; x < kWidth; ++x)
      ioDib.Put(x, y, PictureColor(x, y));
}

struct Oriented {
  const Layout* mLayout;
  bool mTopDown;
  std::string Name() const { return mLayout->mName + (mTopDown ? " top-down" : " bottom-up"); }
};

std::vector<Oriented> AllOriented()
{
  std::vector<Oriented> theCases;
  for (const Layout& theLayout : AllLayouts())
    for (bool theTopDown : {true, false})
      theCases.push_back(Oriented{&theLayout, theTopDown});
  return theCases;
}

}  // namespace

TEST(GdiBlit, EveryLayoutPairKeepsColoursAndOrientation)
{
  for (const Oriented& theFrom : AllOriented()) {
    Dib theSource(*theFrom.mLayout, kWidth, theFrom.mTopDown ? -kHeight : kHeight);
    ASSERT_TRUE(theSource.IsValid()) << theFrom.Name();
    PaintPicture(theSource);
    for (LONG y = 0; y < kHeight; ++y)
      for (LONG x = 0; x < kWidth; ++x) {
        const std::uint32_t theColor = theSource.Get(x, y);
        ASSERT_EQ(GetPixel(theSource.DC(), x, y), RGB(theColor >> 16, (theColor >> 8) & 0xFF, theColor & 0xFF))
          << theFrom.Name() << " read at " << x << "," << y;
      }
    for (const Oriented& theTo : AllOriented()) {
      SCOPED_TRACE(theFrom.Name() + " -> " + theTo.Name());
      Dib theTarget(*theTo.mLayout, kWidth, theTo.mTopDown ? -kHeight : kHeight);
      ASSERT_TRUE(theTarget.IsValid());
      ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, kWidth, kHeight, theSource.DC(), 0, 0, SRCCOPY));
      const bool theKeepsAlpha = theFrom.mLayout->mBits == 32;
      for (LONG y = 0; y < kHeight; ++y)
        for (LONG x = 0; x < kWidth; ++x)
          ASSERT_TRUE(Holds(theTarget, x, y, theSource.Get(x, y), theKeepsAlpha));
    }
  }
}

TEST(GdiBlit, ThirtyTwoBitCopiesAndInvertsAllFourBytes)
{
  Dib theSource(LayoutNamed("32"), 3, -2);
  Dib theTarget(LayoutNamed("32"), 3, 2);
  const std::uint32_t theWords[6] = {0x80102030, 0x00FFFFFF, 0xFF000000, 0x12345678, 0xDEADBEEF, 0x01020304};
  for (int i = 0; i < 6; ++i)
    std::memcpy(theSource.Row(i / 3) + 4 * (i % 3), &theWords[i], 4);

  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, 3, 2, theSource.DC(), 0, 0, SRCCOPY));
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(theTarget.Word(i % 3, i / 3), theWords[i]) << i;

  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, 3, 2, theSource.DC(), 0, 0, NOTSRCCOPY));
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(theTarget.Word(i % 3, i / 3), ~theWords[i]) << i;

  // From 24 bits GDI writes alpha 0; inverted, that becomes 0xFF.
  Dib theRgb(LayoutNamed("24"), 1, 1);
  theRgb.Put(0, 0, 0x00102030);
  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, 1, 1, theRgb.DC(), 0, 0, SRCCOPY));
  EXPECT_EQ(theTarget.Word(0, 0), 0x00102030u);
  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, 1, 1, theRgb.DC(), 0, 0, NOTSRCCOPY));
  EXPECT_EQ(theTarget.Word(0, 0), 0xFFEFDFCFu);
}

// Inverting in place gives what inverting into another bitmap gives; an
// indexed target takes the entry nearest the inverted colour.
TEST(GdiBlit, InvertingInPlaceEqualsInvertingIntoAnotherBitmap)
{
  for (const Oriented& theCase : AllOriented()) {
    SCOPED_TRACE(theCase.Name());
    Dib theDib(*theCase.mLayout, kWidth, theCase.mTopDown ? -kHeight : kHeight);
    Dib theOther(*theCase.mLayout, kWidth, theCase.mTopDown ? -kHeight : kHeight);
    PaintPicture(theDib);
    ASSERT_TRUE(BitBlt(theOther.DC(), 0, 0, kWidth, kHeight, theDib.DC(), 0, 0, NOTSRCCOPY));
    for (LONG y = 0; theCase.mLayout->mBits == 8 && y < kHeight; ++y)
      for (LONG x = 0; x < kWidth; ++x)
        ASSERT_TRUE(Holds(theOther, x, y, ~theDib.Get(x, y) & 0x00FFFFFF, false));
    ASSERT_TRUE(BitBlt(theDib.DC(), 0, 0, kWidth, kHeight, theDib.DC(), 0, 0, NOTSRCCOPY));
    for (LONG y = 0; y < kHeight; ++y)
      for (LONG x = 0; x < kWidth; ++x)
        ASSERT_EQ(theDib.Word(x, y), theOther.Word(x, y)) << "at " << x << "," << y;
  }
}

TEST(GdiBlit, StretchesMirrorsAndClips)
{
  Dib theSource(LayoutNamed("24"), 4, -2);
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 4; ++x)
      theSource.Put(x, y, 0x010000u * (10 * x + 1) + 0x0100u * (10 * y + 1));

  struct Case {
    const char* mName;
    int mX, mY, mW, mH, mSX, mSY, mSW, mSH;
    // source pixel expected at destination (dx, dy), -1 for untouched
    std::function<std::pair<int, int>(int, int)> mExpected;
  };
  const Case theCases[] = {
    {"double", 0, 0, 8, 4, 0, 0, 4, 2, [](int x, int y) { return y < 4 ? std::pair{x / 2, y / 2} : std::pair{-1, -1}; }},
    {"half", 0, 0, 2, 1, 0, 0, 4, 2, [](int x, int y) { return x < 2 && y < 1 ? std::pair{2 * x + 1, 1} : std::pair{-1, -1}; }},
    {"mirror", 4, 0, -4, 2, 0, 0, 4, 2, [](int x, int y) { return x < 4 && y < 2 ? std::pair{3 - x, y} : std::pair{-1, -1}; }},
    {"flip", 0, 2, 4, -2, 0, 0, 4, 2, [](int x, int y) { return x < 4 && y < 2 ? std::pair{x, 1 - y} : std::pair{-1, -1}; }},
    {"clipped", -2, 5, 4, 2, 0, 0, 4, 2, [](int x, int y) { return x < 2 && y >= 5 ? std::pair{x + 2, y - 5} : std::pair{-1, -1}; }},
    {"source outside", 0, 0, 4, 2, 2, 1, 4, 2, [](int x, int y) { return x < 2 && y < 1 ? std::pair{x + 2, 1} : std::pair{-1, -1}; }},
  };
  for (const Case& theCase : theCases) {
    SCOPED_TRACE(theCase.mName);
    Dib theTarget(LayoutNamed("32"), 8, 6);
    for (LONG y = 0; y < 6; ++y)
      for (LONG x = 0; x < 8; ++x)
        theTarget.Put(x, y, 0xFFABCDEF);
    ASSERT_TRUE(StretchBlt(theTarget.DC(), theCase.mX, theCase.mY, theCase.mW, theCase.mH, theSource.DC(), theCase.mSX,
                           theCase.mSY, theCase.mSW, theCase.mSH, SRCCOPY));
    for (LONG y = 0; y < 6; ++y)
      for (LONG x = 0; x < 8; ++x) {
        const auto [sx, sy] = theCase.mExpected(x, y);
        const std::uint32_t theWanted = sx < 0 ? 0xFFABCDEF : theSource.Get(sx, sy);
        ASSERT_EQ(Hex(theTarget.Get(x, y)), Hex(theWanted)) << "at " << x << "," << y;
      }
  }
}

TEST(GdiBlit, OverlappingCopyOntoItselfReadsTheSourceFirst)
{
  for (bool theTopDown : {true, false}) {
    SCOPED_TRACE(theTopDown ? "top-down" : "bottom-up");
    Dib theDib(LayoutNamed("24"), kWidth, theTopDown ? -kHeight : kHeight);
    PaintPicture(theDib);
    ASSERT_TRUE(BitBlt(theDib.DC(), 1, 1, kWidth, kHeight, theDib.DC(), 0, 0, SRCCOPY));
    for (LONG y = 1; y < kHeight; ++y)
      for (LONG x = 1; x < kWidth; ++x)
        ASSERT_EQ(theDib.Get(x, y), PictureColor(x - 1, y - 1) & 0x00FFFFFF) << x << "," << y;
  }
}

TEST(GdiBlit, WorldTransformSendsPixelsWhereTheMatrixSays)
{
  // Scale 2, a skew of 0.25, then a rotation by 30 degrees, moved into view.
  const double theAngle = 30.0 * 3.14159265358979323846 / 180.0;
  const double c = std::cos(theAngle), s = std::sin(theAngle);
  const double a11 = 2 * c, a12 = 2 * s;                 // image of (1, 0)
  const double a21 = 2 * (0.25 * c - s), a22 = 2 * (0.25 * s + c);  // image of (0, 1)
  const XFORM theXform = {float(a11), float(a12), float(a21), float(a22), 30.0f, 4.0f};

  constexpr LONG kSide = 8;
  Dib theSource(LayoutNamed("32"), kSide, -kSide);
  for (LONG y = 0; y < kSide; ++y)
    for (LONG x = 0; x < kSide; ++x)
      theSource.Put(x, y, (static_cast<std::uint32_t>(x * 30 + 5) << 16) | ((y * 30 + 5) << 8) | 77);
  Dib theTarget(LayoutNamed("32"), 64, 48);

  ASSERT_EQ(SetGraphicsMode(theTarget.DC(), GM_ADVANCED), GM_COMPATIBLE);
  ASSERT_TRUE(SetWorldTransform(theTarget.DC(), &theXform));
  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, kSide, kSide, theSource.DC(), 0, 0, SRCCOPY));

  for (LONG y = 0; y < kSide; ++y)
    for (LONG x = 0; x < kSide; ++x) {
      const double px = theXform.eM11 * (x + 0.5) + theXform.eM21 * (y + 0.5) + theXform.eDx;
      const double py = theXform.eM12 * (x + 0.5) + theXform.eM22 * (y + 0.5) + theXform.eDy;
      const LONG dx = LONG(std::floor(px)), dy = LONG(std::floor(py));
      EXPECT_EQ(Hex(theTarget.Get(dx, dy)), Hex(theSource.Get(x, y)))
        << "source " << x << "," << y << " should land at " << dx << "," << dy;
    }

  // Back to the identity, a plain copy lands one to one again.
  ASSERT_TRUE(ModifyWorldTransform(theTarget.DC(), nullptr, MWT_IDENTITY));
  ASSERT_EQ(SetGraphicsMode(theTarget.DC(), GM_COMPATIBLE), GM_ADVANCED);
  ASSERT_TRUE(BitBlt(theTarget.DC(), 0, 0, kSide, kSide, theSource.DC(), 0, 0, SRCCOPY));
  EXPECT_EQ(theTarget.Get(3, 5), theSource.Get(3, 5));
}

TEST(GdiBlit, ShortcutMatchesTheReferencePath)
{
  // Same layouts, whole-pixel moves: the row copy must equal the reference.
  for (const char* theName : {"8", "16-565", "24", "32"}) {
    const Layout& theLayout = LayoutNamed(theName);
    for (unsigned theSeed = 1; theSeed <= 40; ++theSeed) {
      SCOPED_TRACE(std::string(theName) + " seed " + std::to_string(theSeed));
      std::mt19937 theRandom(theSeed);
      auto Pick = [&](int inLow, int inHigh) { return std::uniform_int_distribution<int>(inLow, inHigh)(theRandom); };
      Dib theSource(theLayout, Pick(1, 12), Pick(0, 1) ? -Pick(1, 9) : Pick(1, 9));
      for (LONG y = 0; y < theSource.Height(); ++y)
        for (LONG x = 0; x < theSource.Width(); ++x)
          theSource.Put(x, y, static_cast<std::uint32_t>(theRandom()));
      Dib theFast(theLayout, 10, -8);
      Dib theReference(theLayout, 10, 8);
      const XFORM theMove = {1, 0, 0, 1, float(Pick(-3, 3)), float(Pick(-3, 3))};
      const tlgdi::BlitRect theTo{double(Pick(-4, 8)), double(Pick(-4, 8)), double(Pick(1, 12)), double(Pick(1, 9))};
      const tlgdi::BlitRect theFrom{double(Pick(-4, 8)), double(Pick(-4, 8)), theTo.mWidth, theTo.mHeight};
      std::vector<std::uint32_t> theColors;
      for (const RGBQUAD& q : theFast.GetLayout().mTable)
        theColors.push_back((std::uint32_t(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue);

      auto ViewOf = [](const Dib& inDib, const tlgdi::PixelFormat& inFormat) {
        tlgdi::PixelView theView;
        theView.mTop = inDib.Row(0);
        theView.mStride = inDib.Height() > 1 ? inDib.Row(1) - inDib.Row(0) : inDib.RowBytes();
        theView.mWidth = inDib.Width();
        theView.mHeight = inDib.Height();
        theView.mFormat = &inFormat;
        return theView;
      };
      const DWORD* theMasks = theLayout.mMasks;
      const auto theFormat = tlgdi::PixelFormat::Make(theLayout.mBits, theLayout.mCompression, theMasks);
      ASSERT_TRUE(theFormat);
      tlgdi::Blitter(ViewOf(theFast, *theFormat), theColors, theMove, tlgdi::Blitter::Paths::kFast)
        .Copy(ViewOf(theSource, *theFormat), theColors, theTo, theFrom, tlgdi::RasterOp::kCopy);
      tlgdi::Blitter(ViewOf(theReference, *theFormat), theColors, theMove, tlgdi::Blitter::Paths::kReferenceOnly)
        .Copy(ViewOf(theSource, *theFormat), theColors, theTo, theFrom, tlgdi::RasterOp::kCopy);
      for (LONG y = 0; y < 8; ++y)
        for (LONG x = 0; x < 10; ++x)
          ASSERT_EQ(theFast.Word(x, y), theReference.Word(x, y)) << "at " << x << "," << y;
    }
  }
}

TEST(GdiBlit, WorldTransformRulesOfTheDeviceContext)
{
  Dib theDib(LayoutNamed("32"), 4, 4);
  const XFORM theMove = {1, 0, 0, 1, 2, 0};
  SetLastError(0);
  EXPECT_FALSE(SetWorldTransform(theDib.DC(), &theMove));  // not in GM_ADVANCED
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(SetGraphicsMode(theDib.DC(), GM_ADVANCED));
  for (const XFORM& theBad : {XFORM{1, 2, 2, 4, 0, 0}, XFORM{NAN, 0, 0, 1, 0, 0}})
    EXPECT_FALSE(SetWorldTransform(theDib.DC(), &theBad)) << "singular or not a number";
  ASSERT_TRUE(SetWorldTransform(theDib.DC(), &theMove));
  EXPECT_EQ(SetGraphicsMode(theDib.DC(), GM_COMPATIBLE), 0) << "not while a transform is set";
  EXPECT_FALSE(ModifyWorldTransform(theDib.DC(), nullptr, 2));
  ASSERT_TRUE(ModifyWorldTransform(theDib.DC(), nullptr, MWT_IDENTITY));
  EXPECT_EQ(SetGraphicsMode(theDib.DC(), GM_COMPATIBLE), GM_ADVANCED);
  SetLastError(0);
  EXPECT_EQ(SetMapMode(theDib.DC(), 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetDeviceCaps(theDib.DC(), LOGPIXELSY), 96);
}

TEST(GdiBlit, FillRectWritesColourWithAlphaZero)
{
  Dib theDib(LayoutNamed("32"), 6, -4);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 6; ++x)
      theDib.Put(x, y, 0xFF000000);
  HBRUSH theBrush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
  const RECT theRect = {1, 1, 9, 3};
  ASSERT_TRUE(FillRect(theDib.DC(), &theRect, theBrush));
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 6; ++x) {
      const bool theInside = x >= 1 && y >= 1 && y < 3;
      EXPECT_EQ(theDib.Word(x, y), theInside ? 0x00102030u : 0xFF000000u) << x << "," << y;
    }
  EXPECT_EQ(GetPixel(theDib.DC(), 2, 2), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(GetPixel(theDib.DC(), 6, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(theDib.DC(), -1, 0), CLR_INVALID);

  // A quarter turn: the rectangle 0..2 x 0..1 lands at x -1..0, y 0..2 moved by 4.
  ASSERT_TRUE(SetGraphicsMode(theDib.DC(), GM_ADVANCED));
  const XFORM theTurn = {0, 1, -1, 0, 4, 0};
  ASSERT_TRUE(SetWorldTransform(theDib.DC(), &theTurn));
  HBRUSH theWhite = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  const RECT theBar = {0, 0, 2, 1};
  ASSERT_TRUE(FillRect(theDib.DC(), &theBar, theWhite));
  for (const auto& [x, y, theWord] : {std::tuple{3, 0, 0x00FFFFFFu}, std::tuple{3, 1, 0x00FFFFFFu},
                                      std::tuple{3, 3, 0xFF000000u}, std::tuple{4, 0, 0xFF000000u}})
    EXPECT_EQ(theDib.Word(x, y), theWord) << x << "," << y;
  DeleteObject(theBrush);
}

TEST(GdiBlit, BlitsIntoThePlaceholderOrTheScreenDrawNothing)
{
  Dib theSource(LayoutNamed("32"), 2, 2);
  HDC theMemory = CreateCompatibleDC(nullptr);
  HDC theScreen = GetDC(nullptr);
  EXPECT_TRUE(BitBlt(theMemory, 0, 0, 2, 2, theSource.DC(), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(theScreen, 0, 0, 2, 2, theSource.DC(), 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(theMemory, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(theScreen, 0, 0), CLR_INVALID);
  SetLastError(0);
  EXPECT_FALSE(BitBlt(theSource.DC(), 0, 0, 2, 2, theMemory, 0, 0, 0x00EE0086));  // SRCPAINT
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DeleteDC(theMemory));
  EXPECT_EQ(ReleaseDC(nullptr, theScreen), 1);
}
