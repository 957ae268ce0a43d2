#pragma once
// Small file services shared by the codecs and the scripting objects: a
// bounded directory walk, whole-file reads and writes, file probes, bounded
// string copies and uniquely named temporary files for components that only
// take file names. Paths are UTF-8 with '/' as the separator. Nothing here
// throws: failures answer false (or 0), with the Windows error as the last
// error.
//
// Whole-file writes lock the whole file exclusively and whole-file reads take
// a shared lock, both failing at once when the other is held. The locks are
// open-file-description locks, so two threads of one process exclude each
// other as two processes do: a reader is refused, never served a half-written
// file, and a second writer is refused rather than mixed into the first.

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <string>
#include <vector>

// Longest path that WalkDirectory starts from, and the length (with the NUL
// of the original's buffers) that no visited path may reach.
inline constexpr std::size_t kMaxWalkPath = 257;
inline constexpr std::size_t kWalkPathRoom = 260;

// Called for each file of a walk with its path; a non-zero answer stops the walk.
using WalkCallback = LONG (*)(const char* inPath, void* inContext);

// Walks inPath. A file: inCallback is called once with inPath, and the walk
// answers 0 whatever it answered. A directory: its files are passed to
// inCallback, in the file system's order, and its subdirectories walked while
// their depth stays below inMaxDepth (1: the directory's own files only);
// "." and "..", and entries whose path would reach 260 bytes, are left out.
// Answers the non-zero result that stopped the walk, or 0. A path that is
// empty, missing or longer than 257 bytes answers 0 without a call.
LONG WalkDirectory(const char* inPath, WalkCallback inCallback, LONG inMaxDepth, void* inContext);

// Writes inData as the whole content of inPath, creating it when missing and
// cutting a longer old file. False, with nothing written, when another
// reader or writer holds the file.
bool WriteWholeFile(const char* inPath, const void* inData, DWORD inLength);
// The whole content of inPath (an empty file gives true and no bytes); false
// and no bytes when it cannot be read whole or a writer holds it, and with
// ERROR_ARITHMETIC_OVERFLOW, before anything is read, when it is longer than
// inMaxLength bytes.
bool ReadWholeFile(const char* inPath, std::vector<BYTE>& outData, DWORD inMaxLength = 0xFFFFFFFF);

// True when inPath is a regular file that can be opened for reading.
bool FileExists(const char* inPath);
// The size of a regular file that can be opened for reading; false and 0 for
// anything else, and for files of 4 GiB - 1 bytes or more.
bool GetFileSizeByPath(const char* inPath, DWORD& outSize);
// Cuts or extends inPath (created when missing) to inLength bytes. False when
// another reader or writer holds the file.
bool SetFileLength(const char* inPath, DWORD inLength);

// The text after the last '.' of the path's last component, or the empty
// text at the path's end when that has no '.' ("/a.d/file" has none).
const char* GetFileExtension(const char* inPath);

// Copies inSource into the inArraySize bytes at outDest, terminated. A
// longer source is cut (never inside a UTF-8 sequence) and the cut is
// reported as an assertion.
void SafeStrCopy(char* outDest, const char* inSource, std::size_t inArraySize);
// Appends inSource to the text at ioDest within inArraySize bytes, the same way.
void SafeStrCat(char* ioDest, const char* inSource, std::size_t inArraySize);

// Creates a new empty file "tl4<number>.<inExtension>" in the temporary
// folder ($TMPDIR, else /tmp), private to the user (0600) and made
// exclusively, so an existing name (a link included) is never opened; up to
// 1,000 random numbers are tried. The handle can read, write and delete; with
// inDeleteOnClose the file goes when the handle is closed (or when the process
// ends normally), and its name carries the process's id,
// "tl4-<process id>-<number>.<inExtension>": the first such file of a process
// removes those that processes killed meanwhile left in the folder, and
// never those of a process that is still running. The first failure of the
// process is logged as an error event, later ones are silent.
// inExtension may not contain '/'.
bool CreateTempFile(bool inDeleteOnClose, const char* inExtension, HANDLE& outFile, std::string* outPath);
// "<inDirectory><inPrefix><random 0-32767>.<inExtension>": one candidate name,
// for exclusive creation by the caller.
std::string MakeTempFileName(const char* inDirectory, const char* inPrefix, const char* inExtension);
// CreateTempFile, then inData written into it; the open handle and the path
// belong to the caller, who closes the handle. On failure no file is left.
bool WriteTempFile(bool inDeleteOnClose, const char* inExtension, const void* inData, DWORD inLength,
                   HANDLE& outFile, std::string& outPath);
