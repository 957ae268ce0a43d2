#pragma once
// Colour conversion of 4-byte pixels in place. CMYK images (from print work,
// through the JPEG library, ImageMagick or QuickTime) become RGB before they
// are drawn: through a LittleCMS transform from a CMYK ICC profile to the
// working RGB profile, or, when colour management is off or fails, by a plain
// formula. Nothing else is colour-managed.
//
// A block is (pixels, width, height, row bytes): rows top to bottom, each
// starting row bytes after the previous one, 4 bytes a pixel. A block with a
// side below 1, a null pointer or rows shorter than width x 4 is left alone.
// CMYK bytes count ink: 0 none, 255 full.
//
// Profiles. The CMYK source is the image's embedded profile when that is a
// CMYK profile, else the CMYK profile search; the destination is the working
// RGB profile, found by the RGB profile search on the first transform and
// kept open for the process. A search looks in the directory of the
// preference "ColorProfileDirectory" (its files in byte order of their
// names): RGB takes the first monitor RGB profile, or a later one whose
// product name holds "sRGB"; CMYK the first CMYK profile of any class. The
// path found is remembered for that directory. Nothing found writes "Unable
// to find appropriate RGB profile in \"%s\"." (or CMYK) once per process as
// an error event; an empty preference says nothing. Either way the built-in
// profile is used: the resource "SRGB" or "CMYK" of type "ICC".
//
// Threads and processes. Each ICC transform runs under the system-wide named
// mutex "LittleCMSMutex" (600000 ms; not obtained: the assertion "theLock",
// and the transform goes on) and a lock of the process, which also guards the
// searches' memory. A fault that skips a transform on its way to a guarded
// call gives both back.

#include "platform/base/WinTypes.h"

#include <lcms2.h>

// The ICC transform when the preference "LittleCMS" (default 1) is on and it
// succeeds, else the plain formula. inICC (inICCLength bytes) is the image's
// embedded profile, or null.
void ConvertCMYKToRGB(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes, const BYTE* inICC,
                      DWORD inICCLength);

// The ICC transform alone: R, G, B, 0 in bytes 0 to 3 of each pixel, with
// perceptual intent. False, with the pixels untouched, when no transform
// could be made; "Unable to create ICC transform." goes to the event log
// when both profiles were there.
bool ConvertCMYKToRGBWithICC(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes, const BYTE* inICC,
                             DWORD inICCLength);

// Red = max(0, 255 - c - k), green = max(0, 255 - m - k), blue =
// max(0, 255 - y - k), fourth byte 0.
void ConvertCMYKToRGBByFormula(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes);

// Y, Cb, Cr, K (a JPEG's YCCK samples) to C, M, Y, K by the JFIF equations:
// C = Y + 1.402 (Cr - 128), M = Y - 0.34414 (Cb - 128) - 0.71414 (Cr - 128),
// Y = Y + 1.772 (Cb - 128), each product truncated toward zero and the sum
// held to 0..255; K = 255 - K.
void ConvertYCCKToCMYK(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes);

// Adobe's inverted CMYK (0 full ink) to CMYK: every byte becomes 255 - v.
void ConvertAdobeCMYKToCMYK(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes);

// R, G, B, x to B, G, R, 0: the byte order of a 32-bit DIB.
void ConvertRGBXToBGRA(BYTE* ioPixels, LONG inWidth, LONG inHeight, LONG inRowBytes);

// The searches; the caller closes the profile. Null only when even the
// built-in profile cannot be opened.
cmsHPROFILE FindRGBProfile();
cmsHPROFILE FindCMYKProfile();

// A profile opened from the bytes of a resource of this library; null when
// there is no such resource or it does not load.
cmsHPROFILE OpenResourceProfile(const char* inName, const char* inType);

// A debugging aid: the path, the profile's product name and description, and
// "PCS = %s ColorSpace = %s DeviceClass = %s" with two line feeds (the three
// signatures as four-character texts), on the standard error stream.
void ReportProfile(const char* inPath);
