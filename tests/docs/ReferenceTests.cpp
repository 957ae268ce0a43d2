// docs/reference.md against the code's own tables: every ProgID the two
// servers register, every member of every interface with its help string,
// every keyword of the parameter strings and every preference has its place
// in it, so the reference cannot fall behind the code.

#include "core/Parameters.h"
#include "core/Preferences.h"
#include "objects/ClassTable.h"
#include "platform/registry/Registry.h"
#include "settings-component/Settings.h"
#include "tests/support/HostProcess.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

namespace {

const std::string& Reference()
{
  static const std::string theText = tltest::ReadFile(TL_REFERENCE);
  return theText;
}

// The part of the reference from the heading line that holds inMark (and
// starts with inLevel, "## " or "### ") to the next heading of its level or
// above; empty when there is no such heading.
std::string Section(const std::string& inLevel, const std::string& inMark)
{
  const std::string& theText = Reference();
  for (std::size_t theAt = theText.find("\n" + inLevel); theAt != std::string::npos;
       theAt = theText.find("\n" + inLevel, theAt + 1)) {
    const std::size_t theLineEnd = theText.find('\n', theAt + 1);
    if (theText.substr(theAt, theLineEnd - theAt).find(inMark) == std::string::npos)
      continue;
    std::size_t theEnd = theText.find("\n## ", theLineEnd);
    if (inLevel == "### ")
      theEnd = std::min(theEnd, theText.find("\n### ", theLineEnd));
    return theText.substr(theAt, theEnd == std::string::npos ? std::string::npos : theEnd - theAt);
  }
  return {};
}

std::string Code(const std::string& inName)
{
  return "`" + inName + "`";
}

// The names of the keyword table of the parameters record, from its source.
std::vector<std::string> KeywordsOfTheSource()
{
  const std::string theSource = tltest::ReadFile(TL_PARAMETERS_SOURCE);
  const std::size_t theStart = theSource.find("kKeywords[] = {");
  const std::string theTable = theSource.substr(theStart, theSource.find("\n};", theStart) - theStart);
  std::vector<std::string> theNames;
  const std::regex theEntry("\\{\"([a-z]+)\",");
  for (std::sregex_iterator it(theTable.begin(), theTable.end(), theEntry), theEnd; it != theEnd; ++it)
    theNames.push_back((*it)[1]);
  return theNames;
}

TEST(Reference, NamesEveryClassAndProgID)
{
  for (const char* theServer : {TL_TESSALINE4, TL_TLUTILITIES4}) {
    tltest::RunResult theResult = tltest::RunProgram({TL_TLREGSVR, theServer});
    ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  }
  const std::string theClasses = Section("## ", "Classes and ProgIDs");
  ASSERT_FALSE(theClasses.empty());
  int theCount = 0;
  for (const std::string& theKey : tltest::RegistryKeys(HKEY_CLASSES_ROOT)) {
    const std::size_t theEnd = theKey.find("\\CLSID");
    if (theEnd == std::string::npos || theEnd + 6 != theKey.size() || theKey.find('.') > theEnd)
      continue;
    ++theCount;
    EXPECT_NE(theClasses.find(Code(theKey.substr(0, theEnd))), std::string::npos) << theKey;
  }
  EXPECT_EQ(theCount, 24) << "a ProgID and a versioned one for each of twelve classes";
  for (const ServerClass& theClass : Tessaline4Module().Classes())
    EXPECT_NE(theClasses.find("| " + Code(theClass.mName) + " |"), std::string::npos) << theClass.mName;
}

TEST(Reference, DescribesEveryMemberWithItsHelpString)
{
  std::vector<const DispatchTable*> theTables(Tessaline4Module().Library().mInterfaces.begin(),
                                              Tessaline4Module().Library().mInterfaces.end());
  theTables.push_back(&kSettingsTable);
  for (const DispatchTable* theTable : theTables) {
    SCOPED_TRACE(theTable->mName);
    const std::string theSection = Section("### ", "(interface " + Code(theTable->mName) + ")");
    ASSERT_FALSE(theSection.empty());
    for (const DispatchMember& theMember : theTable->mMembers) {
      EXPECT_NE(theSection.find("| " + Code(theMember.mName) + " |"), std::string::npos) << theMember.mName;
      EXPECT_NE(theSection.find("\"" + std::string(theMember.mHelp) + "\""), std::string::npos) << theMember.mHelp;
    }
  }
}

TEST(Reference, ListsEveryKeywordOfTheParameterStrings)
{
  const std::vector<std::string> theKeywords = KeywordsOfTheSource();
  EXPECT_GT(theKeywords.size(), 60u);
  const std::string theSection = Section("## ", "Parameter strings");
  ASSERT_FALSE(theSection.empty());
  for (const std::string& theKeyword : theKeywords) {
    Parameters theRecord;
    theRecord.ApplyParameter(theKeyword.c_str(), "1");
    EXPECT_NE(theRecord.GetErrorCode(), ParameterParser::kUnknownName) << theKeyword << " is no keyword";
    EXPECT_NE(theSection.find(Code(theKeyword)), std::string::npos) << theKeyword;
  }
}

TEST(Reference, ListsEveryPreference)
{
  const std::string theSection = Section("## ", "Preferences");
  ASSERT_FALSE(theSection.empty());
  for (const Preference& thePreference : kPreferences)
    EXPECT_NE(theSection.find("| " + Code(thePreference.mName) + " |"), std::string::npos) << thePreference.mName;
}

// Every variable of the environment the programs and libraries read: the
// names the sources hand to getenv, or quote as TESSALINE_ names.
std::set<std::string> VariablesOfTheSources()
{
  const std::regex theRead("getenv\\(\"([A-Z_]+)\"\\)|\"(TESSALINE_[A-Z_]+)\"");
  std::set<std::string> theNames;
  for (const char* theFolder : {"core", "kernels", "objects", "platform", "host", "settings-component", "settings-program"}) {
    for (const auto& theEntry : std::filesystem::recursive_directory_iterator(std::string(TL_SOURCE_DIR) + "/" + theFolder)) {
      const std::string theSource = tltest::ReadFile(theEntry.path().string());
      for (std::sregex_iterator it(theSource.begin(), theSource.end(), theRead), theEnd; it != theEnd; ++it)
        theNames.insert((*it)[1].matched ? (*it)[1] : (*it)[2]);
    }
  }
  return theNames;
}

TEST(Reference, ListsEveryEnvironmentVariable)
{
  const std::set<std::string> theNames = VariablesOfTheSources();
  EXPECT_TRUE(theNames.count("TESSALINE_HOME") && theNames.count("TESSALINE_PAGE_ROOT"));
  const std::string theSection = Section("## ", "Environment variables");
  ASSERT_FALSE(theSection.empty());
  for (const std::string& theName : theNames)
    EXPECT_NE(theSection.find(Code(theName)), std::string::npos) << theName;
}

}  // namespace
