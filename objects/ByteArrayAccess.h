#pragma once
// ByteArrayAccess: the bytes of a byte-array VARIANT, read in place, for as
// long as it lives (AccessVARIANT at construction, UnaccessVARIANT at the
// end when the access succeeded), and the result of the access.

#include "core/Utilities.h"

class ByteArrayAccess {
public:
  explicit ByteArrayAccess(const VARIANT& inData) : mData(inData), mResult(AccessVARIANT(inData, mBytes, mLength)) {}
  ~ByteArrayAccess()
  {
    if (SUCCEEDED(mResult))
      static_cast<void>(UnaccessVARIANT(mData));
  }
  ByteArrayAccess(const ByteArrayAccess&) = delete;
  ByteArrayAccess& operator=(const ByteArrayAccess&) = delete;

  HRESULT Result() const { return mResult; }
  const BYTE* Bytes() const { return mBytes; }
  LONG Length() const { return mLength; }

private:
  const VARIANT& mData;
  BYTE* mBytes = nullptr;
  LONG mLength = 0;
  HRESULT mResult;
};
