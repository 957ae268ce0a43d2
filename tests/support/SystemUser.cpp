#include "tests/support/SystemUser.h"

#include "tests/support/TestSupport.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace tltest {

namespace {

bool Run(const std::string& inCommand)
{
  return std::system((inCommand + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RandomHex(int inDigits)
{
  std::random_device theSource;
  std::string theText;
  for (int i = 0; i < inDigits; ++i)
    theText += "0123456789abcdef"[theSource() % 16];
  return theText;
}

}  // namespace

SystemUser::SystemUser() : mName("tl4u" + RandomHex(8)), mExtraGroup("tl4g" + RandomHex(8)), mPassword("Pw-" + RandomHex(16))
{
  mMade = Run("groupadd " + mExtraGroup) && Run("useradd -M -s /usr/sbin/nologin -G " + mExtraGroup + " " + mName) &&
          Run("echo '" + mName + ":" + mPassword + "' | chpasswd");
  const group* theGroup = getgrnam(mExtraGroup.c_str());
  const passwd* theUser = getpwnam(mName.c_str());
  mExtraGid = theGroup ? theGroup->gr_gid : 0;
  mUid = theUser ? theUser->pw_uid : 0;
}

SystemUser::~SystemUser()
{
  Run("userdel " + mName);
  Run("groupdel " + mExtraGroup);
}

std::string MakeGroupFolder(const SystemUser& inUser, unsigned inMode)
{
  const std::string theFolder = MakeTempFolder("store");
  if (chown(theFolder.c_str(), 0, inUser.mExtraGid) != 0 || chmod(theFolder.c_str(), static_cast<mode_t>(inMode)) != 0)
    return {};
  return theFolder;
}

}  // namespace tltest
