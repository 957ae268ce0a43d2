#include "objects/DrawShape.h"

#include "core/Bitmap.h"
#include "objects/DrawGDIShape.h"
#include "objects/DrawGLPoly.h"

namespace {

// Runs the inner operation with the outer one's record and error object.
std::unique_ptr<Error> RunInner(Operation& ioInner, Bitmap& inWorld, std::unique_ptr<Parameters> inParams,
                                std::unique_ptr<Error> inError)
{
  ioInner.ReplaceParams(std::move(inParams));
  ioInner.ReplaceError(std::move(inError));
  ioInner.Run(inWorld, nullptr);
  return ioInner.DetachError();
}

}  // namespace

void DrawShape::SetShape(const char* inShape)
{
  if (mParams)
    mParams->ApplyParameter("shape", inShape);
  AddLogParam("Shape", inShape);
}

LONG DrawShape::DoIt(Bitmap& inWorld)
{
  std::unique_ptr<Parameters> theParams = DetachParams();
  std::unique_ptr<Error> theError = DetachError();
  const bool theOpenGL = theParams->OpenGL != 0 && inWorld.GetDepth() == 32;
  ReplaceError(theOpenGL ? RunGL(inWorld, std::move(theParams), std::move(theError))
                         : RunGDI(inWorld, std::move(theParams), std::move(theError)));
  return 0;
}

std::unique_ptr<Error> DrawShape::RunGL(Bitmap& inWorld, std::unique_ptr<Parameters> inParams,
                                        std::unique_ptr<Error> inError)
{
  DrawGLPoly theInner;
  return RunInner(theInner, inWorld, std::move(inParams), std::move(inError));
}

std::unique_ptr<Error> DrawShape::RunGDI(Bitmap& inWorld, std::unique_ptr<Parameters> inParams,
                                         std::unique_ptr<Error> inError)
{
  DrawGDIShape theInner("", false);
  return RunInner(theInner, inWorld, std::move(inParams), std::move(inError));
}
