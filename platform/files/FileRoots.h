#pragma once
// Where files may be opened.
//
// A page served by a web server (through CGI: GATEWAY_INTERFACE is set)
// reaches only the files below its roots: the page root (TESSALINE_PAGE_ROOT,
// else the server's DOCUMENT_ROOT) and the folders listed, separated by ':',
// in TESSALINE_FILE_ROOTS. From the command line files are confined only when
// TESSALINE_FILE_ROOTS is set (even to nothing): to those folders, and to
// TESSALINE_PAGE_ROOT when that is set too.
//
// A path lies below a root when it resolves there: "." and "..", and every
// symbolic link on the way, the last name's included, are taken out first
// (realpath of the file, or of its folder for a file not yet made), so a link
// inside a root that leads out is refused. A path whose folder does not exist
// is judged by the part of it that does: opening it fails anyway. The file
// entry points (CreateFileA, DeleteFileA, CreateDirectoryA,
// GetFileAttributesA, FindFirstFileA, GetTempFileNameA) check every path they
// are given and refuse one outside with ERROR_ACCESS_DENIED before they read,
// write or make anything; so does the QuickTime boundary before it hands a
// path to QuickTime, which opens its files itself.
//
// Beside the roots, a confined process reaches:
// - the temporary files it made itself in the temporary folder
//   (GetTempFileNameA, or CreateFileA with CREATE_NEW and
//   FILE_ATTRIBUTE_TEMPORARY there), until it deletes them;
// - on one thread, while a FileRootGrant lives, the folder the grant names:
//   the library's own logs and colour profiles, wherever the administrator
//   put them.
// The roots are read from the environment at each check.

#include "platform/base/WinTypes.h"

#include <string>

// ERROR_SUCCESS when inPath may be reached, else ERROR_ACCESS_DENIED.
// inNewTemporary: the path is to be made, exclusively, as a temporary file.
[[nodiscard]] DWORD CheckFileRoots(const char* inPath, bool inNewTemporary = false);

// True when files are confined in this process now.
bool FilesConfined();

// Records inPath, just made by this process as a temporary file, so that it
// may be reached again; ForgetTemporaryFile when it is deleted.
void NoteTemporaryFile(const char* inPath);
void ForgetTemporaryFile(const char* inPath);

// While it lives, the calling thread also reaches the files below inFolder
// (made or not). Grants nest.
class FileRootGrant {
public:
  explicit FileRootGrant(const std::string& inFolder);
  ~FileRootGrant();
  FileRootGrant(const FileRootGrant&) = delete;
  FileRootGrant& operator=(const FileRootGrant&) = delete;
};
