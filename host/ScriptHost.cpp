#include "host/ScriptHost.h"

#include "host/DispatchProxy.h"
#include "host/JsText.h"
#include "host/PageRequest.h"
#include "host/PageResponse.h"
#include "host/PageRoot.h"
#include "host/ScriptEnumerator.h"
#include "host/ScriptHeap.h"
#include "host/ValueBridge.h"
#include "platform/automation/Activation.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char* const kPageKey = "PageContext";

PageContext& PageOf(duk_context* inContext)
{
  duk_push_global_stash(inContext);
  duk_get_prop_string(inContext, -1, kPageKey);
  auto* thePage = static_cast<PageContext*>(duk_get_pointer(inContext, -1));
  duk_pop_2(inContext);
  return *thePage;
}

// Turns the first inCount arguments into strings. Their toString may throw,
// so this comes before any C++ object of the native exists.
void CoerceToText(duk_context* inContext, duk_idx_t inCount)
{
  for (duk_idx_t i = 0; i < inCount; ++i)
    duk_to_string(inContext, i);
}

// Argument inIndex, a string after CoerceToText, as UTF-8.
std::string TextArgument(duk_context* inContext, duk_idx_t inIndex)
{
  duk_size_t theLength = 0;
  const char* theText = duk_get_lstring(inContext, inIndex, &theLength);
  return JsToUtf8(std::string_view(theText, theLength));
}

void PushJsString(duk_context* inContext, const std::string& inUtf8)
{
  std::string theText = Utf16ToJs(Utf8ToUtf16(inUtf8));
  duk_push_lstring(inContext, theText.data(), theText.size());
}

duk_ret_t PushOptional(duk_context* inContext, const std::optional<std::string>& inValue)
{
  if (inValue)
    PushJsString(inContext, *inValue);
  else
    duk_push_undefined(inContext);
  return 1;
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

duk_ret_t MapPath(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    const std::string theName = TextArgument(inContext, 0);
    std::string thePath;
    std::string theWhy;
    if (!PageOf(inContext).mRoot.Map(theName, thePath, theWhy)) {
      outError = {E_ACCESSDENIED, theWhy, "Server.MapPath"};
      return -1;
    }
    PushJsString(inContext, thePath);
    return 1;
  });
}

duk_ret_t Write(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  return RunNative(inContext, [&](ScriptError&) -> duk_ret_t {
    const std::string theText = TextArgument(inContext, 0);
    PageOf(inContext).mResponse.Write(theText.data(), theText.size());
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
    PageOf(inContext).mResponse.Write(theData, theSize);
    return 0;
  });
}

// Runs a setter of PageResponse that answers the reason of a refusal. The
// setter reads its texts itself, inside the body, so that they are gone
// before a refusal is thrown.
template <class Setter>
duk_ret_t SetResponse(duk_context* inContext, const char* inSource, Setter&& inSetter)
{
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    std::string theRefusal = inSetter(PageOf(inContext).mResponse);
    if (theRefusal.empty())
      return 0;
    outError = {E_INVALIDARG, "Cannot set the response: " + theRefusal, inSource};
    return -1;
  });
}

duk_ret_t AddHeader(duk_context* inContext)
{
  CoerceToText(inContext, 2);
  return SetResponse(inContext, "Response.AddHeader", [&](PageResponse& ioResponse) {
    return ioResponse.AddHeader(TextArgument(inContext, 0), TextArgument(inContext, 1));
  });
}

duk_ret_t GetContentType(duk_context* inContext)
{
  PushJsString(inContext, PageOf(inContext).mResponse.ContentType());
  return 1;
}

duk_ret_t SetContentType(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  return SetResponse(inContext, "Response.ContentType", [&](PageResponse& ioResponse) {
    return ioResponse.SetContentType(TextArgument(inContext, 0));
  });
}

duk_ret_t GetStatus(duk_context* inContext)
{
  PushJsString(inContext, PageOf(inContext).mResponse.Status());
  return 1;
}

duk_ret_t SetStatus(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  return SetResponse(inContext, "Response.Status", [&](PageResponse& ioResponse) {
    return ioResponse.SetStatus(TextArgument(inContext, 0));
  });
}

duk_ret_t QueryString(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  std::string theName = TextArgument(inContext, 0);
  return PushOptional(inContext, PageOf(inContext).mRequest.QueryString(theName));
}

duk_ret_t Form(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  return RunNative(inContext, [&](ScriptError& outError) -> duk_ret_t {
    const std::string theName = TextArgument(inContext, 0);
    std::optional<std::string> theValue;
    std::string theWhy;
    if (!PageOf(inContext).mRequest.Form(theName, theValue, theWhy)) {
      outError = {E_FAIL, "Cannot read the form: " + theWhy, "Request.Form"};
      return -1;
    }
    return PushOptional(inContext, theValue);
  });
}

duk_ret_t ServerVariables(duk_context* inContext)
{
  CoerceToText(inContext, 1);
  std::string theName = TextArgument(inContext, 0);
  return PushOptional(inContext, PageOf(inContext).mRequest.ServerVariable(theName));
}

void PutFunction(duk_context* inContext, const char* inName, duk_c_function inFunction, duk_idx_t inArguments)
{
  duk_push_c_function(inContext, inFunction, inArguments);
  duk_put_prop_string(inContext, -2, inName);
}

void PutProperty(duk_context* inContext, const char* inName, duk_c_function inGetter, duk_c_function inSetter)
{
  duk_push_string(inContext, inName);
  duk_push_c_function(inContext, inGetter, 0);
  duk_push_c_function(inContext, inSetter, 1);
  duk_def_prop(inContext, -4, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER);
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

struct ScriptHost::State {
  // The page of the host made without one.
  struct CommandLinePage {
    PageRequest mRequest = PageRequest::FromArguments({});
    PageResponse mResponse;
    PageRoot mRoot{".", "."};
    PageContext mContext{mRequest, mResponse, mRoot};
  };

  std::unique_ptr<ScriptHeap> mOwnHeap;  // null on a heap of pages
  duk_context* mPages = nullptr;         // the heap of pages' own context, or null
  duk_context* mContext = nullptr;       // the own heap's, or the page's thread on the heap of pages
  PageContext* mPage = nullptr;
  std::unique_ptr<CommandLinePage> mOwnPage;
};

ScriptHost::ScriptHost() : mState(new State)
{
  mState->mOwnPage = std::make_unique<State::CommandLinePage>();
  Install(mState->mOwnPage->mContext, nullptr);
}

ScriptHost::ScriptHost(PageContext& inPage, ScriptHeap* inPages) : mState(new State)
{
  Install(inPage, inPages);
}

void ScriptHost::Install(PageContext& inPage, ScriptHeap* inPages)
{
  duk_context* theContext = nullptr;
  if (inPages) {
    mState->mPages = inPages->Context();
    duk_push_thread_new_globalenv(mState->mPages);
    theContext = duk_get_context(mState->mPages, -1);
  } else {
    mState->mOwnHeap = std::make_unique<ScriptHeap>();
    theContext = mState->mOwnHeap->Context();
  }
  mState->mContext = theContext;
  mState->mPage = &inPage;
  InstallEnumerator(theContext);

  duk_push_global_stash(theContext);
  duk_push_pointer(theContext, &inPage);
  duk_put_prop_string(theContext, -2, kPageKey);
  duk_pop(theContext);

  duk_push_object(theContext);
  PutFunction(theContext, "CreateObject", CreateObject, 1);
  PutFunction(theContext, "MapPath", MapPath, 1);
  duk_put_global_string(theContext, "Server");

  duk_push_object(theContext);
  PutFunction(theContext, "Write", Write, 1);
  PutFunction(theContext, "BinaryWrite", BinaryWrite, 1);
  PutFunction(theContext, "AddHeader", AddHeader, 2);
  PutProperty(theContext, "ContentType", GetContentType, SetContentType);
  PutProperty(theContext, "Status", GetStatus, SetStatus);
  duk_put_global_string(theContext, "Response");

  duk_push_object(theContext);
  PutFunction(theContext, "QueryString", QueryString, 1);
  PutFunction(theContext, "Form", Form, 1);
  PutFunction(theContext, "ServerVariables", ServerVariables, 1);
  duk_put_global_string(theContext, "Request");
}

ScriptHost::~ScriptHost()
{
  // Every object the page still holds is released: the finalizers run when
  // the host's own heap goes, or, on a heap of pages, when the collection
  // finds the page's thread gone (its objects hold one another in cycles).
  if (mState->mPages) {
    duk_pop(mState->mPages);
    duk_gc(mState->mPages, 0);
  }
  delete mState;
}

int ScriptHost::Run(const std::string& inPagePath, const std::string& inSource,
                    const std::vector<std::string>& inArguments, std::string& outError)
{
  duk_context* theContext = mState->mContext;
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
    outError = theMessage ? JsToUtf8(std::string_view(theMessage, theLength)) : "tlscript: error";
  }
  duk_pop(theContext);
  return theFailed ? 1 : 0;
}

int ScriptHost::Run(const std::string& inPagePath, const std::string& inSource,
                    const std::vector<std::string>& inArguments)
{
  std::string theError;
  if (Run(inPagePath, inSource, inArguments, theError) != 0) {
    std::fprintf(stderr, "%s\n", theError.c_str());
    return 1;
  }
  const PageResponse& theResponse = mState->mPage->mResponse;
  const std::string& theBody = theResponse.Body();
  if (theResponse.IsError()) {
    const std::string theName = inPagePath.substr(inPagePath.rfind('/') + 1);
    const bool theEnds = theBody.empty() || theBody.back() == '\n';
    std::fprintf(stderr, "%s: %s: %s%s", theName.c_str(), theResponse.Status().c_str(), theBody.c_str(),
                 theEnds ? "" : "\n");
    return 1;
  }
  if (std::fwrite(theBody.data(), 1, theBody.size(), stdout) != theBody.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "tlscript: cannot write to standard output\n");
    return 1;
  }
  return 0;
}
