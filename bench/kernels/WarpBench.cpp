// The affine warp on the system's own road (8-bit, four channels with alpha,
// linear with edge smoothing) against pixman's bilinear transform on the same
// work, and the bilinear and perspective warps (linear) against pixman's
// projective transform with bilinear filtering. Figures are destination pixels
// per second (items_per_second).
//
// The affine warp runs three ways: "threads" (the fast layer on every core),
// "single" (the fast layer on one thread) and "plain" (the reference
// kernels, as with TL_KERNELS_PLAIN=1). The bilinear and perspective warps
// have only their plain kernels. pixman is single-threaded.
//
// --write-input=PATH writes the 4000 x 3000 RGBA picture that run.sh hands to
// the command-line tools, as raw bytes, and exits; --write-quad-input=PATH
// writes the 1024 x 1024 source of the quadrangle cases.

#include "kernels/AffineWarp.h"
#include "kernels/BilinearWarp.h"
#include "kernels/ErrorStatus.h"
#include "kernels/FastAffine.h"
#include "kernels/ImageHeader.h"
#include "kernels/PerspectiveWarp.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct HeaderDeleter {
  void operator()(ImageHeader* inImage) const { iplImageRelease(inImage, IPL_IMAGE_HEADER | IPL_IMAGE_DATA); }
};
using HeaderPtr = std::unique_ptr<ImageHeader, HeaderDeleter>;

HeaderPtr MakeRgba(int inWidth, int inHeight)
{
  HeaderPtr theImage(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", IPL_DATA_ORDER_PIXEL, IPL_ORIGIN_TL,
                                          IPL_ALIGN_4BYTES, inWidth, inHeight, nullptr, nullptr, nullptr, nullptr));
  iplAllocateImage(theImage.get(), 1, 0);
  return theImage;
}

// A picture with detail everywhere: smooth gradients and a little noise.
void Paint(ImageHeader* inImage, unsigned inSeed)
{
  std::mt19937 theRandom(inSeed);
  std::uniform_int_distribution<int> theNoise(0, 31);
  for (int y = 0; y < inImage->height; ++y) {
    std::uint8_t* theRow = inImage->imageData + static_cast<std::int64_t>(y) * inImage->widthStep;
    for (int x = 0; x < inImage->width; ++x) {
      theRow[4 * x + 0] = static_cast<std::uint8_t>((x * 255 / std::max(inImage->width - 1, 1) + theNoise(theRandom)) & 255);
      theRow[4 * x + 1] = static_cast<std::uint8_t>((y * 255 / std::max(inImage->height - 1, 1)) & 255);
      theRow[4 * x + 2] = static_cast<std::uint8_t>(((x ^ y) + theNoise(theRandom)) & 255);
      theRow[4 * x + 3] = 255;
    }
  }
}

// One warp: the forward matrix and the destination that holds its bounding box.
struct Work {
  std::string mName;
  int mSourceWidth;
  int mSourceHeight;
  double mMatrix[2][3];
  int mWidth;
  int mHeight;
  int mPlacements;  // 0: one warp of the whole source; n: n placements on a canvas
};

Work MakeWork(const std::string& inName, int inWidth, int inHeight, double inA, double inB, double inD, double inE)
{
  Work theWork{inName, inWidth, inHeight, {{inA, inB, 0}, {inD, inE, 0}}, 0, 0, 0};
  const double theXs[4] = {0, inWidth - 1.0, inWidth - 1.0, 0};
  const double theYs[4] = {0, 0, inHeight - 1.0, inHeight - 1.0};
  double theMinX = HUGE_VAL, theMinY = HUGE_VAL, theMaxX = -HUGE_VAL, theMaxY = -HUGE_VAL;
  for (int i = 0; i < 4; ++i) {
    theMinX = std::min(theMinX, inA * theXs[i] + inB * theYs[i]);
    theMaxX = std::max(theMaxX, inA * theXs[i] + inB * theYs[i]);
    theMinY = std::min(theMinY, inD * theXs[i] + inE * theYs[i]);
    theMaxY = std::max(theMaxY, inD * theXs[i] + inE * theYs[i]);
  }
  theWork.mMatrix[0][2] = -theMinX;
  theWork.mMatrix[1][2] = -theMinY;
  theWork.mWidth = static_cast<int>(std::floor(theMaxX - theMinX)) + 1;
  theWork.mHeight = static_cast<int>(std::floor(theMaxY - theMinY)) + 1;
  return theWork;
}

// The placements of the small-source case: a 32 x 32 picture turned by 10
// degrees, scaled by 1.5 and put at a random place of a 1024 x 1024 canvas.
struct Placement {
  double mMatrix[2][3];
  int mX, mY, mWidth, mHeight;  // its bounding box on the canvas
};

std::vector<Placement> MakePlacements(int inCount)
{
  const Work theShape = MakeWork("", 32, 32, 1.5 * std::cos(10 * kPi / 180), 1.5 * std::sin(10 * kPi / 180),
                                 -1.5 * std::sin(10 * kPi / 180), 1.5 * std::cos(10 * kPi / 180));
  std::mt19937 theRandom(5);
  std::uniform_real_distribution<double> thePlace(0.0, 1024.0 - theShape.mWidth - 1);
  std::vector<Placement> thePlacements;
  for (int i = 0; i < inCount; ++i) {
    Placement thePlacement;
    std::memcpy(thePlacement.mMatrix, theShape.mMatrix, sizeof(thePlacement.mMatrix));
    const double theX = thePlace(theRandom);
    const double theY = thePlace(theRandom);
    thePlacement.mMatrix[0][2] += theX;
    thePlacement.mMatrix[1][2] += theY;
    thePlacement.mX = static_cast<int>(theX);
    thePlacement.mY = static_cast<int>(theY);
    thePlacement.mWidth = theShape.mWidth + 1;
    thePlacement.mHeight = theShape.mHeight + 1;
    thePlacements.push_back(thePlacement);
  }
  return thePlacements;
}

std::int64_t PixelsOf(const Work& inWork, const std::vector<Placement>& inPlacements)
{
  if (!inWork.mPlacements)
    return static_cast<std::int64_t>(inWork.mWidth) * inWork.mHeight;
  std::int64_t thePixels = 0;
  for (const Placement& thePlacement : inPlacements)
    thePixels += static_cast<std::int64_t>(thePlacement.mWidth) * thePlacement.mHeight;
  return thePixels;
}

enum class Mode { kThreads, kSingle, kPlain };

void OurWarp(benchmark::State& inState, const Work& inWork, int inInterpolate, Mode inMode)
{
  kernels::SetFastLayer(inMode != Mode::kPlain, inMode == Mode::kSingle ? 1 : 0);
  iplErrorModeSet(2);
  HeaderPtr theSource = MakeRgba(inWork.mSourceWidth, inWork.mSourceHeight);
  Paint(theSource.get(), 1);
  const std::vector<Placement> thePlacements = MakePlacements(inWork.mPlacements);
  HeaderPtr theDestination = inWork.mPlacements ? MakeRgba(1024, 1024) : MakeRgba(inWork.mWidth, inWork.mHeight);
  for (auto _ : inState) {
    iplStatusSet(0);
    if (!inWork.mPlacements) {
      iplWarpAffine(theSource.get(), theDestination.get(), inWork.mMatrix, inInterpolate);
    } else {
      for (const Placement& thePlacement : thePlacements)
        iplWarpAffine(theSource.get(), theDestination.get(), thePlacement.mMatrix, inInterpolate);
    }
    benchmark::DoNotOptimize(theDestination->imageData);
  }
  if (iplStatusGet() != 0)
    inState.SkipWithError(iplStatusMessage(iplStatusGet()));
  inState.SetItemsProcessed(inState.iterations() * PixelsOf(inWork, thePlacements));
}

// pixman maps destination to source, with pixel centres at +0.5: the inverse
// of our matrix, moved by half a pixel on both sides.
void PixmanTransform(const double inMatrix[2][3], pixman_transform_t& outTransform)
{
  pixman_f_transform_t theForward;
  pixman_f_transform_init_identity(&theForward);
  theForward.m[0][0] = inMatrix[0][0];
  theForward.m[0][1] = inMatrix[0][1];
  theForward.m[0][2] = inMatrix[0][2] + 0.5 - 0.5 * (inMatrix[0][0] + inMatrix[0][1]);
  theForward.m[1][0] = inMatrix[1][0];
  theForward.m[1][1] = inMatrix[1][1];
  theForward.m[1][2] = inMatrix[1][2] + 0.5 - 0.5 * (inMatrix[1][0] + inMatrix[1][1]);
  pixman_f_transform_t theInverse;
  pixman_f_transform_invert(&theInverse, &theForward);
  pixman_transform_from_pixman_f_transform(&outTransform, &theInverse);
}

void PixmanWarp(benchmark::State& inState, const Work& inWork)
{
  HeaderPtr theSource = MakeRgba(inWork.mSourceWidth, inWork.mSourceHeight);
  Paint(theSource.get(), 1);
  const std::vector<Placement> thePlacements = MakePlacements(inWork.mPlacements);
  const int theWidth = inWork.mPlacements ? 1024 : inWork.mWidth;
  const int theHeight = inWork.mPlacements ? 1024 : inWork.mHeight;
  HeaderPtr theDestination = MakeRgba(theWidth, theHeight);
  pixman_image_t* theFrom = pixman_image_create_bits(
    PIXMAN_a8r8g8b8, theSource->width, theSource->height, reinterpret_cast<std::uint32_t*>(theSource->imageData),
    theSource->widthStep);
  pixman_image_t* theTo = pixman_image_create_bits(
    PIXMAN_a8r8g8b8, theWidth, theHeight, reinterpret_cast<std::uint32_t*>(theDestination->imageData),
    theDestination->widthStep);
  pixman_image_set_filter(theFrom, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(theFrom, PIXMAN_REPEAT_NONE);
  pixman_transform_t theTransform;
  for (auto _ : inState) {
    if (!inWork.mPlacements) {
      PixmanTransform(inWork.mMatrix, theTransform);
      pixman_image_set_transform(theFrom, &theTransform);
      pixman_image_composite32(PIXMAN_OP_SRC, theFrom, nullptr, theTo, 0, 0, 0, 0, 0, 0, theWidth, theHeight);
    } else {
      for (const Placement& thePlacement : thePlacements) {
        PixmanTransform(thePlacement.mMatrix, theTransform);
        pixman_image_set_transform(theFrom, &theTransform);
        pixman_image_composite32(PIXMAN_OP_SRC, theFrom, nullptr, theTo, thePlacement.mX, thePlacement.mY, 0, 0,
                                 thePlacement.mX, thePlacement.mY, thePlacement.mWidth, thePlacement.mHeight);
      }
    }
    benchmark::DoNotOptimize(theDestination->imageData);
  }
  pixman_image_unref(theFrom);
  pixman_image_unref(theTo);
  inState.SetItemsProcessed(inState.iterations() * PixelsOf(inWork, thePlacements));
}

// A warp of the 1024 x 1024 picture between a rectangle and a quadrangle:
// onto a quadrangle of the destination (inFlag 0, the destination holds its
// bounding box) or from a quadrangle of the source onto a 1024 x 1024
// destination (inFlag 1).
struct QuadWork {
  std::string mName;
  bool mPerspective;
  int mFlag;
  double mQuad[4][2];
  int mWidth;
  int mHeight;
};

QuadWork MakeQuadWork(const std::string& inName, bool inPerspective, int inFlag, const double inQuad[4][2])
{
  QuadWork theWork{inName, inPerspective, inFlag, {}, 1024, 1024};
  std::memcpy(theWork.mQuad, inQuad, sizeof(theWork.mQuad));
  if (inFlag == 0) {
    double theMaxX = 0, theMaxY = 0;
    for (int i = 0; i < 4; ++i) {
      theMaxX = std::max(theMaxX, inQuad[i][0]);
      theMaxY = std::max(theMaxY, inQuad[i][1]);
    }
    theWork.mWidth = static_cast<int>(std::floor(theMaxX)) + 1;
    theWork.mHeight = static_cast<int>(std::floor(theMaxY)) + 1;
  }
  return theWork;
}

void OurQuadWarp(benchmark::State& inState, const QuadWork& inWork)
{
  iplErrorModeSet(2);
  HeaderPtr theSource = MakeRgba(1024, 1024);
  Paint(theSource.get(), 1);
  HeaderPtr theDestination = MakeRgba(inWork.mWidth, inWork.mHeight);
  for (auto _ : inState) {
    iplStatusSet(0);
    if (inWork.mPerspective)
      iplWarpPerspectiveQ(theSource.get(), theDestination.get(), inWork.mQuad, inWork.mFlag, IPL_INTER_LINEAR);
    else
      iplWarpBilinearQ(theSource.get(), theDestination.get(), inWork.mQuad, inWork.mFlag, IPL_INTER_LINEAR);
    benchmark::DoNotOptimize(theDestination->imageData);
  }
  if (iplStatusGet() != 0)
    inState.SkipWithError(iplStatusMessage(iplStatusGet()));
  inState.SetItemsProcessed(inState.iterations() * inWork.mWidth * inWork.mHeight);
}

// pixman's projective transform for the same work: the map from destination
// to source (the perspective coefficients for the quadrangle, inverted when
// they map the source), with pixel centres moved by half a pixel.
void PixmanQuadWarp(benchmark::State& inState, const QuadWork& inWork)
{
  iplErrorModeSet(2);
  HeaderPtr theSource = MakeRgba(1024, 1024);
  Paint(theSource.get(), 1);
  HeaderPtr theDestination = MakeRgba(inWork.mWidth, inWork.mHeight);
  double theCoeffs[3][3];
  iplStatusSet(0);
  iplGetPerspectiveTransform(inWork.mFlag == 0 ? theSource.get() : theDestination.get(), theCoeffs, inWork.mQuad);
  pixman_f_transform_t theHalf, theBack, theMap, theMoved, theToSource;
  pixman_f_transform_init_translate(&theHalf, 0.5, 0.5);
  pixman_f_transform_init_translate(&theBack, -0.5, -0.5);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      theMap.m[r][c] = theCoeffs[r][c];
  pixman_f_transform_multiply(&theMoved, &theMap, &theBack);
  pixman_f_transform_multiply(&theMoved, &theHalf, &theMoved);
  if (inWork.mFlag == 0)
    pixman_f_transform_invert(&theToSource, &theMoved);
  else
    theToSource = theMoved;
  pixman_transform_t theTransform;
  pixman_transform_from_pixman_f_transform(&theTransform, &theToSource);
  pixman_image_t* theFrom = pixman_image_create_bits(
    PIXMAN_a8r8g8b8, 1024, 1024, reinterpret_cast<std::uint32_t*>(theSource->imageData), theSource->widthStep);
  pixman_image_t* theTo = pixman_image_create_bits(
    PIXMAN_a8r8g8b8, inWork.mWidth, inWork.mHeight, reinterpret_cast<std::uint32_t*>(theDestination->imageData),
    theDestination->widthStep);
  pixman_image_set_filter(theFrom, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(theFrom, PIXMAN_REPEAT_NONE);
  pixman_image_set_transform(theFrom, &theTransform);
  for (auto _ : inState) {
    pixman_image_composite32(PIXMAN_OP_SRC, theFrom, nullptr, theTo, 0, 0, 0, 0, 0, 0, inWork.mWidth,
                             inWork.mHeight);
    benchmark::DoNotOptimize(theDestination->imageData);
  }
  pixman_image_unref(theFrom);
  pixman_image_unref(theTo);
  if (iplStatusGet() != 0)
    inState.SkipWithError(iplStatusMessage(iplStatusGet()));
  inState.SetItemsProcessed(inState.iterations() * inWork.mWidth * inWork.mHeight);
}

bool WriteInput(const char* inPath, int inWidth, int inHeight, unsigned inSeed)
{
  HeaderPtr thePicture = MakeRgba(inWidth, inHeight);
  Paint(thePicture.get(), inSeed);
  std::FILE* theFile = std::fopen(inPath, "wb");
  if (!theFile)
    return false;
  const bool theWritten = std::fwrite(thePicture->imageData, 1, thePicture->imageSize, theFile) ==
                          static_cast<std::size_t>(thePicture->imageSize);
  return std::fclose(theFile) == 0 && theWritten;
}

}  // namespace

int main(int argc, char** argv)
{
  const std::string kWriteInput = "--write-input=";
  const std::string kWriteQuadInput = "--write-quad-input=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kWriteInput.c_str(), kWriteInput.size()) == 0)
      return WriteInput(argv[i] + kWriteInput.size(), 4000, 3000, 2) ? 0 : 1;
    if (std::strncmp(argv[i], kWriteQuadInput.c_str(), kWriteQuadInput.size()) == 0)
      return WriteInput(argv[i] + kWriteQuadInput.size(), 1024, 1024, 1) ? 0 : 1;
  }
  const double kC = std::cos(30 * kPi / 180);
  const double kS = std::sin(30 * kPi / 180);
  std::vector<Work> theWorks = {
    MakeWork("rotate30", 1024, 1024, kC, kS, -kS, kC),
    MakeWork("scale3.7", 1024, 1024, 3.7, 0, 0, 3.7),
    MakeWork("scale0.3", 1024, 1024, 0.3, 0, 0, 0.3),
    MakeWork("shear", 1024, 1024, 1, 0.5, 0.25, 1),
    MakeWork("rotate30_4000x3000", 4000, 3000, kC, kS, -kS, kC),
  };
  Work thePlacements = MakeWork("place32x10000", 32, 32, 1, 0, 0, 1);
  thePlacements.mPlacements = 10000;
  theWorks.push_back(thePlacements);

  for (const Work& theWork : theWorks) {
    for (int theInterpolate : {17, 1}) {
      const std::string theBase = "warp/" + theWork.mName + "/inter" + std::to_string(theInterpolate);
      benchmark::RegisterBenchmark((theBase + "/threads").c_str(), OurWarp, theWork, theInterpolate, Mode::kThreads)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((theBase + "/single").c_str(), OurWarp, theWork, theInterpolate, Mode::kSingle)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((theBase + "/plain").c_str(), OurWarp, theWork, theInterpolate, Mode::kPlain)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("pixman/" + theWork.mName + "/bilinear").c_str(), PixmanWarp, theWork)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  }
  // A keystone (perspective), a general quadrangle (bilinear, case 0 of its
  // inverse), and a quadrangle of the source onto the whole destination.
  const double kKeystone[4][2] = {{200, 0}, {824, 0}, {1024, 1024}, {0, 1024}};
  const double kGeneral[4][2] = {{0, 60}, {980, 0}, {1024, 1024}, {40, 900}};
  const double kInside[4][2] = {{100, 80}, {950, 30}, {1000, 990}, {20, 900}};
  const QuadWork theQuadWorks[] = {
    MakeQuadWork("keystone", true, 0, kKeystone),       MakeQuadWork("keystone", false, 0, kKeystone),
    MakeQuadWork("quadrangle", true, 0, kGeneral),      MakeQuadWork("quadrangle", false, 0, kGeneral),
    MakeQuadWork("to_rectangle", true, 1, kInside),     MakeQuadWork("to_rectangle", false, 1, kInside),
  };
  for (const QuadWork& theWork : theQuadWorks) {
    const std::string theKind = theWork.mPerspective ? "perspective" : "bilinear";
    benchmark::RegisterBenchmark(("warp/" + theKind + "/" + theWork.mName + "/plain").c_str(), OurQuadWarp, theWork)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
    if (theWork.mPerspective)
      benchmark::RegisterBenchmark(("pixman/" + theWork.mName + "/projective").c_str(), PixmanQuadWarp, theWork)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
