// The pixel buffer on its DIB-section backing (QuickTime is not installed
// in this suite).

#include "core/Bitmap.h"
#include "core/BitmapWN.h"
#include "platform/base/WinError.h"
#include "platform/wgl/Wgl.h"
#include "tests/core/BitmapScenario.h"
#include "tests/core/EventWatcher.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace pixeltest;

namespace {

TEST(BitmapDIB, ANewBitmapIsEmptyAndTheFormatCodesAreTheirLetters)
{
  Bitmap theBitmap;
  ASSERT_NE(dynamic_cast<BitmapWN*>(theBitmap.GetNativeBitmap()), nullptr);
  EXPECT_EQ(theBitmap.GetDepth(), 32);
  EXPECT_EQ(theBitmap.GetColor(), ColorValue(65535, 65535, 65535, 65535));
  EXPECT_EQ(theBitmap.GetDataSize(), 0);
  EXPECT_EQ(theBitmap.GetHDC(), nullptr);
  EXPECT_EQ(theBitmap.Update(), 0) << "nothing to make without a size";
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDepth(), kTLNoPixelFormat);
  const std::pair<LONG, const char*> kCodes[] = {
    {kTL32RGBAPixelFormat, "RGBA"}, {kTL32BGRAPixelFormat, "BGRA"}, {kTL16L555PixelFormat, "L555"}, {kTLNoPixelFormat, "xxxx"}};
  for (const auto& [theCode, theLetters] : kCodes)
    EXPECT_EQ(theCode, theLetters[0] << 24 | theLetters[1] << 16 | theLetters[2] << 8 | theLetters[3]) << theLetters;
}

TEST(BitmapDIB, FitSize)
{
  const Transform kMove(1, 0, 0, 1, 10, 20), kMoveBack(1, 0, 0, 1, -10, -20), kMoveDown(1, 0, 0, 1, 0, 7);
  const Transform kTurn(0, 1, -1, 0, 0, 0);  // (x, y) -> (-y, x)
  const Transform kDouble(2, 0, 0, 2, 0, 0);
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
    {"a move left and up shrinks", 0, 0, 100, 50, &kMoveBack, 90, 30}, {"a scale", 0, 0, 100, 50, &kDouble, 200, 100},
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
  // Create fits the same way, once: existing pixels and a negative depth keep what is there.
  Bitmap theBitmap;
  theBitmap.SetWidth(200);
  ASSERT_EQ(theBitmap.Create(100, 50, 32, nullptr), 0);
  EXPECT_EQ(theBitmap.Create(5, 5, 8, &kMove), 0);
  EXPECT_EQ(theBitmap.GetHeight(), 100);
  EXPECT_EQ(theBitmap.GetDepth(), 32);
}

// Depth by depth: the codes, sizes and default colour tables of new pixels.
TEST(BitmapDIB, EachDepth)
{
  struct Case {
    LONG mDepth, mNativeDepth, mBitsPerPixel, mTableCount;
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
    LockedPixels thePixels;
    ASSERT_TRUE(theBitmap.LockPixels(thePixels));
    EXPECT_EQ(thePixels.mFormat, theCase.mDepth);
    EXPECT_EQ(thePixels.mPixSize, theCase.mBitsPerPixel);
    EXPECT_EQ(thePixels.mRowBytes % 4, 0);
    EXPECT_GE(thePixels.mRowBytes * 8, 13 * theCase.mBitsPerPixel);
    theBitmap.UnlockPixels();
    RGBQUAD theTable[256];
    EXPECT_EQ(theBitmap.GetColorTable(theTable), theCase.mTableCount);
    if (theCase.mDepth == 1) {
      EXPECT_EQ(ToRgb(theTable[0]), kBlack);
      EXPECT_EQ(ToRgb(theTable[1]), kWhite) << "two colours are black and white";
    }
    if (theCase.mDepth == 4) {
      EXPECT_EQ(ToRgb(theTable[6]), kBlue);
      EXPECT_EQ(ToRgb(theTable[15]), kBlack) << "the rest of a full table is zeroed";
    }
    for (int i = 0; theCase.mDepth == 40 && i < 256; ++i)
      ASSERT_EQ(ToRgb(theTable[i]), (Rgb{BYTE(i), BYTE(i), BYTE(i)})) << i;
  }
}

// The depth field of 8-bit grey (40) is not its bits per pixel: an Update
// or GetPixel with nothing to change reports nothing.
TEST(BitmapDIB, UpdatesWithNothingToChangeReportNothing)
{
  for (LONG theDepth : {1, 8, 16, 24, 32, 40}) {
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theBitmap;
    ASSERT_EQ(theBitmap.Create(5, 3, theDepth, nullptr), 0);
    tltest::EventWatcher theWatcher;
    EXPECT_EQ(theBitmap.Update(), 0);
    ColorValue theColor;
    theBitmap.GetPixel(2, 1, theColor);
    EXPECT_EQ(theWatcher.NewTexts(), std::vector<std::string>{});
  }
}

TEST(BitmapDIB, OperationsAtEveryDepth)
{
  for (LONG theDepth : {1, 4, 8, 16, 32, 40}) {
    Bitmap theBitmap;
    RunScenario(theBitmap, theDepth);
  }
}

TEST(BitmapDIB, LocksNest)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(5, 3, 32, nullptr), 0);
  auto* theNative = dynamic_cast<BitmapWN*>(theBitmap.GetNativeBitmap());
  LockedPixels theFirst, theSecond;
  ASSERT_TRUE(theBitmap.LockPixels(theFirst));
  ASSERT_TRUE(theBitmap.LockPixels(theSecond));
  EXPECT_EQ(theFirst.mBase, theSecond.mBase);
  EXPECT_EQ(theNative->GetLockCount(), 2);
  theBitmap.UnlockPixels();
  theBitmap.UnlockPixels();
  EXPECT_EQ(theNative->GetLockCount(), 0);
  tltest::EventWatcher theWatcher;
  theBitmap.UnlockPixels();
  EXPECT_EQ(theWatcher.NewAssertions("BitmapWN"), std::vector<std::string>{"(mLocks >= 0)"}) << "one unlock too many";
  Bitmap theEmpty;
  EXPECT_FALSE(theEmpty.LockPixels(theFirst));
}

TEST(BitmapDIB, GetPixelSplitsAWordByItsMasks)
{
  Bitmap theBitmap;
  theBitmap.SetColor(ColorValue(1, 2, 3, 4));
  ASSERT_EQ(theBitmap.Create(4, 3, 32, nullptr), 0);
  LockedPixels thePixels;
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  const std::uint32_t kWord = 0x80102030;
  std::memcpy(thePixels.mBase + thePixels.mRowBytes * 2 + 4 * 3, &kWord, 4);
  theBitmap.UnlockPixels();
  struct Case {
    LONG x, y;
    ColorValue mWanted;
  } const kCases[] = {
    {3, 2, ColorValue(0x1000, 0x2000, 0x3000, 0x8000)},
    {-1, 0, ColorValue(1, 2, 3, 4)},  // outside: the natural colour
    {4, 0, ColorValue(1, 2, 3, 4)}, {0, 3, ColorValue(1, 2, 3, 4)},
    {0, 0, ColorValue(0, 0, 0, 0)},  // filled by GDI: alpha 0
  };
  for (const Case& theCase : kCases) {
    ColorValue theColor;
    theBitmap.GetPixel(theCase.x, theCase.y, theColor);
    EXPECT_EQ(theColor, theCase.mWanted) << "(" << theCase.x << ", " << theCase.y << ")";
  }
}

// A zero mask reads as no channel (shift -1); alpha takes the bits no colour uses.
TEST(BitmapDIB, ChannelMasks)
{
  struct Case {
    WORD mBits;
    DWORD mCompression, mFields[3];
    bool mKnown;
    DWORD mMasks[4];
    LONG mShifts[4];
  } const kCases[] = {
    {16, BI_RGB, {0, 0, 0}, true, {0x7C00, 0x03E0, 0x001F, 0xAA}, {10, 5, 0, 1}},
    {32, BI_RGB, {0, 0, 0}, true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {16, 8, 0, 24}},
    {32, BI_BITFIELDS, {0, 0xFF00, 0xFF}, true, {0, 0xFF00, 0xFF, 0xFFFF0000}, {-1, 8, 0, 16}},
    {8, BI_RGB, {0, 0, 0}, false, {1, 2, 4, 0xAA}, {0, 1, 2, 1}},
  };
  for (const Case& theCase : kCases) {
    DIBSECTION theSection{};
    theSection.dsBmih.biBitCount = theCase.mBits;
    theSection.dsBmih.biCompression = theCase.mCompression;
    std::memcpy(theSection.dsBitfields, theCase.mFields, sizeof theCase.mFields);
    DWORD theMasks[4] = {1, 2, 4, 0xAA};
    LONG theShifts[4] = {0, 1, 2, 1};
    EXPECT_EQ(GetDIBChannelMasks(theSection, theMasks, theShifts), theCase.mKnown) << theCase.mBits;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(theMasks[i], theCase.mMasks[i]) << theCase.mBits << " bits, mask " << i;
      EXPECT_EQ(theShifts[i], theCase.mShifts[i]) << theCase.mBits << " bits, shift " << i;
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
  const BYTE kBGRA[4] = {0x30, 0x20, 0x10, 0x80}, kRGBA[4] = {0x10, 0x20, 0x30, 0x80};
  std::memcpy(thePixel, kBGRA, 4);
  theBitmap.UnlockPixels();
  theBitmap.ToRGBA();
  theBitmap.ToRGBA();
  EXPECT_TRUE(theBitmap.IsRGBA());
  EXPECT_EQ(std::memcmp(thePixel, kRGBA, 4), 0) << "converted once";
  theBitmap.FromRGBA();
  theBitmap.FromRGBA();
  EXPECT_EQ(std::memcmp(thePixel, kBGRA, 4), 0) << "and back once";

  Bitmap theIndexed;
  ASSERT_EQ(theIndexed.Create(3, 2, 8, nullptr), 0);
  EXPECT_FALSE(ConvertDIBToRGBA(theIndexed.GetHBITMAP(), nullptr));
}

TEST(BitmapDIB, SizesThatCannotBeMadeFailClearly)
{
  Bitmap theHuge;
  EXPECT_EQ(theHuge.Create(100000, 100000, 32, nullptr), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(theHuge.GetDataSize(), 0);
  Bitmap theGrown;
  ASSERT_EQ(theGrown.Create(10, 10, 32, nullptr), 0);
  theGrown.SetWidth(100000);
  theGrown.SetHeight(100000);
  EXPECT_EQ(theGrown.Update(), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(theGrown.GetBounds().right, 10) << "the old pixels stay";
  for (auto [theWidth, theHeight] : {std::pair{-5, 10}, std::pair{10, -5}, std::pair{0, 0}}) {
    Bitmap theBitmap;
    EXPECT_EQ(theBitmap.Create(theWidth, theHeight, 32, nullptr), Bitmap::kBadParameter) << theWidth << " x " << theHeight;
    EXPECT_EQ(theBitmap.GetHDC(), nullptr);
  }
  Bitmap theTwoBit;
  EXPECT_EQ(theTwoBit.Create(4, 4, 2, nullptr), static_cast<LONG>(ERROR_INVALID_PARAMETER)) << "no 2-bit DIB";
}

// A rectangle given in canvas coordinates at the top left lands at the top
// left, and a GDI fill made before it survives.
TEST(BitmapDIB, OpenGLDrawsWhereGDIWould)
{
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(40, 30, 32, nullptr), 0);
  Fill(theBitmap.GetHDC(), RECT{30, 20, 40, 30}, kBlue);
  HGLRC theContext = theBitmap.GetGLContext();
  ASSERT_NE(theContext, nullptr);
  ASSERT_TRUE(wglMakeCurrent(theBitmap.GetHDC(), theContext));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 40, 0, 30, -1, 1);
  glColor4ub(255, 0, 0, 255);
  glRecti(0, 0, 10, 5);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  struct Probe {
    LONG x, y;
    Rgb mWanted;
  } const kProbes[] = {{0, 0, kRed}, {9, 4, kRed}, {10, 0, kWhite}, {0, 5, kWhite}, {30, 20, kBlue}, {39, 29, kBlue}};
  for (const Probe& theProbe : kProbes) {
    ColorValue theColor;
    theBitmap.GetPixel(theProbe.x, theProbe.y, theColor);
    EXPECT_EQ(ToRgb(theColor), theProbe.mWanted) << "(" << theProbe.x << ", " << theProbe.y << ")";
  }
  Bitmap theIndexed;
  ASSERT_EQ(theIndexed.Create(8, 8, 8, nullptr), 0);
  EXPECT_EQ(theIndexed.GetGLContext(), nullptr) << "OpenGL draws on 32-bit canvases only";
}

}  // namespace
