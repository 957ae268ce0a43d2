#pragma once
// What the graphics library's suites share: the records of the log files, a
// fault that really happens, and pixels read and written directly.

#include "platform/base/WinTypes.h"

class Bitmap;

#include <cstdint>
#include <string>
#include <vector>

namespace tltest {

// The records of a log file in the log directory (the header left out), each
// split at its tabs; every line must end in CR LF.
std::vector<std::vector<std::string>> LogRecords(const char* inFile);

// Writes to a bad address that is not null: an access violation in our code.
void WriteToBadAddress();
// The address WriteToBadAddress writes to.
std::uintptr_t BadAddress();
// Copies from a page no one may touch with memcpy: an access violation
// inside a C library routine.
void CopyFromBadPage();
// The page CopyFromBadPage reads.
std::uintptr_t BadPage();

// The word of a pixel of 32-bit pixels: B, G, R, A from its low byte.
DWORD PixelWord(Bitmap& inWorld, LONG inX, LONG inY);
void SetPixelWord(Bitmap& ioWorld, LONG inX, LONG inY, DWORD inWord);
// New pixels of the size and depth in the natural colour (white unless set).
void MakePixels(Bitmap& ioWorld, LONG inWidth, LONG inHeight, LONG inDepth = 32);
// White 20 x 20 pixels of 32 bits with one red pixel, kRedWord, at (5,7).
inline constexpr DWORD kRedWord = 0x00FF0000;
void MakeRedDotPicture(Bitmap& ioWorld);

// What is wrong with a picture of red, green, blue and white quadrants
// (red top left, green top right) placed in inRect on the kernel road's
// 32-bit canvas, beside the same placement on the GDI road's canvas, both of
// the background inBackground: a pixel outside the rectangle drawn, or one
// inside it that differs from the GDI road's by more than inTolerance away
// from the inner colour edges (so the rectangle is covered to its last
// column and row), or an inner edge whose half-way point along a row or a
// column of the upper left quarter lies more than half a pixel from where the
// GDI road puts it. Empty when nothing is.
std::string QuadrantPlacementFaults(Bitmap& inKernel, Bitmap& inGDI, const RECT& inRect, DWORD inBackground,
                                    int inTolerance);

}  // namespace tltest
