#pragma once
// VARIANT: a tagged value, as automation passes arguments and results.
//
// The types in use: EMPTY, NULL, I2, I4, R4, R8, BOOL, BSTR, DISPATCH,
// UNKNOWN, ERROR, UI1, VT_ARRAY | VT_UI1 and VT_ARRAY | VT_VARIANT, and the
// VT_BYREF form of each (a pointer to the value; a by-reference VARIANT holds
// a VARIANT*). A VARIANT owns what it holds (BSTR, interface reference,
// SAFEARRAY) except in by-reference form; VariantClear frees it.
//
// VariantChangeType, with flags 0, converts as the system does:
// - numbers among I2, I4, R4, R8, UI1 and BOOL: fractions round half to even,
//   values out of the target's range give DISP_E_OVERFLOW; true is -1.
// - to BSTR: integers in decimal, R4 with 7 and R8 with 15 significant digits
//   in the "C" locale ("3.5", "1E+20"), booleans as "-1" and "0".
// - from BSTR: blanks around a decimal number with sign, fraction and
//   exponent; a number too large gives DISP_E_OVERFLOW; anything else
//   DISP_E_TYPEMISMATCH. To BOOL "True" and "False" (any case) are also read.
// - EMPTY reads as 0, false or ""; NULL converts to nothing but NULL
//   (DISP_E_TYPEMISMATCH).
// - DISPATCH and UNKNOWN convert into each other through QueryInterface
//   (E_NOINTERFACE when that fails); an interface into any other type, and
//   any other pair, is DISP_E_TYPEMISMATCH.
// A by-reference source is read through its reference. Destination and source
// may be the same VARIANT; on failure the destination is left untouched.

#include "platform/automation/Bstr.h"
#include "platform/automation/Unknown.h"

using VARTYPE = USHORT;
using SCODE = LONG;
using DISPID = LONG;
using FLOAT = float;
using DOUBLE = double;

// A type of its own (16 bits, as the system's), so that member tables tell a
// boolean from a SHORT.
enum VARIANT_BOOL : SHORT { VARIANT_FALSE = 0, VARIANT_TRUE = -1 };

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct IDispatch;
struct SAFEARRAY;

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    FLOAT* pfltVal;
    DOUBLE* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
  };
};

using VARIANTARG = VARIANT;

constexpr USHORT VARIANT_NOVALUEPROP = 0x01;

void VariantInit(VARIANT* outValue);
// Frees what the VARIANT owns and leaves it EMPTY. DISP_E_BADVARTYPE for a type
// this runtime does not know (the VARIANT is left as it was).
HRESULT VariantClear(VARIANT* ioValue);
// A deep copy (new BSTR, added reference, copied array); by-reference values
// are copied as references.
HRESULT VariantCopy(VARIANT* outDest, const VARIANT* inSource);
// The same, reading a by-reference source through its reference.
HRESULT VariantCopyInd(VARIANT* outDest, const VARIANT* inSource);
HRESULT VariantChangeType(VARIANT* outDest, const VARIANT* inSource, USHORT inFlags, VARTYPE inType);

// The VARIANT a by-reference VARIANT points to (through any number of
// VT_BYREF | VT_VARIANT links), else the VARIANT itself.
const VARIANT* VariantDeref(const VARIANT* inValue);

// Owns one VARIANT.
class Variant {
public:
  Variant() { VariantInit(&mValue); }
  explicit Variant(LONG inValue) : Variant() { Set(VT_I4).lVal = inValue; }
  explicit Variant(std::string_view inUtf8) : Variant() { Set(VT_BSTR).bstrVal = Utf8ToBstr(inUtf8); }
  Variant(const Variant& inOther) : Variant() { VariantCopy(&mValue, &inOther.mValue); }
  Variant& operator=(const Variant& inOther)
  {
    if (this != &inOther)
      VariantCopy(&mValue, &inOther.mValue);
    return *this;
  }
  Variant(Variant&& ioOther) noexcept : mValue(ioOther.mValue) { VariantInit(&ioOther.mValue); }
  Variant& operator=(Variant&& ioOther) noexcept
  {
    if (this != &ioOther) {
      VariantClear(&mValue);
      mValue = ioOther.mValue;
      VariantInit(&ioOther.mValue);
    }
    return *this;
  }
  ~Variant() { VariantClear(&mValue); }

  VARIANT* Get() { return &mValue; }
  const VARIANT* Get() const { return &mValue; }
  VARIANT* operator->() { return &mValue; }
  const VARIANT* operator->() const { return &mValue; }
  VARTYPE Type() const { return mValue.vt; }

  // Clears, sets the type and answers the VARIANT for its value to be set.
  VARIANT& Set(VARTYPE inType)
  {
    VariantClear(&mValue);
    mValue.vt = inType;
    return mValue;
  }
  // Clears and answers the VARIANT for an out-argument.
  VARIANT* Receive()
  {
    VariantClear(&mValue);
    return &mValue;
  }
  // Hands the value over to outDest (which must hold nothing) and leaves this EMPTY.
  void Detach(VARIANT* outDest)
  {
    *outDest = mValue;
    VariantInit(&mValue);
  }

private:
  VARIANT mValue;
};
