// Error info belongs to the thread that set it.

#include "platform/automation/ErrorInfo.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr IID kSomeInterface = TL_GUID("{4592E792-723A-4DCD-98D4-365D4B2BAA5D}");

std::string DescriptionOf(IErrorInfo* inInfo)
{
  Bstr theText;
  inInfo->GetDescription(theText.Receive());
  return theText.ToUtf8();
}

TEST(ErrorInfo, FieldsRoundTrip)
{
  ComPtr<ICreateErrorInfo> theCreate;
  ASSERT_EQ(CreateErrorInfo(theCreate.Receive()), S_OK);
  std::u16string theSource = u"TLTest.Thing.1";
  std::u16string theDescription = u"It failed";
  std::u16string theHelp = u"help.chm";
  theCreate->SetGUID(kSomeInterface);
  theCreate->SetSource(theSource.data());
  theCreate->SetDescription(theDescription.data());
  theCreate->SetHelpFile(theHelp.data());
  theCreate->SetHelpContext(12);
  ComPtr<IErrorInfo> theInfo;
  ASSERT_EQ(theCreate.As(theInfo), S_OK);

  GUID theGuid{};
  Bstr theText;
  DWORD theContext = 0;
  EXPECT_EQ(theInfo->GetGUID(&theGuid), S_OK);
  EXPECT_TRUE(theGuid == kSomeInterface);
  theInfo->GetSource(theText.Receive());
  EXPECT_EQ(theText.ToUtf8(), "TLTest.Thing.1");
  EXPECT_EQ(DescriptionOf(theInfo.Get()), "It failed");
  theInfo->GetHelpFile(theText.Receive());
  EXPECT_EQ(theText.ToUtf8(), "help.chm");
  theInfo->GetHelpContext(&theContext);
  EXPECT_EQ(theContext, 12u);
}

TEST(ErrorInfo, EachThreadHasItsOwn)
{
  ASSERT_EQ(SetErrorInfoText(kSomeInterface, u"Main", u"main thread"), S_OK);

  std::string theOtherSaw;
  HRESULT theOtherFirst = E_FAIL;
  std::thread theOther([&] {
    ComPtr<IErrorInfo> theInfo;
    theOtherFirst = GetErrorInfo(0, theInfo.Receive());
    SetErrorInfoText(kSomeInterface, u"Other", u"other thread");
    GetErrorInfo(0, theInfo.Receive());
    theOtherSaw = DescriptionOf(theInfo.Get());
    // Left set when the thread ends: released with the thread.
    SetErrorInfoText(kSomeInterface, u"Other", u"left behind");
  });
  theOther.join();
  EXPECT_EQ(theOtherFirst, S_FALSE) << "a new thread has no error info";
  EXPECT_EQ(theOtherSaw, "other thread");

  ComPtr<IErrorInfo> theInfo;
  ASSERT_EQ(GetErrorInfo(0, theInfo.Receive()), S_OK);
  EXPECT_EQ(DescriptionOf(theInfo.Get()), "main thread");
  EXPECT_EQ(GetErrorInfo(0, theInfo.Receive()), S_FALSE) << "GetErrorInfo hands it over and clears it";
  EXPECT_EQ(theInfo.Get(), nullptr);
}

TEST(ErrorInfo, SettingNullClears)
{
  SetErrorInfoText(kSomeInterface, u"S", u"D");
  EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
  ComPtr<IErrorInfo> theInfo;
  EXPECT_EQ(GetErrorInfo(0, theInfo.Receive()), S_FALSE);
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

}  // namespace
