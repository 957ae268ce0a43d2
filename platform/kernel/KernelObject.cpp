#include "platform/kernel/KernelObject.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"
#include "platform/kernel/Handles.h"

DWORD KernelObject::Wait(DWORD)
{
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}
