#include "kernels/AlignedAlloc.h"
#include "kernels/ImageHeader.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using kerneltest::HeaderPtr;
using kerneltest::MakeImage;
using kerneltest::ReportRecorder;

void IgnoreTile(const ImageHeader*, int, int, int) {}

TileInfoRecord gTileRecord{&IgnoreTile, nullptr, nullptr, 8, 8};

struct CreateArgs {
  int mChannels = 3;
  int mAlpha = 0;
  int mDepth = IPL_DEPTH_8U;
  const char* mModel = "RGB";
  const char* mSequence = "BGR";
  int mOrder = IPL_DATA_ORDER_PIXEL;
  int mOrigin = IPL_ORIGIN_TL;
  int mAlign = IPL_ALIGN_4BYTES;
  int mWidth = 5;
  int mHeight = 4;
  ImageHeader* mMask = nullptr;
};

ImageHeader* Create(const CreateArgs& inArgs)
{
  return iplCreateImageHeader(inArgs.mChannels, inArgs.mAlpha, inArgs.mDepth, inArgs.mModel,
                              inArgs.mSequence, inArgs.mOrder, inArgs.mOrigin, inArgs.mAlign,
                              inArgs.mWidth, inArgs.mHeight, nullptr, inArgs.mMask, nullptr, nullptr);
}

struct CreateCase {
  const char* mName;
  CreateArgs mArgs;
  int mStatus;
};

// Each case breaks the check it is named after and every later one, so the
// first failing test must be the one that wins.
TEST(ImageHeader, CreationChecksInOrder)
{
  HeaderPtr theMask8 = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  HeaderPtr theMaskEmpty(iplCreateImageHeader(1, 0, IPL_DEPTH_1U, "GRAY", "GRAY", 0, 0, 4, 4, 4,
                                              nullptr, nullptr, nullptr, nullptr));
  HeaderPtr theMaskZeroWidth = MakeImage(4, 4, IPL_DEPTH_1U, 1);
  theMaskZeroWidth->width = 0;
  HeaderPtr theMaskTiled(iplCreateImageHeader(1, 0, IPL_DEPTH_1U, "GRAY", "GRAY", 0, 0, 4, 16, 16,
                                              nullptr, nullptr, nullptr, &gTileRecord));
  HeaderPtr theMaskBadAlign = MakeImage(4, 4, IPL_DEPTH_1U, 1);
  theMaskBadAlign->align = 3;

  const CreateCase theCases[] = {
    {"width 0", {0, 7, 99, nullptr, nullptr, 5, 5, 3, 0, 4}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"height -1", {0, 7, 99, nullptr, nullptr, 5, 5, 3, 5, -1}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"channels 0", {0, 7, 99, nullptr, nullptr, 5, 5, 3}, IPL_STATUS_BAD_CHANNEL_COUNT},
    {"depth 1 with 3 channels", {3, 7, IPL_DEPTH_1U, nullptr, nullptr, 5, 5, 3}, IPL_STATUS_BAD_BIT_CHANNELS},
    {"colour model null", {3, 7, 99, nullptr, "RGB", 5, 5, 3}, IPL_STATUS_BAD_COLOR_MODEL},
    {"channel sequence null", {3, 7, 99, "RGB", nullptr, 5, 5, 3}, IPL_STATUS_BAD_COLOR_MODEL},
    {"depth 99", {3, 7, 99, "RGB", "RGB", 5, 5, 3}, IPL_STATUS_BAD_DEPTH},
    {"depth 24", {3, 0, 24, "RGB", "RGB"}, IPL_STATUS_BAD_DEPTH},
    {"depth signed 1", {1, 0, IPL_DEPTH_SIGN | 1, "G", "G"}, IPL_STATUS_BAD_DEPTH},
    {"alpha 3 of 4", {4, 3, IPL_DEPTH_8U, "RGBA", "RGBA", 5, 5, 3}, IPL_STATUS_BAD_ALPHA},
    {"alpha 5 of 4", {4, 5, IPL_DEPTH_8U, "RGBA", "RGBA", 5, 5, 3}, IPL_STATUS_BAD_ALPHA},
    {"data order 2", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 2, 5, 3}, IPL_STATUS_BAD_DATA_ORDER},
    {"origin 2", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 2, 3}, IPL_STATUS_BAD_ORIGIN},
    {"align 3", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 3}, IPL_STATUS_BAD_ALIGN},
    {"align 64", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 64}, IPL_STATUS_BAD_ALIGN},
    {"mask of depth 8", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMask8.get()}, -117},
    {"tiled mask", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskTiled.get()}, IPL_STATUS_MASK_TILED},
    {"mask without data", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskEmpty.get()}, -112},
    {"mask of width 0", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskZeroWidth.get()}, -110},
    {"mask with align 3", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskBadAlign.get()}, -121},
    {"row step beyond 32 bits", {1000, 0, IPL_DEPTH_32F, "RGB", "RGB", 0, 0, 4, 1 << 20, 1}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"storage beyond 32 bits", {4, 0, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 65536, 65536}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"planes beyond 32 bits", {64, 0, IPL_DEPTH_8U, "RGB", "RGB", 1, 0, 4, 8192, 8192}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"largest width times 1000 channels", {1000, 0, IPL_DEPTH_32S, "RGB", "RGB", 0, 0, 4, 2147483647, 2147483647}, IPL_STATUS_BAD_IMAGE_SIZE},
  };
  for (const CreateCase& theCase : theCases) {
    ReportRecorder theRecorder;
    ImageHeader* theImage = Create(theCase.mArgs);
    EXPECT_EQ(theImage, nullptr) << theCase.mName;
    iplImageRelease(theImage, IPL_IMAGE_HEADER);
    EXPECT_EQ(iplStatusGet(), theCase.mStatus) << theCase.mName << "\n" << theRecorder.Describe();
    ASSERT_FALSE(theRecorder.Reports().empty()) << theCase.mName;
    const kerneltest::Report& theReport = theRecorder.Reports().back();
    EXPECT_EQ(theReport.mStatus, theCase.mStatus) << theCase.mName;
    EXPECT_EQ(theReport.mFunction, "iplCreateImageHeader") << theCase.mName;
    EXPECT_EQ(theReport.mMessage, "Incorrect data-ins") << theCase.mName;
    EXPECT_EQ(theReport.mModule, "iplalloc") << theCase.mName;
  }
}

struct StepCase {
  int mWidth, mDepth, mChannels, mOrder, mAlign;
  int mWidthStep;
};

TEST(ImageHeader, RowStepAndSizeFollowTheRule)
{
  const StepCase theCases[] = {
    {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 4, 16},
    {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PLANE, 4, 8},
    {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 8, 16},
    {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 32, 32},
    {4, IPL_DEPTH_8U, 4, IPL_DATA_ORDER_PIXEL, 4, 16},
    {3, IPL_DEPTH_16U, 3, IPL_DATA_ORDER_PIXEL, 4, 20},
    {3, IPL_DEPTH_16S, 1, IPL_DATA_ORDER_PIXEL, 16, 16},
    {7, IPL_DEPTH_32F, 1, IPL_DATA_ORDER_PIXEL, 4, 28},
    {33, IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 4, 8},
    {32, IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 4, 4},
    {1, IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 8, 8},
  };
  for (const StepCase& theCase : theCases) {
    const int theHeight = 3;
    HeaderPtr theImage(iplCreateImageHeader(theCase.mChannels, 0, theCase.mDepth, "RGB", "RGB",
                                            theCase.mOrder, 0, theCase.mAlign, theCase.mWidth, theHeight,
                                            nullptr, nullptr, nullptr, nullptr));
    ASSERT_NE(theImage, nullptr);
    const int thePlanes = theCase.mOrder == IPL_DATA_ORDER_PLANE ? theCase.mChannels : 1;
    EXPECT_EQ(theImage->widthStep, theCase.mWidthStep)
      << "width " << theCase.mWidth << " depth " << theCase.mDepth << " channels " << theCase.mChannels
      << " order " << theCase.mOrder << " align " << theCase.mAlign;
    EXPECT_EQ(theImage->imageSize, theCase.mWidthStep * theHeight * thePlanes);
  }
}

TEST(ImageHeader, CreationFillsTheRecord)
{
  RoiRecord theRoi{0, -3, 99, 0, 0};  // stored without being checked
  int theId = 0;
  HeaderPtr theImage(iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "BGR", IPL_DATA_ORDER_PIXEL,
                                          IPL_ORIGIN_BL, 8, 10, 6, &theRoi, nullptr, &theId, nullptr));
  ASSERT_NE(theImage, nullptr);
  EXPECT_EQ(theImage->size, static_cast<int>(sizeof(ImageHeader)));
  EXPECT_EQ(theImage->id, 0);
  EXPECT_EQ(theImage->channelCount, 4);
  EXPECT_EQ(theImage->alphaChannel, 4);
  EXPECT_EQ(0, std::memcmp(theImage->colorModel, "RGBA", 4));
  EXPECT_EQ(0, std::memcmp(theImage->channelSequence, "BGR\0", 4));
  EXPECT_EQ(theImage->origin, IPL_ORIGIN_BL);
  EXPECT_EQ(theImage->roi, &theRoi);
  EXPECT_EQ(theImage->imageId, &theId);
  EXPECT_EQ(theImage->imageData, nullptr);
  EXPECT_EQ(theImage->allocatedBlock, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(theImage.get()) % 32, 0u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(theImage->borderMode[i], IPL_BORDER_CONSTANT);
    EXPECT_EQ(theImage->borderConst[i], 0);
  }
  theImage->roi = nullptr;
}

TEST(ImageHeader, ShortColourModelsAreCopiedUpToTheirEnd)
{
  // Under the sanitizers a 4-byte read of these would be caught.
  auto theModel = std::make_unique<char[]>(2);
  theModel[0] = 'G';
  theModel[1] = '\0';
  auto theSequence = std::make_unique<char[]>(1);
  theSequence[0] = '\0';
  HeaderPtr theImage(iplCreateImageHeader(1, 0, IPL_DEPTH_8U, theModel.get(), theSequence.get(), 0, 0,
                                          4, 2, 2, nullptr, nullptr, nullptr, nullptr));
  ASSERT_NE(theImage, nullptr);
  EXPECT_EQ(0, std::memcmp(theImage->colorModel, "G\0\0\0", 4));
  EXPECT_EQ(0, std::memcmp(theImage->channelSequence, "\0\0\0\0", 4));
}

TEST(ImageHeader, AllocateRefusesInTheirOrder)
{
  ReportRecorder theRecorder;
  iplAllocateImage(nullptr, 0, 0);
  HeaderPtr theAttached = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  iplAllocateImage(theAttached.get(), 0, 0);
  HeaderPtr theTiled(iplCreateImageHeader(1, 0, IPL_DEPTH_8U, "G", "G", 0, 0, 4, 16, 16, nullptr, nullptr,
                                          nullptr, &gTileRecord));
  iplAllocateImage(theTiled.get(), 0, 0);
  HeaderPtr theFloat(iplCreateImageHeader(1, 0, IPL_DEPTH_32F, "G", "G", 0, 0, 4, 4, 4, nullptr, nullptr,
                                          nullptr, nullptr));
  iplAllocateImage(theFloat.get(), 0, 0);
  HeaderPtr theBadAlpha(iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 4, 4, nullptr,
                                             nullptr, nullptr, nullptr));
  theBadAlpha->alphaChannel = 2;
  iplAllocateImage(theBadAlpha.get(), 0, 0);
  HeaderPtr theHuge(iplCreateImageHeader(4, 0, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 4, 4, nullptr,
                                         nullptr, nullptr, nullptr));
  theHuge->width = 65536;
  theHuge->height = 65536;
  iplAllocateImage(theHuge.get(), 0, 0);

  iplAllocateImageFP(nullptr, 0, 0.0f);
  iplAllocateImageFP(theTiled.get(), 0, 0.0f);
  HeaderPtr theInteger(iplCreateImageHeader(1, 0, IPL_DEPTH_8U, "G", "G", 0, 0, 4, 4, 4, nullptr, nullptr,
                                            nullptr, nullptr));
  iplAllocateImageFP(theInteger.get(), 0, 0.0f);
  HeaderPtr theFloatAttached = MakeImage(4, 4, IPL_DEPTH_32F, 1);
  iplAllocateImageFP(theFloatAttached.get(), 0, 0.0f);

  const kerneltest::Report theExpected[] = {
    {-5, "iplAllocateImage", "( image == ((void *)0) )", "iplalloc"},
    {-5, "iplAllocateImage", "( image->imageData != ((void *)0) )", "iplalloc"},
    {-5, "iplAllocateImage", "( image->tileInfo != ((void *)0) )", "iplalloc"},
    {-5, "iplAllocateImage", "( image->depth == 32 )", "iplalloc"},
    {-18, "iplAllocateImage", "Incorrect data-ins", "iplalloc"},
    {-10, "iplAllocateImage", "Incorrect data-ins", "iplalloc"},
    {-5, "iplAllocateImageFP", "( image == ((void *)0) )", "iplalloc"},
    {-5, "iplAllocateImageFP", "( image->tileInfo != ((void *)0) )", "iplalloc"},
    {-5, "iplAllocateImageFP", "( image->depth != 32 )", "iplalloc"},
    {-5, "iplAllocateImageFP", "( image->imageData != ((void *)0) )", "iplalloc"},
  };
  ASSERT_EQ(theRecorder.Reports().size(), std::size(theExpected)) << theRecorder.Describe();
  for (std::size_t i = 0; i < std::size(theExpected); ++i) {
    const kerneltest::Report& theReport = theRecorder.Reports()[i];
    EXPECT_EQ(theReport.mStatus, theExpected[i].mStatus) << "report " << i;
    EXPECT_EQ(theReport.mFunction, theExpected[i].mFunction) << "report " << i;
    EXPECT_EQ(theReport.mMessage, theExpected[i].mMessage) << "report " << i;
    EXPECT_EQ(theReport.mModule, theExpected[i].mModule) << "report " << i;
  }
  EXPECT_EQ(theHuge->imageData, nullptr);
  EXPECT_EQ(theBadAlpha->imageData, nullptr);
}

struct FillCase {
  int mDepth;
  int mValue;
  std::uint32_t mWord;
};

TEST(ImageHeader, AllocateFillsWordByWord)
{
  const FillCase theCases[] = {
    {IPL_DEPTH_1U, 1, 0xFFFFFFFFu},  {IPL_DEPTH_1U, 2, 0u},
    {IPL_DEPTH_8U, 0x1234, 0x34343434u}, {IPL_DEPTH_8S, -1, 0xFFFFFFFFu},
    {IPL_DEPTH_16U, 0x12345, 0x23452345u}, {IPL_DEPTH_16S, -2, 0xFFFEFFFEu},
    {IPL_DEPTH_32S, -7, 0xFFFFFFF9u},
  };
  for (const FillCase& theCase : theCases) {
    ReportRecorder theRecorder;
    const int theChannels = 1;
    HeaderPtr theImage(iplCreateImageHeader(theChannels, 0, theCase.mDepth, "G", "G", 0, 0, 8, 13, 5,
                                            nullptr, nullptr, nullptr, nullptr));
    ASSERT_NE(theImage, nullptr);
    theImage->widthStep = 1;  // computed again
    iplAllocateImage(theImage.get(), 1, theCase.mValue);
    ASSERT_NE(theImage->imageData, nullptr) << theRecorder.Describe();
    EXPECT_EQ(iplStatusGet(), 0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(theImage->imageData) % 8, 0u);
    EXPECT_EQ(theImage->allocatedBlock != nullptr, true);
    EXPECT_EQ(theImage->imageSize, theImage->widthStep * 5);
    for (int i = 0; i < theImage->imageSize / 4; ++i) {
      std::uint32_t theWord = 0;
      std::memcpy(&theWord, theImage->imageData + 4 * i, 4);
      ASSERT_EQ(theWord, theCase.mWord) << "depth " << theCase.mDepth << " word " << i;
    }
  }
  HeaderPtr theFloat(iplCreateImageHeader(2, 0, IPL_DEPTH_32F, "G", "G", 1, 0, 32, 3, 3, nullptr, nullptr,
                                          nullptr, nullptr));
  iplAllocateImageFP(theFloat.get(), 1, 1.5f);
  ASSERT_NE(theFloat->imageData, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(theFloat->imageData) % 32, 0u);
  for (int i = 0; i < theFloat->imageSize / 4; ++i) {
    float theValue = 0;
    std::memcpy(&theValue, theFloat->imageData + 4 * i, 4);
    ASSERT_EQ(theValue, 1.5f) << "word " << i;
  }
}

TEST(ImageHeader, ReleaseFreesWhatTheFlagsName)
{
  // Everything a header can own; the leak checker of the sanitizer build
  // catches anything left behind, and use after free any wrong order.
  ImageHeader* theMaskOfMask = MakeImage(8, 8, IPL_DEPTH_1U, 1).release();
  ImageHeader* theMask = MakeImage(8, 8, IPL_DEPTH_1U, 1).release();
  theMask->roi = iplRoiCreate(0, 1, 1, 2, 2);
  theMask->maskHeader = theMaskOfMask;
  ImageHeader* theImage = MakeImage(8, 8, IPL_DEPTH_8U, 3).release();
  theImage->roi = iplRoiCreate(1, 0, 0, 4, 4);
  theImage->maskHeader = theMask;
  theImage->tileInfo = iplTileInfoCreate(&IgnoreTile, nullptr, 8, 8);

  iplImageRelease(theImage, IPL_IMAGE_ROI);
  EXPECT_EQ(theImage->roi, nullptr);
  EXPECT_NE(theImage->maskHeader, nullptr);
  iplImageRelease(theImage, IPL_IMAGE_TILE | IPL_IMAGE_MASK);
  EXPECT_EQ(theImage->maskHeader, nullptr);
  EXPECT_EQ(theImage->tileInfo, nullptr);
  EXPECT_NE(theImage->imageData, nullptr);
  EXPECT_EQ(iplImageDataRelease(theImage), 0);
  EXPECT_EQ(theImage->imageData, nullptr);
  EXPECT_EQ(theImage->allocatedBlock, nullptr);
  iplImageRelease(theImage, IPL_IMAGE_ALL);
  // The mask's own mask is not released with it.
  iplImageRelease(theMaskOfMask, IPL_IMAGE_ALL);
  iplImageRelease(nullptr, IPL_IMAGE_ALL);
}

TEST(ImageHeader, OutsideBuffersAreNeverFreed)
{
  std::vector<std::uint8_t> thePixels(16 * 4, 7);
  ImageHeader* theImage = iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 4, 4,
                                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(theImage, nullptr);
  theImage->imageData = thePixels.data();
  iplImageRelease(theImage, IPL_IMAGE_DATA);
  EXPECT_EQ(theImage->imageData, thePixels.data());
  iplImageDataRelease(theImage);
  EXPECT_EQ(theImage->imageData, thePixels.data());
  iplImageHeaderRelease(theImage);
  EXPECT_EQ(thePixels[0], 7);
}

struct BorderCase {
  int mDepth;
  int mConstant;
  int mStored;
};

TEST(ImageHeader, BorderConstantsAreClampedByDepth)
{
  const BorderCase theCases[] = {
    {IPL_DEPTH_1U, 5, 1},          {IPL_DEPTH_1U, -3, 0},
    {IPL_DEPTH_8U, 300, 255},      {IPL_DEPTH_8U, -5, 0},        {IPL_DEPTH_8U, 77, 77},
    {IPL_DEPTH_8S, 200, 127},      {IPL_DEPTH_8S, -200, -128},
    {IPL_DEPTH_16U, 70000, 65535}, {IPL_DEPTH_16U, -1, 0},
    {IPL_DEPTH_16S, 40000, 32767}, {IPL_DEPTH_16S, -40000, -32768},
    {IPL_DEPTH_32F, 1234567, 1234567}, {IPL_DEPTH_32F, -9, -9},
    {IPL_DEPTH_32S, -2147483647, -2147483647},
  };
  for (const BorderCase& theCase : theCases) {
    HeaderPtr theImage(iplCreateImageHeader(1, 0, theCase.mDepth, "G", "G", 0, 0, 4, 4, 4, nullptr,
                                            nullptr, nullptr, nullptr));
    ASSERT_NE(theImage, nullptr);
    iplBorderModeSet(theImage.get(), IPL_BORDER_REFLECT, IPL_SIDE_TOP | IPL_SIDE_RIGHT, theCase.mConstant);
    EXPECT_EQ(theImage->borderConst[IPL_SIDE_TOP_INDEX], theCase.mStored)
      << "depth " << theCase.mDepth << " constant " << theCase.mConstant;
    EXPECT_EQ(theImage->borderConst[IPL_SIDE_RIGHT_INDEX], theCase.mStored);
    EXPECT_EQ(theImage->borderMode[IPL_SIDE_TOP_INDEX], IPL_BORDER_REFLECT);
    EXPECT_EQ(theImage->borderMode[IPL_SIDE_BOTTOM_INDEX], IPL_BORDER_CONSTANT);
    EXPECT_EQ(theImage->borderConst[IPL_SIDE_LEFT_INDEX], 0);
  }
  iplBorderModeSet(nullptr, 1, 15, 0);
}

// Header checks: each case damages one field of a valid header (or a copy of
// it) and names the status that must win.
struct CheckCase {
  const char* mName;
  void (*mDamage)(ImageHeader&);
  int mStatus;
};

RoiRecord gRoi;
TileInfoRecord gTiles;
ImageHeader gMask;

TEST(ImageHeader, HeaderChecksInOrder)
{
  HeaderPtr theValid = MakeImage(5, 4, IPL_DEPTH_8U, 3);
  ASSERT_NE(theValid, nullptr);
  HeaderPtr theMask = MakeImage(5, 4, IPL_DEPTH_1U, 1);
  gMask = *theMask;
  const CheckCase theCases[] = {
    {"valid", [](ImageHeader&) {}, 0},
    {"both data and tiles", [](ImageHeader& h) { h.tileInfo = &gTiles; }, IPL_STATUS_NO_DATA},
    {"neither data nor tiles", [](ImageHeader& h) { h.imageData = nullptr; h.width = 0; }, IPL_STATUS_NO_DATA},
    {"image size 0", [](ImageHeader& h) { h.imageSize = 0; h.widthStep = 0; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"negative image size", [](ImageHeader& h) { h.imageSize = -64; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"row step 0", [](ImageHeader& h) { h.widthStep = 0; h.width = 0; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"negative row step", [](ImageHeader& h) { h.widthStep = -16; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"width 0", [](ImageHeader& h) { h.width = 0; h.channelCount = 0; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"negative height", [](ImageHeader& h) { h.height = -4; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"channels 0", [](ImageHeader& h) { h.channelCount = 0; h.depth = 3; }, IPL_STATUS_BAD_CHANNEL_COUNT},
    {"depth 1 with 3 channels", [](ImageHeader& h) { h.depth = 1; h.align = 3; }, IPL_STATUS_BAD_BIT_CHANNELS},
    {"depth 12", [](ImageHeader& h) { h.depth = 12; h.alphaChannel = 1; }, IPL_STATUS_BAD_DEPTH},
    {"alpha 2 of 3", [](ImageHeader& h) { h.alphaChannel = 2; h.dataOrder = 9; }, IPL_STATUS_BAD_ALPHA},
    {"alpha beyond the channels", [](ImageHeader& h) { h.alphaChannel = 4; }, IPL_STATUS_BAD_ALPHA},
    {"data order 9", [](ImageHeader& h) { h.dataOrder = 9; h.origin = 9; }, IPL_STATUS_BAD_DATA_ORDER},
    {"origin 9", [](ImageHeader& h) { h.origin = 9; h.align = 9; }, IPL_STATUS_BAD_ORIGIN},
    {"align 9", [](ImageHeader& h) { h.align = 9; }, IPL_STATUS_BAD_ALIGN},
    {"mask of depth 8", [](ImageHeader& h) { gMask.depth = 8; h.maskHeader = &gMask; }, -117},
    {"mask with a bad size", [](ImageHeader& h) { gMask.height = 0; h.maskHeader = &gMask; }, -110},
    {"mask that is its own mask", [](ImageHeader& h) { gMask.maskHeader = &gMask; h.maskHeader = &gMask; }, 0},
    {"1000 channels in a short row", [](ImageHeader& h) { h.channelCount = 1000; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"row step shorter than a row", [](ImageHeader& h) { h.widthStep = 12; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"misaligned row step", [](ImageHeader& h) { h.widthStep = 18; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"huge width", [](ImageHeader& h) { h.width = 2147483647; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"storage shorter than the rows", [](ImageHeader& h) { h.imageSize = 63; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"huge height", [](ImageHeader& h) { h.height = 2147483647; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"plane order needs three planes", [](ImageHeader& h) { h.dataOrder = 1; h.widthStep = 8; h.imageSize = 40; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"16-bit samples at an odd address", [](ImageHeader& h) { h.depth = 16; h.widthStep = 32; h.imageSize = 32; h.height = 1; h.imageData += 1; }, IPL_STATUS_BAD_WIDTH_STEP},
    {"tiles without callback", [](ImageHeader& h) { h.imageData = nullptr; h.tileInfo = &gTiles; gTiles = {nullptr, nullptr, nullptr, 0, 0}; }, IPL_STATUS_NULL_CALLBACK},
    {"tile width 0", [](ImageHeader& h) { h.imageData = nullptr; h.tileInfo = &gTiles; gTiles = {&IgnoreTile, nullptr, nullptr, 0, 7}; }, IPL_STATUS_BAD_TILE_SIZE},
    {"tile height 12", [](ImageHeader& h) { h.imageData = nullptr; h.tileInfo = &gTiles; gTiles = {&IgnoreTile, nullptr, nullptr, 8, 12}; }, IPL_STATUS_BAD_TILE_SIZE},
    {"tile width 12", [](ImageHeader& h) { h.imageData = nullptr; h.tileInfo = &gTiles; gTiles = {&IgnoreTile, nullptr, nullptr, 12, 8}; }, IPL_STATUS_BAD_TILE_SIZE},
    {"huge tiles", [](ImageHeader& h) { h.imageData = nullptr; h.tileInfo = &gTiles; gTiles = {&IgnoreTile, nullptr, nullptr, 1 << 20, 1 << 20}; }, IPL_STATUS_BAD_TILE_SIZE},
    {"tiled, size fields unused", [](ImageHeader& h) { h.imageData = nullptr; h.imageSize = -1; h.widthStep = -1; h.tileInfo = &gTiles; gTiles = {&IgnoreTile, nullptr, nullptr, 8, 16}; }, 0},
    {"coi 4 of 3", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {4, -1, -1, 0, 0}; }, IPL_STATUS_BAD_COI},
    {"coi -1", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {-1, 0, 0, 1, 1}; }, IPL_STATUS_BAD_COI},
    {"roi height 0", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {3, -1, -1, 2, 0}; }, IPL_STATUS_BAD_ROI_SIZE},
    {"roi width -1", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {0, -1, -1, -1, 2}; }, IPL_STATUS_BAD_ROI_SIZE},
    {"roi offset -1", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {0, 0, -1, 2, 2}; }, IPL_STATUS_BAD_ROI_OFFSET},
    {"roi past the far edges", [](ImageHeader& h) { h.roi = &gRoi; gRoi = {0, 3, 3, 2147483647, 2147483647}; }, 0},
  };
  for (const CheckCase& theCase : theCases) {
    ImageHeader theImage = *theValid;
    gMask = *theMask;
    theCase.mDamage(theImage);
    iplStatusSet(-99);
    const int theResult = iplHeaderCheck(&theImage);
    EXPECT_EQ(theResult, theCase.mStatus) << theCase.mName;
    // A failure is stored; success leaves the status as it was.
    EXPECT_EQ(iplStatusGet(), theCase.mStatus == 0 ? -99 : theCase.mStatus) << theCase.mName;
  }
  iplStatusSet(0);
  EXPECT_EQ(iplHeaderCheck(nullptr), IPL_STATUS_NULL_HEADER);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NULL_HEADER);
  iplStatusSet(0);
}

TEST(ImageHeader, RoiAndTileRecords)
{
  RoiRecord* theRoi = iplRoiCreate(1, 2, 3, 4, 5);
  ASSERT_NE(theRoi, nullptr);
  EXPECT_EQ(theRoi->coi, 1);
  EXPECT_EQ(theRoi->height, 5);
  iplRoiFill(theRoi, 0, -1, -2, 7, 8);
  EXPECT_EQ(theRoi->xOffset, -1);
  EXPECT_EQ(theRoi->width, 7);
  iplRoiFill(nullptr, 0, 0, 0, 1, 1);
  iplRoiDelete(theRoi);
  iplRoiDelete(nullptr);

  int theId = 0;
  TileInfoRecord* theTiles = iplTileInfoCreate(&IgnoreTile, &theId, 16, 24);
  ASSERT_NE(theTiles, nullptr);
  EXPECT_EQ(theTiles->tileData, nullptr);
  EXPECT_EQ(theTiles->id, &theId);
  std::uint8_t theByte = 0;
  theTiles->tileData = &theByte;
  iplTileInfoFill(theTiles, nullptr, nullptr, 8, 8);
  EXPECT_EQ(theTiles->tileData, nullptr);
  EXPECT_EQ(theTiles->callback, nullptr);
  EXPECT_EQ(theTiles->width, 8);
  iplTileInfoDelete(theTiles);
}

TEST(AlignedAlloc, BlocksAreAlignedAndWhole)
{
  EXPECT_EQ(iplAlignedAlloc(0), nullptr);
  EXPECT_EQ(iplAlignedAlloc(-5), nullptr);
  EXPECT_EQ(iplAlignedAllocDouble(0), nullptr);
  for (int theCount : {1, 3, 31, 32, 33, 1000}) {
    std::uint8_t* theBytes = iplAlignedAlloc(theCount);
    std::uint16_t* theShorts = iplAlignedAlloc16(theCount);
    std::int32_t* theInts = iplAlignedAllocInt(theCount);
    float* theFloats = iplAlignedAllocFloat(theCount);
    double* theDoubles = iplAlignedAllocDouble(theCount);
    for (void* theBlock : {static_cast<void*>(theBytes), static_cast<void*>(theShorts),
                           static_cast<void*>(theInts), static_cast<void*>(theFloats),
                           static_cast<void*>(theDoubles)}) {
      ASSERT_NE(theBlock, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(theBlock) % 32, 0u) << "count " << theCount;
    }
    // Every element is writable (the sanitizers check the bounds).
    std::memset(theBytes, 1, theCount);
    std::memset(theShorts, 1, theCount * sizeof(std::uint16_t));
    std::memset(theInts, 1, theCount * sizeof(std::int32_t));
    std::memset(theFloats, 1, theCount * sizeof(float));
    std::memset(theDoubles, 1, theCount * sizeof(double));
    for (void* theBlock : {static_cast<void*>(theBytes), static_cast<void*>(theShorts),
                           static_cast<void*>(theInts), static_cast<void*>(theFloats),
                           static_cast<void*>(theDoubles)})
      iplAlignedFree(theBlock);
  }
  iplAlignedFree(nullptr);
}

}  // namespace
