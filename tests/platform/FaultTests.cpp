// Hardware faults inside and outside guarded frames.

#include "tests/platform/FaultTestSupport.h"

#include "platform/kernel/Modules.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

void ThrowFromFirst(const FaultRecord& inFault)
{
  throw TestFault{inFault, 1};
}

void ThrowFromSecond(const FaultRecord& inFault)
{
  throw TestFault{inFault, 2};
}

__attribute__((noipa)) int ReadAt(std::uintptr_t inAddress)
{
  return *reinterpret_cast<volatile int*>(inAddress);
}

__attribute__((noipa)) void WriteAt(std::uintptr_t inAddress)
{
  *reinterpret_cast<volatile int*>(inAddress) = 1;
}

namespace {

constexpr std::uintptr_t kBadAddress = 0x10;

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

std::uintptr_t ModuleBaseOf(const void* inAddress)
{
  HMODULE theModule = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCSTR>(inAddress), &theModule);
  return reinterpret_cast<std::uintptr_t>(theModule);
}

}  // namespace

TEST(Faults, ABadReadInsideAGuardIsCaughtTwiceInARow)
{
  ScopedFaultTranslator theGuard(ThrowFromFirst);
  for (int theRound = 0; theRound < 2; ++theRound) {
    try {
      ReadAt(kBadAddress);
      ADD_FAILURE() << "no fault in round " << theRound;
    } catch (const TestFault& inFault) {
      EXPECT_EQ(inFault.mRecord.mCode, EXCEPTION_ACCESS_VIOLATION) << "round " << theRound;
      EXPECT_EQ(inFault.mRecord.mAccess, kFaultAccessRead);
      EXPECT_EQ(inFault.mRecord.mTargetAddress, kBadAddress);
      EXPECT_GE(inFault.mRecord.mCodeAddress, reinterpret_cast<std::uintptr_t>(&ReadAt));
      EXPECT_LT(inFault.mRecord.mCodeAddress, reinterpret_cast<std::uintptr_t>(&ReadAt) + 256);
      EXPECT_EQ(inFault.mRecord.mModuleBase, ModuleBaseOf(reinterpret_cast<const void*>(&ReadAt)));
      EXPECT_NE(inFault.mRecord.mModuleBase, 0u);
    }
  }
}

TEST(Faults, AWriteToAProtectedPageIsAWriteViolation)
{
  long thePage = sysconf(_SC_PAGESIZE);
  void* theBlock = mmap(nullptr, static_cast<std::size_t>(thePage), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(theBlock, MAP_FAILED);
  std::uintptr_t theTarget = reinterpret_cast<std::uintptr_t>(theBlock) + 8;
  ScopedFaultTranslator theGuard(ThrowFromFirst);
  try {
    WriteAt(theTarget);
    ADD_FAILURE() << "no fault";
  } catch (const TestFault& inFault) {
    EXPECT_EQ(inFault.mRecord.mCode, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(inFault.mRecord.mAccess, kFaultAccessWrite);
    EXPECT_EQ(inFault.mRecord.mTargetAddress, theTarget);
  }
  EXPECT_EQ(ReadAt(theTarget), 0) << "the page is still readable";
  munmap(theBlock, static_cast<std::size_t>(thePage));
}

TEST(Faults, AnIllegalInstructionHasItsOwnCode)
{
  ScopedFaultTranslator theGuard(ThrowFromFirst);
  try {
    IllegalInstruction();
    ADD_FAILURE() << "no fault";
  } catch (const TestFault& inFault) {
    EXPECT_EQ(inFault.mRecord.mCode, EXCEPTION_ILLEGAL_INSTRUCTION);
    EXPECT_EQ(inFault.mRecord.mTargetAddress, 0u);
  }
}

TEST(Faults, AStackOverflowIsCaughtOnTheAlternateStack)
{
  tltest::ChildResult theResult = tltest::RunInChild([] {
    NoCoreDumps();
    int theCaught = 0;
    std::thread theThread([&] {
      ScopedFaultTranslator theGuard(ThrowFromFirst);
      try {
        Recurse(0);
      } catch (const TestFault& inFault) {
        theCaught = inFault.mRecord.mCode == EXCEPTION_ACCESS_VIOLATION ? 1 : 2;
      }
      // And the thread's guard still works afterwards.
      if (theCaught == 1 && TranslatorOfBadRead() != 1)
        theCaught = 3;
    });
    theThread.join();
    return theCaught == 1 ? 0 : 10 + theCaught;
  });
  EXPECT_TRUE(theResult.mExited) << "signal " << theResult.mSignal;
  EXPECT_EQ(theResult.mStatus, 0);
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

TEST(Faults, UntranslatedFaultsKillTheProcessAsUsual)
{
  struct Case {
    const char* mWhat;
    int (*mBody)();
    int mSignal;
  };
  const Case kCases[] = {
    {"a fault after the last guard has gone",
     [] {
       { ScopedFaultTranslator theGuard(ThrowFromFirst); }
       return ReadAt(kBadAddress);
     },
     SIGSEGV},
    {"a fault on a thread without a guard while another thread has one",
     [] {
       ScopedFaultTranslator theGuard(ThrowFromFirst);
       std::thread theThread([] { ReadAt(kBadAddress); });
       theThread.join();
       return 0;
     },
     SIGSEGV},
    {"a fault whose translator returns",
     [] {
       ScopedFaultTranslator theGuard([](const FaultRecord&) {});
       return ReadAt(kBadAddress);
     },
     SIGSEGV},
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
     SIGBUS},
  };
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      NoCoreDumps();
      return theCase.mBody();
    });
    EXPECT_FALSE(theResult.mExited) << theCase.mWhat << ": exited with " << theResult.mStatus;
    EXPECT_EQ(theResult.mSignal, theCase.mSignal) << theCase.mWhat;
  }
}

TEST(Faults, AnUntranslatedFaultGoesToTheHandlerInstalledBefore)
{
  tltest::ChildResult theResult = tltest::RunInChild([] {
    struct sigaction theAction{};
    theAction.sa_handler = [](int) { _exit(7); };
    sigemptyset(&theAction.sa_mask);
    sigaction(SIGSEGV, &theAction, nullptr);
    { ScopedFaultTranslator theGuard(ThrowFromFirst); }
    return ReadAt(kBadAddress);
  });
  EXPECT_TRUE(theResult.mExited);
  EXPECT_EQ(theResult.mStatus, 7);
}
