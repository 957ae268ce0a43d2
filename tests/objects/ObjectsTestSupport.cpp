#include "tests/objects/ObjectsTestSupport.h"

#include "core/TimedLog.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tltest {

namespace {

// Out of the compiler's sight, so the write really happens.
volatile std::uintptr_t gBadAddress = 0x10;

}  // namespace

std::vector<std::vector<std::string>> LogRecords(const char* inFile)
{
  const std::string theText = ReadFile(GetLogDirectory() + inFile);
  std::vector<std::vector<std::string>> theRecords;
  std::size_t theStart = 0;
  for (std::size_t theEnd; (theEnd = theText.find("\r\n", theStart)) != std::string::npos; theStart = theEnd + 2) {
    const std::string theLine = theText.substr(theStart, theEnd - theStart);
    if (theLine.rfind("Version\t", 0) == 0)
      continue;
    std::vector<std::string> theFields;
    std::size_t theField = 0;
    for (std::size_t theTab; (theTab = theLine.find('\t', theField)) != std::string::npos; theField = theTab + 1)
      theFields.push_back(theLine.substr(theField, theTab - theField));
    theFields.push_back(theLine.substr(theField));
    theRecords.push_back(theFields);
  }
  EXPECT_EQ(theStart, theText.size()) << inFile << " ends in a line without CR LF";
  return theRecords;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteToBadAddress()
{
  *reinterpret_cast<volatile int*>(gBadAddress) = 1;
}

std::uintptr_t BadAddress()
{
  return gBadAddress;
}

}  // namespace tltest
