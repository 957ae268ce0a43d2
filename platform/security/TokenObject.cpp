#include "platform/security/TokenObject.h"

#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

std::shared_ptr<TokenObject> TokenObject::ForAccount(const std::string& inName)
{
  passwd theEntry{};
  passwd* theFound = nullptr;
  std::vector<char> theBuffer(16384);
  int theError;
  while ((theError = getpwnam_r(inName.c_str(), &theEntry, theBuffer.data(), theBuffer.size(), &theFound)) == ERANGE)
    theBuffer.resize(theBuffer.size() * 2);
  if (theError != 0 || !theFound) {
    SetLastError(ERROR_LOGON_FAILURE);
    return nullptr;
  }
  std::vector<gid_t> theGroups(32);
  int theCount = static_cast<int>(theGroups.size());
  while (getgrouplist(theEntry.pw_name, theEntry.pw_gid, theGroups.data(), &theCount) < 0) {
    theGroups.resize(std::max<std::size_t>(static_cast<std::size_t>(theCount), theGroups.size() * 2));
    theCount = static_cast<int>(theGroups.size());
  }
  theGroups.resize(static_cast<std::size_t>(theCount));
  return std::make_shared<TokenObject>(theEntry.pw_name, theEntry.pw_uid, theEntry.pw_gid, std::move(theGroups));
}

bool TokenObject::CallerMaySwitchIdentity()
{
  __user_cap_header_struct theHeader{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct theSets[_LINUX_CAPABILITY_U32S_3]{};
  if (syscall(SYS_capget, &theHeader, theSets) != 0)
    return false;
  constexpr std::uint32_t kNeeded = (1u << CAP_SETUID) | (1u << CAP_SETGID);
  return (theSets[0].effective & kNeeded) == kNeeded;
}
