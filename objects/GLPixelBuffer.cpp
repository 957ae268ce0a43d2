#include "objects/GLPixelBuffer.h"

#include "core/EventLog.h"
#include "platform/base/LastError.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// The largest power of two not above inSide (at least 1), nor above inMax.
LONG TextureSide(LONG inSide, GLint inMax)
{
  const auto theSide = static_cast<LONG>(std::bit_floor(static_cast<std::uint32_t>(std::max<LONG>(inSide, 1))));
  return std::min<LONG>(theSide, std::max<GLint>(inMax, 1));
}

}  // namespace

GLuint GLPixelBuffer::MakeTexture(HBITMAP inBitmap, HDC inDC)
{
  GLint theMaxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &theMaxSize);
  if (!Load(inBitmap, inDC, theMaxSize))
    return 0;
  LockedPixels thePixels;
  if (!mBitmap.LockPixels(thePixels)) {
    mStatus = kCannotLock;
    return 0;
  }
  ConvertToRGBA(thePixels);
  GLuint theTexture = 0;
  glGenTextures(1, &theTexture);
  glBindTexture(GL_TEXTURE_2D, theTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, thePixels.mRowBytes / 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, mWidth, mHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, thePixels.mBase);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  mBitmap.UnlockPixels();
  return theTexture;
}

bool GLPixelBuffer::Load(HBITMAP inBitmap, HDC inDC, GLint inMaxSize)
{
  BITMAP theDescription{};
  if (GetObjectA(inBitmap, sizeof theDescription, &theDescription) != static_cast<int>(sizeof theDescription)) {
    mWindowsError = static_cast<LONG>(GetLastError());
    return false;
  }
  mWidth = TextureSide(theDescription.bmWidth, inMaxSize);
  mHeight = TextureSide(theDescription.bmHeight, inMaxSize);
  LONG theStatus = mBitmap.Create(mWidth, mHeight, 32, nullptr);
  if (theStatus == 0) {
    const RECT theCorner{0, 0, mWidth, mHeight};
    theStatus = mBitmap.CopyFromDC(inDC, theCorner, theCorner);
  }
  mWindowsError = theStatus;
  return theStatus == 0;
}

void GLPixelBuffer::ConvertToRGBA(const LockedPixels& inPixels)
{
  const DWORD* theMasks = nullptr;
  const LONG* theShifts = nullptr;
  const bool theKnown = mBitmap.GetChannelMasks(&theMasks, &theShifts);
  TL_ASSERT_TEXT(theKnown && inPixels.mPixSize == 32, "masks && shifts");
  if (!theKnown || inPixels.mPixSize != 32)
    return;
  for (LONG y = 0; y < mHeight; ++y) {
    BYTE* theRow = inPixels.mBase + static_cast<std::ptrdiff_t>(y) * inPixels.mRowBytes;
    for (LONG x = 0; x < mWidth; ++x) {
      DWORD theWord;
      std::memcpy(&theWord, theRow + 4 * x, 4);
      for (int c = 0; c < 3; ++c)
        theRow[4 * x + c] = static_cast<BYTE>((theWord & theMasks[c]) >> theShifts[c]);
      theRow[4 * x + 3] = 255;
    }
  }
}
