#pragma once
// The sampling rules every warp kernel shares: one destination pixel written
// from the source position (sx, sy) by nearest, linear or cubic
// interpolation, for 8-bit, 16-bit and 32-bit float samples in pixel or plane
// order.
//
// - Nearest: trunc(s + 0.5) on both axes; the source pixel's processed
//   channels are copied.
// - Linear: trunc(s + 1e-7) of s held to 0 .. limit, so that a position
//   past either edge (the half pixel a warp over pixel areas reaches) takes
//   the edge pixel in full; at the far edge (index at least the limit) the
//   pair limit - 1, limit with fraction 1. Along x on two rows, then along y,
//   in double precision:
//     top = (b - a) fx + a;  bottom = (e - d) fx + d;
//     result = top + ((bottom - top) fy + 0.5), truncated (8, 16 bit);
//   float results are top + (bottom - top) fy, stored as they are.
// - Cubic: the 4 x 4 window from trunc(s + 1e-7) - 1, moved to 0 or to
//   limit - 3 at the edges; Lagrange weights through -1, 0, 1, 2 in single
//   precision; integer results rounded and clamped to the sample's range.
//
// Reads never leave the source: positions are first held to 0 .. limit for
// linear, -1 .. limit for nearest (-2 .. limit + 2 for cubic, whose window is
// clamped anyway), which changes nothing for a position inside the image, and
// NaN is held to the low end. Cubic needs a source of at least 4 x 4 pixels and
// linear one of 2 x 2; the drivers fall back to what the source can feed.

#include "kernels/SampleAccess.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kernels {

// Holds a source position to inLow .. inHigh (NaN to inLow) before it is
// truncated, the same selections as vector max and min.
inline double ClampPosition(double inValue, double inLow, double inHigh)
{
  const double theValue = inValue > inLow ? inValue : inLow;
  return theValue < inHigh ? theValue : inHigh;
}

// The linear kernels' source index and fraction along one axis of limit
// inLimit.
inline void LinearIndex(double inPosition, int inLimit, int& outIndex, double& outFraction)
{
  const double thePosition = ClampPosition(inPosition, 0.0, inLimit);
  outIndex = static_cast<int>(thePosition + 1e-7);
  outFraction = 1.0;
  if (outIndex >= inLimit)
    outIndex = inLimit - 1;
  else
    outFraction = thePosition - outIndex;
}

// The nearest kernels' source index along one axis of limit inLimit.
inline int NearestIndex(double inPosition, int inLimit)
{
  return static_cast<int>(ClampPosition(inPosition, -1.0, inLimit) + 0.5);
}

// Where a kernel reads and writes: the source's pixel (0, 0) at its first
// processed channel, and byte distances to the next row, pixel and channel.
struct SampleGrid {
  const std::uint8_t* mSource;
  std::int64_t mRowStep;
  std::int64_t mPixel;
  std::int64_t mChannel;
  std::int64_t mOutPixel;    // the destination's distances
  std::int64_t mOutChannel;
  int mChannels;             // processed channels
  int mXLimit;               // source width - 1
  int mYLimit;               // source height - 1
};

// The grid of a kernel of sample type T. inSourceStep and inDestinationStep
// are, in pixel order, the samples from one pixel to the next (the channel
// count); in plane order the bytes from one plane to the next.
template <typename T>
SampleGrid GridFor(const std::uint8_t* inSource, std::int64_t inRowStep, std::int64_t inSourceStep,
                   std::int64_t inDestinationStep, bool inPlane, int inChannels, int inXLimit, int inYLimit)
{
  constexpr std::int64_t kSize = sizeof(T);
  return {inSource,
          inRowStep,
          inPlane ? kSize : inSourceStep * kSize,
          inPlane ? inSourceStep : kSize,
          inPlane ? kSize : inDestinationStep * kSize,
          inPlane ? inDestinationStep : kSize,
          inChannels,
          inXLimit,
          inYLimit};
}

template <typename T>
struct Nearest {
  static void Write(const SampleGrid& inGrid, double inSX, double inSY, std::uint8_t* outPixel)
  {
    const int theX = NearestIndex(inSX, inGrid.mXLimit);
    const int theY = NearestIndex(inSY, inGrid.mYLimit);
    const std::uint8_t* thePixel = inGrid.mSource + theY * inGrid.mRowStep + theX * inGrid.mPixel;
    for (int c = 0; c < inGrid.mChannels; ++c)
      std::memcpy(outPixel + c * inGrid.mOutChannel, thePixel + c * inGrid.mChannel, sizeof(T));
  }
};

template <typename T>
struct Linear {
  static void Write(const SampleGrid& inGrid, double inSX, double inSY, std::uint8_t* outPixel)
  {
    int theX = 0;
    int theY = 0;
    double theFx = 0;
    double theFy = 0;
    LinearIndex(inSX, inGrid.mXLimit, theX, theFx);
    LinearIndex(inSY, inGrid.mYLimit, theY, theFy);
    const std::uint8_t* thePixel = inGrid.mSource + theY * inGrid.mRowStep + theX * inGrid.mPixel;
    const std::int64_t theRight = inGrid.mPixel;
    const std::int64_t theDown = inGrid.mRowStep;
    for (int c = 0; c < inGrid.mChannels; ++c) {
      const std::uint8_t* theSample = thePixel + c * inGrid.mChannel;
      const double theA = LoadSample<T>(theSample);
      const double theB = LoadSample<T>(theSample + theRight);
      const double theD = LoadSample<T>(theSample + theDown);
      const double theE = LoadSample<T>(theSample + theDown + theRight);
      const double theTop = (theB - theA) * theFx + theA;
      const double theBottom = (theE - theD) * theFx + theD;
      std::uint8_t* theOut = outPixel + c * inGrid.mOutChannel;
      if constexpr (std::is_same_v<T, float>)
        StoreSample(theOut, static_cast<float>(theTop + (theBottom - theTop) * theFy));
      else
        StoreSample(theOut, ClampTrunc<T>(theTop + ((theBottom - theTop) * theFy + 0.5)));
    }
  }
};

// Lagrange weights through the nodes -1, 0, 1, 2, in single precision.
inline void CubicWeights(float inT, float outWeights[4])
{
  outWeights[0] = -inT * (inT - 1.0f) * (inT - 2.0f) / 6.0f;
  outWeights[1] = (inT + 1.0f) * (inT - 1.0f) * (inT - 2.0f) / 2.0f;
  outWeights[2] = -(inT + 1.0f) * inT * (inT - 2.0f) / 2.0f;
  outWeights[3] = (inT + 1.0f) * inT * (inT - 1.0f) / 6.0f;
}

// The first column of the cubic window along one axis.
inline int CubicStart(int inIndex, int inLimit)
{
  if (inIndex < 1)
    return 0;
  if (inIndex >= inLimit - 1)
    return inLimit - 3;
  return inIndex - 1;
}

template <typename T>
struct Cubic {
  static void Write(const SampleGrid& inGrid, double inSX, double inSY, std::uint8_t* outPixel)
  {
    const double theSX = ClampPosition(inSX, -2.0, inGrid.mXLimit + 2.0);
    const double theSY = ClampPosition(inSY, -2.0, inGrid.mYLimit + 2.0);
    const int theX0 = CubicStart(static_cast<int>(theSX + 1e-7), inGrid.mXLimit);
    const int theY0 = CubicStart(static_cast<int>(theSY + 1e-7), inGrid.mYLimit);
    float theWx[4];
    float theWy[4];
    CubicWeights(static_cast<float>(theSX - theX0 - 1), theWx);
    CubicWeights(static_cast<float>(theSY - theY0 - 1), theWy);
    const std::uint8_t* theWindow = inGrid.mSource + theY0 * inGrid.mRowStep + theX0 * inGrid.mPixel;
    for (int c = 0; c < inGrid.mChannels; ++c) {
      const std::uint8_t* theChannel = theWindow + c * inGrid.mChannel;
      float theSum = 0.0f;
      for (int j = 0; j < 4; ++j) {
        const std::uint8_t* theRow = theChannel + j * inGrid.mRowStep;
        float theRowSum = 0.0f;
        for (int i = 0; i < 4; ++i)
          theRowSum += theWx[i] * static_cast<float>(LoadSample<T>(theRow + i * inGrid.mPixel));
        theSum += theWy[j] * theRowSum;
      }
      std::uint8_t* theOut = outPixel + c * inGrid.mOutChannel;
      if constexpr (std::is_same_v<T, float>)
        StoreSample(theOut, theSum);
      else
        StoreSample(theOut, RoundToSample<T>(theSum));
    }
  }
};

}  // namespace kernels
