#pragma once
// A pen behind an HPEN: style, width and colour. Outlines are drawn with it.

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"

namespace tlgdi {

class PenObject : public GdiObject {
public:
  static constexpr int kSolid = 0;
  static constexpr int kNull = 5;

  PenObject(int inStyle, int inWidth, COLORREF inColor)
    : GdiObject(ObjectKind::kPen), mStyle(inStyle), mWidth(inWidth), mColor(inColor)
  {
  }

  int Style() const { return mStyle; }
  int Width() const { return mWidth; }
  COLORREF Color() const { return mColor; }

private:
  const int mStyle;
  const int mWidth;
  const COLORREF mColor;
};

}  // namespace tlgdi
