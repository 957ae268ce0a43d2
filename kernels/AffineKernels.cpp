#include "kernels/AffineKernels.h"

#include "kernels/SampleAccess.h"

#include <cstring>
#include <iterator>
#include <type_traits>

namespace kernels {

namespace {

// Byte distances of one kernel's source and destination: to the next pixel
// and to the next channel.
template <typename T, bool kPlane>
struct Strides {
  explicit Strides(const AffineKernelArgs& inArgs)
      : mSourcePixel(kPlane ? sizeof(T) : inArgs.mSourceStep * sizeof(T)),
        mSourceChannel(kPlane ? inArgs.mSourceStep : sizeof(T)),
        mDestinationPixel(kPlane ? sizeof(T) : inArgs.mDestinationStep * sizeof(T)),
        mDestinationChannel(kPlane ? inArgs.mDestinationStep : sizeof(T))
  {
  }
  std::int64_t mSourcePixel;
  std::int64_t mSourceChannel;
  std::int64_t mDestinationPixel;
  std::int64_t mDestinationChannel;
};

// The nearest kernels' source index along one axis of limit inLimit: the held
// position truncated with 0.5 added.
int NearestIndex(double inPosition, int inLimit)
{
  return static_cast<int>(ClampPosition(inPosition, -1.0, inLimit) + 0.5);
}

// Lagrange weights through the nodes -1, 0, 1, 2, in single precision.
void CubicWeights(float inT, float outWeights[4])
{
  outWeights[0] = -inT * (inT - 1.0f) * (inT - 2.0f) / 6.0f;
  outWeights[1] = (inT + 1.0f) * (inT - 1.0f) * (inT - 2.0f) / 2.0f;
  outWeights[2] = -(inT + 1.0f) * inT * (inT - 2.0f) / 2.0f;
  outWeights[3] = (inT + 1.0f) * inT * (inT - 1.0f) / 6.0f;
}

// The first column of the cubic window along one axis.
int CubicStart(int inIndex, int inLimit)
{
  if (inIndex < 1)
    return 0;
  if (inIndex >= inLimit - 1)
    return inLimit - 3;
  return inIndex - 1;
}

template <typename T, bool kPlane>
struct NearestPixel {
  static void Write(const AffineKernelArgs& inArgs, const Strides<T, kPlane>& inStrides, double inSX,
                    double inSY, std::uint8_t* outPixel)
  {
    const int theX = NearestIndex(inSX, inArgs.mXLimit);
    const int theY = NearestIndex(inSY, inArgs.mYLimit);
    const std::uint8_t* thePixel =
      inArgs.mSource + theY * inArgs.mSourceRowStep + theX * inStrides.mSourcePixel;
    for (int c = 0; c < inArgs.mChannels; ++c)
      std::memcpy(outPixel + c * inStrides.mDestinationChannel, thePixel + c * inStrides.mSourceChannel,
                  sizeof(T));
  }
};

template <typename T, bool kPlane>
struct LinearPixel {
  static void Write(const AffineKernelArgs& inArgs, const Strides<T, kPlane>& inStrides, double inSX,
                    double inSY, std::uint8_t* outPixel)
  {
    int theX = 0;
    int theY = 0;
    double theFx = 0;
    double theFy = 0;
    LinearIndex(inSX, inArgs.mXLimit, theX, theFx);
    LinearIndex(inSY, inArgs.mYLimit, theY, theFy);
    const std::uint8_t* thePixel =
      inArgs.mSource + theY * inArgs.mSourceRowStep + theX * inStrides.mSourcePixel;
    const std::int64_t theRight = inStrides.mSourcePixel;
    const std::int64_t theDown = inArgs.mSourceRowStep;
    for (int c = 0; c < inArgs.mChannels; ++c) {
      const std::uint8_t* theSample = thePixel + c * inStrides.mSourceChannel;
      const double theA = LoadSample<T>(theSample);
      const double theB = LoadSample<T>(theSample + theRight);
      const double theD = LoadSample<T>(theSample + theDown);
      const double theE = LoadSample<T>(theSample + theDown + theRight);
      const double theTop = (theB - theA) * theFx + theA;
      const double theBottom = (theE - theD) * theFx + theD;
      std::uint8_t* theOut = outPixel + c * inStrides.mDestinationChannel;
      if constexpr (std::is_same_v<T, float>)
        StoreSample(theOut, static_cast<float>(theTop + (theBottom - theTop) * theFy));
      else
        StoreSample(theOut, ClampTrunc<T>(theTop + ((theBottom - theTop) * theFy + 0.5)));
    }
  }
};

template <typename T, bool kPlane>
struct CubicPixel {
  static void Write(const AffineKernelArgs& inArgs, const Strides<T, kPlane>& inStrides, double inSX,
                    double inSY, std::uint8_t* outPixel)
  {
    const double theSX = ClampPosition(inSX, -2.0, inArgs.mXLimit + 2.0);
    const double theSY = ClampPosition(inSY, -2.0, inArgs.mYLimit + 2.0);
    const int theX0 = CubicStart(static_cast<int>(theSX + 1e-7), inArgs.mXLimit);
    const int theY0 = CubicStart(static_cast<int>(theSY + 1e-7), inArgs.mYLimit);
    float theWx[4];
    float theWy[4];
    CubicWeights(static_cast<float>(theSX - theX0 - 1), theWx);
    CubicWeights(static_cast<float>(theSY - theY0 - 1), theWy);
    const std::uint8_t* theWindow =
      inArgs.mSource + theY0 * inArgs.mSourceRowStep + theX0 * inStrides.mSourcePixel;
    for (int c = 0; c < inArgs.mChannels; ++c) {
      const std::uint8_t* theChannel = theWindow + c * inStrides.mSourceChannel;
      float theSum = 0.0f;
      for (int j = 0; j < 4; ++j) {
        const std::uint8_t* theRow = theChannel + j * inArgs.mSourceRowStep;
        float theRowSum = 0.0f;
        for (int i = 0; i < 4; ++i)
          theRowSum += theWx[i] * static_cast<float>(LoadSample<T>(theRow + i * inStrides.mSourcePixel));
        theSum += theWy[j] * theRowSum;
      }
      std::uint8_t* theOut = outPixel + c * inStrides.mDestinationChannel;
      if constexpr (std::is_same_v<T, float>)
        StoreSample(theOut, theSum);
      else
        StoreSample(theOut, RoundToSample<T>(theSum));
    }
  }
};

// The row loop every kernel of the table shares.
template <typename T, bool kPlane, template <typename, bool> class Method>
void Rows(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  const Strides<T, kPlane> theStrides(inArgs);
  const double* theC = inArgs.mC;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst <= theLast) {
      double theSX = theC[0] * theFirst + theRowX;
      double theSY = theC[3] * theFirst + theRowY;
      std::uint8_t* thePixel = inArgs.mDestination + theRow * inArgs.mDestinationRowStep +
                               theFirst * theStrides.mDestinationPixel;
      for (int x = theFirst; x <= theLast; ++x) {
        Method<T, kPlane>::Write(inArgs, theStrides, theSX, theSY, thePixel);
        thePixel += theStrides.mDestinationPixel;
        theSX += theC[0];
        theSY += theC[3];
      }
    }
    theRowX += theC[1];
    theRowY += theC[4];
  }
}

// 1-bit, nearest: bit x of a row, most significant bit first, at its absolute
// position in the row.
void BitRows(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  const double* theC = inArgs.mC;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst <= theLast) {
      double theSX = theC[0] * theFirst + theRowX;
      double theSY = theC[3] * theFirst + theRowY;
      std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep;
      for (int x = theFirst; x <= theLast; ++x) {
        const int theX = NearestIndex(theSX, inArgs.mXLimit);
        const int theY = NearestIndex(theSY, inArgs.mYLimit);
        if (BitAt(inArgs.mSource + theY * inArgs.mSourceRowStep, theX))
          SetBit(theOut, x);
        else
          ClearBit(theOut, x);
        theSX += theC[0];
        theSY += theC[3];
      }
    }
    theRowX += theC[1];
    theRowY += theC[4];
  }
}

constexpr AffineRows kTable[] = {
  &Rows<std::uint8_t, false, NearestPixel>,  &Rows<std::uint8_t, false, LinearPixel>,
  &Rows<std::uint8_t, false, CubicPixel>,    &Rows<std::uint8_t, true, NearestPixel>,
  &Rows<std::uint8_t, true, LinearPixel>,    &Rows<std::uint8_t, true, CubicPixel>,
  &Rows<std::uint16_t, false, NearestPixel>, &Rows<std::uint16_t, false, LinearPixel>,
  &Rows<std::uint16_t, false, CubicPixel>,   &Rows<std::uint16_t, true, NearestPixel>,
  &Rows<std::uint16_t, true, LinearPixel>,   &Rows<std::uint16_t, true, CubicPixel>,
  &Rows<float, false, NearestPixel>,         &Rows<float, false, LinearPixel>,
  &Rows<float, false, CubicPixel>,           &Rows<float, true, NearestPixel>,
  &Rows<float, true, LinearPixel>,           &Rows<float, true, CubicPixel>,
  &BitRows,
};
static_assert(std::size(kTable) == kBitKernel + 1);

}  // namespace

AffineRows PlainAffineRows(int inIndex)
{
  return kTable[inIndex];
}

}  // namespace kernels
