#include "host/ScriptHost.h"

#include "host/DispatchProxy.h"
#include "host/JsText.h"
#include "host/ScriptEnumerator.h"
#include "host/ValueBridge.h"
#include "platform/automation/Activation.h"

#include <cstdio>
#include <cstdlib>

namespace {

void FatalError(void*, const char* inMessage)
{
  std::fprintf(stderr, "tlscript: fatal error: %s\n", inMessage ? inMessage : "unknown");
  std::fflush(stdout);
  std::_Exit(1);
}

bool WriteOut(const void* inData, std::size_t inSize)
{
  return inSize == 0 || std::fwrite(inData, 1, inSize, stdout) == inSize;
}

duk_ret_t CreateObject(duk_context* inContext)
{
  duk_size_t theLength = 0;
  const char* theText = duk_get_lstring(inContext, 0, &theLength);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theText) {
      outError = {CO_E_CLASSSTRING, "Server.CreateObject needs a ProgID", "Server.CreateObject"};
      return -1;
    }
    std::string theProgId = JsToUtf8(std::string_view(theText, theLength));
    auto theFailure = [&](HRESULT inResult, const std::string& inWhy) {
      outError = {inResult, "Cannot create '" + theProgId + "': " + inWhy, "Server.CreateObject"};
      return -1;
    };
    CLSID theClassId;
    HRESULT theResult = CLSIDFromProgID(Utf8ToUtf16(theProgId).c_str(), &theClassId);
    if (theResult == CO_E_CLASSSTRING)
      return theFailure(theResult, "the ProgID is not registered");
    if (FAILED(theResult))
      return theFailure(theResult, "the registry cannot be read: " + SystemTextOf(theResult));
    ComPtr<IDispatch> theObject;
    theResult = CoCreateInstance(theClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, theObject.ReceiveVoid());
    if (FAILED(theResult))
      return theFailure(theResult, SystemTextOf(theResult));
    PushDispatchProxy(inContext, theObject.Get(), theProgId);
    return 1;
  });
}

duk_ret_t Write(duk_context* inContext)
{
  duk_size_t theLength = 0;
  const char* theText = duk_to_lstring(inContext, 0, &theLength);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    std::string theUtf8 = JsToUtf8(std::string_view(theText, theLength));
    if (!WriteOut(theUtf8.data(), theUtf8.size())) {
      outError = {E_FAIL, "Response.Write cannot write to standard output", "Response.Write"};
      return -1;
    }
    return 0;
  });
}

duk_ret_t BinaryWrite(duk_context* inContext)
{
  duk_size_t theSize = 0;
  const void* theData = duk_is_buffer_data(inContext, 0) ? duk_get_buffer_data(inContext, 0, &theSize) : nullptr;
  bool theIsBytes = duk_is_buffer_data(inContext, 0);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    if (!theIsBytes) {
      outError = {DISP_E_TYPEMISMATCH, "Response.BinaryWrite needs a byte array", "Response.BinaryWrite"};
      return -1;
    }
    if (!WriteOut(theData, theSize)) {
      outError = {E_FAIL, "Response.BinaryWrite cannot write to standard output", "Response.BinaryWrite"};
      return -1;
    }
    return 0;
  });
}

void PushJsString(duk_context* inContext, const std::string& inUtf8)
{
  std::string theText = Utf16ToJs(Utf8ToUtf16(inUtf8));
  duk_push_lstring(inContext, theText.data(), theText.size());
}

// Leaves "source: description" of the error at the top on the stack. Run
// protected: reading the error's properties may run the script's getters.
duk_ret_t DescribeError(duk_context* inContext, void*)
{
  duk_idx_t theError = duk_get_top_index(inContext);
  bool theIsObject = duk_is_object(inContext, theError);
  if (theIsObject && duk_get_prop_string(inContext, theError, "source") && duk_is_string(inContext, -1) &&
      duk_get_prop_string(inContext, theError, "description") && duk_is_string(inContext, -1)) {
    duk_push_string(inContext, ": ");
    duk_insert(inContext, -2);
    duk_concat(inContext, 3);
    return 1;
  }
  duk_set_top(inContext, theError + 1);
  if (theIsObject && duk_get_prop_string(inContext, theError, "fileName") && duk_is_string(inContext, -1)) {
    if (duk_get_prop_string(inContext, theError, "lineNumber") && duk_is_number(inContext, -1)) {
      duk_push_sprintf(inContext, " line %ld", static_cast<long>(duk_get_int(inContext, -1)));
      duk_remove(inContext, -2);
    } else {
      duk_pop(inContext);
      duk_push_string(inContext, "");
    }
  } else {
    duk_set_top(inContext, theError + 1);
    duk_push_string(inContext, "tlscript");
    duk_push_string(inContext, "");
  }
  duk_push_string(inContext, ": ");
  duk_dup(inContext, theError);
  duk_safe_to_string(inContext, -1);
  duk_concat(inContext, 4);
  return 1;
}

}  // namespace

struct ScriptHost::Heap {
  duk_context* mContext = nullptr;
};

ScriptHost::ScriptHost() : mHeap(new Heap)
{
  mHeap->mContext = duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalError);
  if (!mHeap->mContext)
    FatalError(nullptr, "cannot make the script heap");
  duk_context* theContext = mHeap->mContext;
  InstallDispatchProxies(theContext);
  InstallEnumerator(theContext);

  duk_push_object(theContext);
  duk_push_c_function(theContext, CreateObject, 1);
  duk_put_prop_string(theContext, -2, "CreateObject");
  duk_put_global_string(theContext, "Server");

  duk_push_object(theContext);
  duk_push_c_function(theContext, Write, 1);
  duk_put_prop_string(theContext, -2, "Write");
  duk_push_c_function(theContext, BinaryWrite, 1);
  duk_put_prop_string(theContext, -2, "BinaryWrite");
  duk_put_global_string(theContext, "Response");
}

ScriptHost::~ScriptHost()
{
  // Runs the finalizers: every object the page still holds is released.
  duk_destroy_heap(mHeap->mContext);
  delete mHeap;
}

int ScriptHost::Run(const std::string& inPagePath, const std::string& inSource,
                    const std::vector<std::string>& inArguments)
{
  duk_context* theContext = mHeap->mContext;
  duk_push_array(theContext);
  for (std::size_t i = 0; i < inArguments.size(); ++i) {
    PushJsString(theContext, inArguments[i]);
    duk_put_prop_index(theContext, -2, static_cast<duk_uarridx_t>(i));
  }
  duk_put_global_string(theContext, "args");

  std::string_view theSource = inSource;
  if (theSource.substr(0, 3) == "\xEF\xBB\xBF")
    theSource.remove_prefix(3);
  std::string theName = inPagePath.substr(inPagePath.rfind('/') + 1);
  PushJsString(theContext, theName);
  bool theFailed = duk_pcompile_lstring_filename(theContext, 0, theSource.data(), theSource.size()) != 0;
  if (!theFailed)
    theFailed = duk_pcall(theContext, 0) != DUK_EXEC_SUCCESS;
  if (theFailed) {
    duk_safe_call(theContext, DescribeError, nullptr, 1, 1);
    duk_size_t theLength = 0;
    const char* theMessage = duk_get_lstring(theContext, -1, &theLength);
    std::string theText = theMessage ? JsToUtf8(std::string_view(theMessage, theLength)) : "tlscript: error";
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", theText.c_str());
  }
  duk_pop(theContext);
  duk_gc(theContext, 0);
  return theFailed ? 1 : 0;
}
