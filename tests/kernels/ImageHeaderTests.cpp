#include "kernels/AlignedAlloc.h"
#include "kernels/ImageHeader.h"
#include "tests/kernels/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
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

struct CreateCase {
  const char* mName;
  CreateArgs mArgs;
  int mStatus;
};

// Each case breaks the check it is named after and every later one, so the
// first failing check must be the one that wins.
TEST(ImageHeader, CreationChecksInOrder)
{
  HeaderPtr theMask8 = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  HeaderPtr theMaskEmpty(iplCreateImageHeader(1, 0, IPL_DEPTH_1U, "GRAY", "GRAY", 0, 0, 4, 4, 4, nullptr, nullptr,
                                              nullptr, nullptr));
  HeaderPtr theMaskZeroWidth = MakeImage(4, 4, IPL_DEPTH_1U, 1);
  theMaskZeroWidth->width = 0;
  HeaderPtr theMaskTiled(iplCreateImageHeader(1, 0, IPL_DEPTH_1U, "GRAY", "GRAY", 0, 0, 4, 16, 16, nullptr, nullptr,
                                              nullptr, &gTileRecord));
  HeaderPtr theMaskBadAlign = MakeImage(4, 4, IPL_DEPTH_1U, 1);
  theMaskBadAlign->align = 3;
  const CreateCase theCases[] = {
    {"width 0", {0, 7, 99, nullptr, nullptr, 5, 5, 3, 0, 4}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"height -1", {0, 7, 99, nullptr, nullptr, 5, 5, 3, 5, -1}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"channels 0", {0, 7, 99, nullptr, nullptr, 5, 5, 3}, IPL_STATUS_BAD_CHANNEL_COUNT},
    {"depth 1 with 3 channels", {3, 7, IPL_DEPTH_1U, nullptr, nullptr, 5, 5, 3}, IPL_STATUS_BAD_BIT_CHANNELS},
    {"colour model null", {3, 7, 99, nullptr, "RGB", 5, 5, 3}, IPL_STATUS_BAD_COLOR_MODEL},
    {"depth 99", {3, 7, 99, "RGB", "RGB", 5, 5, 3}, IPL_STATUS_BAD_DEPTH},
    {"depth signed 1", {1, 0, IPL_DEPTH_SIGN | 1, "G", "G"}, IPL_STATUS_BAD_DEPTH},
    {"alpha 3 of 4", {4, 3, IPL_DEPTH_8U, "RGBA", "RGBA", 5, 5, 3}, IPL_STATUS_BAD_ALPHA},
    {"alpha 5 of 4", {4, 5, IPL_DEPTH_8U, "RGBA", "RGBA", 5, 5, 3}, IPL_STATUS_BAD_ALPHA},
    {"data order 2", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 2, 5, 3}, IPL_STATUS_BAD_DATA_ORDER},
    {"origin 2", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 2, 3}, IPL_STATUS_BAD_ORIGIN},
    {"align 3", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 3}, IPL_STATUS_BAD_ALIGN},
    {"mask of depth 8", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMask8.get()}, -117},
    {"tiled mask", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskTiled.get()}, IPL_STATUS_MASK_TILED},
    {"mask without data", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskEmpty.get()}, -112},
    {"mask of width 0", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskZeroWidth.get()}, -110},
    {"mask with align 3", {3, 0, IPL_DEPTH_8U, "RGB", "RGB", 0, 0, 4, 5, 4, theMaskBadAlign.get()}, -121},
    {"row step beyond 32 bits", {1000, 0, IPL_DEPTH_32F, "RGB", "RGB", 0, 0, 4, 1 << 20, 1}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"storage beyond 32 bits", {4, 0, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 65536, 65536}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"planes beyond 32 bits", {64, 0, IPL_DEPTH_8U, "RGB", "RGB", 1, 0, 4, 8192, 8192}, IPL_STATUS_BAD_IMAGE_SIZE},
    {"largest width times 1000 channels",
     {1000, 0, IPL_DEPTH_32S, "RGB", "RGB", 0, 0, 4, 2147483647, 2147483647},
     IPL_STATUS_BAD_IMAGE_SIZE},
  };
  for (const CreateCase& theCase : theCases) {
    ReportRecorder theRecorder;
    const CreateArgs& a = theCase.mArgs;
    EXPECT_EQ(iplCreateImageHeader(a.mChannels, a.mAlpha, a.mDepth, a.mModel, a.mSequence, a.mOrder, a.mOrigin,
                                   a.mAlign, a.mWidth, a.mHeight, nullptr, a.mMask, nullptr, nullptr),
              nullptr)
      << theCase.mName;
    EXPECT_EQ(iplStatusGet(), theCase.mStatus) << theCase.mName;
    kerneltest::ExpectReports(theRecorder,
                              {{theCase.mStatus, "iplCreateImageHeader", "Incorrect data-ins", "iplalloc"}},
                              theCase.mName);
  }
}

TEST(ImageHeader, RowStepsAndColourModels)
{
  const struct {
    int mWidth, mDepth, mChannels, mOrder, mAlign, mWidthStep;
  } kSteps[] = {
    {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PIXEL, 4, 16}, {5, IPL_DEPTH_8U, 3, IPL_DATA_ORDER_PLANE, 4, 8},
    {3, IPL_DEPTH_16U, 3, IPL_DATA_ORDER_PIXEL, 32, 32}, {33, IPL_DEPTH_1U, 1, IPL_DATA_ORDER_PIXEL, 4, 8},
  };
  for (const auto& theCase : kSteps) {
    HeaderPtr theImage(iplCreateImageHeader(theCase.mChannels, 0, theCase.mDepth, "RGB", "RGB", theCase.mOrder, 0,
                                            theCase.mAlign, theCase.mWidth, 3, nullptr, nullptr, nullptr, nullptr));
    ASSERT_NE(theImage, nullptr);
    const int thePlanes = theCase.mOrder == IPL_DATA_ORDER_PLANE ? theCase.mChannels : 1;
    EXPECT_EQ(theImage->widthStep, theCase.mWidthStep) << "width " << theCase.mWidth << " depth " << theCase.mDepth;
    EXPECT_EQ(theImage->imageSize, theCase.mWidthStep * 3 * thePlanes);
  }

  // Short colour models are copied up to their end: the sanitizers would
  // catch a 4-byte read of these.
  auto theModel = std::make_unique<char[]>(2);
  theModel[0] = 'G';
  theModel[1] = '\0';
  auto theSequence = std::make_unique<char[]>(1);
  theSequence[0] = '\0';
  HeaderPtr theShort(iplCreateImageHeader(1, 0, IPL_DEPTH_8U, theModel.get(), theSequence.get(), 0, 0, 4, 2, 2,
                                          nullptr, nullptr, nullptr, nullptr));
  ASSERT_NE(theShort, nullptr);
  EXPECT_EQ(0, std::memcmp(theShort->colorModel, "G\0\0\0", 4));
  EXPECT_EQ(0, std::memcmp(theShort->channelSequence, "\0\0\0\0", 4));
}

TEST(ImageHeader, AllocateRefusesInTheirOrder)
{
  ReportRecorder theRecorder;
  auto Plain = [](int inChannels, int inDepth, const TileInfoRecord* inTiles = nullptr) {
    return HeaderPtr(iplCreateImageHeader(inChannels, 0, inDepth, "RGBA", "RGBA", 0, 0, 4, 4, 4, nullptr, nullptr,
                                          nullptr, const_cast<TileInfoRecord*>(inTiles)));
  };
  iplAllocateImage(nullptr, 0, 0);
  HeaderPtr theAttached = MakeImage(4, 4, IPL_DEPTH_8U, 1);
  iplAllocateImage(theAttached.get(), 0, 0);
  HeaderPtr theTiled = Plain(1, IPL_DEPTH_8U, &gTileRecord);
  iplAllocateImage(theTiled.get(), 0, 0);
  HeaderPtr theFloat = Plain(1, IPL_DEPTH_32F);
  iplAllocateImage(theFloat.get(), 0, 0);
  HeaderPtr theBadAlpha = Plain(3, IPL_DEPTH_8U);
  theBadAlpha->alphaChannel = 2;
  iplAllocateImage(theBadAlpha.get(), 0, 0);
  HeaderPtr theHuge = Plain(4, IPL_DEPTH_8U);
  theHuge->width = 65536;
  theHuge->height = 65536;
  iplAllocateImage(theHuge.get(), 0, 0);
  iplAllocateImageFP(nullptr, 0, 0.0f);
  iplAllocateImageFP(theTiled.get(), 0, 0.0f);
  HeaderPtr theInteger = Plain(1, IPL_DEPTH_8U);
  iplAllocateImageFP(theInteger.get(), 0, 0.0f);
  HeaderPtr theFloatAttached = MakeImage(4, 4, IPL_DEPTH_32F, 1);
  iplAllocateImageFP(theFloatAttached.get(), 0, 0.0f);

  kerneltest::ExpectReports(theRecorder,
                            {{-5, "iplAllocateImage", "( image == ((void *)0) )", "iplalloc"},
                             {-5, "iplAllocateImage", "( image->imageData != ((void *)0) )", "iplalloc"},
                             {-5, "iplAllocateImage", "( image->tileInfo != ((void *)0) )", "iplalloc"},
                             {-5, "iplAllocateImage", "( image->depth == 32 )", "iplalloc"},
                             {-18, "iplAllocateImage", "Incorrect data-ins", "iplalloc"},
                             {-10, "iplAllocateImage", "Incorrect data-ins", "iplalloc"},
                             {-5, "iplAllocateImageFP", "( image == ((void *)0) )", "iplalloc"},
                             {-5, "iplAllocateImageFP", "( image->tileInfo != ((void *)0) )", "iplalloc"},
                             {-5, "iplAllocateImageFP", "( image->depth != 32 )", "iplalloc"},
                             {-5, "iplAllocateImageFP", "( image->imageData != ((void *)0) )", "iplalloc"}},
                            "allocation");
  EXPECT_EQ(theHuge->imageData, nullptr);
  EXPECT_EQ(theBadAlpha->imageData, nullptr);
}

TEST(ImageHeader, AllocateFillsWordByWord)
{
  const struct {
    int mDepth;
    int mValue;
    std::uint32_t mWord;
  } kCases[] = {
    {IPL_DEPTH_1U, 1, 0xFFFFFFFFu},      {IPL_DEPTH_1U, 2, 0u},              {IPL_DEPTH_8U, 0x1234, 0x34343434u},
    {IPL_DEPTH_8S, -1, 0xFFFFFFFFu},     {IPL_DEPTH_16U, 0x12345, 0x23452345u},
    {IPL_DEPTH_16S, -2, 0xFFFEFFFEu},    {IPL_DEPTH_32S, -7, 0xFFFFFFF9u},
  };
  for (const auto& theCase : kCases) {
    HeaderPtr theImage(iplCreateImageHeader(1, 0, theCase.mDepth, "G", "G", 0, 0, 8, 13, 5, nullptr, nullptr,
                                            nullptr, nullptr));
    ASSERT_NE(theImage, nullptr);
    theImage->widthStep = 1;  // computed again
    iplAllocateImage(theImage.get(), 1, theCase.mValue);
    ASSERT_NE(theImage->imageData, nullptr);
    EXPECT_EQ(theImage->imageSize, theImage->widthStep * 5);
    for (int i = 0; i < theImage->imageSize / 4; ++i) {
      std::uint32_t theWord = 0;
      std::memcpy(&theWord, theImage->imageData + 4 * i, 4);
      ASSERT_EQ(theWord, theCase.mWord) << "depth " << theCase.mDepth << " word " << i;
    }
  }
  HeaderPtr theFloat(iplCreateImageHeader(2, 0, IPL_DEPTH_32F, "G", "G", 1, 0, 32, 3, 3, nullptr, nullptr, nullptr,
                                          nullptr));
  iplAllocateImageFP(theFloat.get(), 1, 1.5f);
  EXPECT_EQ(kerneltest::SampleAt(theFloat.get(), 2, 2, 1), 1.5);
}

// The leak checker of the sanitizer build catches anything left behind, and
// use after free any wrong order.
TEST(ImageHeader, ReleaseFreesWhatTheFlagsName)
{
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
  EXPECT_EQ(iplImageDataRelease(theImage), 0);
  EXPECT_EQ(theImage->imageData, nullptr);
  EXPECT_EQ(theImage->allocatedBlock, nullptr);
  iplImageRelease(theImage, IPL_IMAGE_ALL);
  // The mask's own mask is not released with it.
  iplImageRelease(theMaskOfMask, IPL_IMAGE_ALL);
  iplImageRelease(nullptr, IPL_IMAGE_ALL);

  // Storage the header did not allocate is never freed.
  std::vector<std::uint8_t> thePixels(16 * 4, 7);
  ImageHeader* theOutside = iplCreateImageHeader(4, 4, IPL_DEPTH_8U, "RGBA", "RGBA", 0, 0, 4, 4, 4, nullptr, nullptr,
                                                 nullptr, nullptr);
  ASSERT_NE(theOutside, nullptr);
  theOutside->imageData = thePixels.data();
  iplImageRelease(theOutside, IPL_IMAGE_DATA);
  iplImageDataRelease(theOutside);
  EXPECT_EQ(theOutside->imageData, thePixels.data());
  iplImageHeaderRelease(theOutside);
}

TEST(ImageHeader, BorderConstantsAreClampedByDepth)
{
  const struct {
    int mDepth;
    int mConstant;
    int mStored;
  } kCases[] = {
    {IPL_DEPTH_1U, 5, 1},          {IPL_DEPTH_1U, -3, 0},           {IPL_DEPTH_8U, 300, 255},
    {IPL_DEPTH_8U, -5, 0},         {IPL_DEPTH_8U, 77, 77},          {IPL_DEPTH_8S, 200, 127},
    {IPL_DEPTH_8S, -200, -128},    {IPL_DEPTH_16U, 70000, 65535},   {IPL_DEPTH_16U, -1, 0},
    {IPL_DEPTH_16S, 40000, 32767}, {IPL_DEPTH_16S, -40000, -32768}, {IPL_DEPTH_32F, 1234567, 1234567},
    {IPL_DEPTH_32S, -2147483647, -2147483647},
  };
  for (const auto& theCase : kCases) {
    HeaderPtr theImage(iplCreateImageHeader(1, 0, theCase.mDepth, "G", "G", 0, 0, 4, 4, 4, nullptr, nullptr, nullptr,
                                            nullptr));
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

// Header checks: each case damages fields of a copy of a valid header
// (breaking later checks too, where it can) and names the status that must
// win; hostile sizes are refused, never read past.
struct CheckCase {
  const char* mName;
  void (*mDamage)(ImageHeader&);
  int mStatus;
};

ImageHeader gMask;

// Checks inImage and that a failure is stored while success leaves the
// status as it was.
void ExpectCheck(ImageHeader& inImage, int inStatus, const std::string& inCase)
{
  iplStatusSet(-99);
  EXPECT_EQ(iplHeaderCheck(&inImage), inStatus) << inCase;
  EXPECT_EQ(iplStatusGet(), inStatus == 0 ? -99 : inStatus) << inCase;
}

TEST(ImageHeader, HeaderChecksInOrder)
{
  HeaderPtr theValid = MakeImage(5, 4, IPL_DEPTH_8U, 3);
  ASSERT_NE(theValid, nullptr);
  HeaderPtr theMask = MakeImage(5, 4, IPL_DEPTH_1U, 1);
  TileInfoRecord theTiles{&IgnoreTile, nullptr, nullptr, 8, 8};
  const CheckCase kCases[] = {
    {"valid", [](ImageHeader&) {}, 0},
    {"neither data nor tiles", [](ImageHeader& h) { h.imageData = nullptr; h.width = 0; }, IPL_STATUS_NO_DATA},
    {"image size 0", [](ImageHeader& h) { h.imageSize = 0; h.widthStep = 0; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"negative image size", [](ImageHeader& h) { h.imageSize = -64; }, IPL_STATUS_BAD_IMAGE_SIZE},
    {"row step 0", [](ImageHeader& h) { h.widthStep = 0; h.width = 0; }, IPL_STATUS_BAD_WIDTH_STEP},
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
    {"plane order needs three planes",
     [](ImageHeader& h) {
       h.dataOrder = 1;
       h.widthStep = 8;
       h.imageSize = 40;
     },
     IPL_STATUS_BAD_IMAGE_SIZE},
    {"16-bit samples at an odd address",
     [](ImageHeader& h) {
       h.depth = 16;
       h.widthStep = 32;
       h.imageSize = 32;
       h.height = 1;
       h.imageData += 1;
     },
     IPL_STATUS_BAD_WIDTH_STEP},
  };
  for (const CheckCase& theCase : kCases) {
    ImageHeader theImage = *theValid;
    gMask = *theMask;
    theCase.mDamage(theImage);
    ExpectCheck(theImage, theCase.mStatus, theCase.mName);
  }

  // Tiles, which leave the size fields unused.
  const struct {
    void (*mCallback)(const ImageHeader*, int, int, int);
    int mWidth, mHeight, mStatus;
  } kTiles[] = {
    {nullptr, 0, 0, IPL_STATUS_NULL_CALLBACK},         {&IgnoreTile, 0, 7, IPL_STATUS_BAD_TILE_SIZE},
    {&IgnoreTile, 8, 12, IPL_STATUS_BAD_TILE_SIZE},    {&IgnoreTile, 12, 8, IPL_STATUS_BAD_TILE_SIZE},
    {&IgnoreTile, 1 << 20, 1 << 20, IPL_STATUS_BAD_TILE_SIZE}, {&IgnoreTile, 8, 16, 0},
  };
  for (const auto& theCase : kTiles) {
    ImageHeader theImage = *theValid;
    theImage.imageSize = -1;
    theImage.widthStep = -1;
    theImage.tileInfo = &theTiles;
    theTiles = {theCase.mCallback, nullptr, nullptr, theCase.mWidth, theCase.mHeight};
    const std::string theName = "tiles " + std::to_string(theCase.mWidth) + " x " + std::to_string(theCase.mHeight);
    ExpectCheck(theImage, IPL_STATUS_NO_DATA, theName + " beside data");
    theImage.imageData = nullptr;
    ExpectCheck(theImage, theCase.mStatus, theName);
  }

  // Regions: the channel of interest, then the size, then the offset; a
  // region past the far edges is clipped, not refused.
  const struct {
    RoiRecord mRoi;
    int mStatus;
  } kRegions[] = {
    {{4, -1, -1, 0, 0}, IPL_STATUS_BAD_COI},           {{-1, 0, 0, 1, 1}, IPL_STATUS_BAD_COI},
    {{3, -1, -1, 2, 0}, IPL_STATUS_BAD_ROI_SIZE},      {{0, -1, -1, -1, 2}, IPL_STATUS_BAD_ROI_SIZE},
    {{0, 0, -1, 2, 2}, IPL_STATUS_BAD_ROI_OFFSET},     {{0, 3, 3, 2147483647, 2147483647}, 0},
  };
  for (const auto& theCase : kRegions) {
    ImageHeader theImage = *theValid;
    RoiRecord theRoi = theCase.mRoi;
    theImage.roi = &theRoi;
    ExpectCheck(theImage, theCase.mStatus, "region with coi " + std::to_string(theRoi.coi));
  }
  EXPECT_EQ(iplHeaderCheck(nullptr), IPL_STATUS_NULL_HEADER);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_NULL_HEADER);
  iplStatusSet(0);
}

// Every element of a block is writable (the sanitizers check the bounds).
TEST(AlignedAlloc, BlocksAreAlignedAndWhole)
{
  EXPECT_EQ(iplAlignedAlloc(0), nullptr);
  EXPECT_EQ(iplAlignedAllocDouble(-5), nullptr);
  for (int theCount : {1, 33, 1000}) {
    for (const auto& [theBlock, theSize] : {std::pair<void*, int>{iplAlignedAlloc(theCount), 1},
                                            std::pair<void*, int>{iplAlignedAllocDouble(theCount), 8}}) {
      ASSERT_NE(theBlock, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(theBlock) % 32, 0u) << "count " << theCount;
      std::memset(theBlock, 1, theCount * theSize);
      iplAlignedFree(theBlock);
    }
  }
}

}  // namespace
