// PAM loaded by the first logon that checks a password, not with the platform
// library: this program links no PAM of its own.

#include "platform/base/LastError.h"
#include "platform/security/Security.h"
#include "tests/support/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

bool PamLoaded()
{
  void* theLibrary = dlopen("libpam.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (theLibrary)
    dlclose(theLibrary);
  return theLibrary;
}

TEST(PamLoading, TheFirstPasswordCheckLoadsPamAndStillRefusesABadLogon)
{
  EXPECT_FALSE(PamLoaded()) << "loaded with the platform library";
  if (!tltest::IsRoot())
    GTEST_SKIP() << "a logon reaches PAM only for a caller that may switch identity (root)";
  HANDLE theToken = nullptr;
  EXPECT_FALSE(LogonUserA("", ".", "x", LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, &theToken));
  EXPECT_FALSE(PamLoaded()) << "loaded for a logon that checks no password";

  // Several first logons at once: each loads or waits for the one load, and
  // each is refused.
  std::vector<DWORD> theErrors(4, 0);
  std::vector<std::thread> theThreads;
  for (DWORD& theError : theErrors)
    theThreads.emplace_back([&theError] {
      HANDLE theOwn = nullptr;
      theError = LogonUserA("tl4nosuchuser", ".", "x", LOGON32_LOGON_NETWORK, LOGON32_PROVIDER_DEFAULT, &theOwn)
                   ? 0
                   : GetLastError();
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (DWORD theError : theErrors)
    EXPECT_EQ(theError, ERROR_LOGON_FAILURE);
  EXPECT_TRUE(PamLoaded());
}

}  // namespace
