#include "platform/base/Environment.h"

#include "platform/base/AsciiCase.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::string Expand(std::string_view inSource)
{
  std::string theResult;
  std::size_t theAt = 0;
  while (theAt < inSource.size()) {
    std::size_t theOpen = inSource.find('%', theAt);
    if (theOpen == std::string_view::npos)
      break;
    theResult.append(inSource.substr(theAt, theOpen - theAt));
    std::size_t theClose = inSource.find('%', theOpen + 1);
    if (theClose == std::string_view::npos) {
      theAt = theOpen;
      break;
    }
    std::string theName(inSource.substr(theOpen + 1, theClose - theOpen - 1));
    const char* theValue = theName.empty() ? nullptr : std::getenv(theName.c_str());
    if (theValue != nullptr) {
      theResult.append(theValue);
      theAt = theClose + 1;
    } else {
      // Not a variable: the text stays, and the closing sign may open the next name.
      theResult.append(inSource.substr(theOpen, theClose - theOpen));
      theAt = theClose;
    }
  }
  theResult.append(inSource.substr(theAt));
  return theResult;
}

}  // namespace

DWORD ExpandEnvironmentStringsA(LPCSTR inSource, LPSTR outBuffer, DWORD inSize)
{
  if (inSource == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string theResult = Expand(inSource);
  if (theResult.size() + 1 > 0xFFFFFFFFu) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  DWORD theNeeded = static_cast<DWORD>(theResult.size() + 1);
  if (outBuffer != nullptr && theNeeded <= inSize)
    std::memcpy(outBuffer, theResult.c_str(), theNeeded);
  return theNeeded;
}

BOOL GetComputerNameA(LPSTR outBuffer, LPDWORD ioSize)
{
  if (ioSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char theHost[HOST_NAME_MAX + 1] = {};
  if (gethostname(theHost, sizeof(theHost) - 1) != 0) {
    SetLastErrorFromErrno(errno);
    return FALSE;
  }
  std::string_view theName(theHost);
  theName = theName.substr(0, theName.find('.'));
  if (outBuffer == nullptr || theName.size() + 1 > *ioSize) {
    *ioSize = static_cast<DWORD>(theName.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(outBuffer, theName.data(), theName.size());
  outBuffer[theName.size()] = '\0';
  *ioSize = static_cast<DWORD>(theName.size());
  return TRUE;
}

bool IsLocalMachineName(LPCSTR inName)
{
  std::string_view theName = inName != nullptr ? std::string_view(inName) : std::string_view();
  if (theName.starts_with("\\\\"))
    theName.remove_prefix(2);
  if (theName.empty())
    return true;
  char theOwnName[HOST_NAME_MAX + 1] = {};
  DWORD theSize = sizeof(theOwnName);
  return GetComputerNameA(theOwnName, &theSize) && EqualsIgnoringCase(theName, std::string_view(theOwnName, theSize));
}
