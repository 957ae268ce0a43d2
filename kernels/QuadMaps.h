#pragma once
// The maps between a rectangle and a convex quadrangle that the bilinear and
// perspective warps use, and the rows of source positions their kernels
// sample at.
//
// A rectangle (x1, y1, x2, y2) and a quadrangle q0..q3 correspond corner by
// corner: (x1, y1) to q0, (x2, y1) to q1, (x2, y2) to q2, (x1, y2) to q3, with
// W = x2 - x1 and H = y2 - y1.
//
// Bilinear (straight edges, a curved grid inside), coefficients c0..c7:
//   x' = c0 x y + c1 x + c2 y + c3,   y' = c4 x y + c5 x + c6 y + c7.
// Its inverse, from a position (x, y) of the quadrangle back to the rectangle,
// solves a quadratic. With d = (x - X0, y - Y0), e1 = q1 - q0, e2 = q3 - q0,
// e3 = q0 - q1 + q2 - q3, cross(a, b) = a.x b.y - a.y b.x, A = cross(e1, e3),
// B = cross(e2, e3) and M = cross(e1, e2), and values of magnitude 1e-10 or
// less counted as zero:
//   case 0 (A, B not zero): sx = s + t, sy = R + k t, t = Q -/+ sqrt(Q^2 - P)
//     with Q = W (cross(d, e3) - M) / 2A, P = -W^2 cross(d, e2) / A,
//     R = y1 + H cross(d, e3) / B, k = -(A / W)(H / B), s = x1; the root flag
//     picks the sign; a discriminant below zero (rounding at the edges) is 0;
//   case 1 (A zero: q0q1 parallel to q3q2): sx = s + P / Q, sy = R with
//     P = W cross(d, e2), Q = M - cross(d, e3), R as in case 0, s = x1;
//   case 2 (B zero: q1q2 parallel to q0q3): sx = P, sy = s + R / Q with
//     P = x1 + W cross(d, e3) / A, Q = -M - cross(d, e3), R = H cross(d, e1),
//     s = y1;
//   case 3 (a parallelogram): sx = P = x1 + W cross(d, e2) / M,
//     sy = R = y1 - H cross(d, e1) / M.
// P, Q and R are linear forms of (x, y), kept as their coefficients.
//
// Perspective (a projective map), coefficients c0..c8:
//   x' = (c0 x + c1 y + c2) / (c6 x + c7 y + c8),
//   y' = (c3 x + c4 y + c5) / (c6 x + c7 y + c8).
// Its inverse is the adjugate of the 3 x 3 matrix: the determinant it is not
// divided by cancels in the quotients.
//
// The orientation flag of a quadrangle is 1 when the turn at q3,
// (X3 - X2)(Y0 - Y3) - (Y3 - Y2)(X0 - X3), is above 0: the spans and edge
// smoothing take it as the affine warp's.

#include "kernels/ImageLayout.h"
#include "kernels/SpanBuilder.h"

#include <array>

namespace kernels {

// The map a warp makes between its rectangle and its quadrangle.
enum class WarpKind { kAffine = 0, kBilinear = 1, kPerspective = 2 };

// Images of a rectangle's corners (x1, y1), (x2, y1), (x2, y2), (x1, y2).
using Quad = std::array<Point, 4>;

Quad QuadOf(const double inQuad[4][2]);
void CopyQuad(const Quad& inQuad, double outQuad[4][2]);
// The affine image of inRect grown by half a pixel on every side, from
// inQuad, the image of inRect itself (whose width and height are above 1):
// the area the rectangle's pixels cover when each is the square around its
// centre.
Quad PixelAreaQuad(const Quad& inQuad, const IplRect& inRect);

constexpr const char* kQuadNotFinite = "Quadrangle is not finite";

bool AllFinite(const double* inValues, int inCount);
bool QuadFinite(const Quad& inQuad);

// Why a quadrangle cannot be mapped onto, or null when it can: a corner not
// finite (kQuadNotFinite), consecutive edges on one line at a corner, or turns
// of both signs.
const char* QuadrangleFault(const Quad& inQuad);

bool QuadOrientation(const Quad& inQuad);

// The inverse bilinear solution for one rectangle and quadrangle.
struct BilinearInverse {
  double mQx, mQy, mQ0;
  double mK;
  double mPx, mRx, mPy, mRy, mP0, mR0;
  double mS;
  int mCase;
  int mRoot;  // case 0: 1 takes t = Q + sqrt(Q^2 - P), 0 takes Q - sqrt(Q^2 - P)

  // The source position of (inX, inY), by the case formulas in double precision.
  Point At(double inX, double inY) const;
};

// The forward coefficients, or the inverse solution; both return the
// orientation flag.
bool SolveBilinear(const IplRect& inRect, const Quad& inQuad, double outForward[8]);
bool SolveBilinear(const IplRect& inRect, const Quad& inQuad, BilinearInverse& outInverse);

// c0..c8 (inForward) or the inverse a0..a8; returns the orientation flag. The
// quadrangle must be convex and not degenerate (QuadrangleFault).
bool SolvePerspective(const IplRect& inRect, const Quad& inQuad, bool inForward, double outCoeffs[9]);

// The image of one position under a projective form.
Point PerspectiveAt(const double inCoeffs[9], double inX, double inY);

// The quadrangle of a rectangle under the forward forms.
Quad BilinearQuad(const double inCoeffs[8], double inX1, double inY1, double inX2, double inY2);
Quad PerspectiveQuad(const double inCoeffs[9], double inX1, double inY1, double inX2, double inY2);

// The source positions of inCount consecutive pixels of a row: x positions at
// outBuffer[i], y positions at outBuffer[inCount + i]. P, Q and R are their
// values at the first pixel, advanced by adding their x steps.
void BilinearInverseRow(float* outBuffer, int inCount, double inR, double inRx, double inP, double inPx, double inQ,
                        double inQx, double inK, double inS, int inCase, int inRoot);

// The same for a projective form: numerators and denominator at the first
// pixel and their steps, all advanced by addition. The denominators'
// reciprocals are formed four at a time with one division: for w_a..w_d,
// r = 1 / (w_a w_b w_c w_d) and 1 / w_a = w_b w_c w_d r and so on; each group
// of four starts at the previous group's first denominator plus 4 dw.
void PerspectiveRow(double* outBuffer, int inCount, double inW, double inDw, double inX, double inDx, double inY,
                    double inDy);

}  // namespace kernels
