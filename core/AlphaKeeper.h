#pragma once
// The alpha channel of a 32-bit Bitmap within a rectangle, kept aside while
// something that writes alpha draws there (a GDI copy writes its source's
// alpha, or 0), then put back. On a canvas the alpha is the selection, which
// placing a picture leaves as it was. Bitmaps of other depths keep nothing.
//
//   AlphaKeeper theAlpha(inWorld, theBounds);
//   ... GDI copy into inWorld ...
//   theAlpha.Restore();

#include "core/Transform.h"
#include "platform/base/WinTypes.h"

#include <vector>

class Bitmap;

class AlphaKeeper {
public:
  AlphaKeeper(Bitmap& inWorld, const RECT& inRect);
  AlphaKeeper(const AlphaKeeper&) = delete;
  AlphaKeeper& operator=(const AlphaKeeper&) = delete;

  // Puts the kept alpha back (once).
  void Restore();

private:
  // Calls inVisit(word, kept byte) for every pixel of the rectangle.
  template <typename Visit>
  void ForEachPixel(Visit&& inVisit);

  Bitmap& mWorld;
  RECT mRect{};
  std::vector<BYTE> mAlpha;
};

// The GDI road of a placement: Bitmap::CopyFromDCTransformed, the canvas's
// alpha kept where the copy lands. The copy's status.
[[nodiscard]] LONG CopyKeepingAlpha(Bitmap& ioWorld, HDC inSrcDC, const RECT& inSrcRect, const Transform& inTransform);
