#include "kernels/QuadKernels.h"

#include "kernels/Interpolation.h"
#include "kernels/IplTypes.h"

#include <iterator>

namespace kernels {

namespace {

// Writes pixel i of a run from the source position (sx, sy).
template <typename T, template <typename> class Method>
struct SampleWriter {
  const SampleGrid& mGrid;
  std::uint8_t* mFirst;  // the run's first pixel

  void operator()(int i, double inSX, double inSY) const
  {
    Method<T>::Write(mGrid, inSX, inSY, mFirst + i * mGrid.mOutPixel);
  }
};

// 1-bit: bit (mFirstBit + i) of a destination row from the source bit nearest
// to (sx, sy).
struct BitWriter {
  const QuadKernelArgs& mArgs;
  std::uint8_t* mRow;
  std::int64_t mFirstBit;

  void operator()(int i, double inSX, double inSY) const
  {
    const int theX = NearestIndex(inSX, mArgs.mXLimit);
    const int theY = NearestIndex(inSY, mArgs.mYLimit);
    if (BitAt(mArgs.mSource + theY * mArgs.mSourceRowStep, theX))
      SetBit(mRow, mFirstBit + i);
    else
      ClearBit(mRow, mFirstBit + i);
  }
};

bool Inside(const IplRect& inRect, double inSX, double inSY)
{
  return inSX >= inRect.x1 && inSX <= inRect.x2 && inSY >= inRect.y1 && inSY <= inRect.y2;
}

// Rectangle to quadrangle. inWriterFor(row - ymin, first column) gives the
// writer of a row's span.
template <typename WriterFor>
void RectToQuad(const QuadKernelArgs& inArgs, WriterFor inWriterFor)
{
  const BilinearInverse& b = inArgs.mBilinear;
  const double* a = inArgs.mC;
  const bool theBilinear = inArgs.mKind == WarpKind::kBilinear;
  double theRowP = b.mPy * inArgs.mYMin + b.mP0;
  double theRowR = b.mRy * inArgs.mYMin + b.mR0;
  double theRowW = a[7] * inArgs.mYMin + a[8];
  double theRowX = a[1] * inArgs.mYMin + a[2];
  double theRowY = a[4] * inArgs.mYMin + a[5];
  for (int y = inArgs.mYMin; y <= inArgs.mYMax; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst <= theLast) {
      const int n = theLast - theFirst + 1;
      const auto theWriter = inWriterFor(theRow, theFirst);
      if (theBilinear) {
        float* theBuffer = static_cast<float*>(inArgs.mRowBuffer);
        BilinearInverseRow(theBuffer, n, theRowR + b.mRx * theFirst, b.mRx, theRowP + b.mPx * theFirst, b.mPx,
                           b.mQy * y + b.mQ0 + b.mQx * theFirst, b.mQx, b.mK, b.mS, b.mCase, b.mRoot);
        for (int i = 0; i < n; ++i)
          theWriter(i, theBuffer[i], theBuffer[n + i]);
      } else {
        double* theBuffer = static_cast<double*>(inArgs.mRowBuffer);
        PerspectiveRow(theBuffer, n, a[6] * theFirst + theRowW, a[6], a[0] * theFirst + theRowX, a[0],
                       a[3] * theFirst + theRowY, a[3]);
        for (int i = 0; i < n; ++i)
          theWriter(i, theBuffer[i], theBuffer[n + i]);
      }
    }
    if (theBilinear) {
      theRowP += b.mPy;
      theRowR += b.mRy;
    } else {
      theRowW += a[7];
      theRowX += a[1];
      theRowY += a[4];
    }
  }
}

// Quadrangle to rectangle. inWriterFor(j) gives the writer of block row j.
template <typename WriterFor>
void QuadToRect(const QuadKernelArgs& inArgs, WriterFor inWriterFor)
{
  const double* c = inArgs.mC;
  const IplRect* theInside = inArgs.mOutside ? &inArgs.mSourceRect : nullptr;
  const int n = inArgs.mColumns;
  if (inArgs.mKind == WarpKind::kBilinear) {
    double theRowX = c[3];
    double theStepX = c[1];
    double theRowY = c[7];
    double theStepY = c[5];
    for (int j = 0; j < inArgs.mRows; ++j) {
      const auto theWriter = inWriterFor(j);
      double theSX = theRowX;
      double theSY = theRowY;
      for (int i = 0; i < n; ++i) {
        if (!theInside || Inside(*theInside, theSX, theSY))
          theWriter(i, theSX, theSY);
        theSX += theStepX;
        theSY += theStepY;
      }
      theRowX += c[2];
      theStepX += c[0];
      theRowY += c[6];
      theStepY += c[4];
    }
    return;
  }
  double* theBuffer = static_cast<double*>(inArgs.mRowBuffer);
  double theRowW = c[8];
  double theRowX = c[2];
  double theRowY = c[5];
  for (int j = 0; j < inArgs.mRows; ++j) {
    const auto theWriter = inWriterFor(j);
    PerspectiveRow(theBuffer, n, theRowW, c[6], theRowX, c[0], theRowY, c[3]);
    for (int i = 0; i < n; ++i) {
      if (!theInside || Inside(*theInside, theBuffer[i], theBuffer[n + i]))
        theWriter(i, theBuffer[i], theBuffer[n + i]);
    }
    theRowW += c[7];
    theRowX += c[1];
    theRowY += c[4];
  }
}

template <typename T, template <typename> class Method>
void RunWith(const QuadKernelArgs& inArgs, const SampleGrid& inGrid)
{
  using Writer = SampleWriter<T, Method>;
  if (inArgs.mRectToQuad) {
    RectToQuad(inArgs, [&inArgs, &inGrid](int inRow, int inFirst) {
      return Writer{inGrid, inArgs.mDestination + inRow * inArgs.mDestinationRowStep + inFirst * inGrid.mOutPixel};
    });
  } else {
    QuadToRect(inArgs, [&inArgs, &inGrid](int inRow) {
      return Writer{inGrid, inArgs.mDestination + inRow * inArgs.mDestinationRowStep};
    });
  }
}

// One member per depth and order; the method is an argument.
template <typename T, bool kPlane>
void Member(const QuadKernelArgs& inArgs)
{
  const SampleGrid theGrid = GridFor<T>(inArgs.mSource, inArgs.mSourceRowStep, inArgs.mSourceStep,
                                        inArgs.mDestinationStep, kPlane, inArgs.mChannels, inArgs.mXLimit,
                                        inArgs.mYLimit);
  switch (inArgs.mMethod) {
    case IPL_INTER_NN:
      RunWith<T, Nearest>(inArgs, theGrid);
      break;
    case IPL_INTER_LINEAR:
      RunWith<T, Linear>(inArgs, theGrid);
      break;
    default:
      RunWith<T, Cubic>(inArgs, theGrid);
      break;
  }
}

void BitMember(const QuadKernelArgs& inArgs)
{
  if (inArgs.mRectToQuad) {
    RectToQuad(inArgs, [&inArgs](int inRow, int inFirst) {
      return BitWriter{inArgs, inArgs.mDestination + inRow * inArgs.mDestinationRowStep, inFirst};
    });
  } else {
    QuadToRect(inArgs, [&inArgs](int inRow) {
      return BitWriter{inArgs, inArgs.mDestination + inRow * inArgs.mDestinationRowStep, inArgs.mDestinationBit};
    });
  }
}

using Kernel = void (*)(const QuadKernelArgs& inArgs);

// Index = depth base (8: 0, 16: 2, 32 float: 4) + plane.
constexpr Kernel kMembers[] = {
  &Member<std::uint8_t, false>,  &Member<std::uint8_t, true>, &Member<std::uint16_t, false>,
  &Member<std::uint16_t, true>, &Member<float, false>,        &Member<float, true>,
};
static_assert(std::size(kMembers) == 6);

}  // namespace

void RunQuadKernel(const QuadKernelArgs& inArgs)
{
  if (inArgs.mDepth == IPL_DEPTH_1U) {
    BitMember(inArgs);
    return;
  }
  const int theBase = inArgs.mDepth == IPL_DEPTH_8U ? 0 : (inArgs.mDepth == IPL_DEPTH_16U ? 2 : 4);
  kMembers[theBase + inArgs.mPlane](inArgs);
}

}  // namespace kernels
