#include "platform/faults/Faults.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <mutex>

#if !defined(__x86_64__)
#error "fault records are read from the x86-64 machine context"
#endif

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr std::size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// The actions that were in place before ours, to pass untranslated faults on to.
struct sigaction gPrevious[kSignalCount];

// The calling thread's translator, innermost recovery point and undo list.
// Initial-exec TLS needs no allocation on first use, so the signal handler
// may read it.
__attribute__((tls_model("initial-exec"))) thread_local FaultTranslator tTranslator = nullptr;
struct RecoveryPoint;
__attribute__((tls_model("initial-exec"))) thread_local RecoveryPoint* tRecovery = nullptr;
__attribute__((tls_model("initial-exec"))) thread_local FaultUndo* tNewestUndo = nullptr;
__attribute__((tls_model("initial-exec"))) thread_local unsigned long tUndoSerial = 0;

// The C++ runtime's per-thread record of exceptions (the Itanium C++ ABI's
// __cxa_eh_globals): those being handled, newest first, and the number
// thrown and not yet caught. Frames a jump skips may have changed both.
struct ExceptionsInFlight {
  void* mCaught;
  unsigned int mUncaught;
};

ExceptionsInFlight& TheExceptionsInFlight()
{
  return *reinterpret_cast<ExceptionsInFlight*>(abi::__cxa_get_globals());
}

// Where a fault inside a guarded call comes back to, in that call's frame.
struct RecoveryPoint {
  explicit RecoveryPoint(FaultTranslator inTranslator)
      : mOuter(tRecovery), mTranslatorBefore(tTranslator), mUndoMark(tUndoSerial), mExceptions(TheExceptionsInFlight())
  {
    // The signal mask is read by the outermost point only (see Faults.h).
    if (mOuter)
      mMask = mOuter->mMask;
    else
      pthread_sigmask(SIG_BLOCK, nullptr, &mMask);
    tRecovery = this;
    tTranslator = inTranslator;
  }
  ~RecoveryPoint()
  {
    tRecovery = mOuter;
    tTranslator = mTranslatorBefore;
  }
  RecoveryPoint(const RecoveryPoint&) = delete;
  RecoveryPoint& operator=(const RecoveryPoint&) = delete;

  sigjmp_buf mJump;
  RecoveryPoint* const mOuter;
  const FaultTranslator mTranslatorBefore;
  const unsigned long mUndoMark;  // undo entries entered later belong to the guarded call
  const ExceptionsInFlight mExceptions;
  sigset_t mMask;                 // the thread's signal mask at the outermost guarded call
  std::exception_ptr mFault;      // the translator's exception, set before the jump
};

}  // namespace

// The calling thread's undo list, newest entry first.
struct FaultUndoList {
  // Runs and takes out the entries entered after inMark, newest first. Runs
  // in the signal handler: the skipped frames that hold the entries are
  // still intact below it (or on the other side of the alternate stack).
  static void UndoSince(unsigned long inMark)
  {
    while (tNewestUndo && tNewestUndo->mSerial > inMark) {
      FaultUndo& theEntry = *tNewestUndo;
      theEntry.Leave();
      theEntry.mUndo(theEntry.mOwner);
    }
  }
};

void FaultUndo::Enter(Action inUndo, void* inOwner)
{
  Leave();
  mUndo = inUndo;
  mOwner = inOwner;
  mSerial = ++tUndoSerial;
  mOlder = tNewestUndo;
  if (mOlder)
    mOlder->mNewer = this;
  tNewestUndo = this;
}

void FaultUndo::Leave()
{
  if (!mSerial)
    return;
  if (mNewer)
    mNewer->mOlder = mOlder;
  else
    tNewestUndo = mOlder;
  if (mOlder)
    mOlder->mNewer = mNewer;
  mOlder = mNewer = nullptr;
  mSerial = 0;
}

namespace {

// The alternate signal stack of one thread, made at its first guard and freed
// when the thread ends. A thread that already has an alternate stack keeps it.
class AlternateStack {
 public:
  AlternateStack()
  {
    stack_t theCurrent{};
    if (sigaltstack(nullptr, &theCurrent) != 0 || !(theCurrent.ss_flags & SS_DISABLE))
      return;
    std::size_t thePage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t theMinimum = static_cast<std::size_t>(std::max<long>(sysconf(_SC_SIGSTKSZ), MINSIGSTKSZ));
    // The translator throws from this stack: the unwinder and a sanitizer
    // build need far more than the minimum.
    mSize = std::max<std::size_t>(theMinimum * 4, 128 * 1024);
    mSize = (mSize + thePage - 1) / thePage * thePage;
    // One inaccessible page below the stack turns an overflow into a fault.
    void* theBlock = mmap(nullptr, mSize + thePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (theBlock == MAP_FAILED)
      return;
    mprotect(theBlock, thePage, PROT_NONE);
    stack_t theStack{};
    theStack.ss_sp = static_cast<char*>(theBlock) + thePage;
    theStack.ss_size = mSize;
    if (sigaltstack(&theStack, nullptr) != 0) {
      munmap(theBlock, mSize + thePage);
      return;
    }
    mBlock = theBlock;
    mGuardSize = thePage;
  }

  ~AlternateStack()
  {
    if (!mBlock)
      return;
    stack_t theOff{};
    theOff.ss_flags = SS_DISABLE;
    sigaltstack(&theOff, nullptr);
    munmap(mBlock, mSize + mGuardSize);
  }

  AlternateStack(const AlternateStack&) = delete;
  AlternateStack& operator=(const AlternateStack&) = delete;

 private:
  void* mBlock = nullptr;
  std::size_t mSize = 0;
  std::size_t mGuardSize = 0;
};

DWORD FloatingPointCode(int inCode)
{
  switch (inCode) {
    case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
    case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
    case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
    case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
    case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
    default: return EXCEPTION_FLT_INVALID_OPERATION;
  }
}

FaultRecord MakeRecord(int inSignal, const siginfo_t& inInfo, const ucontext_t& inContext)
{
  const greg_t* theRegisters = inContext.uc_mcontext.gregs;
  FaultRecord theFault{};
  theFault.mCodeAddress = static_cast<std::uintptr_t>(theRegisters[REG_RIP]);
  switch (inSignal) {
    case SIGSEGV:
    case SIGBUS: {
      // The page-fault error code: bit 1 a write, bit 4 an instruction fetch.
      greg_t theError = theRegisters[REG_ERR];
      theFault.mCode = EXCEPTION_ACCESS_VIOLATION;
      theFault.mAccess = (theError & 0x10) ? kFaultAccessExecute : (theError & 0x2) ? kFaultAccessWrite
                                                                                      : kFaultAccessRead;
      theFault.mTargetAddress = reinterpret_cast<std::uintptr_t>(inInfo.si_addr);
      break;
    }
    case SIGFPE:
      theFault.mCode = FloatingPointCode(inInfo.si_code);
      break;
    default:
      theFault.mCode = EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
  }
  Dl_info theModule{};
  if (dladdr(reinterpret_cast<void*>(theFault.mCodeAddress), &theModule))
    theFault.mModuleBase = reinterpret_cast<std::uintptr_t>(theModule.dli_fbase);
  return theFault;
}

// A fault not translated: the handler before ours, or the default action.
void PassOn(int inSignal, siginfo_t* inInfo, void* inContext)
{
  const struct sigaction* thePrevious = nullptr;
  for (std::size_t i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == inSignal)
      thePrevious = &gPrevious[i];
  bool theSent = inInfo->si_code <= 0;  // by kill() or raise(), not by the hardware
  if (thePrevious && (thePrevious->sa_flags & SA_SIGINFO) && thePrevious->sa_sigaction) {
    thePrevious->sa_sigaction(inSignal, inInfo, inContext);
    return;
  }
  if (thePrevious && !(thePrevious->sa_flags & SA_SIGINFO) && thePrevious->sa_handler != SIG_DFL &&
      thePrevious->sa_handler != SIG_IGN) {
    thePrevious->sa_handler(inSignal);
    return;
  }
  if (theSent && thePrevious && thePrevious->sa_handler == SIG_IGN)
    return;
  // Back to the default action: a hardware fault recurs when the faulting
  // instruction runs again, a sent signal is raised again.
  struct sigaction theDefault{};
  theDefault.sa_handler = SIG_DFL;
  sigemptyset(&theDefault.sa_mask);
  sigaction(inSignal, &theDefault, nullptr);
  if (theSent)
    raise(inSignal);
}

// Clears the thread's slot while the fault is being translated (a fault
// inside the translation takes the default course) and puts it back however the
// translator leaves, a throw included.
class TranslatorInUse {
 public:
  explicit TranslatorInUse(FaultTranslator inTranslator) : mTranslator(inTranslator) { tTranslator = nullptr; }
  ~TranslatorInUse() { tTranslator = mTranslator; }
  TranslatorInUse(const TranslatorInUse&) = delete;
  TranslatorInUse& operator=(const TranslatorInUse&) = delete;

 private:
  FaultTranslator mTranslator;
};

// Translates the fault for the innermost recovery point, gives back what the
// skipped frames hold and jumps there. Returns only when the translator did.
void JumpToRecoveryPoint(FaultTranslator inTranslator, const FaultRecord& inFault)
{
  RecoveryPoint& thePoint = *tRecovery;
  {
    TranslatorInUse theInUse(inTranslator);
    try {
      inTranslator(inFault);
    } catch (...) {
      thePoint.mFault = std::current_exception();
    }
  }
  if (!thePoint.mFault)
    return;
  tTranslator = nullptr;  // a fault while giving back takes the default course
  FaultUndoList::UndoSince(thePoint.mUndoMark);
  // The jump may leave a handler of another signal that the fault
  // interrupted, which blocked that signal.
  pthread_sigmask(SIG_SETMASK, &thePoint.mMask, nullptr);
  siglongjmp(thePoint.mJump, 1);
}

void OnFault(int inSignal, siginfo_t* inInfo, void* inContext)
{
  int theErrno = errno;
  FaultTranslator theTranslator = tTranslator;
  if (theTranslator && inInfo->si_code > 0) {
    FaultRecord theFault = MakeRecord(inSignal, *inInfo, *static_cast<const ucontext_t*>(inContext));
    if (tRecovery) {
      JumpToRecoveryPoint(theTranslator, theFault);
    } else {
      TranslatorInUse theInUse(theTranslator);
      theTranslator(theFault);
    }
  }
  PassOn(inSignal, inInfo, inContext);
  errno = theErrno;
}

void InstallHandlers()
{
  static std::once_flag gInstalled;
  std::call_once(gInstalled, [] {
    struct sigaction theAction{};
    theAction.sa_sigaction = OnFault;
    theAction.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&theAction.sa_mask);
    for (std::size_t i = 0; i < kSignalCount; ++i)
      sigaction(kSignals[i], &theAction, &gPrevious[i]);
  });
}

// The handlers, and the calling thread's alternate stack.
void PrepareThread()
{
  InstallHandlers();
  static thread_local AlternateStack tStack;
}

}  // namespace

void RunGuarded(FaultTranslator inTranslator, void (*inBody)(void*), void* inContext)
{
  PrepareThread();
  RecoveryPoint thePoint(inTranslator);
  // The jump puts the signal mask back itself (see JumpToRecoveryPoint).
  if (sigsetjmp(thePoint.mJump, 0) == 0) {
    inBody(inContext);
    return;
  }
  TheExceptionsInFlight() = thePoint.mExceptions;
  std::rethrow_exception(thePoint.mFault);
}

ScopedFaultTranslator::ScopedFaultTranslator(FaultTranslator inTranslator) : mPrevious(tTranslator)
{
  PrepareThread();
  tTranslator = inTranslator;
}

ScopedFaultTranslator::~ScopedFaultTranslator()
{
  tTranslator = mPrevious;
}
