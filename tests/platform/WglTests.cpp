// OpenGL contexts on DIB sections: pixel formats, the scratch buffer that is
// seeded from and copied back into the DIB, row order, and thread rules.

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/gdi/Gdi.h"
#include "platform/wgl/Wgl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

namespace {

// A DIB section of inBits per pixel selected into a memory DC of its own.
class TestDib {
public:
  TestDib(int inBits, LONG inWidth, LONG inHeight, bool inTopDown = true) : mWidth(inWidth), mHeight(inHeight)
  {
    struct {
      BITMAPINFOHEADER mHeader;
      RGBQUAD mColors[256];
    } theInfo{};
    theInfo.mHeader.biSize = sizeof(BITMAPINFOHEADER);
    theInfo.mHeader.biWidth = inWidth;
    theInfo.mHeader.biHeight = inTopDown ? -inHeight : inHeight;
    theInfo.mHeader.biPlanes = 1;
    theInfo.mHeader.biBitCount = static_cast<WORD>(inBits);
    mDC = CreateCompatibleDC(nullptr);
    void* theBits = nullptr;
    mBitmap = CreateDIBSection(mDC, reinterpret_cast<BITMAPINFO*>(&theInfo), DIB_RGB_COLORS, &theBits, nullptr, 0);
    mOld = SelectObject(mDC, mBitmap);
    mBits = static_cast<std::uint8_t*>(theBits);
    mTopDown = inTopDown;
  }
  ~TestDib()
  {
    SelectObject(mDC, mOld);
    DeleteObject(mBitmap);
    DeleteDC(mDC);
  }
  HDC DC() const { return mDC; }
  // B, G, R, A of the pixel at (x, y), y counted from the top.
  std::uint32_t Pixel(LONG inX, LONG inY) const
  {
    LONG theRow = mTopDown ? inY : mHeight - 1 - inY;
    std::uint32_t theWord;
    std::memcpy(&theWord, mBits + static_cast<std::size_t>(theRow) * mWidth * 4 + inX * 4, 4);
    return theWord;
  }
  void Fill(const RECT& inRect, COLORREF inColor) const
  {
    HBRUSH theBrush = CreateSolidBrush(inColor);
    FillRect(mDC, &inRect, theBrush);
    DeleteObject(theBrush);
  }

private:
  LONG mWidth;
  LONG mHeight;
  bool mTopDown = true;
  HDC mDC = nullptr;
  HBITMAP mBitmap = nullptr;
  HGDIOBJ mOld = nullptr;
  std::uint8_t* mBits = nullptr;
};

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
  for (int theBits : {1, 4, 8, 16, 24, 32}) {
    TestDib theDib(theBits, 8, 8);
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
      EXPECT_EQ(theDescriptor.iPixelType, PFD_TYPE_RGBA);
      EXPECT_EQ(theDescriptor.cColorBits, 32);
      EXPECT_EQ(theDescriptor.iLayerType, PFD_MAIN_PLANE);
      EXPECT_EQ(theDescriptor.cAlphaBits, theFormat == 2 ? 8 : 0);
    }
  }
  EXPECT_EQ(DescribePixelFormat(nullptr, 1, 0, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Wgl, PixelFormatIsSetOnce)
{
  TestDib theDib(32, 4, 4);
  EXPECT_EQ(GetPixelFormat(theDib.DC()), 0);
  EXPECT_EQ(wglCreateContext(theDib.DC()), nullptr) << "no context before a format is set";
  EXPECT_TRUE(SetPixelFormat(theDib.DC(), 1, nullptr));
  EXPECT_TRUE(SetPixelFormat(theDib.DC(), 1, nullptr));
  EXPECT_FALSE(SetPixelFormat(theDib.DC(), 2, nullptr));
  EXPECT_EQ(GetPixelFormat(theDib.DC()), 1);
  EXPECT_FALSE(SetPixelFormat(theDib.DC(), 3, nullptr));
}

// Canvas row y is OpenGL row y: a rectangle given in canvas coordinates at
// the top left lands at the top left, on top-down and bottom-up DIBs alike,
// and GDI fills made before the context was current survive it.
TEST(Wgl, RectangleLandsWhereGDIWouldPutIt)
{
  for (bool theTopDown : {true, false}) {
    SCOPED_TRACE(theTopDown ? "top-down DIB" : "bottom-up DIB");
    constexpr LONG kWidth = 40, kHeight = 30;
    TestDib theDib(32, kWidth, kHeight, theTopDown);
    theDib.Fill(RECT{30, 20, 40, 30}, RGB(0, 0, 255));
    HGLRC theContext = MakeContext(theDib.DC());
    ASSERT_NE(theContext, nullptr);
    ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
    EXPECT_EQ(wglGetCurrentContext(), theContext);
    EXPECT_EQ(wglGetCurrentDC(), theDib.DC());
    DrawRedRect(kWidth, kHeight, 0, 0, 10, 5);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);

    struct Probe {
      LONG x, y;
      std::uint32_t mExpected;
    } const theProbes[] = {{0, 0, kRed},        {9, 4, kRed},        {10, 0, 0},          {0, 5, 0},
                           {9, 5, 0},           {30, 20, kGDIBlue},  {39, 29, kGDIBlue},  {29, 29, 0},
                           {20, 15, 0},         {0, 29, 0}};
    for (const Probe& theProbe : theProbes)
      EXPECT_EQ(theDib.Pixel(theProbe.x, theProbe.y), theProbe.mExpected)
        << "pixel (" << theProbe.x << ", " << theProbe.y << ")";
    EXPECT_TRUE(wglDeleteContext(theContext));
    EXPECT_FALSE(wglDeleteContext(theContext));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

TEST(Wgl, DeletingTheCurrentContextCopiesItBack)
{
  TestDib theDib(32, 8, 8);
  HGLRC theContext = MakeContext(theDib.DC());
  ASSERT_NE(theContext, nullptr);
  ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
  DrawRedRect(8, 8, 0, 0, 8, 8);
  EXPECT_TRUE(wglDeleteContext(theContext));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(theDib.Pixel(7, 7), kRed);
}

TEST(Wgl, AContextIsCurrentOnOneThreadAtATime)
{
  TestDib theDib(32, 8, 8);
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

  // A thread that ends with the context current lets it go.
  std::thread([&] {
    EXPECT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
    DrawRedRect(8, 8, 0, 0, 1, 1);
  }).join();
  EXPECT_EQ(theDib.Pixel(0, 0), kRed);
  EXPECT_TRUE(wglDeleteContext(theContext));
}

TEST(Wgl, MakeCurrentRefusesADeviceContextOfAnotherFormat)
{
  TestDib theFirst(32, 8, 8), theSecond(32, 8, 8), theThird(32, 8, 8);
  HGLRC theContext = MakeContext(theFirst.DC());
  ASSERT_NE(theContext, nullptr);
  EXPECT_FALSE(wglMakeCurrent(theSecond.DC(), theContext)) << "no format set";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PIXEL_FORMAT);
  ASSERT_TRUE(SetPixelFormat(theThird.DC(), 1, nullptr));
  EXPECT_FALSE(wglMakeCurrent(theThird.DC(), theContext)) << "another format";
  ASSERT_TRUE(SetPixelFormat(theSecond.DC(), 2, nullptr));
  EXPECT_TRUE(wglMakeCurrent(theSecond.DC(), theContext)) << "the same format";
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglDeleteContext(theContext));
}

}  // namespace
