#include "platform/security/Security.h"

#include "platform/base/LastError.h"
#include "platform/kernel/HandleTable.h"
#include "platform/security/TokenObject.h"
#include "platform/threads/Threads.h"

#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The file-system identity of the calling thread: its own while not
// impersonating, and what to go back to while impersonating.
struct ThreadIdentity {
  bool mImpersonating = false;
  uid_t mOwnUser = 0;
  gid_t mOwnGroup = 0;
  std::vector<gid_t> mOwnGroups;
  std::shared_ptr<TokenObject> mToken;
};

thread_local ThreadIdentity tIdentity;

// glibc's setgroups changes every thread of the process; the system call
// itself changes the calling thread only.
bool SetThreadGroups(const std::vector<gid_t>& inGroups)
{
  return syscall(SYS_setgroups, inGroups.size(), inGroups.data()) == 0;
}

// setfsuid and setfsgid report no failure: a second call, which changes
// nothing, tells what the identity is now.
bool SetFileUser(uid_t inUser)
{
  setfsuid(inUser);
  return static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == inUser;
}

bool SetFileGroup(gid_t inGroup)
{
  setfsgid(inGroup);
  return static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))) == inGroup;
}

std::vector<gid_t> CurrentGroups()
{
  int theCount = getgroups(0, nullptr);
  std::vector<gid_t> theGroups(static_cast<std::size_t>(std::max(theCount, 0)));
  theCount = getgroups(static_cast<int>(theGroups.size()), theGroups.data());
  theGroups.resize(static_cast<std::size_t>(std::max(theCount, 0)));
  return theGroups;
}

// Towards the user: groups first, the user last, while the thread still acts as itself.
bool Become(uid_t inUser, gid_t inGroup, const std::vector<gid_t>& inGroups)
{
  return SetThreadGroups(inGroups) && SetFileGroup(inGroup) && SetFileUser(inUser);
}

// Back to the thread's own identity: the user first, which also gives back
// the file-system privileges that acting as another user set aside.
bool BecomeOwn(const ThreadIdentity& inIdentity)
{
  return SetFileUser(inIdentity.mOwnUser) && SetFileGroup(inIdentity.mOwnGroup) &&
         SetThreadGroups(inIdentity.mOwnGroups);
}

std::string AccountName(uid_t inUser)
{
  passwd theEntry{};
  passwd* theFound = nullptr;
  std::vector<char> theBuffer(16384);
  int theError;
  while ((theError = getpwuid_r(inUser, &theEntry, theBuffer.data(), theBuffer.size(), &theFound)) == ERANGE)
    theBuffer.resize(theBuffer.size() * 2);
  return theError == 0 && theFound ? std::string(theEntry.pw_name) : std::string();
}

std::string HostName()
{
  char theHost[256] = {};
  if (gethostname(theHost, sizeof(theHost) - 1) != 0)
    return {};
  theHost[std::strcspn(theHost, ".")] = '\0';
  return theHost;
}

// S-1-22-1-<uid>: the SID of a Unix user.
constexpr BYTE kUnixAuthority = 22;
constexpr DWORD kUnixUsers = 1;

SID MakeUserSid(uid_t inUser)
{
  SID theSid{};
  theSid.Revision = 1;
  theSid.SubAuthorityCount = 2;
  theSid.IdentifierAuthority.Value[5] = kUnixAuthority;
  theSid.SubAuthority[0] = kUnixUsers;
  theSid.SubAuthority[1] = static_cast<DWORD>(inUser);
  return theSid;
}

bool IsUserSid(const SID& inSid)
{
  static const SID_IDENTIFIER_AUTHORITY kAuthority{{0, 0, 0, 0, 0, kUnixAuthority}};
  return inSid.Revision == 1 && inSid.SubAuthorityCount == 2 &&
         std::memcmp(inSid.IdentifierAuthority.Value, kAuthority.Value, sizeof(kAuthority.Value)) == 0 &&
         inSid.SubAuthority[0] == kUnixUsers;
}

}  // namespace

BOOL ImpersonateLoggedOnUser(HANDLE inToken)
{
  std::shared_ptr<TokenObject> theToken = HandleTable::FindAs<TokenObject>(inToken);
  if (!theToken)
    return FALSE;
  if (!TokenObject::CallerMaySwitchIdentity())
    return Fail(ERROR_PRIVILEGE_NOT_HELD, FALSE);
  ThreadIdentity& theIdentity = tIdentity;
  if (!theIdentity.mImpersonating) {
    theIdentity.mOwnUser = static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1)));
    theIdentity.mOwnGroup = static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1)));
    theIdentity.mOwnGroups = CurrentGroups();
  }
  if (!Become(theToken->GetUser(), theToken->GetGroup(), theToken->GetGroups())) {
    int theErrno = errno;
    // Whatever changed goes back: the thread was either itself or another user.
    if (theIdentity.mImpersonating)
      Become(theIdentity.mToken->GetUser(), theIdentity.mToken->GetGroup(), theIdentity.mToken->GetGroups());
    else
      BecomeOwn(theIdentity);
    return Fail(theErrno == EPERM || theErrno == 0 ? ERROR_PRIVILEGE_NOT_HELD : WinErrorFromErrno(theErrno), FALSE);
  }
  theIdentity.mToken = std::move(theToken);
  theIdentity.mImpersonating = true;
  return TRUE;
}

BOOL RevertToSelf()
{
  ThreadIdentity& theIdentity = tIdentity;
  if (!theIdentity.mImpersonating)
    return TRUE;
  if (!BecomeOwn(theIdentity))
    return Fail(ERROR_PRIVILEGE_NOT_HELD, FALSE);
  theIdentity.mImpersonating = false;
  theIdentity.mToken.reset();
  return TRUE;
}

BOOL OpenThreadToken(HANDLE inThread, DWORD, BOOL, PHANDLE outToken)
{
  if (!outToken)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *outToken = nullptr;
  if (inThread != GetCurrentThread())
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!tIdentity.mImpersonating)
    return Fail(ERROR_NO_TOKEN, FALSE);
  HANDLE theHandle = HandleTable::Add(tIdentity.mToken);
  if (!theHandle)
    return FALSE;
  *outToken = theHandle;
  return TRUE;
}

BOOL OpenProcessToken(HANDLE inProcess, DWORD, PHANDLE outToken)
{
  if (!outToken)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *outToken = nullptr;
  if (inProcess != GetCurrentProcess())
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  uid_t theUser = geteuid();
  std::vector<gid_t> theGroups = tIdentity.mImpersonating ? tIdentity.mOwnGroups : CurrentGroups();
  auto theToken = std::make_shared<TokenObject>(AccountName(theUser), theUser, getegid(), std::move(theGroups));
  HANDLE theHandle = HandleTable::Add(std::move(theToken));
  if (!theHandle)
    return FALSE;
  *outToken = theHandle;
  return TRUE;
}

BOOL GetTokenInformation(HANDLE inToken, TOKEN_INFORMATION_CLASS inClass, LPVOID outInformation, DWORD inLength,
                         LPDWORD outReturnLength)
{
  std::shared_ptr<TokenObject> theToken = HandleTable::FindAs<TokenObject>(inToken);
  if (!theToken)
    return FALSE;
  if (inClass != TokenUser || !outReturnLength)
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  // The SID follows the record in the caller's buffer.
  constexpr DWORD kNeeded = sizeof(TOKEN_USER) + sizeof(SID);
  *outReturnLength = kNeeded;
  if (!outInformation || inLength < kNeeded)
    return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  auto* theRecord = static_cast<TOKEN_USER*>(outInformation);
  SID* theSid = reinterpret_cast<SID*>(theRecord + 1);
  *theSid = MakeUserSid(theToken->GetUser());
  theRecord->User.Sid = theSid;
  theRecord->User.Attributes = 0;
  return TRUE;
}

BOOL LookupAccountSidA(LPCSTR inSystemName, PSID inSid, LPSTR outName, LPDWORD inoutNameLength, LPSTR outDomain,
                       LPDWORD inoutDomainLength, SID_NAME_USE* outUse)
{
  if (!inSid || !inoutNameLength || !inoutDomainLength || (inSystemName && *inSystemName))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  const SID& theSid = *static_cast<const SID*>(inSid);
  std::string theName = IsUserSid(theSid) ? AccountName(static_cast<uid_t>(theSid.SubAuthority[1])) : std::string();
  if (theName.empty())
    return Fail(ERROR_NONE_MAPPED, FALSE);
  std::string theDomain = HostName();
  if (!outName || !outDomain || *inoutNameLength <= theName.size() || *inoutDomainLength <= theDomain.size()) {
    *inoutNameLength = static_cast<DWORD>(theName.size() + 1);
    *inoutDomainLength = static_cast<DWORD>(theDomain.size() + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  std::memcpy(outName, theName.c_str(), theName.size() + 1);
  std::memcpy(outDomain, theDomain.c_str(), theDomain.size() + 1);
  *inoutNameLength = static_cast<DWORD>(theName.size());
  *inoutDomainLength = static_cast<DWORD>(theDomain.size());
  if (outUse)
    *outUse = SidTypeUser;
  return TRUE;
}
