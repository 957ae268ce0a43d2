// OpenGL contexts on DIB sections: pixel formats, the scratch buffer that is
// seeded from and copied back into the DIB, row order, and thread rules.

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "platform/wgl/Wgl.h"
#include "tests/platform/GdiTestDibs.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace {

using gditest::Dib;
using gditest::LayoutNamed;

// Sets the format with alpha and makes a context; null on failure.
HGLRC MakeContext(HDC inDC)
{
  PIXELFORMATDESCRIPTOR theDescriptor{};
  if (DescribePixelFormat(inDC, 2, sizeof theDescriptor, &theDescriptor) != 2 || theDescriptor.cAlphaBits != 8)
    return nullptr;
  if (!SetPixelFormat(inDC, 2, &theDescriptor))
    return nullptr;
  return wglCreateContext(inDC);
}

// Draws an opaque red rectangle given in canvas coordinates (top-left origin).
void DrawRedRect(LONG inWidth, LONG inHeight, int inLeft, int inTop, int inRight, int inBottom)
{
  glViewport(0, 0, inWidth, inHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, inWidth, 0, inHeight, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4ub(255, 0, 0, 255);
  glRecti(inLeft, inTop, inRight, inBottom);
}

constexpr std::uint32_t kRed = 0xFFFF0000;   // B, G, R, A in memory: 00 00 FF FF
constexpr std::uint32_t kGDIBlue = 0x000000FF;  // GDI writes alpha 0

TEST(Wgl, FormatsExistOnlyOn32BitDIBs)
{
  for (const char* theLayout : {"8", "16-555", "24", "32"}) {
    const int theBits = LayoutNamed(theLayout).mBits;
    Dib theDib(LayoutNamed(theLayout), 8, -8);
    PIXELFORMATDESCRIPTOR theDescriptor{};
    int theCount = DescribePixelFormat(theDib.DC(), 1, sizeof theDescriptor, &theDescriptor);
    if (theBits != 32) {
      EXPECT_EQ(theCount, 0) << theBits << " bits";
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PIXEL_FORMAT);
      EXPECT_FALSE(SetPixelFormat(theDib.DC(), 1, &theDescriptor)) << theBits << " bits";
      continue;
    }
    ASSERT_EQ(theCount, 2);
    for (int theFormat = 1; theFormat <= theCount; ++theFormat) {
      ASSERT_EQ(DescribePixelFormat(theDib.DC(), theFormat, sizeof theDescriptor, &theDescriptor), 2);
      EXPECT_EQ(theDescriptor.dwFlags & (PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI | PFD_DRAW_TO_BITMAP),
                PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI | PFD_DRAW_TO_BITMAP);
      EXPECT_EQ(theDescriptor.cColorBits, 32);
      EXPECT_EQ(theDescriptor.cAlphaBits, theFormat == 2 ? 8 : 0);
    }
  }
  EXPECT_EQ(DescribePixelFormat(nullptr, 1, 0, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// A format is set once per device context, and a context is made current
// only on device contexts of its own format.
TEST(Wgl, FormatIsSetOnceAndMustMatchTheContext)
{
  Dib theFirst(LayoutNamed("32"), 8, 8), theSecond(LayoutNamed("32"), 8, 8), theThird(LayoutNamed("32"), 8, 8);
  EXPECT_EQ(GetPixelFormat(theFirst.DC()), 0);
  EXPECT_EQ(wglCreateContext(theFirst.DC()), nullptr) << "no context before a format is set";
  HGLRC theContext = MakeContext(theFirst.DC());
  ASSERT_NE(theContext, nullptr);
  EXPECT_TRUE(SetPixelFormat(theFirst.DC(), 2, nullptr)) << "the same again";
  EXPECT_FALSE(SetPixelFormat(theFirst.DC(), 1, nullptr));
  EXPECT_FALSE(SetPixelFormat(theFirst.DC(), 3, nullptr));
  EXPECT_EQ(GetPixelFormat(theFirst.DC()), 2);
  EXPECT_FALSE(wglMakeCurrent(theSecond.DC(), theContext)) << "no format set";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PIXEL_FORMAT);
  ASSERT_TRUE(SetPixelFormat(theThird.DC(), 1, nullptr));
  EXPECT_FALSE(wglMakeCurrent(theThird.DC(), theContext)) << "another format";
  ASSERT_TRUE(SetPixelFormat(theSecond.DC(), 2, nullptr));
  EXPECT_TRUE(wglMakeCurrent(theSecond.DC(), theContext)) << "the same format";
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglDeleteContext(theContext));
}

// Canvas row y is OpenGL row y: a rectangle given in canvas coordinates at
// the top left lands at the top left, on top-down and bottom-up DIBs alike,
// and GDI fills made before the context was current survive it.
TEST(Wgl, RectangleLandsWhereGDIWouldPutIt)
{
  for (bool theTopDown : {true, false}) {
    SCOPED_TRACE(theTopDown ? "top-down DIB" : "bottom-up DIB");
    constexpr LONG kWidth = 40, kHeight = 30;
    Dib theDib(LayoutNamed("32"), kWidth, theTopDown ? -kHeight : kHeight);
    const RECT theCorner{30, 20, 40, 30};
    HBRUSH theBlue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(theDib.DC(), &theCorner, theBlue);
    DeleteObject(theBlue);
    HGLRC theContext = MakeContext(theDib.DC());
    ASSERT_NE(theContext, nullptr);
    ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
    EXPECT_EQ(wglGetCurrentDC(), theDib.DC());
    DrawRedRect(kWidth, kHeight, 0, 0, 10, 5);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);

    struct Probe {
      LONG x, y;
      std::uint32_t mExpected;
    } const theProbes[] = {{0, 0, kRed},       {9, 4, kRed},       {10, 0, 0}, {0, 5, 0},
                           {30, 20, kGDIBlue}, {39, 29, kGDIBlue}, {29, 29, 0}, {0, 29, 0}};
    for (const Probe& theProbe : theProbes)
      EXPECT_EQ(theDib.Word(theProbe.x, theProbe.y), theProbe.mExpected)
        << "pixel (" << theProbe.x << ", " << theProbe.y << ")";
    EXPECT_TRUE(wglDeleteContext(theContext));
    EXPECT_FALSE(wglDeleteContext(theContext));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

// Over a rectangle, only its pixels are seeded and copied back: OpenGL
// drawing over the whole canvas changes nothing outside it, canvas (x, y) is
// still pixel (x, y) through glOrtho over the rectangle, and GDI's pixels
// inside it survive where OpenGL draws nothing.
TEST(Wgl, ARectangleAloneIsSeededAndCopiedBack)
{
  for (bool theTopDown : {true, false}) {
    SCOPED_TRACE(theTopDown ? "top-down DIB" : "bottom-up DIB");
    constexpr LONG kWidth = 40, kHeight = 30;
    Dib theDib(LayoutNamed("32"), kWidth, theTopDown ? -kHeight : kHeight);
    for (LONG y = 0; y < kHeight; ++y)
      for (LONG x = 0; x < kWidth; ++x)
        theDib.Put(x, y, 0x01000000u * static_cast<std::uint32_t>(x + y) + 0x00010203u * static_cast<std::uint32_t>(x ^ y));
    HGLRC theContext = MakeContext(theDib.DC());
    ASSERT_NE(theContext, nullptr);
    for (const RECT& theWrong : {RECT{0, 0, 0, 10}, RECT{5, 5, 5, 6}, RECT{-1, 0, 10, 10}, RECT{0, 0, 41, 10},
                                 RECT{0, 20, 10, 31}, RECT{10, 10, 5, 20}}) {
      EXPECT_FALSE(wglMakeCurrentRect(theDib.DC(), theContext, theWrong));
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    const RECT theRect{10, 5, 30, 20};
    ASSERT_TRUE(wglMakeCurrentRect(theDib.DC(), theContext, theRect));
    glViewport(0, 0, theRect.right - theRect.left, theRect.bottom - theRect.top);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(theRect.left, theRect.right, theRect.top, theRect.bottom, -1, 1);
    glColor4ub(255, 0, 0, 255);
    glRecti(0, 0, kWidth, 12);  // down to row 11, across the whole width
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    for (LONG y = 0; y < kHeight; ++y)
      for (LONG x = 0; x < kWidth; ++x) {
        const bool theRed = x >= 10 && x < 30 && y >= 5 && y < 12;
        const std::uint32_t theBefore =
          0x01000000u * static_cast<std::uint32_t>(x + y) + 0x00010203u * static_cast<std::uint32_t>(x ^ y);
        ASSERT_EQ(theDib.Word(x, y), theRed ? kRed : theBefore) << "pixel (" << x << ", " << y << ")";
      }
    EXPECT_TRUE(wglDeleteContext(theContext));
  }
}

TEST(Wgl, AContextIsCurrentOnOneThreadAtATime)
{
  Dib theDib(LayoutNamed("32"), 8, -8);
  HGLRC theContext = MakeContext(theDib.DC());
  ASSERT_NE(theContext, nullptr);
  ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
  BOOL theOtherMadeCurrent = TRUE, theOtherDeleted = TRUE;
  DWORD theOtherError = 0;
  std::thread([&] {
    theOtherMadeCurrent = wglMakeCurrent(theDib.DC(), theContext);
    theOtherError = GetLastError();
    theOtherDeleted = wglDeleteContext(theContext);
  }).join();
  EXPECT_FALSE(theOtherMadeCurrent);
  EXPECT_EQ(theOtherError, ERROR_BUSY);
  EXPECT_FALSE(theOtherDeleted);
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));

  // A thread that ends with the context current lets it go; deleting the
  // current context copies its pixels back first.
  std::thread([&] {
    EXPECT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
    DrawRedRect(8, 8, 0, 0, 1, 1);
  }).join();
  EXPECT_EQ(theDib.Word(0, 0), kRed);
  ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
  DrawRedRect(8, 8, 0, 0, 8, 8);
  EXPECT_TRUE(wglDeleteContext(theContext));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(theDib.Word(7, 7), kRed);
}

}  // namespace
