// The pixel buffer on its GWorld backing, with the QuickTime stand-in
// loaded: the same operations give the same pixels as on the DIB backing.

#include "core/Bitmap.h"
#include "core/BitmapQT.h"
#include "core/BitmapWN.h"
#include "core/Preferences.h"
#include "platform/base/WinError.h"
#include "platform/quicktime/QuickTime.h"
#include "platform/wgl/Wgl.h"
#include "tests/core/BitmapScenario.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace pixeltest;

namespace {

void UseStandIn()
{
  setenv(kQTLibraryVariable, TL_QUICKTIME_STANDIN, 1);
}

// Depths 16, 32 and 40 have the same colour tables on both backings (none,
// or 256 greys), so their pixels must agree exactly, alpha included; the
// indexed depths are held to their own tables (new GWorlds get grey ramps).
TEST(BitmapQT, SamePixelsAsTheDIBBacking)
{
  constexpr LONG kDepths[] = {1, 4, 8, 16, 32, 40};
  // A failed start is not retried: the DIB-backed runs keep QuickTime off
  // through its preference, then the GWorld runs start the stand-in.
  ASSERT_EQ(SetPrefLong("UseQuickTime", 0), ERROR_SUCCESS);
  std::vector<std::vector<ColorValue>> theExpected;
  std::vector<LONGLONG> theExpectedSizes;
  for (LONG theDepth : kDepths) {
    Bitmap theDIB;
    ASSERT_NE(dynamic_cast<BitmapWN*>(theDIB.GetNativeBitmap()), nullptr);
    theExpected.push_back(RunScenario(theDIB, theDepth));
    theExpectedSizes.push_back(theDIB.GetDataSize());
  }
  UseStandIn();
  ASSERT_EQ(SetPrefLong("UseQuickTime", 1), ERROR_SUCCESS);
  for (std::size_t d = 0; d < std::size(kDepths); ++d) {
    const LONG theDepth = kDepths[d];
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theGWorld;
    ASSERT_NE(dynamic_cast<BitmapQT*>(theGWorld.GetNativeBitmap()), nullptr);
    const std::vector<ColorValue> theSeen = RunScenario(theGWorld, theDepth);
    EXPECT_EQ(theGWorld.GetDataSize(), theExpectedSizes[d]);
    LockedPixels thePixels;
    ASSERT_TRUE(theGWorld.LockPixels(thePixels));
    EXPECT_EQ(thePixels.mFormat, theDepth);
    theGWorld.UnlockPixels();
    if (theDepth != 16 && theDepth != 32 && theDepth != 40)
      continue;
    ASSERT_EQ(theSeen.size(), theExpected[d].size());
    const auto [theGWorldPixel, theDIBPixel] = std::mismatch(theSeen.begin(), theSeen.end(), theExpected[d].begin());
    if (theGWorldPixel != theSeen.end())
      ADD_FAILURE() << "pixel " << theGWorldPixel - theSeen.begin() << " of the run: GWorld "
                    << ToString(ToRgb(*theGWorldPixel)) << " alpha " << theGWorldPixel->mAlpha << ", DIB "
                    << ToString(ToRgb(*theDIBPixel)) << " alpha " << theDIBPixel->mAlpha;
  }
}

TEST(BitmapQT, SidesAbove16000AreRefusedBeforeQuickTimeIsAsked)
{
  // QuickTime is not started here: asking it would answer "not installed".
  BitmapQT theBacking;
  EXPECT_EQ(theBacking.Create(32, 16001, 1), static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(theBacking.Create(32, 1, 16001), static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_NE(theBacking.Create(32, 16000, 1), static_cast<LONG>(ERROR_INVALID_PARAMETER));

  UseStandIn();
  Bitmap theLarge;
  ASSERT_NE(dynamic_cast<BitmapQT*>(theLarge.GetNativeBitmap()), nullptr);
  EXPECT_EQ(theLarge.Create(16000, 2, 32, nullptr), 0);
  EXPECT_EQ(theLarge.GetDataSize(), 16000LL * 2 * 4);
  theLarge.SetWidth(100000);
  EXPECT_EQ(theLarge.Update(), static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(theLarge.GetBounds().right, 16000) << "the old pixels stay";
}

// 'RGBA' pixels are 32 bits each: an Update with nothing changed keeps the
// GWorld's pixels (new ones come with a new bitmap behind the port).
TEST(BitmapQT, UpdateKeepsAnRGBAGWorld)
{
  UseStandIn();
  for (LONG theDepth : {kTL32RGBAPixelFormat, LONG{32}, kTLGray8PixelFormat}) {
    SCOPED_TRACE("depth " + std::to_string(theDepth));
    Bitmap theBitmap;
    ASSERT_NE(dynamic_cast<BitmapQT*>(theBitmap.GetNativeBitmap()), nullptr);
    ASSERT_EQ(theBitmap.Create(8, 4, theDepth, nullptr), 0);
    const HBITMAP theBefore = theBitmap.GetNativeBitmap()->GetHBITMAP();
    EXPECT_EQ(theBitmap.Update(), 0);
    ColorValue theColor;
    theBitmap.GetPixel(1, 1, theColor);
    EXPECT_EQ(theBitmap.GetNativeBitmap()->GetHBITMAP(), theBefore);
  }
}

TEST(BitmapQT, NestedLocksUnlockThePixelMapOnceAtTheLast)
{
  UseStandIn();
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(6, 6, 32, nullptr), 0);
  PixMapHandle thePixMap = QT()->GetGWorldPixMap(theBitmap.GetNativeBitmap()->GetGWorld());
  ASSERT_NE(thePixMap, nullptr);
  auto Locked = [&] { return (QT()->GetPixelsState(thePixMap) & kQTPixelsLocked) != 0; };
  LockedPixels thePixels;
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  ASSERT_TRUE(theBitmap.LockPixels(thePixels));
  theBitmap.UnlockPixels();
  EXPECT_TRUE(Locked()) << "one lock is still open";
  theBitmap.UnlockPixels();
  EXPECT_FALSE(Locked()) << "the state before the first lock is back";
}

TEST(BitmapQT, ResizeKeepsTheDrawingStateAndOpenGLDrawsOnTheGWorld)
{
  UseStandIn();
  Bitmap theBitmap;
  ASSERT_EQ(theBitmap.Create(40, 30, 32, nullptr), 0);
  theBitmap.GetNativeBitmap()->SetDither(1);
  theBitmap.SetHeight(31);
  ASSERT_EQ(theBitmap.Update(), 0);
  EXPECT_EQ(theBitmap.GetNativeBitmap()->GetDither(), 1) << "the GWorld is resized in place";

  HGLRC theContext = theBitmap.GetGLContext();
  ASSERT_NE(theContext, nullptr);
  ASSERT_TRUE(wglMakeCurrent(theBitmap.GetHDC(), theContext));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 40, 0, 31, -1, 1);
  glColor4ub(255, 0, 0, 255);
  glRecti(0, 0, 10, 5);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  ColorValue theColor;
  theBitmap.GetPixel(0, 0, theColor);
  EXPECT_EQ(ToRgb(theColor), kRed);
  theBitmap.GetPixel(10, 5, theColor);
  EXPECT_EQ(ToRgb(theColor), kWhite);
}

}  // namespace
