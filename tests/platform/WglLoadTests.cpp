// The platform library's own GL entry points and OSMesa loaded by the first
// OpenGL context, not with the library: this program links no OpenGL.

#include "platform/gdi/Gdi.h"
#include "platform/wgl/Wgl.h"
#include "tests/platform/GdiTestDibs.h"
#include "tests/support/TestSupport.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

// An opaque red square over the middle of a 4 x 4 picture, in canvas
// coordinates.
void DrawRedSquare()
{
  glViewport(0, 0, 4, 4);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 4, 0, 4, -1, 1);
  glColor4d(1, 0, 0, 1);
  glBegin(GL_QUADS);
  glVertex2d(1, 1);
  glVertex2d(3, 1);
  glVertex2d(3, 3);
  glVertex2d(1, 3);
  glEnd();
}

TEST(WglLoading, GLDoesNothingUntilTheFirstContextLoadsOSMesa)
{
  gditest::Dib theDib(gditest::LayoutNamed("32"), 4, -4);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x)
      theDib.Put(x, y, 0x805A3C1E);
  PIXELFORMATDESCRIPTOR theDescriptor{};
  ASSERT_EQ(DescribePixelFormat(theDib.DC(), 2, sizeof theDescriptor, &theDescriptor), 2);
  ASSERT_TRUE(SetPixelFormat(theDib.DC(), 2, &theDescriptor));
  DrawRedSquare();
  EXPECT_EQ(glGetError(), 0u);
  EXPECT_FALSE(tltest::IsLibraryLoaded("libOSMesa.so.8")) << "loaded before any context was made";

  HGLRC theContext = wglCreateContext(theDib.DC());
  ASSERT_TRUE(theContext);
  EXPECT_TRUE(tltest::IsLibraryLoaded("libOSMesa.so.8"));
  ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
  DrawRedSquare();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  for (LONG y = 0; y < 4; ++y) {
    for (LONG x = 0; x < 4; ++x) {
      const bool theInside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(theDib.Word(x, y), theInside ? 0xFFFF0000u : 0x805A3C1Eu) << x << "," << y;
    }
  }
  EXPECT_TRUE(wglDeleteContext(theContext));
}

}  // namespace
