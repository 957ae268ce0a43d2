#include "platform/base/LastError.h"

#include "platform/base/WinError.h"

#include <cerrno>

namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;

struct ErrnoMapping {
  int mErrno;
  DWORD mCode;
};

constexpr ErrnoMapping kErrnoMappings[] = {
  {ENOENT, ERROR_FILE_NOT_FOUND},
  {ENOTDIR, ERROR_PATH_NOT_FOUND},
  {ELOOP, ERROR_PATH_NOT_FOUND},
  {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
  {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
  {EACCES, ERROR_ACCESS_DENIED},
  {EPERM, ERROR_ACCESS_DENIED},
  {EROFS, ERROR_WRITE_PROTECT},
  {EBADF, ERROR_INVALID_HANDLE},
  {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
  {EAGAIN, ERROR_SHARING_VIOLATION},
  {EBUSY, ERROR_BUSY},
  {EINVAL, ERROR_INVALID_PARAMETER},
  {ENOSPC, ERROR_DISK_FULL},
  {EDQUOT, ERROR_DISK_FULL},
  {EFBIG, ERROR_DISK_FULL},
  {EEXIST, ERROR_ALREADY_EXISTS},
  {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
  {EISDIR, ERROR_ACCESS_DENIED},
  {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
  {EIO, ERROR_GEN_FAILURE},
  {EPIPE, ERROR_BROKEN_PIPE},
  {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
  {EOVERFLOW, ERROR_ARITHMETIC_OVERFLOW},
  {ETIMEDOUT, WAIT_TIMEOUT},
};
}  // namespace

DWORD GetLastError()
{
  return tLastError;
}

void SetLastError(DWORD inCode)
{
  tLastError = inCode;
}

DWORD WinErrorFromErrno(int inErrno)
{
  if (inErrno == 0)
    return ERROR_SUCCESS;
  for (const ErrnoMapping& theMapping : kErrnoMappings)
    if (theMapping.mErrno == inErrno)
      return theMapping.mCode;
  return ERROR_GEN_FAILURE;
}

DWORD SetLastErrorFromErrno(int inErrno)
{
  DWORD theCode = WinErrorFromErrno(inErrno);
  tLastError = theCode;
  return theCode;
}
