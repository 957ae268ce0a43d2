#include "core/Impersonator.h"

#include "platform/base/LastError.h"
#include "platform/security/Security.h"
#include "platform/threads/Threads.h"

#include <cstring>

namespace {

constexpr DWORD kNameRoom = 256;

// A token handle closed at the end of its scope.
class TokenHandle {
public:
  TokenHandle() = default;
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  ~TokenHandle()
  {
    if (mHandle)
      CloseHandle(mHandle);
  }
  HANDLE* Receive() { return &mHandle; }
  HANDLE Get() const { return mHandle; }

private:
  HANDLE mHandle = nullptr;
};

}  // namespace

bool Impersonator::Impersonate(const char* inName, const char* inPass, const char* inDomain)
{
  if (!Revert())
    return false;
  if (!inName || !*inName)
    return true;
  RevertToSelf();
  if (!LogonUserA(inName, inDomain, inPass, LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, &mToken)) {
    mToken = nullptr;
    return false;
  }
  if (!ImpersonateLoggedOnUser(mToken)) {
    CloseHandle(mToken);
    mToken = nullptr;
    return false;
  }
  mUndo.Enter(&RevertOnFault, this);
  return true;
}

bool Impersonator::Revert()
{
  if (!mToken)
    return true;
  mUndo.Leave();
  BOOL theResult = RevertToSelf();
  CloseHandle(mToken);
  mToken = nullptr;
  return theResult != FALSE;
}

void Impersonator::RevertOnFault(void* inImpersonator)
{
  static_cast<Impersonator*>(inImpersonator)->Revert();
}

bool Impersonator::GetCurrentAccount(std::string& outName, std::string& outDomain, bool& outIsProcess)
{
  outName.clear();
  outDomain.clear();
  outIsProcess = false;
  TokenHandle theToken;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, theToken.Receive())) {
    if (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, theToken.Receive()))
      return false;
    outIsProcess = true;
  }
  alignas(TOKEN_USER) BYTE theUser[256];
  DWORD theLength = 0;
  if (!GetTokenInformation(theToken.Get(), TokenUser, theUser, sizeof theUser, &theLength))
    return false;
  char theName[kNameRoom] = {};
  char theDomain[kNameRoom] = {};
  DWORD theNameLength = kNameRoom, theDomainLength = kNameRoom;
  SID_NAME_USE theUse{};
  if (!LookupAccountSidA(nullptr, reinterpret_cast<TOKEN_USER*>(theUser)->User.Sid, theName, &theNameLength, theDomain,
                         &theDomainLength, &theUse))
    return false;
  outName.assign(theName, strnlen(theName, kNameRoom));
  outDomain.assign(theDomain, strnlen(theDomain, kNameRoom));
  return true;
}
