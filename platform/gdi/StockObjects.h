#pragma once
// The stock objects: made once, never deleted, selectable anywhere. Every new
// device context starts with the white brush, the black pen, the system font
// and the default palette selected, and a memory device context with the
// 1x1 monochrome placeholder bitmap, into which nothing is ever drawn.

#include "platform/gdi/DeviceContext.h"

#include <cstdint>

namespace tlgdi {

class StockObjects {
public:
  static const StockObjects& Get();

  // The handle of GetStockObject's index, or 0 for one we do not have.
  std::uint32_t Handle(int inIndex) const;

  std::array<DeviceContext::Selection, DeviceContext::kSlotCount> Defaults(bool inMemory) const;

  bool IsPlaceholder(const BitmapObject* inBitmap) const { return inBitmap == mPlaceholder.mObject.get(); }

private:
  StockObjects();

  DeviceContext::Selection Add(std::shared_ptr<GdiObject> inObject);

  DeviceContext::Selection mWhiteBrush;
  DeviceContext::Selection mBlackBrush;
  DeviceContext::Selection mNullBrush;
  DeviceContext::Selection mWhitePen;
  DeviceContext::Selection mBlackPen;
  DeviceContext::Selection mNullPen;
  DeviceContext::Selection mSystemFont;
  DeviceContext::Selection mDefaultPalette;
  DeviceContext::Selection mPlaceholder;
};

}  // namespace tlgdi
