#include "core/GDIAccess.h"
#include "core/NamedMutex.h"
#include "core/SException.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/Modules.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cinttypes>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

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

// A page no one may touch, for faults inside library routines.
const char* NoAccessPage()
{
  static void* const gPage = mmap(nullptr, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return static_cast<const char*>(gPage);
}

volatile std::size_t gLength = 64;  // so that the compiler calls the routines

// A method frame as core/SException.h shows it: the text of the fault that
// inBody raised, or "" when nothing was caught.
template <typename Body>
std::string MethodFrame(Body inBody)
{
  try {
    GuardedCall(TranslateSystemException, inBody);
  } catch (SException& theFault) {
    return theFault.GetMessage("Canvas.cpp", 123);
  }
  return "";
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

// The bodies keep a vector alive across the faulting call; the cases run in
// children, where the skipped vectors may leak.
TEST(SException, AFaultInsideALibraryReachesTheMethodFrameAsItsTextOnEveryThread)
{
  struct Case {
    const char* mWhat;
    void (*mBody)();
  };
  const Case kCases[] = {
    {"memcpy",
     [] {
       std::vector<char> theCopy(gLength);
       std::memcpy(theCopy.data(), NoAccessPage(), theCopy.size());
     }},
    {"strlen",
     [] {
       std::vector<char> theAlive(gLength);
       gSink = static_cast<int>(std::strlen(NoAccessPage()) + theAlive.size());
     }},
    {"libjpeg reading a header from a bad buffer",
     [] {
       std::vector<char> theAlive(gLength);
       jpeg_decompress_struct theDecoder{};
       jpeg_error_mgr theErrors{};
       theDecoder.err = jpeg_std_error(&theErrors);
       jpeg_create_decompress(&theDecoder);
       jpeg_mem_src(&theDecoder, reinterpret_cast<const unsigned char*>(NoAccessPage()), theAlive.size());
       gSink = jpeg_read_header(&theDecoder, TRUE);
     }},
  };
  char theTarget[32];
  std::snprintf(theTarget, sizeof theTarget, "0x%08" PRIxPTR, reinterpret_cast<std::uintptr_t>(NoAccessPage()));
  const std::regex theText("Code at 0x[0-9a-f]{8,16} attempted to read from " + std::string(theTarget) +
                           "\\. System Error caught at line 123 of Canvas\\.cpp\\. Base at 0x[0-9a-f]{8,16}\\.");
  for (const Case& theCase : kCases) {
    tltest::ChildResult theResult = tltest::RunInChild([&] {
      if (!std::regex_match(MethodFrame(theCase.mBody), theText))
        return 10;
      bool theOtherCaught = false;
      std::thread([&] { theOtherCaught = std::regex_match(MethodFrame(theCase.mBody), theText); }).join();
      if (!theOtherCaught)
        return 11;
      return MethodFrame([] {}).empty() && std::regex_match(MethodFrame(theCase.mBody), theText) ? 0 : 12;
    });
    EXPECT_TRUE(tltest::Succeeded(theResult)) << theCase.mWhat << ", expecting " << theTarget;
  }
}

// After the fault, another thread takes the named mutex (held twice) and the GDI lock
// that the skipped frames held, and the colour table that the faulting copy
// had locked answers; a wait on something still held ends the child by its
// alarm.
TEST(SException, AFaultGivesBackTheLocksTakenUnderTheGuard)
{
  tltest::ChildResult theResult = tltest::RunInChild([] {
    alarm(20);
    struct {
      BITMAPINFOHEADER mHeader;
      RGBQUAD mColors[256];
    } theInfo{{sizeof(BITMAPINFOHEADER), 4, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const BITMAPINFO* theDescription = reinterpret_cast<const BITMAPINFO*>(&theInfo);
    void* theBits = nullptr;
    HBITMAP theTaken = CreateDIBSection(nullptr, theDescription, DIB_RGB_COLORS, &theBits, nullptr, 0);
    HBITMAP theIndexed = CreateDIBSection(nullptr, theDescription, DIB_RGB_COLORS, &theBits, nullptr, 0);
    HDC theTakenDC = CreateCompatibleDC(nullptr);
    HDC theIndexedDC = CreateCompatibleDC(nullptr);
    if (!SelectObject(theTakenDC, theTaken) || !SelectObject(theIndexedDC, theIndexed))
      return 9;
    if (MethodFrame([&] {
          NamedMutex theCreator("FaultTest", 1000);  // makes the mutex
          NamedMutex theWaiter("FaultTest", 1000);   // waits for it (this thread holds it already)
          GDIAccess theAccess(theTakenDC);
          if (theCreator.Acquire() && theWaiter.Acquire() && theAccess.TakeHBITMAP())
            SetDIBColorTable(theIndexedDC, 0, 4, reinterpret_cast<const RGBQUAD*>(NoAccessPage()));
        }).empty())
      return 10;
    int theOther = 0;
    std::thread([&] {
      RGBQUAD theTable[4];
      NamedMutex theLock("FaultTest", 100);
      if (!theLock.Acquire())
        theOther = 11;
      else if (GDIAccess(theTakenDC).GetHBITMAP() != theTaken)
        theOther = 12;
      else if (GetDIBColorTable(theIndexedDC, 0, 4, theTable) != 4)
        theOther = 13;
    }).join();
    return theOther;
  });
  EXPECT_TRUE(tltest::Succeeded(theResult));
}

}  // namespace
