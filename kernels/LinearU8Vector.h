#pragma once
// Vector bodies of the system's own kernel (8-bit, pixel order, linear, one to
// four processed channels) for the fast layer, in AVX2 and AVX-512 forms.
// Shrinking four-byte pixels without rotation has a body of its own in single
// precision with fused multiply-adds; its rounding contract is stated with it
// (LinearU8Vector.cpp).
//
// The channels of a pixel sit in the lanes of a vector of doubles (AVX-512 puts
// two pixels in one vector). Each lane does exactly what the plain kernel does
// for its channel, in the same order:
//   top = (b - a) fx + a;  bottom = (e - d) fx + d;
//   result = top + ((bottom - top) fy + 0.5), held to 0..255, truncated,
// and positions, indices and fractions are formed as the plain kernel forms
// them (the same additions along a row, ClampPosition, trunc(s + 1e-7), the
// edge rule). No fused multiply-add is used, so every byte is the plain
// kernel's (AffineKernelTests' FastLayerMatchesThePlainKernels).
//
// A warp without rotation or shear (c1 = c3 = 0) has a body of its own: all
// rows of a band walk the same source columns with the same fractions and a
// row's source row and vertical fraction hold along it, so the horizontal step
// (b - a) fx + a is made once per source row and kept; it is the same double
// the general body forms, whether that source row is a pixel's top or bottom.
// Rows that take the same two source rows are made in one pass over them.

#include "kernels/AffineKernels.h"

namespace kernels {

enum class VectorLevel { kNone, kAvx2, kAvx512 };

// What this processor runs.
VectorLevel SupportedVectorLevel();

// The body for the arguments at a level at most inLevel, or null when none
// applies (other channel counts, or no vector level).
AffineRows LinearU8VectorRows(const AffineKernelArgs& inArgs, VectorLevel inLevel);

}  // namespace kernels
