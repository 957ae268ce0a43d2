// Fixed point and matrices.

#include "tests/quicktime/standin/Geometry.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kFixedOne = 65536.0;
constexpr Fixed kFractOne = 0x40000000;  // 1.0 in 2.30

Fixed Long2Fix(SInt32 inValue)
{
  return DoubleToFixed(static_cast<double>(inValue));
}

SInt32 Fix2Long(Fixed inValue)
{
  return static_cast<SInt32>(std::floor((static_cast<double>(inValue) + 32768.0) / kFixedOne));
}

void SetIdentityMatrix(MatrixRecord* outMatrix)
{
  if (outMatrix)
    *outMatrix = IdentityMatrix();
}

void RectMatrix(MatrixRecord* outMatrix, const Rect* inSource, const Rect* inDestination)
{
  if (!outMatrix || !inSource || !inDestination)
    return;
  *outMatrix = IdentityMatrix();
  double theSourceWidth = inSource->right - inSource->left;
  double theSourceHeight = inSource->bottom - inSource->top;
  if (theSourceWidth <= 0 || theSourceHeight <= 0)
    return;
  double theScaleX = (inDestination->right - inDestination->left) / theSourceWidth;
  double theScaleY = (inDestination->bottom - inDestination->top) / theSourceHeight;
  outMatrix->matrix[0][0] = DoubleToFixed(theScaleX);
  outMatrix->matrix[1][1] = DoubleToFixed(theScaleY);
  outMatrix->matrix[2][0] = DoubleToFixed(inDestination->left - inSource->left * theScaleX);
  outMatrix->matrix[2][1] = DoubleToFixed(inDestination->top - inSource->top * theScaleY);
}

}  // namespace

Fixed DoubleToFixed(double inValue)
{
  if (std::isnan(inValue))
    return 0;
  double theScaled = std::round(inValue * kFixedOne);
  return static_cast<Fixed>(std::clamp(theScaled, -2147483647.0, 2147483647.0));
}

double FixedToDouble(Fixed inValue)
{
  return inValue / kFixedOne;
}

MatrixRecord IdentityMatrix()
{
  MatrixRecord theMatrix{};
  theMatrix.matrix[0][0] = 1 << 16;
  theMatrix.matrix[1][1] = 1 << 16;
  theMatrix.matrix[2][2] = kFractOne;
  return theMatrix;
}

Affine AffineFromMatrix(const MatrixRecord& inMatrix)
{
  Affine theAffine;
  theAffine.mA = FixedToDouble(inMatrix.matrix[0][0]);
  theAffine.mB = FixedToDouble(inMatrix.matrix[0][1]);
  theAffine.mC = FixedToDouble(inMatrix.matrix[1][0]);
  theAffine.mD = FixedToDouble(inMatrix.matrix[1][1]);
  theAffine.mTx = FixedToDouble(inMatrix.matrix[2][0]);
  theAffine.mTy = FixedToDouble(inMatrix.matrix[2][1]);
  return theAffine;
}

bool IsEmptyRect(const Rect& inRect)
{
  return inRect.right <= inRect.left || inRect.bottom <= inRect.top;
}

Rect IntersectRects(const Rect& inA, const Rect& inB)
{
  return {std::max(inA.top, inB.top), std::max(inA.left, inB.left), std::min(inA.bottom, inB.bottom),
          std::min(inA.right, inB.right)};
}

void AddGeometryServices(QTServices& ioTable)
{
  ioTable.X2Fix = DoubleToFixed;
  ioTable.Long2Fix = Long2Fix;
  ioTable.Fix2Long = Fix2Long;
  ioTable.SetIdentityMatrix = SetIdentityMatrix;
  ioTable.RectMatrix = RectMatrix;
}
