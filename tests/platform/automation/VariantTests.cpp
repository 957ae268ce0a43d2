// VARIANT conversions, copies and the BSTR / UTF-8 texts under them.

#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"
#include "platform/base/Numbers.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

// A VARIANT of inType whose value inSet fills in.
Variant Make(VARTYPE inType, const std::function<void(VARIANT&)>& inSet = nullptr)
{
  Variant theValue;
  VARIANT& theRaw = theValue.Set(inType);
  if (inSet)
    inSet(theRaw);
  return theValue;
}
Variant I4(LONG inValue) { return Variant(inValue); }
Variant R4(float inValue) { return Make(VT_R4, [=](VARIANT& v) { v.fltVal = inValue; }); }
Variant R8(double inValue) { return Make(VT_R8, [=](VARIANT& v) { v.dblVal = inValue; }); }
Variant Bool(bool inValue) { return Make(VT_BOOL, [=](VARIANT& v) { v.boolVal = inValue ? VARIANT_TRUE : VARIANT_FALSE; }); }
Variant UI1(BYTE inValue) { return Make(VT_UI1, [=](VARIANT& v) { v.bVal = inValue; }); }
Variant Text(std::string_view inText) { return Variant(inText); }

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

TEST(VariantChangeType, ConvertsAsTheSystemDoes)
{
  struct Case {
    std::function<Variant()> mSource;
    VARTYPE mTarget;
    HRESULT mResult;
    const char* mExpected;  // the result on success
  };
  const Case kCases[] = {
      // booleans and numbers to text, in the "C" locale
      {[] { return Bool(true); }, VT_BSTR, S_OK, "BSTR:-1"},
      {[] { return Bool(false); }, VT_BSTR, S_OK, "BSTR:0"},
      {[] { return R8(0.1); }, VT_BSTR, S_OK, "BSTR:0.1"},
      {[] { return R8(1e20); }, VT_BSTR, S_OK, "BSTR:1E+20"},
      {[] { return R8(123456789012345678.0); }, VT_BSTR, S_OK, "BSTR:1.23456789012346E+17"},
      {[] { return R8(-0.00025); }, VT_BSTR, S_OK, "BSTR:-0.00025"},
      {[] { return R4(0.1f); }, VT_BSTR, S_OK, "BSTR:0.1"},
      {[] { return UI1(255); }, VT_BSTR, S_OK, "BSTR:255"},
      {[] { return Variant(); }, VT_BSTR, S_OK, "BSTR:"},
      {[] { return Make(VT_NULL); }, VT_BSTR, DISP_E_TYPEMISMATCH, ""},
      {[] { return Make(VT_ERROR, [](VARIANT& v) { v.scode = E_FAIL; }); }, VT_BSTR, DISP_E_TYPEMISMATCH, ""},
      // text to numbers: blanks, signs, rounding half to even, overflow
      {[] { return Text("\t-7 "); }, VT_I4, S_OK, "I4:-7"},
      {[] { return Text("2.5"); }, VT_I4, S_OK, "I4:2"},
      {[] { return Text("3.5"); }, VT_I4, S_OK, "I4:4"},
      {[] { return Text(".5"); }, VT_R8, S_OK, "R8:0.5"},
      {[] { return Text("   "); }, VT_R8, DISP_E_TYPEMISMATCH, ""},
      {[] { return Text("12abc"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {[] { return Text("3000000000"); }, VT_I4, DISP_E_OVERFLOW, ""},
      {[] { return Text("-2147483648"); }, VT_I4, S_OK, "I4:-2147483648"},
      {[] { return Text("1e400"); }, VT_R8, DISP_E_OVERFLOW, ""},
      {[] { return Text("40000"); }, VT_I2, DISP_E_OVERFLOW, ""},
      {[] { return Text("-1"); }, VT_UI1, DISP_E_OVERFLOW, ""},
      {[] { return Text("1e39"); }, VT_R4, DISP_E_OVERFLOW, ""},
      // text to boolean
      {[] { return Text("fALSE"); }, VT_BOOL, S_OK, "BOOL:0"},
      {[] { return Text(" 2 "); }, VT_BOOL, S_OK, "BOOL:-1"},
      {[] { return Text("yes"); }, VT_BOOL, DISP_E_TYPEMISMATCH, ""},
      {[] { return Text("True"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      // numbers among themselves
      {[] { return I4(70000); }, VT_I2, DISP_E_OVERFLOW, ""},
      {[] { return R8(2147483647.5); }, VT_I4, DISP_E_OVERFLOW, ""},
      {[] { return R8(-2147483648.4); }, VT_I4, S_OK, "I4:-2147483648"},
      {[] { return R8(std::numeric_limits<double>::quiet_NaN()); }, VT_I4, DISP_E_OVERFLOW, ""},
      {[] { return R8(1e300); }, VT_R4, DISP_E_OVERFLOW, ""},
      {[] { return Bool(true); }, VT_UI1, S_OK, "UI1:255"},
      {[] { return R8(0.5); }, VT_BOOL, S_OK, "BOOL:-1"},
      // EMPTY and NULL
      {[] { return Variant(); }, VT_I4, S_OK, "I4:0"},
      {[] { return Make(VT_NULL); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
      {[] { return Make(VT_NULL); }, VT_NULL, S_OK, "NULL"},
      {[] { return I4(1); }, VT_NULL, DISP_E_TYPEMISMATCH, ""},
      {[] { return Text("x"); }, VT_EMPTY, S_OK, "EMPTY"},
  };
  for (const Case& theCase : kCases) {
    Variant theSource = theCase.mSource();
    Variant theResult;
    SCOPED_TRACE(FormatC("%s to vt %u", Describe(*theSource.Get()).c_str(), unsigned{theCase.mTarget}));
    EXPECT_EQ(VariantChangeType(theResult.Get(), theSource.Get(), 0, theCase.mTarget), theCase.mResult);
    EXPECT_EQ(Describe(*theResult.Get()), SUCCEEDED(theCase.mResult) ? theCase.mExpected : "EMPTY")
      << "a failed conversion leaves the destination alone";
  }
}

TEST(VariantChangeType, ReferencesInPlaceAndArrays)
{
  Variant theInner = Text("7.25");
  Variant theOuter = Make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { v.pvarVal = theInner.Get(); });
  Variant theResult;
  ASSERT_EQ(VariantChangeType(theResult.Get(), theOuter.Get(), 0, VT_R8), S_OK);
  EXPECT_EQ(Describe(*theResult.Get()), "R8:7.25");
  EXPECT_EQ(Describe(*theInner.Get()), "BSTR:7.25") << "the referenced value stays";

  // A VARIANT that refers to itself ends, with an error.
  Variant theLoop;
  theLoop.Set(VT_BYREF | VT_VARIANT).pvarVal = theLoop.Get();
  EXPECT_EQ(VariantChangeType(theResult.Get(), theLoop.Get(), 0, VT_I4), DISP_E_BADVARTYPE);
  theLoop.Set(VT_EMPTY);

  Variant theValue = Text("  42 ");
  ASSERT_EQ(VariantChangeType(theValue.Get(), theValue.Get(), 0, VT_I4), S_OK);
  EXPECT_EQ(Describe(*theValue.Get()), "I4:42");
  Variant theText = Text("nope");
  EXPECT_EQ(VariantChangeType(theText.Get(), theText.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Describe(*theText.Get()), "BSTR:nope") << "in place, a failure keeps the value";

  Variant theArray = Make(VT_ARRAY | VT_UI1, [](VARIANT& v) { v.parray = SafeArrayCreateVector(VT_UI1, 0, 3); });
  static_cast<BYTE*>(theArray->parray->pvData)[1] = 9;
  EXPECT_EQ(VariantChangeType(theResult.Get(), theArray.Get(), 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(theResult.Get(), Text("abc").Get(), 0, VT_ARRAY | VT_UI1), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(VariantChangeType(theResult.Get(), theArray.Get(), 0, VT_ARRAY | VT_UI1), S_OK);
  ASSERT_NE(theResult->parray, theArray->parray) << "a copy, not the same array";
  EXPECT_EQ(static_cast<BYTE*>(theResult->parray->pvData)[1], 9);
}

TEST(Variant, CopyIsDeepAndCopyIndReadsThrough)
{
  Variant theText = Text("hello");
  Variant theByRef = Make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { v.pvarVal = theText.Get(); });
  Variant theCopy;
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

TEST(Bstr, LengthsNullsAndUtf8)
{
  BSTR theText = SysAllocStringLen(u"a\0b", 3);
  ASSERT_NE(theText, nullptr);
  EXPECT_EQ(SysStringLen(theText), 3u);
  EXPECT_EQ(SysStringByteLen(theText), 6u);
  EXPECT_EQ(theText[3], 0) << "terminated after its length";
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  ASSERT_TRUE(SysReAllocString(&theText, theText + 2)) << "a reallocation from a part of itself";
  EXPECT_EQ(BstrToUtf8(theText), "b");
  SysFreeString(theText);
  SysFreeString(nullptr);

  // Invalid UTF-8 and lone surrogates become U+FFFD.
  const std::pair<std::string, std::u16string> kCases[] = {
      {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},   {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xFF" "b", u"a\uFFFDb"},                  {"\xC0\xAF", u"\uFFFD\uFFFD"},
      {"x\xE2\x82", u"x\uFFFD"},                   {"\xED\xA0\x80", u"\uFFFD"},
      {"\xF4\x90\x80\x80", u"\uFFFD"},
  };
  for (const auto& [theUtf8, theUtf16] : kCases)
    EXPECT_EQ(Utf8ToUtf16(theUtf8), theUtf16) << testing::PrintToString(theUtf8);
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(Guid, ParsesWithoutRegardToCaseAndFormatsInCapitals)
{
  constexpr GUID kGuid = TL_GUID("{cbf60b0f-d3a1-46f8-8808-765749f9a0ba}");
  EXPECT_EQ(GuidToString(kGuid), "{CBF60B0F-D3A1-46F8-8808-765749F9A0BA}");
  EXPECT_TRUE(ParseGuid("CBF60B0F-D3A1-46f8-8808-765749F9A0BA") == std::optional<GUID>(kGuid).value());
  for (const char* theBad : {"", "{CBF60B0F-D3A1-46F8-8808-765749F9A0B}", "{CBF60B0F-D3A1-46F8-8808-765749F9A0BG}",
                             "CBF60B0F-D3A1-46F8-8808-765749F9A0BA}"})
    EXPECT_FALSE(ParseGuid(theBad).has_value()) << theBad;

  CLSID theClassId;
  EXPECT_EQ(CLSIDFromString(u"{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}", &theClassId), S_OK);
  EXPECT_TRUE(theClassId == kGuid);
  EXPECT_EQ(CLSIDFromString(u"CBF60B0F-D3A1-46f8-8808-765749F9A0BA", &theClassId), CO_E_CLASSSTRING);
}

}  // namespace
