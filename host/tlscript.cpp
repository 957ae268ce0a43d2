// tlscript page.js [args]: runs a page with the page-scripting host.
// Exit status: 0 when the page ran to its end, 1 when it failed, 2 when it
// could not be read.

#include "host/ScriptHost.h"
#include "platform/base/TessalineHome.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fprintf(stderr, "usage: tlscript page.js [arguments...]\n");
    return 2;
  }
  if (std::string theWarning = GetTessalineHomeWarning(); !theWarning.empty())
    std::fprintf(stderr, "tlscript: %s\n", theWarning.c_str());

  std::ifstream theFile(argv[1], std::ios::binary);
  std::ostringstream theSource;
  if (!theFile || !(theSource << theFile.rdbuf())) {
    std::fprintf(stderr, "tlscript: cannot read the page %s\n", argv[1]);
    return 2;
  }
  std::vector<std::string> theArguments(argv + 2, argv + argc);
  int theStatus = 0;
  {
    ScriptHost theHost;
    theStatus = theHost.Run(argv[1], theSource.str(), theArguments);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "tlscript: cannot write to standard output\n");
    return 1;
  }
  return theStatus;
}
