#pragma once
// TESSALINE_HOME: the folder of the store every process of the toolkit shares
// (registry.db, events.log, the logs).
//
// Where it is, in order: the environment variable TESSALINE_HOME when set and
// not empty; else /var/lib/tessaline when that folder exists (a machine-wide
// install makes it, setgid to a `tessaline` group, so the web server's user
// and the administrator share it); else $XDG_STATE_HOME/tessaline
// (~/.local/state/tessaline when XDG_STATE_HOME is unset), which is private
// to the user who runs the process. The home is looked up at every call, so a
// process that changes its environment sees the new home at once.

#include "platform/base/WinTypes.h"

#include <string>

// The absolute path of the home, made when missing: the folder named by
// TESSALINE_HOME with mode 0770, the private one (and the folders above it)
// with 0700, both as the umask permits. Answers ERROR_SUCCESS, or the Windows
// error of the failure (ERROR_PATH_NOT_FOUND when the folder above a named
// home is missing, ERROR_DIRECTORY when the path is not a folder,
// ERROR_ACCESS_DENIED ...) and leaves outPath empty.
[[nodiscard]] DWORD GetTessalineHome(std::string& outPath);

// The absolute path GetTessalineHome would answer, without looking at the
// folder or making it: callers that keep something open in the home compare
// it with the home they opened. Empty when no home can be named.
std::string NameTessalineHome();

// True when the home is the per-user fallback below XDG_STATE_HOME.
bool IsTessalineHomePrivate();

// The warning hosts print when the home is private; empty when it is shared.
std::string GetTessalineHomeWarning();

// Gives a file or folder that this process has just made the sharing of the
// store's own files (the registry, the event log), whatever the umask: read
// and write for its group, so that every member of a machine-wide store's
// group may append to it. Files get 0660, folders 0770 with the setgid bit
// they inherited (so a folder of a setgid store is 2770 and what is made in it
// keeps the store's group). Only a folder, or a regular file with one name,
// owned by this process's user is changed; a link is left alone. Answers
// ERROR_SUCCESS, or the Windows error (ERROR_ACCESS_DENIED for what is left
// alone).
DWORD ShareWithStoreGroup(const char* inPath);
