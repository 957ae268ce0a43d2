#pragma once
// Records and constants shared by every routine of the image-processing
// kernels.
//
// An image is described by an ImageHeader: size, depth, channel layout, row
// step, alignment and origin, and where its samples are: either contiguous
// storage (imageData) or tiles that a caller's callback hands out on request
// (tileInfo). A header may carry a region of interest (roi), a 1-bit mask and,
// per side, a border mode and constant used when a rectangle reaching outside
// the image is fetched.
//
// Coordinates are in memory order: x counts samples from the start of a row,
// y counts rows from the first row in memory, whatever `origin` says.
//
// The kernels report every failure through one process-wide status and a
// replaceable handler (ErrorStatus.h); they return no error codes and throw
// nothing.

#include <cstdint>

// Depths: bits per sample, with the sign bit marking signed samples. Unsigned
// 32 is the 32-bit floating-point depth; signed 32 is a 32-bit integer.
constexpr std::int32_t IPL_DEPTH_SIGN = static_cast<std::int32_t>(0x80000000u);
constexpr std::int32_t IPL_DEPTH_1U = 1;
constexpr std::int32_t IPL_DEPTH_8U = 8;
constexpr std::int32_t IPL_DEPTH_16U = 16;
constexpr std::int32_t IPL_DEPTH_32F = 32;
constexpr std::int32_t IPL_DEPTH_8S = IPL_DEPTH_SIGN | 8;
constexpr std::int32_t IPL_DEPTH_16S = IPL_DEPTH_SIGN | 16;
constexpr std::int32_t IPL_DEPTH_32S = IPL_DEPTH_SIGN | 32;

// dataOrder
constexpr std::int32_t IPL_DATA_ORDER_PIXEL = 0;  // channels interleaved
constexpr std::int32_t IPL_DATA_ORDER_PLANE = 1;  // one plane per channel

// origin
constexpr std::int32_t IPL_ORIGIN_TL = 0;  // first row in memory is the top row
constexpr std::int32_t IPL_ORIGIN_BL = 1;  // first row in memory is the bottom row

// align
constexpr std::int32_t IPL_ALIGN_4BYTES = 4;
constexpr std::int32_t IPL_ALIGN_8BYTES = 8;
constexpr std::int32_t IPL_ALIGN_16BYTES = 16;
constexpr std::int32_t IPL_ALIGN_32BYTES = 32;

// Sides of an image and their bits in a side mask.
constexpr int IPL_SIDE_TOP_INDEX = 0;     // before the first row in memory
constexpr int IPL_SIDE_BOTTOM_INDEX = 1;  // after the last row
constexpr int IPL_SIDE_LEFT_INDEX = 2;    // before the first column
constexpr int IPL_SIDE_RIGHT_INDEX = 3;   // after the last column
constexpr int IPL_SIDE_TOP = 1 << IPL_SIDE_TOP_INDEX;
constexpr int IPL_SIDE_BOTTOM = 1 << IPL_SIDE_BOTTOM_INDEX;
constexpr int IPL_SIDE_LEFT = 1 << IPL_SIDE_LEFT_INDEX;
constexpr int IPL_SIDE_RIGHT = 1 << IPL_SIDE_RIGHT_INDEX;
constexpr int IPL_SIDE_ALL = 15;

// Border modes (the low two bits of a side's borderMode entry).
constexpr int IPL_BORDER_CONSTANT = 0;   // the side's constant
constexpr int IPL_BORDER_REPLICATE = 1;  // the nearest edge pixel
constexpr int IPL_BORDER_REFLECT = 2;    // mirror image, edge pixel repeated
constexpr int IPL_BORDER_WRAP = 3;       // periodic repetition

// Release flags of iplImageRelease.
constexpr int IPL_IMAGE_HEADER = 1;
constexpr int IPL_IMAGE_DATA = 2;
constexpr int IPL_IMAGE_ROI = 4;
constexpr int IPL_IMAGE_TILE = 8;
constexpr int IPL_IMAGE_MASK = 16;
constexpr int IPL_IMAGE_ALL = 31;

// Tile callback modes.
constexpr int IPL_GET_TILE_TO_READ = 1;
constexpr int IPL_GET_TILE_TO_WRITE = 2;
constexpr int IPL_RELEASE_TILE = 4;

// Interpolation of the warps, plus IPL_INTER_SMOOTH_EDGES for edge smoothing
// and, for the affine warp, IPL_INTER_PIXEL_AREAS: the source ROI's pixels
// are taken as squares around their centres, so the warp covers every
// destination pixel whose centre falls inside the mapped squares, not only
// those between the mapped centres of the outer pixels (an enlargement by k
// then covers k pixels for every source pixel, the last ones included).
constexpr int IPL_INTER_NN = 0;
constexpr int IPL_INTER_LINEAR = 1;
constexpr int IPL_INTER_CUBIC = 2;
constexpr int IPL_INTER_SMOOTH_EDGES = 16;
constexpr int IPL_INTER_PIXEL_AREAS = 32;

struct ImageHeader;

// Called with the image, a tile column and row and a mode. For modes 1 and 2 it
// sets tileInfo->tileData to the tile's first sample (null when it cannot supply
// the tile); mode 4 hands the tile back, with tileData holding its pointer.
using IplTileCallback = void (*)(const ImageHeader* inImage, int inTileColumn, int inTileRow,
                                 int inMode);

// Region of interest: channel of interest (0 = all, k = channel k counted from
// 1) and a rectangle in pixels.
struct RoiRecord {
  std::int32_t coi;
  std::int32_t xOffset;
  std::int32_t yOffset;
  std::int32_t width;
  std::int32_t height;
};

// Tiled storage: tiles of width x height pixels (positive multiples of 8), each
// laid out like a small image with the image's depth, channels, order and align.
struct TileInfoRecord {
  IplTileCallback callback;
  void* id;                  // the caller's value
  std::uint8_t* tileData;    // the current tile's first sample
  std::int32_t width;
  std::int32_t height;
};

struct ImageHeader {
  std::int32_t size;          // bytes of this record
  std::int32_t id;            // reserved, 0
  std::int32_t channelCount;  // samples per pixel
  std::int32_t alphaChannel;  // 0, or channelCount: the alpha is the last channel
  std::int32_t depth;         // one of the IPL_DEPTH_ values
  char colorModel[4];         // "RGB", "RGBA", "GRAY"; unused bytes are 0
  char channelSequence[4];    // "RGB", "BGR", "RGBA", "GRAY"
  std::int32_t dataOrder;     // IPL_DATA_ORDER_PIXEL or IPL_DATA_ORDER_PLANE
  std::int32_t origin;        // IPL_ORIGIN_TL or IPL_ORIGIN_BL
  std::int32_t align;         // row alignment in bytes: 4, 8, 16 or 32
  std::int32_t width;
  std::int32_t height;
  RoiRecord* roi;             // null: the whole image, all channels
  ImageHeader* maskHeader;    // a 1-bit mask image, or null
  void* imageId;              // the caller's, never interpreted
  TileInfoRecord* tileInfo;   // null: contiguous storage at imageData
  std::int32_t imageSize;     // bytes of pixel storage
  std::uint8_t* imageData;    // first sample, aligned; null until attached
  std::int32_t widthStep;     // bytes from one row to the next (within a plane)
  std::int32_t borderMode[4];
  std::int32_t borderConst[4];
  std::uint8_t* allocatedBlock;  // the owned block imageData was carved from, or null
};
