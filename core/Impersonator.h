#pragma once
// Acting as another user for the length of an operation: a batch logon and
// the impersonation of the logged-on user by the calling thread, until Revert,
// the end of the Impersonator, or a fault that skips it on its way to a
// guarded call (platform/faults/Faults.h).

#include "platform/base/WinTypes.h"
#include "platform/faults/Faults.h"

#include <string>

class Impersonator {
public:
  Impersonator() = default;
  ~Impersonator() { Revert(); }
  Impersonator(const Impersonator&) = delete;
  Impersonator& operator=(const Impersonator&) = delete;

  // Ends any earlier impersonation; an empty name then stays as the process
  // (true). Otherwise logs inName on and impersonates it; false, with the
  // last error set, when either step fails.
  bool Impersonate(const char* inName, const char* inPass, const char* inDomain);
  // Back to the process's own identity; true when not impersonating.
  bool Revert();

  // The account the calling thread acts as (at most 255 bytes each), and
  // whether it is the process's own (no impersonation).
  static bool GetCurrentAccount(std::string& outName, std::string& outDomain, bool& outIsProcess);

private:
  static void RevertOnFault(void* inImpersonator);

  HANDLE mToken = nullptr;
  FaultUndo mUndo;  // entered while impersonating
};
