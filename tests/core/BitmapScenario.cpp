#include "tests/core/BitmapScenario.h"

#include <gtest/gtest.h>

#include <functional>

namespace pixeltest {

namespace {

// The colours the fills use, the background and the erase colour at a depth,
// all exact in that depth's default colour table.
struct DepthColors {
  Rgb mFirst, mSecond, mBackground, mErase;
};

DepthColors ColorsForDepth(LONG inDepth)
{
  if (inDepth == 1)
    return {kBlack, kWhite, kWhite, kBlack};
  if (inDepth == 40)
    return {kBlack, Rgb{128, 128, 128}, kWhite, Rgb{64, 64, 64}};
  return {kRed, kBlue, kWhite, kYellow};
}

ColorValue ToColorValue(const Rgb& inColor)
{
  return ColorValue(static_cast<WORD>(inColor.mRed * 257), static_cast<WORD>(inColor.mGreen * 257),
                    static_cast<WORD>(inColor.mBlue * 257), 65535);
}

class Run {
public:
  Run(Bitmap& ioBitmap, LONG inDepth) : mBitmap(ioBitmap), mDepth(inDepth) {}

  // The colour a pixel shows when inIdeal is drawn or copied into the bitmap.
  Rgb Shown(const Rgb& inIdeal) const
  {
    if (mBitmap.GetDepth() > 8 && mBitmap.GetDepth() != 40)
      return inIdeal;
    RGBQUAD theTable[256];
    const std::vector<RGBQUAD> theEntries(theTable, theTable + mBitmap.GetColorTable(theTable));
    return ToRgb(theEntries[static_cast<std::size_t>(gditest::NearestIndex(
      theEntries, static_cast<std::uint32_t>(inIdeal.mRed << 16 | inIdeal.mGreen << 8 | inIdeal.mBlue)))]);
  }

  // Holds every pixel to inExpected and records it.
  void Check(const char* inStep, LONG inWidth, LONG inHeight, const std::function<Rgb(LONG, LONG)>& inExpected)
  {
    ASSERT_EQ(mBitmap.GetBounds().right, inWidth) << inStep;
    ASSERT_EQ(mBitmap.GetBounds().bottom, inHeight) << inStep;
    int theFailures = 0;
    for (LONG y = 0; y < inHeight; ++y)
      for (LONG x = 0; x < inWidth; ++x) {
        ColorValue theColor;
        mBitmap.GetPixel(x, y, theColor);
        mPixels.push_back(theColor);
        const Rgb theWanted = inExpected(x, y);
        if (ToRgb(theColor) != theWanted && ++theFailures <= 5)
          ADD_FAILURE() << "depth " << mDepth << ", step \"" << inStep << "\", pixel (" << x << ", " << y
                        << "): " << ToString(ToRgb(theColor)) << ", wanted " << ToString(theWanted);
      }
  }

  Bitmap& mBitmap;
  const LONG mDepth;
  std::vector<ColorValue> mPixels;
};

}  // namespace

Rgb ToRgb(const ColorValue& inColor)
{
  return Rgb{static_cast<std::uint8_t>(inColor.mRed >> 8), static_cast<std::uint8_t>(inColor.mGreen >> 8),
             static_cast<std::uint8_t>(inColor.mBlue >> 8)};
}

std::vector<ColorValue> RunScenario(Bitmap& ioBitmap, LONG inDepth)
{
  const DepthColors theColors = ColorsForDepth(inDepth);
  Run theRun(ioBitmap, inDepth);
  ioBitmap.SetColor(ToColorValue(theColors.mBackground));
  EXPECT_EQ(ioBitmap.Create(10, 10, inDepth, nullptr), 0) << "create at depth " << inDepth;
  if (!ioBitmap.GetHDC())
    return {};
  Fill(ioBitmap.GetHDC(), RECT{0, 0, 5, 5}, theColors.mFirst);
  Fill(ioBitmap.GetHDC(), RECT{5, 5, 10, 10}, theColors.mSecond);
  // Shown before the inversion, which at indexed depths inverts the table.
  const Rgb theFirst = theRun.Shown(theColors.mFirst), theSecond = theRun.Shown(theColors.mSecond);
  const Rgb theBackground = theRun.Shown(theColors.mBackground), theErase = theRun.Shown(theColors.mErase);
  auto Filled = [&](LONG x, LONG y) {
    if (x < 5 && y < 5)
      return theFirst;
    return x >= 5 && x < 10 && y >= 5 && y < 10 ? theSecond : theBackground;
  };
  theRun.Check("fills", 10, 10, Filled);

  ioBitmap.SetWidth(20);
  ioBitmap.SetHeight(15);
  EXPECT_EQ(ioBitmap.Update(), 0);
  theRun.Check("grown", 20, 15, Filled);

  EXPECT_EQ(ioBitmap.Invert(), 0);
  theRun.Check("inverted", 20, 15, [&](LONG x, LONG y) {
    const Rgb theColor = Filled(x, y);
    return Rgb{static_cast<std::uint8_t>(255 - theColor.mRed), static_cast<std::uint8_t>(255 - theColor.mGreen),
               static_cast<std::uint8_t>(255 - theColor.mBlue)};
  });
  EXPECT_EQ(ioBitmap.Invert(), 0);

  ioBitmap.SetColor(ToColorValue(theColors.mErase));
  EXPECT_EQ(ioBitmap.Erase(), 0);
  theRun.Check("erased", 20, 15, [&](LONG, LONG) { return theErase; });

  TestDib theSource(20, 15);
  PaintQuadrants(theSource);
  EXPECT_EQ(ioBitmap.CopyAllFromDC(theSource.DC()), 0);
  auto Copied = [&](LONG x, LONG y) { return theRun.Shown(QuadrantColor(x, y, 20, 15)); };
  theRun.Check("copied", 20, 15, Copied);

  TestDib theSmall(8, 6);
  PaintQuadrants(theSmall);
  auto Small = [&](LONG x, LONG y) { return theRun.Shown(QuadrantColor(x, y, 8, 6)); };
  EXPECT_EQ(ioBitmap.CopyFromDC(theSmall.DC(), RECT{0, 0, 8, 6}, RECT{2, 3, 18, 15}), 0);
  theRun.Check("scaled", 20, 15, [&](LONG x, LONG y) {
    return x >= 2 && x < 18 && y >= 3 && y < 15 ? Small((x - 2) / 2, (y - 3) / 2) : Copied(x, y);
  });

  // A quarter turn: source (x, y) lands on (5 - y, x).
  EXPECT_EQ(ioBitmap.Erase(), 0);
  const XFORM theTurn{0, 1, -1, 0, static_cast<FLOAT>(theSmall.Height()), 0};
  EXPECT_EQ(ioBitmap.CopyFromDCTransformed(theSmall.DC(), RECT{0, 0, 8, 6}, theTurn), 0);
  theRun.Check("turned", 20, 15, [&](LONG x, LONG y) { return y < 8 && x <= 5 ? Small(y, 5 - x) : theErase; });

  TestDib theBottomUp(8, 6, true);
  PaintQuadrants(theBottomUp);
  EXPECT_EQ(ioBitmap.Erase(), 0);
  EXPECT_EQ(ioBitmap.CopyFromDC(theBottomUp.DC(), RECT{0, 0, 8, 6}, RECT{0, 0, 8, 6}), 0);
  theRun.Check("bottom-up source", 20, 15, [&](LONG x, LONG y) { return x < 8 && y < 6 ? Small(x, y) : theErase; });
  return theRun.mPixels;
}

}  // namespace pixeltest
