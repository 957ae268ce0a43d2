// The automation runtime's conversions. The first byte picks the road:
// - text as BSTR: UTF-8 that is valid comes back the same from UTF-16, and a
//   byte BSTR keeps its length and bytes;
// - a VARIANT of a type and value from the input changed into another type:
//   a success has the type asked for, a failure leaves the destination as it
//   was, and whole numbers that reach text read back as themselves;
// - bytes into a SAFEARRAY VARIANT and out again, and copied: the same bytes.

#include "core/Utilities.h"
#include "fuzz/FuzzSupport.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"

#include <cmath>
#include <string>

namespace {

void CheckText(std::string_view inText)
{
  BSTR theWide = Utf8ToBstr(inText);
  if (IsValidUtf8(inText))
    TL_FUZZ_CHECK(BstrToUtf8(theWide) == inText);
  SysFreeString(theWide);
  BSTR theBytes = SysAllocStringByteLen(inText.data(), static_cast<UINT>(inText.size()));
  TL_FUZZ_CHECK(theBytes && SysStringByteLen(theBytes) == inText.size());
  TL_FUZZ_CHECK(std::memcmp(theBytes, inText.data(), inText.size()) == 0);
  SysFreeString(theBytes);
}

// A VARIANT of one of the value types, its value from the input.
Variant MakeValue(FuzzInput& ioInput)
{
  static constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_BOOL, VT_UI1, VT_BSTR, VT_ERROR};
  Variant theValue;
  VARIANT& theRaw = *theValue.Get();
  theRaw.vt = kTypes[ioInput.Between(0, std::size(kTypes) - 1)];
  switch (theRaw.vt) {
    case VT_I2: theRaw.iVal = ioInput.Take<SHORT>(); break;
    case VT_I4: theRaw.lVal = ioInput.Take<LONG>(); break;
    case VT_R4: theRaw.fltVal = ioInput.Take<float>(); break;
    case VT_R8: theRaw.dblVal = ioInput.Take<double>(); break;
    case VT_BOOL: theRaw.boolVal = ioInput.Flag() ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_UI1: theRaw.bVal = ioInput.Take<BYTE>(); break;
    case VT_BSTR: theRaw.bstrVal = Utf8ToBstr(ioInput.Text()); break;
    case VT_ERROR: theRaw.scode = ioInput.Take<LONG>(); break;
    default: break;
  }
  return theValue;
}

void CheckChange(FuzzInput& ioInput)
{
  static constexpr VARTYPE kTargets[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_BOOL, VT_UI1, VT_BSTR, VT_EMPTY, VT_ERROR};
  const Variant theSource = MakeValue(ioInput);
  const VARTYPE theTarget = kTargets[ioInput.Between(0, std::size(kTargets) - 1)];
  Variant theResult(LONG{12345});
  if (FAILED(VariantChangeType(theResult.Get(), theSource.Get(), 0, theTarget))) {
    TL_FUZZ_CHECK(theResult->vt == VT_I4 && theResult->lVal == 12345);
    return;
  }
  TL_FUZZ_CHECK(theResult->vt == theTarget);
  const VARTYPE theType = theSource->vt;
  if (theTarget != VT_BSTR || (theType != VT_I2 && theType != VT_I4 && theType != VT_UI1 && theType != VT_BOOL))
    return;
  Variant theBack;
  TL_FUZZ_CHECK(SUCCEEDED(VariantChangeType(theBack.Get(), theResult.Get(), 0, theType)));
  TL_FUZZ_CHECK(theBack->vt == theType);
  TL_FUZZ_CHECK(theType == VT_UI1 ? theBack->bVal == theSource->bVal
                : theType == VT_I2 ? theBack->iVal == theSource->iVal
                : theType == VT_I4 ? theBack->lVal == theSource->lVal
                                   : theBack->boolVal == theSource->boolVal);
}

void CheckArray(std::string_view inBytes)
{
  Variant theArray;
  TL_FUZZ_CHECK(SUCCEEDED(PtrToVARIANT(inBytes.data(), static_cast<DWORD>(inBytes.size()), theArray.Get())));
  BYTE* theData = nullptr;
  LONG theLength = -1;
  TL_FUZZ_CHECK(SUCCEEDED(AccessVARIANT(*theArray.Get(), theData, theLength)));
  TL_FUZZ_CHECK(theLength == static_cast<LONG>(inBytes.size()) && theData != nullptr);
  TL_FUZZ_CHECK(std::memcmp(theData, inBytes.data(), inBytes.size()) == 0);
  TL_FUZZ_CHECK(SUCCEEDED(UnaccessVARIANT(*theArray.Get())));
  const Variant theCopy = theArray;
  TL_FUZZ_CHECK(SUCCEEDED(AccessVARIANT(*theCopy.Get(), theData, theLength)));
  TL_FUZZ_CHECK(theLength == static_cast<LONG>(inBytes.size()) && std::memcmp(theData, inBytes.data(), inBytes.size()) == 0);
  TL_FUZZ_CHECK(SUCCEEDED(UnaccessVARIANT(*theCopy.Get())));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  UseScratchHome();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize)
{
  FuzzInput theInput(inData, inSize);
  switch (theInput.Between(0, 2)) {
    case 0: CheckText(theInput.Rest()); break;
    case 1: CheckChange(theInput); break;
    default: CheckArray(theInput.Rest()); break;
  }
  return 0;
}
