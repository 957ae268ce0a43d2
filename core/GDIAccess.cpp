#include "core/GDIAccess.h"

#include "core/EventLog.h"
#include "platform/gdi/Gdi.h"

#include <mutex>

namespace {

// Every selection swap on a device context that may be shared.
std::recursive_mutex gGDILock;

HBITMAP MakePlaceholder()
{
  return CreateBitmap(1, 1, 1, 1, nullptr);
}

}  // namespace

void GDIAccess::ReleaseOnFault(void* inAccess)
{
  static_cast<GDIAccess*>(inAccess)->Release();
}

GDIAccess::GDIAccess(HGDIOBJ inObject)
{
  Set(inObject);
}

GDIAccess::~GDIAccess()
{
  Release();
}

void GDIAccess::Set(HGDIOBJ inObject)
{
  Release();
  DWORD theType = inObject ? GetObjectType(inObject) : 0;
  if (theType == OBJ_BITMAP) {
    mType = theType;
    mHBM = static_cast<HBITMAP>(inObject);
  } else if (theType == OBJ_MEMDC) {
    mType = theType;
    mHDC = static_cast<HDC>(inObject);
  }
}

DWORD GDIAccess::GetType() const
{
  return mType;
}

HBITMAP GDIAccess::TakeHBITMAP()
{
  TL_ASSERT(FALSE);
  if (mType != OBJ_MEMDC || mTempHBM)
    return mHBM;
  if (!mLocked) {
    gGDILock.lock();
    mLocked = true;
    mUndo.Enter(&ReleaseOnFault, this);
  }
  mTempHBM = MakePlaceholder();
  HGDIOBJ theSelected = mTempHBM ? SelectObject(mHDC, mTempHBM) : nullptr;
  if (!theSelected) {
    if (mTempHBM)
      DeleteObject(mTempHBM);
    mTempHBM = nullptr;
    return nullptr;
  }
  mHBM = static_cast<HBITMAP>(theSelected);
  return mHBM;
}

HBITMAP GDIAccess::GetHBITMAP()
{
  if (mType != OBJ_MEMDC || mHBM)
    return mHBM;
  FaultSafeLock theLock(gGDILock);
  HBITMAP thePlaceholder = MakePlaceholder();
  if (!thePlaceholder)
    return nullptr;
  HGDIOBJ theSelected = SelectObject(mHDC, thePlaceholder);
  if (theSelected)
    SelectObject(mHDC, theSelected);
  DeleteObject(thePlaceholder);
  mHBM = static_cast<HBITMAP>(theSelected);
  return mHBM;
}

HDC GDIAccess::GetHDC()
{
  if (mType != OBJ_BITMAP || mHDC)
    return mHDC;
  HDC theDC = CreateCompatibleDC(nullptr);
  if (!theDC)
    return nullptr;
  HGDIOBJ theOld = SelectObject(theDC, mHBM);
  if (!theOld) {
    DeleteDC(theDC);
    return nullptr;
  }
  mHDC = theDC;
  mOldHBM = static_cast<HBITMAP>(theOld);
  mMadeHDC = true;
  return mHDC;
}

void GDIAccess::Release()
{
  if (mTempHBM) {
    SelectObject(mHDC, mHBM);
    DeleteObject(mTempHBM);
  }
  if (mMadeHDC) {
    SelectObject(mHDC, mOldHBM);
    DeleteDC(mHDC);
  }
  mType = 0;
  mHBM = nullptr;
  mTempHBM = nullptr;
  mHDC = nullptr;
  mOldHBM = nullptr;
  mMadeHDC = false;
  if (mLocked) {
    mLocked = false;
    mUndo.Leave();
    gGDILock.unlock();
  }
}
