#include "core/ImageInfoSource.h"

#include "core/EventLog.h"

ImageInfoRecord ImageInfoSource::GetRecord(LONG inIndex)
{
  const bool theInRange = inIndex >= 0 && inIndex < GetCount();
  TL_ASSERT_TEXT(theInRange, "inIndex < GetCount()");
  return theInRange ? mRecords[static_cast<std::size_t>(inIndex)] : ImageInfoRecord{};
}
