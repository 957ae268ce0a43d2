#include "core/TimedLog.h"

#include "core/EventLog.h"
#include "core/FileUtilities.h"
#include "core/Preferences.h"
#include "core/StandardRandom.h"
#include "platform/base/Environment.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/TessalineHome.h"
#include "platform/files/FileRoots.h"
#include "platform/files/Files.h"
#include "platform/threads/Threads.h"

#include <atomic>
#include <cinttypes>
#include <cstring>

namespace {

constexpr std::size_t kPathRoom = 256;       // a log file's path, with its NUL
constexpr DWORD kDirectoryRoom = 255;        // the expanded directory, with its NUL
constexpr std::size_t kStartTimeLength = 20;

std::atomic<DWORD> gIDsSeededBy{0};
std::atomic<DWORD> gLostRecordReportedBy{0};  // the process that reported a lost record

LONGLONG Counter()
{
  LARGE_INTEGER theCount{};
  QueryPerformanceCounter(&theCount);
  return theCount.QuadPart;
}

// "Mar 09 07:05:03 1999": the calendar text without its weekday, in the C
// library's English whatever the locale.
std::string FormatStartTime(std::time_t inTime)
{
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm theTime{};
  if (!localtime_r(&inTime, &theTime))
    return std::string(kStartTimeLength, ' ');
  std::string theText = FormatC("%s %02d %02d:%02d:%02d %04d", kMonths[theTime.tm_mon % 12], theTime.tm_mday,
                                theTime.tm_hour, theTime.tm_min, theTime.tm_sec, theTime.tm_year + 1900);
  theText.resize(kStartTimeLength, ' ');
  return theText;
}

// The folder of a log path (up to its last '/', without it).
std::string FolderOf(const std::string& inPath)
{
  std::size_t theSlash = inPath.find_last_of('/');
  return theSlash == std::string::npos ? std::string() : inPath.substr(0, theSlash);
}

// Makes the missing log folder, shared with the store's group; true when the
// folder is there afterwards, whoever made it.
bool MakeLogFolder(const std::string& inFolder)
{
  if (CreateDirectoryA(inFolder.c_str(), nullptr)) {
    ShareWithStoreGroup(inFolder.c_str());
    return true;
  }
  return GetLastError() == ERROR_ALREADY_EXISTS && GetFileAttributesA(inFolder.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

// A record that cannot be written: the first of the process (a forked child
// being a process of its own) is reported.
void ReportLostRecord(const std::string& inPath, DWORD inError)
{
  const DWORD theProcess = GetCurrentProcessId();
  if (gLostRecordReportedBy.exchange(theProcess) != theProcess)
    LogEvent("Unable to write log file \"%s\" (%" PRId32 ")", EVENTLOG_ERROR_TYPE, inPath.c_str(),
             static_cast<LONG>(inError));
}

HANDLE OpenForAppending(const std::string& inPath)
{
  return CreateFileA(inPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TimedLog::TimedLog()
{
  SeedStandardRandomOnce(gIDsSeededBy);
  DWORD theHigh = static_cast<DWORD>(StandardRandom());
  mID = (theHigh << 16) | static_cast<DWORD>(StandardRandom());
  mStartTime = std::time(nullptr);
  mStartCounter = Counter();
}

void TimedLog::Stop()
{
  mStopCounter = Counter();
}

LONGLONG TimedLog::GetDuration() const
{
  LARGE_INTEGER theFrequency{};
  if (!QueryPerformanceFrequency(&theFrequency) || theFrequency.QuadPart <= 0)
    return 0;
  LONGLONG theTicks = mStopCounter - mStartCounter;
  LONGLONG thePerSecond = theFrequency.QuadPart;
  return theTicks / thePerSecond * 1000 + theTicks % thePerSecond * 1000 / thePerSecond;
}

void TimedLog::Finish()
{
  AppendLine(FormatLine());
}

std::string TimedLog::GetHeader() const
{
  return "Version\tID\tStartTime\tDuration(ms)";
}

std::string TimedLog::FormatLine()
{
  Stop();
  return FormatC("%" PRId32 "\t%" PRIx32 "\t%s\t%" PRId32, mVersion, mID, FormatStartTime(mStartTime).c_str(),
                 static_cast<LONG>(GetDuration()));
}

const char* TimedLog::GetFileName() const
{
  return "default.log";
}

DWORD TimedLog::GetMaxFileSize() const
{
  return static_cast<DWORD>(GetPrefLong("LogMaxFileSize", 65535));
}

std::string TimedLog::GetPath() const
{
  std::string theDirectory = GetLogDirectory();
  std::string thePath = theDirectory + GetFileName();
  if (theDirectory.empty() || thePath.size() >= kPathRoom)
    return {};
  return thePath;
}

void TimedLog::AppendLine(const std::string& inLine)
{
  std::string thePath = GetPath();
  if (thePath.empty()) {
    ReportLostRecord(GetLogDirectory() + GetFileName(), ERROR_BUFFER_OVERFLOW);
    return;
  }
  const FileRootGrant theOwnFolder(FolderOf(thePath));
  DWORD theSize = 0;
  if (GetFileSizeByPath(thePath.c_str(), theSize) && theSize > GetMaxFileSize())
    SetFileLength(thePath.c_str(), 0);
  HANDLE theFile = OpenForAppending(thePath);
  // The folder may be made meanwhile by another process: then it is there.
  if (theFile == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND && MakeLogFolder(FolderOf(thePath)))
    theFile = OpenForAppending(thePath);
  if (theFile == INVALID_HANDLE_VALUE) {
    ReportLostRecord(thePath, GetLastError());
    return;
  }
  if (GetLastError() != ERROR_ALREADY_EXISTS)
    ShareWithStoreGroup(thePath.c_str());
  // Writers take turns at the first byte (closing the file ends the turn), so
  // that an empty file, just made or emptied, gets its header from the one
  // who writes to it first and from nobody else.
  OVERLAPPED theFirstByte{};
  LockFileEx(theFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &theFirstByte);
  DWORD theHigh = 0;
  bool theEmpty = GetFileSize(theFile, &theHigh) == 0 && theHigh == 0;
  std::string theText = theEmpty ? GetHeader() + "\r\n" : std::string();
  theText += inLine + "\r\n";
  DWORD theWritten = 0;
  if (!WriteFile(theFile, theText.data(), static_cast<DWORD>(theText.size()), &theWritten, nullptr))
    ReportLostRecord(thePath, GetLastError());
  CloseHandle(theFile);
}

std::string GetLogDirectory()
{
  std::string theDefault = GetDefaultLogDirectory();
  char theExpanded[kDirectoryRoom];
  DWORD theNeeded = ExpandEnvironmentStringsA(theDefault.c_str(), theExpanded, kDirectoryRoom);
  if (theNeeded == 0 || theNeeded > kDirectoryRoom)
    return {};
  std::string theDirectory = theExpanded;
  if (!theDirectory.empty() && theDirectory.back() != '/')
    theDirectory += '/';
  return theDirectory;
}

LONG SetLogDirectory(const char* inDirectory)
{
  const char* theText = inDirectory ? inDirectory : "";
  return SetPrefString("LogDirectory", theText, static_cast<DWORD>(std::strlen(theText)));
}
