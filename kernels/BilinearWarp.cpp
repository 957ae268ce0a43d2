#include "kernels/BilinearWarp.h"

#include "kernels/WarpEntries.h"

using namespace kernels;

namespace {
constexpr WarpKind kKind = WarpKind::kBilinear;
}  // namespace

int iplWarpBilinear(ImageHeader* inSource, ImageHeader* inDestination, const double inCoeffs[2][4], int inWarpFlag,
                    int inInterpolate)
{
  double theQuad[4][2] = {};
  iplGetBilinearQuad(inWarpFlag ? inDestination : inSource, inCoeffs, theQuad);
  return WarpWithQuad("iplWarpBilinear", &iplWarpBilinearQ, inSource, inDestination, theQuad, inWarpFlag,
                      inInterpolate);
}

void iplWarpBilinearQ(ImageHeader* inSource, ImageHeader* inDestination, const double inQuad[4][2], int inWarpFlag,
                      int inInterpolate)
{
  WarpQuad(kKind, "iplWarpBilinearQ", inSource, inDestination, inQuad, inWarpFlag, inInterpolate);
}

void iplGetBilinearQuad(const ImageHeader* inImage, const double inCoeffs[2][4], double outQuad[4][2])
{
  ImageQuad(kKind, "iplGetBilinearQuad", inImage, &inCoeffs[0][0], outQuad);
}

void iplGetBilinearQuadROI(const RoiRecord* inRoi, const double inCoeffs[2][4], double outQuad[4][2])
{
  RoiQuad(kKind, "iplGetBilinearQuadROI", inRoi, &inCoeffs[0][0], outQuad);
}

void iplGetBilinearBound(const ImageHeader* inImage, const double inCoeffs[2][4], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(ImageQuad(kKind, "iplGetBilinearQuad", inImage, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetBilinearBound", outBound);
}

void iplGetBilinearBoundROI(const RoiRecord* inRoi, const double inCoeffs[2][4], double outBound[2][2])
{
  double theQuad[4][2];
  BoundOf(RoiQuad(kKind, "iplGetBilinearQuadROI", inRoi, &inCoeffs[0][0], theQuad), theQuad,
          "iplGetBilinearBoundROI", outBound);
}

void iplGetBilinearTransform(const ImageHeader* inImage, double outCoeffs[2][4], const double inQuad[4][2])
{
  ImageTransform(kKind, "iplGetBilinearTransform", inImage, inQuad, &outCoeffs[0][0]);
}

void iplGetBilinearTransformROI(const RoiRecord* inRoi, double outCoeffs[2][4], const double inQuad[4][2])
{
  RoiTransform(kKind, "iplGetBilinearTransformROI", inRoi, inQuad, &outCoeffs[0][0]);
}
