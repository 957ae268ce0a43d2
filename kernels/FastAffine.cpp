#include "kernels/FastAffine.h"

#include "kernels/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace kernels {

namespace {

bool EnabledByEnvironment()
{
  const char* theValue = std::getenv("TL_KERNELS_PLAIN");
  return !(theValue && std::strcmp(theValue, "1") == 0);
}

std::atomic<bool> gEnabled{EnabledByEnvironment()};
std::atomic<int> gThreads{0};
std::atomic<VectorLevel> gVectors{VectorLevel::kAvx512};

// Below this many destination pixels per thread, handing work to a waiting
// worker costs more than it saves.
constexpr std::int64_t kPixelsPerThread = 8192;
// More bands than threads, taken in turn, so that a thread the system holds
// back does not hold up the others; but none below kPixelsPerBand, since a
// small warp is over before a late worker's band would be.
constexpr int kBandsPerThread = 8;
constexpr std::int64_t kPixelsPerBand = 4096;
// Starting the pool's workers costs about half a millisecond each here, more
// than a warp below this many pixels saves by them: a process's first warp
// that would use them runs on its caller alone unless it is this large, so
// that a page which draws one picture never starts them. The next warp does.
constexpr std::int64_t kPixelsToStartWorkers = std::int64_t{1} << 22;
std::atomic<bool> gWarpedOnThreads{false};

// A move by whole pixels: c0 = c4 = 1, c1 = c3 = 0 and whole c2 and c5, so
// every position the plain kernels reach is a whole number (the additions
// along rows and down stay exact), and their linear and nearest kernels give
// the source pixel there, held to the source, unchanged.
bool IsWholeMove(const AffineKernelArgs& inArgs)
{
  const double* c = inArgs.mC;
  constexpr double kFar = 1 << 30;
  return c[0] == 1 && c[1] == 0 && c[3] == 0 && c[4] == 1 && c[2] == std::floor(c[2]) && c[5] == std::floor(c[5]) &&
         std::fabs(c[2]) < kFar && std::fabs(c[5]) < kFar;
}

// inCount pixels of N samples from source column inFrom on (held to
// 0 .. inLimit): the columns inside the source without holding.
template <int N>
void MovePixels(const std::uint8_t* inLine, std::int64_t inStep, std::int64_t inFrom, std::int64_t inLimit,
                int inCount, std::uint8_t* outPixel, std::int64_t inOutStep)
{
  const auto Copy = [](const std::uint8_t* inPixel, std::uint8_t* outTo) {
    for (int i = 0; i < N; ++i)
      outTo[i] = inPixel[i];
  };
  const std::int64_t theInsideFrom = std::clamp<std::int64_t>(-inFrom, 0, inCount);
  const std::int64_t theInsideTo = std::clamp<std::int64_t>(inLimit + 1 - inFrom, theInsideFrom, inCount);
  std::int64_t k = 0;
  for (; k < theInsideFrom; ++k, outPixel += inOutStep)
    Copy(inLine, outPixel);
  const std::uint8_t* thePixel = inLine + (inFrom + k) * inStep;
  for (; k < theInsideTo; ++k, outPixel += inOutStep, thePixel += inStep)
    Copy(thePixel, outPixel);
  for (; k < inCount; ++k, outPixel += inOutStep)
    Copy(inLine + inLimit * inStep, outPixel);
}

// The rows of a whole move of 8-bit samples in pixel order: copies.
void MoveRows(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  constexpr decltype(&MovePixels<1>) kMoves[] = {&MovePixels<1>, &MovePixels<2>, &MovePixels<3>, &MovePixels<4>};
  const auto theMove = inArgs.mChannels <= 4 ? kMoves[inArgs.mChannels - 1] : nullptr;
  const auto theShift = static_cast<std::int64_t>(inRowX);
  for (int y = inYFrom; y <= inYTo; ++y, inRowY += 1) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst > theLast)
      continue;
    const std::uint8_t* theLine =
      inArgs.mSource + std::clamp<std::int64_t>(static_cast<std::int64_t>(inRowY), 0, inArgs.mYLimit) * inArgs.mSourceRowStep;
    std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * inArgs.mDestinationStep;
    const int theCount = theLast - theFirst + 1;
    if (theMove) {
      theMove(theLine, inArgs.mSourceStep, theFirst + theShift, inArgs.mXLimit, theCount, theOut, inArgs.mDestinationStep);
      continue;
    }
    for (int k = 0; k < theCount; ++k, theOut += inArgs.mDestinationStep)
      std::memcpy(theOut,
                  theLine + std::clamp<std::int64_t>(theFirst + theShift + k, 0, inArgs.mXLimit) * inArgs.mSourceStep,
                  static_cast<std::size_t>(inArgs.mChannels));
  }
}

AffineRows FastRows(int inIndex, const AffineKernelArgs& inArgs)
{
  constexpr int kNearestU8Pixel = 0;
  constexpr int kLinearU8Pixel = 1;
  if ((inIndex == kNearestU8Pixel || inIndex == kLinearU8Pixel) && IsWholeMove(inArgs))
    return &MoveRows;
  if (inIndex == kLinearU8Pixel) {
    if (AffineRows theRows = LinearU8VectorRows(inArgs, gVectors.load()))
      return theRows;
  }
  return PlainAffineRows(inIndex);
}

struct Band {
  int mFrom;
  int mTo;
  double mRowX;
  double mRowY;
};

// Rows cut into bands of about the same number of covered pixels; each band
// carries the row terms accumulated up to its first row.
std::vector<Band> CutBands(const AffineKernelArgs& inArgs, int inBands, std::int64_t inPixels)
{
  std::vector<Band> theBands;
  const double* c = inArgs.mC;
  double theRowX = c[1] * inArgs.mYMin + c[2];
  double theRowY = c[4] * inArgs.mYMin + c[5];
  std::int64_t theDone = 0;
  int theStart = inArgs.mYMin;
  double theStartX = theRowX;
  double theStartY = theRowY;
  for (int y = inArgs.mYMin; y <= inArgs.mYMax; ++y) {
    const int theRow = y - inArgs.mYMin;
    theDone += std::max(0, inArgs.mLastColumns[theRow] - inArgs.mFirstColumns[theRow] + 1);
    theRowX += c[1];
    theRowY += c[4];
    const std::int64_t theTarget = inPixels * static_cast<std::int64_t>(theBands.size() + 1) / inBands;
    if (y == inArgs.mYMax || (theDone >= theTarget && static_cast<int>(theBands.size()) < inBands - 1)) {
      theBands.push_back({theStart, y, theStartX, theStartY});
      theStart = y + 1;
      theStartX = theRowX;
      theStartY = theRowY;
    }
  }
  return theBands;
}

}  // namespace

bool FastLayerEnabled()
{
  return gEnabled.load();
}

void SetFastLayer(bool inEnabled, int inThreads, VectorLevel inVectors)
{
  gEnabled.store(inEnabled);
  gThreads.store(std::max(inThreads, 0));
  gVectors.store(inVectors);
}

void RunAffineKernel(int inIndex, const AffineKernelArgs& inArgs)
{
  const double* c = inArgs.mC;
  if (!gEnabled.load()) {
    PlainAffineRows(inIndex)(inArgs, inArgs.mYMin, inArgs.mYMax, c[1] * inArgs.mYMin + c[2],
                             c[4] * inArgs.mYMin + c[5]);
    return;
  }
  const AffineRows theRows = FastRows(inIndex, inArgs);
  // A copy is bound by memory, and most of it is the first touch of a new
  // canvas's pages, which threads of one process take in turn: its caller
  // alone makes it, and no workers start for it.
  if (theRows == &MoveRows) {
    theRows(inArgs, inArgs.mYMin, inArgs.mYMax, c[1] * inArgs.mYMin + c[2], c[4] * inArgs.mYMin + c[5]);
    return;
  }
  std::int64_t thePixels = 0;
  for (int r = 0; r <= inArgs.mYMax - inArgs.mYMin; ++r)
    thePixels += std::max(0, inArgs.mLastColumns[r] - inArgs.mFirstColumns[r] + 1);
  // Asking the system for its processors reads a file: once is enough.
  static const int theCores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  int theThreads = gThreads.load();
  if (theThreads == 0)
    theThreads = theCores;
  theThreads = static_cast<int>(std::min<std::int64_t>({theThreads, thePixels / kPixelsPerThread,
                                                         inArgs.mYMax - inArgs.mYMin + 1}));
  if (theThreads > 1 && !gWarpedOnThreads.exchange(true) && thePixels < kPixelsToStartWorkers)
    theThreads = 1;
  if (theThreads <= 1) {
    theRows(inArgs, inArgs.mYMin, inArgs.mYMax, c[1] * inArgs.mYMin + c[2], c[4] * inArgs.mYMin + c[5]);
    return;
  }
  const int theBandCount = static_cast<int>(std::min<std::int64_t>(
    {theThreads * kBandsPerThread, std::max<std::int64_t>(theThreads, thePixels / kPixelsPerBand),
     inArgs.mYMax - inArgs.mYMin + 1}));
  std::vector<Band> theBands;
  try {
    theBands = CutBands(inArgs, theBandCount, thePixels);
  } catch (...) {
    theRows(inArgs, inArgs.mYMin, inArgs.mYMax, c[1] * inArgs.mYMin + c[2], c[4] * inArgs.mYMin + c[5]);
    return;
  }
  WorkerPool::Get().Run(theThreads, theBands.size(), [&theBands, &inArgs, theRows](std::size_t inBand) {
    const Band& theBand = theBands[inBand];
    theRows(inArgs, theBand.mFrom, theBand.mTo, theBand.mRowX, theBand.mRowY);
  });
}

}  // namespace kernels
