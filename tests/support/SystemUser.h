#pragma once
// A throw-away system account for the impersonation tests. Needs root.

#include <sys/types.h>

#include <string>

namespace tltest {

// A user with a password and an extra group, made for one test and removed
// whatever happens to it.
class SystemUser {
public:
  SystemUser();
  ~SystemUser();
  SystemUser(const SystemUser&) = delete;
  SystemUser& operator=(const SystemUser&) = delete;

  const std::string mName;
  const std::string mExtraGroup;
  const std::string mPassword;
  bool mMade = false;  // useradd, groupadd and chpasswd all succeeded
  uid_t mUid = 0;
  gid_t mExtraGid = 0;
};

// A fresh folder below the test home, root's and of inUser's extra group,
// with inMode (setgid, as a machine-wide store is); empty when it cannot be
// handed over.
std::string MakeGroupFolder(const SystemUser& inUser, unsigned inMode);

}  // namespace tltest
