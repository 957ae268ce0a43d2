#include "tests/objects/ObjectsTestSupport.h"

#include "core/Bitmap.h"
#include "core/TimedLog.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace tltest {

namespace {

// Out of the compiler's sight, so the faults really happen.
volatile std::uintptr_t gBadAddress = 0x10;
volatile std::size_t gCopyLength = 64;
char gCopy[64];

}  // namespace

std::vector<std::vector<std::string>> LogRecords(const char* inFile)
{
  const std::string theText = ReadFile(GetLogDirectory() + inFile);
  std::vector<std::vector<std::string>> theRecords;
  std::size_t theStart = 0;
  for (std::size_t theEnd; (theEnd = theText.find("\r\n", theStart)) != std::string::npos; theStart = theEnd + 2) {
    const std::string theLine = theText.substr(theStart, theEnd - theStart);
    if (theLine.rfind("Version\t", 0) == 0)
      continue;
    std::vector<std::string> theFields;
    std::size_t theField = 0;
    for (std::size_t theTab; (theTab = theLine.find('\t', theField)) != std::string::npos; theField = theTab + 1)
      theFields.push_back(theLine.substr(theField, theTab - theField));
    theFields.push_back(theLine.substr(theField));
    theRecords.push_back(theFields);
  }
  EXPECT_EQ(theStart, theText.size()) << inFile << " ends in a line without CR LF";
  return theRecords;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteToBadAddress()
{
  *reinterpret_cast<volatile int*>(gBadAddress) = 1;
}

std::uintptr_t BadAddress()
{
  return gBadAddress;
}

void CopyFromBadPage()
{
  // A frame with something to destroy: an exception thrown at the fault
  // could not unwind it (memcpy is declared not to throw).
  struct Witness {
    ~Witness() { gCopy[0] = 0; }
  } theWitness;
  std::memcpy(gCopy, reinterpret_cast<const void*>(BadPage()), gCopyLength);
}

std::uintptr_t BadPage()
{
  static void* const sPage = mmap(nullptr, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return reinterpret_cast<std::uintptr_t>(sPage);
}

DWORD PixelWord(Bitmap& inWorld, LONG inX, LONG inY)
{
  LockedPixels thePixels;
  DWORD theWord = 0;
  if (!inWorld.LockPixels(thePixels)) {
    ADD_FAILURE() << "no pixels";
    return theWord;
  }
  if (thePixels.mPixSize == 32)
    std::memcpy(&theWord, thePixels.mBase + inY * thePixels.mRowBytes + 4 * inX, 4);
  inWorld.UnlockPixels();
  return theWord;
}

void SetPixelWord(Bitmap& ioWorld, LONG inX, LONG inY, DWORD inWord)
{
  LockedPixels thePixels;
  ASSERT_TRUE(ioWorld.LockPixels(thePixels));
  ASSERT_EQ(thePixels.mPixSize, 32);
  std::memcpy(thePixels.mBase + inY * thePixels.mRowBytes + 4 * inX, &inWord, 4);
  ioWorld.UnlockPixels();
}

void MakePixels(Bitmap& ioWorld, LONG inWidth, LONG inHeight, LONG inDepth)
{
  ioWorld.SetWidth(inWidth);
  ioWorld.SetHeight(inHeight);
  ioWorld.SetDepth(inDepth);
  ASSERT_EQ(ioWorld.Update(), 0);
}

void MakeRedDotPicture(Bitmap& ioWorld)
{
  MakePixels(ioWorld, 20, 20);
  SetPixelWord(ioWorld, 5, 7, kRedWord);
}

}  // namespace tltest
