#pragma once
// The JPEG library: header reads, decoding at full, half, quarter and eighth
// size, and baseline encoding, over libjpeg-turbo. One job is described by a
// JPEG_CORE_PROPERTIES record: the pixels on the caller's side (the DIB
// fields) and the JPEG stream, a file or a memory block (the JPG fields).
//
//   JPEG_CORE_PROPERTIES theProps;
//   if (ijlInit(&theProps) == IJL_OK) {
//     theProps.JPGBytes = theData;
//     theProps.JPGSizeBytes = theLength;
//     IJLERR theResult = ijlRead(&theProps, IJL_MEMORY_READ_HEADER);  // JPGWidth, JPGHeight, JPGChannels
//     ... the DIB fields, sized from the header ...
//     theResult = ijlRead(&theProps, IJL_MEMORY_READ_IMAGE);
//     ijlFree(&theProps);
//   }
//
// Pixels. DIB rows are top row first whatever the sign of DIBHeight, each of
// DIBWidth x DIBChannels bytes followed by DIBPadBytes.
// - Reading: 3 channels as IJL_RGB or IJL_BGR, 1 channel as IJL_G, from a
//   colour or grey JPEG; or, with DIBColor and JPGColor both IJL_OTHER, the
//   samples as stored (CMYK and YCCK unconverted) with DIBChannels equal to
//   the JPEG's channels. The stored colour space is the one the stream's
//   markers give, and decoding uses libjpeg's defaults, as its djpeg program
//   does (accurate integer DCT, smooth upsampling), so the pixels are djpeg's.
//   A reduced read gives the size divided by 2, 4 or 8, rounded up. A stream
//   that ends inside the image decodes with its missing part grey: a warning,
//   not an error.
// - Writing: 3 channels (IJL_RGB or IJL_BGR), or 4 as IJL_BGRA (32-bit
//   pixels as they stand; the fourth byte is not written), as a 3-channel
//   IJL_YCBCR JPEG sampled as JPGSubSampling says, or 1 channel (IJL_G) as a
//   grey JPEG; baseline, JPGQuality 0..100, JPGWidth and JPGHeight equal to
//   the DIB's. The same colours give the same stream from 3 channels or 4.
//
// Limits. Streams with 2 channels or more than 4 are refused, and so are
// frames whose decoding would need more than kIJLMaxWorkingMemory bytes of
// the library's own memory (a progressive or multi-scan frame keeps all its
// coefficients) or more than kIJLMaxScans scans; both before any pixel
// memory is allocated, by header reads too. Header reads fill JPGWidth,
// JPGHeight and JPGChannels from the frame header even when they then fail.
//
// Results are IJL_OK or a negative code that ijlErrorStr words. A record is
// used by one thread at a time; calls on separate records run in parallel.

#include "platform/base/WinTypes.h"

enum IJLERR : int {
  IJL_OK = 0,
  IJL_INVALID_POINTER = -1,         // a null record, or a null pointer the mode needs
  IJL_INVALID_MODE = -2,            // not a mode of this call
  IJL_NOT_INITIALIZED = -3,         // the record was not made by ijlInit (or was freed)
  IJL_INVALID_DIB = -4,             // DIB fields that do not describe the image
  IJL_INVALID_JPEG_PARAMETERS = -5, // JPG fields out of range for a write
  IJL_CANNOT_OPEN_FILE = -6,
  IJL_CANNOT_READ_FILE = -7,
  IJL_CANNOT_WRITE_FILE = -8,
  IJL_EMPTY_INPUT = -9,             // a stream of no bytes
  IJL_NOT_JPEG = -10,               // no start-of-image marker
  IJL_TRUNCATED = -11,              // the stream ends before its image could be read
  IJL_CORRUPT = -12,
  IJL_UNSUPPORTED_JPEG = -13,       // a kind of JPEG the library does not decode (12-bit, lossless ...)
  IJL_UNSUPPORTED_CHANNELS = -14,
  IJL_TOO_LARGE = -15,              // beyond the limits above, or libjpeg's 65500 pixels a side
  IJL_OUT_OF_MEMORY = -16,
  IJL_BUFFER_TOO_SMALL = -17,       // a memory write: JPGSizeBytes holds the length needed
};

enum IJLIOTYPE : int {
  IJL_FILE_READ_HEADER = 0,
  IJL_MEMORY_READ_HEADER = 1,
  IJL_FILE_READ_IMAGE = 2,
  IJL_MEMORY_READ_IMAGE = 3,
  IJL_FILE_WRITE_IMAGE = 8,
  IJL_MEMORY_WRITE_IMAGE = 9,
  IJL_FILE_READ_HALF = 14,
  IJL_MEMORY_READ_HALF = 15,
  IJL_FILE_READ_QUARTER = 16,
  IJL_MEMORY_READ_QUARTER = 17,
  IJL_FILE_READ_EIGHTH = 18,
  IJL_MEMORY_READ_EIGHTH = 19,
};

enum IJL_COLOR : int {
  IJL_RGB = 1,
  IJL_BGR = 2,
  IJL_YCBCR = 3,
  IJL_G = 4,
  IJL_BGRA = 5,     // writing only: B, G, R and a byte left out of the JPEG
  IJL_OTHER = 255,  // samples as stored, no conversion
};

// Sampling of the chroma channels of a colour JPEG that is written.
enum IJL_SUBSAMPLING : int {
  IJL_444 = 0,  // every channel at full size
  IJL_420 = 1,  // chroma at half width and half height
  IJL_422 = 2,  // chroma at half width
};

inline constexpr ULONGLONG kIJLMaxWorkingMemory = 512ull << 20;
inline constexpr int kIJLMaxScans = 500;

struct JPEG_CORE_PROPERTIES {
  // The caller's pixels.
  BYTE* DIBBytes;
  LONG DIBWidth;
  LONG DIBHeight;
  LONG DIBPadBytes;
  LONG DIBChannels;
  IJL_COLOR DIBColor;

  // The JPEG stream: a file (file modes) or a memory block (memory modes).
  // Reads never write into the block.
  const char* JPGFile;
  BYTE* JPGBytes;
  // Reading: the block's length. Writing to memory: the block's capacity;
  // afterwards the length written, or the length needed. Writing to a file:
  // afterwards the length written.
  LONG JPGSizeBytes;
  LONG JPGWidth;
  LONG JPGHeight;
  LONG JPGChannels;
  IJL_COLOR JPGColor;
  IJL_SUBSAMPLING JPGSubSampling;
  LONG JPGQuality;
  // Every read sets it: the transform of the stream's Adobe marker (0 none
  // or CMYK, 1 YCbCr, 2 YCCK), -1 when the stream has none.
  LONG JPGAdobeTransform;

  // Written by ijlInit and ijlFree only.
  DWORD InitMark;
};

// Fills the record with the defaults: no pixels and no stream, 3-channel
// IJL_BGR DIB, 3-channel IJL_YCBCR JPEG, IJL_420, quality 75.
IJLERR ijlInit(JPEG_CORE_PROPERTIES* ioProps);
// Ends the record's use; IJL_NOT_INITIALIZED when it was not initialised.
IJLERR ijlFree(JPEG_CORE_PROPERTIES* ioProps);
// A read mode: a header read fills JPGWidth, JPGHeight, JPGChannels and
// JPGAdobeTransform; an image read decodes into the DIB fields.
IJLERR ijlRead(JPEG_CORE_PROPERTIES* ioProps, IJLIOTYPE inMode);
// IJL_FILE_WRITE_IMAGE (to JPGFile) or IJL_MEMORY_WRITE_IMAGE (into JPGBytes).
// The stream is made whole in memory first: a write that fails while
// encoding leaves the file untouched, one that fails while writing the file
// removes it.
IJLERR ijlWrite(JPEG_CORE_PROPERTIES* ioProps, IJLIOTYPE inMode);
// The text of a code, without a final full stop; never null.
const char* ijlErrorStr(IJLERR inCode);
