// The installed tree: `cmake --install` of this build into a prefix of the
// test's own, then moved to another folder, so that nothing in it can lean on
// where it was installed or on the build tree; its programs run with no
// library path and a PATH without the build. They find their libraries and
// manual pages, and the main road's thumbnail page of the installed examples
// runs over the installed libraries in a fresh store, through the JPEG
// library and through ImageMagick under the installed policy.

#include "platform/registry/Registry.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

using tltest::RunResult;

const char* const kPrograms[] = {"tlscript", "tlregsvr", "TLSettings"};
const char* const kLibraries[] = {"libtlplatform.so", "libTessaline4.so", "libTLUtilities4.so"};

class InstalledTree : public testing::Test {
protected:
  void SetUp() override
  {
    const std::string theFolder = tltest::MakeTempFolder("install");
    RunResult theInstall = tltest::RunProgram({TL_CMAKE, "--install", TL_BUILD_DIR, "--prefix", theFolder + "/staged"});
    ASSERT_EQ(theInstall.mStatus, 0) << theInstall.mOut << theInstall.mErr;
    std::filesystem::rename(theFolder + "/staged", theFolder + "/moved");
    mPrefix = theFolder + "/moved";
  }

  // An installed program or any other, with the installed bin/ alone on the
  // PATH (and, under the sanitizers, fontconfig's known leak suppressed).
  RunResult Run(const std::vector<std::string>& inCommand)
  {
    return tltest::RunProgram(inCommand, {"PATH=" + mPrefix + "/bin:/usr/bin:/bin", "LD_LIBRARY_PATH",
                                          "LSAN_OPTIONS=suppressions=" TL_HOST_SUPPRESSIONS ":print_suppressions=0"});
  }

  std::string Bin(const std::string& inName) const { return mPrefix + "/bin/" + inName; }
  std::string Lib(const std::string& inName) const { return mPrefix + "/lib/" + inName; }

  std::string mPrefix;
};

TEST_F(InstalledTree, ProgramsFindTheirLibrariesAndManualPages)
{
  std::vector<std::string> theFiles;
  for (const char* theProgram : kPrograms)
    theFiles.push_back(Bin(theProgram));
  for (const char* theLibrary : kLibraries)
    theFiles.push_back(Lib(theLibrary));
  for (const std::string& theFile : theFiles) {
    SCOPED_TRACE(theFile);
    const RunResult theDynamic = Run({"/usr/bin/readelf", "-d", theFile});
    EXPECT_NE(theDynamic.mOut.find("(RUNPATH)            Library runpath: [$ORIGIN/../lib]"), std::string::npos)
      << theDynamic.mOut << theDynamic.mErr;
    const RunResult theLinks = Run({"/usr/bin/ldd", theFile});
    EXPECT_EQ(theLinks.mOut.find("not found"), std::string::npos) << theLinks.mOut;
    if (theFile != Lib("libtlplatform.so")) {
      EXPECT_NE(theLinks.mOut.find("libtlplatform.so => " + mPrefix + "/"), std::string::npos) << theLinks.mOut;
    }
  }

  for (const std::string theProgram : kPrograms) {
    SCOPED_TRACE(theProgram);
    RunResult theResult = Run({Bin(theProgram), "--version"});
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mOut, theProgram + " " TL_VERSION "\n");

    // The manual page reads without a warning and describes every option of
    // --help as a tag of its own.
    const std::string thePage = mPrefix + "/share/man/man1/" + theProgram + ".1";
    const RunResult theManual = tltest::RunProgram({"/usr/bin/man", "--warnings", "-l", thePage},
                                                   {"MANWIDTH=80", "MANPAGER=cat", "MAN_KEEP_FORMATTING"});
    EXPECT_EQ(theManual.mStatus, 0) << theManual.mErr;
    EXPECT_EQ(theManual.mErr, "");
    EXPECT_NE(theManual.mOut.find("NAME\n       " + theProgram + " - "), std::string::npos) << theManual.mOut;
    EXPECT_NE(theManual.mOut.find("Tessaline " TL_VERSION), std::string::npos);
    for (const char* theSection : {"SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "ENVIRONMENT", "SEE ALSO"})
      EXPECT_NE(theManual.mOut.find(std::string("\n") + theSection + "\n"), std::string::npos) << theSection;
    const std::string theHelp = Run({Bin(theProgram), "--help"}).mOut;
    const std::regex theOption("\n  (-[-a-z]+)");
    int theOptions = 0;
    for (std::sregex_iterator it(theHelp.begin(), theHelp.end(), theOption), theEnd; it != theEnd; ++it, ++theOptions)
      EXPECT_TRUE(std::regex_search(theManual.mOut, std::regex("\n {7}" + (*it)[1].str() + "[ \n]"))) << (*it)[1];
    EXPECT_GE(theOptions, 2) << theHelp;
  }
}

TEST_F(InstalledTree, ThumbnailPageRunsOverTheInstalledLibraries)
{
  for (const char* theServer : {"libTessaline4.so", "libTLUtilities4.so"}) {
    RunResult theResult = Run({Bin("tlregsvr"), Lib(theServer)});
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  }
  EXPECT_EQ(tltest::RegistryText(HKEY_CLASSES_ROOT, "CLSID\\{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}\\InprocServer32"),
            std::filesystem::canonical(Lib("libTessaline4.so")).string());

  // A JPEG goes through the JPEG library, a PNG through ImageMagick.
  const std::string theFolder = tltest::MakeTempFolder("pictures");
  const std::string theExamples = mPrefix + "/share/tessaline/examples/";
  for (const char* theName : {"lake.jpg", "lake.png"}) {
    SCOPED_TRACE(theName);
    const std::string thePicture = theFolder + "/" + theName;
    ASSERT_EQ(Run({"/usr/bin/convert", "-size", "1200x800", "gradient:navy-orange", thePicture}).mStatus, 0);
    const std::string theThumbnail = thePicture + ".thumb.jpg";
    RunResult theResult = Run({Bin("tlscript"), theExamples + "thumbnail.js", thePicture, theThumbnail});
    EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
    EXPECT_EQ(theResult.mErr, "");
    EXPECT_NE(theResult.mOut.find("saved " + theThumbnail), std::string::npos) << theResult.mOut;
    EXPECT_EQ(Run({"/usr/bin/identify", "-format", "%m %w %h", theThumbnail}).mOut, "JPEG 400 300");
  }
  const std::string theEvents = tltest::ReadFile(std::string(std::getenv("TESSALINE_HOME")) + "/events.log");
  EXPECT_EQ(theEvents.find("policy not in force"), std::string::npos) << theEvents;

  // The version the programs give is the library's.
  const std::string thePage = theFolder + "/version.js";
  std::ofstream(thePage) << "Response.Write(Server.CreateObject('Tessaline4.Gestalt').Version);";
  EXPECT_EQ("tlscript " + Run({Bin("tlscript"), thePage}).mOut + "\n", Run({Bin("tlscript"), "--version"}).mOut);

  RunResult theResult = Run({Bin("tlscript"), theExamples + "preferences.js"});
  EXPECT_EQ(theResult.mStatus, 0) << theResult.mErr;
  EXPECT_NE(theResult.mOut.find("MaxSize"), std::string::npos) << theResult.mOut;
}

}  // namespace
