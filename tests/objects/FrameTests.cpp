// The method frame and the error reporters, with a class of the tests' own:
// what each kind of failure inside a member becomes for the script.

#include "core/Preferences.h"
#include "objects/MethodFrame.h"
#include "platform/automation/ComError.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/automation/Registration.h"
#include "platform/base/Numbers.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <functional>
#include <regex>
#include <stdexcept>

namespace {

constexpr CLSID kFramedClass = TL_GUID("{6C0D2A41-93B7-4E5F-8A1D-2F7E9B3C4D50}");
constexpr IID kFramedInterface = TL_GUID("{6C0D2A41-93B7-4E5F-8A1D-2F7E9B3C4D51}");
constexpr CLSID kUnregisteredClass = TL_GUID("{6C0D2A41-93B7-4E5F-8A1D-2F7E9B3C4D52}");
constexpr GUID kFramedLibrary = TL_GUID("{6C0D2A41-93B7-4E5F-8A1D-2F7E9B3C4D5F}");
constexpr ErrorReporter kReporter{kFramedClass, kFramedInterface};

// What a member answered and the error info it left.
struct Outcome {
  HRESULT mResult = S_OK;
  bool mHasInfo = false;
  std::string mDescription;
  std::string mSource;
  GUID mInterface{};
};

Outcome ErrorInfoAfter(HRESULT inResult)
{
  Outcome theOutcome;
  theOutcome.mResult = inResult;
  ComPtr<IErrorInfo> theInfo;
  if (GetErrorInfo(0, theInfo.Receive()) != S_OK)
    return theOutcome;
  theOutcome.mHasInfo = true;
  Bstr theText;
  theInfo->GetDescription(theText.Receive());
  theOutcome.mDescription = theText.ToUtf8();
  theInfo->GetSource(theText.Receive());
  theOutcome.mSource = theText.ToUtf8();
  theInfo->GetGUID(&theOutcome.mInterface);
  return theOutcome;
}

// The line of the frame below, which a fault message names.
constexpr LONG kFrameLine = __LINE__ + 5;

Outcome RunFramed(const std::function<HRESULT()>& inBody)
{
  SetErrorInfo(0, nullptr);
  return ErrorInfoAfter(MethodFrame(kReporter, inBody));
}

class Frame : public testing::Test {
protected:
  void SetUp() override
  {
    static const ServerClass kClass{&kFramedClass, "Framed", "TLTest.Framed", 1, "Framed Class", nullptr};
    static const TypeLibrary kLibrary{&kFramedLibrary, "TLTest", "Test library", 1, 0, {}};
    ASSERT_EQ(RegisterServerClass(kClass, kLibrary, ThreadingModel::kApartment, "/nowhere/framed.so"), S_OK);
    ASSERT_EQ(SetPrefLong("AutoRecover", 1), ERROR_SUCCESS);
  }
};

TEST_F(Frame, EveryThrowEndsAsEFailWithItsText)
{
  struct Case {
    const char* mName;
    std::function<HRESULT()> mBody;
    std::string mDescription;
  };
  const Case kCases[] = {
      {"a conversion", [] { return VariantLong(*Variant("abc").Get()); }, "Type mismatch."},
      {"an overflow", []() -> HRESULT { throw _com_error(DISP_E_OVERFLOW); }, "Out of present range."},
      {"an IDispatch error", []() -> HRESULT { throw _com_error(MakeHRESULT(0x80040205u)); }, "IDispatch error #5"},
      {"an unknown HRESULT", []() -> HRESULT { throw _com_error(MakeHRESULT(0x8123ABCDu)); },
       "Unknown error 0x8123ABCD"},
      {"any other exception", []() -> HRESULT { throw std::runtime_error("boom"); }, "Unknown exception thrown"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    const Outcome theOutcome = RunFramed(theCase.mBody);
    EXPECT_EQ(theOutcome.mResult, E_FAIL);
    ASSERT_TRUE(theOutcome.mHasInfo);
    EXPECT_EQ(theOutcome.mDescription, theCase.mDescription);
    EXPECT_EQ(theOutcome.mSource, "TLTest.Framed.1");
    EXPECT_TRUE(theOutcome.mInterface == kFramedInterface);
  }
  const Outcome thePointer = RunFramed([] { return E_POINTER; });
  EXPECT_EQ(thePointer.mResult, E_POINTER);
  EXPECT_FALSE(thePointer.mHasInfo) << "a null pointer is answered without error info";
}

// A fault outside any operation, in our code or inside a C library routine:
// logged as a fatal event, reported as E_FAIL with the fault's message naming
// this file and the frame's line, and the thread goes on.
TEST_F(Frame, AFaultReachesTheFrameAndTheNextCallWorks)
{
  ASSERT_EQ(SetPrefLong("LogErrors", 0), ERROR_SUCCESS);
  struct Case {
    const char* mName;
    void (*mFault)();
    std::string mAccess;
  };
  const Case kCases[] = {
      {"our own code", &tltest::WriteToBadAddress, FormatC("write to 0x%08" PRIxPTR, tltest::BadAddress())},
      {"memcpy", &tltest::CopyFromBadPage, FormatC("read from 0x%08" PRIxPTR, tltest::BadPage())},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    tltest::EventWatcher theEvents;
    const Outcome theOutcome = RunFramed([&] {
      theCase.mFault();
      return S_OK;
    });
    EXPECT_EQ(theOutcome.mResult, E_FAIL);
    const std::string theExpected = FormatC("Code at 0x[0-9a-f]{8,16} attempted to %s\\. System Error caught at "
                                            "line %d of FrameTests\\.cpp\\. Base at 0x[0-9a-f]{8,16}\\.",
                                            theCase.mAccess.c_str(), kFrameLine);
    EXPECT_TRUE(std::regex_match(theOutcome.mDescription, std::regex(theExpected))) << theOutcome.mDescription;
    const std::vector<tltest::Event> theNew = theEvents.NewEvents();
    ASSERT_EQ(theNew.size(), 1u);
    EXPECT_EQ(theNew[0].mType, "Error");
    EXPECT_EQ(theNew[0].mText, theOutcome.mDescription);
    EXPECT_EQ(RunFramed([] { return S_OK; }).mResult, S_OK) << "the next call works";
  }
}

TEST_F(Frame, AFaultEndsTheProcessWithoutAutoRecover)
{
  ASSERT_EQ(SetPrefLong("AutoRecover", 0), ERROR_SUCCESS);
  tltest::ChildResult theChild = tltest::RunInChild([] {
    RunFramed([] {
      tltest::WriteToBadAddress();
      return S_OK;
    });
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 1);
}

// (The set-property error and LogErrors are seen through the canvas's pages.)
TEST_F(Frame, ReportersNameTheClassWhenItIsRegistered)
{
  SetErrorInfo(0, nullptr);
  Outcome theOutcome = ErrorInfoAfter(kReporter.ReportGetPropertyError("Thing Size", 0, 0));
  EXPECT_EQ(theOutcome.mResult, E_FAIL);
  EXPECT_EQ(theOutcome.mDescription, "Unable to get property\n\n\nGet Thing Size");
  EXPECT_EQ(theOutcome.mSource, "TLTest.Framed.1");

  constexpr ErrorReporter kUnregistered{kUnregisteredClass, kFramedInterface};
  SetErrorInfo(0, nullptr);
  theOutcome = ErrorInfoAfter(kUnregistered.ReportError("Out of paper", E_NOTIMPL));
  EXPECT_EQ(theOutcome.mResult, E_NOTIMPL) << "the reporter answers the result it is given";
  EXPECT_EQ(theOutcome.mDescription, "Out of paper");
  EXPECT_EQ(theOutcome.mSource, "");
}

TEST(Conversions, ArgumentsAreReadThroughTheirReference)
{
  Variant theNumber(LONG{42});
  Variant theReference;
  theReference.Set(VT_BYREF | VT_VARIANT).pvarVal = theNumber.Get();
  EXPECT_EQ(VariantText(*theReference.Get()), "42");
  EXPECT_EQ(VariantLong(*Variant(" 7 ").Get()), 7);
  const Variant theNul(std::string_view("cut\0here", 8));
  EXPECT_EQ(VariantWholeText(*theNul.Get()), std::string("cut\0here", 8)) << "a parameter string comes whole";
  try {
    VariantText(*theNul.Get(), "File name");
    ADD_FAILURE() << "a text holding a NUL is refused";
  } catch (const RefusedText& theRefusal) {
    EXPECT_EQ(theRefusal.GetText(), "File name holds a NUL character at character 3 \"cut\\0here\"");
  }
  Variant theNull;
  theNull.Set(VT_NULL);
  EXPECT_THROW(VariantText(*theNull.Get()), _com_error);
}

}  // namespace
