#pragma once
// The page-scripting host: runs one page (ECMAScript 5.1, through Duktape)
// with the objects a page expects:
//
// - Server.CreateObject(progid): a new automation object (see DispatchProxy.h);
// - Server.MapPath(name): the path of a file below the page root (PageRoot.h);
// - Response.Write(text): the text as UTF-8, Response.BinaryWrite(bytes): a
//   byte array (Uint8Array) as it stands, both to the body (PageResponse.h);
// - Response.ContentType and Response.Status (properties) and
//   Response.AddHeader(name, value);
// - Request.QueryString(name), Request.Form(name) and
//   Request.ServerVariables(name): the value as a string, undefined when the
//   request has none (PageRequest.h);
// - new Enumerator(collection) (see ScriptEnumerator.h);
// - args: the page's extra command-line arguments, an Array of strings.
//
// An error the page does not catch ends the run: Run answers 1 with
// "source: description" (for errors of the script itself, the source is the
// page and line).
//
// On the command line (the Run without outError) the page's body goes to
// standard output once the page has run to its end. A page that fails, or
// that sets a status of 400 or more, writes nothing there: its error, or its
// name, status and body, goes to standard error and Run answers 1.

#include <string>
#include <vector>

class PageRequest;
class PageResponse;
class PageRoot;
class ScriptHeap;

// What the page's Request, Response and Server objects stand on; outlives the host.
struct PageContext {
  PageRequest& mRequest;
  PageResponse& mResponse;
  const PageRoot& mRoot;
};

class ScriptHost {
public:
  // A page of the command line: no query string, the current folder as page root.
  ScriptHost();
  // A page in a heap of its own, or on inPages, a heap of pages (the only
  // page there while the host lives).
  explicit ScriptHost(PageContext& inPage, ScriptHeap* inPages = nullptr);
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;
  // Releases every object the page still holds.
  ~ScriptHost();

  // 0 when the page ran to its end, 1 when it failed (outError says why).
  int Run(const std::string& inPagePath, const std::string& inSource, const std::vector<std::string>& inArguments,
          std::string& outError);
  // The same on the command line (see above); also 1 when standard output
  // cannot be written.
  int Run(const std::string& inPagePath, const std::string& inSource, const std::vector<std::string>& inArguments);

private:
  void Install(PageContext& inPage, ScriptHeap* inPages);

  struct State;
  State* mState;
};
