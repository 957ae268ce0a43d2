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

TEST(ErrorInfo, EachThreadHasItsOwn)
{
  ComPtr<ICreateErrorInfo> theCreate;
  ASSERT_EQ(CreateErrorInfo(theCreate.Receive()), S_OK);
  std::u16string theDescription = u"main thread";
  theCreate->SetDescription(theDescription.data());
  ComPtr<IErrorInfo> theMain;
  ASSERT_EQ(theCreate.As(theMain), S_OK);
  ASSERT_EQ(SetErrorInfo(0, theMain.Get()), S_OK);

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

  SetErrorInfoText(kSomeInterface, u"S", u"D");
  EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(GetErrorInfo(0, theInfo.Receive()), S_FALSE) << "setting null clears";
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

}  // namespace
