#pragma once
// The page-scripting host: runs one page (ECMAScript 5.1, through Duktape)
// with the objects a page expects:
//
// - Server.CreateObject(progid): a new automation object (see DispatchProxy.h);
// - Response.Write(text): the text to standard output, as UTF-8;
// - Response.BinaryWrite(bytes): a byte array (Uint8Array) to standard output;
// - new Enumerator(collection) (see ScriptEnumerator.h);
// - args: the page's extra command-line arguments, an Array of strings.
//
// An error the page does not catch ends the run: "source: description" goes
// to standard error (for errors of the script itself, the source is the page
// and line), and Run answers 1.

#include <string>
#include <vector>

class ScriptHost {
public:
  ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;
  // Releases every object the page still holds.
  ~ScriptHost();

  // 0 when the page ran to its end, 1 when it failed (the message is written).
  int Run(const std::string& inPagePath, const std::string& inSource, const std::vector<std::string>& inArguments);

private:
  struct Heap;
  Heap* mHeap;
};
