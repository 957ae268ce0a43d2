#pragma once
// Helpers every suite shares.

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tltest {

// The fresh TESSALINE_HOME of this test process (made by the test main).
const std::string& TestHome();

// A fresh empty folder below the test home.
std::string MakeTempFolder(const std::string& inPrefix);

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& inPath);

struct ChildResult {
  bool mExited = false;  // ended by exit or _exit
  int mStatus = -1;      // its exit status, when mExited
  int mSignal = 0;       // the signal that ended it, when not mExited
};

// Runs inBody in a forked child and waits for it; the child exits with what
// inBody returns (an exception in the child exits with 99).
ChildResult RunInChild(const std::function<int()>& inBody);

// The same, with the child switched to the user `nobody` first. Needs root.
ChildResult RunAsNobody(const std::function<int()>& inBody);
// The same as the user inName, with that user's groups. Needs root.
ChildResult RunAsUser(const std::string& inName, const std::function<int()>& inBody);

bool IsRoot();

// Whether the shared library of the soname is loaded in this process (the
// test loads nothing to find out).
bool IsLibraryLoaded(const char* inSoname);

// The locale of these tests that writes numbers with a decimal comma.
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";
// Switches the category (LC_NUMERIC, LC_ALL ...) to kCommaLocale; a failure
// says why (the locale missing, or not using ','), so that a test of locale
// independence never passes without a locale to be independent of.
::testing::AssertionResult SwitchToCommaLocale(int inCategory);

// Success when the child exited with status 0; else how it ended.
::testing::AssertionResult Succeeded(const ChildResult& inChild);

}  // namespace tltest
