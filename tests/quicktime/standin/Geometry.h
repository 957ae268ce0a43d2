#pragma once
// Fixed-point numbers and matrices.

#include "platform/quicktime/QTServices.h"

void AddGeometryServices(QTServices& ioTable);

// A matrix as doubles: x' = mA x + mC y + mTx, y' = mB x + mD y + mTy.
struct Affine {
  double mA = 1, mB = 0, mC = 0, mD = 1, mTx = 0, mTy = 0;
};

Affine AffineFromMatrix(const MatrixRecord& inMatrix);
MatrixRecord IdentityMatrix();
Fixed DoubleToFixed(double inValue);
double FixedToDouble(Fixed inValue);

// Rectangle helpers (QuickDraw rectangles: empty when right <= left or
// bottom <= top).
bool IsEmptyRect(const Rect& inRect);
Rect IntersectRects(const Rect& inA, const Rect& inB);
