#pragma once
// ReduceColors: makes the canvas an 8-bit indexed one whose colour table is
// built by a palette kind (Paleteer), read from a palette file, or given as
// bytes, and maps its pixels onto that table, dithered or not (ColorReducer).
//
// Palette bytes hold entries of 3 bytes (red, green, blue) when their length
// is a multiple of 3, else of 4 when it is a multiple of 4 (the fourth byte
// skipped), else of 3; at most 256 entries count. A palette type that is no
// palette keyword is the path of a palette file.
//
// Undithered grey palettes ("grayscale", and "black&white" as 2 levels) keep
// the canvas as it is: on 32 bits every pixel's red, green and blue become
// its grey level g = trunc(0.299 r + 0.587 g + 0.114 b + 0.5) quantised to
// (g / s) x s, s = 256 / levels, the levels held to 1..256; on 8 bits and
// fewer the colour table's entries are quantised alike.
//
// The canvas is first copied at 32 bits; the adaptive palette is built from
// that copy, so that it serves a canvas of any depth.
//
// A canvas without pixels fails with "Unable to reduce colors." (the grey
// levels in place just find nothing to do), a palette of no entries with
// "Unable to understand palette", both before the canvas is touched. Should a
// step fail after the canvas was cleared for its 8-bit pixels, the picture
// comes back from the copy at its former depth.

#include "objects/Operation.h"

#include <string>

class ReduceColors : public Operation {
public:
  ReduceColors() : Operation("ReduceColors:") {}

  // The bytes stay the caller's and are read in place by Run.
  virtual void SetPaletteData(const BYTE* inData, LONG inLength);
  virtual void SetPaletteType(const char* inType);
  virtual void SetColors(LONG inCount);
  virtual void SetDither(LONG inDither);

protected:
  // The table of the palette (bytes, file or kind) and the mapping of the pixels.
  virtual void ReduceToPalette(Bitmap& inWorld, LONG inKind, LONG inCount);
  // The undithered grey palettes of 32-bit and indexed canvases.
  virtual void GreyLevels32(Bitmap& inWorld, LONG inLevels);
  virtual void GreyLevelsTable(Bitmap& inWorld, LONG inLevels);
  LONG DoIt(Bitmap& inWorld) override;

private:
  // Up to 256 entries from the palette bytes; their count.
  LONG TableFromData(RGBQUAD* outTable) const;
  // The Windows code of a failed step, or the message "Unable to reduce
  // colors." when there is none.
  void ReportFailure(LONG inCode);

  LONG mColors = 256;
  LONG mDither = 1;
  std::string mPaletteType;
  const BYTE* mPaletteData = nullptr;
  LONG mPaletteLength = 0;
};
