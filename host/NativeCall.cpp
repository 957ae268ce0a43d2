#include "host/NativeCall.h"

#include "host/JsText.h"
#include "platform/base/Numbers.h"
#include "platform/base/SystemText.h"

void PushScriptError(duk_context* inContext, const ScriptError& inError)
{
  std::string theDescription = Utf16ToJs(Utf8ToUtf16(inError.mDescription));
  duk_push_error_object(inContext, DUK_ERR_ERROR, "%s", theDescription.c_str());
  duk_push_int(inContext, inError.mNumber);
  duk_put_prop_string(inContext, -2, "number");
  duk_push_lstring(inContext, theDescription.data(), theDescription.size());
  duk_put_prop_string(inContext, -2, "description");
  std::string theSource = Utf16ToJs(Utf8ToUtf16(inError.mSource));
  duk_push_lstring(inContext, theSource.data(), theSource.size());
  duk_put_prop_string(inContext, -2, "source");
}

std::string SystemTextOf(HRESULT inCode)
{
  std::string theText = GetSystemWording(static_cast<DWORD>(inCode));
  if (theText.empty())
    theText = FormatC("Error 0x%08X", static_cast<unsigned>(inCode));
  return theText;
}
