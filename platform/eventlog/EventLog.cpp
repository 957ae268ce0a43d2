#include "platform/eventlog/EventLog.h"

#include "platform/base/Environment.h"
#include "platform/base/HandleNumbers.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/TessalineHome.h"
#include "platform/base/Utf8.h"
#include "platform/base/WinError.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

constexpr off_t kRotateSize = 16 * 1024 * 1024;
constexpr std::size_t kMaxTextBytes = 31839;
constexpr mode_t kLogMode = 0660;

// Event source handles are numbers of their own range, so that no other kind
// of handle passes for one.
constexpr std::uint32_t kFirstSourceNumber = 0x45560001u;
constexpr std::uint32_t kLastSourceNumber = 0x4556FFFFu;

std::mutex gSourcesLock;
std::unordered_map<std::uint32_t, std::string> gSources;
std::uint32_t gNextSourceNumber = kFirstSourceNumber;
std::once_flag gForkHandlersInstalled;

// openlog's name is process-wide: one event at a time goes to syslog.
std::mutex gSyslogLock;

void LockAll()
{
  gSyslogLock.lock();
  gSourcesLock.lock();
}

void UnlockAll()
{
  gSourcesLock.unlock();
  gSyslogLock.unlock();
}

// A fork waits until no thread holds our locks, so the child never inherits one held.
void InstallForkHandlers()
{
  std::call_once(gForkHandlersInstalled, [] { pthread_atfork(LockAll, UnlockAll, UnlockAll); });
}

std::optional<std::string> FindSource(HANDLE inEventLog)
{
  InstallForkHandlers();
  std::lock_guard theGuard(gSourcesLock);
  auto theEntry = gSources.find(TableNumber(inEventLog));
  if (theEntry == gSources.end())
    return std::nullopt;
  return theEntry->second;
}

const char* TypeName(WORD inType)
{
  switch (inType) {
  case EVENTLOG_ERROR_TYPE:
    return "Error";
  case EVENTLOG_WARNING_TYPE:
    return "Warning";
  case EVENTLOG_INFORMATION_TYPE:
    return "Information";
  default:
    return nullptr;
  }
}

int SyslogPriority(WORD inType)
{
  return inType == EVENTLOG_ERROR_TYPE ? LOG_ERR : inType == EVENTLOG_WARNING_TYPE ? LOG_WARNING : LOG_INFO;
}

// A field that cannot break the line: its line breaks and tabs become blanks,
// and it is cut to inLimit bytes without splitting a UTF-8 sequence.
std::string Field(std::string_view inText, std::size_t inLimit)
{
  std::string theField(utf8::Cut(inText, inLimit));
  for (char& theChar : theField)
    if (theChar == '\r' || theChar == '\n' || theChar == '\t')
      theChar = ' ';
  return theField;
}

std::string Timestamp()
{
  auto theNow = std::chrono::system_clock::now();
  std::time_t theSeconds = std::chrono::system_clock::to_time_t(theNow);
  auto theMilliseconds =
    std::chrono::duration_cast<std::chrono::milliseconds>(theNow.time_since_epoch()).count() % 1000;
  std::tm theTime{};
  gmtime_r(&theSeconds, &theTime);
  return FormatC("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", theTime.tm_year + 1900, theTime.tm_mon + 1, theTime.tm_mday,
                 theTime.tm_hour, theTime.tm_min, theTime.tm_sec, static_cast<int>(theMilliseconds));
}

// Renames a full log to its ".1" unless another writer did it first: under a
// lock on the full file, the rename happens only while the path still names
// that very file and it is still full.
void Rotate(int inFile, const std::string& inPath)
{
  while (flock(inFile, LOCK_EX) != 0)
    if (errno != EINTR)
      return;
  struct stat theOpen {};
  struct stat theNamed {};
  if (fstat(inFile, &theOpen) == 0 && stat(inPath.c_str(), &theNamed) == 0 && theOpen.st_dev == theNamed.st_dev &&
      theOpen.st_ino == theNamed.st_ino && theNamed.st_size >= kRotateSize)
    rename(inPath.c_str(), (inPath + ".1").c_str());
  flock(inFile, LOCK_UN);
}

// Appends one line with one write; ERROR_SUCCESS or the Windows error.
DWORD AppendLine(const std::string& inPath, const std::string& inLine)
{
  for (int theAttempt = 0;; ++theAttempt) {
    int theFile = open(inPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kLogMode);
    if (theFile < 0)
      return WinErrorFromErrno(errno);
    struct stat theInfo {};
    if (fstat(theFile, &theInfo) != 0) {
      const DWORD theError = WinErrorFromErrno(errno);
      close(theFile);
      return theError;
    }
    // A log just made (empty, ours) gets kLogMode whatever the umask.
    if (theInfo.st_size == 0 && theInfo.st_uid == geteuid() && (theInfo.st_mode & 07777) != kLogMode)
      fchmod(theFile, kLogMode);
    if (theAttempt == 0 && theInfo.st_size >= kRotateSize) {
      Rotate(theFile, inPath);
      close(theFile);
      continue;
    }
    ssize_t theWritten = -1;
    do
      theWritten = write(theFile, inLine.data(), inLine.size());
    while (theWritten < 0 && errno == EINTR);
    int theErrno = errno;
    close(theFile);
    if (theWritten < 0)
      return WinErrorFromErrno(theErrno);
    return static_cast<std::size_t>(theWritten) == inLine.size() ? ERROR_SUCCESS : ERROR_DISK_FULL;
  }
}

bool SyslogWanted()
{
  const char* theSetting = std::getenv("TESSALINE_SYSLOG");
  return theSetting != nullptr && std::strcmp(theSetting, "1") == 0;
}

void SendToSyslog(const std::string& inSource, WORD inType, const std::string& inText)
{
  std::lock_guard theGuard(gSyslogLock);
  openlog(inSource.c_str(), LOG_PID, LOG_USER);
  syslog(SyslogPriority(inType), "%s", inText.c_str());
  closelog();
}

}  // namespace

HANDLE RegisterEventSourceA(LPCSTR inServerName, LPCSTR inSourceName)
{
  if (inSourceName == nullptr || inSourceName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsLocalMachineName(inServerName)) {
    SetLastError(ERROR_BAD_NETPATH);
    return nullptr;
  }
  InstallForkHandlers();
  std::lock_guard theGuard(gSourcesLock);
  std::uint32_t theNumber = TakeFreeNumber(gSources, gNextSourceNumber, kFirstSourceNumber, kLastSourceNumber);
  gSources[theNumber] = Field(inSourceName, 255);
  return NumberToHandle<HANDLE>(theNumber);
}

BOOL ReportEventA(HANDLE inEventLog, WORD inType, WORD inCategory, DWORD inEventID, void* inUserSid,
                  WORD inNumStrings, DWORD inDataSize, LPCSTR* inStrings, LPVOID inRawData)
{
  std::optional<std::string> theSource = FindSource(inEventLog);
  if (!theSource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const char* theTypeName = TypeName(inType);
  if (theTypeName == nullptr || (inNumStrings > 0 && (inStrings == nullptr || inStrings[0] == nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string theText = inNumStrings > 0 ? Field(inStrings[0], kMaxTextBytes) : std::string();

  std::string theLine = Timestamp() + '\t' + theTypeName + '\t' + *theSource + '\t' +
                        FormatC("%u\t%u\t", static_cast<unsigned>(inCategory), static_cast<unsigned>(inEventID)) +
                        theText + '\n';
  std::string theHome;
  DWORD theError = GetTessalineHome(theHome);
  if (theError == ERROR_SUCCESS)
    theError = AppendLine(theHome + "/events.log", theLine);
  if (SyslogWanted())
    SendToSyslog(*theSource, inType, theText);
  if (theError != ERROR_SUCCESS) {
    SetLastError(theError);
    return FALSE;
  }
  return TRUE;
}

BOOL DeregisterEventSource(HANDLE inEventLog)
{
  InstallForkHandlers();
  std::lock_guard theGuard(gSourcesLock);
  if (gSources.erase(TableNumber(inEventLog)) != 1) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
