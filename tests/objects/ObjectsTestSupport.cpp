#include "tests/objects/ObjectsTestSupport.h"

#include "core/Bitmap.h"
#include "core/TimedLog.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

std::string QuadrantPlacementFaults(Bitmap& inKernel, Bitmap& inGDI, const RECT& inRect, DWORD inBackground,
                                    int inTolerance)
{
  const auto Channel = [](DWORD inWord, int inShift) { return static_cast<int>((inWord >> inShift) & 0xFF); };
  const auto Far = [&](DWORD inA, DWORD inB) {
    for (int theShift : {0, 8, 16})
      if (std::abs(Channel(inA, theShift) - Channel(inB, theShift)) > inTolerance)
        return true;
    return false;
  };
  const LONG theWidth = inRect.right - inRect.left;
  const LONG theHeight = inRect.bottom - inRect.top;
  // An enlargement by k blends over k / 2 pixels either side of an inner edge
  // (k is at most the width over 32 for pictures of 32 pixels and more).
  const double theReach = std::max(theWidth / 32.0, 2.0);
  const auto At = [](LONG inX, LONG inY) { return std::to_string(inX) + "," + std::to_string(inY); };
  for (LONG y = 0; y < inKernel.GetHeight(); ++y) {
    for (LONG x = 0; x < inKernel.GetWidth(); ++x) {
      const DWORD theKernel = PixelWord(inKernel, x, y);
      const bool theInside = x >= inRect.left && x < inRect.right && y >= inRect.top && y < inRect.bottom;
      if (!theInside) {
        if (Far(theKernel, inBackground) || Far(PixelWord(inGDI, x, y), inBackground))
          return "drawn outside the rectangle at " + At(x, y);
        continue;
      }
      const double theCentreX = x + 0.5 - inRect.left - theWidth / 2.0;
      const double theCentreY = y + 0.5 - inRect.top - theHeight / 2.0;
      if (std::fabs(theCentreX) > theReach && std::fabs(theCentreY) > theReach &&
          Far(theKernel, PixelWord(inGDI, x, y)))
        return "not the GDI road's colour at " + At(x, y);
    }
  }
  // The continuous position where a channel first reaches half way along a
  // line of the kernel road's canvas, and the GDI road's first pixel there.
  const auto Edges = [&](bool inAcross, int inShift, double& outKernel, LONG& outGDI) {
    const LONG theFixed = inAcross ? inRect.top + theHeight / 4 : inRect.left + theWidth / 4;
    const LONG theFirst = inAcross ? inRect.left : inRect.top;
    const LONG theLast = inAcross ? inRect.right : inRect.bottom;
    const auto Value = [&](Bitmap& inWorld, LONG inAt) {
      return Channel(inAcross ? PixelWord(inWorld, inAt, theFixed) : PixelWord(inWorld, theFixed, inAt), inShift);
    };
    outKernel = -1;
    outGDI = -1;
    for (LONG i = theFirst + 1; i < theLast && outKernel < 0; ++i) {
      const int theBefore = Value(inKernel, i - 1), theNow = Value(inKernel, i);
      if (theNow >= 128)
        outKernel = i - 0.5 + (128.0 - theBefore) / std::max(theNow - theBefore, 1);
    }
    for (LONG i = theFirst; i < theLast && outGDI < 0; ++i)
      if (Value(inGDI, i) >= 128)
        outGDI = i;
  };
  for (const bool theAcross : {true, false}) {
    double theKernel = 0;
    LONG theGDI = 0;
    Edges(theAcross, theAcross ? 8 : 0, theKernel, theGDI);
    if (theKernel < 0 || theGDI < 0 || std::fabs(theKernel - theGDI) > 0.5)
      return std::string(theAcross ? "the red-green edge" : "the red-blue edge") + " at " +
             std::to_string(theKernel) + " on the kernel road, " + std::to_string(theGDI) + " on the GDI road";
  }
  return "";
}

}  // namespace tltest
