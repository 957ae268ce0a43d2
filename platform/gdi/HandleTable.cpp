#include "platform/gdi/HandleTable.h"

namespace tlgdi {

namespace {
constexpr std::uint32_t kSlotMask = 0xFFFF;
constexpr std::uint32_t kKindShift = 16;
constexpr std::uint32_t kGenerationShift = 20;
constexpr std::uint32_t kLastGeneration = 0x7FF;
}  // namespace

HandleTable& HandleTable::Get()
{
  // Never destroyed: threads may still look handles up while the process ends.
  static HandleTable* const gTable = new HandleTable;
  return *gTable;
}

std::uint32_t HandleTable::MakeHandle(std::uint32_t inSlot, const Slot& inEntry)
{
  return (inEntry.mGeneration << kGenerationShift) |
         (static_cast<std::uint32_t>(inEntry.mObject->Kind()) << kKindShift) | inSlot;
}

std::uint32_t HandleTable::Add(std::shared_ptr<GdiObject> inObject)
{
  std::lock_guard theGuard(mLock);
  std::uint32_t theSlot;
  if (!mFree.empty()) {
    theSlot = mFree.front();
    mFree.pop_front();
  } else if (mSlots.size() < kSlotCount) {
    theSlot = static_cast<std::uint32_t>(mSlots.size());
    mSlots.emplace_back();
  } else {
    return 0;
  }
  mSlots[theSlot].mObject = std::move(inObject);
  return MakeHandle(theSlot, mSlots[theSlot]);
}

const HandleTable::Slot* HandleTable::Locate(std::uint32_t inHandle) const
{
  const std::uint32_t theSlot = inHandle & kSlotMask;
  if (theSlot >= mSlots.size())
    return nullptr;
  const Slot& theEntry = mSlots[theSlot];
  if (!theEntry.mObject || MakeHandle(theSlot, theEntry) != inHandle)
    return nullptr;
  return &theEntry;
}

std::shared_ptr<GdiObject> HandleTable::Find(std::uint32_t inHandle) const
{
  std::lock_guard theGuard(mLock);
  const Slot* theEntry = Locate(inHandle);
  return theEntry ? theEntry->mObject : nullptr;
}

bool HandleTable::Remove(std::uint32_t inHandle)
{
  std::shared_ptr<GdiObject> theObject;  // released after the lock
  {
    std::lock_guard theGuard(mLock);
    if (!Locate(inHandle))
      return false;
    const std::uint32_t theSlot = inHandle & kSlotMask;
    Slot& theEntry = mSlots[theSlot];
    theObject = std::move(theEntry.mObject);
    theEntry.mObject.reset();
    theEntry.mGeneration = theEntry.mGeneration == kLastGeneration ? 1 : theEntry.mGeneration + 1;
    mFree.push_back(theSlot);
  }
  return true;
}

}  // namespace tlgdi
