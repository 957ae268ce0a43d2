// A GDI object selected into a device context for a scope, then deselected
// and deleted.

#pragma once

#include "platform/gdi/Gdi.h"

namespace gditest {

class Use {
public:
  Use(HDC inDC, HGDIOBJ inObject) : mDC(inDC), mObject(inObject), mOld(SelectObject(inDC, inObject)) {}
  ~Use()
  {
    SelectObject(mDC, mOld);
    DeleteObject(mObject);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

private:
  HDC mDC;
  HGDIOBJ mObject;
  HGDIOBJ mOld;
};

}  // namespace gditest
