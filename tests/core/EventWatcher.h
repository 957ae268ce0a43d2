#pragma once
// The events written to <TESSALINE_HOME>/events.log since a watcher was made.

#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tltest {

struct Event {
  std::string mType;  // Error, Warning or Information
  std::string mSource;
  std::string mCategory;
  std::string mEventID;
  std::string mText;
};

class EventWatcher {
public:
  EventWatcher() : mStart(Size()) {}

  std::vector<Event> NewEvents() const
  {
    std::ifstream theFile(Path(), std::ios::binary);
    theFile.seekg(static_cast<std::streamoff>(mStart));
    std::vector<Event> theEvents;
    for (std::string theLine; std::getline(theFile, theLine);) {
      std::vector<std::string> theFields;
      std::stringstream theStream(theLine);
      for (std::string theField; std::getline(theStream, theField, '\t');)
        theFields.push_back(theField);
      theFields.resize(6);
      theEvents.push_back({theFields[1], theFields[2], theFields[3], theFields[4], theFields[5]});
    }
    return theEvents;
  }

  // The texts of the new events.
  std::vector<std::string> NewTexts() const
  {
    std::vector<std::string> theTexts;
    for (const Event& theEvent : NewEvents())
      theTexts.push_back(theEvent.mText);
    return theTexts;
  }

  // The expressions of the new "Assertion Failed in <unit> line N (<expression>)"
  // events of one unit, each with its parentheses.
  std::vector<std::string> NewAssertions(const std::string& inUnit) const
  {
    std::vector<std::string> theExpressions;
    const std::string theHead = "Assertion Failed in " + inUnit + " line ";
    for (const std::string& theText : NewTexts())
      if (theText.rfind(theHead, 0) == 0 && theText.find(" (") != std::string::npos)
        theExpressions.push_back(theText.substr(theText.find(" (") + 1));
    return theExpressions;
  }

private:
  static std::string Path() { return TestHome() + "/events.log"; }
  static std::uintmax_t Size()
  {
    std::error_code theError;
    std::uintmax_t theSize = std::filesystem::file_size(Path(), theError);
    return theError ? 0 : theSize;
  }

  std::uintmax_t mStart;
};

}  // namespace tltest
