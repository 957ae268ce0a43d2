#include "core/Preferences.h"

#include "core/EventLog.h"
#include "platform/base/Environment.h"
#include "platform/base/TessalineHome.h"
#include "platform/base/Utf8.h"
#include "platform/base/WinError.h"
#include "platform/registry/RegistryKey.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kExpansionRoom = 260;
constexpr std::size_t kMaxDirectory = 258;  // a longer directory gets no separator added
constexpr DWORD kLogDirectoryRoom = 256;

LONG WritePreference(const char* inName, DWORD inType, const void* inData, DWORD inLength)
{
  RegistryKey theKey;
  if (LONG theStatus = theKey.Create(HKEY_LOCAL_MACHINE, kPreferenceKey, KEY_WRITE); theStatus != ERROR_SUCCESS)
    return theStatus;
  return RegSetValueExA(theKey.Get(), inName, 0, inType, static_cast<const BYTE*>(inData), inLength);
}

}  // namespace

std::string PreferenceKey()
{
  return kPreferenceKey;
}

LONG GetPrefLong(const char* inName, LONG inDefault)
{
  // Little-endian bytes over the default: a short value replaces the low bytes.
  std::array<BYTE, 4> theBytes = DwordBytes(static_cast<DWORD>(inDefault));
  DWORD theSize = theBytes.size();
  RegGetValueA(HKEY_LOCAL_MACHINE, kPreferenceKey, inName, RRF_RT_ANY | RRF_NOEXPAND, nullptr, theBytes.data(),
               &theSize);
  return static_cast<LONG>(DWORD{theBytes[0]} | DWORD{theBytes[1]} << 8 | DWORD{theBytes[2]} << 16 |
                           DWORD{theBytes[3]} << 24);
}

LONG SetPrefLong(const char* inName, LONG inValue)
{
  const std::array<BYTE, 4> theBytes = DwordBytes(static_cast<DWORD>(inValue));
  return WritePreference(inName, REG_DWORD, theBytes.data(), theBytes.size());
}

LONG GetPrefData(const char* inName, std::vector<BYTE>& outData)
{
  outData.clear();
  RegistryKey theKey;
  if (LONG theStatus = theKey.Open(HKEY_LOCAL_MACHINE, kPreferenceKey, KEY_READ); theStatus != ERROR_SUCCESS)
    return theStatus;
  DWORD theSize = 0;
  if (LONG theStatus = RegQueryValueExA(theKey.Get(), inName, nullptr, nullptr, nullptr, &theSize);
      theStatus != ERROR_SUCCESS)
    return theStatus;
  try {
    outData.resize(theSize);
  } catch (const std::bad_alloc&) {
    TL_ASSERT_TEXT(false, "comErr");
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  LONG theStatus = RegQueryValueExA(theKey.Get(), inName, nullptr, nullptr, outData.data(), &theSize);
  if (theStatus != ERROR_SUCCESS)
    outData.clear();
  else
    outData.resize(theSize);
  return theStatus;
}

std::string GetPrefString(const char* inName, const char* inDefault, DWORD inSize)
{
  const std::size_t theRoom = inSize > 0 ? inSize - 1 : 0;
  std::string theText(utf8::Cut(inDefault ? inDefault : "", theRoom));
  std::vector<BYTE> theData;
  GetPrefData(inName, theData);
  if (!theData.empty() && theData.size() < inSize) {
    const char* theChars = reinterpret_cast<const char*>(theData.data());
    theText.assign(theChars, std::find(theChars, theChars + theData.size(), '\0'));
  }
  return theText;
}

std::string GetPrefExpandedString(const char* inName, const char* inDefault, DWORD inSize)
{
  std::string theRaw = GetPrefString(inName, inDefault, kExpansionRoom);
  std::string theExpanded(inSize, '\0');
  DWORD theNeeded = ExpandEnvironmentStringsA(theRaw.c_str(), theExpanded.data(), inSize);
  if (theNeeded == 0 || theNeeded > inSize)
    return {};
  theExpanded.resize(std::strlen(theExpanded.c_str()));
  return theExpanded;
}

std::string GetPrefDirectory(const char* inName, const char* inDefault, DWORD inSize)
{
  std::string theDirectory = GetPrefExpandedString(inName, inDefault, inSize);
  if (!theDirectory.empty() && theDirectory.size() <= kMaxDirectory && theDirectory.back() != '/' &&
      theDirectory.size() + 2 <= inSize)
    theDirectory += '/';
  return theDirectory;
}

LONG SetPrefString(const char* inName, const void* inBytes, DWORD inLength)
{
  return WritePreference(inName, REG_BINARY, inBytes, inLength);
}

std::string GetDefaultLogDirectory()
{
  std::string theHome;
  std::string theDefault;
  if (GetTessalineHome(theHome) == ERROR_SUCCESS)
    theDefault = theHome + "/logs/";
  return GetPrefDirectory("LogDirectory", theDefault.c_str(), kLogDirectoryRoom);
}
