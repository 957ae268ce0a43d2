#include "tests/objects/PageSupport.h"

#include "tests/support/TestSupport.h"

namespace tltest {

RunResult Registration(bool inRegister)
{
  return inRegister ? RunProgram({TL_TLREGSVR, TL_TESSALINE4}) : RunProgram({TL_TLREGSVR, "-u", TL_TESSALINE4});
}

RunResult RunPage(const std::string& inPage, std::vector<std::string> inEnvironment,
                  const std::vector<std::string>& inArguments)
{
  inEnvironment.push_back("LSAN_OPTIONS=suppressions=" TL_HOST_SUPPRESSIONS ":print_suppressions=0");
  std::vector<std::string> theCommand{TL_TLSCRIPT, std::string(TL_PAGES_DIR) + "/" + inPage};
  theCommand.insert(theCommand.end(), inArguments.begin(), inArguments.end());
  return RunProgram(theCommand, inEnvironment);
}

std::string Expected(const std::string& inPage)
{
  return ReadFile(std::string(TL_PAGES_DIR) + "/" + inPage);
}

}  // namespace tltest
