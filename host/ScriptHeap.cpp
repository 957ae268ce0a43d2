#include "host/ScriptHeap.h"

#include "host/DispatchProxy.h"

#include <cstdio>
#include <cstdlib>

namespace {

void FatalError(void*, const char* inMessage)
{
  std::fprintf(stderr, "tlscript: fatal error: %s\n", inMessage ? inMessage : "unknown");
  std::fflush(stdout);
  std::_Exit(1);
}

}  // namespace

ScriptHeap::ScriptHeap() : mContext(duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalError))
{
  if (!mContext)
    FatalError(nullptr, "cannot make the script heap");
  InstallDispatchProxies(mContext);
}

ScriptHeap::~ScriptHeap()
{
  // Runs the finalizers: every object still held is released.
  duk_destroy_heap(mContext);
}
