#include "host/PageRequest.h"

#include "platform/base/AsciiCase.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kMetaVariables[] = {
    "AUTH_TYPE",   "CONTENT_LENGTH", "CONTENT_TYPE", "DOCUMENT_ROOT",   "GATEWAY_INTERFACE", "HTTPS",
    "PATH_INFO",   "PATH_TRANSLATED", "QUERY_STRING", "REMOTE_ADDR",    "REMOTE_HOST",       "REMOTE_IDENT",
    "REMOTE_PORT", "REMOTE_USER",     "REQUEST_METHOD", "REQUEST_SCHEME", "REQUEST_URI",     "SCRIPT_FILENAME",
    "SCRIPT_NAME", "SERVER_ADDR",     "SERVER_NAME",  "SERVER_PORT",    "SERVER_PROTOCOL",   "SERVER_SOFTWARE",
};

std::string UpperAscii(std::string_view inText)
{
  std::string theText(inText);
  for (char& theChar : theText)
    if (theChar >= 'a' && theChar <= 'z')
      theChar = static_cast<char>(theChar - 'a' + 'A');
  return theText;
}

std::string Environment(const char* inName)
{
  const char* theValue = std::getenv(inName);
  return theValue ? theValue : "";
}

// The form body, or the reason it cannot be had.
std::string ReadFormBody(std::string& outError)
{
  const std::string theLength = Environment("CONTENT_LENGTH");
  char* theEnd = nullptr;
  unsigned long long theSize = std::strtoull(theLength.c_str(), &theEnd, 10);
  if (theLength.empty() || *theEnd != '\0' || theLength[0] == '-') {
    outError = "the form's length '" + theLength + "' is not a number";
    return {};
  }
  if (theSize > PageRequest::kMaxFormBytes) {
    outError = "the form of " + theLength + " bytes is larger than " + std::to_string(PageRequest::kMaxFormBytes);
    return {};
  }
  std::string theBody(static_cast<std::size_t>(theSize), '\0');
  if (std::fread(theBody.data(), 1, theBody.size(), stdin) != theBody.size()) {
    outError = "the form ended before its " + theLength + " bytes";
    return {};
  }
  return theBody;
}

}  // namespace

PageRequest PageRequest::FromCgi()
{
  PageRequest theRequest;
  theRequest.mCgi = true;
  theRequest.mQuery = FormFields::Parse(Environment("QUERY_STRING"));
  return theRequest;
}

PageRequest PageRequest::FromArguments(const std::vector<std::string>& inArguments)
{
  PageRequest theRequest;
  for (const std::string& theArgument : inArguments)
    if (std::size_t theEquals = theArgument.find('='); theEquals != std::string::npos)
      theRequest.mQuery.Add(theArgument.substr(0, theEquals), theArgument.substr(theEquals + 1));
  return theRequest;
}

bool PageRequest::Form(std::string_view inName, std::optional<std::string>& outValue, std::string& outError)
{
  if (!mFormRead) {
    mFormRead = true;
    bool theIsForm = mCgi && Environment("REQUEST_METHOD") == "POST" &&
                     StartsWithIgnoringCase(Environment("CONTENT_TYPE"), "application/x-www-form-urlencoded");
    if (theIsForm)
      mForm = FormFields::Parse(ReadFormBody(mFormError));
  }
  outError = mFormError;
  outValue = mForm.Get(inName);
  return mFormError.empty();
}

std::optional<std::string> PageRequest::ServerVariable(std::string_view inName) const
{
  if (!mCgi)
    return std::nullopt;
  const std::string theName = UpperAscii(inName);
  bool theKnown = StartsWithIgnoringCase(theName, "HTTP_");
  for (const char* theVariable : kMetaVariables)
    theKnown = theKnown || theName == theVariable;
  const char* theValue = theKnown ? std::getenv(theName.c_str()) : nullptr;
  return theValue ? std::optional<std::string>(theValue) : std::nullopt;
}
