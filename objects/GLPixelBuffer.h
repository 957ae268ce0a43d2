#pragma once
// A pattern as an OpenGL texture. The texture is the top-left corner of a GDI
// bitmap, as large as the biggest powers of two that fit the bitmap's sides
// (and the implementation's largest texture), copied without scaling and
// rebuilt as bytes R, G, B, 255 whatever the bitmap's depth, so that the
// pattern shows in its own colours under GL_DECAL. Made with a context
// current on the calling thread.

#include "core/Bitmap.h"

#include <GL/gl.h>

class GLPixelBuffer {
public:
  // The status when the converted pixels cannot be locked.
  static constexpr LONG kCannotLock = -110;

  // Loads the bitmap (reached through inDC for the copy) and makes, binds
  // and answers one texture; 0 on failure, with the status or Windows error
  // set.
  GLuint MakeTexture(HBITMAP inBitmap, HDC inDC);

  // Mac-style, 0 = no error.
  LONG GetStatus() const { return mStatus; }
  // A Windows error of reading or copying the bitmap, 0 = none.
  LONG GetWindowsError() const { return mWindowsError; }
  LONG GetWidth() const { return mWidth; }
  LONG GetHeight() const { return mHeight; }

private:
  // The corner of the bitmap into mBitmap.
  bool Load(HBITMAP inBitmap, HDC inDC, GLint inMaxSize);
  // Rewrites the locked pixels as R, G, B, 255.
  void ConvertToRGBA(const LockedPixels& inPixels);

  LONG mStatus = 0;
  LONG mWindowsError = 0;
  Bitmap mBitmap;
  LONG mWidth = 0;
  LONG mHeight = 0;
};
