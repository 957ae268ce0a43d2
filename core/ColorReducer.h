#pragma once
// Maps the pixels of a 32-bit DIB section onto an 8-bit one through a colour
// table: plainly, or with Floyd-Steinberg error diffusion in serpentine
// order (the last row runs left to right, the direction alternating upward).
//
// Errors inside -2..2 are dropped; shifts of errors round toward minus
// infinity. The buffered error at a row's first pixel is taken as the row's
// first carry and also stays for the row below: it makes up for part of the
// error that runs off the ends of the rows, so that flat greys keep their
// level at the picture's left and right edges better than when it is cleared
// (see the flat-field test).
//
// Rows are taken in picture order (top row first) whichever way each DIB
// section lies in memory.

#include "core/ColorLookup.h"
#include "platform/gdi/Gdi.h"

class ColorReducer {
public:
  // The Paleteer kind the table was made by: the grey kinds map by luminance.
  void SetPaletteKind(LONG inKind) { mPaletteKind = inKind; }

  // False, with nothing written, for a missing or mismatched pair of DIB
  // sections (not 32 to 8 bits, of other sizes, without bits), an empty
  // table or one of more than 256 entries, or too little memory.
  [[nodiscard]] bool Reduce(const DIBSECTION* inSrc, const DIBSECTION* inDst, const RGBQUAD* inColorTable,
                            LONG inNumCols, bool inDither);

private:
  LONG mPaletteKind = 4;
  ColorLookup mLookup;
};
