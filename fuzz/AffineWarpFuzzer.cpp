// The affine warp's arguments from the input (sizes, layout, region of
// interest, interpolation, coefficients, with now and then one that is not a
// number) over a picture from the input: the fast layer, at every vector
// level this processor has, gives the plain kernels' status and bytes.

#include "fuzz/FuzzSupport.h"
#include "kernels/AffineWarp.h"
#include "kernels/ErrorStatus.h"
#include "kernels/FastAffine.h"
#include "kernels/ImageHeader.h"

#include <memory>
#include <vector>

using namespace kernels;

namespace {

struct Release {
  void operator()(ImageHeader* inImage) const { iplImageRelease(inImage, IPL_IMAGE_ALL); }
};
using Image = std::unique_ptr<ImageHeader, Release>;

Image MakeImage(int inWidth, int inHeight, int inDepth, int inChannels, int inAlpha)
{
  const char* theModel = inChannels == 1 ? "GRAY" : (inChannels == 3 ? "RGB" : "RGBA");
  Image theImage(iplCreateImageHeader(inChannels, inAlpha, inDepth, theModel, theModel, IPL_DATA_ORDER_PIXEL,
                                      IPL_ORIGIN_TL, IPL_ALIGN_4BYTES, inWidth, inHeight, nullptr, nullptr, nullptr,
                                      nullptr));
  TL_FUZZ_CHECK(theImage != nullptr);
  iplAllocateImage(theImage.get(), 1, 0);
  TL_FUZZ_CHECK(theImage->imageData != nullptr);
  return theImage;
}

struct Outcome {
  int mStatus;
  std::vector<std::uint8_t> mBytes;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  iplErrorModeSet(2);  // report and go on: a refused argument must not end the run
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  static constexpr int kChannels[] = {1, 2, 3, 4, 4};
  const int theLayout = theInput.Between(0, std::size(kChannels) - 1);
  const int theChannels = kChannels[theLayout];
  const int theAlpha = theLayout == 4 ? 4 : 0;
  const int theDepth = theInput.Between(0, 7) == 0 ? IPL_DEPTH_16U : IPL_DEPTH_8U;
  static constexpr int kInterpolations[] = {IPL_INTER_LINEAR, IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES, IPL_INTER_NN,
                                            IPL_INTER_CUBIC, IPL_INTER_CUBIC | IPL_INTER_SMOOTH_EDGES,
                                            IPL_INTER_LINEAR | IPL_INTER_SMOOTH_EDGES | IPL_INTER_PIXEL_AREAS,
                                            IPL_INTER_NN | IPL_INTER_PIXEL_AREAS};
  const int theInterpolate = kInterpolations[theInput.Between(0, std::size(kInterpolations) - 1)];
  const int theSourceWidth = theInput.Between(1, 40), theSourceHeight = theInput.Between(1, 40);
  const int theWidth = theInput.Between(1, 64), theHeight = theInput.Between(1, 64);
  double theCoeffs[2][3];
  for (auto& theRow : theCoeffs)
    for (double& theCoeff : theRow)
      theCoeff = theInput.Take<std::int16_t>() / 128.0;
  if (theInput.Between(0, 15) == 0)
    theCoeffs[theInput.Between(0, 1)][theInput.Between(0, 2)] = theInput.Take<double>();
  RoiRecord theRoi{0, theInput.Between(0, theSourceWidth - 1), theInput.Between(0, theSourceHeight - 1),
                   theInput.Between(1, theSourceWidth), theInput.Between(1, theSourceHeight)};
  const bool theUseRoi = theInput.Flag();

  Image theSource = MakeImage(theSourceWidth, theSourceHeight, theDepth, theChannels, theAlpha);
  for (std::int32_t i = 0; i < theSource->imageSize; ++i)
    theSource->imageData[i] = theInput.Take<std::uint8_t>();
  theSource->roi = theUseRoi ? &theRoi : nullptr;

  std::vector<VectorLevel> theLevels = {VectorLevel::kNone};
  if (SupportedVectorLevel() >= VectorLevel::kAvx2)
    theLevels.push_back(VectorLevel::kAvx2);
  if (SupportedVectorLevel() >= VectorLevel::kAvx512)
    theLevels.push_back(VectorLevel::kAvx512);
  auto theWarp = [&](bool inFast, VectorLevel inLevel) {
    SetFastLayer(inFast, 2, inLevel);
    Image theDestination = MakeImage(theWidth, theHeight, theDepth, theChannels, theAlpha);
    std::memset(theDestination->imageData, 0x5C, static_cast<std::size_t>(theDestination->imageSize));
    iplStatusSet(0);
    iplWarpAffine(theSource.get(), theDestination.get(), theCoeffs, theInterpolate);
    return Outcome{iplStatusGet(), std::vector<std::uint8_t>(theDestination->imageData,
                                                               theDestination->imageData + theDestination->imageSize)};
  };
  const Outcome thePlain = theWarp(false, VectorLevel::kNone);
  for (VectorLevel theLevel : theLevels) {
    const Outcome theFast = theWarp(true, theLevel);
    TL_FUZZ_CHECK(theFast.mStatus == thePlain.mStatus);
    TL_FUZZ_CHECK(theFast.mBytes == thePlain.mBytes);
  }
  theSource->roi = nullptr;
  return 0;
}
