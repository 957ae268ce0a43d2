#pragma once
// DrawShape: the operation of the canvas method of that name. It draws
// nothing itself: it hands its parameters record and error object to an
// inner operation, DrawGLPoly when the parameter "opengl" is set and the
// canvas is 32 bits deep, DrawGDIShape drawing through a path otherwise, and
// takes the error object back. The inner operation runs without the canvas
// log and never impersonates (this one already did).

#include "objects/Operation.h"

class DrawShape : public Operation {
public:
  DrawShape() : Operation("Draw Shape:") {}

  // Applies the keyword "shape" (a bad name is the parameter error).
  virtual void SetShape(const char* inShape);

protected:
  LONG DoIt(Bitmap& inWorld) override;
  // Each runs its inner operation with the record and error object and
  // answers the error object.
  virtual std::unique_ptr<Error> RunGL(Bitmap& inWorld, std::unique_ptr<Parameters> inParams,
                                       std::unique_ptr<Error> inError);
  virtual std::unique_ptr<Error> RunGDI(Bitmap& inWorld, std::unique_ptr<Parameters> inParams,
                                        std::unique_ptr<Error> inError);
};
