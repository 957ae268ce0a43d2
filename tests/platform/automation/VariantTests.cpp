// VARIANT conversions, copies and the BSTR / UTF-8 texts under them.

#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"
#include "platform/base/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

Variant I2(SHORT inValue)
{
  Variant theValue;
  theValue.Set(VT_I2).iVal = inValue;
  return theValue;
}
Variant I4(LONG inValue) { return Variant(inValue); }
Variant R4(float inValue)
{
  Variant theValue;
  theValue.Set(VT_R4).fltVal = inValue;
  return theValue;
}
Variant R8(double inValue)
{
  Variant theValue;
  theValue.Set(VT_R8).dblVal = inValue;
  return theValue;
}
Variant Bool(bool inValue)
{
  Variant theValue;
  theValue.Set(VT_BOOL).boolVal = inValue ? VARIANT_TRUE : VARIANT_FALSE;
  return theValue;
}
Variant UI1(BYTE inValue)
{
  Variant theValue;
  theValue.Set(VT_UI1).bVal = inValue;
  return theValue;
}
Variant Text(std::string_view inText) { return Variant(inText); }
Variant Empty() { return Variant(); }
Variant Null()
{
  Variant theValue;
  theValue.Set(VT_NULL);
  return theValue;
}
Variant Error(SCODE inCode)
{
  Variant theValue;
  theValue.Set(VT_ERROR).scode = inCode;
  return theValue;
}

// "TYPE:value", the way the tables below spell expected results.
std::string Describe(const VARIANT& inValue)
{
  switch (inValue.vt) {
  case VT_EMPTY: return "EMPTY";
  case VT_NULL: return "NULL";
  case VT_I2: return FormatC("I2:%d", inValue.iVal);
  case VT_I4: return FormatC("I4:%d", inValue.lVal);
  case VT_UI1: return FormatC("UI1:%u", unsigned{inValue.bVal});
  case VT_R4: return FormatC("R4:%.9g", double{inValue.fltVal});
  case VT_R8: return FormatC("R8:%.17g", inValue.dblVal);
  case VT_BOOL: return FormatC("BOOL:%d", int{inValue.boolVal});
  case VT_BSTR: return "BSTR:" + BstrToUtf8(inValue.bstrVal);
  case VT_ERROR: return FormatC("ERROR:%08X", static_cast<unsigned>(inValue.scode));
  default: return FormatC("vt %u", unsigned{inValue.vt});
  }
}

struct ChangeCase {
  const char* mName;
  std::function<Variant()> mSource;
  VARTYPE mTarget;
  HRESULT mResult;
  const char* mExpected;  // the result on success
};

const char* TypeName(VARTYPE inType)
{
  switch (inType) {
  case VT_I2: return "I2";
  case VT_I4: return "I4";
  case VT_R4: return "R4";
  case VT_R8: return "R8";
  case VT_BOOL: return "BOOL";
  case VT_BSTR: return "BSTR";
  case VT_UI1: return "UI1";
  case VT_NULL: return "NULL";
  case VT_EMPTY: return "EMPTY";
  default: return "?";
  }
}

TEST(VariantChangeType, ConvertsAsTheSystemDoes)
{
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const ChangeCase kCases[] = {
      // booleans and numbers to text
      {"true to text", [] { return Bool(true); }, VT_BSTR, S_OK, "BSTR:-1"},
      {"false to text", [] { return Bool(false); }, VT_BSTR, S_OK, "BSTR:0"},
      {"R8 3.5", [] { return R8(3.5); }, VT_BSTR, S_OK, "BSTR:3.5"},
      {"R8 0.1", [] { return R8(0.1); }, VT_BSTR, S_OK, "BSTR:0.1"},
      {"R8 1e20", [] { return R8(1e20); }, VT_BSTR, S_OK, "BSTR:1E+20"},
      {"R8 -0", [] { return R8(-0.0); }, VT_BSTR, S_OK, "BSTR:0"},
      {"R8 15 digits", [] { return R8(123456789012345678.0); }, VT_BSTR, S_OK, "BSTR:1.23456789012346E+17"},
      {"R8 small", [] { return R8(-0.00025); }, VT_BSTR, S_OK, "BSTR:-0.00025"},
      {"R4 0.1", [] { return R4(0.1f); }, VT_BSTR, S_OK, "BSTR:0.1"},
      {"R4 2.5", [] { return R4(2.5f); }, VT_BSTR, S_OK, "BSTR:2.5"},
      {"I4 negative", [] { return I4(-42); }, VT_BSTR, S_OK, "BSTR:-42"},
      {"I2", [] { return I2(7); }, VT_BSTR, S_OK, "BSTR:7"},
      {"UI1", [] { return UI1(255); }, VT_BSTR, S_OK, "BSTR:255"},
      {"EMPTY to text", [] { return Empty(); }, VT_BSTR, S_OK, "BSTR:"},
      {"NULL to text", [] { return Null(); }, VT_BSTR, DISP_E_TYPEMISMATCH, ""},
      {"ERROR to text", [] { return Error(E_FAIL); }, VT_BSTR, DISP_E_TYPEMISMATCH, ""},
      // text to numbers
      {"blanks around", [] { return Text(" 12 "); }, VT_I4, S_OK, "I4:12"},
      {"tab and sign", [] { return Text("\t-7"); }, VT_I4, S_OK, "I4:-7"},
      {"plus sign", [] { return Text("+5"); }, VT_I2, S_OK, "I2:5"},
      {"half to even down", [] { return Text("2.5"); }, VT_I4, S_OK, "I4:2"},
      {"half to even up", [] { return Text("3.5"); }, VT_I4, S_OK, "I4:4"},
      {"negative half", [] { return Text("-2.5"); }, VT_I4, S_OK, "I4:-2"},
      {"exponent", [] { return Text("1e3"); }, VT_I4, S_OK, "I4:1000"},
      {"fraction", [] { return Text(".5"); }, VT_R8, S_OK, "R8:0.5"},
      {"R4 from text", [] { return Text("0.25"); }, VT_R4, S_OK, "R4:0.25"},
      {"no number", [] { return Text("abc"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"empty text", [] { return Text(""); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"blank text", [] { return Text("   "); }, VT_R8, DISP_E_TYPEMISMATCH, ""},
      {"trailing letters", [] { return Text("12abc"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"two numbers", [] { return Text("1 2"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"hexadecimal", [] { return Text("0x10"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"nan", [] { return Text("nan"); }, VT_R8, DISP_E_TYPEMISMATCH, ""},
      {"I4 overflow", [] { return Text("3000000000"); }, VT_I4, DISP_E_OVERFLOW, ""},
      {"I4 limit", [] { return Text("-2147483648"); }, VT_I4, S_OK, "I4:-2147483648"},
      {"R8 overflow", [] { return Text("1e400"); }, VT_R8, DISP_E_OVERFLOW, ""},
      {"I2 overflow", [] { return Text("40000"); }, VT_I2, DISP_E_OVERFLOW, ""},
      {"UI1 overflow", [] { return Text("256"); }, VT_UI1, DISP_E_OVERFLOW, ""},
      {"UI1 negative", [] { return Text("-1"); }, VT_UI1, DISP_E_OVERFLOW, ""},
      {"R4 overflow", [] { return Text("1e39"); }, VT_R4, DISP_E_OVERFLOW, ""},
      // text to boolean
      {"True", [] { return Text("True"); }, VT_BOOL, S_OK, "BOOL:-1"},
      {"false any case", [] { return Text("fALSE"); }, VT_BOOL, S_OK, "BOOL:0"},
      {"zero", [] { return Text("0"); }, VT_BOOL, S_OK, "BOOL:0"},
      {"two", [] { return Text(" 2 "); }, VT_BOOL, S_OK, "BOOL:-1"},
      {"yes is no boolean", [] { return Text("yes"); }, VT_BOOL, DISP_E_TYPEMISMATCH, ""},
      {"True is no number", [] { return Text("True"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      // numbers among themselves
      {"I4 to I2 overflow", [] { return I4(70000); }, VT_I2, DISP_E_OVERFLOW, ""},
      {"R8 rounds past I4", [] { return R8(2147483647.5); }, VT_I4, DISP_E_OVERFLOW, ""},
      {"R8 to I4 low end", [] { return R8(-2147483648.4); }, VT_I4, S_OK, "I4:-2147483648"},
      {"NaN to I4", [kNaN] { return R8(kNaN); }, VT_I4, DISP_E_OVERFLOW, ""},
      {"R8 to R4 overflow", [] { return R8(1e300); }, VT_R4, DISP_E_OVERFLOW, ""},
      {"R8 to R4", [] { return R8(1.5); }, VT_R4, S_OK, "R4:1.5"},
      {"true to I4", [] { return Bool(true); }, VT_I4, S_OK, "I4:-1"},
      {"true to UI1", [] { return Bool(true); }, VT_UI1, S_OK, "UI1:255"},
      {"I4 zero to bool", [] { return I4(0); }, VT_BOOL, S_OK, "BOOL:0"},
      {"R8 half to bool", [] { return R8(0.5); }, VT_BOOL, S_OK, "BOOL:-1"},
      {"UI1 to R8", [] { return UI1(200); }, VT_R8, S_OK, "R8:200"},
      // EMPTY and NULL
      {"EMPTY to I4", [] { return Empty(); }, VT_I4, S_OK, "I4:0"},
      {"EMPTY to bool", [] { return Empty(); }, VT_BOOL, S_OK, "BOOL:0"},
      {"EMPTY to R8", [] { return Empty(); }, VT_R8, S_OK, "R8:0"},
      {"NULL to I4", [] { return Null(); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {"NULL to NULL", [] { return Null(); }, VT_NULL, S_OK, "NULL"},
      {"I4 to NULL", [] { return I4(1); }, VT_NULL, DISP_E_TYPEMISMATCH, ""},
      {"anything to EMPTY", [] { return Text("x"); }, VT_EMPTY, S_OK, "EMPTY"},
      {"ERROR to I4", [] { return Error(DISP_E_PARAMNOTFOUND); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
  };
  for (const ChangeCase& theCase : kCases) {
    Variant theSource = theCase.mSource();
    Variant theResult;
    HRESULT theStatus = VariantChangeType(theResult.Get(), theSource.Get(), 0, theCase.mTarget);
    SCOPED_TRACE(FormatC("%s: %s to %s", theCase.mName, Describe(*theSource.Get()).c_str(), TypeName(theCase.mTarget)));
    EXPECT_EQ(theStatus, theCase.mResult);
    if (SUCCEEDED(theCase.mResult))
      EXPECT_EQ(Describe(*theResult.Get()), theCase.mExpected);
    else
      EXPECT_EQ(theResult.Type(), VT_EMPTY) << "a failed conversion must leave the destination alone";
  }
}

TEST(VariantChangeType, ReadsThroughReferences)
{
  LONG theNumber = 5;
  Variant theByRef;
  theByRef.Set(VT_BYREF | VT_I4).plVal = &theNumber;
  Variant theResult;
  ASSERT_EQ(VariantChangeType(theResult.Get(), theByRef.Get(), 0, VT_BSTR), S_OK);
  EXPECT_EQ(Describe(*theResult.Get()), "BSTR:5");

  Variant theInner = Text("7.25");
  Variant theOuter;
  theOuter.Set(VT_BYREF | VT_VARIANT).pvarVal = theInner.Get();
  ASSERT_EQ(VariantChangeType(theResult.Get(), theOuter.Get(), 0, VT_R8), S_OK);
  EXPECT_EQ(Describe(*theResult.Get()), "R8:7.25");
  EXPECT_EQ(Describe(*theInner.Get()), "BSTR:7.25") << "the referenced value stays";

  // A VARIANT that refers to itself ends, with an error.
  Variant theLoop;
  theLoop.Set(VT_BYREF | VT_VARIANT).pvarVal = theLoop.Get();
  EXPECT_EQ(VariantChangeType(theResult.Get(), theLoop.Get(), 0, VT_I4), DISP_E_BADVARTYPE);
  theLoop.Set(VT_EMPTY);
}

TEST(VariantChangeType, ConvertsInPlace)
{
  Variant theValue = Text("  42 ");
  ASSERT_EQ(VariantChangeType(theValue.Get(), theValue.Get(), 0, VT_I4), S_OK);
  EXPECT_EQ(Describe(*theValue.Get()), "I4:42");

  Variant theText = Text("nope");
  EXPECT_EQ(VariantChangeType(theText.Get(), theText.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Describe(*theText.Get()), "BSTR:nope");
}

TEST(VariantChangeType, ArraysConvertOnlyToThemselves)
{
  Variant theArray;
  theArray.Set(VT_ARRAY | VT_UI1).parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  static_cast<BYTE*>(theArray->parray->pvData)[1] = 9;
  Variant theResult;
  EXPECT_EQ(VariantChangeType(theResult.Get(), theArray.Get(), 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(theResult.Get(), Text("abc").Get(), 0, VT_ARRAY | VT_UI1), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(VariantChangeType(theResult.Get(), theArray.Get(), 0, VT_ARRAY | VT_UI1), S_OK);
  ASSERT_NE(theResult->parray, theArray->parray) << "a copy, not the same array";
  EXPECT_EQ(static_cast<BYTE*>(theResult->parray->pvData)[1], 9);
}

TEST(Variant, CopyIsDeepAndCopyIndReadsThrough)
{
  Variant theText = Text("hello");
  Variant theCopy;
  ASSERT_EQ(VariantCopy(theCopy.Get(), theText.Get()), S_OK);
  ASSERT_NE(theCopy->bstrVal, theText->bstrVal);
  EXPECT_EQ(Describe(*theCopy.Get()), "BSTR:hello");

  Variant theByRef;
  theByRef.Set(VT_BYREF | VT_VARIANT).pvarVal = theText.Get();
  ASSERT_EQ(VariantCopy(theCopy.Get(), theByRef.Get()), S_OK);
  EXPECT_EQ(theCopy.Type(), VT_BYREF | VT_VARIANT) << "VariantCopy keeps the reference";
  ASSERT_EQ(VariantCopyInd(theCopy.Get(), theByRef.Get()), S_OK);
  EXPECT_EQ(Describe(*theCopy.Get()), "BSTR:hello");
  EXPECT_NE(theCopy->bstrVal, theText->bstrVal);

  VARIANT theUnknownType;
  VariantInit(&theUnknownType);
  theUnknownType.vt = 0x7F;
  EXPECT_EQ(VariantClear(&theUnknownType), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantCopy(theCopy.Get(), &theUnknownType), DISP_E_BADVARTYPE);
}

TEST(Bstr, LengthsAndNulls)
{
  const char16_t kText[] = u"a\0b";
  BSTR theText = SysAllocStringLen(kText, 3);
  ASSERT_NE(theText, nullptr);
  EXPECT_EQ(SysStringLen(theText), 3u);
  EXPECT_EQ(SysStringByteLen(theText), 6u);
  EXPECT_EQ(theText[3], 0) << "terminated after its length";
  EXPECT_EQ(SysStringLen(nullptr), 0u);

  // A reallocation from a part of itself.
  ASSERT_TRUE(SysReAllocString(&theText, theText + 2));
  EXPECT_EQ(BstrToUtf8(theText), "b");
  SysFreeString(theText);

  BSTR theBytes = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(theBytes), 3u);
  EXPECT_EQ(SysStringLen(theBytes), 1u);
  SysFreeString(theBytes);
  SysFreeString(nullptr);
}

TEST(Bstr, Utf8ConversionsReplaceWhatIsInvalid)
{
  struct Case {
    const char* mName;
    std::string mUtf8;
    std::u16string mUtf16;
  };
  const Case kCases[] = {
      {"ascii", "Width", u"Width"},
      {"two bytes", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
      {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"bad lead byte", "a\xFF" "b", u"a\uFFFDb"},
      {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"truncated", "x\xE2\x82", u"x\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    EXPECT_EQ(Utf8ToUtf16(theCase.mUtf8), theCase.mUtf16);
  }
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx") << "a lone high surrogate";
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD") << "a lone low surrogate";
}

TEST(Guid, ParsesWithoutRegardToCaseAndFormatsInCapitals)
{
  constexpr GUID kGuid = TL_GUID("{cbf60b0f-d3a1-46f8-8808-765749f9a0ba}");
  EXPECT_EQ(GuidToString(kGuid), "{CBF60B0F-D3A1-46F8-8808-765749F9A0BA}");
  EXPECT_TRUE(ParseGuid("CBF60B0F-D3A1-46f8-8808-765749F9A0BA") == std::optional<GUID>(kGuid).value());
  for (const char* theBad : {"", "{CBF60B0F-D3A1-46F8-8808-765749F9A0B}", "{CBF60B0F+D3A1-46F8-8808-765749F9A0BA}",
                             "{CBF60B0F-D3A1-46F8-8808-765749F9A0BG}", "CBF60B0F-D3A1-46F8-8808-765749F9A0BA}"})
    EXPECT_FALSE(ParseGuid(theBad).has_value()) << theBad;

  CLSID theClassId;
  EXPECT_EQ(CLSIDFromString(u"{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}", &theClassId), S_OK);
  EXPECT_TRUE(theClassId == kGuid);
  EXPECT_EQ(CLSIDFromString(u"CBF60B0F-D3A1-46f8-8808-765749F9A0BA", &theClassId), CO_E_CLASSSTRING);
  OLECHAR theText[39];
  EXPECT_EQ(StringFromGUID2(kGuid, theText, 38), 0);
  EXPECT_EQ(StringFromGUID2(kGuid, theText, 39), 39);
}

}  // namespace
