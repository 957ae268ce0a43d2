#include "tests/support/HostProcess.h"

#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace tltest {

namespace {

std::string NameOf(const std::string& inEntry)
{
  return inEntry.substr(0, inEntry.find('='));
}

std::vector<char*> Pointers(std::vector<std::string>& ioTexts)
{
  std::vector<char*> thePointers;
  for (std::string& theText : ioTexts)
    thePointers.push_back(theText.data());
  thePointers.push_back(nullptr);
  return thePointers;
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra,
                         const std::string& inFolder)
  : mFolder(inFolder.empty() ? MakeTempFolder("run") : inFolder)
{
  std::vector<std::string> theEnvironment;
  for (char** theEntry = environ; *theEntry; ++theEntry) {
    bool theReplaced = false;
    for (const std::string& theExtra : inExtra)
      theReplaced |= NameOf(theExtra) == NameOf(*theEntry);
    if (!theReplaced)
      theEnvironment.emplace_back(*theEntry);
  }
  for (const std::string& theExtra : inExtra)
    if (theExtra.find('=') != std::string::npos)
      theEnvironment.push_back(theExtra);
  std::vector<std::string> theArguments = inCommand;
  std::vector<char*> theEnvp = Pointers(theEnvironment);
  std::vector<char*> theArgv = Pointers(theArguments);

  posix_spawn_file_actions_t theActions;
  posix_spawn_file_actions_init(&theActions);
  posix_spawn_file_actions_addopen(&theActions, 1, (mFolder + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&theActions, 2, (mFolder + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (posix_spawn(&mChild, theArgv[0], &theActions, nullptr, theArgv.data(), theEnvp.data()) != 0)
    mChild = 0;
  posix_spawn_file_actions_destroy(&theActions);
}

HostProcess::~HostProcess()
{
  if (mChild > 0)
    waitpid(mChild, nullptr, 0);
}

RunResult HostProcess::Wait()
{
  RunResult theResult;
  int theStatus = 0;
  if (mChild > 0 && waitpid(mChild, &theStatus, 0) == mChild && WIFEXITED(theStatus))
    theResult.mStatus = WEXITSTATUS(theStatus);
  mChild = 0;
  theResult.mOut = ReadFile(mFolder + "/out");
  theResult.mErr = ReadFile(mFolder + "/err");
  return theResult;
}

RunResult RunProgram(const std::vector<std::string>& inCommand, const std::vector<std::string>& inExtra,
                     const std::string& inFolder)
{
  return HostProcess(inCommand, inExtra, inFolder).Wait();
}

RunResult RunConvert(const std::vector<std::string>& inArguments)
{
  std::vector<std::string> theCommand{"/usr/bin/convert"};
  theCommand.insert(theCommand.end(), inArguments.begin(), inArguments.end());
  return RunProgram(theCommand, {"MAGICK_CONFIGURE_PATH"});
}

std::set<std::string> ExportedSymbols(const std::string& inLibrary)
{
  std::set<std::string> theSymbols;
  std::istringstream theLines(RunProgram({"/usr/bin/nm", "-D", "--defined-only", inLibrary}).mOut);
  for (std::string theLine; std::getline(theLines, theLine);)
    theSymbols.insert(theLine.substr(theLine.rfind(' ') + 1));
  return theSymbols;
}

}  // namespace tltest
