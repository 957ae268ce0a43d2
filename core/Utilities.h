#pragma once
// The vocabulary in which scripts speak to the library: parsers that turn
// value strings (numbers, booleans, lists, points, rectangles, colours and
// keywords) into values, formatters that turn values back into text, the
// keyword tables behind both, integer rectangle and point helpers, and byte
// arrays in and out of VARIANTs.
//
// Keywords match whole and without regard to case. List items are separated
// by ','. Numbers are read in the "C" locale with 32-bit semantics: "0x"
// starts a hexadecimal item, "0d" a decimal one; leading blanks are skipped
// and whatever follows a number is ignored. A parser answers false when it
// does not understand its text; the out-value may then be partly written.

#include "core/ColorValue.h"
#include "platform/automation/SafeArray.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kListSeparator = ',';

// The longest text that ParseString accepts, in bytes.
inline constexpr std::size_t kMaxStringValue = 255;

// The shape that no keyword gives.
inline constexpr LONG kNoShapeType = 0;

struct FontStyle {
  LONG mBold = 0;
  LONG mWeight = 400;  // 400 plain, 700 bold
  LONG mItalic = 0;
  LONG mUnderline = 0;
  LONG mStrikethrough = 0;

  friend constexpr bool operator==(const FontStyle&, const FontStyle&) = default;
};

struct FloatPoint {
  float x = 0;
  float y = 0;

  friend constexpr bool operator==(const FloatPoint&, const FloatPoint&) = default;
};

// ---- Parsers

// 0 to 255 bytes, the empty text too.
bool ParseString(std::string_view inText, std::string& outValue);
bool ParseLong(std::string_view inText, LONG& outValue);
// Refuses values beyond the single-precision range.
bool ParseFloat(std::string_view inText, float& outValue);
// "true", "yes" 1; "false", "no" 0; else a number, non-zero giving 1.
bool ParseBool(std::string_view inText, LONG& outValue);

// At most inMax items; true when the whole text was read (a trailing ',' is
// allowed, an empty item is not). The empty text is an empty list.
bool ParseLongList(std::string_view inText, std::vector<LONG>& outValues, std::size_t inMax);
bool ParseFloatList(std::string_view inText, std::vector<float>& outValues, std::size_t inMax);
// x,y pairs, at most inMaxPoints, each coordinate strictly between -32768 and
// 32767. On failure outPoints is left as it was.
bool ParseFloatPoints(std::string_view inText, std::vector<FloatPoint>& outPoints, std::size_t inMaxPoints);
// Exactly four values: left, top, right, bottom.
bool ParseRect(std::string_view inText, RECT& outRect);
// Exactly two values.
bool ParsePoint(std::string_view inText, POINT& outPoint);
// A colour keyword, "pattern" (sets the tag, keeps the channels), a list of
// three or four "0x"/"0d" integers (low byte into the high byte of the
// channel), "#RRGGBB[AA]", or three or four percentages.
bool ParseColor(std::string_view inText, ColorValue& outColor);
// A percentage as colour texts read it: trunc(clamp(p, 0, 100) x 0.01 x
// 65535) with 0.01 in single precision (100 gives 65534); NaN gives 0.
WORD ChannelFromPercent(float inPercent);
// A channel as colour texts print it: c x 100 / 65280 with 1/65280 in single
// precision, held to 0..100.
double PercentFromChannel(WORD inChannel);
// 0..1024 from a keyword or a percentage; 512 for anything else. Never false.
bool ParseQuality(std::string_view inText, LONG& outQuality);

bool ParseShape(std::string_view inText, LONG& outShape);
bool ParseDrawOperation(std::string_view inText, LONG& outOperation);
bool ParseHAlign(std::string_view inText, LONG& outAlign);
bool ParseVAlign(std::string_view inText, LONG& outAlign);
bool ParseTransferMode(std::string_view inText, WORD& outMode);
bool ParseChannel(std::string_view inText, LONG& outChannel);
// Bits per pixel from "millions", "thousands", "256", "16" or "2".
bool ParseDepth(std::string_view inText, LONG& outDepth);
bool ParseSelectionType(std::string_view inText, LONG& outType);
bool ParsePalette(std::string_view inText, LONG& outPalette);
// Words "bold", "italic", "underline", "strikethru" in a list; the empty
// text is plain.
bool ParseTextStyle(std::string_view inText, FontStyle& outStyle);
// "millions", "thousands" or a number.
bool ParseColorCount(std::string_view inText, LONG& outCount);
// A character-set keyword or number; anything else gives 0. Never false.
bool ParseCharset(std::string_view inText, LONG& outCharset);

// ---- Formatters. A value without a wording gives the empty text.

// Appends the decimal digits of inValue, after a '-' when it is negative,
// whatever the locale.
void AppendDecimal(std::string& ioText, LONGLONG inValue);
std::string FormatLong(LONG inValue);
std::string FormatRect(const RECT& inRect);
std::string FormatPoint(const POINT& inPoint);
// "pattern", or four percentages "%.1f,%.1f,%.1f,%.1f".
std::string FormatColor(const ColorValue& inColor);
std::string FormatHAlign(LONG inAlign);
std::string FormatVAlign(LONG inAlign);
std::string FormatTextStyle(const FontStyle& inStyle);
std::string FormatDepth(LONG inDepth);
std::string FormatColorSpace(LONG inColorSpace);
std::string FormatCharset(LONG inCharset);

// ---- Counts and depths

LONG BitsForColorCount(LONG inCount);
// 2 to the power inDepth, the depth held to 0..24.
LONG ColorCountForDepth(LONG inDepth);

// ---- List items and characters

// The text after the next ',' (empty when there is none).
std::string_view NextListItem(std::string_view inText);
// The current item without its leading white space, cut to inSize - 1 bytes;
// true when it fitted whole.
bool CopyListItem(std::string_view inText, std::string& outItem, std::size_t inSize);
void ReplaceChar(std::string& ioText, char inFrom, char inTo);
// The text with each NUL byte written as the two characters \0, for messages.
std::string ShowNul(std::string_view inText);
// A length-prefixed string into outCstr, which holds 256 bytes; answers the length.
LONG PStrToCStr(char* outCstr, const BYTE* inPstr);

// ---- Rectangles and points. Sums and differences stay within 32 bits
// (held at the ends of the range).

LONG RectWidth(const RECT& inRect);
LONG RectHeight(const RECT& inRect);
RECT OffsetRectBy(const RECT& inRect, LONG inDx, LONG inDy);
RECT MoveRectToOrigin(const RECT& inRect);
// The larger left and top and the smaller right and bottom; may be empty.
RECT IntersectRects(const RECT& inA, const RECT& inB);
POINT MakePoint(LONG inX, LONG inY);
POINT RoundPoint(double inX, double inY);

// ---- Byte arrays in VARIANTs (VT_ARRAY | VT_UI1)

// A new one-dimensional byte array holding a copy of the bytes, into inVar
// (initialised first), which the caller then owns. inPtr may be null only for
// 0 bytes.
HRESULT PtrToVARIANT(const void* inPtr, DWORD inLength, VARIANT* inVar);
// Locks the byte array of inVariant (held directly or by reference) and hands
// out its bytes to read in place until UnaccessVARIANT. Any other type, or an
// array of other than one dimension, gives E_INVALIDARG.
HRESULT AccessVARIANT(const VARIANT& inVariant, BYTE*& outData, LONG& outLength);
HRESULT UnaccessVARIANT(const VARIANT& inVariant);
