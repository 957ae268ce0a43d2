#pragma once
// What a page answers: status, headers and body.
//
// The whole body is kept until the page ends, so a page that fails half-way
// answers its error, never a partial page. Under CGI and FastCGI it is then
// sent after the headers (a CGI "Status:" line, Content-Type, the added
// headers, a blank line) to standard output or the output SetOutput names; on
// the command line the host writes it out (ScriptHost.h).
//
// Send and SendError may be called from another thread than the page's (the
// time limit's): the first of them sends, every later one does nothing. The
// page may not add headers (Status, Content-Type and Content-Length are the
// host's own) or a status that would split the response.

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class PageResponse {
public:
  // Writes all of its bytes; false when it could not.
  using Output = std::function<bool(std::string_view)>;

  // Where Send and SendError write in place of standard output.
  void SetOutput(Output inOutput) { mOutput = std::move(inOutput); }

  // Each answers an empty text, or the reason the value is refused (and
  // keeps the value it had): a status must be three digits, a blank and a
  // reason; names are HTTP tokens; no value may hold CR, LF or NUL.
  std::string SetStatus(std::string_view inStatus);
  std::string SetContentType(std::string_view inType);
  std::string AddHeader(std::string_view inName, std::string_view inValue);
  const std::string& Status() const { return mStatus; }
  const std::string& ContentType() const { return mContentType; }
  // True for a status of 400 and above.
  bool IsError() const { return mStatus[0] >= '4'; }

  void Write(const void* inData, std::size_t inSize) { mBody.append(static_cast<const char*>(inData), inSize); }
  const std::string& Body() const { return mBody; }

  // Sends the kept response (CGI); false when standard output failed or a
  // response went out before.
  bool Send();
  // Sends inStatus and an HTML page that shows inMessage, escaped, in a
  // <pre> block, in place of whatever the page made (CGI); false when a
  // response went out before.
  bool SendError(const std::string& inStatus, const std::string& inMessage);

private:
  // False when a response went out before.
  bool SendOnce(const std::string& inHead, std::string_view inBody);

  std::string mStatus = "200 OK";
  std::string mContentType = "text/html; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> mHeaders;
  std::string mBody;
  Output mOutput;
  std::mutex mSendLock;
  bool mSent = false;
  bool mWriteFailed = false;
};

// inText with &, <, >, " and ' as character references.
std::string HtmlEscaped(std::string_view inText);
