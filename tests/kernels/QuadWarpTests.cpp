#include "kernels/AffineWarp.h"
#include "kernels/BilinearWarp.h"
#include "kernels/ImageLayout.h"
#include "kernels/PerspectiveWarp.h"
#include "kernels/QuadMaps.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kerneltest::ExpectReports;
using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;
using kerneltest::SampleAt;
using kerneltest::StorageOf;
using kerneltest::TiledImage;
using namespace kernels;

const char* const kModule = "iplwarp";
using Quad4 = std::array<std::array<double, 2>, 4>;

// The sixteen entries of one map kind, with coefficients as flat arrays.
struct Entries {
  std::string mName;  // "Bilinear" or "Perspective"
  WarpKind mKind;
  int mCount;         // coefficients
  void (*mWarpQ)(ImageHeader*, ImageHeader*, const double[4][2], int, int);
  int (*mWarp)(ImageHeader*, ImageHeader*, const double*, int, int);
  void (*mQuad)(const ImageHeader*, const double*, double[4][2]);
  void (*mQuadRoi)(const RoiRecord*, const double*, double[4][2]);
  void (*mBound)(const ImageHeader*, const double*, double[2][2]);
  void (*mBoundRoi)(const RoiRecord*, const double*, double[2][2]);
  void (*mTransform)(const ImageHeader*, double*, const double[4][2]);
  void (*mTransformRoi)(const RoiRecord*, double*, const double[4][2]);
  // inForm with '@' standing for the kind: "iplWarp@Q".
  std::string Name(const std::string& inForm) const { return std::string(inForm).replace(inForm.find('@'), 1, mName); }
};

// Flat coefficients as the rows the entries take.
template <int C>
const double (*Rows(const double* inFlat))[C]
{
  return reinterpret_cast<const double(*)[C]>(inFlat);
}
template <int C>
double (*Rows(double* inFlat))[C]
{
  return reinterpret_cast<double(*)[C]>(inFlat);
}

const Entries kBilinear = {
  "Bilinear", WarpKind::kBilinear, 8, &iplWarpBilinearQ,
  [](ImageHeader* s, ImageHeader* d, const double* c, int f, int i) { return iplWarpBilinear(s, d, Rows<4>(c), f, i); },
  [](const ImageHeader* m, const double* c, double q[4][2]) { iplGetBilinearQuad(m, Rows<4>(c), q); },
  [](const RoiRecord* r, const double* c, double q[4][2]) { iplGetBilinearQuadROI(r, Rows<4>(c), q); },
  [](const ImageHeader* m, const double* c, double b[2][2]) { iplGetBilinearBound(m, Rows<4>(c), b); },
  [](const RoiRecord* r, const double* c, double b[2][2]) { iplGetBilinearBoundROI(r, Rows<4>(c), b); },
  [](const ImageHeader* m, double* c, const double q[4][2]) { iplGetBilinearTransform(m, Rows<4>(c), q); },
  [](const RoiRecord* r, double* c, const double q[4][2]) { iplGetBilinearTransformROI(r, Rows<4>(c), q); },
};
const Entries kPerspective = {
  "Perspective", WarpKind::kPerspective, 9, &iplWarpPerspectiveQ,
  [](ImageHeader* s, ImageHeader* d, const double* c, int f, int i) {
    return iplWarpPerspective(s, d, Rows<3>(c), f, i);
  },
  [](const ImageHeader* m, const double* c, double q[4][2]) { iplGetPerspectiveQuad(m, Rows<3>(c), q); },
  [](const RoiRecord* r, const double* c, double q[4][2]) { iplGetPerspectiveQuadROI(r, Rows<3>(c), q); },
  [](const ImageHeader* m, const double* c, double b[2][2]) { iplGetPerspectiveBound(m, Rows<3>(c), b); },
  [](const RoiRecord* r, const double* c, double b[2][2]) { iplGetPerspectiveBoundROI(r, Rows<3>(c), b); },
  [](const ImageHeader* m, double* c, const double q[4][2]) { iplGetPerspectiveTransform(m, Rows<3>(c), q); },
  [](const RoiRecord* r, double* c, const double q[4][2]) { iplGetPerspectiveTransformROI(r, Rows<3>(c), q); },
};
const Entries* const kKinds[] = {&kBilinear, &kPerspective};

void Warp(const Entries& inKind, ImageHeader* inSource, ImageHeader* inDestination, const Quad4& inQuad, int inFlag,
          int inInterpolate)
{
  double theQuad[4][2];
  for (int i = 0; i < 4; ++i)
    theQuad[i][0] = inQuad[i][0], theQuad[i][1] = inQuad[i][1];
  inKind.mWarpQ(inSource, inDestination, theQuad, inFlag, inInterpolate);
}

std::string Describe(const Quad4& inQuad)
{
  std::ostringstream theText;
  for (const auto& thePoint : inQuad)
    theText << "(" << thePoint[0] << ", " << thePoint[1] << ") ";
  return theText.str();
}

// A float image whose channel 0 holds x and channel 1 holds y: a warp with
// linear interpolation writes the source position it sampled.
HeaderPtr PositionImage(int inWidth, int inHeight)
{
  HeaderPtr theImage = MakeImage(inWidth, inHeight, IPL_DEPTH_32F, 2);
  for (int y = 0; y < inHeight; ++y)
    for (int x = 0; x < inWidth; ++x) {
      kerneltest::SetSampleAt(theImage.get(), x, y, 0, x);
      kerneltest::SetSampleAt(theImage.get(), x, y, 1, y);
    }
  return theImage;
}

// ---------------------------------------------------------------------------
// Exact maps, derived apart from the kernels' solvers.

// The bilinear patch through the corners at (u, v) of the unit square.
std::array<double, 2> PatchAt(const Quad4& q, double u, double v)
{
  std::array<double, 2> thePoint;
  for (int k = 0; k < 2; ++k)
    thePoint[k] = (1 - u) * (1 - v) * q[0][k] + u * (1 - v) * q[1][k] + u * v * q[2][k] + (1 - u) * v * q[3][k];
  return thePoint;
}

// (u, v) of the patch at (x, y) by Newton's method; false when it does not
// converge.
bool PatchInverse(const Quad4& q, double inX, double inY, double& u, double& v)
{
  u = v = 0.5;
  for (int theStep = 0; theStep < 60; ++theStep) {
    const auto p = PatchAt(q, u, v);
    const double fx = p[0] - inX, fy = p[1] - inY;
    const double xu = (1 - v) * (q[1][0] - q[0][0]) + v * (q[2][0] - q[3][0]);
    const double yu = (1 - v) * (q[1][1] - q[0][1]) + v * (q[2][1] - q[3][1]);
    const double xv = (1 - u) * (q[3][0] - q[0][0]) + u * (q[2][0] - q[1][0]);
    const double yv = (1 - u) * (q[3][1] - q[0][1]) + u * (q[2][1] - q[1][1]);
    const double theDet = xu * yv - xv * yu;
    u -= (fx * yv - fy * xv) / theDet;
    v -= (xu * fy - yu * fx) / theDet;
    if (std::fabs(fx) + std::fabs(fy) < 1e-12)
      return true;
  }
  const auto p = PatchAt(q, u, v);
  return std::fabs(p[0] - inX) + std::fabs(p[1] - inY) < 1e-9;
}

// The projective map of the unit square onto the corners, h[8] = 1, from the
// eight linear equations of the four corner pairs.
std::array<double, 9> SquareHomography(const Quad4& q)
{
  const double theU[4] = {0, 1, 1, 0}, theV[4] = {0, 0, 1, 1};
  double m[8][9] = {};
  for (int i = 0; i < 4; ++i) {
    const double u = theU[i], v = theV[i], x = q[i][0], y = q[i][1];
    const double theRowX[9] = {u, v, 1, 0, 0, 0, -u * x, -v * x, x};
    const double theRowY[9] = {0, 0, 0, u, v, 1, -u * y, -v * y, y};
    std::copy(theRowX, theRowX + 9, m[2 * i]);
    std::copy(theRowY, theRowY + 9, m[2 * i + 1]);
  }
  for (int c = 0; c < 8; ++c) {
    int thePivot = c;
    for (int r = c + 1; r < 8; ++r)
      if (std::fabs(m[r][c]) > std::fabs(m[thePivot][c]))
        thePivot = r;
    std::swap(m[c], m[thePivot]);
    for (int r = 0; r < 8; ++r) {
      if (r == c)
        continue;
      const double f = m[r][c] / m[c][c];
      for (int k = c; k < 9; ++k)
        m[r][k] -= f * m[c][k];
    }
  }
  std::array<double, 9> h;
  for (int i = 0; i < 8; ++i)
    h[i] = m[i][8] / m[i][i];
  h[8] = 1;
  return h;
}

std::array<double, 2> HomographyAt(const std::array<double, 9>& h, double u, double v)
{
  const double w = h[6] * u + h[7] * v + h[8];
  return {(h[0] * u + h[1] * v + h[2]) / w, (h[3] * u + h[4] * v + h[5]) / w};
}

// (u, v) whose image is (x, y): two linear equations.
void HomographyInverse(const std::array<double, 9>& h, double x, double y, double& u, double& v)
{
  const double a = h[0] - x * h[6], b = h[1] - x * h[7], c = x * h[8] - h[2];
  const double d = h[3] - y * h[6], e = h[4] - y * h[7], f = y * h[8] - h[5];
  const double theDet = a * e - b * d;
  u = (c * e - b * f) / theDet;
  v = (a * f - c * d) / theDet;
}

// The unit-square coordinates of a quadrangle position, by kind.
bool UnitOf(WarpKind inKind, const Quad4& inQuad, double x, double y, double& u, double& v)
{
  if (inKind == WarpKind::kBilinear)
    return PatchInverse(inQuad, x, y, u, v);
  HomographyInverse(SquareHomography(inQuad), x, y, u, v);
  return std::isfinite(u) && std::isfinite(v);
}

std::array<double, 2> QuadAt(WarpKind inKind, const Quad4& inQuad, double u, double v)
{
  return inKind == WarpKind::kBilinear ? PatchAt(inQuad, u, v) : HomographyAt(SquareHomography(inQuad), u, v);
}

// A convex quadrangle near the box (x, y, w, h): each corner moved by up to
// inJitter of the box's size, in a random one of the two orientations.
Quad4 RandomQuad(std::mt19937& inRandom, double inX, double inY, double inW, double inH, double inJitter)
{
  std::uniform_real_distribution<double> theUnit(-1.0, 1.0);
  for (;;) {
    Quad4 theQuad = {{{inX, inY}, {inX + inW, inY}, {inX + inW, inY + inH}, {inX, inY + inH}}};
    for (auto& thePoint : theQuad) {
      thePoint[0] += inJitter * inW * theUnit(inRandom);
      thePoint[1] += inJitter * inH * theUnit(inRandom);
    }
    if (theUnit(inRandom) < 0)
      std::swap(theQuad[1], theQuad[3]);
    double theFlat[4][2];
    for (int i = 0; i < 4; ++i)
      theFlat[i][0] = theQuad[i][0], theFlat[i][1] = theQuad[i][1];
    if (!QuadrangleFault(QuadOf(theFlat)))
      return theQuad;
  }
}

// ---------------------------------------------------------------------------

// The solver cases of the inverse bilinear map, and the source positions the
// warp samples at, read back from a float image of positions.
TEST(QuadWarps, BilinearCasesAndWorkedPositions)
{
  const struct {
    const char* mName;
    IplRect mRect;
    Quad4 mQuad;
    int mCase, mOrientation, mRoot;
    double mX, mY, mSX, mSY;  // a destination position and its source, or mX < 0
  } kCases[] = {
    {"q0q1 parallel to q3q2", {0, 0, 100, 50}, {{{0, 0}, {100, 0}, {80, 50}, {20, 50}}}, 1, 1, 0, 30, 10, 28.2609, 10},
    {"general", {0, 0, 100, 100}, {{{0, 0}, {100, 0}, {120, 90}, {10, 100}}}, 0, 1, 0, 60, 50, 51.984, 52.742},
    {"general, turned the other way", {0, 0, 100, 100}, {{{0, 0}, {10, 100}, {120, 90}, {100, 0}}}, 0, 0, 1,
     60, 50, 52.742, 51.984},
    {"q1q2 parallel to q0q3", {0, 0, 100, 100}, {{{0, 0}, {100, 20}, {100, 80}, {0, 100}}}, 2, 1, 0, 50, 50, 50, 50},
    {"parallelogram", {2, 3, 40, 30}, {{{5, 5}, {45, 15}, {50, 40}, {10, 30}}}, 3, 1, 0, -1, 0, 0, 0},
    {"the rectangle itself", {2, 3, 40, 30}, {{{2, 3}, {40, 3}, {40, 30}, {2, 30}}}, 3, 1, 0, -1, 0, 0, 0},
    {"root on the other side", {0, 0, 50, 50}, {{{0, 0}, {60, 10}, {50, 50}, {0, 40}}}, 0, 1, 1, -1, 0, 0, 0},
  };
  for (const auto& theCase : kCases) {
    double theFlat[4][2];
    for (int i = 0; i < 4; ++i)
      theFlat[i][0] = theCase.mQuad[i][0], theFlat[i][1] = theCase.mQuad[i][1];
    BilinearInverse theInverse;
    const bool theOrientation = SolveBilinear(theCase.mRect, QuadOf(theFlat), theInverse);
    EXPECT_EQ(theInverse.mCase, theCase.mCase) << theCase.mName;
    EXPECT_EQ(theOrientation, theCase.mOrientation != 0) << theCase.mName;
    EXPECT_EQ(theInverse.mRoot, theCase.mRoot) << theCase.mName;
    // The inverse undoes the forward patch everywhere inside.
    const double theW = theCase.mRect.x2 - theCase.mRect.x1, theH = theCase.mRect.y2 - theCase.mRect.y1;
    for (double u : {0.0, 0.25, 0.7, 1.0})
      for (double v : {0.0, 0.5, 0.9, 1.0}) {
        const auto p = PatchAt(theCase.mQuad, u, v);
        const Point theSource = theInverse.At(p[0], p[1]);
        EXPECT_NEAR(theSource.x, theCase.mRect.x1 + u * theW, 1e-9) << theCase.mName << " u " << u << " v " << v;
        EXPECT_NEAR(theSource.y, theCase.mRect.y1 + v * theH, 1e-9) << theCase.mName << " u " << u << " v " << v;
      }
    if (theCase.mX < 0)
      continue;
    ReportRecorder theRecorder;
    HeaderPtr theSource = PositionImage(theCase.mRect.x2 + 1, theCase.mRect.y2 + 1);
    HeaderPtr theDestination = MakeImage(130, 110, IPL_DEPTH_32F, 2);
    iplWarpBilinearQ(theSource.get(), theDestination.get(), theFlat, 0, IPL_INTER_LINEAR);
    EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
    const int x = static_cast<int>(theCase.mX), y = static_cast<int>(theCase.mY);
    EXPECT_NEAR(SampleAt(theDestination.get(), x, y, 0), theCase.mSX, 1e-3) << theCase.mName;
    EXPECT_NEAR(SampleAt(theDestination.get(), x, y, 1), theCase.mSY, 1e-3) << theCase.mName;
  }
}

// At the quadrangle's edges rounding can leave the discriminant of the
// inverse a little below zero: the root is then taken as 0, which keeps the
// position on the edge (x = s + Q, y = k Q + R).
TEST(QuadWarps, NegativeDiscriminantKeepsThePositionOnTheEdge)
{
  for (int theRoot : {0, 1}) {
    float theRow[2];
    BilinearInverseRow(theRow, 1, 3.0, 0, 4.0 + 1e-9, 0, 2.0, 0, 0.5, 10, 0, theRoot);
    EXPECT_EQ(theRow[0], 12.0f) << "root " << theRoot;
    EXPECT_EQ(theRow[1], 4.0f) << "root " << theRoot;
  }
}

// The quadrangle of the ROI itself copies it, whichever kind and direction,
// and so do the identity coefficients; a parallelogram warps as the affine
// warp does.
TEST(QuadWarps, IdentityCopiesAndParallelogramsWarpAsAffine)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = kerneltest::RandomImage(30, 20, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  RoiRecord theRoi{0, 3, 2, 18, 13};
  theSource->roi = &theRoi;
  const Quad4 theIdentity = {{{3, 2}, {20, 2}, {20, 14}, {3, 14}}};
  const double kIdentity[2][9] = {{0, 1, 0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
  for (const Entries* theKind : kKinds) {
    for (int theFlag : {0, 1}) {
      for (bool theCoefficients : {false, true}) {
        HeaderPtr theDestination = kerneltest::RandomImage(30, 20, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 2);
        HeaderPtr theBefore = kerneltest::CopyOf(theDestination.get());
        theDestination->roi = &theRoi;
        if (theCoefficients)
          theKind->mWarp(theSource.get(), theDestination.get(), kIdentity[theKind == &kPerspective], theFlag, 17);
        else
          Warp(*theKind, theSource.get(), theDestination.get(), theIdentity, theFlag, 17);
        theDestination->roi = nullptr;
        for (int y = 0; y < 20; ++y)
          for (int x = 0; x < 30; ++x)
            for (int c = 0; c < 3; ++c) {
              const bool theInside = x >= 3 && x <= 20 && y >= 2 && y <= 14;
              ASSERT_EQ(SampleAt(theDestination.get(), x, y, c),
                        SampleAt(theInside ? theSource.get() : theBefore.get(), x, y, c))
                << theKind->mName << " flag " << theFlag << " coefficients " << theCoefficients << " at " << x << ","
                << y;
            }
      }
    }
    // The transform of the ROI's own quadrangle is the identity.
    double theCoeffs[9];
    double theFlat[4][2];
    for (int i = 0; i < 4; ++i)
      theFlat[i][0] = theIdentity[i][0], theFlat[i][1] = theIdentity[i][1];
    theKind->mTransform(theSource.get(), theCoeffs, theFlat);
    for (int i = 0; i < theKind->mCount; ++i)
      EXPECT_NEAR(theCoeffs[i], kIdentity[theKind == &kPerspective][i], 1e-12) << theKind->mName << " c" << i;
  }
  theSource->roi = nullptr;
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();

  double theParallelogram[4][2] = {{4.5, 3.25}, {40.5, 10.25}, {36.5, 35.25}, {0.5, 28.25}};
  double theMatrix[2][3];
  HeaderPtr theAffine = MakeImage(48, 40, IPL_DEPTH_8U, 3);
  HeaderPtr theBilinear = MakeImage(48, 40, IPL_DEPTH_8U, 3);
  iplGetAffineTransform(theSource.get(), theMatrix, theParallelogram);
  iplWarpAffine(theSource.get(), theAffine.get(), theMatrix, IPL_INTER_LINEAR);
  iplWarpBilinearQ(theSource.get(), theBilinear.get(), theParallelogram, 0, IPL_INTER_LINEAR);
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
  const std::vector<std::uint8_t> a = StorageOf(theAffine.get()), b = StorageOf(theBilinear.get());
  for (std::size_t i = 0; i < a.size(); ++i)
    ASSERT_NEAR(a[i], b[i], 1) << "byte " << i;
}

// Coefficients from a quadrangle give it back; bounds hold it; the ROI forms
// take the record's rectangle.
TEST(QuadWarps, TransformsQuadranglesAndBounds)
{
  ReportRecorder theRecorder;
  std::mt19937 theRandom(3);
  HeaderPtr theImage = MakeImage(40, 30, IPL_DEPTH_8U, 1);
  RoiRecord theRoi{0, 4, 3, 25, 20};
  for (const Entries* theKind : kKinds) {
    for (int i = 0; i < 20; ++i) {
      const Quad4 theQuad = RandomQuad(theRandom, 10, 5, 30, 25, 0.3);
      double theFlat[4][2];
      for (int k = 0; k < 4; ++k)
        theFlat[k][0] = theQuad[k][0], theFlat[k][1] = theQuad[k][1];
      double theCoeffs[9], theBack[4][2], theBound[2][2];
      const bool theRoiForm = i % 2;
      theImage->roi = i % 4 == 0 ? nullptr : &theRoi;
      if (theRoiForm) {
        theKind->mTransformRoi(&theRoi, theCoeffs, theFlat);
        theKind->mQuadRoi(&theRoi, theCoeffs, theBack);
        theKind->mBoundRoi(&theRoi, theCoeffs, theBound);
      } else {
        theKind->mTransform(theImage.get(), theCoeffs, theFlat);
        theKind->mQuad(theImage.get(), theCoeffs, theBack);
        theKind->mBound(theImage.get(), theCoeffs, theBound);
      }
      for (int k = 0; k < 4; ++k)
        for (int a = 0; a < 2; ++a)
          EXPECT_NEAR(theBack[k][a], theQuad[k][a], 1e-9) << theKind->mName << " " << Describe(theQuad);
      for (int a = 0; a < 2; ++a) {
        EXPECT_DOUBLE_EQ(theBound[0][a], std::min({theBack[0][a], theBack[1][a], theBack[2][a], theBack[3][a]}));
        EXPECT_DOUBLE_EQ(theBound[1][a], std::max({theBack[0][a], theBack[1][a], theBack[2][a], theBack[3][a]}));
      }
    }
  }
  theImage->roi = nullptr;
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
}

// Each refusal with its message, under the entry's name, in the order of the
// checks; nothing is drawn.
TEST(QuadWarps, RefusalsAndTheirMessages)
{
  HeaderPtr theSource = kerneltest::RandomImage(20, 20, IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 1);
  HeaderPtr theDestination = MakeImage(20, 20, IPL_DEPTH_8U, 3);
  HeaderPtr the16 = MakeImage(20, 20, IPL_DEPTH_16U, 3);
  const Quad4 theGood = {{{2, 2}, {15, 3}, {16, 17}, {1, 14}}};
  const Quad4 theConcave = {{{0, 0}, {10, 0}, {3, 3}, {0, 10}}};
  const Quad4 theCollinear = {{{0, 0}, {5, 0}, {10, 0}, {0, 10}}};
  const Quad4 theNotFinite = {{{0, 0}, {10, 0}, {10, NAN}, {0, 10}}};
  const char* const kInterpolate =
    "interpolate != IPL_INTER_NN && interpolate != IPL_INTER_LINEAR && interpolate != IPL_INTER_CUBIC";
  for (const Entries* theKind : kKinds) {
    const std::string q = theKind->Name("iplWarp@Q");
    ReportRecorder theRecorder;
    auto Then = [] { iplStatusSet(0); };
    Warp(*theKind, theSource.get(), theDestination.get(), theGood, 2, 1), Then();
    Warp(*theKind, theSource.get(), the16.get(), theGood, -1, 1), Then();
    Warp(*theKind, theSource.get(), theSource.get(), theGood, 0, 1), Then();
    Warp(*theKind, theSource.get(), theDestination.get(), theConcave, 0, 1), Then();
    Warp(*theKind, theSource.get(), theDestination.get(), theCollinear, 1, 1), Then();
    Warp(*theKind, theSource.get(), theDestination.get(), theNotFinite, 0, 1), Then();
    Warp(*theKind, theSource.get(), theDestination.get(), theGood, 0, 3), Then();
    RoiRecord theThin{0, 5, 0, 1, 20};
    theDestination->roi = &theThin;
    Warp(*theKind, theSource.get(), theDestination.get(), theGood, 1, 1), Then();
    theDestination->roi = nullptr;
    theSource->roi = &theThin;
    double theCoeffs[9];
    double theFlat[4][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    theKind->mTransform(theSource.get(), theCoeffs, theFlat), Then();
    theKind->mTransformRoi(&theThin, theCoeffs, theFlat), Then();
    theSource->roi = nullptr;
    ExpectReports(theRecorder,
                  {{-5, q, "warpFlag != 0 && warpFlag != 1", kModule},
                   {-5, q, "srcImage->depth != dstImage->depth", kModule},
                   {-5, q, "warpFlag != 0 && warpFlag != 1", kModule},
                   {-5, q, "This function is not in-place function", kModule},
                   {-5, q, "Quadrangle is concave", kModule},
                   {-5, q, "Quadrangle is degenerate to triangle or length or point", kModule},
                   {-5, q, "Quadrangle is not finite", kModule},
                   {-5, q, kInterpolate, kModule},
                   {-5, q, "dstImage Rectangle ROI is degenerate to length or point", kModule},
                   {-5, theKind->Name("iplGet@Transform"), "image Rectangle ROI is degenerate to length or point",
                    kModule},
                   {-5, theKind->Name("iplGet@TransformROI"), "image Rectangle ROI is degenerate to length or point",
                    kModule}},
                  theKind->mName);
    EXPECT_EQ(StorageOf(theDestination.get()), std::vector<std::uint8_t>(theDestination->imageSize, 0));

    // The coefficient form: flag 2 takes the destination's quadrangle, then
    // the quadrangle form refuses it; coefficients not finite stop at the
    // quadrangle. Both are reported again and the handler's result returned.
    theRecorder.Clear();
    const double kShifts[2][9] = {{0, 1, 0, 1, 0, 0, 1, 1}, {1, 0, 1, 0, 1, 1, 0, 0, 1}};
    const double* theShift = kShifts[theKind == &kPerspective];
    const double theNaN[9] = {0, NAN, 0, 0, 0, 0, 1, 0, 1};
    EXPECT_EQ(theKind->mWarp(theSource.get(), theDestination.get(), theShift, 2, 1), -1);
    Then();
    EXPECT_EQ(theKind->mWarp(theSource.get(), theDestination.get(), theNaN, 0, 1), -1);
    Then();
    const std::string w = theKind->Name("iplWarp@");
    ExpectReports(theRecorder,
                  {{-5, q, "warpFlag != 0 && warpFlag != 1", kModule},
                   {-1, w, "", kModule},
                   {-5, theKind->Name("iplGet@Quad"), "Transform matrix is not finite", kModule},
                   {-1, w, "", kModule}},
                  theKind->mName + " coefficients");
    theRecorder.Clear();
    HeaderPtr theSmall = MakeImage(4, 4, IPL_DEPTH_8U, 1);
    RoiRecord theAway{0, 40, 40, 2, 2};
    theSmall->roi = &theAway;
    double theQuad[4][2], theBound[2][2];
    theKind->mQuad(theSmall.get(), theShift, theQuad);
    theKind->mBound(theSmall.get(), theShift, theBound);
    theKind->mBoundRoi(nullptr, theShift, theBound);
    theSmall->roi = nullptr;
    Then();
    ExpectReports(theRecorder,
                  {{-5, theKind->Name("iplGet@Quad"), "Bad rect ROI", kModule},
                   {-5, theKind->Name("iplGet@Quad"), "Bad rect ROI", kModule},
                   {-1, theKind->Name("iplGet@Bound"), "", kModule},
                   {-5, theKind->Name("iplGet@QuadROI"), "Bad rect ROI", kModule},
                   {-1, theKind->Name("iplGet@BoundROI"), "", kModule}},
                  theKind->mName + " quadrangles");
    HeaderPtr theShifted = MakeImage(20, 20, IPL_DEPTH_8U, 3);
    EXPECT_EQ(theKind->mWarp(theSource.get(), theShifted.get(), theShift, 0, 1), 0);
    EXPECT_EQ(SampleAt(theShifted.get(), 5, 7, 1), SampleAt(theSource.get(), 4, 6, 1)) << theKind->mName;
  }
}

// Edge smoothing is for rectangle to quadrangle only; a quadrangle reaching
// a fraction outside the source ROI leaves the pixels that map outside as
// they were, one inside writes every destination ROI pixel.
TEST(QuadWarps, SmoothingAndQuadranglesReachingOutside)
{
  ReportRecorder theRecorder;
  HeaderPtr theSource = kerneltest::RandomImage(30, 30, IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 1);
  const Quad4 theSlanted = {{{3.3, 2.2}, {25.6, 6.1}, {27.4, 26.8}, {1.7, 21.5}}};
  for (const Entries* theKind : kKinds) {
    auto Result = [&](const Quad4& inQuad, int inFlag, int inInterpolate) {
      HeaderPtr theDestination = MakeImage(30, 30, IPL_DEPTH_32F, 1);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
          kerneltest::SetSampleAt(theDestination.get(), x, y, 0, -1);
      Warp(*theKind, theSource.get(), theDestination.get(), inQuad, inFlag, inInterpolate);
      return theDestination;
    };
    EXPECT_EQ(StorageOf(Result(theSlanted, 1, 17).get()), StorageOf(Result(theSlanted, 1, 1).get()))
      << theKind->mName;
    EXPECT_NE(StorageOf(Result(theSlanted, 0, 17).get()), StorageOf(Result(theSlanted, 0, 1).get()))
      << theKind->mName;

    const Quad4 theInside = {{{0, 0}, {29, 0}, {29, 29}, {0, 29}}};
    Quad4 theReaching = theInside;
    theReaching[3][0] = -0.4;
    const Quad4& theOutside = theReaching;
    for (const Quad4* theQuad : {&theInside, &theOutside}) {
      HeaderPtr theDestination = Result(*theQuad, 1, IPL_INTER_LINEAR);
      int theKept = 0;
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
          const auto theAt = QuadAt(theKind->mKind, *theQuad, x / 29.0, y / 29.0);
          const bool theWritten = SampleAt(theDestination.get(), x, y, 0) != -1;
          theKept += !theWritten;
          const bool theClear = theAt[0] < -1e-9 || (theAt[0] > 1e-9 && theAt[0] < 29 - 1e-9);
          if (theClear && theAt[1] > 1e-9 && theAt[1] < 29 - 1e-9) {
            ASSERT_EQ(theWritten, theAt[0] >= 0)
              << theKind->mName << " at " << x << "," << y << " " << Describe(*theQuad);
          }
        }
      EXPECT_EQ(theKept > 0, theQuad == &theOutside) << theKind->mName;
    }
  }
  EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
}

// Every depth and order, both directions and the three methods against the
// exact maps and the reference sampling: pixels clearly inside within 1 (8,
// 16 bit) or 1e-3 (float, samples in 0..1), pixels clearly outside and
// channels not processed untouched. Tiled sources and destinations give the
// untiled bytes.
TEST(QuadWarps, MatchDoublePrecisionReference)
{
  const kerneltest::Layout kLayouts[] = {
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 0},  {IPL_DEPTH_8U, 4, 4, IPL_DATA_ORDER_PIXEL, 0},
    {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PLANE, 0},  {IPL_DEPTH_8U, 3, 0, IPL_DATA_ORDER_PIXEL, 2},
    {IPL_DEPTH_16U, 3, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_16U, 2, 2, IPL_DATA_ORDER_PLANE, 0},
    {IPL_DEPTH_32F, 1, 0, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_32F, 3, 0, IPL_DATA_ORDER_PLANE, 3},
    {IPL_DEPTH_32F, 4, 4, IPL_DATA_ORDER_PIXEL, 0}, {IPL_DEPTH_1U, 1, 0, IPL_DATA_ORDER_PIXEL, 0},
  };
  for (unsigned theSeed = 1; theSeed <= 240; ++theSeed) {
    const auto& theLayout = kLayouts[theSeed % std::size(kLayouts)];
    const Entries& theKind = *kKinds[(theSeed / 2) % 2];
    const int theFlag = (theSeed / 4) % 2;
    const int theMethod = theLayout.mDepth == IPL_DEPTH_1U ? 0 : static_cast<int>(theSeed / 8) % 3;
    std::mt19937 theRandom(theSeed);
    std::uniform_real_distribution<double> theUnit(0.0, 1.0);
    const int theW = 8 + static_cast<int>(theUnit(theRandom) * 30);
    const int theH = 8 + static_cast<int>(theUnit(theRandom) * 30);
    HeaderPtr theSource = kerneltest::RandomImage(theW, theH, theLayout, theSeed);
    if (theLayout.mDepth == IPL_DEPTH_32F) {
      for (int y = 0; y < theH; ++y)
        for (int x = 0; x < theW; ++x)
          for (int c = 0; c < theLayout.mChannels; ++c)
            kerneltest::SetSampleAt(theSource.get(), x, y, c, SampleAt(theSource.get(), x, y, c) / 1000);
    }
    HeaderPtr theOriginal = kerneltest::RandomImage(48, 40, theLayout, theSeed + 1000);
    RoiRecord theSourceRoi{theLayout.mCoi, 1 + static_cast<int>(theUnit(theRandom) * 3),
                           static_cast<int>(theUnit(theRandom) * 3), theW - 4, theH - 3};
    RoiRecord theDestinationRoi{theLayout.mCoi, 3, 2, 40, 35};
    const bool theRois = theSeed % 3 == 0 || theLayout.mCoi;
    theSource->roi = theRois ? &theSourceRoi : nullptr;
    IplRect theSourceRect, theDestinationRect;
    ASSERT_TRUE(RoiRect(theSource.get(), true, theSourceRect));
    theDestinationRect = theRois ? IplRect{3, 2, 42, 36} : IplRect{0, 0, 47, 39};
    // Rectangle to quadrangle: a quadrangle in the destination; quadrangle to
    // rectangle: one in the source, reaching a little outside its ROI now and
    // then.
    const Quad4 theQuad =
      theFlag == 0 ? RandomQuad(theRandom, 6, 5, 36, 30, 0.25)
                   : RandomQuad(theRandom, theSourceRect.x1 + 1, theSourceRect.y1 + 1, theSourceRect.Width() - 3,
                                theSourceRect.Height() - 3, theSeed % 5 == 0 ? 0.2 : 0.08);
    const std::string theCase = "seed " + std::to_string(theSeed) + " " + theKind.mName + " flag " +
                                std::to_string(theFlag) + " method " + std::to_string(theMethod) + " quad " +
                                Describe(theQuad);

    const auto [theFirst, theLast] = kerneltest::ProcessedChannels(theLayout);
    const double theTolerance =
      theLayout.mDepth == IPL_DEPTH_32F ? 1e-3 : (theLayout.mDepth == IPL_DEPTH_1U ? 0.0 : 1.0);
    // Nearest ties, and the float positions of the inverse bilinear rows.
    const double theTie = 1e-4;
    constexpr double kMargin = 1e-3;
    // Pixels compared with the reference; the others' checks stop the test.
    auto Check = [&](const ImageHeader* inDestination, const std::string& inRun) {
      int theCompared = 0;
      for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 48; ++x) {
          const bool theInDestination = x >= theDestinationRect.x1 && x <= theDestinationRect.x2 &&
                                        y >= theDestinationRect.y1 && y <= theDestinationRect.y2;
          double theSX = NAN, theSY = NAN;
          bool theMaps = false;
          if (theFlag == 0) {
            double u, v;
            theMaps = UnitOf(theKind.mKind, theQuad, x, y, u, v);
            theSX = theSourceRect.x1 + u * (theSourceRect.x2 - theSourceRect.x1);
            theSY = theSourceRect.y1 + v * (theSourceRect.y2 - theSourceRect.y1);
          } else if (theInDestination) {
            const auto p = QuadAt(theKind.mKind, theQuad,
                                  static_cast<double>(x - theDestinationRect.x1) / (theDestinationRect.Width() - 1),
                                  static_cast<double>(y - theDestinationRect.y1) / (theDestinationRect.Height() - 1));
            theMaps = true;
            theSX = p[0];
            theSY = p[1];
          }
          const bool theInside = theInDestination && theMaps && theSX > theSourceRect.x1 + kMargin &&
                                 theSX < theSourceRect.x2 - kMargin && theSY > theSourceRect.y1 + kMargin &&
                                 theSY < theSourceRect.y2 - kMargin;
          const bool theOutside = !theInDestination || (theMaps && (theSX < theSourceRect.x1 - kMargin ||
                                                                    theSX > theSourceRect.x2 + kMargin ||
                                                                    theSY < theSourceRect.y1 - kMargin ||
                                                                    theSY > theSourceRect.y2 + kMargin));
          const bool theNearTie = theMethod == IPL_INTER_NN && (std::fabs(theSX - std::floor(theSX) - 0.5) < theTie ||
                                                               std::fabs(theSY - std::floor(theSY) - 0.5) < theTie);
          for (int ch = 0; ch < theLayout.mChannels; ++ch) {
            const double theValue = SampleAt(inDestination, x, y, ch);
            if (ch < theFirst || ch > theLast || theOutside) {
              EXPECT_EQ(theValue, SampleAt(theOriginal.get(), x, y, ch))
                << theCase << inRun << " at " << x << "," << y << " channel " << ch << " must be untouched";
            } else if (theInside && !theNearTie) {
              EXPECT_NEAR(theValue, kerneltest::ReferenceSample(theSource.get(), ch, theMethod, theSX, theSY),
                          theTolerance)
                << theCase << inRun << " at " << x << "," << y << " channel " << ch << " source " << theSX << ","
                << theSY;
              ++theCompared;
            }
            if (::testing::Test::HasFailure())
              return theCompared;
          }
        }
      }
      return theCompared;
    };

    // Untiled, then a tiled source and a tiled destination. Blocks sample at
    // the same positions, so they give the same bytes, except where the float
    // positions of the inverse bilinear rows are rounded relative to the
    // fetched block: those results are held to the reference alone.
    std::vector<std::uint8_t> theUntiled;
    for (int theTiling = 0; theTiling < 3; ++theTiling) {
      const std::string theRun = theTiling == 0 ? "" : (theTiling == 1 ? ", tiled source" : ", tiled destination");
      HeaderPtr theDestination = kerneltest::CopyOf(theOriginal.get());
      TiledImage theTiledSource(theSource.get(), 8, 16);
      TiledImage theTiledDestination(theDestination.get(), 16, 8);
      theTiledSource.Header()->roi = theSource->roi;
      theDestination->roi = theTiledDestination.Header()->roi = theRois ? &theDestinationRoi : nullptr;
      ReportRecorder theRecorder;
      Warp(theKind, theTiling == 1 ? theTiledSource.Header() : theSource.get(),
           theTiling == 2 ? theTiledDestination.Header() : theDestination.get(), theQuad, theFlag, theMethod);
      ASSERT_EQ(iplStatusGet(), 0) << theCase << theRun << "\n" << theRecorder.Describe();
      theTiledSource.Header()->roi = theTiledDestination.Header()->roi = theDestination->roi = nullptr;
      for (const TiledImage* theTiled : {&theTiledSource, &theTiledDestination}) {
        EXPECT_EQ(theTiled->Held(), 0) << theCase << theRun;
        EXPECT_TRUE(theTiled->Faults().empty()) << theCase << theRun << ": " << theTiled->Faults().front();
      }
      const int theCompared = Check(theDestination.get(), theRun);
      ASSERT_FALSE(HasFailure());
      if (theTiling == 0) {
        EXPECT_GT(theCompared, 20) << theCase;
        theUntiled = StorageOf(theDestination.get());
      } else if (theKind.mKind != WarpKind::kBilinear || theFlag != 0) {
        ASSERT_EQ(StorageOf(theDestination.get()), theUntiled) << theCase << theRun;
      }
    }
    theSource->roi = nullptr;
  }
}

// Coefficients and quadrangles that are not finite or enormous: refused with
// -5 or drawn where visible, never a read or write outside the images (whose
// storage is exactly their size, for the sanitizers).
TEST(QuadWarps, ExtremeInputsStayInsideTheImages)
{
  const double kValues[] = {0, 1, -1, 0.5, 7.25, 1e-12, 1e12, -1e12, 1e150, -1e300, NAN, INFINITY, -INFINITY};
  std::mt19937 theRandom(11);
  std::uniform_int_distribution<std::size_t> thePick(0, std::size(kValues) - 1);
  std::vector<std::uint8_t> theSourceStorage(12 * 9 * 4);
  std::vector<std::uint8_t> theDestinationStorage(16 * 11 * 4);
  HeaderPtr theSource(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 12, 9, nullptr, nullptr,
                                           nullptr, nullptr));
  HeaderPtr theDestination(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 16, 11, nullptr,
                                                nullptr, nullptr, nullptr));
  theSource->imageData = theSourceStorage.data();
  theDestination->imageData = theDestinationStorage.data();
  for (int i = 0; i < 4000; ++i) {
    ReportRecorder theRecorder;
    const Entries& theKind = *kKinds[i % 2];
    const int theFlag = (i / 2) % 2;
    const int theInterpolate = (i / 4) % 3 + ((i / 12) % 2) * 16;
    if (i % 3 == 0) {
      double theCoeffs[9];
      for (double& theValue : theCoeffs)
        theValue = kValues[thePick(theRandom)];
      theKind.mWarp(theSource.get(), theDestination.get(), theCoeffs, theFlag, theInterpolate);
    } else {
      Quad4 theQuad = RandomQuad(theRandom, 2, 2, 10, 6, 0.4);
      for (auto& thePoint : theQuad)
        for (double& theValue : thePoint)
          if (thePick(theRandom) < 4)
            theValue = theValue * kValues[thePick(theRandom)] + kValues[thePick(theRandom)];
      Warp(theKind, theSource.get(), theDestination.get(), theQuad, theFlag, theInterpolate);
    }
    for (const kerneltest::Report& theReport : theRecorder.Reports())
      ASSERT_TRUE(theReport.mStatus == -5 || theReport.mStatus == -1) << theRecorder.Describe();
  }
  // A quadrangle of 4e12 pixels around the destination covers all of it.
  for (const Entries* theKind : kKinds) {
    ReportRecorder theRecorder;
    std::fill(theDestinationStorage.begin(), theDestinationStorage.end(), 0);
    std::fill(theSourceStorage.begin(), theSourceStorage.end(), 200);
    const Quad4 theHuge = {{{-1e6, -1e6}, {1e6, -1.2e6}, {1.1e6, 1e6}, {-1e6, 1e6}}};
    Warp(*theKind, theSource.get(), theDestination.get(), theHuge, 0, 17);
    Warp(*theKind, theSource.get(), theDestination.get(), theHuge, 1, 1);
    EXPECT_TRUE(theRecorder.Reports().empty()) << theRecorder.Describe();
    for (std::size_t p = 0; p < theDestinationStorage.size(); ++p)
      ASSERT_EQ(theDestinationStorage[p], p % 4 == 3 ? 0 : 200) << theKind->mName << " byte " << p;
  }
  theSource->imageData = nullptr;
  theDestination->imageData = nullptr;
}

}  // namespace
