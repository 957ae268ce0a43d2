#include "tests/platform/GdiTestPng.h"

#include <cairo.h>

#include <cstring>

namespace gditest {

bool WritePng(const Dib& inDib, const std::string& inPath)
{
  cairo_surface_t* theSurface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, inDib.Width(), inDib.Height());
  cairo_surface_flush(theSurface);
  std::uint8_t* theData = cairo_image_surface_get_data(theSurface);
  const int theStride = cairo_image_surface_get_stride(theSurface);
  for (LONG y = 0; y < inDib.Height(); ++y)
    for (LONG x = 0; x < inDib.Width(); ++x) {
      const std::uint32_t theColor = inDib.Get(x, y) & 0x00FFFFFFu;
      std::memcpy(theData + y * theStride + 4 * x, &theColor, 4);
    }
  cairo_surface_mark_dirty(theSurface);
  const bool theWritten = cairo_surface_write_to_png(theSurface, inPath.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(theSurface);
  return theWritten;
}

}  // namespace gditest
