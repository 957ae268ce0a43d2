#pragma once
// What a page is asked: Request.QueryString, Request.Form and
// Request.ServerVariables.
//
// Under CGI the query string is QUERY_STRING and the form is the body of a
// POST sent as application/x-www-form-urlencoded, read from standard input
// (under FastCGI, the request's input) on the first Request.Form
// (CONTENT_LENGTH bytes, at most kMaxFormBytes); the
// server variables are the CGI meta-variables (GATEWAY_INTERFACE,
// REQUEST_METHOD, QUERY_STRING, REMOTE_ADDR ..., and HTTP_* for the request's
// headers), found without regard to case; other variables of the process
// environment are not shown. On the command line the query string is made of
// the page's name=value arguments, taken as they stand, and there is no form
// and no server variable.

#include "host/FormFields.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class PageRequest {
public:
  static constexpr std::size_t kMaxFormBytes = 1 << 20;

  // Reads up to inSize bytes to outData; answers how many it read.
  using Input = std::function<std::size_t(char* outData, std::size_t inSize)>;

  // The request of the process environment; its form from inInput, or from
  // standard input when it is empty.
  static PageRequest FromCgi(Input inInput = {});
  static PageRequest FromArguments(const std::vector<std::string>& inArguments);

  std::optional<std::string> QueryString(std::string_view inName) const { return mQuery.Get(inName); }
  // False, with the reason in outError, when the form body cannot be read.
  bool Form(std::string_view inName, std::optional<std::string>& outValue, std::string& outError);
  // Why the request's form is refused before any page runs (it is larger
  // than kMaxFormBytes); empty when it is not.
  std::string FormRefusal() const;
  std::optional<std::string> ServerVariable(std::string_view inName) const;

private:
  bool mCgi = false;
  Input mInput;
  FormFields mQuery;
  bool mFormRead = false;
  std::string mFormError;
  FormFields mForm;
};
