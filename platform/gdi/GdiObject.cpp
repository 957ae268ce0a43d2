#include "platform/gdi/GdiObject.h"

namespace tlgdi {

bool GdiObject::AddSelection(bool inExclusive)
{
  if (mStock)
    return true;
  std::int32_t theCount = mSelections.load();
  do {
    if (theCount == kDeleted || (inExclusive && theCount != 0))
      return false;
  } while (!mSelections.compare_exchange_weak(theCount, theCount + 1));
  return true;
}

void GdiObject::RemoveSelection()
{
  if (!mStock)
    mSelections.fetch_sub(1);
}

bool GdiObject::ClaimForDeletion()
{
  std::int32_t theFree = 0;
  return mSelections.compare_exchange_strong(theFree, kDeleted);
}

}  // namespace tlgdi
