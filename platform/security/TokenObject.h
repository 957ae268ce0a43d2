#pragma once
// A logon token: the identity a thread takes on while it impersonates.

#include "platform/kernel/KernelObject.h"

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

class TokenObject : public KernelObject {
 public:
  static constexpr KernelObjectType kType = KernelObjectType::kToken;

  TokenObject(std::string inName, uid_t inUser, gid_t inGroup, std::vector<gid_t> inGroups)
      : KernelObject(kType),
        mName(std::move(inName)),
        mUser(inUser),
        mGroup(inGroup),
        mGroups(std::move(inGroups))
  {
  }

  // The token of the account inName, with its groups from the group
  // database; null (last error ERROR_LOGON_FAILURE) when there is no such account.
  static std::shared_ptr<TokenObject> ForAccount(const std::string& inName);

  // Whether the calling thread holds the privilege to switch identities
  // (CAP_SETUID and CAP_SETGID in its effective set).
  static bool CallerMaySwitchIdentity();

  const std::string& GetName() const { return mName; }
  uid_t GetUser() const { return mUser; }
  gid_t GetGroup() const { return mGroup; }
  const std::vector<gid_t>& GetGroups() const { return mGroups; }

 private:
  std::string mName;
  uid_t mUser;
  gid_t mGroup;
  std::vector<gid_t> mGroups;  // supplementary groups, the primary one included
};
