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

bool IsFormPost()
{
  return Environment("REQUEST_METHOD") == "POST" &&
         StartsWithIgnoringCase(Environment("CONTENT_TYPE"), "application/x-www-form-urlencoded");
}

// CONTENT_LENGTH as a number of bytes; false when it is none.
bool ContentLength(unsigned long long& outSize)
{
  const std::string theLength = Environment("CONTENT_LENGTH");
  char* theEnd = nullptr;
  outSize = std::strtoull(theLength.c_str(), &theEnd, 10);
  return !theLength.empty() && *theEnd == '\0' && theLength[0] != '-';
}

std::string TooLarge(unsigned long long inSize)
{
  return "the form of " + std::to_string(inSize) + " bytes is larger than " +
         std::to_string(PageRequest::kMaxFormBytes);
}

// The form body, or the reason it cannot be had.
std::string ReadFormBody(const PageRequest::Input& inInput, std::string& outError)
{
  unsigned long long theSize = 0;
  if (!ContentLength(theSize)) {
    outError = "the form's length '" + Environment("CONTENT_LENGTH") + "' is not a number";
    return {};
  }
  if (theSize > PageRequest::kMaxFormBytes) {
    outError = TooLarge(theSize);
    return {};
  }
  std::string theBody(static_cast<std::size_t>(theSize), '\0');
  const std::size_t theRead = inInput ? inInput(theBody.data(), theBody.size())
                                      : std::fread(theBody.data(), 1, theBody.size(), stdin);
  if (theRead != theBody.size()) {
    outError = "the form ended before its " + std::to_string(theSize) + " bytes";
    return {};
  }
  return theBody;
}

}  // namespace

PageRequest PageRequest::FromCgi(Input inInput)
{
  PageRequest theRequest;
  theRequest.mCgi = true;
  theRequest.mInput = std::move(inInput);
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
    if (mCgi && IsFormPost())
      mForm = FormFields::Parse(ReadFormBody(mInput, mFormError));
  }
  outError = mFormError;
  outValue = mForm.Get(inName);
  return mFormError.empty();
}

std::string PageRequest::FormRefusal() const
{
  unsigned long long theSize = 0;
  if (mCgi && IsFormPost() && ContentLength(theSize) && theSize > kMaxFormBytes)
    return TooLarge(theSize);
  return {};
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
