#pragma once
// Creation, checking, storage and release of image headers, their regions of
// interest and tile records, and the per-side border setter.
//
// Owned storage: create a header, iplAllocateImage (or iplAllocateImageFP for
// the float depth), use it, iplImageRelease with IPL_IMAGE_HEADER |
// IPL_IMAGE_DATA or IPL_IMAGE_ALL. A header over an outside buffer: create it,
// set imageData, use it, iplImageRelease(header, IPL_IMAGE_HEADER); the buffer
// is never freed by the kernels.
//
// Sizes are computed in 64 bits; a header whose row step or storage size does
// not fit its 32-bit fields is refused with IPL_STATUS_BAD_IMAGE_SIZE.

#include "kernels/IplTypes.h"

// Checks the arguments, then returns a new header with widthStep and imageSize
// computed, no storage, and border mode 0 with constant 0 on every side. A
// refused argument is reported (module "iplalloc", "Incorrect data-ins") and
// gives null; a header record that cannot be allocated gives null silently.
ImageHeader* iplCreateImageHeader(int inChannelCount, int inAlphaChannel, int inDepth,
                                  const char* inColorModel, const char* inChannelSequence,
                                  int inDataOrder, int inOrigin, int inAlign, int inWidth,
                                  int inHeight, RoiRecord* inRoi, ImageHeader* inMaskHeader,
                                  void* inImageId, TileInfoRecord* inTileInfo);

// Attaches owned storage to a header of an integer depth (iplAllocateImage) or
// of the float depth (iplAllocateImageFP), filled with the value's pattern when
// inDoFill is non-zero. Failures go through the status.
void iplAllocateImage(ImageHeader* inImage, int inDoFill, int inFillValue);
void iplAllocateImageFP(ImageHeader* inImage, int inDoFill, float inFillValue);

// Frees the parts named by the IPL_IMAGE_ flags, in the order ROI, mask (with
// its record, data, ROI and tile record), tile record, owned data, record.
void iplImageRelease(ImageHeader* inImage, int inFlags);
void iplImageHeaderRelease(ImageHeader* inImage);
// Frees owned storage and detaches imageData; returns 0.
int iplImageDataRelease(ImageHeader* inImage);

RoiRecord* iplRoiCreate(int inCoi, int inXOffset, int inYOffset, int inWidth, int inHeight);
void iplRoiFill(RoiRecord* inRoi, int inCoi, int inXOffset, int inYOffset, int inWidth,
                int inHeight);
void iplRoiDelete(RoiRecord* inRoi);

TileInfoRecord* iplTileInfoCreate(IplTileCallback inCallback, void* inId, int inWidth,
                                  int inHeight);
void iplTileInfoFill(TileInfoRecord* inTileInfo, IplTileCallback inCallback, void* inId,
                     int inWidth, int inHeight);
void iplTileInfoDelete(TileInfoRecord* inTileInfo);

// Sets the mode and the constant, clamped to the image's depth, on each side
// whose bit is set in inSides.
void iplBorderModeSet(ImageHeader* inImage, int inMode, int inSides, int inConstant);

// 0, or a negative status, which is also stored as the process-wide status.
[[nodiscard]] int iplHeaderCheck(const ImageHeader* inImage);
