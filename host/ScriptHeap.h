#pragma once
// A script heap for the pages a process runs one after another (a FastCGI
// worker). Each page's ScriptHost made on it runs in a thread of the heap
// with a global environment of its own: its own global object and built-in
// objects, so that nothing one page made or changed reaches the next, and
// every object of the page is released when its host ends. What the pages
// share is what no script can reach: the heap's strings and the traps of the
// automation objects' proxies, made once rather than once a page.

#include <duktape.h>

class ScriptHeap {
public:
  ScriptHeap();
  ~ScriptHeap();
  ScriptHeap(const ScriptHeap&) = delete;
  ScriptHeap& operator=(const ScriptHeap&) = delete;

  duk_context* Context() const { return mContext; }

private:
  duk_context* mContext;
};
