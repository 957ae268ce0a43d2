#include "platform/automation/SafeArray.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeArray, BoundsAndWhatItRefuses)
{
  SAFEARRAY* theEmpty = SafeArrayCreateVector(VT_UI1, 0, 0);
  ASSERT_NE(theEmpty, nullptr);
  void* theData = nullptr;
  ASSERT_EQ(SafeArrayAccessData(theEmpty, &theData), S_OK);
  EXPECT_NE(theData, nullptr) << "a zero-length array has data";
  LONG theBound = 1;
  EXPECT_EQ(SafeArrayGetUBound(theEmpty, 1, &theBound), S_OK);
  EXPECT_EQ(theBound, -1);
  EXPECT_EQ(SafeArrayUnaccessData(theEmpty), S_OK);
  EXPECT_EQ(SafeArrayDestroy(theEmpty), S_OK);

  SAFEARRAY* theArray = SafeArrayCreateVector(VT_VARIANT, 1, 10);
  ASSERT_NE(theArray, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(theArray, 1, &theBound), S_OK);
  EXPECT_EQ(theBound, 10);
  EXPECT_EQ(SafeArrayGetLBound(theArray, 2, &theBound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(theArray), S_OK);
  theArray = SafeArrayCreateVector(VT_UI1, INT32_MIN, 0);
  EXPECT_EQ(SafeArrayGetUBound(theArray, 1, &theBound), DISP_E_OVERFLOW);
  SafeArrayDestroy(theArray);

  SAFEARRAYBOUND theBounds[2] = {{4, 0}, {4, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, theBounds), nullptr) << "two dimensions";
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, theBounds), nullptr) << "another element type";
  EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 0x10000000u), nullptr) << "4 GiB of VARIANTs";
  EXPECT_EQ(SafeArrayCreateVector(VT_UI1, 0, 0x80000000u), nullptr) << "past 2^31 - 1 bytes";
}

TEST(SafeArray, LockedArrayIsNotDestroyed)
{
  SAFEARRAY* theArray = SafeArrayCreateVector(VT_UI1, 0, 8);
  ASSERT_NE(theArray, nullptr);
  void* theData = nullptr;
  ASSERT_EQ(SafeArrayAccessData(theArray, &theData), S_OK);
  ASSERT_EQ(SafeArrayAccessData(theArray, &theData), S_OK);
  EXPECT_EQ(SafeArrayDestroy(theArray), DISP_E_ARRAYISLOCKED);
  Variant theHolder;
  theHolder.Set(VT_ARRAY | VT_UI1).parray = theArray;
  EXPECT_EQ(VariantClear(theHolder.Get()), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(theHolder.Type(), VT_ARRAY | VT_UI1) << "the VARIANT keeps the locked array";
  EXPECT_EQ(SafeArrayUnaccessData(theArray), S_OK);
  EXPECT_EQ(SafeArrayDestroy(theArray), DISP_E_ARRAYISLOCKED) << "still locked once";
  EXPECT_EQ(SafeArrayUnaccessData(theArray), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(theArray), E_UNEXPECTED) << "one unlock too many";
  EXPECT_EQ(VariantClear(theHolder.Get()), S_OK);
}

TEST(SafeArray, VariantElementsAreCopiedAndFreed)
{
  SAFEARRAY* theArray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  ASSERT_NE(theArray, nullptr);
  auto* theItems = static_cast<VARIANT*>(theArray->pvData);
  EXPECT_EQ(theItems[0].vt, VT_EMPTY);
  theItems[0].vt = VT_BSTR;
  theItems[0].bstrVal = Utf8ToBstr("first");
  SAFEARRAY* theCopy = nullptr;
  ASSERT_EQ(SafeArrayCopy(theArray, &theCopy), S_OK);
  auto* theCopied = static_cast<VARIANT*>(theCopy->pvData);
  EXPECT_NE(theCopied[0].bstrVal, theItems[0].bstrVal);
  EXPECT_EQ(BstrToUtf8(theCopied[0].bstrVal), "first");
  // Both free their own strings (the sanitizer build finds a leak or a double free).
  EXPECT_EQ(SafeArrayDestroy(theArray), S_OK);
  EXPECT_EQ(SafeArrayDestroy(theCopy), S_OK);
}

}  // namespace
