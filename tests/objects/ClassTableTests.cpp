// The eleven classes of the library after tlregsvr, checked against a table
// of their own: the keys each class leaves, which of them a script may
// create by either ProgID, and what is left after unregistering.

#include "tests/objects/GraphicTestFiles.h"
#include "tests/objects/PageSupport.h"
#include "tests/support/RegistryKeys.h"

#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <set>
#include <string>

namespace {

struct ClassRow {
  const char* mName;
  const char* mClassId;  // as the registration scripts spell it
  const char* mInterfaceId;
  bool mCreatable;
};

constexpr ClassRow kClasses[] = {
    {"Graphic", "{9F952588-F39F-4b3e-8042-2E4203DED320}", "{00241081-F339-45A4-BF0D-CA635441B725}", true},
    {"Canvas", "{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}", "{4592E792-723A-4DCD-98D4-365D4B2BAA5D}", true},
    {"GraphicImage", "{B959023D-B7A1-409b-B403-2B1BB8AEC16B}", "{16D74B61-BD62-4494-9281-BAF90CE9E4D4}", false},
    {"Fonts", "{94467ADB-7827-44d5-8B6C-3654EFCB19B2}", "{2CCE6E40-4E8B-49C1-A76C-9D55C7C83084}", false},
    {"Exporters", "{949D8633-2C99-4816-A13F-6F55476BB66A}", "{CDC1BFE2-225D-4855-812E-A4F948C3DA95}", false},
    {"Gestalt", "{7F566EA2-AA3A-4a94-848C-5F4A99DB555A}", "{614C0433-A8F4-4EB6-80F2-0FE2FFEE35BA}", true},
    {"XColor", "{AE98384B-0F2D-4898-A3BF-5890C642153E}", "{53406F68-9B2D-4232-9038-CC80254BCA08}", true},
    {"XRect", "{42B430B5-FC12-484b-9622-EA9BF05344DD}", "{D9C9866C-EC02-43F7-8BD5-1F01D42D577B}", true},
    {"XPoint", "{9D1D6EB2-C61F-4738-8640-881092E6F210}", "{35FCA749-6962-484F-B2B3-448431FA7EFB}", true},
    {"IPTCItem", "{AD724B99-C638-4D35-90BD-D722EE80E2CD}", "{A80670C2-E7E1-4F02-A3D6-FA940CB6D5E2}", false},
    {"GraphicIPTC", "{92838A2B-4D8A-4FDA-8F75-6D113184F910}", "{51E91D3A-2510-490E-A7A6-888CF5650362}", true},
};
constexpr char kLibraryId[] = "{8A6E39EB-BCB3-4e8d-A344-DDED8E259077}";
constexpr char kNotAvailable[] = "-2147221231";  // CLASS_E_CLASSNOTAVAILABLE

std::string ModulePath()
{
  char thePath[PATH_MAX];
  return realpath(TL_TESSALINE4, thePath) ? thePath : "";
}

TEST(ClassTable, EveryClassIsRegisteredNeutralAndTheCreatableOnesAnswerBothProgIDs)
{
  using tltest::RegistryText;
  tltest::RunResult theResult = tltest::Registration(true);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  const std::string theModule = ModulePath();
  const std::set<std::string> theKeys = tltest::RegistryKeys(HKEY_CLASSES_ROOT);
  std::string theExpected;
  for (const ClassRow& theClass : kClasses) {
    SCOPED_TRACE(theClass.mName);
    const std::string theProgId = std::string("Tessaline4.") + theClass.mName;
    const std::string theCaption = std::string(theClass.mName) + " Class";
    const std::string theKey = std::string("CLSID\\") + theClass.mClassId;
    const std::string kValues[][3] = {
        {theProgId, "", theCaption},
        {theProgId + "\\CLSID", "", theClass.mClassId},
        {theProgId + "\\CurVer", "", theProgId + ".1"},
        {theProgId + ".1", "", theCaption},
        {theProgId + ".1\\CLSID", "", theClass.mClassId},
        {theKey, "", theCaption},
        {theKey + "\\ProgID", "", theProgId + ".1"},
        {theKey + "\\VersionIndependentProgID", "", theProgId},
        {theKey + "\\InprocServer32", "", theModule},
        {theKey + "\\InprocServer32", "ThreadingModel", "Neutral"},
        {theKey + "\\InprocServer32", "Synchronization", "Required"},
        {theKey + "\\TypeLib", "", kLibraryId},
        {std::string("Interface\\") + theClass.mInterfaceId, "", std::string("I") + theClass.mName},
    };
    for (const auto& [theKeyName, theName, theValue] : kValues)
      EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, theKeyName, theName), theValue) << theKeyName << " " << theName;
    EXPECT_EQ(theKeys.count(theKey + "\\Programmable"), 1u) << "the empty Programmable key";
    const std::string theAnswer = theClass.mCreatable ? "made" : kNotAvailable;
    theExpected += std::string(theClass.mName) + ": " + theAnswer + ", " + theAnswer + "\n";
  }

  const std::string theJpeg = graphictest::WriteFile(
      graphictest::JpegWithResources(graphictest::Resource(0x0404, graphictest::DataSet(2, 5, "Lake"))),
      "iptc.jpg");
  theResult = tltest::RunPage("classes.js", {}, {theJpeg});
  EXPECT_EQ(theResult.mErr, "");
  EXPECT_EQ(theResult.mOut, theExpected + "Graphic.Item(1) object, Gestalt.Fonts object, "
                                          "Gestalt.GraphicsExporters object, GraphicIPTC.Item(1) object\n");

  theResult = tltest::Registration(false);
  ASSERT_EQ(theResult.mStatus, 0) << theResult.mErr;
  theResult = tltest::RunPage("classes.js");
  for (const ClassRow& theClass : kClasses) {
    const std::string theLine = std::string(theClass.mName) + ": made";
    EXPECT_EQ(theResult.mOut.find(theLine), std::string::npos) << theClass.mName << " still resolves";
  }
}

}  // namespace
