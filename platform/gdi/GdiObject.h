#pragma once
// The base of every object behind a GDI handle.
//
// Selection count: how many device contexts hold the object selected, or
// kDeleted once DeleteObject has claimed it. Selecting and deleting race
// through one atomic word, so an object is never deleted while selected and
// never selected once deleted. A bitmap may only go from 0 to 1.

#include "platform/base/WinTypes.h"

#include <atomic>
#include <cstdint>

namespace tlgdi {

enum class ObjectKind : std::uint8_t {
  kPen = 1,
  kBrush = 2,
  kScreenDC = 3,
  kPalette = 5,
  kFont = 6,
  kBitmap = 7,
  kMemoryDC = 10,
};

class GdiObject {
public:
  explicit GdiObject(ObjectKind inKind) : mKind(inKind) {}
  virtual ~GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  ObjectKind Kind() const { return mKind; }

  // Stock objects live for the whole process and may be selected anywhere.
  bool IsStock() const { return mStock; }
  void MarkStock() { mStock = true; }

  // One more selection; false once deleted, or for a bitmap already selected.
  bool AddSelection(bool inExclusive);
  void RemoveSelection();

  // Claims the object for deletion; false while it is selected.
  bool ClaimForDeletion();

private:
  static constexpr std::int32_t kDeleted = -1;

  const ObjectKind mKind;
  bool mStock = false;
  std::atomic<std::int32_t> mSelections{0};
};

}  // namespace tlgdi
