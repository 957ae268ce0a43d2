#pragma once
// _com_error: the exception of the COM support classes. The library's string
// and VARIANT conversions throw it with the HRESULT of the call that failed,
// and a method frame turns it into the error a script receives.

#include "platform/base/WinTypes.h"

#include <string>

class _com_error {
public:
  explicit _com_error(HRESULT inResult) : mResult(inResult) {}

  HRESULT Error() const { return mResult; }
  // The system's wording of the HRESULT without its line end; without one,
  // "IDispatch error #<n>" for 0x80040200 + n (n from 1 to 0xFDFF), else
  // "Unknown error 0x<HRESULT>".
  std::string ErrorMessage() const;

private:
  HRESULT mResult;
};
