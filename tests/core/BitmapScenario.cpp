#include "tests/core/BitmapScenario.h"

#include <gtest/gtest.h>

#include <functional>

namespace pixeltest {

namespace {

Snapshot Take(Bitmap& ioBitmap, const std::string& inStep)
{
  Snapshot theShot;
  theShot.mStep = inStep;
  const RECT theBounds = ioBitmap.GetBounds();
  theShot.mWidth = theBounds.right;
  theShot.mHeight = theBounds.bottom;
  for (LONG y = 0; y < theShot.mHeight; ++y)
    for (LONG x = 0; x < theShot.mWidth; ++x) {
      ColorValue theColor;
      ioBitmap.GetPixel(x, y, theColor);
      theShot.mPixels.push_back(theColor);
    }
  return theShot;
}

void FillOn(Bitmap& ioBitmap, const RECT& inRect, const Rgb& inColor)
{
  HBRUSH theBrush = CreateSolidBrush(ToColorRef(inColor));
  FillRect(ioBitmap.GetHDC(), &inRect, theBrush);
  DeleteObject(theBrush);
}

bool IsIndexed(LONG inDepth)
{
  return inDepth <= 8 || inDepth == 40;
}

Rgb Inverse(const Rgb& inColor)
{
  return Rgb{static_cast<std::uint8_t>(255 - inColor.mRed), static_cast<std::uint8_t>(255 - inColor.mGreen),
             static_cast<std::uint8_t>(255 - inColor.mBlue)};
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

Rgb Shown(Bitmap& inBitmap, const Rgb& inIdeal)
{
  if (!IsIndexed(inBitmap.GetDepth()))
    return inIdeal;
  RGBQUAD theTable[256];
  const LONG theCount = inBitmap.GetColorTable(theTable);
  const RGBQUAD& theEntry = theTable[NearestEntry(theTable, theCount, inIdeal)];
  return Rgb{theEntry.rgbRed, theEntry.rgbGreen, theEntry.rgbBlue};
}

void ExpectScenarioPictures(Bitmap& inBitmap, LONG inDepth, const std::vector<Snapshot>& inShots)
{
  ASSERT_EQ(inShots.size(), 8u) << "depth " << inDepth;
  Bitmap& theBitmap = inBitmap;
  const LONG theDepth = inDepth;
  const std::vector<Snapshot>& theShots = inShots;
  const DepthColors theColors = ColorsForDepth(theDepth);
  const Rgb theFirst = Shown(theBitmap, theColors.mFirst);
  const Rgb theSecond = Shown(theBitmap, theColors.mSecond);
  const Rgb theBackground = Shown(theBitmap, theColors.mBackground);
  const Rgb theErase = Shown(theBitmap, theColors.mErase);
  auto Filled = [&](LONG x, LONG y) {
    if (x < 5 && y < 5)
      return theFirst;
    if (x >= 5 && x < 10 && y >= 5 && y < 10)
      return theSecond;
    return theBackground;
  };
  auto Copied = [&](LONG x, LONG y) { return Shown(theBitmap, QuadrantColor(x, y, 20, 15)); };
  ExpectPicture(theShots[0], theDepth, 10, 10, Filled);
  ExpectPicture(theShots[1], theDepth, 20, 15, Filled);
  ExpectPicture(theShots[2], theDepth, 20, 15, [&](LONG x, LONG y) { return Inverse(Filled(x, y)); });
  ExpectPicture(theShots[3], theDepth, 20, 15, [&](LONG, LONG) { return theErase; });
  ExpectPicture(theShots[4], theDepth, 20, 15, Copied);
  ExpectPicture(theShots[5], theDepth, 20, 15, [&](LONG x, LONG y) {
    if (x >= 2 && x < 18 && y >= 3 && y < 15)
      return Shown(theBitmap, QuadrantColor((x - 2) / 2, (y - 3) / 2, 8, 6));
    return Copied(x, y);
  });
  ExpectPicture(theShots[6], theDepth, 20, 15, [&](LONG x, LONG y) {
    const LONG theSourceX = y, theSourceY = 5 - x;
    if (theSourceX >= 0 && theSourceX < 8 && theSourceY >= 0 && theSourceY < 6)
      return Shown(theBitmap, QuadrantColor(theSourceX, theSourceY, 8, 6));
    return theErase;
  });
  ExpectPicture(theShots[7], theDepth, 20, 15, [&](LONG x, LONG y) {
    return x < 8 && y < 6 ? Shown(theBitmap, QuadrantColor(x, y, 8, 6)) : theErase;
  });
}

ColorValue ToColorValue(const Rgb& inColor)
{
  return ColorValue(static_cast<WORD>(inColor.mRed * 257), static_cast<WORD>(inColor.mGreen * 257),
                    static_cast<WORD>(inColor.mBlue * 257), 65535);
}

DepthColors ColorsForDepth(LONG inDepth)
{
  if (inDepth == 1)
    return {kYellow, kWhite, kWhite, kYellow};
  if (inDepth == 40)
    return {kBlack, Rgb{128, 128, 128}, kWhite, Rgb{64, 64, 64}};
  return {kRed, kBlue, kWhite, kYellow};
}

XFORM QuarterTurn(LONG inSourceHeight)
{
  return XFORM{0, 1, -1, 0, static_cast<FLOAT>(inSourceHeight), 0};
}

std::vector<Snapshot> RunScenario(Bitmap& ioBitmap, LONG inDepth)
{
  const DepthColors theColors = ColorsForDepth(inDepth);
  std::vector<Snapshot> theShots;
  ioBitmap.SetColor(ToColorValue(theColors.mBackground));
  EXPECT_EQ(ioBitmap.Create(10, 10, inDepth, nullptr), 0) << "create at depth " << inDepth;
  if (!ioBitmap.GetHDC())
    return theShots;
  FillOn(ioBitmap, RECT{0, 0, 5, 5}, theColors.mFirst);
  FillOn(ioBitmap, RECT{5, 5, 10, 10}, theColors.mSecond);
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

  EXPECT_EQ(ioBitmap.Erase(), 0);
  const XFORM theTurn = QuarterTurn(theSmall.Height());
  EXPECT_EQ(ioBitmap.CopyFromDCTransformed(theSmall.DC(), RECT{0, 0, 8, 6}, theTurn), 0);
  theShots.push_back(Take(ioBitmap, "turned"));

  TestDib theBottomUp(8, 6, true);
  PaintQuadrants(theBottomUp);
  EXPECT_EQ(ioBitmap.Erase(), 0);
  EXPECT_EQ(ioBitmap.CopyFromDC(theBottomUp.DC(), RECT{0, 0, 8, 6}, RECT{0, 0, 8, 6}), 0);
  theShots.push_back(Take(ioBitmap, "bottom-up source"));
  return theShots;
}

}  // namespace pixeltest
