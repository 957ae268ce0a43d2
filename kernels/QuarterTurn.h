#pragma once
// Quarter, half and three-quarter turns by moving samples: every destination
// pixel takes exactly one source pixel, the one the exact turn matrix with
// whole shifts xs, ys maps onto it:
//    90: source of (x', y') is (ys - y', x' - xs)
//   180: source of (x', y') is (xs - x', ys - y')
//   270: source of (x', y') is (y' - ys, xs - x')
// over the source ROI rectangle's image cut to the destination ROI rectangle.
// Processed channels as for the warps (the alpha channel and the channels
// outside a channel of interest are left alone); samples are copied whole,
// never converted; 1-bit images bit by bit at their absolute positions.

#include "kernels/IplTypes.h"

namespace kernels {

// inAngle is 90, 180 or 270. Reports under "iplRotate".
void RotateQuarter(ImageHeader* inSource, ImageHeader* inDestination, int inAngle, int inXShift, int inYShift);

}  // namespace kernels
