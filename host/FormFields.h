#pragma once
// Name and value pairs of a query string or of a form body sent as
// application/x-www-form-urlencoded.
//
// Pairs are separated by '&' (';' is no separator); each is a name, '=' and a
// value, or a name alone (an empty value). '+' stands for a blank and %XX for
// the byte XX; a '%' not followed by two hexadecimal digits stands for
// itself. The decoded bytes are read as UTF-8: a byte that starts no valid
// sequence becomes U+FFFD, so every name and value is valid UTF-8. Pairs with
// an empty name are dropped.
//
// Names are found without regard to ASCII case; a name given several times
// answers its values in order, joined by ", ".

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class FormFields {
public:
  static FormFields Parse(std::string_view inEncoded);

  // Adds a pair as it stands (the command line's name=value arguments).
  void Add(std::string inName, std::string inValue);

  std::optional<std::string> Get(std::string_view inName) const;
  bool IsEmpty() const { return mFields.empty(); }

private:
  std::vector<std::pair<std::string, std::string>> mFields;
};
