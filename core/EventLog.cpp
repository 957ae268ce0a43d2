#include "core/EventLog.h"

#include "core/Preferences.h"
#include "core/SystemUtilities.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/Utf8.h"
#include "platform/base/WinError.h"
#include "platform/kernel/Modules.h"
#include "platform/registry/RegistryKey.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace {

constexpr std::size_t kEventRoom = 1024;     // LogEvent's text, with its NUL
constexpr std::size_t kAssertionRoom = 256;  // ReportAssertion's text, with its NUL
constexpr std::size_t kMaxSourceName = 64;
constexpr WORD kCategory = 1;
constexpr DWORD kEventID = 0x1000;
constexpr DWORD kModulePathRoom = MAX_PATH;
constexpr char kSourcesKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// One handle from RegisterEventSourceA, deregistered at the end of its scope.
class EventSource {
public:
  EventSource(const char* inServer, const char* inSource) : mHandle(RegisterEventSourceA(inServer, inSource)) {}
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;
  ~EventSource()
  {
    if (mHandle)
      DeregisterEventSource(mHandle);
  }
  HANDLE Get() const { return mHandle; }

private:
  HANDLE mHandle;
};

LONG SetDword(HKEY inKey, const char* inName, DWORD inValue)
{
  const std::array<BYTE, 4> theBytes = DwordBytes(inValue);
  return RegSetValueExA(inKey, inName, 0, REG_DWORD, theBytes.data(), theBytes.size());
}

// The key inPath below HKEY_LOCAL_MACHINE of the machine inServer, opened or
// created (inHow) with the access inAccess.
using KeyOpening = LONG (RegistryKey::*)(HKEY, const std::string&, REGSAM);
LONG MachineKey(const char* inServer, KeyOpening inHow, const std::string& inPath, REGSAM inAccess,
                RegistryKey& outKey)
{
  RegistryKey theMachine;
  if (LONG theStatus = theMachine.Connect(inServer, HKEY_LOCAL_MACHINE); theStatus != ERROR_SUCCESS)
    return theStatus;
  return (outKey.*inHow)(theMachine.Get(), inPath, inAccess);
}

// The unit a source file holds: its name without folder or extension.
std::string_view UnitName(std::string_view inFile)
{
  std::size_t theSlash = inFile.find_last_of("/\\");
  if (theSlash != std::string_view::npos)
    inFile.remove_prefix(theSlash + 1);
  return inFile.substr(0, inFile.find('.'));
}

}  // namespace

void LogEvent(const char* inFormat, DWORD inType, ...)
{
  // One byte beyond the limit tells whether the cut falls inside a character.
  char theBuffer[kEventRoom + 1];
  va_list theArguments;
  va_start(theArguments, inType);
  int theLength = std::vsnprintf(theBuffer, sizeof theBuffer, inFormat, theArguments);
  va_end(theArguments);
  if (theLength < 0)
    return;
  std::string_view theText(theBuffer, std::min<std::size_t>(static_cast<std::size_t>(theLength), kEventRoom));
  WriteEventLog(nullptr, kEventSource, std::string(utf8::Cut(theText, kEventRoom - 1)).c_str(),
                static_cast<WORD>(inType));
}

void ReportAssertion(const char* inFile, LONG inLine, const char* inExpression)
{
  const std::string theUnit(UnitName(inFile ? inFile : ""));
  const std::string theText =
    FormatC("Assertion Failed in %s line %d (%s)", theUnit.c_str(), inLine, inExpression ? inExpression : "");
  LogEvent("%s", EVENTLOG_ERROR_TYPE, std::string(utf8::Cut(theText, kAssertionRoom - 1)).c_str());
}

HRESULT LogFatalEvent(const char* inMessage, WORD inType)
{
  LogEvent("%s", inType, inMessage ? inMessage : "");
  if (GetPrefLong("AutoRecover", GetOSKind() <= kOSNT4 ? 1 : 0) == 0) {
    // quick_exit runs no static destructors (other threads may still be at
    // work) but removes the process's delete-on-close files.
    std::fflush(nullptr);
    std::quick_exit(1);
  }
  return S_OK;
}

DWORD WriteEventLog(const char* inServer, const char* inSource, const char* inText, WORD inType)
{
  std::string theText;
  try {
    theText = inText ? inText : "";
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (EventSourceExists(inServer, inSource) != ERROR_SUCCESS)
    CreateEventSource(inServer, inSource);
  EventSource theSource(inServer, inSource);
  if (!theSource.Get())
    return GetLastError();
  std::replace(theText.begin(), theText.end(), '\r', ' ');
  std::replace(theText.begin(), theText.end(), '\n', ' ');
  LPCSTR theStrings[1] = {theText.c_str()};
  ReportEventA(theSource.Get(), inType, kCategory, kEventID, nullptr, 1, 0, theStrings, nullptr);
  return ERROR_SUCCESS;
}

LONG EventSourceExists(const char* inServer, const char* inSource)
{
  std::string_view theSource = inSource ? inSource : "";
  if (theSource.size() > kMaxSourceName)
    return ERROR_INVALID_DATA;
  RegistryKey theKey;
  return MachineKey(inServer, &RegistryKey::Open, kSourcesKey + std::string(theSource), KEY_READ, theKey);
}

LONG CreateEventSource(const char* inServer, const char* inSource)
{
  std::string thePath;
  if (LONG theStatus = ReadModulePath(inServer, thePath); theStatus != ERROR_SUCCESS)
    return theStatus;
  RegistryKey theKey;
  if (LONG theStatus = MachineKey(inServer, &RegistryKey::Create, kSourcesKey + std::string(inSource ? inSource : ""),
                                  KEY_WRITE, theKey);
      theStatus != ERROR_SUCCESS)
    return theStatus;
  LONG theStatus = SetDword(theKey.Get(), "CategoryCount", 1);
  if (theStatus == ERROR_SUCCESS)
    theStatus = theKey.WriteString("CategoryMessageFile", thePath);
  if (theStatus == ERROR_SUCCESS)
    theStatus = theKey.WriteString("EventMessageFile", thePath);
  if (theStatus == ERROR_SUCCESS)
    theStatus = SetDword(theKey.Get(), "TypesSupported", 7);
  return theStatus;
}

LONG WriteModulePath()
{
  HMODULE theModule = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&WriteModulePath), &theModule))
    return static_cast<LONG>(GetLastError());
  char thePath[kModulePathRoom];
  DWORD theLength = GetModuleFileNameA(theModule, thePath, kModulePathRoom);
  if (theLength == 0 || theLength >= kModulePathRoom)
    return theLength == 0 ? static_cast<LONG>(GetLastError()) : static_cast<LONG>(ERROR_INSUFFICIENT_BUFFER);
  RegistryKey theKey;
  if (LONG theStatus = theKey.Create(HKEY_LOCAL_MACHINE, kPreferenceKey, KEY_WRITE); theStatus != ERROR_SUCCESS)
    return theStatus;
  return theKey.WriteString("ModulePath", std::string(thePath, theLength));
}

LONG ReadModulePath(const char* inServer, std::string& outPath)
{
  outPath.clear();
  RegistryKey theKey;
  if (LONG theStatus = MachineKey(inServer, &RegistryKey::Open, kPreferenceKey, KEY_READ, theKey);
      theStatus != ERROR_SUCCESS)
    return theStatus;
  char thePath[kModulePathRoom] = {};
  DWORD theSize = kModulePathRoom - 1;
  if (LONG theStatus =
        RegQueryValueExA(theKey.Get(), "ModulePath", nullptr, nullptr, reinterpret_cast<BYTE*>(thePath), &theSize);
      theStatus != ERROR_SUCCESS)
    return theStatus;
  outPath.assign(thePath, strnlen(thePath, theSize));
  return ERROR_SUCCESS;
}
