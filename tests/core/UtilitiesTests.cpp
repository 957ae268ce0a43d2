#include "core/Utilities.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>
#include <vector>

namespace {

// The text as given, in upper case and in alternating case.
std::vector<std::string> CaseVariants(const std::string& inText)
{
  std::string theUpper = inText, theMixed = inText;
  for (std::size_t i = 0; i < inText.size(); ++i) {
    theUpper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(inText[i])));
    if (i % 2 == 0)
      theMixed[i] = theUpper[i];
  }
  return {inText, theUpper, theMixed};
}

template <typename Parser>
void CheckTable(const char* inTable, Parser inParse, std::initializer_list<std::pair<const char*, LONG>> inCases)
{
  for (const auto& [theKeyword, theWanted] : inCases)
    for (const std::string& theText : CaseVariants(theKeyword)) {
      LONG theValue = -12345;
      EXPECT_TRUE(inParse(theText, theValue)) << inTable << ": " << theText;
      EXPECT_EQ(theValue, theWanted) << inTable << ": " << theText;
    }
}

std::string Describe(const ColorValue& inColor)
{
  return std::to_string(inColor.mRed) + "," + std::to_string(inColor.mGreen) + "," + std::to_string(inColor.mBlue) +
         "," + std::to_string(inColor.mAlpha) + " tag " + std::to_string(inColor.mTag);
}

}  // namespace

TEST(Utilities, ParsesEveryKeywordTableInAnyCase)
{
  CheckTable("shape", ParseShape,
             {{"rectangle", 1}, {"rect", 1}, {"oval", 2}, {"polygon", 3}, {"poly", 3}, {"roundrectangle", 4},
              {"roundrect", 4}, {"text", 5}, {"line", 6}});
  CheckTable("operation", ParseDrawOperation, {{"draw", 1}, {"paint", 2}, {"both", 3}});
  CheckTable("halign", ParseHAlign, {{"left", 0}, {"middle", 1}, {"right", 2}});
  CheckTable("valign", ParseVAlign, {{"top", 0}, {"middle", 1}, {"bottom", 2}});
  CheckTable("mode",
             [](std::string_view inText, LONG& outValue) {
               WORD theMode = 0xBEEF;
               const bool theOk = ParseTransferMode(inText, theMode);
               outValue = theMode;
               return theOk;
             },
             {{"copy", 0}, {"addpin", 33}, {"addover", 34}, {"subpin", 35}, {"addmax", 37}, {"subover", 38},
              {"addmin", 39}, {"transparent", 256}, {"prewhitealpha", 257}, {"preblackalpha", 258}, {"blend", 260},
              {"submin", 4095}});
  CheckTable("channel", ParseChannel, {{"red", 0}, {"green", 1}, {"blue", 2}, {"alpha", 3}});
  CheckTable("depth", ParseDepth, {{"millions", 32}, {"thousands", 16}, {"256", 8}, {"16", 4}, {"2", 1}});
  CheckTable("selectiontype", ParseSelectionType, {{"color", 0}, {"notcolor", 1}, {"all", 2}, {"none", 3}});
  CheckTable("palette", ParsePalette,
             {{"websafe", 0}, {"windows", 1}, {"macintosh", 2}, {"uniform", 3}, {"adaptive", 4}, {"grayscale", 5},
              {"black&white", 6}});
  CheckTable("quality", ParseQuality,
             {{"lossless", 1024}, {"max", 1023}, {"min", 0}, {"low", 256}, {"normal", 512}, {"high", 768}});
  CheckTable("colorcount", ParseColorCount, {{"millions", 16777216}, {"thousands", 65536}, {"300", 300}});
  // The other charsets are read back from their display names in FormatsKeywordsBack.
  CheckTable("charset", ParseCharset, {{"hangeul", 129}, {"hangul", 129}, {"gb2312", 134}, {"easteurope", 238}});
  CheckTable("bool", ParseBool, {{"true", 1}, {"false", 0}, {"yes", 1}, {"no", 0}, {"7", 1}, {"0", 0}, {"0x0", 0}});

  LONG theValue = 0;
  WORD theMode = 0;
  for (const char* theText : {"24", "8", "", "million", "millions "})
    EXPECT_FALSE(ParseDepth(theText, theValue)) << theText;
  EXPECT_FALSE(ParseShape("circle", theValue));
  EXPECT_FALSE(ParseTransferMode("add", theMode));
  EXPECT_FALSE(ParseHAlign("center", theValue));
  EXPECT_FALSE(ParsePalette("black & white", theValue));
  EXPECT_FALSE(ParseBool("maybe", theValue));
  // A letter outside ASCII never matches a keyword by case folding.
  EXPECT_FALSE(ParseHAlign("l\xC3\xA9"
                           "ft",
                           theValue));
}

TEST(Utilities, FormatsKeywordsBack)
{
  for (LONG theAlign : {0, 1, 2}) {
    LONG theBack = -1;
    EXPECT_TRUE(ParseHAlign(FormatHAlign(theAlign), theBack) && theBack == theAlign);
    EXPECT_TRUE(ParseVAlign(FormatVAlign(theAlign), theBack) && theBack == theAlign);
  }
  EXPECT_EQ(FormatHAlign(5), "");
  EXPECT_EQ(FormatVAlign(-1), "");

  const std::pair<LONG, const char*> kCharsets[] = {
    {0, "ANSI"},        {1, "Default"}, {2, "Symbol"},      {77, "Mac"},      {128, "ShiftJIS"},
    {129, "Hangul"},    {130, "Johab"}, {134, "BG2312"},    {136, "ChineseBig5"}, {161, "Greek"},
    {162, "Turkish"},   {163, "Vietnamese"}, {177, "Hebrew"}, {178, "Arabic"}, {186, "Baltic"},
    {204, "Russian"},   {222, "Thai"},  {238, "EastEurope"}, {7, "7"},        {-3, "-3"},
  };
  for (const auto& [theNumber, theText] : kCharsets) {
    EXPECT_EQ(FormatCharset(theNumber), theText);
    LONG theBack = -1;
    EXPECT_TRUE(ParseCharset(FormatCharset(theNumber), theBack));
    // The display name of 134 is not a keyword, and reads as 0.
    EXPECT_EQ(theBack, theNumber == 134 ? 0 : theNumber) << theText;
  }

  const std::pair<LONG, const char*> kDepths[] = {{32, "millions"},  {24, "millions"},  {17, "millions"},
                                                  {16, "thousands"}, {9, "thousands"},  {8, "256"},
                                                  {4, "16"},         {2, "4"},          {1, "2"},  {0, "1"}};
  for (const auto& [theDepth, theText] : kDepths)
    EXPECT_EQ(FormatDepth(theDepth), theText) << theDepth;

  // Every colour space by its number; outside the table an assertion and nothing.
  const char* const kSpaces[] = {"Undefined", "RGB", "Gray", "Transparent", "OHTA", "XYZ", "YCbCr",
                                 "YCC",       "YIQ", "YPbPr", "YUV",        "CMYK", "sRGB"};
  for (LONG i = 0; i < static_cast<LONG>(std::size(kSpaces)); ++i)
    EXPECT_EQ(FormatColorSpace(i), kSpaces[i]) << i;
  tltest::EventWatcher theWatcher;
  EXPECT_EQ(FormatColorSpace(13), "");
  EXPECT_EQ(FormatColorSpace(-1), "");
  EXPECT_EQ(theWatcher.NewTexts().size(), 2u);
}

TEST(Utilities, ParsesColours)
{
  const ColorValue kUntouched(1, 2, 3, 4);
  const std::pair<const char*, ColorValue> kCases[] = {
    {"black", {0, 0, 0, 65535}}, {"YELLOW", {0xFC00, 0xF37D, 0x052F, 65535}},
    {"magenta", {0xF2D7, 0x0856, 0x84EC, 65535}}, {"Violet", {0xF2D7, 0x0856, 0x84EC, 65535}},
    {"purple", {0xF2D7, 0x0856, 0x84EC, 65535}}, {"red", {0xDD6B, 0x08C2, 0x06A2, 65535}},
    {"cyan", {0x0241, 0xAB54, 0xEAFF, 65535}}, {"green", {0x0000, 0x64AF, 0x11B0, 65535}},
    {"blue", {0x0000, 0x0000, 0xD400, 65535}}, {"white", {0xFFFF, 0xFFFF, 0xFFFF, 65535}},
    {"", {0xFFFF, 0xFFFF, 0xFFFF, 65535}}, {"orange", {0xFFFF, 0x91EA, 0x170A, 65535}},
    {"gray", {0x8888, 0x8888, 0x8888, 65535}}, {"LightGray", {0xCCCC, 0xCCCC, 0xCCCC, 65535}},
    {"darkgray", {0x4444, 0x4444, 0x4444, 65535}}, {"#FF0000", {65280, 0, 0, 65535}},
    {"#ff000080", {65280, 0, 0, 32768}}, {"#FF00001", {65280, 0, 0, 65535}},
    {"#0a0B0c0D0e", {0x0A00, 0x0B00, 0x0C00, 0x0D00}}, {"100,0,0", {65534, 0, 0, 65535}},
    {"150,-5,0,50", {65534, 0, 0, 32767}}, {"50,50,50", {32767, 32767, 32767, 65535}},
    {"0x10,0x20,0x30", {4096, 8192, 12288, 65535}}, {"0X10,0x20,0x30,0x40", {4096, 8192, 12288, 16384}},
    {"0d300,0,0", {44 * 256, 0, 0, 65535}}, {"0x10, 0x20, 0x30", {4096, 0, 0, 65535}},
    {"0x1p3,0,0", {256, 0, 0, 65535}},  // an integer list: the "p3" is ignored
    {"0,0x1p3,0", {0, 0, 0, 65535}},    // no hexadecimal floats
  };
  for (const auto& [theText, theWanted] : kCases) {
    ColorValue theColor = kUntouched;
    theColor.mTag = 1;
    EXPECT_TRUE(ParseColor(theText, theColor)) << theText;
    EXPECT_EQ(theColor, theWanted) << theText << " gave " << Describe(theColor);
  }
  for (const char* theBad : {"#FF", "#FF00", "#GG0000", "#FF00GG", "#FF0000ZZ", "0x10,0x20", "0x1,2,3,4,5", "10,20",
                             "10,20,30,40,50", "10,,30", "nan,0,0", "inf,0,0", "1e39,0,0", "rouge"}) {
    ColorValue theColor = kUntouched;
    EXPECT_FALSE(ParseColor(theBad, theColor)) << theBad;
  }

  ColorValue thePattern(10, 20, 30, 40);
  for (const std::string& theText : CaseVariants("pattern")) {
    EXPECT_TRUE(ParseColor(theText, thePattern));
    EXPECT_EQ(Describe(thePattern), "10,20,30,40 tag 1");
  }
}

TEST(Utilities, FormatsColoursAsPercentagesWhateverTheLocale)
{
  const std::pair<ColorValue, const char*> kCases[] = {
    {{65535, 65535, 65535, 65535}, "100.0,100.0,100.0,100.0"}, {{65280, 0, 0, 65535}, "100.0,0.0,0.0,100.0"},
    {{0x8888, 0xCCCC, 0x4444, 32768}, "53.5,80.3,26.8,50.2"}, {{32767, 0, 0, 0}, "50.2,0.0,0.0,0.0"},
  };
  ASSERT_TRUE(tltest::SwitchToCommaLocale(LC_NUMERIC));
  for (const auto& [theColor, theText] : kCases)
    EXPECT_EQ(FormatColor(theColor), theText) << Describe(theColor);
  float theValue = 0;
  EXPECT_TRUE(ParseFloat("1.5", theValue));
  EXPECT_EQ(theValue, 1.5f);
  std::setlocale(LC_NUMERIC, "C");
  ColorValue thePattern;
  thePattern.mTag = 3;
  EXPECT_EQ(FormatColor(thePattern), "pattern");
}

TEST(Utilities, ParsesNumbersWith32BitSemantics)
{
  struct LongCase {
    const char* mText;
    bool mOk;
    LONG mValue;
  };
  const LongCase kLongs[] = {
    {"12abc", true, 12},  {"abc", false, 0},  {"0X1f", true, 31},   {"0d12", true, 12},    {"0D-12", true, -12},
    {"  -7", true, -7},   {"+8", true, 8},    {"\t9", true, 9},     {"", false, 0},        {"-", false, 0},
    {"0x", true, 0},      {"0xg", true, 0},   {" 0x20", true, 0},   {"0d 5", true, 5},     {"1.9", true, 1},
    {"0xFFFFFFFF", true, -1},   {"0x100000000", true, -1},          {"2147483647", true, 2147483647},
    {"2147483648", true, 2147483647},         {"-2147483649", true, -2147483647 - 1},
  };
  for (const LongCase& theCase : kLongs) {
    LONG theValue = 0;
    EXPECT_EQ(ParseLong(theCase.mText, theValue), theCase.mOk) << theCase.mText;
    if (theCase.mOk) {
      EXPECT_EQ(theValue, theCase.mValue) << theCase.mText;
    }
  }

  struct FloatCase {
    const char* mText;
    bool mOk;
    float mValue;
  };
  const FloatCase kFloats[] = {
    {"1.5", true, 1.5f},  {" -2.25x", true, -2.25f}, {".5", true, 0.5f}, {"1e3", true, 1000.0f},
    {"abc", false, 0},    {"nan", false, 0},         {"inf", false, 0},  {"-infinity", false, 0},
    {"0x10", true, 0.0f}, {"1e39", false, 0},        {"-1e39", false, 0}, {"3.4028234e38", true, 3.4028234e38f},
    {"1e-50", true, 0.0f}, {"", false, 0},
    {"12,5", true, 12.0f}, {"3.", true, 3.0f},       {"7E1", true, 70.0f}, {"-16777217", true, -16777216.0f},
    {"9007199254740993", true, 9007199254740992.0f}, {"99999999999999999999", true, static_cast<float>(1e20)},
  };
  for (const FloatCase& theCase : kFloats) {
    float theValue = 0;
    EXPECT_EQ(ParseFloat(theCase.mText, theValue), theCase.mOk) << theCase.mText;
    if (theCase.mOk) {
      EXPECT_EQ(theValue, theCase.mValue) << theCase.mText;
    }
  }
  float theZero = 1;
  EXPECT_TRUE(ParseFloat("-0", theZero));
  EXPECT_TRUE(theZero == 0 && std::signbit(theZero)) << "minus zero keeps its sign";
  // FLT_MIN itself is read, and reported.
  tltest::EventWatcher theWatcher;
  float theSmallest = 0;
  EXPECT_TRUE(ParseFloat("1.1754944e-38", theSmallest));
  EXPECT_EQ(theSmallest, FLT_MIN);
  const std::vector<std::string> theReports = theWatcher.NewTexts();
  ASSERT_EQ(theReports.size(), 1u);
  EXPECT_NE(theReports[0].find("(theVal != FLT_MIN)"), std::string::npos) << theReports[0];

  const std::pair<const char*, LONG> kQualities[] = {{"abc", 512}, {"200", 1024}, {"-10", 0},    {"100", 1024},
                                                     {"50", 512},  {"75", 768},   {"HIGH", 768}, {"", 512}};
  for (const auto& [theText, theWanted] : kQualities) {
    LONG theQuality = -1;
    EXPECT_TRUE(ParseQuality(theText, theQuality));
    EXPECT_EQ(theQuality, theWanted) << theText;
  }
}

TEST(Utilities, ParsesListsRectanglesPointsAndStyles)
{
  for (const auto& [theGood, theWanted] : {std::pair{"1,2,3,4", "1,2,3,4"}, std::pair{"1,2,3,4,", "1,2,3,4"},
                                           std::pair{"-1, 2 ,3,0x10", "-1,2,3,16"}}) {
    RECT theRect{9, 9, 9, 9};
    EXPECT_TRUE(ParseRect(theGood, theRect)) << theGood;
    EXPECT_EQ(FormatRect(theRect), theWanted) << theGood;
  }
  EXPECT_EQ(FormatRect({-2147483647 - 1, -1, 0, 2147483647}), "-2147483648,-1,0,2147483647");
  EXPECT_EQ(FormatLong(-2147483647 - 1), "-2147483648");
  for (const char* theBad : {"1,2,3", "1,2,3,4,5", "1,2,,3,4", "", "1,2,3,4,5,6", "a,b,c,d"}) {
    RECT theRect{};
    EXPECT_FALSE(ParseRect(theBad, theRect)) << theBad;
  }
  POINT thePoint{};
  EXPECT_TRUE(ParsePoint("10,-20", thePoint));
  EXPECT_EQ(FormatPoint(thePoint), "10,-20");
  EXPECT_FALSE(ParsePoint("10", thePoint));
  EXPECT_FALSE(ParsePoint("1,2,3", thePoint));
  std::vector<LONG> theLongs;
  EXPECT_TRUE(ParseLongList("", theLongs, 5) && theLongs.empty());
  EXPECT_FALSE(ParseLongList("1,2,3", theLongs, 2));

  // Points stay within the 16-bit drawing range; a refused list changes nothing.
  std::vector<FloatPoint> thePoints{{7, 7}};
  EXPECT_TRUE(ParseFloatPoints("0.5,1,-32767.5,32766.9", thePoints, 1024));
  EXPECT_EQ(thePoints, (std::vector<FloatPoint>{{0.5f, 1}, {-32767.5f, 32766.9f}}));
  for (const char* theBad : {"0,0,32767,0", "0,-32768", "1,2,3", "x,y"}) {
    std::vector<FloatPoint> theKept{{7, 7}};
    EXPECT_FALSE(ParseFloatPoints(theBad, theKept, 1024)) << theBad;
    EXPECT_EQ(theKept, (std::vector<FloatPoint>{{7, 7}})) << theBad;
  }
  std::string theMany;
  for (int i = 0; i < 1024; ++i)
    theMany += "1,2,";
  EXPECT_TRUE(ParseFloatPoints(theMany, thePoints, 1024));
  EXPECT_EQ(thePoints.size(), 1024u);
  EXPECT_FALSE(ParseFloatPoints(theMany + "3,4", thePoints, 1024));

  const std::tuple<const char*, bool, FontStyle> kStyles[] = {
    {"", true, {}}, {"bold, italic", true, {1, 700, 1, 0, 0}},
    {"UNDERLINE,strikethru,underline", true, {0, 400, 0, 1, 1}}, {"bold,", true, {1, 700, 0, 0, 0}},
    {"bold ,italic", false, {}}, {"bold,,italic", false, {}}, {"heavy", false, {}},
  };
  for (const auto& [theText, theOk, theWanted] : kStyles) {
    FontStyle theStyle{1, 1, 1, 1, 1};
    EXPECT_EQ(ParseTextStyle(theText, theStyle), theOk) << theText;
    if (theOk) {
      EXPECT_EQ(theStyle, theWanted) << theText;
    }
  }
  EXPECT_EQ(FormatTextStyle({1, 400, 1, 1, 1}), "bold,italic,underline,strikethru");
  EXPECT_EQ(FormatTextStyle({0, 700, 0, 0, 1}), "strikethru");
}

TEST(Utilities, CountsColoursAndBits)
{
  const std::pair<LONG, LONG> kCases[] = {{16777216, 32}, {65537, 32}, {65536, 16}, {257, 16}, {256, 8}, {129, 8},
                                          {128, 7},       {65, 7},     {64, 6},     {17, 5},   {16, 4},  {9, 4},
                                          {8, 3},         {5, 3},      {4, 2},      {3, 2},    {2, 1},   {0, 1},
                                          {-5, 1}};
  for (const auto& [theCount, theBits] : kCases)
    EXPECT_EQ(BitsForColorCount(theCount), theBits) << theCount;
  EXPECT_EQ(ColorCountForDepth(32), 16777216);
  EXPECT_EQ(ColorCountForDepth(-4), 1);
}

TEST(Utilities, CutsStringsAndListItemsAtWholeCharacters)
{
  std::string theValue = "kept";
  EXPECT_TRUE(ParseString(std::string(255, 'a'), theValue));
  EXPECT_EQ(theValue.size(), 255u);
  theValue = "kept";
  EXPECT_FALSE(ParseString(std::string(256, 'a'), theValue));
  EXPECT_EQ(theValue, "kept");

  EXPECT_EQ(NextListItem("a,b,c"), "b,c");
  EXPECT_EQ(NextListItem("abc"), "");
  std::string theItem;
  EXPECT_TRUE(CopyListItem("  Arial ,Sans", theItem, 256));
  EXPECT_EQ(theItem, "Arial ");
  EXPECT_FALSE(CopyListItem("abcdef", theItem, 4));
  EXPECT_EQ(theItem, "abc");
  EXPECT_FALSE(CopyListItem("a\xC3\xA9\xC3\xA9", theItem, 5));
  EXPECT_EQ(theItem, "a\xC3\xA9");

  const BYTE kPascal[] = {5, 'h', 'e', 'l', 'l', 'o', 'X'};
  char theC[256];
  EXPECT_EQ(PStrToCStr(theC, kPascal), 5);
  EXPECT_STREQ(theC, "hello");

  // Rectangle arithmetic stays within 32 bits.
  EXPECT_EQ(RectWidth({-2147483647 - 1, 0, 2147483647, 0}), 2147483647);
  EXPECT_EQ(FormatRect(OffsetRectBy({2147483600, 0, 2147483647, 0}, 100, 0)), "2147483647,0,2147483647,0");
  EXPECT_EQ(FormatRect(IntersectRects({10, 20, 110, 70}, {200, 0, 300, 10})), "200,20,110,10");
  EXPECT_EQ(FormatPoint(RoundPoint(2.5, -2.5)), "3,-3");
}

TEST(Utilities, PassesByteArraysThroughVARIANTs)
{
  const BYTE kBytes[] = {0, 1, 2, 250, 255};
  for (DWORD theLength : {0u, 1u, 5u}) {
    SCOPED_TRACE(theLength);
    VARIANT theVariant;
    ASSERT_EQ(PtrToVARIANT(kBytes, theLength, &theVariant), S_OK);
    EXPECT_EQ(theVariant.vt, VT_ARRAY | VT_UI1);
    BYTE* theData = nullptr;
    LONG theSize = -1;
    ASSERT_EQ(AccessVARIANT(theVariant, theData, theSize), S_OK);
    EXPECT_EQ(theSize, static_cast<LONG>(theLength));
    EXPECT_NE(theData, nullptr);
    EXPECT_TRUE(std::equal(theData, theData + theSize, kBytes));
    EXPECT_EQ(VariantClear(&theVariant), DISP_E_ARRAYISLOCKED) << "locked while accessed";
    EXPECT_EQ(UnaccessVARIANT(theVariant), S_OK);

    VARIANT theReference;
    VariantInit(&theReference);
    theReference.vt = VT_BYREF | VT_ARRAY | VT_UI1;
    theReference.pparray = &theVariant.parray;
    ASSERT_EQ(AccessVARIANT(theReference, theData, theSize), S_OK);
    EXPECT_EQ(theSize, static_cast<LONG>(theLength));
    EXPECT_EQ(UnaccessVARIANT(theReference), S_OK);
    EXPECT_EQ(VariantClear(&theVariant), S_OK);
  }
  VARIANT theEmpty;
  EXPECT_EQ(PtrToVARIANT(nullptr, 0, &theEmpty), S_OK);
  VariantClear(&theEmpty);
  EXPECT_EQ(PtrToVARIANT(nullptr, 3, &theEmpty), E_POINTER);
  EXPECT_EQ(PtrToVARIANT(kBytes, 3, nullptr), E_POINTER);
}

TEST(Utilities, RefusesVARIANTsThatHoldNoByteArray)
{
  BYTE* theData = reinterpret_cast<BYTE*>(1);
  LONG theSize = 7;
  Variant theNumber(LONG{5});
  EXPECT_EQ(AccessVARIANT(*theNumber.Get(), theData, theSize), E_INVALIDARG);
  EXPECT_EQ(theData, nullptr);
  EXPECT_EQ(theSize, 0);
  EXPECT_EQ(UnaccessVARIANT(*theNumber.Get()), E_INVALIDARG);

  // An array of VARIANTs, even labelled as bytes, is refused.
  VARIANT theList;
  VariantInit(&theList);
  theList.vt = VT_ARRAY | VT_VARIANT;
  theList.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  EXPECT_EQ(AccessVARIANT(theList, theData, theSize), E_INVALIDARG);
  VARIANT theMislabelled = theList;
  theMislabelled.vt = VT_ARRAY | VT_UI1;
  EXPECT_EQ(AccessVARIANT(theMislabelled, theData, theSize), E_INVALIDARG);
  VariantClear(&theList);

  // No array at all: an assertion and E_INVALIDARG; unaccess leaves it alone.
  tltest::EventWatcher theWatcher;
  VARIANT theMissing;
  VariantInit(&theMissing);
  theMissing.vt = VT_ARRAY | VT_UI1;
  theMissing.parray = nullptr;
  EXPECT_EQ(AccessVARIANT(theMissing, theData, theSize), E_INVALIDARG);
  EXPECT_EQ(UnaccessVARIANT(theMissing), S_OK);
  VARIANT theNullReference = theMissing;
  theNullReference.vt = VT_BYREF | VT_ARRAY | VT_UI1;
  theNullReference.pparray = nullptr;
  EXPECT_EQ(AccessVARIANT(theNullReference, theData, theSize), E_INVALIDARG);
  const std::vector<std::string> theTexts = theWatcher.NewTexts();
  ASSERT_EQ(theTexts.size(), 3u);
  EXPECT_NE(theTexts[0].find("((theArrayH) && (*theArrayH))"), std::string::npos) << theTexts[0];
}
