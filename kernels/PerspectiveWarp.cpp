#include "kernels/PerspectiveWarp.h"

#include "kernels/WarpEntries.h"

using namespace kernels;

namespace {
constexpr WarpKind kKind = WarpKind::kPerspective;
}  // namespace

int iplWarpPerspective(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[3][3],
                       int inWarpFlag, int inInterpolate)
{
  double theQuad[4][2] = {};
  iplGetPerspectiveQuad(inWarpFlag ? inDestination : inSource, inCoeffs, theQuad);
  return WarpWithQuad("iplWarpPerspective", &iplWarpPerspectiveQ, inSource, inDestination, theQuad, inWarpFlag,
                      inInterpolate);
}

void iplWarpPerspectiveQ(ImageHeader* inSource, ImageHeader* inDestination, const double inQuad[4][2],
                         int inWarpFlag, int inInterpolate)
{
  WarpQuad(kKind, "iplWarpPerspectiveQ", inSource, inDestination, inQuad, inWarpFlag, inInterpolate);
}

void iplGetPerspectiveQuad(const ImageHeader* inImage, const double inCoeffs[3][3], double outQuad[4][2])
{
  ImageQuad(kKind, "iplGetPerspectiveQuad", inImage, &inCoeffs[0][0], outQuad);
}

void iplGetPerspectiveQuadROI(const RoiRecord* inRoi, const double inCoeffs[3][3], double outQuad[4][2])
{
  RoiQuad(kKind, "iplGetPerspectiveQuadROI", inRoi, &inCoeffs[0][0], outQuad);
}

void iplGetPerspectiveBound(const ImageHeader* inImage, const double inCoeffs[3][3], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(ImageQuad(kKind, "iplGetPerspectiveQuad", inImage, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetPerspectiveBound", outBound);
}

void iplGetPerspectiveBoundROI(const RoiRecord* inRoi, const double inCoeffs[3][3], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(RoiQuad(kKind, "iplGetPerspectiveQuadROI", inRoi, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetPerspectiveBoundROI", outBound);
}

void iplGetPerspectiveTransform(const ImageHeader* inImage, double outCoeffs[3][3], const double inQuad[4][2])
{
  ImageTransform(kKind, "iplGetPerspectiveTransform", inImage, inQuad, &outCoeffs[0][0]);
}

void iplGetPerspectiveTransformROI(const RoiRecord* inRoi, double outCoeffs[3][3], const double inQuad[4][2])
{
  RoiTransform(kKind, "iplGetPerspectiveTransformROI", inRoi, inQuad, &outCoeffs[0][0]);
}
