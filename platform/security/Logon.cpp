// LogonUserA (declared in Security.h): passwords are checked by PAM, loaded
// by the first logon (PamLibrary.h).

#include "platform/base/AsciiCase.h"
#include "platform/base/Environment.h"
#include "platform/base/LastError.h"
#include "platform/kernel/HandleTable.h"
#include "platform/security/PamLibrary.h"
#include "platform/security/Security.h"
#include "platform/security/TokenObject.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kServiceName[] = "tessaline";

struct Credentials {
  const char* mUser;
  const char* mPassword;
};

// Answers PAM's prompts: the password to hidden prompts, the user name to
// visible ones; messages need no answer.
int Converse(int inCount, const pam_message** inMessages, pam_response** outResponses, void* inCredentials)
{
  if (inCount <= 0)
    return PAM_CONV_ERR;
  const Credentials& theCredentials = *static_cast<const Credentials*>(inCredentials);
  auto* theResponses = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(inCount), sizeof(pam_response)));
  if (!theResponses)
    return PAM_BUF_ERR;
  for (int i = 0; i < inCount; ++i) {
    const char* theAnswer = nullptr;
    if (inMessages[i]->msg_style == PAM_PROMPT_ECHO_OFF)
      theAnswer = theCredentials.mPassword;
    else if (inMessages[i]->msg_style == PAM_PROMPT_ECHO_ON)
      theAnswer = theCredentials.mUser;
    if (theAnswer && !(theResponses[i].resp = strdup(theAnswer))) {
      for (int j = 0; j < i; ++j)
        std::free(theResponses[j].resp);
      std::free(theResponses);
      return PAM_BUF_ERR;
    }
  }
  *outResponses = theResponses;
  return PAM_SUCCESS;
}

DWORD WindowsErrorOf(int inPamResult)
{
  switch (inPamResult) {
    case PAM_SUCCESS: return ERROR_SUCCESS;
    case PAM_BUF_ERR: return ERROR_NOT_ENOUGH_MEMORY;
    case PAM_ACCT_EXPIRED:
    case PAM_NEW_AUTHTOK_REQD:
    case PAM_AUTHTOK_EXPIRED:
    case PAM_PERM_DENIED: return ERROR_ACCOUNT_RESTRICTION;
    default: return ERROR_LOGON_FAILURE;
  }
}

// Authenticates the user and checks the account; answers 0 or a Windows
// error, and in outAccount the user name PAM settled on.
DWORD Authenticate(const char* inUser, const char* inPassword, std::string& outAccount)
{
  if (!LoadPam())
    return WindowsErrorOf(PAM_SYSTEM_ERR);  // as when PAM cannot start
  Credentials theCredentials{inUser, inPassword};
  pam_conv theConversation{Converse, &theCredentials};
  pam_handle_t* theSession = nullptr;
  int theResult = pam_start(kServiceName, inUser, &theConversation, &theSession);
  if (theResult != PAM_SUCCESS)
    return WindowsErrorOf(theResult);
  theResult = pam_authenticate(theSession, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (theResult == PAM_SUCCESS)
    theResult = pam_acct_mgmt(theSession, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  const void* theUser = nullptr;
  if (theResult == PAM_SUCCESS && pam_get_item(theSession, PAM_USER, &theUser) == PAM_SUCCESS && theUser)
    outAccount = static_cast<const char*>(theUser);
  pam_end(theSession, theResult);
  return WindowsErrorOf(theResult);
}

bool IsLocalDomain(LPCSTR inDomain)
{
  if (!inDomain || !*inDomain || std::strcmp(inDomain, ".") == 0)
    return true;
  char theHost[256] = {};
  DWORD theSize = sizeof theHost;
  return GetComputerNameA(theHost, &theSize) && EqualsIgnoringCase(inDomain, std::string_view(theHost, theSize));
}

}  // namespace

BOOL LogonUserA(LPCSTR inUsername, LPCSTR inDomain, LPCSTR inPassword, DWORD inLogonType, DWORD inLogonProvider,
                PHANDLE outToken)
{
  if (outToken)
    *outToken = nullptr;
  bool theKnownType = inLogonType == LOGON32_LOGON_INTERACTIVE || inLogonType == LOGON32_LOGON_NETWORK ||
                      inLogonType == LOGON32_LOGON_BATCH || inLogonType == LOGON32_LOGON_SERVICE ||
                      inLogonType == LOGON32_LOGON_NETWORK_CLEARTEXT;
  if (!outToken || !inUsername || !theKnownType || inLogonProvider != LOGON32_PROVIDER_DEFAULT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!TokenObject::CallerMaySwitchIdentity()) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  if (!IsLocalDomain(inDomain)) {
    SetLastError(ERROR_NO_SUCH_DOMAIN);
    return FALSE;
  }
  std::string theAccount;
  DWORD theError = *inUsername ? Authenticate(inUsername, inPassword ? inPassword : "", theAccount)
                               : ERROR_LOGON_FAILURE;
  if (theError != ERROR_SUCCESS) {
    SetLastError(theError);
    return FALSE;
  }
  std::shared_ptr<TokenObject> theToken = TokenObject::ForAccount(theAccount.empty() ? inUsername : theAccount);
  if (!theToken)
    return FALSE;
  HANDLE theHandle = HandleTable::Add(std::move(theToken));
  if (!theHandle)
    return FALSE;
  *outToken = theHandle;
  return TRUE;
}
