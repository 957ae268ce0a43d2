#pragma once
// Hardware faults as C++ exceptions, inside guarded frames only.
//
// A method frame of a server installs its translator for the calling thread
// with a ScopedFaultTranslator. When that thread then faults (an access
// violation, an integer division by zero, an illegal instruction), the
// signal handler builds a FaultRecord and calls the translator, which throws
// the server's own exception type; the exception leaves the signal handler and
// unwinds from the faulting instruction to the server's catch. Code that may
// fault is compiled with -fnon-call-exceptions, so its frames unwind from any
// instruction.
//
// With no translator on the faulting thread, the handler that was installed
// before ours runs, or the signal's default action (the process dies of the
// signal as usual), so a fault in the host's own code never becomes a C++
// throw through frames that cannot unwind.
//
// The handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL are installed once, by
// the first guard; they run on an alternate stack that each thread gets at its
// first guard (so a stack overflow is caught too), with SA_NODEFER so that a
// later fault on the same thread, after a throw left a handler without
// returning, is caught again.

#include "platform/base/WinTypes.h"

constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005u;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001Du;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008Eu;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008Fu;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090u;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091u;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093u;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094u;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095u;

// How an access violation used its target address (Windows's first
// information word of the exception record).
constexpr DWORD kFaultAccessRead = 0;
constexpr DWORD kFaultAccessWrite = 1;
constexpr DWORD kFaultAccessExecute = 8;

struct FaultRecord {
  DWORD mCode;                // an EXCEPTION_ code
  std::uintptr_t mCodeAddress;   // the faulting instruction
  DWORD mAccess;              // access violations: kFaultAccess...; else 0
  std::uintptr_t mTargetAddress; // access violations: the address used; else 0
  std::uintptr_t mModuleBase;    // load address of the module holding the faulting instruction, 0 if none
};

// Throws the server's exception for the fault. It runs inside the signal
// handler on the faulting thread; a translator that returns lets the fault
// take its default course.
using FaultTranslator = void (*)(const FaultRecord& inFault);

// Sets the calling thread's translator for the guard's lifetime and restores
// the one before it on every exit, normal or by exception.
class ScopedFaultTranslator {
 public:
  explicit ScopedFaultTranslator(FaultTranslator inTranslator);
  ~ScopedFaultTranslator();
  ScopedFaultTranslator(const ScopedFaultTranslator&) = delete;
  ScopedFaultTranslator& operator=(const ScopedFaultTranslator&) = delete;

 private:
  FaultTranslator mPrevious;
};
