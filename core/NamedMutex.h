#pragma once
// A system-wide named mutex held for the length of a scope, with a nesting
// count and a time-out. Every process that loads the library serialises the
// QuickTime life cycle ("QTInitMutex") and the colour-management start-up
// ("LittleCMSMutex") with it:
//
//   NamedMutex theLock("QTInitMutex", 600000);
//   if (!theLock.Acquire())
//     ReportAssertion(__FILE__, __LINE__, "theLock");  // and go on without the lock
//
// An object belongs to one thread; its nesting count is its own, and the
// system mutex is owned once however deep the nesting. Closing (or the end of
// the scope) releases it; so does a fault that skips the scope on its way to
// a guarded call (platform/faults/Faults.h).

#include "platform/base/WinTypes.h"
#include "platform/faults/Faults.h"

#include <string>

class NamedMutex {
public:
  NamedMutex(const char* inName, DWORD inTimeout);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // True when this object holds the mutex afterwards. A wait that finds the
  // mutex abandoned by a thread or process that ended holding it logs
  // "Abandoned mutex detected" and holds it. False after the time-out, or
  // when the mutex cannot be created (the last error says why).
  bool Acquire();
  // Releases the mutex when held, closes the handle.
  void Close();
  // Opens the mutex, asking for ownership; true only when this call made it
  // and so owns it. Creation is retried every 10 ms while the system is short
  // of resources (a warning after 11 failures, an error and false after
  // 30001); any other failure answers false at once.
  bool Create();

  // This object's nesting count (0 = not held).
  LONG GetCount() const { return mCount; }
  // The last Create found the mutex existing.
  bool Existed() const { return mExisted; }

private:
  static void CloseOnFault(void* inMutex);

  HANDLE mHandle = nullptr;
  bool mExisted = false;
  LONG mCount = 0;
  DWORD mTimeout;
  std::string mName;
  FaultUndo mUndo;  // entered while held
};
