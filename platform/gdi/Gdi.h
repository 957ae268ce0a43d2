#pragma once
// The graphics device interface of our platform layer: Win32-shaped objects,
// device contexts, DIB sections, blits, palettes and font enumeration.
//
// Handles. Every GDI handle is a 32-bit number looked up in one process-wide
// table: the low 16 bits pick a slot, the next 4 bits repeat the object type
// and the top bits hold a generation count that changes whenever the slot is
// reused. A handle that was deleted, never existed, or names an object of
// another type is refused (last error ERROR_INVALID_HANDLE) and is never
// dereferenced. Scripts pass handles as numbers: NumberToHandle and
// HandleToNumber (WinTypes.h) convert, and every handle fits a positive
// signed 32-bit number; a value wider than 32 bits names no object.
//
// Threads. A lookup takes the table's lock only for as long as it takes to
// copy out a reference to the object; a device context has a lock of its own
// for its selections and modes. Pixels are drawn with no lock held, so many
// threads can draw on their own bitmaps at once. Drawing on one bitmap from
// two threads at once is the caller's race, as on Windows.
//
// Pixels. 32-bit pixels are the bytes B, G, R, A in memory (a little-endian
// word 0xAARRGGBB), 24-bit pixels B, G, R. GDI writes 0 into the alpha byte of
// the 32-bit pixels it fills or converts from other formats; SRCCOPY between
// two 32-bit DIBs copies all four bytes and NOTSRCCOPY inverts all four.
// Writes into indexed (1, 4, 8 bits) pixels take the nearest entry of the
// DIB's colour table by squared RGB distance, the first of equals winning.
// Blits sample the source at the inverse-mapped centre of each destination
// pixel (nearest neighbour, whatever the stretch mode), under any invertible
// world transform.
//
// What is not here: only the text mapping mode (MM_TEXT) exists; raster
// operations are SRCCOPY and NOTSRCCOPY; colour tables are given as RGB
// colours (DIB_RGB_COLORS); file-mapping sections are not supported (use
// CreateDIBSectionOverMemory).

#include "platform/base/WinTypes.h"

using COLORREF = DWORD;
using FLOAT = float;
using CHAR = char;
using LPARAM = LONG_PTR;

TL_DECLARE_HANDLE(HWND);

constexpr COLORREF RGB(BYTE inRed, BYTE inGreen, BYTE inBlue)
{
  return static_cast<COLORREF>(inRed) | (static_cast<COLORREF>(inGreen) << 8) |
         (static_cast<COLORREF>(inBlue) << 16);
}
constexpr BYTE GetRValue(COLORREF inColor) { return static_cast<BYTE>(inColor); }
constexpr BYTE GetGValue(COLORREF inColor) { return static_cast<BYTE>(inColor >> 8); }
constexpr BYTE GetBValue(COLORREF inColor) { return static_cast<BYTE>(inColor >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// Object types (GetObjectType, GetCurrentObject)

constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_PAL = 5;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_MEMDC = 10;

// Stock objects (GetStockObject)
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_PALETTE = 15;

// ---------------------------------------------------------------------------
// Bitmaps and DIB sections

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;      // always positive
  LONG bmWidthBytes;  // the real row length: a multiple of 4 for DIB sections
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;      // null for device-dependent bitmaps (CreateBitmap)
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct CIEXYZ {
  LONG ciexyzX;
  LONG ciexyzY;
  LONG ciexyzZ;
};

struct CIEXYZTRIPLE {
  CIEXYZ ciexyzRed;
  CIEXYZ ciexyzGreen;
  CIEXYZ ciexyzBlue;
};

// The 108-byte header: with BI_BITFIELDS its masks stand in the header itself.
struct BITMAPV4HEADER {
  DWORD bV4Size;
  LONG bV4Width;
  LONG bV4Height;
  WORD bV4Planes;
  WORD bV4BitCount;
  DWORD bV4V4Compression;
  DWORD bV4SizeImage;
  LONG bV4XPelsPerMeter;
  LONG bV4YPelsPerMeter;
  DWORD bV4ClrUsed;
  DWORD bV4ClrImportant;
  DWORD bV4RedMask;
  DWORD bV4GreenMask;
  DWORD bV4BlueMask;
  DWORD bV4AlphaMask;
  DWORD bV4CSType;
  CIEXYZTRIPLE bV4Endpoints;
  DWORD bV4GammaRed;
  DWORD bV4GammaGreen;
  DWORD bV4GammaBlue;
};
static_assert(sizeof(BITMAPV4HEADER) == 108);

// A header followed by its colour table (or, for a 40-byte header with
// BI_BITFIELDS, by the red, green and blue masks). Callers with longer tables
// allocate room for them after the header; the table starts biSize bytes
// after the start of the header.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// GetObjectA of a DIB section. dsBm.bmHeight is positive; dsBmih.biHeight keeps
// the sign the section was made with; dsBitfields holds the red, green and
// blue masks when dsBmih.biCompression is BI_BITFIELDS, else zeros.
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

// ---------------------------------------------------------------------------
// Palettes

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

// palVersion 0x300; palNumEntries entries follow the record's start.
struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

// ---------------------------------------------------------------------------
// Fonts

constexpr int LF_FACESIZE = 32;
constexpr int LF_FULLFACESIZE = 64;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE GREEK_CHARSET = 161;
constexpr BYTE TURKISH_CHARSET = 162;
constexpr BYTE VIETNAMESE_CHARSET = 163;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE ARABIC_CHARSET = 178;
constexpr BYTE BALTIC_CHARSET = 186;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE THAI_CHARSET = 222;
constexpr BYTE EASTEUROPE_CHARSET = 238;

constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE ANTIALIASED_QUALITY = 4;

constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

// Face names are UTF-8, cut at a character boundary to fit with their NUL.
struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};

struct ENUMLOGFONTEXA {
  LOGFONTA elfLogFont;
  BYTE elfFullName[LF_FULLFACESIZE];
  BYTE elfStyle[LF_FACESIZE];
  BYTE elfScript[LF_FACESIZE];
};

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

// The metrics of a font family as enumeration gives them: TEXTMETRICA and four
// more fields, in this order.
struct NEWTEXTMETRICA : TEXTMETRICA {
  DWORD ntmFlags;
  UINT ntmSizeEM;
  UINT ntmCellHeight;
  UINT ntmAvgWidth;
};

struct FONTSIGNATURE {
  DWORD fsUsb[4];
  DWORD fsCsb[2];
};

struct NEWTEXTMETRICEXA {
  NEWTEXTMETRICA ntmTm;
  FONTSIGNATURE ntmFontSig;
};

// Called once per font family: the first argument is an ENUMLOGFONTEXA, the
// second a NEWTEXTMETRICEXA. Returning 0 stops the enumeration.
using FONTENUMPROCA = int (*)(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM);

// ---------------------------------------------------------------------------
// Device contexts, modes and transforms

constexpr int MM_TEXT = 1;
constexpr int GM_COMPATIBLE = 1;
constexpr int GM_ADVANCED = 2;
constexpr DWORD MWT_IDENTITY = 1;

constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD NOTSRCCOPY = 0x00330008;

// A point (x, y) maps to (eM11 x + eM21 y + eDx, eM12 x + eM22 y + eDy).
struct XFORM {
  FLOAT eM11;
  FLOAT eM12;
  FLOAT eM21;
  FLOAT eM22;
  FLOAT eDx;
  FLOAT eDy;
};

// ---------------------------------------------------------------------------
// Objects and handles

// OBJ_* of a valid handle; 0 (last error ERROR_INVALID_HANDLE) otherwise.
DWORD GetObjectType(HGDIOBJ inObject);

// Bitmaps: a DIBSECTION when inSize is at least sizeof(DIBSECTION) and the
// bitmap is a DIB section, else a BITMAP when inSize is at least
// sizeof(BITMAP). Fonts: a LOGFONTA. Palettes: the WORD entry count. Answers
// the bytes written; with a null buffer, the bytes it would write.
int GetObjectA(HGDIOBJ inObject, int inSize, LPVOID outBuffer);
inline int GetObject(HGDIOBJ inObject, int inSize, LPVOID outBuffer)
{
  return GetObjectA(inObject, inSize, outBuffer);
}

HGDIOBJ GetCurrentObject(HDC inDC, UINT inType);

// Pens, brushes, fonts and (into memory device contexts) bitmaps. A bitmap is
// selected into at most one device context at a time. Answers the object
// that was selected before, or null.
HGDIOBJ SelectObject(HDC inDC, HGDIOBJ inObject);

// Fails for an object that is selected into a device context; stock objects
// are never deleted (TRUE).
BOOL DeleteObject(HGDIOBJ inObject);

HGDIOBJ GetStockObject(int inIndex);

// ---------------------------------------------------------------------------
// Device contexts

// The screen: inWindow must be null (there are no windows).
HDC GetDC(HWND inWindow);
int ReleaseDC(HWND inWindow, HDC inDC);

// A memory device context; inDC null or a valid device context. It starts
// with a 1x1 monochrome placeholder bitmap selected (nothing is ever drawn
// into the placeholder), a white brush, a black pen, the system font and the
// default palette.
HDC CreateCompatibleDC(HDC inDC);
BOOL DeleteDC(HDC inDC);

int GetDeviceCaps(HDC inDC, int inIndex);

int SetMapMode(HDC inDC, int inMode);
int GetMapMode(HDC inDC);
int SetGraphicsMode(HDC inDC, int inMode);
int GetGraphicsMode(HDC inDC);
BOOL SetWorldTransform(HDC inDC, const XFORM* inXform);
BOOL GetWorldTransform(HDC inDC, XFORM* outXform);
BOOL ModifyWorldTransform(HDC inDC, const XFORM* inXform, DWORD inMode);

// ---------------------------------------------------------------------------
// Bitmaps

// A device-dependent bitmap of 1 or 32 bits per pixel (one plane). inBits,
// when given, holds rows top-down, each padded to an even number of bytes.
// One bits are white and zero bits black in a monochrome bitmap.
HBITMAP CreateBitmap(int inWidth, int inHeight, UINT inPlanes, UINT inBitCount, const void* inBits);

// A DIB section of 1, 4, 8, 16, 24 or 32 bits per pixel from a 40- or 108-byte
// header; BI_BITFIELDS for 16 and 32 bits. Indexed DIBs get a full colour
// table of 2^bits entries: the given ones, the rest zero. The pixels start
// zeroed. inDC may be null; inUsage must be DIB_RGB_COLORS and inSection
// null. Sizes that overflow, do not fit the 32-bit fields of the records
// (4 GiB and more) or cannot be allocated fail with ERROR_NOT_ENOUGH_MEMORY.
HBITMAP CreateDIBSection(HDC inDC, const BITMAPINFO* inInfo, UINT inUsage, void** outBits,
                         HANDLE inSection, DWORD inOffset);

// A DIB section over memory its caller owns and keeps alive until the
// bitmap is deleted (nothing is zeroed or freed). inRowBytes is the distance
// between rows: 0 for the natural 4-byte-aligned length, else a multiple of
// 4 at least that long. Otherwise as CreateDIBSection.
HBITMAP CreateDIBSectionOverMemory(HDC inDC, const BITMAPINFO* inInfo, UINT inUsage, void* inBits,
                                   LONG inRowBytes);

// The colour table of the DIB section selected in inDC: answers the entries
// copied (0 when the bitmap has no table or inStart is past its end).
UINT GetDIBColorTable(HDC inDC, UINT inStart, UINT inCount, RGBQUAD* outColors);
UINT SetDIBColorTable(HDC inDC, UINT inStart, UINT inCount, const RGBQUAD* inColors);

// Drawing is never batched: always TRUE.
BOOL GdiFlush();

// ---------------------------------------------------------------------------
// Drawing

// Source and destination rectangles are in logical units of their device
// contexts; the destination's world transform (in GM_ADVANCED) places the
// destination rectangle, the source's must be the identity. Negative sizes
// mirror. Both are clipped to their bitmaps; source and destination may
// overlap. inRop is SRCCOPY or NOTSRCCOPY.
BOOL BitBlt(HDC inDest, int inX, int inY, int inWidth, int inHeight, HDC inSource, int inSourceX,
            int inSourceY, DWORD inRop);
BOOL StretchBlt(HDC inDest, int inX, int inY, int inWidth, int inHeight, HDC inSource,
                int inSourceX, int inSourceY, int inSourceWidth, int inSourceHeight, DWORD inRop);

HBRUSH CreateSolidBrush(COLORREF inColor);

// Fills left..right-1 x top..bottom-1 (through the world transform); answers
// non-zero on success.
int FillRect(HDC inDC, const RECT* inRect, HBRUSH inBrush);

// The colour of the pixel at a logical point; CLR_INVALID outside the bitmap.
COLORREF GetPixel(HDC inDC, int inX, int inY);

// ---------------------------------------------------------------------------
// Palettes

// Our fixed 256-entry halftone palette: entries 0-215 are the colour cube of
// the six levels 0, 51, 102, 153, 204, 255, index = 36 r + 6 g + b over the
// level numbers (entry 0 black, 215 white); entries 216-255 are 40 greys,
// entry 216 + i = (255 (i + 1) + 20) / 41 (integer division), none of which
// is a cube level. inDC may be null.
HPALETTE CreateHalftonePalette(HDC inDC);
HPALETTE CreatePalette(const LOGPALETTE* inPalette);

// Answers the entries copied, or with null outEntries the palette's size.
UINT GetPaletteEntries(HPALETTE inPalette, UINT inStart, UINT inCount, PALETTEENTRY* outEntries);
HPALETTE SelectPalette(HDC inDC, HPALETTE inPalette, BOOL inForceBackground);

// DIB sections draw through their own colour tables, so realising only
// answers the number of entries of the selected palette.
UINT RealizePalette(HDC inDC);

// ---------------------------------------------------------------------------
// Fonts

// One call per font family installed (fontconfig, scalable fonts), in the
// order of the family names' bytes ignoring ASCII case. inFilter->lfCharSet
// picks the families that cover the languages of that Windows charset
// (DEFAULT_CHARSET: every family); a non-empty lfFaceName keeps only the
// family of that name (ignoring case). The entry's face name and full name
// are the family name. Answers the callback's last result (1 when it was not
// called).
int EnumFontFamiliesExA(HDC inDC, LOGFONTA* inFilter, FONTENUMPROCA inCallback, LPARAM inParam,
                        DWORD inFlags);

HFONT CreateFontIndirectA(const LOGFONTA* inFont);
HFONT CreateFontA(int inHeight, int inWidth, int inEscapement, int inOrientation, int inWeight,
                  DWORD inItalic, DWORD inUnderline, DWORD inStrikeOut, DWORD inCharSet,
                  DWORD inOutPrecision, DWORD inClipPrecision, DWORD inQuality,
                  DWORD inPitchAndFamily, LPCSTR inFaceName);
