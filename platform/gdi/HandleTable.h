#pragma once
// The process-wide table behind every GDI handle.
//
// A handle is a 32-bit number: bits 0-15 are the slot, bits 16-19 the object
// type and bits 20-30 a generation count (1 to 2047) that moves on each time
// the slot is freed; bit 31 stays clear, so that a handle is a positive
// signed number too. Freed slots are reused oldest first, so a stale handle
// can only become valid again after some 65536 x 2047 deletions. A lookup
// checks slot, generation and type, and hands out a shared reference to the
// object, taken under a lock held for no longer than that copy.

#include "platform/gdi/GdiObject.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace tlgdi {

class HandleTable {
public:
  static HandleTable& Get();

  // The new object's handle; 0 when every slot is in use.
  std::uint32_t Add(std::shared_ptr<GdiObject> inObject);

  // The object of a valid handle, else null.
  std::shared_ptr<GdiObject> Find(std::uint32_t inHandle) const;

  // Frees the handle's slot; false when the handle is not valid.
  bool Remove(std::uint32_t inHandle);

  static constexpr std::uint32_t kSlotCount = 0x10000;

private:
  struct Slot {
    std::uint32_t mGeneration = 1;
    std::shared_ptr<GdiObject> mObject;
  };

  static std::uint32_t MakeHandle(std::uint32_t inSlot, const Slot& inEntry);
  // The slot of a valid handle, else nullptr; call with mLock held.
  const Slot* Locate(std::uint32_t inHandle) const;

  mutable std::mutex mLock;
  std::vector<Slot> mSlots;
  std::deque<std::uint32_t> mFree;
};

}  // namespace tlgdi
