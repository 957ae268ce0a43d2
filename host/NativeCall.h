#pragma once
// The frame of every native function the script host gives Duktape.
//
// Duktape reports errors with longjmp, which must never cross a C++ frame that
// holds objects with destructors. So a native's C++ work runs inside
// RunNative's body, using only Duktape calls that do not throw (the duk_get_*
// readers, and pushes, which fail only when memory runs out); its failure is a
// ScriptError value, which RunNative turns into a thrown Error once every C++
// object of the body is gone. Values a script may have made throw when read
// (toString, getters) are read before the body starts.

#include "platform/automation/Dispatch.h"

#include <duktape.h>

#include <string>

// A failure to be thrown as an Error with number, description and source.
struct ScriptError {
  HRESULT mNumber = 0;
  std::string mDescription;  // UTF-8
  std::string mSource;       // UTF-8
};

// Pushes the Error object of inError: message and description the
// description, number the HRESULT as a signed 32-bit number, and source.
void PushScriptError(duk_context* inContext, const ScriptError& inError);

// The system's text for a code, without its line end.
std::string SystemTextOf(HRESULT inCode);

// inBody(ScriptError&) answers the number of values it pushed as results
// (0 or 1), or -1 after filling the error.
template <class Body>
duk_ret_t RunNative(duk_context* inContext, Body&& inBody)
{
  bool theFailed = false;
  duk_ret_t theResults = 0;
  {
    ScriptError theError;
    try {
      theResults = inBody(theError);
    } catch (const std::exception& inException) {
      theError = {E_UNEXPECTED, inException.what(), "tlscript"};
      theResults = -1;
    }
    if (theResults < 0) {
      PushScriptError(inContext, theError);
      theFailed = true;
    }
  }
  if (theFailed)
    return duk_throw(inContext);
  return theResults;
}
