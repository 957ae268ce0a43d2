#include "tests/host/WebServer.h"

#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tltest {

namespace {

// A port that no socket of this machine holds now (the kernel's choice).
int FreePort()
{
  int theSocket = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in theAddress{};
  theAddress.sin_family = AF_INET;
  theAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t theSize = sizeof theAddress;
  int thePort = 0;
  if (bind(theSocket, reinterpret_cast<sockaddr*>(&theAddress), sizeof theAddress) == 0 &&
      getsockname(theSocket, reinterpret_cast<sockaddr*>(&theAddress), &theSize) == 0)
    thePort = ntohs(theAddress.sin_port);
  close(theSocket);
  return thePort;
}

bool Listens(int inPort)
{
  int theSocket = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in theAddress{};
  theAddress.sin_family = AF_INET;
  theAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  theAddress.sin_port = htons(static_cast<uint16_t>(inPort));
  bool theListens = connect(theSocket, reinterpret_cast<sockaddr*>(&theAddress), sizeof theAddress) == 0;
  close(theSocket);
  return theListens;
}

std::string Lower(std::string inText)
{
  for (char& theChar : inText)
    if (theChar >= 'A' && theChar <= 'Z')
      theChar = static_cast<char>(theChar - 'A' + 'a');
  return inText;
}

}  // namespace

std::string HttpAnswer::Header(const std::string& inLowerName) const
{
  auto theFound = mHeaders.find(inLowerName);
  return theFound == mHeaders.end() ? "(none)" : theFound->second;
}

WebServer::WebServer(const std::string& inRoot, const std::vector<std::string>& inExtra)
  : mFolder(MakeTempFolder("web"))
{
  const int thePort = FreePort();
  std::vector<std::string> theEnvironment;
  for (char** theEntry = environ; *theEntry; ++theEntry)
    theEnvironment.emplace_back(*theEntry);
  theEnvironment.push_back("TL_BUILD=" TL_BUILD_DIR);
  theEnvironment.push_back("TL_SERVE_DIR=" + mFolder + "/serve");
  theEnvironment.push_back("TL_PAGE_ROOT=" + inRoot);
  theEnvironment.insert(theEnvironment.end(), inExtra.begin(), inExtra.end());
  std::vector<std::string> theArguments{TL_SERVE_SCRIPT, std::to_string(thePort)};
  if (const char* theGateway = std::getenv("TL_TEST_GATEWAY"); theGateway && std::string(theGateway) == "cgi")
    theArguments.insert(theArguments.begin() + 1, "--cgi");
  std::vector<char*> theEnvp;
  for (std::string& theText : theEnvironment)
    theEnvp.push_back(theText.data());
  theEnvp.push_back(nullptr);
  std::vector<char*> theArgv;
  for (std::string& theText : theArguments)
    theArgv.push_back(theText.data());
  theArgv.push_back(nullptr);

  posix_spawn_file_actions_t theActions;
  posix_spawn_file_actions_init(&theActions);
  posix_spawn_file_actions_addopen(&theActions, 1, (mFolder + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&theActions, 2, (mFolder + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (posix_spawn(&mServer, theArgv[0], &theActions, nullptr, theArgv.data(), theEnvp.data()) != 0)
    mServer = 0;
  posix_spawn_file_actions_destroy(&theActions);

  const auto theDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (mServer > 0 && std::chrono::steady_clock::now() < theDeadline) {
    if (Listens(thePort)) {
      mPort = thePort;
      return;
    }
    if (waitpid(mServer, nullptr, WNOHANG) == mServer) {
      mServer = 0;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ADD_FAILURE() << "the web server does not listen on port " << thePort << ": " << ReadFile(mFolder + "/err")
                << ReadFile(mFolder + "/serve/error.log");
}

WebServer::~WebServer()
{
  if (mServer > 0) {
    kill(mServer, SIGTERM);
    waitpid(mServer, nullptr, 0);
  }
}

std::string WebServer::Url(const std::string& inPath) const
{
  return "http://127.0.0.1:" + std::to_string(mPort) + inPath;
}

std::string WebServer::ErrorLog() const
{
  return ReadFile(mFolder + "/serve/error.log");
}

std::vector<pid_t> WebServer::Workers() const
{
  std::istringstream theChildren(
    ReadFile("/proc/" + std::to_string(mServer) + "/task/" + std::to_string(mServer) + "/children"));
  std::vector<pid_t> theWorkers;
  for (pid_t theChild = 0; theChildren >> theChild;)
    theWorkers.push_back(theChild);
  std::sort(theWorkers.begin(), theWorkers.end());
  return theWorkers;
}

HttpAnswer WebServer::Get(const std::string& inPath) const
{
  return Fetch(inPath, {});
}

HttpAnswer WebServer::Post(const std::string& inPath, const std::string& inForm) const
{
  // From a file: a form may be longer than one argument of a program may be.
  const std::string theForm = MakeTempFolder("form") + "/form";
  std::ofstream(theForm, std::ios::binary) << inForm;
  return Fetch(inPath, {"--data-binary", "@" + theForm, "-H", "Content-Type: application/x-www-form-urlencoded"});
}

HttpAnswer WebServer::Fetch(const std::string& inPath, const std::vector<std::string>& inOptions) const
{
  const std::string theFolder = MakeTempFolder("fetch");
  std::vector<std::string> theCommand{"/usr/bin/curl", "-sS", "--max-time", "60", "-o", theFolder + "/body",
                                      "-D", theFolder + "/headers", "--path-as-is"};
  theCommand.insert(theCommand.end(), inOptions.begin(), inOptions.end());
  theCommand.push_back(Url(inPath));
  RunResult theRun = RunProgram(theCommand, {}, theFolder);
  HttpAnswer theAnswer;
  theAnswer.mError = theRun.mErr;
  theAnswer.mBody = ReadFile(theFolder + "/body");
  std::istringstream theLines(ReadFile(theFolder + "/headers"));
  std::string theLine;
  while (std::getline(theLines, theLine)) {
    if (!theLine.empty() && theLine.back() == '\r')
      theLine.pop_back();
    // An interim answer ("100 Continue") comes before the final one.
    if (theLine.rfind("HTTP/", 0) == 0) {
      theAnswer.mStatus = std::atoi(theLine.c_str() + theLine.find(' ') + 1);
      theAnswer.mHeaders.clear();
      continue;
    }
    std::size_t theColon = theLine.find(':');
    if (theColon == std::string::npos)
      continue;
    std::size_t theStart = theLine.find_first_not_of(' ', theColon + 1);
    theAnswer.mHeaders[Lower(theLine.substr(0, theColon))] =
      theStart == std::string::npos ? "" : theLine.substr(theStart);
  }
  return theAnswer;
}

}  // namespace tltest
