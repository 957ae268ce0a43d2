#include "kernels/ImageHeader.h"

#include "kernels/AlignedAlloc.h"
#include "kernels/CheckedSize.h"
#include "kernels/ErrorStatus.h"
#include "kernels/ImageLayout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace kernels;

namespace {

constexpr const char* kModule = "iplalloc";
constexpr const char* kIncorrectDataIns = "Incorrect data-ins";

// The fields the creation checks look at, wherever they come from.
struct HeaderFields {
  int mChannelCount;
  int mAlphaChannel;
  int mDepth;
  bool mHasColorModel;
  int mDataOrder;
  int mOrigin;
  int mAlign;
  int mWidth;
  int mHeight;
  const ImageHeader* mMask;
};

HeaderFields FieldsOf(const ImageHeader* inImage)
{
  return {inImage->channelCount, inImage->alphaChannel, inImage->depth, true,
          inImage->dataOrder,    inImage->origin,       inImage->align, inImage->width,
          inImage->height,       inImage->maskHeader};
}

int CheckHeader(const ImageHeader* inImage, bool inFollowMask);

// The creation checks, first failing test wins. A mask's own mask is not
// followed: masks are plain 1-bit images, and a header may point at itself.
int CheckFields(const HeaderFields& inFields, bool inFollowMask)
{
  if (inFields.mWidth < 1 || inFields.mHeight < 1)
    return IPL_STATUS_BAD_IMAGE_SIZE;
  if (inFields.mChannelCount < 1)
    return IPL_STATUS_BAD_CHANNEL_COUNT;
  if (inFields.mDepth == IPL_DEPTH_1U && inFields.mChannelCount != 1)
    return IPL_STATUS_BAD_BIT_CHANNELS;
  if (!inFields.mHasColorModel)
    return IPL_STATUS_BAD_COLOR_MODEL;
  if (!IsValidDepth(inFields.mDepth))
    return IPL_STATUS_BAD_DEPTH;
  if (inFields.mAlphaChannel != 0 && inFields.mAlphaChannel != inFields.mChannelCount)
    return IPL_STATUS_BAD_ALPHA;
  if (inFields.mDataOrder != IPL_DATA_ORDER_PIXEL && inFields.mDataOrder != IPL_DATA_ORDER_PLANE)
    return IPL_STATUS_BAD_DATA_ORDER;
  if (inFields.mOrigin != IPL_ORIGIN_TL && inFields.mOrigin != IPL_ORIGIN_BL)
    return IPL_STATUS_BAD_ORIGIN;
  if (inFields.mAlign != 4 && inFields.mAlign != 8 && inFields.mAlign != 16 && inFields.mAlign != 32)
    return IPL_STATUS_BAD_ALIGN;
  if (inFields.mMask && inFollowMask) {
    if (inFields.mMask->depth != IPL_DEPTH_1U)
      return IPL_STATUS_BAD_DEPTH - IPL_STATUS_MASK_OFFSET;
    if (inFields.mMask->tileInfo)
      return IPL_STATUS_MASK_TILED;
    const int theMaskStatus = CheckHeader(inFields.mMask, false);
    if (theMaskStatus != 0)
      return theMaskStatus - IPL_STATUS_MASK_OFFSET;
  }
  return 0;
}

// widthStep and imageSize by the row-step rule, when both fit their fields.
bool StorageSize(const HeaderFields& inFields, std::int32_t& outWidthStep, std::int32_t& outImageSize)
{
  const std::int64_t theStep = WidthStepFor(inFields.mDataOrder, inFields.mDepth, inFields.mAlign,
                                            inFields.mChannelCount, inFields.mWidth);
  if (theStep < 0 || theStep > kInt32Max)
    return false;
  const std::int64_t thePlanes =
    inFields.mDataOrder == IPL_DATA_ORDER_PLANE ? inFields.mChannelCount : 1;
  std::optional<std::int64_t> theSize = CheckedProduct({theStep, inFields.mHeight, thePlanes});
  if (!theSize || *theSize > kInt32Max)
    return false;
  outWidthStep = static_cast<std::int32_t>(theStep);
  outImageSize = static_cast<std::int32_t>(*theSize);
  return true;
}

// Contiguous storage must hold every row the header describes, with rows on
// the header's alignment and samples on their own size.
int CheckStorage(const ImageHeader* inImage)
{
  const std::int64_t theRowBytes =
    RowBytesFor(inImage->dataOrder, inImage->depth, inImage->channelCount, inImage->width);
  const int theSampleBytes = std::max(BytesPerSample(inImage->depth), 1);
  if (theRowBytes < 0 || inImage->widthStep < theRowBytes || inImage->widthStep % inImage->align != 0 ||
      reinterpret_cast<std::uintptr_t>(inImage->imageData) % theSampleBytes != 0)
    return IPL_STATUS_BAD_WIDTH_STEP;
  const std::int64_t thePlanes = inImage->dataOrder == IPL_DATA_ORDER_PLANE ? inImage->channelCount : 1;
  std::optional<std::int64_t> theSize = CheckedProduct({inImage->widthStep, inImage->height, thePlanes});
  if (!theSize || *theSize > inImage->imageSize)
    return IPL_STATUS_BAD_IMAGE_SIZE;
  return 0;
}

int CheckTiles(const ImageHeader* inImage)
{
  const TileInfoRecord* theTiles = inImage->tileInfo;
  if (!theTiles->callback)
    return IPL_STATUS_NULL_CALLBACK;
  if (theTiles->width < 1)
    return IPL_STATUS_BAD_TILE_SIZE;
  if (theTiles->height < 1 || theTiles->width % 8 != 0 || theTiles->height % 8 != 0)
    return IPL_STATUS_BAD_TILE_SIZE;
  // A tile's storage must be addressable like a small image's.
  const std::int64_t theStep = WidthStepFor(inImage->dataOrder, inImage->depth, inImage->align,
                                            inImage->channelCount, theTiles->width);
  const std::int64_t thePlanes = inImage->dataOrder == IPL_DATA_ORDER_PLANE ? inImage->channelCount : 1;
  std::optional<std::int64_t> theSize = CheckedProduct({theStep, theTiles->height, thePlanes});
  if (theStep < 0 || !theSize || *theSize > kInt32Max)
    return IPL_STATUS_BAD_TILE_SIZE;
  return 0;
}

int CheckRoi(const ImageHeader* inImage)
{
  const RoiRecord* theRoi = inImage->roi;
  if (theRoi->coi < 0 || theRoi->coi > inImage->channelCount)
    return IPL_STATUS_BAD_COI;
  if (theRoi->height < 1 || theRoi->width < 1)
    return IPL_STATUS_BAD_ROI_SIZE;
  if (theRoi->xOffset < 0 || theRoi->yOffset < 0)
    return IPL_STATUS_BAD_ROI_OFFSET;
  return 0;
}

int CheckHeaderUnstored(const ImageHeader* inImage, bool inFollowMask)
{
  if (!inImage)
    return IPL_STATUS_NULL_HEADER;
  if ((inImage->imageData != nullptr) == (inImage->tileInfo != nullptr))
    return IPL_STATUS_NO_DATA;
  const bool theTiled = inImage->tileInfo != nullptr;
  if (!theTiled && inImage->imageSize < 1)
    return IPL_STATUS_BAD_IMAGE_SIZE;
  if (!theTiled && inImage->widthStep < 1)
    return IPL_STATUS_BAD_WIDTH_STEP;
  if (int theStatus = CheckFields(FieldsOf(inImage), inFollowMask))
    return theStatus;
  if (int theStatus = theTiled ? CheckTiles(inImage) : CheckStorage(inImage))
    return theStatus;
  if (inImage->roi)
    return CheckRoi(inImage);
  return 0;
}

int CheckHeader(const ImageHeader* inImage, bool inFollowMask)
{
  const int theStatus = CheckHeaderUnstored(inImage, inFollowMask);
  if (theStatus != 0)
    iplStatusSet(theStatus);
  return theStatus;
}

// Copies a four-character field up to its terminator; the rest stays 0.
void CopyCode(char (&outField)[4], const char* inText)
{
  std::memset(outField, 0, sizeof(outField));
  for (std::size_t i = 0; i < sizeof(outField) && inText[i] != '\0'; ++i)
    outField[i] = inText[i];
}

std::uint32_t FillPattern(int inDepth, std::uint32_t inValue)
{
  switch (BitsPerSample(inDepth)) {
    case 1: return (inValue & 1) ? 0xFFFFFFFFu : 0u;
    case 8: return (inValue & 0xFFu) * 0x01010101u;
    case 16: return (inValue & 0xFFFFu) * 0x00010001u;
    default: return inValue;
  }
}

// What iplAllocateImage and iplAllocateImageFP share after their depth test.
void AllocateStorage(ImageHeader* inImage, const char* inFunction, bool inDoFill,
                     std::uint32_t inPattern)
{
  const HeaderFields theFields = FieldsOf(inImage);
  int theStatus = CheckFields(theFields, true);
  std::int32_t theStep = 0;
  std::int32_t theSize = 0;
  if (theStatus == 0 && !StorageSize(theFields, theStep, theSize))
    theStatus = IPL_STATUS_BAD_IMAGE_SIZE;
  if (theStatus != 0) {
    iplError(theStatus, inFunction, kIncorrectDataIns, kModule, __LINE__);
    return;
  }
  const std::size_t theBytes = static_cast<std::size_t>(inImage->align) + theSize - 1;
  auto* theBlock = static_cast<std::uint8_t*>(std::malloc(theBytes));
  if (!theBlock) {
    iplError(IPL_STATUS_NO_MEMORY, inFunction, "for allocate image data", kModule, __LINE__);
    return;
  }
  const std::uintptr_t theAlign = static_cast<std::uintptr_t>(inImage->align);
  const std::uintptr_t theOffset =
    (theAlign - reinterpret_cast<std::uintptr_t>(theBlock) % theAlign) % theAlign;
  inImage->imageData = theBlock + theOffset;
  inImage->allocatedBlock = theBlock;
  inImage->imageSize = theSize;
  inImage->widthStep = theStep;
  if (inDoFill) {
    auto* theWords = reinterpret_cast<std::uint32_t*>(inImage->imageData);
    std::fill(theWords, theWords + theSize / 4, inPattern);
  }
}

}  // namespace

ImageHeader* iplCreateImageHeader(int inChannelCount, int inAlphaChannel, int inDepth,
                                  const char* inColorModel, const char* inChannelSequence,
                                  int inDataOrder, int inOrigin, int inAlign, int inWidth,
                                  int inHeight, RoiRecord* inRoi, ImageHeader* inMaskHeader,
                                  void* inImageId, TileInfoRecord* inTileInfo)
{
  const HeaderFields theFields = {inChannelCount, inAlphaChannel, inDepth,
                                  inColorModel && inChannelSequence,
                                  inDataOrder,    inOrigin,       inAlign,
                                  inWidth,        inHeight,       inMaskHeader};
  int theStatus = CheckFields(theFields, true);
  std::int32_t theStep = 0;
  std::int32_t theSize = 0;
  if (theStatus == 0 && !StorageSize(theFields, theStep, theSize))
    theStatus = IPL_STATUS_BAD_IMAGE_SIZE;
  if (theStatus != 0) {
    iplError(theStatus, "iplCreateImageHeader", kIncorrectDataIns, kModule, __LINE__);
    return nullptr;
  }
  void* theBlock = iplAlignedAlloc(static_cast<int>(sizeof(ImageHeader)));
  if (!theBlock)
    return nullptr;
  ImageHeader* theImage = new (theBlock) ImageHeader{};
  theImage->size = static_cast<std::int32_t>(sizeof(ImageHeader));
  theImage->id = 0;
  theImage->channelCount = inChannelCount;
  theImage->alphaChannel = inAlphaChannel;
  theImage->depth = inDepth;
  CopyCode(theImage->colorModel, inColorModel);
  CopyCode(theImage->channelSequence, inChannelSequence);
  theImage->dataOrder = inDataOrder;
  theImage->origin = inOrigin;
  theImage->align = inAlign;
  theImage->width = inWidth;
  theImage->height = inHeight;
  theImage->roi = inRoi;
  theImage->maskHeader = inMaskHeader;
  theImage->imageId = inImageId;
  theImage->tileInfo = inTileInfo;
  theImage->imageSize = theSize;
  theImage->imageData = nullptr;
  theImage->widthStep = theStep;
  theImage->allocatedBlock = nullptr;
  iplBorderModeSet(theImage, IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 0);
  return theImage;
}

void iplAllocateImage(ImageHeader* inImage, int inDoFill, int inFillValue)
{
  constexpr const char* kFunction = "iplAllocateImage";
  if (!inImage) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image == ((void *)0) )", kModule, __LINE__);
    return;
  }
  if (inImage->imageData) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->imageData != ((void *)0) )", kModule,
             __LINE__);
    return;
  }
  if (inImage->tileInfo) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->tileInfo != ((void *)0) )", kModule,
             __LINE__);
    return;
  }
  if (inImage->depth == IPL_DEPTH_32F) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->depth == 32 )", kModule, __LINE__);
    return;
  }
  AllocateStorage(inImage, kFunction, inDoFill != 0,
                  FillPattern(inImage->depth, static_cast<std::uint32_t>(inFillValue)));
}

void iplAllocateImageFP(ImageHeader* inImage, int inDoFill, float inFillValue)
{
  constexpr const char* kFunction = "iplAllocateImageFP";
  if (!inImage) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image == ((void *)0) )", kModule, __LINE__);
    return;
  }
  if (inImage->imageData) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->imageData != ((void *)0) )", kModule,
             __LINE__);
    return;
  }
  if (inImage->tileInfo) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->tileInfo != ((void *)0) )", kModule,
             __LINE__);
    return;
  }
  if (inImage->depth != IPL_DEPTH_32F) {
    iplError(IPL_STATUS_BAD_ARGUMENT, kFunction, "( image->depth != 32 )", kModule, __LINE__);
    return;
  }
  std::uint32_t thePattern = 0;
  std::memcpy(&thePattern, &inFillValue, sizeof(thePattern));
  AllocateStorage(inImage, kFunction, inDoFill != 0, thePattern);
}

void iplImageRelease(ImageHeader* inImage, int inFlags)
{
  if (!inImage)
    return;
  if (inFlags & IPL_IMAGE_ROI) {
    iplRoiDelete(inImage->roi);
    inImage->roi = nullptr;
  }
  if (inFlags & IPL_IMAGE_MASK) {
    iplImageRelease(inImage->maskHeader, IPL_IMAGE_HEADER | IPL_IMAGE_DATA | IPL_IMAGE_ROI | IPL_IMAGE_TILE);
    inImage->maskHeader = nullptr;
  }
  if (inFlags & IPL_IMAGE_TILE) {
    iplTileInfoDelete(inImage->tileInfo);
    inImage->tileInfo = nullptr;
  }
  if ((inFlags & IPL_IMAGE_DATA) && inImage->allocatedBlock)
    iplImageDataRelease(inImage);
  if (inFlags & IPL_IMAGE_HEADER)
    iplAlignedFree(inImage);
}

void iplImageHeaderRelease(ImageHeader* inImage)
{
  iplImageRelease(inImage, IPL_IMAGE_HEADER);
}

int iplImageDataRelease(ImageHeader* inImage)
{
  if (inImage && inImage->allocatedBlock) {
    std::free(inImage->allocatedBlock);
    inImage->allocatedBlock = nullptr;
    inImage->imageData = nullptr;
  }
  return 0;
}

RoiRecord* iplRoiCreate(int inCoi, int inXOffset, int inYOffset, int inWidth, int inHeight)
{
  void* theBlock = iplAlignedAlloc(static_cast<int>(sizeof(RoiRecord)));
  if (!theBlock)
    return nullptr;
  return new (theBlock) RoiRecord{inCoi, inXOffset, inYOffset, inWidth, inHeight};
}

void iplRoiFill(RoiRecord* inRoi, int inCoi, int inXOffset, int inYOffset, int inWidth,
                int inHeight)
{
  if (inRoi)
    *inRoi = RoiRecord{inCoi, inXOffset, inYOffset, inWidth, inHeight};
}

void iplRoiDelete(RoiRecord* inRoi)
{
  iplAlignedFree(inRoi);
}

TileInfoRecord* iplTileInfoCreate(IplTileCallback inCallback, void* inId, int inWidth,
                                  int inHeight)
{
  void* theBlock = iplAlignedAlloc(static_cast<int>(sizeof(TileInfoRecord)));
  if (!theBlock)
    return nullptr;
  return new (theBlock) TileInfoRecord{inCallback, inId, nullptr, inWidth, inHeight};
}

void iplTileInfoFill(TileInfoRecord* inTileInfo, IplTileCallback inCallback, void* inId,
                     int inWidth, int inHeight)
{
  if (inTileInfo)
    *inTileInfo = TileInfoRecord{inCallback, inId, nullptr, inWidth, inHeight};
}

void iplTileInfoDelete(TileInfoRecord* inTileInfo)
{
  iplAlignedFree(inTileInfo);
}

void iplBorderModeSet(ImageHeader* inImage, int inMode, int inSides, int inConstant)
{
  if (!inImage)
    return;
  int theConstant = inConstant;
  switch (inImage->depth) {
    case IPL_DEPTH_1U: theConstant = std::clamp(inConstant, 0, 1); break;
    case IPL_DEPTH_8U: theConstant = std::clamp(inConstant, 0, 255); break;
    case IPL_DEPTH_8S: theConstant = std::clamp(inConstant, -128, 127); break;
    case IPL_DEPTH_16U: theConstant = std::clamp(inConstant, 0, 65535); break;
    case IPL_DEPTH_16S: theConstant = std::clamp(inConstant, -32768, 32767); break;
    default: break;
  }
  for (int i = 0; i < 4; ++i) {
    if (inSides & (1 << i)) {
      inImage->borderMode[i] = inMode;
      inImage->borderConst[i] = theConstant;
    }
  }
}

int iplHeaderCheck(const ImageHeader* inImage)
{
  return CheckHeader(inImage, true);
}
