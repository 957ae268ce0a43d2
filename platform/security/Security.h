#pragma once
// Logons, impersonation and account queries.
//
// LogonUserA checks a user's password through the PAM service "tessaline" and
// answers a token (a HANDLE) that carries the user's uid, gid and groups.
// ImpersonateLoggedOnUser makes the calling thread act as that user towards
// the file system: its file-system uid and gid and its supplementary groups
// change, for this thread alone, until RevertToSelf. Other threads of the
// process keep their identity, and nothing else about the thread changes. A
// thread started by an impersonating thread starts as the same user.
//
// Logging on and impersonating need the privilege to switch identities
// (CAP_SETUID and CAP_SETGID, which root has); without it both fail with
// ERROR_PRIVILEGE_NOT_HELD. A user unknown, a wrong password or an account
// PAM refuses: ERROR_LOGON_FAILURE. Only the local machine is known: the
// domain "." or "" (or NULL, or this host's name).
//
// Accounts are identified by SIDs of the form S-1-22-1-<uid>.

#include "platform/base/WinError.h"
#include "platform/base/WinTypes.h"
#include "platform/kernel/Handles.h"

constexpr DWORD LOGON32_LOGON_INTERACTIVE = 2;
constexpr DWORD LOGON32_LOGON_NETWORK = 3;
constexpr DWORD LOGON32_LOGON_BATCH = 4;
constexpr DWORD LOGON32_LOGON_SERVICE = 5;
constexpr DWORD LOGON32_LOGON_NETWORK_CLEARTEXT = 8;
constexpr DWORD LOGON32_PROVIDER_DEFAULT = 0;

// Token access rights: accepted; every token may be queried.
constexpr DWORD TOKEN_DUPLICATE = 0x0002;
constexpr DWORD TOKEN_IMPERSONATE = 0x0004;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD TOKEN_READ = 0x00020008;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};

struct SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[2];
};
using PSID = void*;

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};

struct TOKEN_USER {
  SID_AND_ATTRIBUTES User;
};

enum TOKEN_INFORMATION_CLASS : DWORD { TokenUser = 1 };
enum SID_NAME_USE : DWORD { SidTypeUser = 1 };

BOOL LogonUserA(LPCSTR inUsername, LPCSTR inDomain, LPCSTR inPassword, DWORD inLogonType, DWORD inLogonProvider,
                PHANDLE outToken);

// The calling thread acts as the token's user until RevertToSelf (another
// impersonation replaces this one).
BOOL ImpersonateLoggedOnUser(HANDLE inToken);

// Back to the process's own identity; succeeds when not impersonating.
BOOL RevertToSelf();

// The calling thread's impersonation token (inThread: GetCurrentThread());
// ERROR_NO_TOKEN when the thread is not impersonating.
BOOL OpenThreadToken(HANDLE inThread, DWORD inDesiredAccess, BOOL inOpenAsSelf, PHANDLE outToken);

// The process's own token (inProcess: GetCurrentProcess()).
BOOL OpenProcessToken(HANDLE inProcess, DWORD inDesiredAccess, PHANDLE outToken);

// TokenUser only: a TOKEN_USER followed by its SID. *outReturnLength is the
// size needed; ERROR_INSUFFICIENT_BUFFER when inLength is smaller.
BOOL GetTokenInformation(HANDLE inToken, TOKEN_INFORMATION_CLASS inClass, LPVOID outInformation, DWORD inLength,
                         LPDWORD outReturnLength);

// The account name and domain (this host's name) of a user SID, on the local
// machine (inSystemName NULL or ""). On entry the two counts are the buffers'
// sizes; on success they are the texts' lengths; when a buffer is too small
// both are the sizes needed (with the NUL) and the error is
// ERROR_INSUFFICIENT_BUFFER. ERROR_NONE_MAPPED for a SID of no account.
BOOL LookupAccountSidA(LPCSTR inSystemName, PSID inSid, LPSTR outName, LPDWORD inoutNameLength, LPSTR outDomain,
                       LPDWORD inoutDomainLength, SID_NAME_USE* outUse);
