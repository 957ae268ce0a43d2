#pragma once
// The affine pixel kernels: for every covered destination pixel of rows
// ymin..ymax, the source position through the inverse matrix and an
// interpolated value.
//
// One kernel per depth (8, 16, 32 float), order (pixel, plane) and method
// (nearest, linear, cubic): table index = base + 3 x plane + method, base 0 for
// depth 8, 6 for 16, 12 for 32; index kBitKernel is the 1-bit nearest kernel.
//
// The arithmetic is fixed: double precision; the row terms c1 y + c2 and
// c4 y + c5 computed once for ymin and advanced by c1 and c4 per row; across a
// row sx and sy advanced by adding c0 and c3 per pixel; positions truncated
// toward zero (with 1e-7 added for linear and cubic, 0.5 for nearest). Every
// faster path must give the same bytes.
//
// The sampling rules, and how reads are kept inside the source, are those of
// Interpolation.h.

#include "kernels/Interpolation.h"

#include <cstdint>

namespace kernels {

struct AffineKernelArgs {
  const std::uint8_t* mSource;   // source pixel (0, 0) at the first processed channel
  std::uint8_t* mDestination;    // destination pixel (0, ymin) at the first processed channel
  std::int64_t mSourceRowStep;   // bytes
  std::int64_t mDestinationRowStep;
  // Pixel order: samples from one pixel to the next (the channel count);
  // plane order: bytes from one plane to the next (the plane size).
  std::int64_t mSourceStep;
  std::int64_t mDestinationStep;
  int mChannels;                 // processed channels
  int mYMin;
  int mYMax;
  const std::int32_t* mFirstColumns;  // indexed by row - ymin
  const std::int32_t* mLastColumns;
  double mC[6];                  // inverse: sx = c0 x + c1 y + c2, sy = c3 x + c4 y + c5
  int mXLimit;                   // source width - 1
  int mYLimit;                   // source height - 1
};

constexpr int kBitKernel = 18;

// Rows inYFrom..inYTo of a kernel, given the row terms c1 y + c2 and c4 y + c5
// of row inYFrom as the accumulation from ymin makes them.
using AffineRows = void (*)(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX,
                            double inRowY);

// The plain rows of kernel inIndex (0..17, or kBitKernel).
AffineRows PlainAffineRows(int inIndex);

}  // namespace kernels
