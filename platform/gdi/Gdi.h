#pragma once
// The graphics device interface of our platform layer: Win32-shaped objects,
// device contexts, DIB sections, blits, palettes, fonts, shapes, paths and
// text.
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
// for its selections, modes and path. Pixels are drawn with no lock held, so
// many threads can draw on their own bitmaps at once (each thread has its own
// FreeType objects). Drawing on one bitmap from two threads at once is the
// caller's race, as on Windows.
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
// Shapes and paths. In GM_ADVANCED a logical point is mapped by the world
// transform and whole device coordinates are pixel centres. Rectangle,
// Ellipse and RoundRect run through their right and bottom coordinates (in
// GM_COMPATIBLE they stop one short of them, and the transform is always the
// identity). A fill covers the pixels whose centres lie inside the outline
// by the even-odd rule, a centre on a left or top edge counting as inside and
// one on a right or bottom edge as outside. A pen is its width in logical
// units wide, centred on the outline, with round ends and joins, and is
// mapped by the transform with the outline; a pen of width 0, or one the
// transform makes thinner than a pixel, draws one pixel wide. Nothing is
// antialiased. Shapes are drawn (brush inside, then pen outline) unless a
// path is open, in which case they only add their outline to it. Pens wider
// than 4,194,304 device pixels draw that wide; parts of a shape far outside
// the bitmap are cut off before they are rasterised, so any 32-bit
// coordinate is drawn correctly where it shows. A drawing call whose
// rasteriser runs out of memory fails with ERROR_NOT_ENOUGH_MEMORY.
//
// Text. Fonts are found through fontconfig when first drawn with (an empty or
// unknown face name gives its best match); glyphs are FreeType outlines drawn
// antialiased in the text colour; metrics come from the font's tables, and
// advances are whole logical units (no kerning). TextOutW places the top left
// of the first character cell at the point given; a font's escapement turns
// the text counter-clockwise about that point (lfOrientation is not looked
// at; the width is always the font's natural one). Text drawn while a path is
// open adds its glyph outlines (and underline and strikeout bars) to it.
// DrawText lays out text by our own rules, stated at DrawTextExW. Character
// prefixes are not interpreted ('&' is drawn as it stands) and tabs are not
// expanded.
//
// Colours. Every pixel GDI draws on a 32-bit DIB gets alpha 0; indexed DIBs
// take the nearest entry of their colour table.
//
// What is not here: only the text mapping mode (MM_TEXT) exists; raster
// operations are SRCCOPY and NOTSRCCOPY; colour tables are given as RGB
// colours (DIB_RGB_COLORS); file-mapping sections are not supported (use
// CreateDIBSectionOverMemory); pens are solid or null; the fill mode is
// always ALTERNATE.

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
// called); 0 (ERROR_MOD_NOT_FOUND) when fontconfig cannot be loaded.
int EnumFontFamiliesExA(HDC inDC, LOGFONTA* inFilter, FONTENUMPROCA inCallback, LPARAM inParam,
                        DWORD inFlags);

HFONT CreateFontIndirectA(const LOGFONTA* inFont);
HFONT CreateFontA(int inHeight, int inWidth, int inEscapement, int inOrientation, int inWeight,
                  DWORD inItalic, DWORD inUnderline, DWORD inStrikeOut, DWORD inCharSet,
                  DWORD inOutPrecision, DWORD inClipPrecision, DWORD inQuality,
                  DWORD inPitchAndFamily, LPCSTR inFaceName);

// ---------------------------------------------------------------------------
// Pens, brushes and text modes

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

// inStyle PS_SOLID or PS_NULL; inWidth at least 0.
HPEN CreatePen(int inStyle, int inWidth, COLORREF inColor);

// A brush of the bitmap's pixels (any depth and size, as its colours), copied
// when the brush is made: the bitmap may stay selected or be deleted. The
// pattern is tiled from device pixel (0, 0), whatever the world transform.
HBRUSH CreatePatternBrush(HBITMAP inBitmap);

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Each answers the previous value (CLR_INVALID or 0 on failure). A new
// device context draws text in black, in OPAQUE mode: each character cell is
// first filled in white.
COLORREF SetTextColor(HDC inDC, COLORREF inColor);
int SetBkMode(HDC inDC, int inMode);

// inNumber x inNumerator / inDenominator from a 64-bit product, rounded half
// away from zero; -1 (and the last error) for a zero divisor or a result
// outside 32 bits.
int MulDiv(int inNumber, int inNumerator, int inDenominator);

// ---------------------------------------------------------------------------
// Shapes and paths

BOOL Rectangle(HDC inDC, int inLeft, int inTop, int inRight, int inBottom);
BOOL Ellipse(HDC inDC, int inLeft, int inTop, int inRight, int inBottom);
// Corners are quarters of an ellipse inWidth by inHeight (cut to the
// rectangle's size).
BOOL RoundRect(HDC inDC, int inLeft, int inTop, int inRight, int inBottom, int inWidth, int inHeight);
// At least two points. A polygon is closed and filled; a polyline is only
// stroked.
BOOL Polygon(HDC inDC, const POINT* inPoints, int inCount);
BOOL Polyline(HDC inDC, const POINT* inPoints, int inCount);

// BeginPath discards any earlier path and opens a new one; EndPath closes it.
// Rendering a closed path uses it up: StrokePath leaves open figures open,
// FillPath closes them, StrokeAndFillPath fills, then strokes. Without a
// closed path these fail with ERROR_INVALID_PARAMETER.
BOOL BeginPath(HDC inDC);
BOOL EndPath(HDC inDC);
BOOL StrokePath(HDC inDC);
BOOL FillPath(HDC inDC);
BOOL StrokeAndFillPath(HDC inDC);

// ---------------------------------------------------------------------------
// Text

struct TEXTMETRICW {
  LONG tmHeight;  // tmAscent + tmDescent
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
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

// Metrics and advances are in logical units: a negative lfHeight is the em in
// logical units, a positive one the cell height (ascent + descent), 0 a cell
// of 16.
BOOL GetTextMetricsW(HDC inDC, TEXTMETRICW* outMetrics);
// The advances of the characters inFirst to inLast (code points).
BOOL GetCharWidthW(HDC inDC, UINT inFirst, UINT inLast, INT* outWidths);

// inCount UTF-16 units (at least 0) from inText.
BOOL TextOutW(HDC inDC, int inX, int inY, LPCWSTR inText, int inCount);

constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_EDITCONTROL = 0x2000;

// cbSize must be sizeof(DRAWTEXTPARAMS). The margins narrow the formatting
// rectangle; tabs are not expanded, so iTabLength is not used.
struct DRAWTEXTPARAMS {
  UINT cbSize;
  int iTabLength;
  int iLeftMargin;
  int iRightMargin;
  UINT uiLengthDrawn;
};

// Text laid out in a rectangle; the A forms take UTF-8, the W forms UTF-16,
// inCount is the length in those units or -1 for text that ends with a NUL.
//
// Lines. With DT_WORDBREAK and without DT_SINGLELINE, lines end at CR, LF or
// CR LF, and a line that would grow wider than the formatting rectangle is
// broken after the last blank that keeps it inside; the blanks at a break are
// not drawn and the next line starts after them. A word wider than the line
// stands on a line of its own and is cut by the rectangle, except under
// DT_EDITCONTROL, which breaks it before the first character that does not
// fit (at least one character a line). Otherwise the whole text is one line.
// Lines are tmHeight apart from the top of the rectangle; DT_CENTER and
// DT_RIGHT place each line by its width without trailing blanks. Drawing is
// cut to the rectangle; under DT_EDITCONTROL a line that does not fit whole
// below the top is not laid out, nor any after it.
//
// DT_CALCRECT draws nothing and lays out every line: the rectangle's right
// becomes left + the widest line and its bottom top + lines x tmHeight. The
// result is the height of the lines laid out. An empty text draws nothing
// and answers tmHeight; DT_CALCRECT then leaves right = left and bottom = top
// (top + tmHeight under DT_SINGLELINE).
//
// uiLengthDrawn: the index (in the text's own units) of the first character
// not laid out, the length when all of it was.
int DrawTextA(HDC inDC, LPCSTR inText, int inCount, RECT* ioRect, UINT inFormat);
int DrawTextW(HDC inDC, LPCWSTR inText, int inCount, RECT* ioRect, UINT inFormat);
int DrawTextExA(HDC inDC, LPCSTR inText, int inCount, RECT* ioRect, UINT inFormat, DRAWTEXTPARAMS* ioParams);
int DrawTextExW(HDC inDC, LPCWSTR inText, int inCount, RECT* ioRect, UINT inFormat, DRAWTEXTPARAMS* ioParams);
