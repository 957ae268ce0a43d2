#pragma once
// Named mutexes shared by every process on the machine that uses the same
// TESSALINE_HOME.
//
// Each name is a robust, recursive, process-shared pthread mutex in a POSIX
// shared-memory object. The object's name is made from the mutex name and a
// hash of the resolved TESSALINE_HOME, so two installations (or two test runs)
// never share a lock. Ownership is per thread and recursive, as on Windows: a
// successful WaitForSingleObject (Handles.h) owns the mutex once more, and
// ReleaseMutex gives up one ownership. When the owning thread or process ends
// without releasing it, the next wait answers WAIT_ABANDONED and owns it.
//
// Objects are created mode 0660 and never removed: a name, once made, exists
// until the machine restarts, and each process maps each name once and keeps
// it. A new object is set up under an exclusive lock of the object and marked
// ready last, so nobody ever uses a half-made mutex, and one whose maker died
// half-way is set up by the next user.
//
// TESSALINE_HOME is resolved as the hosts resolve it: the environment
// variable; else /var/lib/tessaline when it exists; else
// $XDG_STATE_HOME/tessaline (or ~/.local/state/tessaline).

#include "platform/base/WinTypes.h"
#include "platform/kernel/Handles.h"

#include <string>

// A new handle to the named mutex. When this call made the mutex, the last
// error is 0 and, with inInitialOwner, the calling thread owns it; when it
// existed already, the last error is ERROR_ALREADY_EXISTS and nothing is owned.
// NULL with the last error on failure, at once (ERROR_ACCESS_DENIED when the
// mutex belongs to someone who does not share it). Names are required.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES inAttributes, BOOL inInitialOwner, LPCSTR inName);

// Gives up one ownership; ERROR_NOT_OWNER when the calling thread owns none.
BOOL ReleaseMutex(HANDLE inMutex);

// The shared-memory object behind a mutex name for the current TESSALINE_HOME
// (for administrators who clean up, and for tests); empty for an unusable name.
std::string GetNamedMutexObjectName(LPCSTR inName);
