#pragma once
// A PNG file's chunks, checked before ImageMagick sees them. libpng takes
// what a chunk claims for an allocation (the chunk's length, or what its
// compressed data inflate to), and ImageMagick lets it allocate without
// bound: an 83-byte file could take 2 GB. A file is sound when every chunk
// up to IEND fits in the bytes that follow its length and type, and no
// compressed chunk (zTXt, iCCP, compressed iTXt) inflates past
// kMaxInflatedChunk, libpng's own default bound for one chunk. A file cut
// inside a CRC, or with no IEND, is left to the decoder: what it allocates
// is bounded by then. (PNG streams inside icon files never reach libpng
// here: the codec cannot tell an icon from its bytes.)

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <string>

inline constexpr std::size_t kMaxInflatedChunk = 8000000;

struct PNGFacts {
  // Why the file is not sound, as "Corrupt PNG image: ..."; empty when it is.
  std::string mFault;
  // The size that a PNG file's header chunk declares; 0 x 0 without one.
  DWORD mWidth = 0;
  DWORD mHeight = 0;
};

// Nothing to say (no fault, no size) for bytes that are not a PNG file.
PNGFacts CheckPNGStream(const BYTE* inData, std::size_t inLength);
