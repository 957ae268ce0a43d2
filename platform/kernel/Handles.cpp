#include "platform/kernel/Handles.h"

#include "platform/base/LastError.h"
#include "platform/kernel/HandleTable.h"

BOOL CloseHandle(HANDLE inHandle)
{
  std::shared_ptr<KernelObject> theObject = HandleTable::FindAny(inHandle);
  if (!theObject)
    return FALSE;
  KernelObjectType theType = theObject->GetType();
  if (theType == KernelObjectType::kFindSearch) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  theObject.reset();
  // The object goes when its last user lets go of it (possibly right here).
  return HandleTable::Remove(inHandle, theType) ? TRUE : FALSE;
}

DWORD WaitForSingleObject(HANDLE inHandle, DWORD inMilliseconds)
{
  std::shared_ptr<KernelObject> theObject = HandleTable::FindAny(inHandle);
  if (!theObject)
    return WAIT_FAILED;
  return theObject->Wait(inMilliseconds);
}
