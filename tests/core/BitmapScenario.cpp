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
    return {kYellow, kWhite, kWhite, kYellow};
  if (inDepth == 40)
    return {kBlack, Rgb{128, 128, 128}, kWhite, Rgb{64, 64, 64}};
  return {kRed, kBlue, kWhite, kYellow};
}

ColorValue ToColorValue(const Rgb& inColor)
{
  return ColorValue(static_cast<WORD>(inColor.mRed * 257), static_cast<WORD>(inColor.mGreen * 257),
                    static_cast<WORD>(inColor.mBlue * 257), 65535);
}

Snapshot Take(Bitmap& ioBitmap, const std::string& inStep)
{
  Snapshot theShot{inStep, ioBitmap.GetBounds().right, ioBitmap.GetBounds().bottom, {}};
  for (LONG y = 0; y < theShot.mHeight; ++y)
    for (LONG x = 0; x < theShot.mWidth; ++x) {
      ColorValue theColor;
      ioBitmap.GetPixel(x, y, theColor);
      theShot.mPixels.push_back(theColor);
    }
  return theShot;
}

// The colour a pixel shows when inIdeal is drawn or copied into the bitmap.
Rgb Shown(Bitmap& inBitmap, const Rgb& inIdeal)
{
  if (inBitmap.GetDepth() > 8 && inBitmap.GetDepth() != 40)
    return inIdeal;
  RGBQUAD theTable[256];
  const std::vector<RGBQUAD> theEntries(theTable, theTable + inBitmap.GetColorTable(theTable));
  return ToRgb(theEntries[static_cast<std::size_t>(gditest::NearestIndex(
    theEntries, static_cast<std::uint32_t>(inIdeal.mRed << 16 | inIdeal.mGreen << 8 | inIdeal.mBlue)))]);
}

void ExpectPicture(const Snapshot& inShot, LONG inDepth, LONG inWidth, LONG inHeight,
                   const std::function<Rgb(LONG, LONG)>& inExpected)
{
  ASSERT_EQ(inShot.mWidth, inWidth) << inShot.mStep;
  ASSERT_EQ(inShot.mHeight, inHeight) << inShot.mStep;
  int theFailures = 0;
  for (LONG y = 0; y < inHeight; ++y)
    for (LONG x = 0; x < inWidth; ++x) {
      const Rgb theSeen = ToRgb(inShot.mPixels[static_cast<std::size_t>(y * inWidth + x)]);
      const Rgb theWanted = inExpected(x, y);
      if (theSeen != theWanted && ++theFailures <= 5)
        ADD_FAILURE() << "depth " << inDepth << ", step \"" << inShot.mStep << "\", pixel (" << x << ", " << y
                      << "): " << ToString(theSeen) << ", wanted " << ToString(theWanted);
    }
}

}  // namespace

Rgb ToRgb(const ColorValue& inColor)
{
  return Rgb{static_cast<std::uint8_t>(inColor.mRed >> 8), static_cast<std::uint8_t>(inColor.mGreen >> 8),
             static_cast<std::uint8_t>(inColor.mBlue >> 8)};
}

std::vector<Snapshot> RunScenario(Bitmap& ioBitmap, LONG inDepth)
{
  const DepthColors theColors = ColorsForDepth(inDepth);
  std::vector<Snapshot> theShots;
  ioBitmap.SetColor(ToColorValue(theColors.mBackground));
  EXPECT_EQ(ioBitmap.Create(10, 10, inDepth, nullptr), 0) << "create at depth " << inDepth;
  if (!ioBitmap.GetHDC())
    return theShots;
  Fill(ioBitmap.GetHDC(), RECT{0, 0, 5, 5}, theColors.mFirst);
  Fill(ioBitmap.GetHDC(), RECT{5, 5, 10, 10}, theColors.mSecond);
  theShots.push_back(Take(ioBitmap, "fills"));

  ioBitmap.SetWidth(20);
  ioBitmap.SetHeight(15);
  EXPECT_EQ(ioBitmap.Update(), 0);
  theShots.push_back(Take(ioBitmap, "grown"));

  EXPECT_EQ(ioBitmap.Invert(), 0);
  theShots.push_back(Take(ioBitmap, "inverted"));
  EXPECT_EQ(ioBitmap.Invert(), 0);

  ioBitmap.SetColor(ToColorValue(theColors.mErase));
  EXPECT_EQ(ioBitmap.Erase(), 0);
  theShots.push_back(Take(ioBitmap, "erased"));

  TestDib theSource(20, 15);
  PaintQuadrants(theSource);
  EXPECT_EQ(ioBitmap.CopyAllFromDC(theSource.DC()), 0);
  theShots.push_back(Take(ioBitmap, "copied"));

  TestDib theSmall(8, 6);
  PaintQuadrants(theSmall);
  EXPECT_EQ(ioBitmap.CopyFromDC(theSmall.DC(), RECT{0, 0, 8, 6}, RECT{2, 3, 18, 15}), 0);
  theShots.push_back(Take(ioBitmap, "scaled"));

  // A quarter turn: source (x, y) lands on (5 - y, x).
  EXPECT_EQ(ioBitmap.Erase(), 0);
  const XFORM theTurn{0, 1, -1, 0, static_cast<FLOAT>(theSmall.Height()), 0};
  EXPECT_EQ(ioBitmap.CopyFromDCTransformed(theSmall.DC(), RECT{0, 0, 8, 6}, theTurn), 0);
  theShots.push_back(Take(ioBitmap, "turned"));

  TestDib theBottomUp(8, 6, true);
  PaintQuadrants(theBottomUp);
  EXPECT_EQ(ioBitmap.Erase(), 0);
  EXPECT_EQ(ioBitmap.CopyFromDC(theBottomUp.DC(), RECT{0, 0, 8, 6}, RECT{0, 0, 8, 6}), 0);
  theShots.push_back(Take(ioBitmap, "bottom-up source"));
  return theShots;
}

void ExpectScenarioPictures(Bitmap& inBitmap, LONG inDepth, const std::vector<Snapshot>& inShots)
{
  ASSERT_EQ(inShots.size(), 8u) << "depth " << inDepth;
  const DepthColors theColors = ColorsForDepth(inDepth);
  const Rgb theFirst = Shown(inBitmap, theColors.mFirst);
  const Rgb theSecond = Shown(inBitmap, theColors.mSecond);
  const Rgb theBackground = Shown(inBitmap, theColors.mBackground);
  const Rgb theErase = Shown(inBitmap, theColors.mErase);
  auto Filled = [&](LONG x, LONG y) {
    if (x < 5 && y < 5)
      return theFirst;
    return x >= 5 && x < 10 && y >= 5 && y < 10 ? theSecond : theBackground;
  };
  auto Small = [&](LONG x, LONG y) { return Shown(inBitmap, QuadrantColor(x, y, 8, 6)); };
  auto Copied = [&](LONG x, LONG y) { return Shown(inBitmap, QuadrantColor(x, y, 20, 15)); };
  ExpectPicture(inShots[0], inDepth, 10, 10, Filled);
  ExpectPicture(inShots[1], inDepth, 20, 15, Filled);
  ExpectPicture(inShots[2], inDepth, 20, 15, [&](LONG x, LONG y) {
    const Rgb theColor = Filled(x, y);
    return Rgb{static_cast<std::uint8_t>(255 - theColor.mRed), static_cast<std::uint8_t>(255 - theColor.mGreen),
               static_cast<std::uint8_t>(255 - theColor.mBlue)};
  });
  ExpectPicture(inShots[3], inDepth, 20, 15, [&](LONG, LONG) { return theErase; });
  ExpectPicture(inShots[4], inDepth, 20, 15, Copied);
  ExpectPicture(inShots[5], inDepth, 20, 15, [&](LONG x, LONG y) {
    return x >= 2 && x < 18 && y >= 3 && y < 15 ? Small((x - 2) / 2, (y - 3) / 2) : Copied(x, y);
  });
  ExpectPicture(inShots[6], inDepth, 20, 15, [&](LONG x, LONG y) {
    return y < 8 && x <= 5 ? Small(y, 5 - x) : theErase;
  });
  ExpectPicture(inShots[7], inDepth, 20, 15, [&](LONG x, LONG y) { return x < 8 && y < 6 ? Small(x, y) : theErase; });
}

}  // namespace pixeltest
