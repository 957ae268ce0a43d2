#pragma once
// The frame every automation member of the library runs in, the error
// reporter of each class, and the conversions of arguments and results.
//
// A class binds one reporter to its class id and interface id, and each
// member wraps its body in MethodFrame:
//
//   constexpr ErrorReporter kCanvasReporter{kCanvasClass, ICanvas::kIID};
//
//   HRESULT Canvas::get_PenSize(VARIANT* outValue)
//   {
//     return MethodFrame(kCanvasReporter, [&] {
//       if (!outValue)
//         return E_POINTER;                   // no error information
//       SetLongResult(outValue, mPenSize);
//       return S_OK;
//     });
//   }
//
// Inside the frame a hardware fault, in C library routines too, becomes an
// SException (the frames it skips run no destructors, but give back their
// locks and impersonations), and the conversions below throw _com_error; the
// frame ends the member with:
// - _com_error: its message through the reporter, E_FAIL;
// - RefusedText: its text through the reporter, E_FAIL;
// - SException: its message, naming the member's file and line, goes to the
//   event log as a fatal event (the process ends there unless the preference
//   AutoRecover is on), then through the reporter, E_FAIL;
// - anything else: "Unknown exception thrown" through the reporter, E_FAIL.

#include "core/SException.h"
#include "platform/automation/Variant.h"
#include "platform/base/WinTypes.h"

#include <source_location>
#include <string>
#include <string_view>
#include <utility>

class ErrorReporter {
public:
  constexpr ErrorReporter(const CLSID& inClassId, const IID& inInterfaceId)
      : mClassId(inClassId), mInterfaceId(inInterfaceId)
  {
  }

  // Sets the thread's error info (the text, the interface, the ProgID
  // registered for the class as source) and answers inResult. With the
  // preference LogErrors on, the text also goes to the event log as a warning.
  HRESULT ReportError(std::string_view inText, HRESULT inResult) const;
  // "Unable to set property" (without codes) with the context
  // "Set <label>  =  <value text>", E_FAIL.
  HRESULT ReportSetPropertyError(const char* inLabel, const VARIANT& inValue, LONG inQuickTimeCode,
                                 LONG inWindowsCode) const;
  // "Unable to get property" (without codes) with the context "Get <label>", E_FAIL.
  HRESULT ReportGetPropertyError(const char* inLabel, LONG inQuickTimeCode, LONG inWindowsCode) const;

  // The frame's handler of whatever the member threw; see above.
  HRESULT ReportException(const std::source_location& inWhere) const;

private:
  const CLSID& mClassId;
  const IID& mInterfaceId;
};

template <class Body>
HRESULT MethodFrame(const ErrorReporter& inReporter, Body&& inBody,
                    const std::source_location& inWhere = std::source_location::current())
{
  try {
    return GuardedCall(TranslateSystemException, inBody);
  } catch (...) {
    return inReporter.ReportException(inWhere);
  }
}

// What the text conversions throw for a text that holds a NUL byte.
class RefusedText {
public:
  explicit RefusedText(std::string inText) : mText(std::move(inText)) {}
  const std::string& GetText() const { return mText; }

private:
  std::string mText;
};

// inText, which names or holds a value (a file name, a keyword, a colour,
// text to draw): the library hands such a text on where a NUL would end it
// early, so one holding a NUL is refused with RefusedText,
// "<inWhat> holds a NUL character at character <n> "<inText>"" (the NUL
// shown as \0, the text cut to 255 bytes).
std::string WithoutNul(std::string inText, const char* inWhat);
// The text of an [in] VARIANT (read through its reference): a string as it
// stands, any other value converted to a string; refused as WithoutNul
// refuses when it holds a NUL.
std::string VariantText(const VARIANT& inValue, const char* inWhat = "Text");
// The same text whole, NUL bytes included: a parameter string, which the
// parser refuses whole when it holds one.
std::string VariantWholeText(const VARIANT& inValue);
// The value of an [in] VARIANT converted to a 32-bit integer.
LONG VariantLong(const VARIANT& inValue);

// Results into an [out] VARIANT, which holds nothing of value before.
void SetTextResult(VARIANT* outValue, std::string_view inText);
void SetLongResult(VARIANT* outValue, LONG inValue);
void SetBoolResult(VARIANT* outValue, bool inValue);
