// OSMesa is loaded by the first OpenGL context, not with the platform
// library: this program links no OpenGL of its own.

#include "platform/gdi/Gdi.h"
#include "platform/wgl/Wgl.h"
#include "tests/platform/GdiTestDibs.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

bool MesaLoaded()
{
  void* theLibrary = dlopen("libOSMesa.so.8", RTLD_NOW | RTLD_NOLOAD);
  if (theLibrary)
    dlclose(theLibrary);
  return theLibrary;
}

TEST(WglLoading, TheFirstContextLoadsOSMesaAndItsPixelsComeBack)
{
  gditest::Dib theDib(gditest::LayoutNamed("32"), 4, -4);
  const auto theFill = [&](std::uint32_t inColor) {
    for (LONG y = 0; y < 4; ++y)
      for (LONG x = 0; x < 4; ++x)
        theDib.Put(x, y, inColor);
  };
  theFill(0x805A3C1E);
  PIXELFORMATDESCRIPTOR theDescriptor{};
  ASSERT_EQ(DescribePixelFormat(theDib.DC(), 2, sizeof theDescriptor, &theDescriptor), 2);
  ASSERT_TRUE(SetPixelFormat(theDib.DC(), 2, &theDescriptor));
  EXPECT_FALSE(MesaLoaded()) << "loaded before any context was made";

  HGLRC theContext = wglCreateContext(theDib.DC());
  ASSERT_TRUE(theContext);
  EXPECT_TRUE(MesaLoaded());
  // Seeding and copying back run OSMesa's own GL calls.
  ASSERT_TRUE(wglMakeCurrent(theDib.DC(), theContext));
  theFill(0);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x)
      ASSERT_EQ(theDib.Word(x, y), 0x805A3C1Eu) << x << "," << y;
  EXPECT_TRUE(wglDeleteContext(theContext));
}

}  // namespace
