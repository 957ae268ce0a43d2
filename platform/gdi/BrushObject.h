#pragma once
// A brush behind an HBRUSH: a solid colour, or the null brush that paints
// nothing.

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiObject.h"

namespace tlgdi {

class BrushObject : public GdiObject {
public:
  BrushObject(bool inNull, COLORREF inColor) : GdiObject(ObjectKind::kBrush), mNull(inNull), mColor(inColor) {}

  bool IsNull() const { return mNull; }
  COLORREF Color() const { return mColor; }

private:
  const bool mNull;
  const COLORREF mColor;
};

}  // namespace tlgdi
