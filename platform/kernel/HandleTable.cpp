#include "platform/kernel/HandleTable.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <pthread.h>

#include <deque>
#include <mutex>
#include <vector>

namespace {

constexpr std::uint32_t kIndexBits = 18;
constexpr std::uint32_t kGenerationBits = 10;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
constexpr std::uint32_t kTypeShift = kIndexBits + kGenerationBits;
constexpr std::size_t kMaxSlots = std::size_t{1} << kIndexBits;

struct Slot {
  std::shared_ptr<KernelObject> mObject;
  std::uint32_t mGeneration = 0;
};

struct Table {
  std::mutex mLock;
  std::vector<Slot> mSlots;
  // Freed slots are reused oldest first, so a slot's generation turns over as
  // slowly as possible.
  std::deque<std::uint32_t> mFree;
};

Table& TheTable()
{
  static Table* gTable = [] {
    // A fork while another thread holds the lock must not leave the child's
    // table locked for ever.
    pthread_atfork([] { TheTable().mLock.lock(); }, [] { TheTable().mLock.unlock(); },
                   [] { TheTable().mLock.unlock(); });
    return new Table;
  }();
  return *gTable;
}

std::uint32_t Encode(KernelObjectType inType, std::uint32_t inGeneration, std::uint32_t inIndex)
{
  return (static_cast<std::uint32_t>(inType) << kTypeShift) | (inGeneration << kIndexBits) | inIndex;
}

// The slot a handle names when it is live, else null. Caller holds the lock.
Slot* LiveSlot(Table& inTable, HANDLE inHandle)
{
  std::uintptr_t theValue = reinterpret_cast<std::uintptr_t>(inHandle);
  if (theValue > 0xFFFFFFFFu)
    return nullptr;
  std::uint32_t theNumber = static_cast<std::uint32_t>(theValue);
  std::uint32_t theIndex = theNumber & kIndexMask;
  if (theIndex >= inTable.mSlots.size())
    return nullptr;
  Slot& theSlot = inTable.mSlots[theIndex];
  if (!theSlot.mObject ||
      theNumber != Encode(theSlot.mObject->GetType(), theSlot.mGeneration, theIndex))
    return nullptr;
  return &theSlot;
}

std::shared_ptr<KernelObject> Invalid()
{
  SetLastError(ERROR_INVALID_HANDLE);
  return {};
}

template <typename Accept>
std::shared_ptr<KernelObject> RemoveIf(HANDLE inHandle, Accept inAccept)
{
  Table& theTable = TheTable();
  std::lock_guard theGuard(theTable.mLock);
  Slot* theSlot = LiveSlot(theTable, inHandle);
  if (!theSlot || !inAccept(*theSlot->mObject))
    return Invalid();
  std::shared_ptr<KernelObject> theObject = std::move(theSlot->mObject);
  theSlot->mObject.reset();
  theSlot->mGeneration = (theSlot->mGeneration + 1) & kGenerationMask;
  theTable.mFree.push_back(static_cast<std::uint32_t>(theSlot - theTable.mSlots.data()));
  return theObject;
}

}  // namespace

namespace HandleTable {

HANDLE Add(std::shared_ptr<KernelObject> inObject)
{
  Table& theTable = TheTable();
  std::lock_guard theGuard(theTable.mLock);
  std::uint32_t theIndex = 0;
  if (!theTable.mFree.empty()) {
    theIndex = theTable.mFree.front();
    theTable.mFree.pop_front();
  } else if (theTable.mSlots.size() < kMaxSlots) {
    theIndex = static_cast<std::uint32_t>(theTable.mSlots.size());
    theTable.mSlots.emplace_back();
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Slot& theSlot = theTable.mSlots[theIndex];
  KernelObjectType theType = inObject->GetType();
  theSlot.mObject = std::move(inObject);
  std::uint32_t theNumber = Encode(theType, theSlot.mGeneration, theIndex);
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(theNumber));
}

std::shared_ptr<KernelObject> FindAny(HANDLE inHandle)
{
  Table& theTable = TheTable();
  std::lock_guard theGuard(theTable.mLock);
  Slot* theSlot = LiveSlot(theTable, inHandle);
  return theSlot ? theSlot->mObject : Invalid();
}

std::shared_ptr<KernelObject> Find(HANDLE inHandle, KernelObjectType inType)
{
  std::shared_ptr<KernelObject> theObject = FindAny(inHandle);
  if (theObject && theObject->GetType() != inType)
    return Invalid();
  return theObject;
}

std::shared_ptr<KernelObject> RemoveAny(HANDLE inHandle)
{
  return RemoveIf(inHandle, [](const KernelObject&) { return true; });
}

std::shared_ptr<KernelObject> Remove(HANDLE inHandle, KernelObjectType inType)
{
  return RemoveIf(inHandle, [inType](const KernelObject& inObject) { return inObject.GetType() == inType; });
}

}  // namespace HandleTable
