// The operation framework with operations of the tests' own: what stops the
// work, what the error text says, what the logs get, and what a failure
// inside the work becomes.

#include "core/Bitmap.h"
#include "core/CanvasLog.h"
#include "core/Impersonator.h"
#include "core/Preferences.h"
#include "objects/Operation.h"
#include "platform/automation/ComError.h"
#include "platform/base/LastError.h"
#include "platform/base/Numbers.h"
#include "platform/base/WinError.h"
#include "tests/core/EventWatcher.h"
#include "tests/objects/ObjectsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <functional>
#include <random>
#include <stdexcept>

namespace {

// An operation whose work the test gives; it counts its runs.
class TestOperation : public Operation {
public:
  explicit TestOperation(std::function<void()> inWork = [] {}, const char* inLabel = "Test Op:")
      : Operation(inLabel), mWork(std::move(inWork))
  {
  }

  int mRuns = 0;
  DWORD mLastErrorAtStart = 12345;

protected:
  LONG DoIt(Bitmap&) override
  {
    ++mRuns;
    mLastErrorAtStart = GetLastError();
    mWork();
    return 0;
  }

private:
  std::function<void()> mWork;
};

void SetPref(const char* inName, LONG inValue)
{
  ASSERT_EQ(SetPrefLong(inName, inValue), ERROR_SUCCESS);
}

// The parser's own message for a text.
std::string ParseMessage(const std::string& inText)
{
  Parameters theParams;
  theParams.Parse(inText);
  std::string theMessage;
  theParams.GetErrorText(theMessage);
  return theMessage;
}

// A text as the event log keeps it.
std::string OneLine(std::string inText)
{
  std::replace(inText.begin(), inText.end(), '\n', ' ');
  return inText;
}

class Operations : public testing::Test {
protected:
  void SetUp() override
  {
    mWorld.SetWidth(40);
    mWorld.SetHeight(30);
    ASSERT_EQ(mWorld.Update(), 0);
    mCanvas = FormatC("Canvas={Width=40 Height=30 Depth=32 Buffer=%" PRIu32 "}", HandleToNumber(mWorld.GetHBITMAP()));
  }

  Bitmap mWorld;
  std::string mCanvas;
};

TEST_F(Operations, AParseErrorStopsTheWorkAndNamesEverythingTheOperationWasTold)
{
  TestOperation theOp;
  theOp.AddLogParam("Shape", "rect");
  EXPECT_NE(theOp.SetParameters("rect=1,2,3,4 oops"), ParameterParser::kNoError);
  theOp.Run(mWorld, nullptr);
  EXPECT_EQ(theOp.mRuns, 0);
  EXPECT_EQ(theOp.GetError()->GetText(), ParseMessage("rect=1,2,3,4 oops") + "\n\n\nTest Op: Shape={rect} " +
                                             "Parameters={rect=1,2,3,4 oops} " + mCanvas);
  const RECT theRect = theOp.GetRect();
  EXPECT_EQ(theRect.right, 0) << "no rectangle is taken";
}

TEST_F(Operations, TheWorkRunsWithTheRecordsRectangleAndAClearLastError)
{
  TestOperation theOp;
  ASSERT_EQ(theOp.SetParameters("rect=1,2,30,20"), ParameterParser::kNoError);
  SetLastError(ERROR_FILE_NOT_FOUND);
  theOp.Run(mWorld, nullptr);
  EXPECT_EQ(theOp.mRuns, 1);
  EXPECT_EQ(theOp.mLastErrorAtStart, 0u);
  EXPECT_FALSE(theOp.GetError()->HasError()) << theOp.GetError()->GetText();
  const RECT theRect = theOp.GetRect();
  EXPECT_EQ(FormatC("%d,%d,%d,%d", theRect.left, theRect.top, theRect.right, theRect.bottom), "1,2,30,20");
}

TEST_F(Operations, ImpersonationIsRefusedUnlessEnabledAndAnEmptyUserAsksNothing)
{
  struct Case {
    const char* mParameters;
    LONG mEnabled;
    bool mAllowed;
    int mRuns;
    const char* mMessage;  // the text's first line
  };
  const Case kCases[] = {
      {"user=somebody password=pw", 0, true, 0, "Impersonation is not currently enabled."},
      {"user='' password=pw", 1, true, 1, "No errors occurred"},
      {"password=pw domain=elsewhere", 1, true, 1, "No errors occurred"},
      {"user=somebody password=pw", 1, false, 1, "No errors occurred"},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(testing::Message() << theCase.mParameters << " enabled " << theCase.mEnabled << " allowed "
                                    << theCase.mAllowed);
    SetPref("EnableImpersonation", theCase.mEnabled);
    TestOperation theOp;
    theOp.AllowImpersonation(theCase.mAllowed);
    theOp.SetParameters(theCase.mParameters);
    theOp.Run(mWorld, nullptr);
    EXPECT_EQ(theOp.mRuns, theCase.mRuns);
    const std::string theText = theOp.GetError()->GetText();
    EXPECT_EQ(theText.substr(0, theText.find('\n')), theCase.mMessage);
  }
}

TEST_F(Operations, AFailedLogonSaysWhoTheProcessRunsAs)
{
  SetPref("EnableImpersonation", 1);
  TestOperation theOp;
  theOp.SetParameters("user=tl4nosuchuser password=s3cret");
  theOp.Run(mWorld, nullptr);
  EXPECT_EQ(theOp.mRuns, 0);
  std::string theName, theDomain;
  bool theIsProcess = false;
  ASSERT_TRUE(Impersonator::GetCurrentAccount(theName, theDomain, theIsProcess));
  EXPECT_TRUE(theIsProcess) << "the failed logon left no impersonation behind";
  Error* theError = theOp.GetError();
  EXPECT_NE(theError->mWindowsCode, 0);
  const std::string theText = theError->GetText();
  EXPECT_EQ(theText.substr(0, theText.find('\n')), "Unable to impersonate user.  Current client process running as ' " +
                                                       theName + " ' on ' " + theDomain + " '.");
  EXPECT_TRUE(theText.ends_with("Parameters={user=tl4nosuchuser password=****} " + mCanvas)) << theText;
}

// A NUL inside the parameter string reaches the parser, which refuses the
// whole string; the message shows no password around it.
TEST_F(Operations, ANulInTheParameterStringStopsTheWork)
{
  using namespace std::string_literals;
  for (const std::string& theText : {"width=10\0height=20"s, "user=x password=se\0cret"s}) {
    SCOPED_TRACE(testing::PrintToString(theText));
    TestOperation theOp;
    EXPECT_EQ(theOp.SetParameters(theText), ParameterParser::kNulCharacter);
    theOp.Run(mWorld, nullptr);
    EXPECT_EQ(theOp.mRuns, 0);
    const std::string theMessage = theOp.GetError()->GetText();
    EXPECT_NE(theMessage.find("Parameter string holds a NUL character at character "), std::string::npos) << theMessage;
    EXPECT_EQ(theMessage.find("cret"), std::string::npos) << theMessage;
  }
}

// Wherever a password stands in the parameter string, and however the string
// fails, no text of the operation shows it; the work still gets it.
TEST_F(Operations, ThePasswordLeavesNoTrace)
{
  SetPref("LogOperations", 1);
  SetPref("MaxOperationTime", 0);
  SetPref("EnableImpersonation", 0);
  const std::string kLong(300, 'S');
  struct Case {
    std::string mParameters;
    std::string mShown;  // the Parameters part of the description
  };
  const Case kCases[] = {
      {"user=x password=s3cret", "user=x password=****"},
      {"PassWord = \"s3 ''cret\" user=x", "PassWord = **** user=x"},
      {"user=x password=s3cret oops", "user=x password=**** oops"},
      {"user=x password='s3cret", "user=x ****"},
      {"user=x password s3cret", "user=x ****"},
      {"oops password=s3cret", "****"},
      {"user=x password=" + kLong, "user=x password=****"},
      {"user=x password=a password=s3cret", "user=x password=**** password=****"},
  };
  tltest::EventWatcher theEvents;
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mParameters);
    std::string theText;
    {
      TestOperation theOp;
      theOp.SetParameters(theCase.mParameters.c_str());
      theOp.Run(mWorld, nullptr);
      theText = theOp.GetError()->GetText();
    }
    EXPECT_NE(theText.find("Parameters={" + theCase.mShown + "}"), std::string::npos) << theText;
    for (const std::string& theSecret : {std::string("cret"), std::string("SSS")})
      EXPECT_EQ(theText.find(theSecret), std::string::npos) << theText;
  }
  const std::string theLog = tltest::ReadFile(GetLogDirectory() + "Operation.log");
  EXPECT_EQ(theLog.find("cret"), std::string::npos);
  for (const std::string& theEvent : theEvents.NewTexts())
    EXPECT_EQ(theEvent.find("cret"), std::string::npos) << theEvent;

  // The error is the original's, at the same place, in masked words.
  TestOperation theOp;
  theOp.SetParameters("user=x password=\"s3cret oops");
  theOp.Run(mWorld, nullptr);
  const std::string theMessage = theOp.GetError()->GetText();
  EXPECT_EQ(theMessage.substr(0, theMessage.find('\n')),
            "Gave up looking for end quote of quoted string at character 28 \"user=x ********=\"****** ****^\"");

  TestOperation theGood;
  theGood.SetParameters("user=x password=\"s3 cret\"");
  EXPECT_EQ(theGood.GetParams()->Password, "s3 cret");
}

// The masked copy that a parse error is worded from fails as the original
// does, at the same character, whatever the string.
TEST(PasswordMask, TheMaskedCopyParsesLikeTheOriginal)
{
  const char* const kPieces[] = {"password", "PassWord", "user", "=", "=", " ", "  ", "\"", "'", "s3cret", "x",
                                 "''", "\"\"", "\t", "rect=1,2,3,4 "};
  for (unsigned theSeed = 1; theSeed <= 2000; ++theSeed) {
    std::mt19937 theRandom(theSeed);
    std::string theText;
    for (std::size_t i = theRandom() % 12; i > 0; --i)
      theText += kPieces[theRandom() % std::size(kPieces)];
    const std::string theMasked =
        ParameterParser::MaskRanges(theText, ParameterParser::FindValueRanges(theText, "password"));
    Parameters theOriginal, theCopy;
    theOriginal.Parse(theText);
    theCopy.Parse(theMasked);
    ASSERT_EQ(theCopy.GetErrorCode(), theOriginal.GetErrorCode()) << "seed " << theSeed << ": " << theText;
    ASSERT_EQ(theCopy.GetErrorPosition(), theOriginal.GetErrorPosition()) << "seed " << theSeed << ": " << theText;
  }
}

TEST_F(Operations, WhatTheWorkThrowsEndsInTheErrorObject)
{
  SetPref("AutoRecover", 1);
  struct Case {
    const char* mName;
    std::function<void()> mWork;
    std::string mFirstLine;
    LONG mHResult;
  };
  const Case kCases[] = {
      {"COM support error", [] { throw _com_error(DISP_E_OVERFLOW); }, "", DISP_E_OVERFLOW},
      {"other exception", [] { throw std::runtime_error("boom"); }, "Unknown exception thrown", 0},
      {"hardware fault", [] { tltest::WriteToBadAddress(); },
       FormatC("attempted to write to 0x%08" PRIxPTR ". ", tltest::BadAddress()), 0},
      {"hardware fault in memcpy", [] { tltest::CopyFromBadPage(); },
       FormatC("attempted to read from 0x%08" PRIxPTR ". ", tltest::BadPage()), 0},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    tltest::EventWatcher theEvents;
    TestOperation theOp(theCase.mWork);
    theOp.Run(mWorld, nullptr);
    EXPECT_EQ(theOp.mRuns, 1);
    Error* theError = theOp.GetError();
    EXPECT_TRUE(theError->HasError());
    EXPECT_EQ(theError->mHResultCode, theCase.mHResult);
    const std::string theText = theError->GetText();
    EXPECT_TRUE(theText.substr(0, theText.find('\n')).ends_with(theCase.mFirstLine)) << theText;
    const bool theFault = std::string_view(theCase.mName).starts_with("hardware fault");
    const std::vector<std::string> theNew = theEvents.NewTexts();
    EXPECT_EQ(theNew.size(), theFault ? 1u : 0u);
    if (theFault && !theNew.empty()) {
      EXPECT_EQ(theNew[0], OneLine(theText)) << "the fatal event is the whole error text";
    }
  }
  TestOperation theNext;
  theNext.Run(mWorld, nullptr);
  EXPECT_EQ(theNext.mRuns, 1);
  EXPECT_FALSE(theNext.GetError()->HasError()) << "the thread goes on after a fault";
}

TEST_F(Operations, AFaultInTheWorkEndsTheProcessWithoutAutoRecover)
{
  SetPref("AutoRecover", 0);
  tltest::ChildResult theChild = tltest::RunInChild([this] {
    TestOperation theOp([] { tltest::WriteToBadAddress(); });
    theOp.Run(mWorld, nullptr);
    return 0;
  });
  EXPECT_TRUE(theChild.mExited);
  EXPECT_EQ(theChild.mStatus, 1);
}

TEST_F(Operations, OnlyARunWithTheCanvasLogGivesItsIDAndMemory)
{
  SetPref("LogOperations", 1);
  SetPref("MaxOperationTime", 0);
  CanvasLog theCanvasLog;
  {
    TestOperation theInner([] {}, "");
    theInner.Run(mWorld, nullptr);
  }
  {
    TestOperation theOuter([] {}, "Outer:");
    theOuter.Run(mWorld, &theCanvasLog);
  }
  theCanvasLog.Finish();
  const auto theOperations = tltest::LogRecords("Operation.log");
  ASSERT_EQ(theOperations.size(), 2u);
  EXPECT_EQ(theOperations[0][4], "");
  EXPECT_EQ(theOperations[0][5], "0") << "an inner run names no canvas";
  EXPECT_EQ(theOperations[1][4], "Outer:");
  EXPECT_EQ(theOperations[1][5], FormatC("%" PRIx32, theCanvasLog.GetID()));
  const auto theCanvases = tltest::LogRecords("Canvas.log");
  ASSERT_EQ(theCanvases.size(), 1u);
  EXPECT_EQ(theCanvases[0][4], std::to_string(40 * 30 * 4 / 1024));
}

TEST_F(Operations, RecordsCanBeTakenOverAndAMissingErrorObjectStopsTheRun)
{
  TestOperation theOp;
  auto theRecord = std::make_unique<Parameters>();
  theRecord->Rect = RECT{5, 6, 7, 8};
  theRecord->HasRect = 1;
  theOp.ReplaceParams(std::move(theRecord));
  theOp.Run(mWorld, nullptr);
  EXPECT_EQ(theOp.GetRect().left, 5) << "the run reads the record it was given";
  std::unique_ptr<Error> theError = theOp.DetachError();
  ASSERT_NE(theError, nullptr);
  EXPECT_EQ(theOp.GetError(), nullptr);

  tltest::EventWatcher theEvents;
  theOp.Run(mWorld, nullptr);
  EXPECT_EQ(theOp.mRuns, 1) << "no work without an error object";
  EXPECT_EQ(theEvents.NewAssertions("Operation"), std::vector<std::string>{"(mError)"});
}

}  // namespace
