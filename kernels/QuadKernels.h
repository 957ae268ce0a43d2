#pragma once
// The pixel kernels of the bilinear and perspective warps, in both directions.
//
// Rectangle to quadrangle: each destination row ymin..ymax with a covered span
// gets the source positions of the inverse map for the span's pixels, from the
// row routines of QuadMaps.h (bilinear into a float buffer, perspective into
// a double one). The row terms are carried from row to row by addition:
// bilinear Py y + P0 and Ry y + R0 (Q at the span's first pixel x is
// Qy y + Q0 + Qx x); perspective a1 y + a2, a4 y + a5 and a7 y + a8.
//
// Quadrangle to rectangle: every pixel (i, j) of a columns x rows block,
// counted from the destination start, gets the forward map of (i, j). Bilinear
// by additions: a row starts at sx = c3 + j c2 and steps by c1 + j c0 (both
// carried by adding c2 and c0), sy likewise with c7, c6, c5, c4; perspective
// through its row routine, with c1 j + c2, c4 j + c5 and c7 j + c8 carried by
// adding c1, c4 and c7. With mOutside a pixel is written only when its source
// position lies inside the source rectangle (both ends included); the others
// keep their values.
//
// Samples are written by the rules of Interpolation.h (every depth, both
// orders); 1-bit images take nearest, bit by bit, most significant bit first,
// the source bit at its absolute column.

#include "kernels/ImageLayout.h"
#include "kernels/QuadMaps.h"

#include <cstdint>

namespace kernels {

struct QuadKernelArgs {
  WarpKind mKind;
  bool mRectToQuad;
  std::int32_t mDepth;
  bool mPlane;                   // plane-order steps (see AffineKernelArgs)
  const std::uint8_t* mSource;   // source pixel (0, 0) at the first processed channel
  // Rectangle to quadrangle: destination pixel (0, ymin); quadrangle to
  // rectangle: the destination ROI's first pixel; both at the first processed
  // channel (for depth 1, the byte holding the pixel).
  std::uint8_t* mDestination;
  std::int64_t mSourceRowStep;   // bytes
  std::int64_t mDestinationRowStep;
  std::int64_t mSourceStep;      // as AffineKernelArgs
  std::int64_t mDestinationStep;
  int mChannels;                 // processed channels
  int mXLimit;                   // source width - 1
  int mYLimit;                   // source height - 1
  int mMethod;                   // IPL_INTER_NN, _LINEAR or _CUBIC
  void* mRowBuffer;              // room for 2 x (row length) doubles; unused by bilinear quadrangle to rectangle

  // Rectangle to quadrangle: the spans, indexed by row - ymin, and the inverse
  // map: mBilinear, or a0..a8 in mC.
  int mYMin;
  int mYMax;
  const std::int32_t* mFirstColumns;
  const std::int32_t* mLastColumns;
  BilinearInverse mBilinear;

  // Quadrangle to rectangle: the block, the forward coefficients in mC
  // (bilinear c0..c7, perspective c0..c8), the source rectangle for mOutside,
  // and for depth 1 the bit of the destination start within its byte.
  int mColumns;
  int mRows;
  bool mOutside;
  IplRect mSourceRect;
  int mDestinationBit;

  double mC[9];
};

void RunQuadKernel(const QuadKernelArgs& inArgs);

}  // namespace kernels
