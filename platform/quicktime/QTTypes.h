#pragma once
// The records, numbers and codes that pass across the QuickTime services
// boundary (QTServices.h). They are our own, shaped after the classic Mac
// toolbox so that the imaging core's QuickTime code reads as it was designed:
//
// - OSErr is a 16-bit status (0 = success, Mac-style negative codes);
//   component calls answer a 32-bit ComponentResult, which can also carry
//   the two component codes 0x80008001 and 0x80008002.
// - A Handle is a pointer to a master pointer: `*theHandle` is the address of
//   the handle's bytes. Handles are made, sized, locked and disposed through
//   the services table only.
// - Rectangles are QuickDraw rectangles of 16-bit coordinates in the order
//   top, left, bottom, right.
// - Fixed is 16.16 fixed point. A MatrixRecord is a 3 x 3 matrix in row order
//   that maps a point as a row vector: x' = m00 x + m10 y + m20,
//   y' = m01 x + m11 y + m21; the first two columns are 16.16, the third
//   column (perspective, kept 0, 0, 1) is 2.30.
// - 32-bit pixels are B, G, R, A in memory, in GWorlds as everywhere else.

#include "platform/base/WinTypes.h"

#include <cstdint>

using OSErr = std::int16_t;
using QDErr = OSErr;
using ComponentResult = std::int32_t;
using OSType = std::uint32_t;
using Fixed = std::int32_t;
using Boolean = std::uint8_t;
using SInt8 = std::int8_t;
using SInt16 = std::int16_t;
using SInt32 = std::int32_t;
using UInt32 = std::uint32_t;
// Byte counts of handles and data references (64-bit: our addresses are).
using Size = std::int64_t;
using Ptr = char*;
using Handle = char**;
using StringPtr = unsigned char*;  // a length byte, then up to 255 bytes
using CodecQ = std::uint32_t;      // 0 .. 1024 (1023 max, 1024 lossless)
using GWorldFlags = std::int32_t;  // negative: an error flag
using TimeValue = std::int32_t;

// A four-character code: the first character in the most significant byte.
// The one way codes are written in this code base: MakeOSType("grip").
constexpr OSType MakeOSType(const char (&inText)[5])
{
  return (static_cast<OSType>(static_cast<unsigned char>(inText[0])) << 24) |
         (static_cast<OSType>(static_cast<unsigned char>(inText[1])) << 16) |
         (static_cast<OSType>(static_cast<unsigned char>(inText[2])) << 8) |
         static_cast<OSType>(static_cast<unsigned char>(inText[3]));
}

// --- Status codes -----------------------------------------------------------

constexpr OSErr kQTNoErr = 0;
// The start call's answer when QuickTime is not installed: TESSALINE_QUICKTIME
// is unset or empty, the library cannot be loaded, lacks the entry point, or
// was built for another services table.
constexpr OSErr kQTNotInstalledErr = -2096;
constexpr OSErr kQTIOErr = -36;             // a read or write failed
constexpr OSErr kQTBadNameErr = -37;        // a path too long or empty
constexpr OSErr kQTFileNotFoundErr = -43;
constexpr OSErr kQTParamErr = -50;
constexpr OSErr kQTMemFullErr = -108;
constexpr OSErr kQTNilHandleErr = -109;     // a null handle
constexpr OSErr kQTBadHandleErr = -111;     // not a live handle
constexpr OSErr kQTMemLockedErr = -117;     // resizing a locked handle
constexpr OSErr kQTBadDataRefErr = -2000;   // data reference of an unknown type
constexpr OSErr kQTInvalidImageErr = -2001; // the importer refuses its data
constexpr OSErr kQTCantFindHandlerErr = -2003;
constexpr OSErr kQTInvalidMovieErr = -2010;
constexpr OSErr kQTNoMovieFoundErr = -2048;
constexpr OSErr kQTComponentNotOpenedErr = -2070;
constexpr OSErr kQTInvalidComponentErr = -3000;
constexpr OSErr kQTGestaltUndefSelectorErr = -5551;
constexpr OSErr kQTBadImageDataErr = -8969; // data inconsistent or truncated
constexpr OSErr kQTExtensionNotFoundErr = -8971;

constexpr ComponentResult kQTBadComponentInstance = static_cast<ComponentResult>(0x80008001u);
constexpr ComponentResult kQTBadComponentSelector = static_cast<ComponentResult>(0x80008002u);

// --- Codes and flags ----------------------------------------------------------

constexpr OSType kQTVersionSelector = MakeOSType("qtim");      // Gestalt
constexpr OSType kQTGraphicsImporterType = MakeOSType("grip"); // component types
constexpr OSType kQTGraphicsExporterType = MakeOSType("grex");
constexpr OSType kQTPointerDataRefType = MakeOSType("ptr ");   // data references
constexpr OSType kQTHandleDataRefType = MakeOSType("hndl");
constexpr OSType kQTURLDataRefType = MakeOSType("url ");
constexpr OSType kQTExtensionAtom = MakeOSType("ext ");        // public format information
constexpr OSType kQTMIMEAtom = MakeOSType("mime");
constexpr OSType kQTDescriptionAtom = MakeOSType("desc");
constexpr OSType kQTColorSpaceExtension = MakeOSType("cspc");  // image description extensions
constexpr OSType kQTColorTableExtension = MakeOSType("clut");
constexpr OSType kQTRawCodecType = MakeOSType("raw ");         // uncompressed pixels
constexpr OSType kQTCMYKPixelFormat = MakeOSType("cmyk");      // bytes C, M, Y, K
constexpr OSType kQTRGBAPixelFormat = MakeOSType("RGBA");      // bytes R, G, B, A
constexpr OSType kQTBGRAPixelFormat = MakeOSType("BGRA");      // bytes B, G, R, A (as depth 32)
constexpr SInt32 kQTGray8Depth = 40;                           // 8-bit grey: QuickDraw's 32 + 8

// Component flags: importers that answer public format information carry
// kQTHasFormatInfoFlag; base exporters, which others build on and which are
// not listed, carry kQTBaseExporterFlag.
constexpr UInt32 kQTHasFormatInfoFlag = 0x4000;
constexpr UInt32 kQTBaseExporterFlag = 0x0001;

// GWorld flags and pixel states.
constexpr GWorldFlags kQTClipPix = 0x10000000;  // UpdateGWorld keeps the old pixels, clipped
constexpr GWorldFlags kQTDitherPix = 0x40000000;
constexpr GWorldFlags kQTReallocPix = 0x00000001;  // UpdateGWorld made new pixels
constexpr GWorldFlags kQTPixelsLocked = 0x00000080;

// Transfer modes, qualities and codec choice for drawing.
constexpr SInt32 kQTSrcCopy = 0;
constexpr SInt32 kQTDitherCopy = 64;
constexpr CodecQ kQTCodecNormalQuality = 512;
constexpr CodecQ kQTCodecMaxQuality = 1023;
constexpr CodecQ kQTCodecLosslessQuality = 1024;

// Movie opening.
constexpr SInt8 kQTReadPermission = 1;
constexpr SInt16 kQTNewMovieActive = 1;

// --- Records ------------------------------------------------------------------

struct Point {
  SInt16 v;
  SInt16 h;
};

struct Rect {
  SInt16 top;
  SInt16 left;
  SInt16 bottom;
  SInt16 right;
};

struct FixedPoint {
  Fixed x;
  Fixed y;
};

struct RGBColor {
  std::uint16_t red;
  std::uint16_t green;
  std::uint16_t blue;
};

struct MatrixRecord {
  Fixed matrix[3][3];
};

struct PenState {
  Point pnLoc;
  Point pnSize;
  SInt16 pnMode;
  std::uint8_t pnPat[8];
};

// A file named by its native path (UTF-8). Paths of kQTMaxPathBytes or more
// bytes are refused with kQTBadNameErr.
constexpr int kQTMaxPathBytes = 4096;
struct FSSpec {
  char path[kQTMaxPathBytes];
};

// What a component is, and what a walk looks for: a component matches when
// its type (and sub-type and manufacturer, when non-zero in the request)
// match and (its flags & componentFlagsMask) == (componentFlags & componentFlagsMask).
struct ComponentDescription {
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
};

// A data reference of type 'ptr ': the bytes stay where they are. The
// record holds a full address and a 64-bit length (16 bytes), so callers
// fill it by its fields, never as two 32-bit words.
struct PointerDataRefRecord {
  void* data;
  Size dataLength;
};

// Colour tables, in a handle of 8 + 8 x (ctSize + 1) bytes.
struct ColorSpec {
  SInt16 value;
  RGBColor rgb;
};

struct ColorTable {
  SInt32 ctSeed;
  SInt16 ctFlags;
  SInt16 ctSize;  // number of entries - 1
  ColorSpec ctTable[];
};
using CTabHandle = ColorTable**;

// A pixel map, read by callers through GetGWorldPixMap. rowBytes keeps the
// low 14 bits of the row length with the pixel-map flag 0x8000; the full row
// length comes from QTGetPixMapHandleRowBytes. pixelSize is the depth the
// GWorld was made with (40 for 8-bit grey); pixelFormat the format code
// (32 for B, G, R, A words, 40, 'RGBA', 'cmyk', ...).
struct PixMap {
  Ptr baseAddr;
  SInt16 rowBytes;
  Rect bounds;
  Fixed hRes;
  Fixed vRes;
  SInt16 pixelSize;
  SInt16 cmpCount;
  SInt16 cmpSize;
  OSType pixelFormat;
  CTabHandle pmTable;
};
using PixMapHandle = PixMap**;

// The 86-byte description of an image (its handle may hold extensions after
// it; idSize counts them). For cType 'raw ' the data are rows of `depth` bits
// per pixel, top row first, each row padded to a multiple of 4 bytes; 32-bit
// pixels are B, G, R, A, 24-bit B, G, R, 16-bit 5-5-5 words; depths of 8 bits
// or fewer are indices into the 'clut' extension (SetImageDescriptionCTable).
#pragma pack(push, 2)
struct ImageDescription {
  SInt32 idSize;
  OSType cType;
  SInt32 resvd1;
  SInt16 resvd2;
  SInt16 dataRefIndex;
  SInt16 version;
  SInt16 revisionLevel;
  SInt32 vendor;
  CodecQ temporalQuality;
  CodecQ spatialQuality;
  SInt16 width;
  SInt16 height;
  Fixed hRes;
  Fixed vRes;
  SInt32 dataSize;
  SInt16 frameCount;
  unsigned char name[32];  // compressor name: a length byte, then the text
  SInt16 depth;
  SInt16 clutID;
};
#pragma pack(pop)
static_assert(sizeof(ImageDescription) == 86);
using ImageDescriptionHandle = ImageDescription**;

// Public format information: a container of atoms, each of a type ('ext ',
// 'mime', 'desc') and an id, holding text without a terminator.
using QTAtomContainer = Handle;
using QTAtom = SInt32;
using QTAtomType = OSType;
using QTAtomID = SInt32;

// Opaque objects of the platform.
struct ComponentRecord;
using Component = ComponentRecord*;
struct ComponentInstanceRecord;
using ComponentInstance = ComponentInstanceRecord*;
using GraphicsImportComponent = ComponentInstance;
using GraphicsExportComponent = ComponentInstance;
using MediaHandler = ComponentInstance;
struct GrafPort;
using GrafPtr = GrafPort*;
using CGrafPtr = GrafPort*;
using GWorldPtr = GrafPort*;
struct GDevice;
using GDHandle = GDevice*;
struct RegionRecord;
using RgnHandle = RegionRecord*;
struct MovieRecord;
using Movie = MovieRecord*;
struct TrackRecord;
using Track = TrackRecord*;
struct MediaRecord;
using Media = MediaRecord*;
