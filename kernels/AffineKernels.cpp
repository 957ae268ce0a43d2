#include "kernels/AffineKernels.h"

#include "kernels/Interpolation.h"

#include <iterator>

namespace kernels {

namespace {

// The row loop every kernel of the table shares.
template <typename T, bool kPlane, template <typename> class Method>
void Rows(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  const SampleGrid theGrid = GridFor<T>(inArgs.mSource, inArgs.mSourceRowStep, inArgs.mSourceStep,
                                        inArgs.mDestinationStep, kPlane, inArgs.mChannels, inArgs.mXLimit,
                                        inArgs.mYLimit);
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
      std::uint8_t* thePixel =
        inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theGrid.mOutPixel;
      for (int x = theFirst; x <= theLast; ++x) {
        Method<T>::Write(theGrid, theSX, theSY, thePixel);
        thePixel += theGrid.mOutPixel;
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
  &Rows<std::uint8_t, false, Nearest>,  &Rows<std::uint8_t, false, Linear>,
  &Rows<std::uint8_t, false, Cubic>,    &Rows<std::uint8_t, true, Nearest>,
  &Rows<std::uint8_t, true, Linear>,    &Rows<std::uint8_t, true, Cubic>,
  &Rows<std::uint16_t, false, Nearest>, &Rows<std::uint16_t, false, Linear>,
  &Rows<std::uint16_t, false, Cubic>,   &Rows<std::uint16_t, true, Nearest>,
  &Rows<std::uint16_t, true, Linear>,   &Rows<std::uint16_t, true, Cubic>,
  &Rows<float, false, Nearest>,         &Rows<float, false, Linear>,
  &Rows<float, false, Cubic>,           &Rows<float, true, Nearest>,
  &Rows<float, true, Linear>,           &Rows<float, true, Cubic>,
  &BitRows,
};
static_assert(std::size(kTable) == kBitKernel + 1);

}  // namespace

AffineRows PlainAffineRows(int inIndex)
{
  return kTable[inIndex];
}

}  // namespace kernels
