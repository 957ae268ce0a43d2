// The main of every test executable: each test process gets a fresh, empty
// TESSALINE_HOME (removed again at the end), so tests never touch the
// machine's own registry, logs or events.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

// Defaults of the sanitizer runtimes, compiled into every test program: our
// own fault handlers must see SIGSEGV, SIGBUS, SIGFPE and SIGILL. GCC 12's
// runtime misreads the thread-local blocks of libraries loaded with dlopen
// under Debian 12's glibc, and the leak check then faults at exit (seen with
// the QuickTime stand-in once OSMesa no longer loads at start): it does not
// track them. The environment's ASAN_OPTIONS and UBSAN_OPTIONS still
// override these.
extern "C" const char* __asan_default_options()
{
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:detect_leaks=1:intercept_tls_get_addr=0";
}

extern "C" const char* __ubsan_default_options()
{
  return "print_stacktrace=1:halt_on_error=1";
}

// Two libraries, as Debian 12 ships them, lose a few hundred bytes: fontconfig
// once per process while it parses its configuration, OSMesa with each
// context it destroys.
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libfontconfig.so\nleak:libOSMesa.so\n";
}

int main(int argc, char** argv)
{
  testing::InitGoogleTest(&argc, argv);
  // A test whose child process died reports it; it does not die of the pipe.
  std::signal(SIGPIPE, SIG_IGN);

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
