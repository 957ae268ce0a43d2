#include "core/SException.h"
#include "platform/kernel/Modules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>

namespace {

// Addresses the compiler cannot see through, so the faults really happen.
volatile std::uintptr_t gNullAddress = 0;
volatile std::uintptr_t gLowAddress = 0x10;
volatile int gZero = 0;
volatile int gSink = 0;

__attribute__((noinline, no_sanitize("address", "undefined"))) int ReadAt(std::uintptr_t inAddress)
{
  return *reinterpret_cast<volatile int*>(inAddress);
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteAt(std::uintptr_t inAddress)
{
  *reinterpret_cast<volatile int*>(inAddress) = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) int Divide(int inNumerator, int inDenominator)
{
  return inNumerator / inDenominator;
}

// Runs inBody under the translator; the SException it raised.
template <typename F>
SException Catch(F inBody)
{
  try {
    ScopedFaultTranslator theGuard(TranslateSystemException);
    inBody();
  } catch (const SException& theFault) {
    return theFault;
  }
  ADD_FAILURE() << "no SException was thrown";
  return SException(0, 0, 0, 0, 0);
}

std::uintptr_t ThisModule()
{
  HMODULE theModule = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThisModule), &theModule);
  return reinterpret_cast<std::uintptr_t>(theModule);
}

TEST(SException, FaultsBecomeTheirOneSentence)
{
  struct Case {
    const char* mName;
    SException mFault;
    DWORD mCode, mRead, mWrite;
    std::uintptr_t mTarget;
    std::string mSentence;  // after "Code at <address> "
  } const kCases[] = {
    {"null read", Catch([] { gSink = ReadAt(gNullAddress); }), 0xC0000005u, 1, 0, 0,
     "attempted to read from 0x00000000\\. "},
    {"low write", Catch([] { WriteAt(gLowAddress); }), 0xC0000005u, 0, 1, 0x10, "attempted to write to 0x00000010\\. "},
    {"integer divide", Catch([] { gSink = Divide(7, gZero); }), 0xC0000094u, 0, 0, 0,
     "caused a System Exception 0xc0000094\\. "},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    SException theFault = theCase.mFault;
    EXPECT_EQ(theFault.GetCode(), theCase.mCode);
    EXPECT_EQ(theFault.GetReadFlag(), theCase.mRead);
    EXPECT_EQ(theFault.GetWriteFlag(), theCase.mWrite);
    EXPECT_EQ(theFault.GetTargetAddress(), theCase.mTarget);
    EXPECT_EQ(theFault.GetModuleBase(), ThisModule());
    EXPECT_TRUE(std::regex_match(theFault.Describe(), std::regex("Code at 0x[0-9a-f]{8,16} " + theCase.mSentence)))
      << theFault.Describe();
  }
}

TEST(SException, GetMessageAddsWhereOnlyWithin255Characters)
{
  SException theFault = Catch([] { gSink = ReadAt(gNullAddress); });
  const std::string theDescription = theFault.Describe();
  char theBase[32];
  std::snprintf(theBase, sizeof theBase, "0x%08jx", static_cast<std::uintmax_t>(theFault.GetModuleBase()));
  auto theSuffix = [&](const std::string& inFile) {
    return "System Error caught at line 123 of " + inFile + ". Base at " + theBase + ".";
  };
  const std::size_t theRoom = 255 - theDescription.size() - theSuffix("").size();  // the longest name that fits
  for (const auto& [theFile, theAppended] : {std::pair{std::string("Canvas.cpp"), true},
                                             std::pair{std::string(theRoom, 'f'), true},
                                             std::pair{std::string(theRoom + 1, 'f'), false}}) {
    SCOPED_TRACE(theFile.size());
    EXPECT_EQ(theFault.GetMessage(theFile.c_str(), 123), theAppended ? theDescription + theSuffix(theFile) : theDescription);
  }
}

}  // namespace
