#include "platform/gdi/DeviceContext.h"

#include "platform/base/WinError.h"

namespace tlgdi {

namespace {
bool IsIdentity(const XFORM& inXform)
{
  return inXform.eM11 == 1 && inXform.eM12 == 0 && inXform.eM21 == 0 && inXform.eM22 == 1 && inXform.eDx == 0 &&
         inXform.eDy == 0;
}
}  // namespace

const XFORM DeviceContext::kIdentity = {1, 0, 0, 1, 0, 0};

DeviceContext::DeviceContext(bool inMemory, const std::array<Selection, kSlotCount>& inDefaults)
  : GdiObject(inMemory ? ObjectKind::kMemoryDC : ObjectKind::kScreenDC), mSlots(inDefaults)
{
}

std::uint32_t DeviceContext::Select(Slot inSlot, const Selection& inNew, DWORD& outError)
{
  std::lock_guard theGuard(mLock);
  if (mClosed) {
    outError = ERROR_INVALID_HANDLE;
    return 0;
  }
  Selection& theCurrent = mSlots[inSlot];
  const std::uint32_t thePrevious = theCurrent.mHandle;
  if (thePrevious == inNew.mHandle)
    return thePrevious;
  if (!inNew.mObject->AddSelection(inSlot == kBitmapSlot)) {
    outError = inSlot == kBitmapSlot ? ERROR_BUSY : ERROR_INVALID_HANDLE;
    return 0;
  }
  if (theCurrent.mObject)
    theCurrent.mObject->RemoveSelection();
  theCurrent = inNew;
  return thePrevious;
}

DeviceContext::Selection DeviceContext::Current(Slot inSlot) const
{
  std::lock_guard theGuard(mLock);
  return mSlots[inSlot];
}

void DeviceContext::Close()
{
  std::lock_guard theGuard(mLock);
  mClosed = true;
  mPathState = PathState::kNone;
  mPath = Path();
  for (Selection& theSelection : mSlots) {
    if (theSelection.mObject)
      theSelection.mObject->RemoveSelection();
    theSelection = Selection();
  }
}

int DeviceContext::MapMode() const
{
  std::lock_guard theGuard(mLock);
  return mMapMode;
}

int DeviceContext::SetMapMode(int inMode)
{
  std::lock_guard theGuard(mLock);
  const int thePrevious = mMapMode;
  mMapMode = inMode;
  return thePrevious;
}

int DeviceContext::GraphicsMode() const
{
  std::lock_guard theGuard(mLock);
  return mGraphicsMode;
}

int DeviceContext::SetGraphicsMode(int inMode)
{
  std::lock_guard theGuard(mLock);
  if (inMode == GM_COMPATIBLE && !IsIdentity(mTransform))
    return 0;
  const int thePrevious = mGraphicsMode;
  mGraphicsMode = inMode;
  return thePrevious;
}

XFORM DeviceContext::Transform() const
{
  std::lock_guard theGuard(mLock);
  return mTransform;
}

bool DeviceContext::SetTransform(const XFORM& inXform)
{
  std::lock_guard theGuard(mLock);
  if (mGraphicsMode != GM_ADVANCED)
    return false;
  mTransform = inXform;
  return true;
}

void DeviceContext::ResetTransform()
{
  std::lock_guard theGuard(mLock);
  mTransform = kIdentity;
}

COLORREF DeviceContext::SetTextColor(COLORREF inColor)
{
  std::lock_guard theGuard(mLock);
  const COLORREF thePrevious = mTextColor;
  mTextColor = inColor;
  return thePrevious;
}

int DeviceContext::SetBkMode(int inMode)
{
  std::lock_guard theGuard(mLock);
  const int thePrevious = mBkMode;
  mBkMode = inMode;
  return thePrevious;
}

void DeviceContext::BeginPath()
{
  std::lock_guard theGuard(mLock);
  mPathState = PathState::kOpen;
  mPath = Path();
}

bool DeviceContext::IsPathOpen() const
{
  std::lock_guard theGuard(mLock);
  return mPathState == PathState::kOpen;
}

bool DeviceContext::AddToPath(const Path& inPath)
{
  std::lock_guard theGuard(mLock);
  if (mPathState != PathState::kOpen)
    return false;
  mPath.Append(inPath);
  return true;
}

bool DeviceContext::EndPath()
{
  std::lock_guard theGuard(mLock);
  if (mPathState != PathState::kOpen)
    return false;
  mPathState = PathState::kClosed;
  return true;
}

bool DeviceContext::TakePath(Path& outPath)
{
  std::lock_guard theGuard(mLock);
  if (mPathState != PathState::kClosed)
    return false;
  outPath = std::move(mPath);
  mPath = Path();
  mPathState = PathState::kNone;
  return true;
}

DeviceContext::DrawState DeviceContext::ForDrawing() const
{
  std::lock_guard theGuard(mLock);
  DrawState theState;
  theState.mBitmap = std::static_pointer_cast<BitmapObject>(mSlots[kBitmapSlot].mObject);
  theState.mTransform = mTransform;
  theState.mGraphicsMode = mGraphicsMode;
  theState.mPen = mSlots[kPenSlot].mObject;
  theState.mBrush = mSlots[kBrushSlot].mObject;
  theState.mFont = mSlots[kFontSlot].mObject;
  theState.mTextColor = mTextColor;
  theState.mBkMode = mBkMode;
  return theState;
}

}  // namespace tlgdi
