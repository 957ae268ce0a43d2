#include "core/Utilities.h"

#include "core/EventLog.h"
#include "core/SystemUtilities.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr LONG kMinLong = std::numeric_limits<LONG>::min();

struct Keyword {
  std::string_view mName;
  LONG mValue;
};

struct ColorKeyword {
  std::string_view mName;
  WORD mRed;
  WORD mGreen;
  WORD mBlue;
};

// Red, green and blue; alpha is 65535 for every colour.
constexpr ColorKeyword kColorNames[] = {
  {"black", 0x0000, 0x0000, 0x0000},  {"yellow", 0xFC00, 0xF37D, 0x052F},    {"magenta", 0xF2D7, 0x0856, 0x84EC},
  {"violet", 0xF2D7, 0x0856, 0x84EC}, {"purple", 0xF2D7, 0x0856, 0x84EC},    {"red", 0xDD6B, 0x08C2, 0x06A2},
  {"cyan", 0x0241, 0xAB54, 0xEAFF},   {"green", 0x0000, 0x64AF, 0x11B0},     {"blue", 0x0000, 0x0000, 0xD400},
  {"white", 0xFFFF, 0xFFFF, 0xFFFF},  {"", 0xFFFF, 0xFFFF, 0xFFFF},          {"orange", 0xFFFF, 0x91EA, 0x170A},
  {"gray", 0x8888, 0x8888, 0x8888},   {"lightgray", 0xCCCC, 0xCCCC, 0xCCCC}, {"darkgray", 0x4444, 0x4444, 0x4444},
};
// Sets the tag and keeps the channels.
constexpr std::string_view kPatternName = "pattern";

constexpr Keyword kQualityNames[] = {
  {"lossless", 1024}, {"max", 1023}, {"min", 0}, {"low", 256}, {"normal", 512}, {"high", 768},
};

constexpr Keyword kShapeNames[] = {
  {"rectangle", 1},      {"rect", 1},      {"oval", 2}, {"polygon", 3}, {"poly", 3},
  {"roundrectangle", 4}, {"roundrect", 4}, {"text", 5}, {"line", 6},
};

constexpr Keyword kDrawOperationNames[] = {{"draw", 1}, {"paint", 2}, {"both", 3}};
constexpr Keyword kHAlignNames[] = {{"left", 0}, {"middle", 1}, {"right", 2}};
constexpr Keyword kVAlignNames[] = {{"top", 0}, {"middle", 1}, {"bottom", 2}};

constexpr Keyword kTransferModeNames[] = {
  {"copy", 0},     {"addpin", 33},   {"addover", 34},      {"subpin", 35},         {"addmax", 37},
  {"subover", 38}, {"addmin", 39},   {"transparent", 256}, {"prewhitealpha", 257}, {"preblackalpha", 258},
  {"blend", 260},  {"submin", 4095},
};

constexpr Keyword kChannelNames[] = {{"red", 0}, {"green", 1}, {"blue", 2}, {"alpha", 3}};
constexpr Keyword kDepthNames[] = {{"millions", 32}, {"thousands", 16}, {"256", 8}, {"16", 4}, {"2", 1}};
constexpr Keyword kSelectionTypeNames[] = {{"color", 0}, {"notcolor", 1}, {"all", 2}, {"none", 3}};
constexpr Keyword kPaletteNames[] = {
  {"websafe", 0},  {"windows", 1},   {"macintosh", 2},   {"uniform", 3},
  {"adaptive", 4}, {"grayscale", 5}, {"black&white", 6},
};
constexpr Keyword kColorCountNames[] = {{"millions", 16777216}, {"thousands", 65536}};

constexpr Keyword kCharsetNames[] = {
  {"ANSI", 0},      {"DEFAULT", 1},   {"SYMBOL", 2},       {"MAC", 77},         {"SHIFTJIS", 128},
  {"HANGEUL", 129}, {"HANGUL", 129},  {"JOHAB", 130},      {"GB2312", 134},     {"CHINESEBIG5", 136},
  {"GREEK", 161},   {"TURKISH", 162}, {"VIETNAMESE", 163}, {"HEBREW", 177},     {"ARABIC", 178},
  {"BALTIC", 186},  {"RUSSIAN", 204}, {"THAI", 222},       {"EASTEUROPE", 238},
};
// The wording of 134 is not its keyword.
constexpr Keyword kCharsetDisplayNames[] = {
  {"ANSI", 0},     {"Default", 1},  {"Symbol", 2},        {"Mac", 77},      {"ShiftJIS", 128}, {"Hangul", 129},
  {"Johab", 130},  {"BG2312", 134}, {"ChineseBig5", 136}, {"Greek", 161},   {"Turkish", 162},  {"Vietnamese", 163},
  {"Hebrew", 177}, {"Arabic", 178}, {"Baltic", 186},      {"Russian", 204}, {"Thai", 222},     {"EastEurope", 238},
};

// ImageMagick's numbering of colour spaces, as the system reports them.
constexpr std::string_view kColorSpaceNames[] = {
  "Undefined", "RGB", "Gray", "Transparent", "OHTA", "XYZ", "YCbCr", "YCC", "YIQ", "YPbPr", "YUV", "CMYK", "sRGB",
};

constexpr std::string_view kTextStyleNames[] = {"bold", "italic", "underline", "strikethru"};

template <std::size_t N>
bool FindKeyword(const Keyword (&inTable)[N], std::string_view inText, LONG& outValue)
{
  for (const Keyword& theKeyword : inTable) {
    if (EqualsIgnoringCase(theKeyword.mName, inText)) {
      outValue = theKeyword.mValue;
      return true;
    }
  }
  return false;
}

template <std::size_t N>
std::string FindName(const Keyword (&inTable)[N], LONG inValue)
{
  for (const Keyword& theKeyword : inTable)
    if (theKeyword.mValue == inValue)
      return std::string(theKeyword.mName);
  return {};
}

// White space as the C library's scanners skip it.
bool IsSpace(char inChar)
{
  return inChar == ' ' || (inChar >= '\t' && inChar <= '\r');
}

std::string_view SkipSpace(std::string_view inText)
{
  std::size_t theAt = 0;
  while (theAt < inText.size() && IsSpace(inText[theAt]))
    ++theAt;
  return inText.substr(theAt);
}

bool IsHexDigit(char inChar)
{
  return (inChar >= '0' && inChar <= '9') || (inChar >= 'a' && inChar <= 'f') || (inChar >= 'A' && inChar <= 'F');
}

// "%lx" after a "0x" that begins the text: hexadecimal digits only, as an
// unsigned 32-bit number (larger numbers give 0xFFFFFFFF); "0x" without
// digits reads as the 0 before the x.
LONG ScanHexadecimal(std::string_view inDigits)
{
  std::int64_t theValue = 0;
  if (inDigits.empty() || !IsHexDigit(inDigits.front()))
    return 0;
  ScanInteger(inDigits, 16, theValue);
  return static_cast<LONG>(static_cast<DWORD>(std::min<std::int64_t>(theValue, 0xFFFFFFFF)));
}

// One byte of "#RRGGBB": the pair scanned as "0x" and the pair with "%lx".
bool ParseHexByte(std::string_view inPair, WORD& outChannel)
{
  if (!IsHexDigit(inPair.front()))
    return false;
  DWORD theValue = static_cast<DWORD>(ScanHexadecimal(inPair));
  outChannel = static_cast<WORD>((theValue & 0xFF) << 8);
  return true;
}

template <typename T, typename Parser>
bool ParseList(std::string_view inText, std::vector<T>& outValues, std::size_t inMax, Parser inParse)
{
  outValues.clear();
  std::string_view theRest = inText;
  while (!theRest.empty() && outValues.size() < inMax) {
    T theItem{};
    if (!inParse(theRest, theItem))
      break;
    outValues.push_back(theItem);
    theRest = NextListItem(theRest);
  }
  return theRest.empty();
}

// The low byte of an integer item in the high byte of a channel.
WORD ChannelFromByte(LONG inValue)
{
  return static_cast<WORD>((static_cast<DWORD>(inValue) & 0xFF) << 8);
}

bool IsByteArray(const VARIANT& inVariant)
{
  return (inVariant.vt & ~VT_BYREF) == (VT_ARRAY | VT_UI1);
}

// Where a byte-array VARIANT keeps its array: in itself or behind its reference.
SAFEARRAY** ArrayHandleOf(const VARIANT& inVariant)
{
  return (inVariant.vt & VT_BYREF) ? inVariant.pparray : const_cast<SAFEARRAY**>(&inVariant.parray);
}

// The array of a byte-array VARIANT; null (after an assertion) when the
// VARIANT holds none.
SAFEARRAY* ReachByteArray(SAFEARRAY** theArrayH)
{
  TL_ASSERT((theArrayH) && (*theArrayH));
  return theArrayH ? *theArrayH : nullptr;
}

}  // namespace

// ---- Parsers

bool ParseString(std::string_view inText, std::string& outValue)
{
  if (inText.size() > kMaxStringValue)
    return false;
  outValue.assign(inText);
  return true;
}

bool ParseLong(std::string_view inText, LONG& outValue)
{
  LONG theVal = 0;
  if (StartsWithIgnoringCase(inText, "0x")) {
    theVal = ScanHexadecimal(inText.substr(2));
  } else {
    std::string_view theNumber = SkipSpace(StartsWithIgnoringCase(inText, "0d") ? inText.substr(2) : inText);
    std::int64_t theWide = 0;
    if (ScanInteger(theNumber, 10, theWide).mStatus == ScanStatus::kNone)
      return false;
    theVal = ClampToLong(theWide);
  }
  TL_ASSERT_TEXT(theVal != kMinLong, "theVal != LONG_MIN");
  outValue = theVal;
  return true;
}

bool ParseFloat(std::string_view inText, float& outValue)
{
  // Half a unit in the last place above the largest float: what rounds to it.
  constexpr double kLimit = 3.4028235677973366e38;
  double theWide = 0;
  if (ScanDouble(SkipSpace(inText), theWide).mStatus != ScanStatus::kOk || !(std::abs(theWide) < kLimit))
    return false;
  float theVal = static_cast<float>(theWide);
  TL_ASSERT(theVal != FLT_MIN);
  outValue = theVal;
  return true;
}

bool ParseBool(std::string_view inText, LONG& outValue)
{
  constexpr Keyword kBoolNames[] = {{"true", 1}, {"false", 0}, {"yes", 1}, {"no", 0}};
  if (FindKeyword(kBoolNames, inText, outValue))
    return true;
  LONG theNumber = 0;
  if (!ParseLong(inText, theNumber))
    return false;
  outValue = theNumber != 0 ? 1 : 0;
  return true;
}

bool ParseLongList(std::string_view inText, std::vector<LONG>& outValues, std::size_t inMax)
{
  return ParseList(inText, outValues, inMax,
                   [](std::string_view inItem, LONG& outItem) { return ParseLong(inItem, outItem); });
}

bool ParseFloatList(std::string_view inText, std::vector<float>& outValues, std::size_t inMax)
{
  return ParseList(inText, outValues, inMax,
                   [](std::string_view inItem, float& outItem) { return ParseFloat(inItem, outItem); });
}

bool ParseFloatPoints(std::string_view inText, std::vector<FloatPoint>& outPoints, std::size_t inMaxPoints)
{
  std::vector<float> theValues;
  if (!ParseFloatList(inText, theValues, 2 * inMaxPoints) || theValues.size() % 2 != 0)
    return false;
  for (float theValue : theValues)
    if (!(theValue > -32768.0f && theValue < 32767.0f))
      return false;
  outPoints.clear();
  outPoints.reserve(theValues.size() / 2);
  for (std::size_t i = 0; i < theValues.size(); i += 2)
    outPoints.push_back({theValues[i], theValues[i + 1]});
  return true;
}

bool ParseRect(std::string_view inText, RECT& outRect)
{
  std::vector<LONG> theValues;
  if (!ParseLongList(inText, theValues, 5) || theValues.size() != 4)
    return false;
  outRect = {theValues[0], theValues[1], theValues[2], theValues[3]};
  return true;
}

bool ParsePoint(std::string_view inText, POINT& outPoint)
{
  std::vector<LONG> theValues;
  if (!ParseLongList(inText, theValues, 3) || theValues.size() != 2)
    return false;
  outPoint = {theValues[0], theValues[1]};
  return true;
}

WORD ChannelFromPercent(float inPercent)
{
  if (std::isnan(inPercent))
    return 0;
  const double thePercent = std::clamp(static_cast<double>(inPercent), 0.0, 100.0);
  return static_cast<WORD>(thePercent * static_cast<double>(0.01f) * 65535.0);
}

double PercentFromChannel(WORD inChannel)
{
  constexpr float kScale = 1.0f / 65280.0f;
  return std::clamp(inChannel * 100.0 * static_cast<double>(kScale), 0.0, 100.0);
}

bool ParseColor(std::string_view inText, ColorValue& outColor)
{
  for (const ColorKeyword& theKeyword : kColorNames) {
    if (EqualsIgnoringCase(theKeyword.mName, inText)) {
      outColor = ColorValue(theKeyword.mRed, theKeyword.mGreen, theKeyword.mBlue, 65535);
      return true;
    }
  }
  if (EqualsIgnoringCase(kPatternName, inText)) {
    outColor.mTag = ColorValue::kPatternTag;
    return true;
  }

  if (StartsWithIgnoringCase(inText, "0x") || StartsWithIgnoringCase(inText, "0d")) {
    std::vector<LONG> theValues;
    if (!ParseLongList(inText, theValues, 5) || theValues.size() < 3 || theValues.size() > 4)
      return false;
    outColor.mRed = ChannelFromByte(theValues[0]);
    outColor.mGreen = ChannelFromByte(theValues[1]);
    outColor.mBlue = ChannelFromByte(theValues[2]);
    outColor.mAlpha = theValues.size() == 4 ? ChannelFromByte(theValues[3]) : 65535;
    outColor.mTag = ColorValue::kPlainTag;
    return true;
  }

  if (!inText.empty() && inText.front() == '#') {
    if (inText.size() < 7)
      return false;
    ColorValue theColor;
    if (!ParseHexByte(inText.substr(1, 2), theColor.mRed) || !ParseHexByte(inText.substr(3, 2), theColor.mGreen) ||
        !ParseHexByte(inText.substr(5, 2), theColor.mBlue))
      return false;
    if (inText.size() >= 9 && !ParseHexByte(inText.substr(7, 2), theColor.mAlpha))
      return false;
    outColor = theColor;
    return true;
  }

  std::vector<float> thePercents;
  if (!ParseFloatList(inText, thePercents, 5) || thePercents.size() < 3 || thePercents.size() > 4)
    return false;
  outColor.mRed = ChannelFromPercent(thePercents[0]);
  outColor.mGreen = ChannelFromPercent(thePercents[1]);
  outColor.mBlue = ChannelFromPercent(thePercents[2]);
  outColor.mAlpha = thePercents.size() == 4 ? ChannelFromPercent(thePercents[3]) : 65535;
  outColor.mTag = ColorValue::kPlainTag;
  return true;
}

bool ParseQuality(std::string_view inText, LONG& outQuality)
{
  outQuality = 512;
  if (FindKeyword(kQualityNames, inText, outQuality))
    return true;
  float thePercent = 0;
  if (ParseFloat(inText, thePercent)) {
    double theQuality = thePercent * static_cast<double>(0.01f) * 1024 + 0.5;
    outQuality = theQuality < 0 ? 0 : theQuality > 1024 ? 1024 : static_cast<LONG>(theQuality);
  }
  return true;
}

bool ParseShape(std::string_view inText, LONG& outShape)
{
  return FindKeyword(kShapeNames, inText, outShape);
}

bool ParseDrawOperation(std::string_view inText, LONG& outOperation)
{
  return FindKeyword(kDrawOperationNames, inText, outOperation);
}

bool ParseHAlign(std::string_view inText, LONG& outAlign)
{
  return FindKeyword(kHAlignNames, inText, outAlign);
}

bool ParseVAlign(std::string_view inText, LONG& outAlign)
{
  return FindKeyword(kVAlignNames, inText, outAlign);
}

bool ParseTransferMode(std::string_view inText, WORD& outMode)
{
  LONG theMode = 0;
  if (!FindKeyword(kTransferModeNames, inText, theMode))
    return false;
  outMode = static_cast<WORD>(theMode);
  return true;
}

bool ParseChannel(std::string_view inText, LONG& outChannel)
{
  return FindKeyword(kChannelNames, inText, outChannel);
}

bool ParseDepth(std::string_view inText, LONG& outDepth)
{
  return FindKeyword(kDepthNames, inText, outDepth);
}

bool ParseSelectionType(std::string_view inText, LONG& outType)
{
  return FindKeyword(kSelectionTypeNames, inText, outType);
}

bool ParsePalette(std::string_view inText, LONG& outPalette)
{
  return FindKeyword(kPaletteNames, inText, outPalette);
}

bool ParseTextStyle(std::string_view inText, FontStyle& outStyle)
{
  outStyle = FontStyle();
  for (std::string_view theRest = inText; !theRest.empty(); theRest = NextListItem(theRest)) {
    std::string theItem;
    if (!CopyListItem(theRest, theItem, kMaxStringValue + 1))
      return false;
    if (EqualsIgnoringCase(theItem, kTextStyleNames[0])) {
      outStyle.mBold = 1;
      outStyle.mWeight = 700;
    } else if (EqualsIgnoringCase(theItem, kTextStyleNames[1])) {
      outStyle.mItalic = 1;
    } else if (EqualsIgnoringCase(theItem, kTextStyleNames[2])) {
      outStyle.mUnderline = 1;
    } else if (EqualsIgnoringCase(theItem, kTextStyleNames[3])) {
      outStyle.mStrikethrough = 1;
    } else {
      return false;
    }
  }
  return true;
}

bool ParseColorCount(std::string_view inText, LONG& outCount)
{
  return FindKeyword(kColorCountNames, inText, outCount) || ParseLong(inText, outCount);
}

bool ParseCharset(std::string_view inText, LONG& outCharset)
{
  if (!FindKeyword(kCharsetNames, inText, outCharset) && !ParseLong(inText, outCharset))
    outCharset = 0;
  return true;
}

// ---- Formatters

void AppendDecimal(std::string& ioText, LONGLONG inValue)
{
  char theDigits[24];
  ioText.append(theDigits, std::to_chars(theDigits, theDigits + sizeof theDigits, inValue).ptr);
}

std::string FormatLong(LONG inValue)
{
  std::string theText;
  AppendDecimal(theText, inValue);
  return theText;
}

std::string FormatRect(const RECT& inRect)
{
  std::string theText;
  for (LONG theSide : {inRect.left, inRect.top, inRect.right, inRect.bottom}) {
    if (!theText.empty())
      theText += ',';
    AppendDecimal(theText, theSide);
  }
  return theText;
}

std::string FormatPoint(const POINT& inPoint)
{
  std::string theText;
  AppendDecimal(theText, inPoint.x);
  theText += ',';
  AppendDecimal(theText, inPoint.y);
  return theText;
}

std::string FormatColor(const ColorValue& inColor)
{
  if (inColor.IsPattern())
    return std::string(kPatternName);
  return FormatC("%.1f,%.1f,%.1f,%.1f", PercentFromChannel(inColor.mRed), PercentFromChannel(inColor.mGreen),
                 PercentFromChannel(inColor.mBlue), PercentFromChannel(inColor.mAlpha));
}

std::string FormatHAlign(LONG inAlign)
{
  return FindName(kHAlignNames, inAlign);
}

std::string FormatVAlign(LONG inAlign)
{
  return FindName(kVAlignNames, inAlign);
}

std::string FormatTextStyle(const FontStyle& inStyle)
{
  std::string theText;
  if (inStyle.mBold)
    theText += "bold,";
  if (inStyle.mItalic)
    theText += "italic,";
  if (inStyle.mUnderline)
    theText += "underline,";
  if (inStyle.mStrikethrough)
    theText += "strikethru,";
  if (!theText.empty())
    theText.pop_back();
  return theText;
}

std::string FormatDepth(LONG inDepth)
{
  if (inDepth > 16)
    return "millions";
  if (inDepth >= 9)
    return "thousands";
  return FormatLong(static_cast<LONG>(1u << (static_cast<DWORD>(inDepth) & 31u)));
}

std::string FormatColorSpace(LONG inColorSpace)
{
  if (inColorSpace < 0 || inColorSpace >= static_cast<LONG>(std::size(kColorSpaceNames))) {
    TL_ASSERT(FALSE);
    return {};
  }
  return std::string(kColorSpaceNames[inColorSpace]);
}

std::string FormatCharset(LONG inCharset)
{
  std::string theName = FindName(kCharsetDisplayNames, inCharset);
  return theName.empty() ? FormatLong(inCharset) : theName;
}

// ---- Counts and depths

LONG BitsForColorCount(LONG inCount)
{
  constexpr struct {
    LONG mAbove;
    LONG mBits;
  } kSteps[] = {{65536, 32}, {256, 16}, {128, 8}, {64, 7}, {32, 6}, {16, 5}, {8, 4}, {4, 3}, {2, 2}};
  for (const auto& theStep : kSteps)
    if (inCount > theStep.mAbove)
      return theStep.mBits;
  return 1;
}

LONG ColorCountForDepth(LONG inDepth)
{
  return LONG{1} << std::clamp<LONG>(inDepth, 0, 24);
}

// ---- List items and characters

std::string_view NextListItem(std::string_view inText)
{
  std::size_t theSeparator = inText.find(kListSeparator);
  return theSeparator == std::string_view::npos ? std::string_view() : inText.substr(theSeparator + 1);
}

bool CopyListItem(std::string_view inText, std::string& outItem, std::size_t inSize)
{
  std::string_view theItem = SkipSpace(inText);
  theItem = theItem.substr(0, theItem.find(kListSeparator));
  std::size_t theRoom = inSize > 0 ? inSize - 1 : 0;
  outItem.assign(utf8::Cut(theItem, theRoom));
  return theItem.size() <= theRoom;
}

void ReplaceChar(std::string& ioText, char inFrom, char inTo)
{
  std::replace(ioText.begin(), ioText.end(), inFrom, inTo);
}

std::string ShowNul(std::string_view inText)
{
  std::string theShown;
  for (std::size_t theNul; (theNul = inText.find('\0')) != std::string_view::npos; inText.remove_prefix(theNul + 1))
    theShown.append(inText.substr(0, theNul)).append("\\0");
  return theShown.append(inText);
}

LONG PStrToCStr(char* outCstr, const BYTE* inPstr)
{
  TL_ASSERT(outCstr && inPstr);
  if (!outCstr || !inPstr)
    return 0;
  const BYTE theLength = inPstr[0];
  std::copy(inPstr + 1, inPstr + 1 + theLength, outCstr);
  outCstr[theLength] = '\0';
  return theLength;
}

// ---- Rectangles and points

LONG RectWidth(const RECT& inRect)
{
  return ClampToLong(std::int64_t{inRect.right} - inRect.left);
}

LONG RectHeight(const RECT& inRect)
{
  return ClampToLong(std::int64_t{inRect.bottom} - inRect.top);
}

RECT OffsetRectBy(const RECT& inRect, LONG inDx, LONG inDy)
{
  return {ClampToLong(std::int64_t{inRect.left} + inDx), ClampToLong(std::int64_t{inRect.top} + inDy),
          ClampToLong(std::int64_t{inRect.right} + inDx), ClampToLong(std::int64_t{inRect.bottom} + inDy)};
}

RECT MoveRectToOrigin(const RECT& inRect)
{
  return {0, 0, RectWidth(inRect), RectHeight(inRect)};
}

RECT IntersectRects(const RECT& inA, const RECT& inB)
{
  return {std::max(inA.left, inB.left), std::max(inA.top, inB.top), std::min(inA.right, inB.right),
          std::min(inA.bottom, inB.bottom)};
}

POINT MakePoint(LONG inX, LONG inY)
{
  return {inX, inY};
}

POINT RoundPoint(double inX, double inY)
{
  return {RoundToLong(inX), RoundToLong(inY)};
}

// ---- Byte arrays in VARIANTs

HRESULT PtrToVARIANT(const void* inPtr, DWORD inLength, VARIANT* inVar)
{
  TL_ASSERT(inVar);
  TL_ASSERT_TEXT(inPtr || inLength == 0, "inPtr");
  if (!inVar || (!inPtr && inLength > 0))
    return E_POINTER;
  VariantInit(inVar);
  SAFEARRAY* theArray = SafeArrayCreateVector(VT_UI1, 0, inLength);
  if (!theArray)
    return E_OUTOFMEMORY;
  void* theData = nullptr;
  HRESULT theResult = SafeArrayAccessData(theArray, &theData);
  if (FAILED(theResult)) {
    SafeArrayDestroy(theArray);
    return theResult;
  }
  if (!theData) {
    LogEvent("%s", EVENTLOG_WARNING_TYPE, "SafeArrayAccessData in PtrToVARIANT failed without error");
    SafeArrayUnaccessData(theArray);
    SafeArrayDestroy(theArray);
    return E_POINTER;
  }
  if (inLength > 0)
    std::memcpy(theData, inPtr, inLength);
  SafeArrayUnaccessData(theArray);
  inVar->vt = VT_ARRAY | VT_UI1;
  inVar->parray = theArray;
  return S_OK;
}

HRESULT AccessVARIANT(const VARIANT& inVariant, BYTE*& outData, LONG& outLength)
{
  outData = nullptr;
  outLength = 0;
  if (!IsByteArray(inVariant))
    return E_INVALIDARG;
  SAFEARRAY* theArray = ReachByteArray(ArrayHandleOf(inVariant));
  VARTYPE theType = VT_EMPTY;
  if (!theArray || SafeArrayGetDim(theArray) != 1 || FAILED(SafeArrayGetVartype(theArray, &theType)) ||
      theType != VT_UI1)
    return E_INVALIDARG;
  LONG theLower = 0, theUpper = 0;
  if (HRESULT theResult = SafeArrayGetLBound(theArray, 1, &theLower); FAILED(theResult))
    return theResult;
  if (HRESULT theResult = SafeArrayGetUBound(theArray, 1, &theUpper); FAILED(theResult))
    return theResult;
  LONG outLen = ClampToLong(LONGLONG{theUpper} - theLower + 1);
  TL_ASSERT(outLen >= 0);
  void* theData = nullptr;
  if (HRESULT theResult = SafeArrayAccessData(theArray, &theData); FAILED(theResult))
    return theResult;
  if (!theData) {
    LogEvent("%s", EVENTLOG_WARNING_TYPE, "SafeArrayAccessData in AccessVARIANT failed without error");
    SafeArrayUnaccessData(theArray);
    return E_POINTER;
  }
  outData = static_cast<BYTE*>(theData);
  outLength = std::max<LONG>(outLen, 0);
  return S_OK;
}

HRESULT UnaccessVARIANT(const VARIANT& inVariant)
{
  if (!IsByteArray(inVariant))
    return E_INVALIDARG;
  if (SAFEARRAY* theArray = ReachByteArray(ArrayHandleOf(inVariant)))
    SafeArrayUnaccessData(theArray);
  return S_OK;
}
