// Operations that run as another user: the work runs as that user, and every
// way out of the run, a fault in the work included, is back as the process
// before anything is logged.

#include "core/Bitmap.h"
#include "core/Impersonator.h"
#include "core/Preferences.h"
#include "objects/Operation.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/support/SystemUser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

std::string CurrentUser(bool& outIsProcess)
{
  std::string theName, theDomain;
  if (!Impersonator::GetCurrentAccount(theName, theDomain, outIsProcess))
    return "(unknown)";
  return theName;
}

// Notes who its work runs as, then does the rest of its work.
class AsWhom : public Operation {
public:
  explicit AsWhom(std::function<void()> inRest) : Operation("As whom:"), mRest(std::move(inRest)) {}

  std::string mUser;

protected:
  LONG DoIt(Bitmap&) override
  {
    bool theIsProcess = true;
    mUser = CurrentUser(theIsProcess);
    mRest();
    return 0;
  }

private:
  std::function<void()> mRest;
};

TEST(Impersonation, TheWorkRunsAsTheUserAndEveryExitRevertsFirst)
{
  if (!tltest::IsRoot())
    GTEST_SKIP() << "needs root to make a user and switch to it";
  tltest::SystemUser theUser;
  ASSERT_TRUE(theUser.mMade) << "useradd or chpasswd failed";
  ASSERT_EQ(SetPrefLong("EnableImpersonation", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetPrefLong("AutoRecover", 1), ERROR_SUCCESS);
  // The impersonation is per thread: the cases run in a child.
  tltest::ChildResult theChild = tltest::RunInChild([&theUser] {
    Bitmap theWorld;
    const std::string theParameters = "user=" + theUser.mName + " password='" + theUser.mPassword + "'";
    bool theIsProcess = false;
    const std::string theProcess = CurrentUser(theIsProcess);

    AsWhom theQuiet([] {});
    theQuiet.SetParameters(theParameters.c_str());
    theQuiet.Run(theWorld, nullptr);
    if (theQuiet.mUser != theUser.mName || theQuiet.GetError()->HasError())
      return 10;
    if (CurrentUser(theIsProcess) != theProcess || !theIsProcess)
      return 11;

    // The fatal event is written as the process: the impersonated user could
    // not write the event log of this home.
    tltest::EventWatcher theEvents;
    AsWhom theFaulting([] { tltest::WriteToBadAddress(); });
    theFaulting.SetParameters(theParameters.c_str());
    theFaulting.Run(theWorld, nullptr);
    if (theFaulting.mUser != theUser.mName || !theFaulting.GetError()->HasError())
      return 12;
    if (CurrentUser(theIsProcess) != theProcess || !theIsProcess)
      return 13;
    if (theEvents.NewTexts().size() != 1)
      return 14;
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 0);
}

}  // namespace
