#include "tests/support/ChildGroup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tltest {

std::vector<ChildResult> RunChildrenTogether(const std::vector<std::function<int()>>& inBodies)
{
  std::vector<pid_t> theChildren;
  for (const std::function<int()>& theBody : inBodies) {
    pid_t theChild = fork();
    if (theChild == 0) {
      int theCode = 99;
      try {
        theCode = theBody();
      } catch (...) {
      }
      _exit(theCode);
    }
    theChildren.push_back(theChild);
  }
  std::vector<ChildResult> theResults(theChildren.size());
  for (std::size_t i = 0; i < theChildren.size(); ++i) {
    int theStatus = 0;
    if (theChildren[i] <= 0)
      continue;
    while (waitpid(theChildren[i], &theStatus, 0) < 0)
      if (errno != EINTR)
        break;
    theResults[i].mExited = WIFEXITED(theStatus);
    theResults[i].mStatus = WIFEXITED(theStatus) ? WEXITSTATUS(theStatus) : -1;
    theResults[i].mSignal = WIFSIGNALED(theStatus) ? WTERMSIG(theStatus) : 0;
  }
  return theResults;
}

bool AllSucceeded(const std::vector<ChildResult>& inResults)
{
  for (const ChildResult& theResult : inResults)
    if (!Succeeded(theResult))
      return false;
  return true;
}

}  // namespace tltest
