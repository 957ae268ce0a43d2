#pragma once
// What a page is asked: Request.QueryString, Request.Form and
// Request.ServerVariables.
//
// Under CGI the query string is QUERY_STRING and the form is the body of a
// POST sent as application/x-www-form-urlencoded, read from standard input on
// the first Request.Form (CONTENT_LENGTH bytes, at most kMaxFormBytes); the
// server variables are the CGI meta-variables (GATEWAY_INTERFACE,
// REQUEST_METHOD, QUERY_STRING, REMOTE_ADDR ..., and HTTP_* for the request's
// headers), found without regard to case; other variables of the process
// environment are not shown. On the command line the query string is made of
// the page's name=value arguments, taken as they stand, and there is no form
// and no server variable.

#include "host/FormFields.h"

#include <optional>
#include <string>
#include <vector>

class PageRequest {
public:
  static constexpr std::size_t kMaxFormBytes = 1 << 20;

  static PageRequest FromCgi();
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
  FormFields mQuery;
  bool mFormRead = false;
  std::string mFormError;
  FormFields mForm;
};
