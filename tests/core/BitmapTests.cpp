// The pixel buffer on its DIB-section backing (QuickTime is not installed
// in this suite): sizes, depths, the operations step by step, locking,
// pixel words, channel masks, RGBA conversion, limits and OpenGL.

#include "core/Bitmap.h"
#include "core/BitmapWN.h"
#include "tests/core/BitmapScenario.h"
#include "tests/core/PixelTestSupport.h"

#include "platform/base/WinError.h"
#include "platform/wgl/Wgl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace pixeltest;

namespace {

constexpr LONG kDepths[] = {1, 4, 8, 16, 32, 40};

TEST(BitmapDIB, ANewBitmapIsEmpty)
{
  Bitmap theBitmap;
  ASSERT_NE(dynamic_cast<BitmapWN*>(theBitmap.GetNativeBitmap()), nullptr);
  EXPECT_EQ(theBitmap.GetWidth(), 0);
  EXPECT_EQ(theBitmap.GetHeight(), 0);
  EXPECT_EQ(theBitmap.GetDepth(), 32);
  EXPECT_EQ(theBitmap.GetColor(), ColorValue(65535, 65535, 65535, 65535));
  EXPECT_EQ(theBitmap.GetDataSize(), 0);
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDepth(), kTLNoPixelFormat);
  EXPECT_EQ(theBitmap.GetHDC(), nullptr);
  const RECT theBounds = theBitmap.GetBounds();
  EXPECT_EQ(theBounds.right, 0);
  EXPECT_EQ(theBounds.bottom, 0);
  EXPECT_EQ(theBitmap.Update(), 0) << "nothing to make without a size";
  EXPECT_EQ(kTL32RGBAPixelFormat, 0x52474241);
  EXPECT_EQ(kTL32BGRAPixelFormat, 0x42475241);
  EXPECT_EQ(kTL16L555PixelFormat, 0x4C353535);
  EXPECT_EQ(kTLNoPixelFormat, 0x78787878);
}

TEST(BitmapDIB, FitSize)
{
  const Transform kMove(1, 0, 0, 1, 10, 20);
  const Transform kMoveBack(1, 0, 0, 1, -10, -20);
  const Transform kTurn(0, 1, -1, 0, 0, 0);  // (x, y) -> (-y, x)
  const Transform kDouble(2, 0, 0, 2, 0, 0);
  const Transform kMoveDown(1, 0, 0, 1, 0, 7);
  struct Case {
    const char* mName;
    LONG mPresetWidth, mPresetHeight, mWidth, mHeight;
    const Transform* mTransform;
    LONG mWantedWidth, mWantedHeight;
  } const kCases[] = {
    {"natural size", 0, 0, 100, 50, nullptr, 100, 50},
    {"width preset keeps the aspect", 200, 0, 100, 50, nullptr, 200, 100},
    {"height preset keeps the aspect", 0, 25, 100, 50, nullptr, 50, 25},
    {"both presets win", 30, 40, 100, 50, &kDouble, 30, 40},
    {"a move right and down grows", 0, 0, 100, 50, &kMove, 110, 70},
    {"a move left and up shrinks", 0, 0, 100, 50, &kMoveBack, 90, 30},
    {"a scale", 0, 0, 100, 50, &kDouble, 200, 100},
    {"a turn leaves nothing right of 0", 0, 0, 100, 50, &kTurn, 1, 100},
    {"sides below 1 become 1", 0, 0, 0, -5, nullptr, 1, 1},
    {"width preset on a zero width", 12, 0, 0, 40, nullptr, 12, 12},
    {"height preset on a zero height", 0, 9, 5, 0, &kMoveDown, 9, 9},
    {"width preset with a move", 220, 0, 100, 50, &kMove, 220, 154},
  };
  for (const Case& theCase : kCases) {
    Bitmap theBitmap;
    theBitmap.SetWidth(theCase.mPresetWidth);
    theBitmap.SetHeight(theCase.mPresetHeight);
    LONG theWidth = -1, theHeight = -1;
    theBitmap.FitSize(theCase.mWidth, theCase.mHeight, theWidth, theHeight, theCase.mTransform);
    EXPECT_EQ(theWidth, theCase.mWantedWidth) << theCase.mName;
    EXPECT_EQ(theHeight, theCase.mWantedHeight) << theCase.mName;
  }
}

TEST(BitmapDIB, CreateSizesAndKeepsExistingPixels)
{
  Bitmap theBitmap;
  theBitmap.SetWidth(200);
  ASSERT_EQ(theBitmap.Create(100, 50, 32, nullptr), 0);
  EXPECT_EQ(theBitmap.GetWidth(), 200);
  EXPECT_EQ(theBitmap.GetHeight(), 100);
  const Transform kMove(1, 0, 0, 1, 10, 20);
  EXPECT_EQ(theBitmap.Create(5, 5, 8, &kMove), 0);
  EXPECT_EQ(theBitmap.GetWidth(), 200) << "existing pixels stay";
  EXPECT_EQ(theBitmap.GetDepth(), 32);

  Bitmap theMoved;
  ASSERT_EQ(theMoved.Create(30, 40, -1, &kMove), 0);
  EXPECT_EQ(theMoved.GetBounds().right, 40);
  EXPECT_EQ(theMoved.GetBounds().bottom, 60);
  EXPECT_EQ(theMoved.GetDepth(), 32) << "a negative depth keeps the depth";
}

// Depth by depth: the codes, sizes and default colour tables of new pixels.
TEST(BitmapDIB, EachDepth)
{
  struct Case {
    LONG mDepth;
    LONG mNativeDepth;
    LONG mBitsPerPixel;
    LONG mTableCount;
  } const kCases[] = {
    {1, 1, 1, 2}, {4, 4, 4, 16}, {8, 8, 8, 256}, {16, kTL16L555PixelFormat, 16, 0},
    {32, kTL32BGRAPixelFormat, 32, 0}, {40, 8, 8, 256}, {24, kTLNoPixelFormat, 24, 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE("depth " + std::to_string(theCase.mDepth));
    Bitmap theBitmap;
    ASSERT_EQ(theBitmap.Create(13, 7, theCase.mDepth, nullptr), 0);
    EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDepth(), theCase.mNativeDepth);
    EXPECT_EQ(theBitmap.GetDataSize(), 13LL * 7 * theCase.mBitsPerPixel / 8);
    LONG theDepth = 0, theWidth = 0, theHeight = 0;
    ASSERT_TRUE(theBitmap.GetNativeBitmap()->GetSize(theDepth, theWidth, theHeight));
    EXPECT_EQ(theDepth, theCase.mBitsPerPixel);
    LockedPixels thePixels;
    ASSERT_TRUE(theBitmap.LockPixels(thePixels));
    EXPECT_EQ(thePixels.mFormat, theCase.mDepth);
    EXPECT_EQ(thePixels.mPixSize, theCase.mBitsPerPixel);
    EXPECT_EQ(thePixels.mHeight, 7);
    EXPECT_EQ(thePixels.mRowBytes % 4, 0);
    EXPECT_GE(thePixels.mRowBytes * 8, 13 * theCase.mBitsPerPixel);
    theBitmap.UnlockPixels();
    RGBQUAD theTable[256];
    EXPECT_EQ(theBitmap.GetColorTable(theTable), theCase.mTableCount);
    if (theCase.mDepth == 1) {
      EXPECT_EQ(Rgb(theTable[0].rgbRed, theTable[0].rgbGreen, theTable[0].rgbBlue), kWhite);
      EXPECT_EQ(Rgb(theTable[1].rgbRed, theTable[1].rgbGreen, theTable[1].rgbBlue), kYellow);
    }
    if (theCase.mDepth == 4) {
      EXPECT_EQ(Rgb(theTable[7].rgbRed, theTable[7].rgbGreen, theTable[7].rgbBlue), kBlack);
      EXPECT_EQ(Rgb(theTable[6].rgbRed, theTable[6].rgbGreen, theTable[6].rgbBlue), kBlue);
      EXPECT_EQ(Rgb(theTable[15].rgbRed, theTable[15].rgbGreen, theTable[15].rgbBlue), kBlack) << "zeroed";
    }
    if (theCase.mDepth == 8) {
      EXPECT_EQ(Rgb(theTable[215].rgbRed, theTable[215].rgbGreen, theTable[215].rgbBlue), kBlack);
    }
    if (theCase.mDepth == 40) {
      for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(theTable[i].rgbRed == i && theTable[i].rgbGreen == i && theTable[i].rgbBlue == i) << i;
    }
  }
}

// The operations step by step at every depth, against pictures worked out
// here from the colours drawn and the bitmap's own colour table.
TEST(BitmapDIB, OperationsAtEveryDepth)
{
  for (LONG theDepth : kDepths) {
    Bitmap theBitmap;
    const std::vector<Snapshot> theShots = RunScenario(theBitmap, theDepth);
    ASSERT_EQ(theShots.size(), 8u) << "depth " << theDepth;
    ExpectScenarioPictures(theBitmap, theDepth, theShots);
  }
}

TEST(BitmapDIB, InvertOfAnIndexedBitmapChangesOnlyItsTable)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(6, 4, 8, nullptr), 0);
  TestDib theSource(6, 4);
  PaintQuadrants(theSource);
  ASSERT_EQ(theBitmap.CopyAllFromDC(theSource.DC()), 0);
  LockedPixels thePixels;
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  std::vector<BYTE> theBefore(thePixels.mBase, thePixels.mBase + thePixels.mRowBytes * thePixels.mHeight);
  theBitmap.UnlockPixels();
  RGBQUAD theTable[256], theInverted[256];
  ASSERT_EQ(theBitmap.GetColorTable(theTable), 256);
  ASSERT_EQ(theBitmap.Invert(), 0);
  ASSERT_EQ(theBitmap.GetColorTable(theInverted), 256);
  EXPECT_EQ(std::memcmp(theBefore.data(), thePixels.mBase, theBefore.size()), 0) << "the indices stay";
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(theInverted[i].rgbRed, 255 - theTable[i].rgbRed) << i;
    EXPECT_EQ(theInverted[i].rgbBlue, 255 - theTable[i].rgbBlue) << i;
  }
}

TEST(BitmapDIB, LocksNest)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(5, 3, 32, nullptr), 0);
  auto* theNative = dynamic_cast<BitmapWN*>(theBitmap.GetNativeBitmap());
  ASSERT_NE(theNative, nullptr);
  LockedPixels theFirst, theSecond;
  ASSERT_TRUE(theBitmap.LockPixels(theFirst));
  ASSERT_TRUE(theBitmap.LockPixels(theSecond));
  EXPECT_EQ(theFirst.mBase, theSecond.mBase);
  EXPECT_EQ(theNative->GetLockCount(), 2);
  theBitmap.UnlockPixels();
  theBitmap.UnlockPixels();
  EXPECT_EQ(theNative->GetLockCount(), 0);
  EXPECT_FALSE(AssertionLogged("BitmapWN", "mLocks >= 0"));
  theBitmap.UnlockPixels();
  EXPECT_TRUE(AssertionLogged("BitmapWN", "mLocks >= 0"));

  Bitmap theEmpty;
  LockedPixels theNothing;
  EXPECT_FALSE(theEmpty.LockPixels(theNothing));
  EXPECT_EQ(theNothing.mBase, nullptr);
}

TEST(BitmapDIB, GetPixelSplitsAWordByItsMasks)
{
  Bitmap theBitmap;
  theBitmap.SetColor(ColorValue(1, 2, 3, 4));
  ASSERT_EQ(theBitmap.Create(4, 3, 32, nullptr), 0);
  LockedPixels thePixels;
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  const BYTE theBytes[4] = {0x30, 0x20, 0x10, 0x80};  // B, G, R, A: the word 0x80102030
  std::memcpy(thePixels.mBase + thePixels.mRowBytes * 2 + 4 * 3, theBytes, 4);
  theBitmap.UnlockPixels();

  struct Case {
    LONG x, y;
    ColorValue mWanted;
  } const kCases[] = {
    {3, 2, ColorValue(0x1000, 0x2000, 0x3000, 0x8000)},
    {-1, 0, ColorValue(1, 2, 3, 4)},
    {4, 0, ColorValue(1, 2, 3, 4)},
    {0, 3, ColorValue(1, 2, 3, 4)},
    {0, 0, ColorValue(0x0000, 0x0000, 0x0000, 0x0000)},  // filled by GDI: alpha 0
  };
  for (const Case& theCase : kCases) {
    ColorValue theColor;
    theBitmap.GetPixel(theCase.x, theCase.y, theColor);
    EXPECT_EQ(theColor, theCase.mWanted) << "(" << theCase.x << ", " << theCase.y << ")";
  }
  ColorValue theWhite;
  theBitmap.GetPixel(0, 0, theWhite);

  Bitmap theIndexed;
  theIndexed.SetColor(ColorValue(9, 9, 9, 9));
  ASSERT_EQ(theIndexed.Create(4, 3, 8, nullptr), 0);
  ColorValue theColor;
  theIndexed.GetPixel(1, 1, theColor);
  EXPECT_EQ(theColor, ColorValue(0, 0, 0, 65535)) << "the background through the table, from GDI";
  theIndexed.GetPixel(9, 1, theColor);
  EXPECT_EQ(theColor, ColorValue(9, 9, 9, 9));
}

TEST(BitmapDIB, ChannelMasks)
{
  auto Section = [](WORD inBits, DWORD inCompression, DWORD inRed, DWORD inGreen, DWORD inBlue) {
    DIBSECTION theSection{};
    theSection.dsBmih.biBitCount = inBits;
    theSection.dsBmih.biCompression = inCompression;
    theSection.dsBitfields[0] = inRed;
    theSection.dsBitfields[1] = inGreen;
    theSection.dsBitfields[2] = inBlue;
    return theSection;
  };
  struct Case {
    const char* mName;
    DIBSECTION mSection;
    bool mKnown;
    DWORD mMasks[4];
    LONG mShifts[4];
  } const kCases[] = {
    {"16 5-5-5", Section(16, BI_RGB, 0, 0, 0), true, {0x7C00, 0x03E0, 0x001F, 0xAA}, {10, 5, 0, 1}},
    {"16 5-6-5", Section(16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F), true, {0xF800, 0x07E0, 0x001F, 0xAA}, {11, 5, 0, 1}},
    {"24", Section(24, BI_RGB, 0, 0, 0), true, {0xFF0000, 0xFF00, 0xFF, 0xAA}, {16, 8, 0, 1}},
    {"32", Section(32, BI_RGB, 0, 0, 0), true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {16, 8, 0, 24}},
    {"32 R, G, B, A", Section(32, BI_BITFIELDS, 0xFF, 0xFF00, 0xFF0000), true, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {0, 8, 16, 24}},
    {"32 empty red", Section(32, BI_BITFIELDS, 0, 0xFF00, 0xFF), true, {0, 0xFF00, 0xFF, 0xFFFF0000}, {-1, 8, 0, 16}},
    {"8", Section(8, BI_RGB, 0, 0, 0), false, {1, 2, 4, 0xAA}, {0, 1, 2, 1}},
  };
  for (const Case& theCase : kCases) {
    DWORD theMasks[4] = {1, 2, 4, 0xAA};
    LONG theShifts[4] = {9, 9, 9, 9};
    EXPECT_EQ(GetDIBChannelMasks(theCase.mSection, theMasks, theShifts), theCase.mKnown) << theCase.mName;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(theMasks[i], theCase.mMasks[i]) << theCase.mName << " mask " << i;
      EXPECT_EQ(theShifts[i], theCase.mShifts[i]) << theCase.mName << " shift " << i;
    }
  }
}

TEST(BitmapDIB, RGBAConversion)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(3, 2, 32, nullptr), 0);
  LockedPixels thePixels;
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  BYTE* thePixel = thePixels.mBase + thePixels.mRowBytes + 4;
  const BYTE theBGRA[4] = {0x30, 0x20, 0x10, 0x80};
  std::memcpy(thePixel, theBGRA, 4);
  theBitmap.UnlockPixels();

  theBitmap.FromRGBA();
  EXPECT_EQ(std::memcmp(thePixel, theBGRA, 4), 0) << "FromRGBA without ToRGBA does nothing";
  theBitmap.ToRGBA();
  EXPECT_TRUE(theBitmap.IsRGBA());
  const BYTE theRGBA[4] = {0x10, 0x20, 0x30, 0x80};
  EXPECT_EQ(std::memcmp(thePixel, theRGBA, 4), 0);
  theBitmap.ToRGBA();
  EXPECT_EQ(std::memcmp(thePixel, theRGBA, 4), 0) << "a second ToRGBA rewrites nothing";
  theBitmap.FromRGBA();
  EXPECT_FALSE(theBitmap.IsRGBA());
  EXPECT_EQ(std::memcmp(thePixel, theBGRA, 4), 0);

  Bitmap theIndexed;
  ASSERT_EQ(theIndexed.Create(3, 2, 8, nullptr), 0);
  EXPECT_FALSE(ConvertDIBToRGBA(theIndexed.GetHBITMAP(), nullptr));
  theIndexed.ToRGBA();
  EXPECT_TRUE(AssertionLogged("Bitmap", "ok"));
}

TEST(BitmapDIB, SizesThatCannotBeMadeFailClearly)
{
  {
    Bitmap theBitmap;
    EXPECT_EQ(theBitmap.Create(100000, 100000, 32, nullptr), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(theBitmap.GetHDC(), nullptr);
    EXPECT_EQ(theBitmap.GetDataSize(), 0);
  }
  {
    Bitmap theBitmap;
    theBitmap.SetWidth(100000);
    theBitmap.SetHeight(100000);
    EXPECT_EQ(theBitmap.Update(), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(theBitmap.GetDataSize(), 0);
  }
  {
    Bitmap theBitmap;
    ASSERT_EQ(theBitmap.Create(10, 10, 32, nullptr), 0);
    theBitmap.SetWidth(100000);
    theBitmap.SetHeight(100000);
    EXPECT_EQ(theBitmap.Update(), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(theBitmap.GetBounds().right, 10) << "the old pixels stay";
  }
  for (auto [theWidth, theHeight] : {std::pair{-5, 10}, std::pair{10, -5}, std::pair{0, 0}}) {
    Bitmap theBitmap;
    EXPECT_EQ(theBitmap.Create(theWidth, theHeight, 32, nullptr), Bitmap::kBadParameter)
      << theWidth << " x " << theHeight;
    EXPECT_EQ(theBitmap.GetHDC(), nullptr);
  }
  EXPECT_TRUE(AssertionLogged("Bitmap", "(inWidth > 0) && (inHeight > 0)"));
  Bitmap theTwoBit;
  EXPECT_EQ(theTwoBit.Create(4, 4, 2, nullptr), static_cast<LONG>(ERROR_INVALID_PARAMETER)) << "no 2-bit DIB";
  EXPECT_EQ(theTwoBit.GetHDC(), nullptr);
}

TEST(BitmapDIB, ClearKeepsTheColourAndResizeResetsTheDrawingState)
{
  Bitmap theBitmap;
  theBitmap.SetColor(ColorValue(1, 2, 3, 4));
  ASSERT_EQ(theBitmap.Create(4, 4, 16, nullptr), 0);
  theBitmap.GetNativeBitmap()->SetDither(1);
  theBitmap.GetNativeBitmap()->SetGraphicsMode(36, RGBColor{1, 2, 3});
  theBitmap.SetWidth(8);
  ASSERT_EQ(theBitmap.Update(), 0);
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDither(), 0) << "fresh pixels, fresh state";
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetGraphicsMode(), 0);
  theBitmap.GetNativeBitmap()->SetDither(1);
  theBitmap.Clear();
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDither(), 0);
  EXPECT_EQ(theBitmap.GetDepth(), 32);
  EXPECT_EQ(theBitmap.GetWidth(), 0);
  EXPECT_EQ(theBitmap.GetColor(), ColorValue(1, 2, 3, 4));
  EXPECT_EQ(theBitmap.GetHDC(), nullptr);
}

// A rectangle given in canvas coordinates at the top left lands at the top
// left, and a GDI fill made before it survives.
TEST(BitmapDIB, OpenGLDrawsWhereGDIWould)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(40, 30, 32, nullptr), 0);
  HBRUSH theBrush = CreateSolidBrush(RGB(0, 0, 255));
  const RECT theCorner{30, 20, 40, 30};
  FillRect(theBitmap.GetHDC(), &theCorner, theBrush);
  DeleteObject(theBrush);

  HGLRC theContext = theBitmap.GetGLContext();
  ASSERT_NE(theContext, nullptr);
  EXPECT_EQ(theBitmap.GetGLContext(), theContext) << "made once";
  ASSERT_TRUE(wglMakeCurrent(theBitmap.GetHDC(), theContext));
  glViewport(0, 0, 40, 30);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 40, 0, 30, -1, 1);
  glColor4ub(255, 0, 0, 255);
  glRecti(0, 0, 10, 5);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));

  struct Probe {
    LONG x, y;
    Rgb mWanted;
  } const kProbes[] = {{0, 0, kRed}, {9, 4, kRed}, {10, 0, kWhite}, {0, 5, kWhite}, {30, 20, kBlue}, {39, 29, kBlue}, {5, 29, kWhite}};
  for (const Probe& theProbe : kProbes) {
    ColorValue theColor;
    theBitmap.GetPixel(theProbe.x, theProbe.y, theColor);
    EXPECT_EQ(ToRgb(theColor), theProbe.mWanted) << "(" << theProbe.x << ", " << theProbe.y << ")";
  }

  theBitmap.SetWidth(50);
  ASSERT_EQ(theBitmap.Update(), 0);
  EXPECT_NE(theBitmap.GetGLContext(), nullptr) << "a new context for the new pixels";

  Bitmap theIndexed;
  ASSERT_EQ(theIndexed.Create(8, 8, 8, nullptr), 0);
  EXPECT_EQ(theIndexed.GetGLContext(), nullptr) << "OpenGL draws on 32-bit canvases only";
}

}  // namespace
