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

#include <functional>
#include <stdexcept>
#include <thread>

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
