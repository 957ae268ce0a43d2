#include "platform/base/SystemText.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

struct SystemTextEntry {
  DWORD mCode;
  std::string_view mText;  // the wording; every answer adds kLineEnd
};

constexpr std::string_view kLineEnd = "\r\n";

// Windows error codes first, then HRESULTs, each part in ascending order (the
// whole table is sorted as unsigned numbers, which the lookup relies on).
// HRESULTs of FACILITY_WIN32 (0x8007xxxx) are answered with the wording of
// the Windows code they carry.
constexpr std::array kSystemTexts = std::to_array<SystemTextEntry>({
  {ERROR_SUCCESS, "The operation completed successfully."},
  {ERROR_INVALID_FUNCTION, "Incorrect function."},
  {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
  {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
  {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
  {ERROR_ACCESS_DENIED, "Access is denied."},
  {ERROR_INVALID_HANDLE, "The handle is invalid."},
  {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
  {ERROR_INVALID_DATA, "The data is invalid."},
  {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
  {ERROR_INVALID_DRIVE, "The system cannot find the drive specified."},
  {ERROR_NO_MORE_FILES, "There are no more files."},
  {ERROR_WRITE_PROTECT, "The media is write protected."},
  {ERROR_NOT_READY, "The device is not ready."},
  {ERROR_SEEK, "The drive cannot locate a specific area or track on the disk."},
  {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
  {ERROR_READ_FAULT, "The system cannot read from the specified device."},
  {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
  {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
  {ERROR_LOCK_VIOLATION,
   "The process cannot access the file because another process has locked a portion of the file."},
  {ERROR_HANDLE_EOF, "Reached the end of the file."},
  {ERROR_HANDLE_DISK_FULL, "The disk is full."},
  {ERROR_NOT_SUPPORTED, "The request is not supported."},
  {ERROR_DUP_NAME,
   "You were not connected because a duplicate name exists on the network. If joining a domain, go to System in "
   "Control Panel to change the computer name and try again. If joining a workgroup, choose another workgroup "
   "name."},
  {ERROR_BAD_NETPATH, "The network path was not found."},
  {ERROR_FILE_EXISTS, "The file exists."},
  {ERROR_CANNOT_MAKE, "The directory or file cannot be created."},
  {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
  {ERROR_BROKEN_PIPE, "The pipe has been ended."},
  {ERROR_OPEN_FAILED, "The system cannot open the device or file specified."},
  {ERROR_BUFFER_OVERFLOW, "The file name is too long."},
  {ERROR_DISK_FULL, "There is not enough space on the disk."},
  {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
  {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
  {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
  {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
  {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
  {ERROR_NEGATIVE_SEEK, "An attempt was made to move the file pointer before the beginning of the file."},
  {ERROR_DIR_NOT_EMPTY, "The directory is not empty."},
  {ERROR_PATH_BUSY, "The path specified cannot be used at this time."},
  {ERROR_NOT_LOCKED, "The segment is already unlocked."},
  {ERROR_BAD_PATHNAME, "The specified path is invalid."},
  {ERROR_BUSY, "The requested resource is in use."},
  {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
  {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
  {ERROR_MORE_DATA, "More data is available."},
  {WAIT_TIMEOUT, "The wait operation timed out."},
  {ERROR_NO_MORE_ITEMS, "No more data is available."},
  {ERROR_DIRECTORY, "The directory name is invalid."},
  {ERROR_NOT_OWNER, "Attempt to release mutex not owned by caller."},
  {ERROR_PARTIAL_COPY, "Only part of a ReadProcessMemory or WriteProcessMemory request was completed."},
  {ERROR_MR_MID_NOT_FOUND, "The system cannot find message text for message number 0x%1 in the message file for %2."},
  {ERROR_INVALID_ADDRESS, "Attempt to access invalid address."},
  {ERROR_ARITHMETIC_OVERFLOW, "Arithmetic result exceeded 32 bits."},
  {ERROR_ABANDONED_WAIT_0, "ERROR_ABANDONED_WAIT_0"},
  {ERROR_NOACCESS, "Invalid access to memory location."},
  {ERROR_INVALID_FLAGS, "Invalid flags."},
  {ERROR_FILE_INVALID, "The volume for a file has been externally altered so that the opened file is no longer valid."},
  {ERROR_NO_TOKEN, "An attempt was made to reference a token that does not exist."},
  {ERROR_BADKEY, "The configuration registry key is invalid."},
  {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
  {ERROR_CANTREAD, "The configuration registry key could not be read."},
  {ERROR_CANTWRITE, "The configuration registry key could not be written."},
  {ERROR_REGISTRY_CORRUPT,
   "The registry is corrupted. The structure of one of the files containing registry data is corrupted, or the "
   "system's memory image of the file is corrupted, or the file could not be recovered because the alternate copy "
   "or log was absent or corrupted."},
  {ERROR_REGISTRY_IO_FAILED,
   "An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, or write out, "
   "or flush, one of the files that contain the system's image of the registry."},
  {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked for deletion."},
  {ERROR_IO_DEVICE, "The request could not be performed because of an I/O device error."},
  {ERROR_MAPPED_ALIGNMENT, "The base address or the file offset specified does not have the proper alignment."},
  {ERROR_NOT_FOUND, "Element not found."},
  {ERROR_NO_SUCH_PRIVILEGE, "A specified privilege does not exist."},
  {ERROR_PRIVILEGE_NOT_HELD, "A required privilege is not held by the client."},
  {ERROR_NO_SUCH_USER, "The specified account does not exist."},
  {ERROR_LOGON_FAILURE, "Logon failure: unknown user name or bad password."},
  {ERROR_ACCOUNT_RESTRICTION,
   "Logon failure: user account restriction.  Possible reasons are blank passwords not allowed, logon hour "
   "restrictions, or a policy restriction has been enforced."},
  {ERROR_NONE_MAPPED, "No mapping between account names and security IDs was done."},
  {ERROR_BAD_IMPERSONATION_LEVEL,
   "Either a required impersonation level was not provided, or the provided impersonation level is invalid."},
  {ERROR_NO_SUCH_DOMAIN, "The specified domain either does not exist or could not be contacted."},
  {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
  {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
  {ERROR_INVALID_PIXEL_FORMAT, "The pixel format is invalid."},

  {static_cast<DWORD>(E_NOTIMPL), "Not implemented"},
  {static_cast<DWORD>(E_NOINTERFACE), "No such interface supported"},
  {static_cast<DWORD>(E_POINTER), "Invalid pointer"},
  {static_cast<DWORD>(E_ABORT), "Operation aborted"},
  {static_cast<DWORD>(E_FAIL), "Unspecified error"},
  {static_cast<DWORD>(E_UNEXPECTED), "Catastrophic failure"},
  {static_cast<DWORD>(DISP_E_UNKNOWNINTERFACE), "Unknown interface."},
  {static_cast<DWORD>(DISP_E_MEMBERNOTFOUND), "Member not found."},
  {static_cast<DWORD>(DISP_E_PARAMNOTFOUND), "Parameter not found."},
  {static_cast<DWORD>(DISP_E_TYPEMISMATCH), "Type mismatch."},
  {static_cast<DWORD>(DISP_E_UNKNOWNNAME), "Unknown name."},
  {static_cast<DWORD>(DISP_E_NONAMEDARGS), "No named arguments."},
  {static_cast<DWORD>(DISP_E_BADVARTYPE), "Bad variable type."},
  {static_cast<DWORD>(DISP_E_EXCEPTION), "Exception occurred."},
  {static_cast<DWORD>(DISP_E_OVERFLOW), "Out of present range."},
  {static_cast<DWORD>(DISP_E_BADINDEX), "Invalid index."},
  {static_cast<DWORD>(DISP_E_UNKNOWNLCID), "Unknown language."},
  {static_cast<DWORD>(DISP_E_ARRAYISLOCKED), "Memory is locked."},
  {static_cast<DWORD>(DISP_E_BADPARAMCOUNT), "Invalid number of parameters."},
  {static_cast<DWORD>(DISP_E_PARAMNOTOPTIONAL), "Parameter not optional."},
  {static_cast<DWORD>(TYPE_E_LIBNOTREGISTERED), "Library not registered."},
  {static_cast<DWORD>(TYPE_E_ELEMENTNOTFOUND), "Element not found."},
  {static_cast<DWORD>(CLASS_E_NOAGGREGATION), "Class does not support aggregation (or class object is remote)"},
  {static_cast<DWORD>(CLASS_E_CLASSNOTAVAILABLE), "ClassFactory cannot supply requested class"},
  {static_cast<DWORD>(REGDB_E_READREGDB), "Could not read key from registry"},
  {static_cast<DWORD>(REGDB_E_WRITEREGDB), "Could not write key to registry"},
  {static_cast<DWORD>(REGDB_E_CLASSNOTREG), "Class not registered"},
  {static_cast<DWORD>(CO_E_CLASSSTRING), "Invalid class string"},
  {static_cast<DWORD>(CO_E_DLLNOTFOUND), "DLL for class not found"},
  {static_cast<DWORD>(CO_E_ERRORINDLL), "Error in the DLL"},
});

static_assert(std::is_sorted(kSystemTexts.begin(), kSystemTexts.end(),
                             [](const SystemTextEntry& inA, const SystemTextEntry& inB) { return inA.mCode < inB.mCode; }));

constexpr DWORD kFacilityWin32Mask = 0xFFFF0000u;
constexpr DWORD kFacilityWin32 = 0x80070000u;

// The wording of a code without its line end; empty when the table has none.
std::string_view FindText(DWORD inCode)
{
  if ((inCode & kFacilityWin32Mask) == kFacilityWin32)
    inCode &= 0x0000FFFFu;
  auto theEntry = std::lower_bound(kSystemTexts.begin(), kSystemTexts.end(), inCode,
                                   [](const SystemTextEntry& inEntry, DWORD inValue) { return inEntry.mCode < inValue; });
  if (theEntry == kSystemTexts.end() || theEntry->mCode != inCode)
    return {};
  return theEntry->mText;
}

}  // namespace

DWORD FormatMessageA(DWORD inFlags, LPCVOID inSource, DWORD inMessageId, DWORD inLanguageId, LPSTR outBuffer,
                     DWORD inSize, void* inArguments)
{
  if ((inFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
      (inFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0 || outBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string_view theText = FindText(inMessageId);
  if (theText.empty()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  // The wording, its line end and a NUL.
  std::size_t theLength = theText.size() + kLineEnd.size();
  char* theTarget = outBuffer;
  if (inFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    theTarget = static_cast<char*>(std::malloc(std::max<std::size_t>(theLength + 1, inSize)));
    if (theTarget == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    *reinterpret_cast<char**>(outBuffer) = theTarget;
  } else if (theLength + 1 > inSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(theTarget, theText.data(), theText.size());
  std::memcpy(theTarget + theText.size(), kLineEnd.data(), kLineEnd.size());
  theTarget[theLength] = '\0';
  return static_cast<DWORD>(theLength);
}

void* LocalFree(void* inMemory)
{
  std::free(inMemory);
  return nullptr;
}

std::string GetSystemText(DWORD inCode)
{
  std::string_view theText = FindText(inCode);
  if (theText.empty())
    return {};
  std::string theAnswer(theText);
  theAnswer += kLineEnd;
  return theAnswer;
}

std::string GetSystemWording(DWORD inCode)
{
  return std::string(FindText(inCode));
}
