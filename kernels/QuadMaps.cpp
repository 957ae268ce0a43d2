#include "kernels/QuadMaps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kernels {

namespace {

double Cross(const Point& inA, const Point& inB)
{
  return inA.x * inB.y - inA.y * inB.x;
}

Point Minus(const Point& inA, const Point& inB)
{
  return {inA.x - inB.x, inA.y - inB.y};
}

// A linear form a x + b y + c of the position.
struct Form {
  double mX;
  double mY;
  double mC;
};

// cross(d, e) with d = (x - X0, y - Y0).
Form CrossWith(const Point& inE, const Point& inQ0)
{
  return {inE.y, -inE.x, inE.x * inQ0.y - inE.y * inQ0.x};
}

// (inForm + inAdd) x inScale + inOffset.
Form Scaled(const Form& inForm, double inAdd, double inScale, double inOffset)
{
  return {inForm.mX * inScale, inForm.mY * inScale, (inForm.mC + inAdd) * inScale + inOffset};
}

bool IsZero(double inValue)
{
  return std::fabs(inValue) <= 1e-10;
}

double SquareRootOrZero(double inValue)
{
  return inValue > 0 ? std::sqrt(inValue) : 0.0;
}

// The case formulas for P, Q and R at one position.
Point CaseFormula(int inCase, int inRoot, double inP, double inQ, double inR, double inK, double inS)
{
  switch (inCase) {
    case 0: {
      const double theRoot = SquareRootOrZero(inQ * inQ - inP);
      const double theT = inRoot ? inQ + theRoot : inQ - theRoot;
      return {inS + theT, inK * theT + inR};
    }
    case 1:
      return {inP / inQ + inS, inR};
    case 2:
      return {inP, inR / inQ + inS};
    default:
      return {inP, inR};
  }
}

}  // namespace

Quad QuadOf(const double inQuad[4][2])
{
  Quad theQuad;
  for (int i = 0; i < 4; ++i)
    theQuad[i] = {inQuad[i][0], inQuad[i][1]};
  return theQuad;
}

Quad PixelAreaQuad(const Quad& inQuad, const IplRect& inRect)
{
  // Half a source pixel along each axis, in destination coordinates.
  const double theHalfW = 0.5 / (inRect.x2 - inRect.x1);
  const double theHalfH = 0.5 / (inRect.y2 - inRect.y1);
  const Point theX{(inQuad[1].x - inQuad[0].x) * theHalfW, (inQuad[1].y - inQuad[0].y) * theHalfW};
  const Point theY{(inQuad[3].x - inQuad[0].x) * theHalfH, (inQuad[3].y - inQuad[0].y) * theHalfH};
  const double kSides[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  Quad theQuad;
  for (int i = 0; i < 4; ++i)
    theQuad[i] = {inQuad[i].x + kSides[i][0] * theX.x + kSides[i][1] * theY.x,
                  inQuad[i].y + kSides[i][0] * theX.y + kSides[i][1] * theY.y};
  return theQuad;
}

void CopyQuad(const Quad& inQuad, double outQuad[4][2])
{
  for (int i = 0; i < 4; ++i) {
    outQuad[i][0] = inQuad[i].x;
    outQuad[i][1] = inQuad[i].y;
  }
}

bool AllFinite(const double* inValues, int inCount)
{
  return std::all_of(inValues, inValues + inCount, [](double v) { return std::isfinite(v); });
}

bool QuadFinite(const Quad& inQuad)
{
  return std::all_of(inQuad.begin(), inQuad.end(),
                     [](const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

const char* QuadrangleFault(const Quad& inQuad)
{
  if (!QuadFinite(inQuad))
    return kQuadNotFinite;
  // Cross products of consecutive edges at the four corners.
  int thePositive = 0;
  int theNegative = 0;
  for (int i = 0; i < 4; ++i) {
    const Point& thePrevious = inQuad[(i + 3) % 4];
    const Point& theCorner = inQuad[i];
    const Point& theNext = inQuad[(i + 1) % 4];
    const double theCross = Cross(Minus(theCorner, thePrevious), Minus(theNext, theCorner));
    if (theCross == 0)
      return "Quadrangle is degenerate to triangle or length or point";
    (theCross > 0 ? thePositive : theNegative) += 1;
  }
  if (thePositive != 4 && theNegative != 4)
    return "Quadrangle is concave";
  return nullptr;
}

bool QuadOrientation(const Quad& inQuad)
{
  const Point& q0 = inQuad[0];
  const Point& q2 = inQuad[2];
  const Point& q3 = inQuad[3];
  return (q3.x - q2.x) * (q0.y - q3.y) - (q3.y - q2.y) * (q0.x - q3.x) > 0;
}

Point BilinearInverse::At(double inX, double inY) const
{
  const double theP = mPx * inX + mPy * inY + mP0;
  const double theQ = mQx * inX + mQy * inY + mQ0;
  const double theR = mRx * inX + mRy * inY + mR0;
  return CaseFormula(mCase, mRoot, theP, theQ, theR, mK, mS);
}

bool SolveBilinear(const IplRect& inRect, const Quad& inQuad, double outForward[8])
{
  const double theK = 1.0 / static_cast<double>(static_cast<std::int64_t>(inRect.x2 - inRect.x1) *
                                                 (inRect.y2 - inRect.y1));
  const double x1 = inRect.x1, y1 = inRect.y1, x2 = inRect.x2, y2 = inRect.y2;
  for (int theAxis = 0; theAxis < 2; ++theAxis) {
    auto V = [&inQuad, theAxis](int i) { return theAxis == 0 ? inQuad[i].x : inQuad[i].y; };
    double* c = outForward + 4 * theAxis;
    c[0] = (V(0) - V(1) + V(2) - V(3)) * theK;
    c[1] = ((V(1) - V(0)) * y2 + (V(3) - V(2)) * y1) * theK;
    c[2] = ((V(3) - V(0)) * x2 + (V(1) - V(2)) * x1) * theK;
    c[3] = V(0) - c[0] * x1 * y1 - c[1] * x1 - c[2] * y1;
  }
  return QuadOrientation(inQuad);
}

bool SolveBilinear(const IplRect& inRect, const Quad& inQuad, BilinearInverse& outInverse)
{
  const Point& q0 = inQuad[0];
  const Point e1 = Minus(inQuad[1], q0);
  const Point e2 = Minus(inQuad[3], q0);
  const Point e3 = {q0.x - inQuad[1].x + inQuad[2].x - inQuad[3].x, q0.y - inQuad[1].y + inQuad[2].y - inQuad[3].y};
  const double theA = Cross(e1, e3);
  const double theB = Cross(e2, e3);
  const double theM = Cross(e1, e2);
  const double theW = inRect.x2 - inRect.x1;
  const double theH = inRect.y2 - inRect.y1;
  const Form theD1 = CrossWith(e1, q0);
  const Form theD2 = CrossWith(e2, q0);
  const Form theD3 = CrossWith(e3, q0);
  BilinearInverse theInverse{};
  Form theP{}, theQ{}, theR{};
  if (!IsZero(theA) && !IsZero(theB)) {
    theInverse.mCase = 0;
    theQ = Scaled(theD3, -theM, theW / (2 * theA), 0);
    theP = Scaled(theD2, 0, -theW * theW / theA, 0);
    theR = Scaled(theD3, 0, theH / theB, inRect.y1);
    theInverse.mK = -(theA / theW) * (theH / theB);
    theInverse.mS = inRect.x1;
  } else if (!IsZero(theB)) {
    theInverse.mCase = 1;
    theP = Scaled(theD2, 0, theW, 0);
    theQ = Scaled(theD3, -theM, -1, 0);
    theR = Scaled(theD3, 0, theH / theB, inRect.y1);
    theInverse.mS = inRect.x1;
  } else if (!IsZero(theA)) {
    theInverse.mCase = 2;
    theP = Scaled(theD3, 0, theW / theA, inRect.x1);
    theQ = Scaled(theD3, theM, -1, 0);
    theR = Scaled(theD1, 0, theH, 0);
    theInverse.mS = inRect.y1;
  } else {
    theInverse.mCase = 3;
    theP = Scaled(theD2, 0, theW / theM, inRect.x1);
    theR = Scaled(theD1, 0, -theH / theM, inRect.y1);
  }
  theInverse.mPx = theP.mX;
  theInverse.mPy = theP.mY;
  theInverse.mP0 = theP.mC;
  theInverse.mQx = theQ.mX;
  theInverse.mQy = theQ.mY;
  theInverse.mQ0 = theQ.mC;
  theInverse.mRx = theR.mX;
  theInverse.mRy = theR.mY;
  theInverse.mR0 = theR.mC;
  const bool theOrientation = QuadOrientation(inQuad);
  theInverse.mRoot = (theOrientation && theA > 0) || (!theOrientation && theA < 0);
  outInverse = theInverse;
  return theOrientation;
}

bool SolvePerspective(const IplRect& inRect, const Quad& inQuad, bool inForward, double outCoeffs[9])
{
  const double X0 = inQuad[0].x, Y0 = inQuad[0].y, X1 = inQuad[1].x, Y1 = inQuad[1].y;
  const double X2 = inQuad[2].x, Y2 = inQuad[2].y, X3 = inQuad[3].x, Y3 = inQuad[3].y;
  const double theDen = (X3 - X2) * (Y2 - Y1) - (X2 - X1) * (Y3 - Y2);
  const double theSx = X0 - X1 + X2 - X3;
  const double theSy = Y0 - Y1 + Y2 - Y3;
  const double g = ((Y3 - Y2) * theSx - (X3 - X2) * theSy) / theDen;
  const double h = ((Y2 - Y1) * theSx - (X2 - X1) * theSy) / theDen;
  const double a = X1 - X0 + g * X1;
  const double b = X3 - X0 + h * X3;
  const double d = Y1 - Y0 + g * Y1;
  const double e = Y3 - Y0 + h * Y3;
  const double theInverseW = 1.0 / (inRect.x2 - inRect.x1);
  const double theInverseH = 1.0 / (inRect.y2 - inRect.y1);
  const double x1 = inRect.x1, y1 = inRect.y1;
  double c[9];
  c[0] = a * theInverseW;
  c[1] = b * theInverseH;
  c[3] = d * theInverseW;
  c[4] = e * theInverseH;
  c[6] = g * theInverseW;
  c[7] = h * theInverseH;
  c[2] = X0 - c[0] * x1 - c[1] * y1;
  c[5] = Y0 - c[3] * x1 - c[4] * y1;
  c[8] = 1 - c[6] * x1 - c[7] * y1;
  if (inForward) {
    for (int i = 0; i < 9; ++i)
      outCoeffs[i] = c[i];
  } else {
    outCoeffs[0] = c[4] * c[8] - c[5] * c[7];
    outCoeffs[1] = c[2] * c[7] - c[1] * c[8];
    outCoeffs[2] = c[1] * c[5] - c[2] * c[4];
    outCoeffs[3] = c[5] * c[6] - c[3] * c[8];
    outCoeffs[4] = c[0] * c[8] - c[2] * c[6];
    outCoeffs[5] = c[2] * c[3] - c[0] * c[5];
    outCoeffs[6] = c[3] * c[7] - c[4] * c[6];
    outCoeffs[7] = c[1] * c[6] - c[0] * c[7];
    outCoeffs[8] = c[0] * c[4] - c[1] * c[3];
  }
  return QuadOrientation(inQuad);
}

Quad BilinearQuad(const double inCoeffs[8], double inX1, double inY1, double inX2, double inY2)
{
  const double* c = inCoeffs;
  auto At = [c](double x, double y) {
    return Point{c[0] * x * y + c[1] * x + c[2] * y + c[3], c[4] * x * y + c[5] * x + c[6] * y + c[7]};
  };
  return {At(inX1, inY1), At(inX2, inY1), At(inX2, inY2), At(inX1, inY2)};
}

Point PerspectiveAt(const double inCoeffs[9], double inX, double inY)
{
  const double* c = inCoeffs;
  const double theW = c[6] * inX + c[7] * inY + c[8];
  return {(c[0] * inX + c[1] * inY + c[2]) / theW, (c[3] * inX + c[4] * inY + c[5]) / theW};
}

Quad PerspectiveQuad(const double inCoeffs[9], double inX1, double inY1, double inX2, double inY2)
{
  return {PerspectiveAt(inCoeffs, inX1, inY1), PerspectiveAt(inCoeffs, inX2, inY1),
          PerspectiveAt(inCoeffs, inX2, inY2), PerspectiveAt(inCoeffs, inX1, inY2)};
}

void BilinearInverseRow(float* outBuffer, int inCount, double inR, double inRx, double inP, double inPx, double inQ,
                        double inQx, double inK, double inS, int inCase, int inRoot)
{
  float* theXs = outBuffer;
  float* theYs = outBuffer + inCount;
  double theP = inP;
  double theQ = inQ;
  double theR = inR;
  for (int i = 0; i < inCount; ++i) {
    const Point thePosition = CaseFormula(inCase, inRoot, theP, theQ, theR, inK, inS);
    theXs[i] = static_cast<float>(thePosition.x);
    theYs[i] = static_cast<float>(thePosition.y);
    theP += inPx;
    theQ += inQx;
    theR += inRx;
  }
}

void PerspectiveRow(double* outBuffer, int inCount, double inW, double inDw, double inX, double inDx, double inY,
                    double inDy)
{
  double* theXs = outBuffer;
  double* theYs = outBuffer + inCount;
  const double theDw4 = 4 * inDw;
  double theFirst = inW;
  double theX = inX;
  double theY = inY;
  for (int i = 0; i < inCount; i += 4, theFirst += theDw4) {
    const int theGroup = inCount - i < 4 ? inCount - i : 4;
    double w[4] = {theFirst, 0, 0, 0};
    for (int k = 1; k < theGroup; ++k)
      w[k] = w[k - 1] + inDw;
    double theReciprocal[4];
    switch (theGroup) {
      case 4: {
        const double theFirstPair = w[0] * w[1];
        const double theSecondPair = w[2] * w[3];
        const double r = 1.0 / (theFirstPair * theSecondPair);
        theReciprocal[0] = w[1] * theSecondPair * r;
        theReciprocal[1] = w[0] * theSecondPair * r;
        theReciprocal[2] = w[3] * theFirstPair * r;
        theReciprocal[3] = w[2] * theFirstPair * r;
        break;
      }
      case 3: {
        const double r = 1.0 / (w[0] * w[1] * w[2]);
        theReciprocal[0] = w[1] * w[2] * r;
        theReciprocal[1] = w[0] * w[2] * r;
        theReciprocal[2] = w[0] * w[1] * r;
        break;
      }
      case 2: {
        const double r = 1.0 / (w[0] * w[1]);
        theReciprocal[0] = w[1] * r;
        theReciprocal[1] = w[0] * r;
        break;
      }
      default:
        theReciprocal[0] = 1.0 / w[0];
        break;
    }
    for (int k = 0; k < theGroup; ++k) {
      theXs[i + k] = theX * theReciprocal[k];
      theYs[i + k] = theY * theReciprocal[k];
      theX += inDx;
      theY += inDy;
    }
  }
}

}  // namespace kernels
