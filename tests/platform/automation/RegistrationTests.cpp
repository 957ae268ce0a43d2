// Registration writes the keys activation reads (the hosts' tests check that
// unregistering removes every key).

#include "platform/automation/Activation.h"
#include "platform/automation/ComMemory.h"
#include "platform/automation/Registration.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/RegistryKeys.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr CLSID kClassId = TL_GUID("{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0C}");
constexpr CLSID kHiddenId = TL_GUID("{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0D}");
constexpr GUID kLibraryId = TL_GUID("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
constexpr GUID kCategoryId = TL_GUID("{40FC6ED5-2438-11CF-A3DB-080036F12502}");

HRESULT CreateNothing(ModuleLockCount*, REFIID, void** outObject)
{
  *outObject = nullptr;
  return E_NOTIMPL;
}

const ServerClass kClasses[] = {
    {&kClassId, "Widget", "TLReg.Widget", 1, "Widget Class", &CreateNothing},
    {&kHiddenId, "Part", "TLReg.Part", 2, "Part Class", nullptr},
};
const TypeLibrary kLibrary{&kLibraryId, "TLReg", "Registration test library", 1, 0, {}};

std::set<std::string> AllKeys()
{
  return tltest::RegistryKeys(HKEY_CLASSES_ROOT);
}

std::string Read(const std::string& inPath, const std::string& inName = "")
{
  return tltest::RegistryText(HKEY_CLASSES_ROOT, inPath, inName);
}

class RegistrationTest : public testing::Test {
protected:
  ServerModule mModule{kClasses, kLibrary};
};

TEST_F(RegistrationTest, WritesTheClassKeys)
{
  ASSERT_EQ(RegisterServer(mModule, ThreadingModel::kNeutralSynchronized, "/opt/tl/libwidget.so"), S_OK);
  const std::string theClassKey = "CLSID\\{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0C}";
  EXPECT_EQ(Read("TLReg.Widget\\CurVer"), "TLReg.Widget.1");
  EXPECT_EQ(Read(theClassKey + "\\VersionIndependentProgID"), "TLReg.Widget");
  EXPECT_EQ(Read(theClassKey + "\\InprocServer32", "ThreadingModel"), "Neutral");
  EXPECT_EQ(Read(theClassKey + "\\InprocServer32", "Synchronization"), "Required");
  EXPECT_EQ(Read("TLReg.Part.2\\CLSID"), "{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0D}");
  EXPECT_EQ(Read("TypeLib\\{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\\1.0\\HELPDIR"), "/opt/tl/");

  ASSERT_EQ(RegisterCategory(kCategoryId, "Controls that are safely programmable"), S_OK);
  EXPECT_EQ(Read("Component Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}", "409"),
            "Controls that are safely programmable");

  // Again, in the other threading model: the class key is rebuilt, not merged.
  std::set<std::string> theBefore = AllKeys();
  ASSERT_EQ(RegisterServer(mModule, ThreadingModel::kApartment, "/opt/tl/libwidget.so"), S_OK);
  EXPECT_EQ(AllKeys(), theBefore);
  EXPECT_EQ(Read(theClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Read(theClassKey + "\\InprocServer32", "Synchronization"), "(missing)");
  EXPECT_EQ(UnregisterServer(mModule), S_OK);
  EXPECT_EQ(UnregisterServer(mModule), S_OK) << "removing what is gone is no failure";
}

TEST_F(RegistrationTest, ProgIdsResolveThroughCurVer)
{
  ASSERT_EQ(RegisterServer(mModule, ThreadingModel::kApartment, "/opt/tl/libwidget.so"), S_OK);
  CLSID theClassId{};
  EXPECT_EQ(CLSIDFromProgID(u"tlreg.widget", &theClassId), S_OK) << "any letter case";
  EXPECT_TRUE(theClassId == kClassId);
  // The version-independent key is followed through CurVer.
  {
    RegistryKey theKey;
    ASSERT_EQ(theKey.Create(HKEY_CLASSES_ROOT, "TLReg.Widget\\CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(theKey.WriteString("", "{00000000-0000-0000-0000-000000000001}"), ERROR_SUCCESS);
  }
  EXPECT_EQ(CLSIDFromProgID(u"TLReg.Widget", &theClassId), S_OK);
  EXPECT_TRUE(theClassId == kClassId);

  LPOLESTR theProgId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(kClassId, &theProgId), S_OK);
  EXPECT_EQ(Utf16ToUtf8(theProgId), "TLReg.Widget.1");
  CoTaskMemFree(theProgId);

  for (const char16_t* theBad : {u"TLReg.Nothing", u"", u"CLSID\\{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0C}"})
    EXPECT_EQ(CLSIDFromProgID(theBad, &theClassId), CO_E_CLASSSTRING) << Utf16ToUtf8(theBad);
  UnregisterServer(mModule);
}

TEST_F(RegistrationTest, ActivationReportsWhatIsMissing)
{
  ComPtr<IUnknown> theObject;
  EXPECT_EQ(CreateObjectFromProgID("TLReg.Widget", IID_IUnknown, theObject.ReceiveVoid()), CO_E_CLASSSTRING);
  ASSERT_EQ(RegisterServer(mModule, ThreadingModel::kApartment, "/nonexistent/libwidget.so"), S_OK);
  EXPECT_EQ(CreateObjectFromProgID("TLReg.Widget", IID_IUnknown, theObject.ReceiveVoid()), CO_E_DLLNOTFOUND);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{6A1F0C3E-8B2D-4E57-A9C4-1D3E5F7A9B0C}\\InprocServer32");
  EXPECT_EQ(CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, theObject.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  UnregisterServer(mModule);
}

}  // namespace
