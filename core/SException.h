#pragma once
// The exception a hardware fault becomes inside a guarded call.
//
// A method frame runs its body with GuardedCall (platform/faults/Faults.h)
// and TranslateSystemException as the translator; an access violation, an
// integer division by zero or an illegal instruction anywhere inside the
// body, inside C library routines and C dependencies too, is then thrown out
// of GuardedCall as an SException, which the frame catches and reports in one
// sentence with the faulting address, the address used and this library's
// load address:
//
//   try {
//     return GuardedCall(TranslateSystemException, [&] {
//       ...
//       return S_OK;
//     });
//   } catch (SException& theFault) {
//     return LogFatalEvent(theFault.GetMessage(__FILE__, __LINE__).c_str(), EVENTLOG_ERROR_TYPE);
//   }
//
// An operation's Run, called inside such a body, guards its work the same
// way and so gets the faults of that work: the innermost guarded call catches.
// The frames a fault skips run no destructors (their memory leaks); the
// named mutexes, impersonations and GDI locks they held are given back.
//
// The older shape, a ScopedFaultTranslator inside the try block, still
// translates, but only faults whose every frame up to the catch can unwind:
// a fault inside memcpy or strlen called from a frame with destructors or a
// try block ends the process instead.
//
// Addresses print with at least eight hexadecimal digits ("0x%08lx" of a
// 32-bit address); a 64-bit address prints in full.

#include "platform/base/WinTypes.h"
#include "platform/faults/Faults.h"

#include <cstdint>
#include <string>

class SException {
public:
  // inWriteFlag: for an access violation that was not a read, how the address
  // was used (non-zero); else 0.
  SException(DWORD inCode, std::uintptr_t inCodeAddress, DWORD inReadFlag, DWORD inWriteFlag,
             std::uintptr_t inTargetAddress);

  // One sentence naming the faulting address and the address used (or the
  // code), kept as the message and returned.
  const std::string& Describe();
  // Describe, followed by "System Error caught at line <inLine> of <inFile>.
  // Base at 0x...." when the two together stay within 255 characters.
  const std::string& GetMessage(const char* inFile, LONG inLine);

  DWORD GetCode() const { return mCode; }
  std::uintptr_t GetCodeAddress() const { return mCodeAddress; }
  DWORD GetReadFlag() const { return mReadFlag; }
  DWORD GetWriteFlag() const { return mWriteFlag; }
  std::uintptr_t GetTargetAddress() const { return mTargetAddress; }
  std::uintptr_t GetModuleBase() const { return mModuleBase; }

private:
  DWORD mCode;
  std::uintptr_t mCodeAddress;
  DWORD mReadFlag;
  DWORD mWriteFlag;
  std::uintptr_t mTargetAddress;
  std::uintptr_t mModuleBase;
  std::string mMessage;
};

// The translator: throws the SException of the fault.
[[noreturn]] void TranslateSystemException(const FaultRecord& inFault);
