#include "core/SException.h"

#include "platform/base/Numbers.h"
#include "platform/kernel/Modules.h"

#include <cinttypes>

namespace {

constexpr std::size_t kMaxMessage = 255;

// This library's load address, taken when the library is loaded so that the
// signal handler never has to look it up.
std::uintptr_t LoadAddress()
{
  HMODULE theModule = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&LoadAddress), &theModule))
    return 0;
  return reinterpret_cast<std::uintptr_t>(theModule);
}

const std::uintptr_t gModuleBase = LoadAddress();

}  // namespace

SException::SException(DWORD inCode, std::uintptr_t inCodeAddress, DWORD inReadFlag, DWORD inWriteFlag,
                       std::uintptr_t inTargetAddress)
    : mCode(inCode),
      mCodeAddress(inCodeAddress),
      mReadFlag(inReadFlag),
      mWriteFlag(inWriteFlag),
      mTargetAddress(inTargetAddress),
      mModuleBase(gModuleBase)
{
}

const std::string& SException::Describe()
{
  if (mReadFlag)
    mMessage = FormatC("Code at 0x%08" PRIxPTR " attempted to read from 0x%08" PRIxPTR ". ", mCodeAddress,
                       mTargetAddress);
  else if (!mWriteFlag)
    mMessage = FormatC("Code at 0x%08" PRIxPTR " caused a System Exception 0x%08" PRIx32 ". ", mCodeAddress, mCode);
  else
    mMessage = FormatC("Code at 0x%08" PRIxPTR " attempted to write to 0x%08" PRIxPTR ". ", mCodeAddress,
                       mTargetAddress);
  return mMessage;
}

const std::string& SException::GetMessage(const char* inFile, LONG inLine)
{
  Describe();
  std::string theWhere = FormatC("System Error caught at line %" PRId32 " of %s. Base at 0x%08" PRIxPTR ".", inLine,
                                 inFile ? inFile : "", mModuleBase);
  if (mMessage.size() + theWhere.size() <= kMaxMessage)
    mMessage += theWhere;
  return mMessage;
}

void TranslateSystemException(const FaultRecord& inFault)
{
  bool theViolation = inFault.mCode == EXCEPTION_ACCESS_VIOLATION;
  DWORD theAccess = theViolation ? inFault.mAccess : 0;
  throw SException(inFault.mCode, inFault.mCodeAddress, theViolation && theAccess == kFaultAccessRead ? 1 : 0,
                   theAccess, theViolation ? inFault.mTargetAddress : 0);
}
