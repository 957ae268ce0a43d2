#pragma once
// Several child processes that run at the same time (RunInChild runs one and
// waits for it).

#include "tests/support/TestSupport.h"

#include <functional>
#include <vector>

namespace tltest {

// Forks one child per body, all before waiting for any; answers how each
// ended, in the order of the bodies.
std::vector<ChildResult> RunChildrenTogether(const std::vector<std::function<int()>>& inBodies);

// True when every child exited with status 0.
bool AllSucceeded(const std::vector<ChildResult>& inResults);

}  // namespace tltest
