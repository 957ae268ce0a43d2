// The main of every test executable: each test process gets a fresh, empty
// TESSALINE_HOME (removed again at the end), so tests never touch the
// machine's own registry, logs or events.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
  testing::InitGoogleTest(&argc, argv);

  const char* theTemp = std::getenv("TMPDIR");
  std::string theTemplate = std::string(theTemp && *theTemp ? theTemp : "/tmp") + "/tltest-XXXXXX";
  if (!mkdtemp(theTemplate.data()))
    return 2;
  // Readable by `nobody`, for the tests that drop to it.
  std::filesystem::permissions(theTemplate, std::filesystem::perms(0755));
  setenv("TESSALINE_HOME", theTemplate.c_str(), 1);

  int theResult = RUN_ALL_TESTS();

  std::error_code theIgnored;
  if (!std::getenv("TL_KEEP_TEST_HOME"))
    std::filesystem::remove_all(theTemplate, theIgnored);
  return theResult;
}
