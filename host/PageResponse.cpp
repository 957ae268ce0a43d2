#include "host/PageResponse.h"

#include "platform/base/AsciiCase.h"

#include <unistd.h>

#include <cerrno>

namespace {

bool IsTokenChar(char inChar)
{
  if (inChar >= '0' && inChar <= '9')
    return true;
  if ((inChar >= 'a' && inChar <= 'z') || (inChar >= 'A' && inChar <= 'Z'))
    return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(inChar) != std::string_view::npos;
}

std::string Refusal(std::string_view inWhat, std::string_view inValue)
{
  if (inValue.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return std::string(inWhat) + " holds a carriage return, line feed or NUL";
  return {};
}

bool WriteAll(int inFile, std::string_view inBytes)
{
  while (!inBytes.empty()) {
    ssize_t theWritten = write(inFile, inBytes.data(), inBytes.size());
    if (theWritten < 0 && errno == EINTR)
      continue;
    if (theWritten <= 0)
      return false;
    inBytes.remove_prefix(static_cast<std::size_t>(theWritten));
  }
  return true;
}

}  // namespace

std::string PageResponse::SetStatus(std::string_view inStatus)
{
  if (std::string theRefusal = Refusal("the status", inStatus); !theRefusal.empty())
    return theRefusal;
  bool theShaped = inStatus.size() > 4 && inStatus[0] >= '1' && inStatus[0] <= '5' && inStatus[3] == ' ';
  for (std::size_t i = 1; theShaped && i < 3; ++i)
    theShaped = inStatus[i] >= '0' && inStatus[i] <= '9';
  if (!theShaped)
    return "the status '" + std::string(inStatus) + "' is not a code from 100 to 599, a blank and a reason";
  mStatus = inStatus;
  return {};
}

std::string PageResponse::SetContentType(std::string_view inType)
{
  if (std::string theRefusal = Refusal("the content type", inType); !theRefusal.empty())
    return theRefusal;
  mContentType = inType;
  return {};
}

std::string PageResponse::AddHeader(std::string_view inName, std::string_view inValue)
{
  bool theToken = !inName.empty();
  for (char theChar : inName)
    theToken = theToken && IsTokenChar(theChar);
  if (!theToken)
    return "the header name '" + std::string(inName) + "' is not a token";
  for (std::string_view theOwn : {"Status", "Content-Type", "Content-Length"})
    if (EqualsIgnoringCase(inName, theOwn))
      return "the header " + std::string(theOwn) + " is the host's own (see Response.Status and Response.ContentType)";
  if (std::string theRefusal = Refusal("the value of the header " + std::string(inName), inValue);
      !theRefusal.empty())
    return theRefusal;
  mHeaders.emplace_back(inName, inValue);
  return {};
}

bool PageResponse::Send()
{
  std::string theHead = "Status: " + mStatus + "\r\nContent-Type: " + mContentType + "\r\n";
  for (const auto& [theName, theValue] : mHeaders)
    theHead += theName + ": " + theValue + "\r\n";
  return SendOnce(theHead, mBody) && !mWriteFailed;
}

bool PageResponse::SendError(const std::string& inStatus, const std::string& inMessage)
{
  const std::string theStatus = HtmlEscaped(inStatus);
  const std::string thePage = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + theStatus +
                              "</title></head>\n<body><h1>" + theStatus + "</h1>\n<pre>" + HtmlEscaped(inMessage) +
                              "</pre>\n</body></html>\n";
  return SendOnce("Status: " + inStatus + "\r\nContent-Type: text/html; charset=utf-8\r\n", thePage);
}

bool PageResponse::SendOnce(const std::string& inHead, std::string_view inBody)
{
  std::lock_guard theGuard(mSendLock);
  if (mSent)
    return false;
  mSent = true;
  std::string theHead = inHead + "Content-Length: " + std::to_string(inBody.size()) + "\r\n\r\n";
  if (mOutput)
    mWriteFailed = !mOutput(theHead) || !mOutput(inBody);
  else
    mWriteFailed = !WriteAll(STDOUT_FILENO, theHead) || !WriteAll(STDOUT_FILENO, inBody);
  return true;
}

std::string HtmlEscaped(std::string_view inText)
{
  std::string theText;
  theText.reserve(inText.size());
  for (char theChar : inText) {
    switch (theChar) {
    case '&': theText += "&amp;"; break;
    case '<': theText += "&lt;"; break;
    case '>': theText += "&gt;"; break;
    case '"': theText += "&quot;"; break;
    case '\'': theText += "&#39;"; break;
    default: theText += theChar;
    }
  }
  return theText;
}
