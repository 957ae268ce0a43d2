#pragma once
// The palette builder: a colour table of up to 256 Windows RGBQUAD entries
// (blue, green, red, reserved) made by one of eight kinds, and an 8-bit DIB
// section that carries it, for colour reduction and GIF export.
//
//   kind 0 websafe        the uniform cube of 216 colours
//   kind 1 windows        the system halftone palette
//   kind 2 macintosh      256 entries: the cube, four ramps of ten, black
//   kind 3 uniform        a cube of 2 to 6 levels a side chosen by the count
//   kind 4 adaptive       octree quantisation of the source DIB section
//   kind 5 grayscale      a grey ramp of the count
//   kind 6 black&white    black and white
//   kind 7 palette file   R, G, B triples read from the palette path
//
// Builders write entry 0 upward and answer the number of entries made (0 on
// failure). Colour counts are held to what the 256-entry table can take: a
// grey ramp and an adaptive palette have 2 to 256 colours.

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"

#include <string>

// A BITMAPINFO with room for a full colour table.
struct IndexedBitmapInfo {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];

  // Clears the record and describes a top-down, uncompressed DIB.
  void DescribeTopDown(LONG inWidth, LONG inHeight, WORD inBitCount);
};

class Paleteer {
public:
  enum Kind : LONG {
    kWebSafe = 0,
    kWindows = 1,
    kMacintosh = 2,
    kUniform = 3,
    kAdaptive = 4,
    kGrayscale = 5,
    kBlackAndWhite = 6,
    kPaletteFile = 7,
  };
  static constexpr LONG kMaxColors = 256;

  Paleteer() = default;
  virtual ~Paleteer();
  Paleteer(const Paleteer&) = delete;
  Paleteer& operator=(const Paleteer&) = delete;

  // The DIB section that the adaptive kind samples and CreateIndexedDIB
  // sizes itself on; it stays the caller's.
  virtual void SetSource(HBITMAP inSource);
  virtual void SetColorCount(LONG inCount);
  virtual void SetKind(LONG inKind);
  virtual void SetPalettePath(const std::string& inPath);

  // Builds the table into outTable (256 entries) and makes an empty 8-bit
  // DIB section of the source's size carrying it; answers the entries.
  virtual LONG CreateIndexedDIB(RGBQUAD* outTable);
  virtual HBITMAP GetHBITMAP() const { return mHBM; }
  virtual HDC GetHDC() const { return mHDC; }

  // Clears all 256 entries, then builds by kind; answers the entries made.
  virtual LONG BuildColorTable(RGBQUAD* inOutColorTable);
  // Makes the 8-bit DIB section (top row first in memory) with the table,
  // selected into a memory device context of its own. Once only.
  virtual void MakeIndexedDIB(IndexedBitmapInfo* outBitmapInfo, LONG inWidth, LONG inHeight);

private:
  LONG BuildAdaptive(RGBQUAD* outTable) const;
  LONG BuildFromFile(RGBQUAD* outTable) const;

  LONG mKind = kAdaptive;
  HBITMAP mSrc = nullptr;
  LONG mColorCount = 216;
  HDC mHDC = nullptr;
  HBITMAP mHBM = nullptr;
  HGDIOBJ mOldHBM = nullptr;
  void* mBits = nullptr;
  std::string mPalettePath;
};

// A logical palette of the table's entries; null above 256 entries.
HPALETTE CreatePaletteFromTable(const RGBQUAD* inTable, LONG inNumCols);

// A debugging aid: "Palette Dump [<n> RGB Hex]" and one line of red, green
// and blue in hexadecimal per entry, to the debugger's output.
void DumpPalette(const RGBQUAD* inTable, LONG inNum);
