#include "platform/automation/ComObject.h"
#include "platform/automation/EnumVariant.h"
#include "platform/base/SystemText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

namespace {

struct IProbe : IDispatch {
  static constexpr IID kIID = TL_GUID("0B7E1C52-6F0D-4C4B-9E0A-3C2A51D07E11");
  virtual HRESULT get_Width(LONG* outValue) = 0;
  virtual HRESULT put_Width(LONG inValue) = 0;
  virtual HRESULT get_Name(BSTR* outValue) = 0;
  virtual HRESULT put_Name(BSTR inValue) = 0;
  virtual HRESULT get_Flag(VARIANT_BOOL* outValue) = 0;
  virtual HRESULT get_Item(LONG inIndex, VARIANT* outItem) = 0;
  virtual HRESULT Measure(VARIANT* inText, VARIANT* outWidth, VARIANT* outHeight, VARIANT* outRetn) = 0;
  virtual HRESULT Scale(DOUBLE inFactor, VARIANT inLabel, DOUBLE* outResult) = 0;
  virtual HRESULT Fail(BSTR inText) = 0;
  virtual HRESULT Enter() = 0;
  virtual HRESULT Rendezvous(LONG inParties) = 0;
};

using M = DispatchMembers<IProbe>;
constexpr DispatchMember kProbeMembers[] = {
    M::Property<&IProbe::get_Width, &IProbe::put_Width>(1, "Width", "The width"),
    M::Property<&IProbe::get_Name, &IProbe::put_Name>(2, "Name", "The name"),
    M::ReadOnly<&IProbe::get_Flag>(3, "Flag", "A flag"),
    M::ReadOnly<&IProbe::get_Item>(DISPID_VALUE, "Item", "One item", {In("Index")}),
    M::Method<&IProbe::Measure>(4, "Measure", "Measures a text",
                                {In("inText"), Out("outWidth"), Out("outHeight"), Retval("outRetn")}),
    M::Method<&IProbe::Scale>(5, "Scale", "Scales", {In("inFactor"), Optional("inLabel"), Retval("outResult")}),
    M::Method<&IProbe::Fail>(6, "Fail", "Fails", {In("inText")}),
    M::Method<&IProbe::Enter>(7, "Enter", "Stays a while", {}),
    M::Method<&IProbe::Rendezvous>(8, "Rendezvous", "Waits for the others", {In("inParties")}),
};
constexpr DispatchTable kProbeTable = MakeDispatchTable<IProbe>("IProbe", kProbeMembers);

// How many threads are inside Rendezvous, across all probes.
std::mutex gMeetingLock;
std::condition_variable gMeetingChanged;
int gInside = 0;

class Probe : public DispatchImpl<IProbe, kProbeTable>, public ISupportErrorInfo {
public:
  using Interfaces = InterfaceList<IProbe, ISupportErrorInfo>;

  explicit Probe(bool inReportsErrors = true) : mReportsErrors(inReportsErrors) {}

  HRESULT InterfaceSupportsErrorInfo(REFIID inIID) override
  {
    return mReportsErrors && inIID == IProbe::kIID ? S_OK : S_FALSE;
  }

  HRESULT get_Width(LONG* outValue) override { *outValue = mWidth; return S_OK; }
  HRESULT put_Width(LONG inValue) override { mWidth = inValue; return S_OK; }
  HRESULT get_Name(BSTR* outValue) override
  {
    *outValue = SysAllocStringLen(mName.data(), static_cast<UINT>(mName.size()));
    return S_OK;
  }
  HRESULT put_Name(BSTR inValue) override { mName = BstrView(inValue); return S_OK; }
  HRESULT get_Flag(VARIANT_BOOL* outValue) override { *outValue = VARIANT_TRUE; return S_OK; }
  HRESULT get_Item(LONG inIndex, VARIANT* outItem) override
  {
    outItem->vt = VT_I4;
    outItem->lVal = inIndex * 10;
    return S_OK;
  }
  HRESULT Measure(VARIANT* inText, VARIANT* outWidth, VARIANT* outHeight, VARIANT* outRetn) override
  {
    Variant theText;
    if (HRESULT theResult = VariantChangeType(theText.Get(), inText, 0, VT_BSTR); FAILED(theResult))
      return theResult;
    LONG theWidth = static_cast<LONG>(SysStringLen(theText->bstrVal));
    outWidth->vt = VT_I4;
    outWidth->lVal = theWidth;
    outHeight->vt = VT_I4;
    outHeight->lVal = 1;
    Variant(std::to_string(theWidth) + ",1").Detach(outRetn);
    return S_OK;
  }
  HRESULT Scale(DOUBLE inFactor, VARIANT inLabel, DOUBLE* outResult) override
  {
    *outResult = mWidth * inFactor;
    return S_OK;
  }
  HRESULT Fail(BSTR inText) override
  {
    SetErrorInfoText(IProbe::kIID, u"TLTest.Probe.1", BstrView(inText));
    return E_FAIL;
  }
  HRESULT Enter() override
  {
    int theNow = ++mInside;
    int theMax = mMaxInside.load();
    while (theNow > theMax && !mMaxInside.compare_exchange_weak(theMax, theNow)) {
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    --mInside;
    return S_OK;
  }
  HRESULT Rendezvous(LONG inParties) override
  {
    std::unique_lock theLock(gMeetingLock);
    ++gInside;
    gMeetingChanged.notify_all();
    bool theMet = gMeetingChanged.wait_for(theLock, std::chrono::seconds(20), [&] { return gInside >= inParties; });
    return theMet ? S_OK : E_ABORT;
  }

  int MaxInside() const { return mMaxInside.load(); }

private:
  bool mReportsErrors;
  LONG mWidth = 0;
  std::u16string mName;
  std::atomic<int> mInside{0};
  std::atomic<int> mMaxInside{0};
};

// Calls by name, arguments in the order a script writes them.
class Caller {
public:
  explicit Caller(IDispatch* inObject) : mObject(inObject) {}

  DISPID IdOf(const char16_t* inName)
  {
    std::u16string theName(inName);
    LPOLESTR theNames[] = {theName.data()};
    DISPID theId = 0;
    EXPECT_EQ(mObject->GetIDsOfNames(IID_NULL, theNames, 1, 0, &theId), S_OK) << Utf16ToUtf8(theName);
    return theId;
  }

  HRESULT Call(DISPID inId, WORD inFlags, std::vector<Variant> inArgs, Variant* outResult = nullptr)
  {
    std::vector<VARIANT> theReversed;
    for (auto it = inArgs.rbegin(); it != inArgs.rend(); ++it)
      theReversed.push_back(*it->Get());
    DISPID thePut = DISPID_PROPERTYPUT;
    DISPPARAMS theParams{theReversed.data(), nullptr, static_cast<UINT>(theReversed.size()), 0};
    if (inFlags == DISPATCH_PROPERTYPUT) {
      theParams.rgdispidNamedArgs = &thePut;
      theParams.cNamedArgs = 1;
    }
    ClearExcepInfo(&mException);
    mArgError = 99;
    Variant theResult;
    HRESULT theStatus =
        mObject->Invoke(inId, IID_NULL, 0, inFlags, &theParams, theResult.Get(), &mException, &mArgError);
    if (outResult)
      *outResult = std::move(theResult);
    return theStatus;
  }

  ~Caller() { ClearExcepInfo(&mException); }

  EXCEPINFO mException{};
  UINT mArgError = 99;

private:
  IDispatch* mObject;
};

ComPtr<IDispatch> MakeProbe(ObjectPtr<Probe>& outProbe, bool inReportsErrors = true)
{
  EXPECT_EQ(ComObject<Probe>::Create(nullptr, outProbe, inReportsErrors), S_OK);
  ComPtr<IDispatch> theDispatch;
  EXPECT_EQ(outProbe->QueryInterface(IID_IDispatch, theDispatch.ReceiveVoid()), S_OK);
  return theDispatch;
}

TEST(Dispatch, CallsByNameConvertAndWriteBack)
{
  ObjectPtr<Probe> theProbe;
  ComPtr<IDispatch> theObject = MakeProbe(theProbe);
  Caller theCaller(theObject.Get());
  EXPECT_EQ(theCaller.IdOf(u"wIDTH"), 1);
  EXPECT_EQ(theCaller.IdOf(u"item"), DISPID_VALUE);
  std::u16string theUnknown = u"Widthx";
  std::u16string theParam = u"inText";
  LPOLESTR theNames[] = {theUnknown.data(), theParam.data()};
  DISPID theIds[2] = {5, 5};
  EXPECT_EQ(theObject->GetIDsOfNames(IID_NULL, theNames, 2, 0, theIds), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(theIds[0], DISPID_UNKNOWN);
  EXPECT_EQ(theIds[1], DISPID_UNKNOWN);

  // Puts and gets convert to and from the declared types; an argument passed
  // by reference is read through it.
  LONG theNumber = 77;
  Variant theByRef;
  theByRef.Set(VT_BYREF | VT_I4).plVal = &theNumber;
  struct Case {
    DISPID mId;
    std::vector<Variant> mPut;  // empty: a get only
    std::vector<Variant> mArgs;
    const char* mExpected;
  };
  const Case kCases[] = {
      {1, {Variant(" 640 ")}, {}, "I4 640"},
      {2, {Variant(LONG{12})}, {}, "BSTR 12"},
      {3, {}, {}, "BOOL -1"},
      {DISPID_VALUE, {}, {Variant("3")}, "I4 30"},
      {1, {theByRef}, {}, "I4 77"},
  };
  for (const Case& theCase : kCases) {
    if (!theCase.mPut.empty()) {
      ASSERT_EQ(theCaller.Call(theCase.mId, DISPATCH_PROPERTYPUT, theCase.mPut), S_OK) << theCase.mExpected;
    }
    Variant theResult;
    ASSERT_EQ(theCaller.Call(theCase.mId, DISPATCH_PROPERTYGET | DISPATCH_METHOD, theCase.mArgs, &theResult), S_OK);
    const std::string theText = theResult.Type() == VT_I4     ? "I4 " + std::to_string(theResult->lVal)
                                : theResult.Type() == VT_BOOL ? "BOOL " + std::to_string(theResult->boolVal)
                                                              : "BSTR " + BstrToUtf8(theResult->bstrVal);
    EXPECT_EQ(theText, theCase.mExpected);
  }
  Variant theResult;

  // [out] arguments are written back (an old value replaced, not leaked), the
  // [retval] is the result, and trailing [out] arguments may be left out.
  Variant theWidth(LONG{-5});
  Variant theHeight;
  Variant theWidthRef;
  theWidthRef.Set(VT_BYREF | VT_VARIANT).pvarVal = theWidth.Get();
  Variant theHeightRef;
  theHeightRef.Set(VT_BYREF | VT_VARIANT).pvarVal = theHeight.Get();
  ASSERT_EQ(theCaller.Call(4, DISPATCH_METHOD, {Variant("abcd"), theWidthRef, theHeightRef}, &theResult), S_OK);
  EXPECT_EQ(theWidth->lVal, 4);
  EXPECT_EQ(theHeight->lVal, 1);
  EXPECT_EQ(BstrToUtf8(theResult->bstrVal), "4,1");
  ASSERT_EQ(theCaller.Call(4, DISPATCH_METHOD, {Variant("xy")}, &theResult), S_OK);
  EXPECT_EQ(BstrToUtf8(theResult->bstrVal), "2,1");
  EXPECT_EQ(theCaller.Call(4, DISPATCH_METHOD, {Variant("xy"), Variant(LONG{1})}), DISP_E_TYPEMISMATCH)
    << "an [out] argument must be a place to write to";
  EXPECT_EQ(theCaller.mArgError, 0u) << "the second of two arguments sits at rgvarg[0]";
}

TEST(Dispatch, AnswersTheDispatchErrors)
{
  ObjectPtr<Probe> theProbe;
  ComPtr<IDispatch> theObject = MakeProbe(theProbe);
  Caller theCaller(theObject.Get());
  Variant theMissing;
  theMissing.Set(VT_ERROR).scode = DISP_E_PARAMNOTFOUND;

  struct Case {
    const char* mName;
    DISPID mId;
    WORD mFlags;
    std::vector<Variant> mArgs;
    HRESULT mResult;
    UINT mArgError;  // 99: not set
  };
  const Case kCases[] = {
      {"unknown dispid", 42, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 99},
      {"get of a method", 6, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND, 99},
      {"method call of a property", 1, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 99},
      {"put of a read-only property", 3, DISPATCH_PROPERTYPUT, {Variant(LONG{1})}, DISP_E_MEMBERNOTFOUND, 99},
      {"put of no number", 1, DISPATCH_PROPERTYPUT, {Variant("wide")}, DISP_E_TYPEMISMATCH, 0},
      {"put past the range", 1, DISPATCH_PROPERTYPUT, {Variant("1e12")}, DISP_E_OVERFLOW, 0},
      {"second argument mismatched", 5, DISPATCH_METHOD, {Variant("x"), Variant("y")}, DISP_E_TYPEMISMATCH, 1},
      {"too many arguments", 6, DISPATCH_METHOD, {Variant("a"), Variant("b")}, DISP_E_BADPARAMCOUNT, 99},
      {"too few arguments", 6, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 99},
      {"index missing", DISPID_VALUE, DISPATCH_PROPERTYGET, {}, DISP_E_BADPARAMCOUNT, 99},
      {"required marked missing", 6, DISPATCH_METHOD, {theMissing}, DISP_E_PARAMNOTOPTIONAL, 99},
  };
  for (const Case& theCase : kCases) {
    SCOPED_TRACE(theCase.mName);
    EXPECT_EQ(theCaller.Call(theCase.mId, theCase.mFlags, theCase.mArgs), theCase.mResult);
    EXPECT_EQ(theCaller.mArgError, theCase.mArgError);
  }

  // Named arguments: only the value of a put.
  Variant theValue(LONG{1});
  DISPID theNamed = 0;
  DISPPARAMS theParams{theValue.Get(), &theNamed, 1, 1};
  EXPECT_EQ(theObject->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &theParams, nullptr, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  DISPPARAMS theUnnamedPut{theValue.Get(), nullptr, 1, 0};
  EXPECT_EQ(theObject->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &theUnnamedPut, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
}

// A failing member: DISP_E_EXCEPTION with the object's error info when it
// supports error info for the interface, else with the system text; the
// thread's error info is cleared before each call.
TEST(Dispatch, FailedMemberFillsTheExceptionInfo)
{
  std::string theSystemText = GetSystemText(static_cast<DWORD>(E_FAIL));
  theSystemText.erase(theSystemText.find_last_not_of("\r\n") + 1);
  for (bool theReports : {true, false}) {
    SCOPED_TRACE(theReports ? "with error info" : "without error info");
    ObjectPtr<Probe> theProbe;
    ComPtr<IDispatch> theObject = MakeProbe(theProbe, theReports);
    Caller theCaller(theObject.Get());
    ASSERT_EQ(theCaller.Call(6, DISPATCH_METHOD, {Variant("Out of ink")}), DISP_E_EXCEPTION);
    EXPECT_EQ(theCaller.mException.scode, E_FAIL);
    EXPECT_EQ(BstrToUtf8(theCaller.mException.bstrDescription), theReports ? "Out of ink" : theSystemText);
    EXPECT_EQ(BstrToUtf8(theCaller.mException.bstrSource), theReports ? "TLTest.Probe.1" : "");

    // Without an EXCEPINFO the member's own HRESULT comes back.
    Variant theText("x");
    DISPPARAMS theParams{theText.Get(), nullptr, 1, 0};
    EXPECT_EQ(theObject->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &theParams, nullptr, nullptr, nullptr), E_FAIL);

    SetErrorInfoText(IProbe::kIID, u"Stale", u"from before");
    ASSERT_EQ(theCaller.Call(1, DISPATCH_PROPERTYGET, {}), S_OK);
    ComPtr<IErrorInfo> theInfo;
    EXPECT_EQ(GetErrorInfo(0, theInfo.Receive()), S_FALSE);
  }
}

// One identity whatever interface is asked; unlisted interfaces refused.
TEST(Dispatch, OneIdentityForEveryInterface)
{
  ObjectPtr<Probe> theProbe;
  ComPtr<IDispatch> theObject = MakeProbe(theProbe);
  ComPtr<IUnknown> theFirst;
  ComPtr<IUnknown> theSecond;
  ComPtr<ISupportErrorInfo> theSupport;
  ASSERT_EQ(theObject.As(theFirst), S_OK);
  ASSERT_EQ(theObject.As(theSupport), S_OK);
  ASSERT_EQ(theSupport.As(theSecond), S_OK);
  EXPECT_EQ(theFirst.Get(), theSecond.Get());
  ComPtr<IEnumVARIANT> theNone;
  EXPECT_EQ(theObject.As(theNone), E_NOINTERFACE);
}

TEST(Dispatch, OneObjectIsEnteredByOneThreadAtATime)
{
  ObjectPtr<Probe> theProbe;
  ComPtr<IDispatch> theObject = MakeProbe(theProbe);
  std::vector<std::thread> theThreads;
  for (int t = 0; t < 4; ++t)
    theThreads.emplace_back([&] {
      Caller theCaller(theObject.Get());
      for (int i = 0; i < 50; ++i)
        EXPECT_EQ(theCaller.Call(7, DISPATCH_METHOD, {}), S_OK);
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theProbe->MaxInside(), 1);
}

TEST(Dispatch, ThreadsWithTheirOwnObjectsRunTogether)
{
  constexpr int kThreads = 4;
  gInside = 0;
  std::vector<std::thread> theThreads;
  std::atomic<int> theMet{0};
  for (int t = 0; t < kThreads; ++t)
    theThreads.emplace_back([&] {
      ObjectPtr<Probe> theProbe;
      ComPtr<IDispatch> theObject = MakeProbe(theProbe);
      Caller theCaller(theObject.Get());
      // Returns only once all threads are inside their objects at once.
      if (theCaller.Call(8, DISPATCH_METHOD, {Variant(LONG{kThreads})}) == S_OK)
        ++theMet;
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_EQ(theMet.load(), kThreads);
}

TEST(EnumVariant, NextSkipResetClone)
{
  std::vector<Variant> theItems;
  for (const char* theName : {"a", "b", "c"})
    theItems.emplace_back(theName);
  std::vector<VARIANT> theRaw;
  for (Variant& theItem : theItems)
    theRaw.push_back(*theItem.Get());
  ComPtr<IEnumVARIANT> theEnum;
  ASSERT_EQ(CreateVariantEnumerator(theRaw, IID_IEnumVARIANT, theEnum.ReceiveVoid()), S_OK);

  // Skip to "b", clone there, then read past the end: a short count.
  VARIANT theOut[3];
  ULONG theFetched = 0;
  EXPECT_EQ(theEnum->Skip(1), S_OK);
  ComPtr<IEnumVARIANT> theClone;
  ASSERT_EQ(theEnum->Clone(theClone.Receive()), S_OK);
  ASSERT_EQ(theEnum->Next(3, theOut, &theFetched), S_FALSE);
  ASSERT_EQ(theFetched, 2u);
  EXPECT_EQ(BstrToUtf8(theOut[0].bstrVal) + BstrToUtf8(theOut[1].bstrVal), "bc");
  VariantClear(&theOut[0]);
  VariantClear(&theOut[1]);
  ASSERT_EQ(theClone->Next(1, theOut, nullptr), S_OK) << "the clone starts where the original stood";
  EXPECT_EQ(BstrToUtf8(theOut[0].bstrVal), "b");
  VariantClear(&theOut[0]);
  EXPECT_EQ(theEnum->Skip(1), S_FALSE);
}

}  // namespace
