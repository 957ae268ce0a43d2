// Hardware faults inside and outside guarded frames. This file is built
// without the sanitizer's own division checks, so that a division by zero
// reaches the processor.

#include "platform/faults/Faults.h"
#include "platform/kernel/Modules.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct TestFault {
  FaultRecord mRecord;
  int mTranslator;  // which translator threw it
};

[[noreturn]] void ThrowFromFirst(const FaultRecord& inFault)
{
  throw TestFault{inFault, 1};
}

[[noreturn]] void ThrowFromSecond(const FaultRecord& inFault)
{
  throw TestFault{inFault, 2};
}

constexpr std::uintptr_t kBadAddress = 0x10;

// Faulting operations the compiler cannot see through.
__attribute__((noipa)) int ReadAt(std::uintptr_t inAddress)
{
  return *reinterpret_cast<volatile int*>(inAddress);
}

__attribute__((noipa)) void WriteAt(std::uintptr_t inAddress)
{
  *reinterpret_cast<volatile int*>(inAddress) = 1;
}

__attribute__((noipa)) int Divide(int inNumerator, int inDenominator)
{
  return inNumerator / inDenominator;
}

__attribute__((noipa)) void IllegalInstruction()
{
  asm volatile("ud2");
}

volatile int gDeepest = 1 << 30;  // never reached: the stack ends first

__attribute__((noipa)) int Recurse(int inDepth)
{
  if (inDepth > gDeepest)
    return 0;
  volatile char theFrame[512];
  theFrame[0] = static_cast<char>(inDepth);
  return Recurse(inDepth + 1) + theFrame[0];
}

// The fault inBody raised under the first translator (code 0 when none).
TestFault FaultOf(const std::function<void()>& inBody)
{
  ScopedFaultTranslator theGuard(ThrowFromFirst);
  try {
    inBody();
  } catch (const TestFault& inFault) {
    return inFault;
  }
  return TestFault{{}, 0};
}

// The translator that threw for a read of the bad address; 0 when nothing threw.
int TranslatorOfBadRead()
{
  try {
    ReadAt(kBadAddress);
  } catch (const TestFault& inFault) {
    return inFault.mTranslator;
  }
  return 0;
}

void NoCoreDumps()
{
  rlimit theNone{0, 0};
  setrlimit(RLIMIT_CORE, &theNone);
}

// A page no one may touch, for faults inside library routines.
const char* NoAccessPage()
{
  static void* const gPage = mmap(nullptr, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return static_cast<const char*>(gPage);
}

volatile std::size_t gLength = 64;  // so that the compiler calls the routines
char gCopy[64];

// A method frame: inBody guarded, with a try block; the fault it raised
// (code 0 when none).
TestFault GuardedFaultOf(int (*inBody)())
{
  try {
    GuardedCall(ThrowFromFirst, inBody);
  } catch (const TestFault& inFault) {
    return inFault;
  }
  return TestFault{{}, 0};
}

// The fault is a read of the inaccessible page, translated by the frame's translator.
bool IsReadOfThePage(const TestFault& inFault)
{
  const std::uintptr_t thePage = reinterpret_cast<std::uintptr_t>(NoAccessPage());
  return inFault.mTranslator == 1 && inFault.mRecord.mCode == EXCEPTION_ACCESS_VIOLATION &&
         inFault.mRecord.mAccess == kFaultAccessRead && inFault.mRecord.mTargetAddress >= thePage &&
         inFault.mRecord.mTargetAddress < thePage + static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

TEST(Faults, ABadReadInsideAGuardIsCaughtTwiceInARow)
{
  HMODULE theModule = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ReadAt), &theModule));
  for (int theRound = 0; theRound < 2; ++theRound) {
    const FaultRecord theRecord = FaultOf([] { ReadAt(kBadAddress); }).mRecord;
    EXPECT_EQ(theRecord.mCode, EXCEPTION_ACCESS_VIOLATION) << "round " << theRound;
    EXPECT_EQ(theRecord.mAccess, kFaultAccessRead);
    EXPECT_EQ(theRecord.mTargetAddress, kBadAddress);
    EXPECT_GE(theRecord.mCodeAddress, reinterpret_cast<std::uintptr_t>(&ReadAt));
    EXPECT_LT(theRecord.mCodeAddress, reinterpret_cast<std::uintptr_t>(&ReadAt) + 256);
    EXPECT_EQ(theRecord.mModuleBase, reinterpret_cast<std::uintptr_t>(theModule));
  }
}

TEST(Faults, OtherHardwareFaultsGiveTheirCodes)
{
  long thePage = sysconf(_SC_PAGESIZE);
  void* theBlock = mmap(nullptr, static_cast<std::size_t>(thePage), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(theBlock, MAP_FAILED);
  const std::uintptr_t theTarget = reinterpret_cast<std::uintptr_t>(theBlock) + 8;
  volatile int theZero = 0;
  struct Case {
    const char* mWhat;
    std::function<void()> mBody;
    DWORD mCode;
    DWORD mAccess;
    std::uintptr_t mTarget;
  };
  const Case kCases[] = {
    {"a write to a read-only page", [&] { WriteAt(theTarget); }, EXCEPTION_ACCESS_VIOLATION, kFaultAccessWrite,
     theTarget},
    {"an illegal instruction", [] { IllegalInstruction(); }, EXCEPTION_ILLEGAL_INSTRUCTION, 0, 0},
    {"an integer division by zero", [&] { Divide(7, theZero); }, EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0},
  };
  for (const Case& theCase : kCases) {
    const FaultRecord theRecord = FaultOf(theCase.mBody).mRecord;
    EXPECT_EQ(theRecord.mCode, theCase.mCode) << theCase.mWhat;
    EXPECT_EQ(theRecord.mAccess, theCase.mAccess) << theCase.mWhat;
    EXPECT_EQ(theRecord.mTargetAddress, theCase.mTarget) << theCase.mWhat;
  }
  EXPECT_EQ(ReadAt(theTarget), 0) << "the page is still readable";
  EXPECT_EQ(Divide(7, 2), 3);
  munmap(theBlock, static_cast<std::size_t>(thePage));
}

TEST(Faults, AStackOverflowIsCaughtOnTheAlternateStack)
{
  tltest::ChildResult theResult = tltest::RunInChild([] {
    NoCoreDumps();
    int theCaught = 0;
    std::thread theThread([&] {
      theCaught = FaultOf([] { Recurse(0); }).mRecord.mCode == EXCEPTION_ACCESS_VIOLATION ? 1 : 2;
      // And the thread's guards still work afterwards.
      if (theCaught == 1 && FaultOf([] { ReadAt(kBadAddress); }).mTranslator != 1)
        theCaught = 3;
    });
    theThread.join();
    return theCaught == 1 ? 0 : 10 + theCaught;
  });
  EXPECT_TRUE(tltest::Succeeded(theResult));
}

TEST(Faults, GuardsRestoreThePreviousTranslatorOnEveryExit)
{
  ScopedFaultTranslator theOuter(ThrowFromFirst);
  {
    ScopedFaultTranslator theInner(ThrowFromSecond);
    EXPECT_EQ(TranslatorOfBadRead(), 2);
  }
  EXPECT_EQ(TranslatorOfBadRead(), 1) << "after a normal exit";
  try {
    ScopedFaultTranslator theInner(ThrowFromSecond);
    throw std::runtime_error("leaving");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(TranslatorOfBadRead(), 1) << "after an exception";
  try {
    ScopedFaultTranslator theInner(ThrowFromSecond);
    ReadAt(kBadAddress);
  } catch (const TestFault& inFault) {
    EXPECT_EQ(inFault.mTranslator, 2);
  }
  EXPECT_EQ(TranslatorOfBadRead(), 1) << "after a translated fault";
}

// Outside a guard (or when a translator returns, or for a signal that no
// hardware raised) the process ends as usual, or goes to the handler that
// was there before.
TEST(Faults, UntranslatedFaultsEndTheProcessAsUsual)
{
  struct Case {
    const char* mWhat;
    int (*mBody)();
    std::string mEnd;
  };
  const Case kCases[] = {
    {"a fault after the last guard has gone",
     [] {
       { ScopedFaultTranslator theGuard(ThrowFromFirst); }
       return ReadAt(kBadAddress);
     },
     "signal 11"},
    {"a fault on a thread without a guard while another thread has one",
     [] {
       ScopedFaultTranslator theGuard(ThrowFromFirst);
       std::thread([] { ReadAt(kBadAddress); }).join();
       return 0;
     },
     "signal 11"},
    {"a fault whose translator returns",
     [] {
       ScopedFaultTranslator theGuard([](const FaultRecord&) {});
       return ReadAt(kBadAddress);
     },
     "signal 11"},
    {"a fault in a guarded call whose translator returns",
     [] { return GuardedCall([](const FaultRecord&) {}, [] { return ReadAt(kBadAddress); }); },
     "signal 11"},
    {"a signal sent rather than raised by the hardware",
     [] {
       ScopedFaultTranslator theGuard(ThrowFromFirst);
       try {
         raise(SIGBUS);
       } catch (...) {
         return 1;
       }
       return 0;
     },
     "signal 7"},
    {"a fault with a handler installed before",
     [] {
       struct sigaction theAction{};
       theAction.sa_handler = [](int) { _exit(7); };
       sigemptyset(&theAction.sa_mask);
       sigaction(SIGSEGV, &theAction, nullptr);
       { ScopedFaultTranslator theGuard(ThrowFromFirst); }
       return ReadAt(kBadAddress);
     },
     "exit 7"},
  };
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      NoCoreDumps();
      return theCase.mBody();
    });
    EXPECT_EQ((theResult.mExited ? "exit " : "signal ") + std::to_string(theResult.mExited ? theResult.mStatus : theResult.mSignal),
              theCase.mEnd)
      << theCase.mWhat;
  }
}

// Each body keeps an object with a destructor alive across a call that
// faults, so that a throw from the signal handler would have to pass a frame
// without an unwind entry for the routine (declared not to throw) and end
// the process. The skipped vectors leak: the cases run in children.
TEST(Faults, AFaultInsideALibraryRoutineReachesTheGuardedCallOnEveryThread)
{
  struct Case {
    const char* mWhat;
    int (*mBody)();
  };
  const Case kCases[] = {
    {"memcpy",
     [] {
       std::vector<char> theCopy(gLength);
       std::memcpy(theCopy.data(), NoAccessPage(), theCopy.size());
       return static_cast<int>(theCopy.size());
     }},
    {"strlen",
     [] {
       std::vector<char> theAlive(gLength);
       return static_cast<int>(std::strlen(NoAccessPage()) + theAlive.size());
     }},
    {"memchr",
     [] {
       std::vector<char> theAlive(gLength);
       return std::memchr(NoAccessPage(), 1, theAlive.size()) ? 1 : 0;
     }},
    {"qsort with a comparator that faults",
     [] {
       std::vector<int> theItems = {3, 1, 2};
       std::qsort(theItems.data(), theItems.size(), sizeof(int), [](const void* inLeft, const void* inRight) {
         return *static_cast<const int*>(inLeft) - *static_cast<const int*>(inRight) + NoAccessPage()[0];
       });
       return theItems[0];
     }},
  };
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      NoCoreDumps();
      if (!IsReadOfThePage(GuardedFaultOf(theCase.mBody)))
        return 10;
      int theOther = 0;
      std::thread([&] { theOther = IsReadOfThePage(GuardedFaultOf(theCase.mBody)) ? 0 : 11; }).join();
      if (theOther != 0)
        return theOther;
      // The process goes on: the next guarded calls work, and so does a second fault.
      if (GuardedCall(ThrowFromFirst, [] { return 7; }) != 7)
        return 12;
      return IsReadOfThePage(GuardedFaultOf(theCase.mBody)) ? 0 : 13;
    });
    EXPECT_TRUE(tltest::Succeeded(theResult)) << theCase.mWhat;
  }
}

// What a fault skips inside guarded calls: the innermost gets it, with the
// translator of the moment; a lock held in a skipped frame is released, a
// translator set there is gone; what was held outside stays held.
TEST(Faults, AGuardedCallGetsItsFaultWithTheThreadAsItWasAtItsStart)
{
  ScopedFaultTranslator theOutside(ThrowFromSecond);
  std::mutex theLock;
  bool theOutsideUndone = false;
  FaultUndo theOutsideHold;
  theOutsideHold.Enter([](void* inUndone) { *static_cast<bool*>(inUndone) = true; }, &theOutsideUndone);
  int theInner = 0;
  int theOuter = 0;
  try {
    GuardedCall(ThrowFromFirst, [&] {
      try {
        GuardedCall(ThrowFromFirst, [&] {
          FaultSafeLock theHeld(theLock);
          ScopedFaultTranslator theSkipped(ThrowFromSecond);
          std::memcpy(gCopy, NoAccessPage(), gLength);
        });
      } catch (const TestFault& inFault) {
        theInner = inFault.mTranslator;
      }
      EXPECT_TRUE(theLock.try_lock()) << "the lock of the skipped frame is free";
      theLock.unlock();
      ReadAt(kBadAddress);
    });
  } catch (const TestFault& inFault) {
    theOuter = inFault.mTranslator;
  }
  EXPECT_EQ(theInner, 2) << "the translator set where the fault happened";
  EXPECT_EQ(theOuter, 1) << "the inner call's skipped translator is gone";
  EXPECT_EQ(TranslatorOfBadRead(), 2) << "the translator outside the guarded calls is back";
  EXPECT_FALSE(theOutsideUndone) << "a hold taken outside the guarded calls is still held";
}

// A fault inside the handler of another signal jumps out of that handler,
// which had blocked its signal: the guarded call gives the thread back the
// mask it began with, what was blocked before it still blocked. The cases
// change the signal actions: they run in children.
TEST(Faults, AFaultInAnotherSignalsHandlerGivesTheThreadItsSignalMaskBack)
{
  struct Case {
    const char* mWhat;
    void (*mBody)();
  };
  const Case kCases[] = {
    {"one guarded call", [] { GuardedCall(ThrowFromFirst, [] { raise(SIGUSR1); }); }},
    {"the inner of two guarded calls",
     [] {
       GuardedCall(ThrowFromSecond, [] {
         try {
           GuardedCall(ThrowFromFirst, [] { raise(SIGUSR1); });
         } catch (const TestFault&) {
           sigset_t theMask;
           pthread_sigmask(SIG_BLOCK, nullptr, &theMask);
           if (sigismember(&theMask, SIGUSR1))
             _exit(12);
           throw;
         }
       });
     }},
  };
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      NoCoreDumps();
      sigset_t theBlocked;
      sigemptyset(&theBlocked);
      sigaddset(&theBlocked, SIGUSR2);
      pthread_sigmask(SIG_BLOCK, &theBlocked, nullptr);
      struct sigaction theAction{};
      theAction.sa_handler = [](int) { ReadAt(kBadAddress); };
      sigemptyset(&theAction.sa_mask);
      sigaction(SIGUSR1, &theAction, nullptr);
      int theTranslator = 0;
      try {
        theCase.mBody();
      } catch (const TestFault& inFault) {
        theTranslator = inFault.mTranslator;
      }
      if (theTranslator != 1)
        return 10;
      sigset_t theMask;
      pthread_sigmask(SIG_BLOCK, nullptr, &theMask);
      if (sigismember(&theMask, SIGUSR1))
        return 11;
      return sigismember(&theMask, SIGUSR2) ? 0 : 13;
    });
    EXPECT_TRUE(tltest::Succeeded(theResult)) << theCase.mWhat;
  }
}

// Faults while exceptions are being handled in the skipped frames: none of
// them is left behind as thrown or caught. The skipped exceptions leak: the
// cases run in children.
TEST(Faults, AFaultAmidExceptionHandlingLeavesNoExceptionInFlight)
{
  struct Case {
    const char* mWhat;
    void (*mBody)();
  };
  struct ReadsOnDestruction {
    ~ReadsOnDestruction() { ReadAt(kBadAddress); }
  };
  const Case kCases[] = {
    {"in a destructor while an exception unwinds",
     [] {
       ReadsOnDestruction theReader;
       throw std::runtime_error("unwinding");
     }},
    {"in a catch block",
     [] {
       try {
         throw std::runtime_error("caught");
       } catch (const std::runtime_error&) {
         ReadAt(kBadAddress);
       }
     }},
  };
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      NoCoreDumps();
      try {
        GuardedCall(ThrowFromFirst, theCase.mBody);
      } catch (const TestFault&) {
        if (std::uncaught_exceptions() != 0)
          return 10;
      } catch (...) {
        return 11;
      }
      return std::current_exception() == nullptr ? 0 : 12;
    });
    EXPECT_TRUE(tltest::Succeeded(theResult)) << theCase.mWhat;
  }
}
