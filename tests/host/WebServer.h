#pragma once
// The web server of the host's tests: scripts/serve.sh on a free loopback
// port, over a page root of the test's own, and requests through curl. Pages
// run through FastCGI workers, or through CGI when TL_TEST_GATEWAY is "cgi".

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace tltest {

struct HttpAnswer {
  int mStatus = 0;  // 0 when no answer came
  std::map<std::string, std::string> mHeaders;  // names in lower case; a repeated header keeps its last value
  std::string mBody;
  std::string mError;  // curl's complaint when there was no answer

  // The header's value; "(none)" when the answer has no such header.
  std::string Header(const std::string& inLowerName) const;
};

class WebServer {
public:
  // Serves inRoot; inExtra ("NAME=value") goes to serve.sh's environment.
  // Fails the test (mStarted false) when the server does not listen.
  explicit WebServer(const std::string& inRoot, const std::vector<std::string>& inExtra = {});
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  bool Started() const { return mPort != 0; }
  std::string Url(const std::string& inPath) const;
  // The server's store: its events.log and logs.
  std::string Home() const { return mFolder + "/serve/home"; }
  std::string ErrorLog() const;

  // The processes the web server started and that run now (its FastCGI
  // workers), in the order of their ids.
  std::vector<pid_t> Workers() const;

  // GET inPath, or POST inForm as application/x-www-form-urlencoded.
  HttpAnswer Get(const std::string& inPath) const;
  HttpAnswer Post(const std::string& inPath, const std::string& inForm) const;

private:
  HttpAnswer Fetch(const std::string& inPath, const std::vector<std::string>& inOptions) const;

  std::string mFolder;
  pid_t mServer = 0;
  int mPort = 0;
};

}  // namespace tltest
