#pragma once
// Both faces of one GDI object: given a bitmap or a memory device context,
// GDIAccess hands out the device context and the bitmap that go with it,
// making a memory device context for a bitmap, or finding the bitmap selected
// in a device context, as needed. What it makes it undoes in Release (run by
// the destructor too). Swaps of the bitmap selected in a device context happen
// under one process-wide lock, so threads that share a device context never
// see its placeholder. A fault that skips the object on its way to a guarded
// call (platform/faults/Faults.h) releases it too.

#include "platform/base/WinTypes.h"
#include "platform/faults/Faults.h"

class GDIAccess {
public:
  explicit GDIAccess(HGDIOBJ inObject = nullptr);
  virtual ~GDIAccess();
  GDIAccess(const GDIAccess&) = delete;
  GDIAccess& operator=(const GDIAccess&) = delete;

  // Releases the current object, then takes inObject.
  virtual void Set(HGDIOBJ inObject);
  // OBJ_BITMAP, OBJ_MEMDC, or 0 for no object (or one of another kind).
  virtual DWORD GetType() const;
  // The bitmap, freed from its device context until Release so that it can be
  // selected elsewhere (the context holds a placeholder meanwhile). Reported
  // as an assertion at every call: callers should not need it.
  virtual HBITMAP TakeHBITMAP();
  // The bitmap: the object itself, or the one selected in the device context.
  virtual HBITMAP GetHBITMAP();
  // The device context: the object itself, or a memory device context made
  // for the bitmap (null when the bitmap cannot be selected into it).
  virtual HDC GetHDC();
  // Undoes every selection and deletes what was made; safe to run twice.
  virtual void Release();

private:
  static void ReleaseOnFault(void* inAccess);

  DWORD mType = 0;
  HBITMAP mHBM = nullptr;
  HBITMAP mTempHBM = nullptr;  // a 1x1 monochrome placeholder
  HDC mHDC = nullptr;
  HBITMAP mOldHBM = nullptr;  // selected in the device context this object made
  bool mMadeHDC = false;
  bool mLocked = false;  // holds the process-wide GDI lock
  FaultUndo mUndo;       // entered while it holds the lock
};
