#pragma once
// Hardware faults as C++ exceptions, inside guarded frames only.
//
// A method frame of a server runs its body with GuardedCall, naming its
// translator for the calling thread. When that thread then faults (an access
// violation, an integer division by zero, an illegal instruction), the
// signal handler builds a FaultRecord and calls the translator, which throws
// the server's own exception type; the handler catches it, jumps back to the
// recovery point GuardedCall keeps in its own frame, and the exception is
// thrown again from there, so it reaches the frame's catch wherever the fault
// happened: inside a C library routine declared not to throw (memcpy,
// strlen ...), inside a C dependency, inside a noexcept function, in frames
// that could never be unwound.
//
// The frames between the fault and the recovery point are skipped: they run
// no destructors, and the memory they own leaks. What they hold that others
// wait for is given back before the jump: each holder of a lock or of an
// impersonation keeps a FaultUndo entry while it holds (FaultSafeLock for a
// plain mutex), and the handler runs the entries taken since the recovery
// point, newest first. The translator slot and the C++ runtime's record of
// exceptions being handled go back to what they were at the recovery point,
// and the thread's signal mask to what it was at the outermost guarded call
// (a fault inside the handler of another signal leaves that handler, which
// blocked its signal). The mask is read once, by the outermost call: guarded
// calls are never made from signal handlers, and code that changes the mask
// under a guard makes no guarded call until it has put the mask back.
// Guarded calls nest; the innermost gets the fault, and a try block inside
// its body does not see it.
//
// A ScopedFaultTranslator alone (no guarded call on the thread) sets the
// translator without a recovery point: its exception is thrown from the
// handler and unwinds from the faulting instruction, which reaches the catch
// only through frames that have an unwind entry for every call on the way.
// Code that may fault is compiled with -fnon-call-exceptions, so its own
// instructions have one.
//
// With no translator on the faulting thread, the handler that was installed
// before ours runs, or the signal's default action (the process dies of the
// signal as usual), so a fault in the host's own code never becomes a C++
// throw through frames that cannot unwind.
//
// The handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL are installed once, by
// the first guard; they run on an alternate stack that each thread gets at its
// first guard (so a stack overflow is caught too), with SA_NODEFER so that a
// later fault on the same thread, after a throw or a jump left a handler without
// returning, is caught again.

#include "platform/base/WinTypes.h"

#include <optional>
#include <type_traits>
#include <utility>

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
// take its default course. A fault inside the translator takes it too.
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

// The core of GuardedCall: runs inBody(inContext) under inTranslator with a
// recovery point; a fault below it comes out as the translator's exception.
void RunGuarded(FaultTranslator inTranslator, void (*inBody)(void*), void* inContext);

// Runs inBody() with inTranslator as the calling thread's translator and a
// recovery point, and returns what it returns; a fault inside comes out of
// GuardedCall as the translator's exception. The previous translator is back
// on every exit.
template <typename Body>
auto GuardedCall(FaultTranslator inTranslator, Body&& inBody)
{
  using Result = std::invoke_result_t<Body&>;
  if constexpr (std::is_void_v<Result>) {
    auto theCall = [&] { inBody(); };
    RunGuarded(inTranslator, [](void* inCall) { (*static_cast<decltype(theCall)*>(inCall))(); }, &theCall);
  } else {
    std::optional<Result> theResult;
    auto theCall = [&] { theResult.emplace(inBody()); };
    RunGuarded(inTranslator, [](void* inCall) { (*static_cast<decltype(theCall)*>(inCall))(); }, &theCall);
    return std::move(*theResult);
  }
}

// What a frame holds that a fault's jump must still give back: an entry of
// the calling thread's undo list. A holder enters it when it takes the lock
// (or the impersonation) and leaves it when it gives it back; a jump that
// skips the holder runs inUndo(inOwner), the entry left first. The entry, and
// so its holder, belongs to one thread.
class FaultUndo {
 public:
  using Action = void (*)(void* inOwner);

  FaultUndo() = default;
  ~FaultUndo() { Leave(); }
  FaultUndo(const FaultUndo&) = delete;
  FaultUndo& operator=(const FaultUndo&) = delete;

  // Enters the entry (again, as the newest, when it was in).
  void Enter(Action inUndo, void* inOwner);
  // Takes it out; nothing when it is not in.
  void Leave();

 private:
  friend struct FaultUndoList;

  Action mUndo = nullptr;
  void* mOwner = nullptr;
  FaultUndo* mOlder = nullptr;
  FaultUndo* mNewer = nullptr;
  unsigned long mSerial = 0;  // when it was entered; 0 while it is not in
};

// std::lock_guard for a mutex that a fault's jump releases too: for every
// lock held across a call that may fault under a guard.
template <typename Mutex>
class FaultSafeLock {
 public:
  explicit FaultSafeLock(Mutex& inMutex) : mMutex(inMutex)
  {
    mMutex.lock();
    mUndo.Enter([](void* inOwner) { static_cast<Mutex*>(inOwner)->unlock(); }, &mMutex);
  }
  ~FaultSafeLock()
  {
    mUndo.Leave();
    mMutex.unlock();
  }
  FaultSafeLock(const FaultSafeLock&) = delete;
  FaultSafeLock& operator=(const FaultSafeLock&) = delete;

 private:
  Mutex& mMutex;
  FaultUndo mUndo;
};
