// tlscript page.js [args]: runs a page with the page-scripting host.
//
// On the command line the page's output goes to standard output once it has
// run to its end, and its name=value arguments are its query string; a page
// that fails, or answers a status of 400 or more, writes its error to
// standard error and nothing to standard output. Exit status: 0 when the
// page ran to its end, 1 when it failed, 2 for a wrong command line or a page
// that could not be read. --help and --version say what they say and exit 0.
//
// Run by a web server through CGI (GATEWAY_INTERFACE is set; the page is the
// first argument, else SCRIPT_FILENAME), the page answers the HTTP request:
// its status, headers and body when it ran to its end; "500 Internal Server
// Error" with its error, HTML-escaped, when it failed; "503 Service
// Unavailable" when it took longer than TESSALINE_PAGE_TIMEOUT seconds
// (default 60); "403 Forbidden" for a page outside the page root, "404 Not
// Found" for one that cannot be read and "413 Content Too Large" for a form
// larger than the page may read. Error answers are HTML pages that show the
// error in a <pre> block. Each 500 and 503 is also an error event of the
// source "tlscript" in the event log.
//
// Started by a FastCGI server (its listening socket as standard input), or
// with --fastcgi, tlscript is a worker that answers one request after
// another, each as under CGI: the request's variables are the process
// environment while its page runs (beside the worker's own, which the
// request's override), and each page runs in a script context of its own that
// is gone, with every object the page made, when the page ends. A page past
// its time limit is answered 503 and the worker then ends, for the server to
// start another.

#include "host/PageRequest.h"
#include "host/PageResponse.h"
#include "host/PageRoot.h"
#include "host/PageTimer.h"
#include "host/ScriptHeap.h"
#include "host/ScriptHost.h"
#include "platform/base/TessalineHome.h"
#include "platform/eventlog/EventLog.h"

#include <fcgiapp.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr long kDefaultTimeoutSeconds = 60;

constexpr const char* kUsage =
  "usage: tlscript page.js [arguments...]\n"
  "       tlscript --fastcgi | --help | --version\n";
constexpr const char* kHelp =
  "Runs a JavaScript page with the page-scripting host. Its name=value\n"
  "arguments are its query string; all of them are in args. The page's output\n"
  "goes to standard output when it runs to its end; a failing page writes its\n"
  "error to standard error. Run through CGI, the page answers the request.\n"
  "\n"
  "  --fastcgi  answer the requests of a FastCGI server on standard input\n"
  "  --help     show this text and exit\n"
  "  --version  show the version of Tessaline and exit\n"
  "\n"
  "Exit status: 0 the page ran to its end, 1 it failed, 2 wrong use or no page.\n"
  "See tlscript(1).\n";

std::string Environment(const char* inName)
{
  const char* theValue = std::getenv(inName);
  return theValue ? theValue : "";
}

// The folder of the page's file, symbolic links resolved, so that a link to a
// page elsewhere is not taken for a page below the root; empty when the page
// does not exist.
std::string FolderOf(const std::string& inPage)
{
  char theBuffer[PATH_MAX];
  if (!realpath(inPage.c_str(), theBuffer))
    return {};
  std::string thePath = theBuffer;
  std::size_t theSlash = thePath.rfind('/');
  return theSlash == 0 ? "/" : thePath.substr(0, theSlash);
}

bool ReadPage(const std::string& inPath, std::string& outSource)
{
  std::ifstream theFile(inPath, std::ios::binary);
  std::ostringstream theSource;
  if (!theFile || !(theSource << theFile.rdbuf()))
    return false;
  outSource = theSource.str();
  return true;
}

void LogPageEvent(const std::string& inText)
{
  HANDLE theLog = RegisterEventSourceA(nullptr, "tlscript");
  const char* theStrings[] = {inText.c_str()};
  if (!theLog || !ReportEventA(theLog, EVENTLOG_ERROR_TYPE, 1, 4096, nullptr, 1, 0, theStrings, nullptr))
    std::fprintf(stderr, "tlscript: cannot write to the event log: %s\n", inText.c_str());
  if (theLog)
    DeregisterEventSource(theLog);
}

// The page's time limit in seconds; 0 for a value that is no positive number.
long PageTimeout()
{
  std::string theText = Environment("TESSALINE_PAGE_TIMEOUT");
  if (theText.empty())
    return kDefaultTimeoutSeconds;
  char* theEnd = nullptr;
  long theSeconds = std::strtol(theText.c_str(), &theEnd, 10);
  return *theEnd == '\0' && theSeconds > 0 && theSeconds <= 86400 ? theSeconds : 0;
}

int RunCommandLine(const std::string& inPage, const std::vector<std::string>& inArguments)
{
  std::string theSource;
  if (!ReadPage(inPage, theSource)) {
    std::fprintf(stderr, "tlscript: cannot read the page %s\n", inPage.c_str());
    return 2;
  }
  std::string theRootPath = Environment("TESSALINE_PAGE_ROOT");
  PageRoot theRoot(theRootPath.empty() ? FolderOf(inPage) : theRootPath, FolderOf(inPage));
  if (!theRoot.IsValid()) {
    std::fprintf(stderr, "tlscript: %s\n", theRoot.Error().c_str());
    return 2;
  }
  PageRequest theRequest = PageRequest::FromArguments(inArguments);
  PageResponse theResponse;
  PageContext thePage{theRequest, theResponse, theRoot};
  ScriptHost theHost(thePage);
  return theHost.Run(inPage, theSource, inArguments);
}

// How a request reaches its page and the answer its server: standard input
// and output under CGI (both empty), the request's streams under FastCGI.
struct Gateway {
  PageRequest::Input mInput;
  PageResponse::Output mOutput;
};

// A worker runs its pages on one heap (inHeap); a CGI page has a heap of its own.
int RunCgi(const std::string& inPage, PageTimer& inTimer, ScriptHeap* inHeap = nullptr, const Gateway& inGateway = {})
{
  PageResponse theResponse;
  theResponse.SetOutput(inGateway.mOutput);
  const std::string theRequestUri = Environment("REQUEST_URI").empty() ? inPage : Environment("REQUEST_URI");
  auto theFail = [&](const std::string& inStatus, const std::string& inMessage) {
    std::fprintf(stderr, "tlscript: %s: %s\n", theRequestUri.c_str(), inMessage.c_str());
    if (inStatus[0] == '5')
      LogPageEvent(inStatus + " for " + theRequestUri + ": " + inMessage);
    theResponse.SendError(inStatus, inMessage);
    return 1;
  };

  std::string theRootPath = Environment("TESSALINE_PAGE_ROOT");
  if (theRootPath.empty())
    theRootPath = Environment("DOCUMENT_ROOT");
  if (theRootPath.empty())
    return theFail("500 Internal Server Error", "no page root is set (TESSALINE_PAGE_ROOT)");
  std::string theSource;
  if (!ReadPage(inPage, theSource))
    return theFail("404 Not Found", "the page " + inPage.substr(inPage.rfind('/') + 1) + " cannot be read");
  PageRoot theRoot(theRootPath, FolderOf(inPage));
  if (!theRoot.IsValid())
    return theFail(theRoot.Error().rfind("the page root", 0) == 0 ? "500 Internal Server Error" : "403 Forbidden",
                   theRoot.Error());
  const long theTimeout = PageTimeout();
  if (theTimeout == 0)
    return theFail("500 Internal Server Error", "TESSALINE_PAGE_TIMEOUT is not a number of seconds from 1 to 86400");
  PageRequest theRequest = PageRequest::FromCgi(inGateway.mInput);
  if (std::string theRefusal = theRequest.FormRefusal(); !theRefusal.empty())
    return theFail("413 Content Too Large", theRefusal);

  // Ends the process unless the page's own answer went out first (then the
  // page ended just at its limit, and the event stands for that). The limit
  // holds until the page's heap is gone.
  inTimer.Arm(std::chrono::seconds(theTimeout), [&] {
    const std::string theMessage = "the page took longer than " + std::to_string(theTimeout) + " seconds";
    std::fprintf(stderr, "tlscript: %s: %s\n", theRequestUri.c_str(), theMessage.c_str());
    LogPageEvent("503 Service Unavailable for " + theRequestUri + ": " + theMessage);
    if (theResponse.SendError("503 Service Unavailable", theMessage))
      _exit(1);
  });
  struct Disarm {
    PageTimer& mTimer;
    ~Disarm() { mTimer.Disarm(); }
  } theDisarm{inTimer};
  PageContext thePage{theRequest, theResponse, theRoot};
  ScriptHost theHost(thePage, inHeap);
  std::string theError;
  if (theHost.Run(inPage, theSource, {}, theError) != 0)
    return theFail("500 Internal Server Error", theError);
  // The answer is out before the heap goes, with every object of the page.
  return theResponse.Send() ? 0 : 1;
}

// Makes the process environment the request's variables, then the worker's
// own. The texts are kept here, so that nothing of one request stays behind
// for the next, however many requests the worker answers.
class RequestEnvironment {
public:
  RequestEnvironment()
  {
    for (char** theEntry = environ; *theEntry; ++theEntry)
      mWorker.emplace_back(*theEntry);
  }

  void Present(char** inRequest)
  {
    mTexts.clear();
    for (char** theEntry = inRequest; *theEntry; ++theEntry)
      mTexts.emplace_back(*theEntry);
    mTexts.insert(mTexts.end(), mWorker.begin(), mWorker.end());
    mEntries.clear();
    for (std::string& theText : mTexts)
      mEntries.push_back(theText.data());
    mEntries.push_back(nullptr);
    environ = mEntries.data();
  }

private:
  std::vector<std::string> mWorker;
  std::vector<std::string> mTexts;
  std::vector<char*> mEntries;
};

int RunFastCgi()
{
  FCGX_Request theRequest;
  if (FCGX_Init() != 0 || FCGX_InitRequest(&theRequest, STDIN_FILENO, 0) != 0) {
    std::fprintf(stderr, "tlscript: cannot answer FastCGI requests\n");
    return 2;
  }
  RequestEnvironment theEnvironment;
  PageTimer theTimer;
  ScriptHeap theHeap;
  const Gateway theGateway{
      [&](char* outData, std::size_t inSize) {
        return static_cast<std::size_t>(std::max(0, FCGX_GetStr(outData, static_cast<int>(inSize), theRequest.in)));
      },
      [&](std::string_view inHead, std::string_view inBody) {
        const bool theWritten = FCGX_PutStr(inHead.data(), static_cast<int>(inHead.size()), theRequest.out) ==
                                  static_cast<int>(inHead.size()) &&
                                FCGX_PutStr(inBody.data(), static_cast<int>(inBody.size()), theRequest.out) ==
                                  static_cast<int>(inBody.size());
        FCGX_Finish_r(&theRequest);
        return theWritten;
      }};
  while (FCGX_Accept_r(&theRequest) >= 0) {
    theEnvironment.Present(theRequest.envp);
    RunCgi(Environment("SCRIPT_FILENAME"), theTimer, &theHeap, theGateway);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  const bool theFastCgi = (argc == 2 && std::strcmp(argv[1], "--fastcgi") == 0) || (argc == 1 && !FCGX_IsCGI());
  const bool theCgi = !Environment("GATEWAY_INTERFACE").empty();
  std::string thePage = argc >= 2 ? argv[1] : theCgi ? Environment("SCRIPT_FILENAME") : "";
  if (!theFastCgi && !theCgi && thePage == "--help") {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (!theCgi && thePage == "--version") {
    std::printf("tlscript %s\n", TL_VERSION);
    return 0;
  }
  if (!theFastCgi && (thePage.empty() || (!theCgi && thePage[0] == '-'))) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (std::string theWarning = GetTessalineHomeWarning(); !theWarning.empty())
    std::fprintf(stderr, "tlscript: %s\n", theWarning.c_str());
  if (theFastCgi)
    return RunFastCgi();
  if (theCgi) {
    PageTimer theTimer;
    return RunCgi(thePage, theTimer);
  }
  return RunCommandLine(thePage, std::vector<std::string>(argv + 2, argv + argc));
}
