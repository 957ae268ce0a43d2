// A small in-process automation server for the host tests: a creatable Thing
// with properties of several types, methods with [out] arguments and byte
// arrays, a member that fails, and a non-creatable collection of Items.

#include "platform/automation/Activation.h"
#include "platform/automation/ClassFactory.h"
#include "platform/automation/EnumVariant.h"
#include "platform/automation/Registration.h"
#include "platform/automation/SafeArray.h"
#include "platform/base/Numbers.h"

#include <array>
#include <cstring>

namespace {

constexpr CLSID kThingClass = TL_GUID("{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F40}");
constexpr CLSID kItemsClass = TL_GUID("{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F41}");
constexpr GUID kLibraryId = TL_GUID("{5B8D2E61-0C4A-4F3E-9D27-7A1B6C3E8F4F}");
constexpr GUID kProgrammable = TL_GUID("{40FC6ED5-2438-11CF-A3DB-080036F12502}");

ServerModule& Module();

struct IItems : IDispatch {
  static constexpr IID kIID = TL_GUID("{1E4C7A90-2B5D-4F68-8A3C-9D0E1F2A3B4C}");
  virtual HRESULT get__NewEnum(IUnknown** outEnum) = 0;
  virtual HRESULT get_Item(LONG inIndex, VARIANT* outItem) = 0;
  virtual HRESULT get_Count(LONG* outCount) = 0;
};

using ItemMembers = DispatchMembers<IItems>;
constexpr DispatchMember kItemsMembers[] = {
    ItemMembers::ReadOnly<&IItems::get__NewEnum>(DISPID_NEWENUM, "_NewEnum", "internal property _NewEnum"),
    ItemMembers::ReadOnly<&IItems::get_Item>(DISPID_VALUE, "Item", "One item, counted from 1", {In("Index")}),
    ItemMembers::ReadOnly<&IItems::get_Count>(1, "Count", "The number of items"),
};
constexpr DispatchTable kItemsTable = MakeDispatchTable<IItems>("IItems", kItemsMembers);

struct IThing : IDispatch {
  static constexpr IID kIID = TL_GUID("{1E4C7A90-2B5D-4F68-8A3C-9D0E1F2A3B4D}");
  virtual HRESULT get_Width(LONG* outValue) = 0;
  virtual HRESULT put_Width(LONG inValue) = 0;
  virtual HRESULT get_Name(BSTR* outValue) = 0;
  virtual HRESULT put_Name(BSTR inValue) = 0;
  virtual HRESULT get_Items(IDispatch** outItems) = 0;
  virtual HRESULT Describe(VARIANT* inValue, VARIANT* outRetn) = 0;
  virtual HRESULT Echo(VARIANT* inValue, VARIANT* outRetn) = 0;
  virtual HRESULT Measure(VARIANT* inText, VARIANT* inParams, VARIANT* outWidth, VARIANT* outHeight,
                          VARIANT* outRetn) = 0;
  virtual HRESULT Bytes(LONG inCount, VARIANT* outData) = 0;
  virtual HRESULT Sum(VARIANT* inData, LONG* outSum) = 0;
  virtual HRESULT Fail(VARIANT* inMessage) = 0;
};

using ThingMembers = DispatchMembers<IThing>;
constexpr DispatchMember kThingMembers[] = {
    ThingMembers::Property<&IThing::get_Width, &IThing::put_Width>(1, "Width", "Width in pixels"),
    ThingMembers::Property<&IThing::get_Name, &IThing::put_Name>(2, "Name", "The name"),
    ThingMembers::ReadOnly<&IThing::get_Items>(5, "Items", "The items"),
    ThingMembers::Method<&IThing::Describe>(6, "Describe", "The type and value of a VARIANT",
                                            {In("inValue"), Retval("outRetn")}),
    ThingMembers::Method<&IThing::Echo>(7, "Echo", "Gives its argument back", {In("inValue"), Retval("outRetn")}),
    ThingMembers::Method<&IThing::Measure>(
        8, "Measure", "Measures a text",
        {In("inText"), Optional("inParams"), Out("outWidth"), Out("outHeight"), Retval("outRetn")}),
    ThingMembers::Method<&IThing::Bytes>(9, "Bytes", "The bytes 0, 1, 2 ...", {In("inCount"), Retval("outData")}),
    ThingMembers::Method<&IThing::Sum>(10, "Sum", "The sum of a byte array", {In("inData"), Retval("outSum")}),
    ThingMembers::Method<&IThing::Fail>(12, "Fail", "Always fails", {In("inMessage")}),
};
constexpr DispatchTable kThingTable = MakeDispatchTable<IThing>("IThing", kThingMembers);

// The reporter of both classes: the versioned ProgID of the class as source.
HRESULT ReportError(REFCLSID inClass, REFIID inInterface, std::string_view inText)
{
  SetErrorInfoText(inInterface, Utf8ToUtf16(ProgIdOfClass(inClass)), Utf8ToUtf16(inText));
  return E_FAIL;
}

class Items : public DispatchImpl<IItems, kItemsTable>, public SupportErrorInfo<IItems> {
public:
  using Interfaces = InterfaceList<IItems, ISupportErrorInfo>;

  Items()
  {
    for (std::size_t i = 0; i < mItems.size(); ++i)
      mItems[i] = Variant(std::array{"alpha", "beta", "gamma"}[i]);
  }

  HRESULT get__NewEnum(IUnknown** outEnum) override
  {
    std::array<VARIANT, 3> theRaw{*mItems[0].Get(), *mItems[1].Get(), *mItems[2].Get()};
    return CreateVariantEnumerator(theRaw, IID_IUnknown, reinterpret_cast<void**>(outEnum));
  }
  HRESULT get_Item(LONG inIndex, VARIANT* outItem) override
  {
    if (inIndex < 1 || inIndex > static_cast<LONG>(mItems.size()))
      return ReportError(kItemsClass, IItems::kIID, "Index out of range");
    return VariantCopy(outItem, mItems[static_cast<std::size_t>(inIndex - 1)].Get());
  }
  HRESULT get_Count(LONG* outCount) override
  {
    *outCount = static_cast<LONG>(mItems.size());
    return S_OK;
  }

private:
  std::array<Variant, 3> mItems;
};

class Thing : public DispatchImpl<IThing, kThingTable>, public SupportErrorInfo<IThing> {
public:
  using Interfaces = InterfaceList<IThing, ISupportErrorInfo>;

  HRESULT get_Width(LONG* outValue) override
  {
    *outValue = mWidth;
    return S_OK;
  }
  HRESULT put_Width(LONG inValue) override
  {
    mWidth = inValue;
    return S_OK;
  }
  HRESULT get_Name(BSTR* outValue) override
  {
    *outValue = SysAllocStringLen(mName.data(), static_cast<UINT>(mName.size()));
    return S_OK;
  }
  HRESULT put_Name(BSTR inValue) override
  {
    mName = BstrView(inValue);
    return S_OK;
  }
  HRESULT get_Items(IDispatch** outItems) override
  {
    ObjectPtr<Items> theItems;
    if (HRESULT theResult = ComObject<Items>::Create(&Module(), theItems); FAILED(theResult))
      return theResult;
    return theItems->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(outItems));
  }
  HRESULT Describe(VARIANT* inValue, VARIANT* outRetn) override
  {
    const VARIANT* theValue = VariantDeref(inValue);
    Variant theText;
    std::string theDescription = FormatC("vt %u", unsigned{theValue->vt});
    if (theValue->vt == (VT_ARRAY | VT_UI1))
      theDescription = FormatC("bytes[%u]", unsigned{theValue->parray->rgsabound[0].cElements});
    else if (theValue->vt == VT_DISPATCH)
      theDescription = "object";
    else if (SUCCEEDED(VariantChangeType(theText.Get(), theValue, 0, VT_BSTR)))
      theDescription += " " + BstrToUtf8(theText->bstrVal);
    Variant(theDescription).Detach(outRetn);
    return S_OK;
  }
  HRESULT Echo(VARIANT* inValue, VARIANT* outRetn) override
  {
    return VariantCopyInd(outRetn, inValue);
  }
  HRESULT Measure(VARIANT* inText, VARIANT* inParams, VARIANT* outWidth, VARIANT* outHeight,
                  VARIANT* outRetn) override
  {
    Variant theText;
    if (HRESULT theResult = VariantChangeType(theText.Get(), inText, 0, VT_BSTR); FAILED(theResult))
      return ReportError(kThingClass, IThing::kIID, "Unable to read the text");
    LONG theWidth = static_cast<LONG>(SysStringLen(theText->bstrVal)) * 10;
    LONG theHeight = VariantDeref(inParams)->vt == VT_ERROR ? 12 : 24;
    Variant(theWidth).Detach(outWidth);
    Variant(theHeight).Detach(outHeight);
    Variant(FormatC("%d,%d", theWidth, theHeight)).Detach(outRetn);
    return S_OK;
  }
  HRESULT Bytes(LONG inCount, VARIANT* outData) override
  {
    if (inCount < 0)
      return ReportError(kThingClass, IThing::kIID, "A count below zero");
    SAFEARRAY* theArray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(inCount));
    if (!theArray)
      return E_OUTOFMEMORY;
    for (LONG i = 0; i < inCount; ++i)
      static_cast<BYTE*>(theArray->pvData)[i] = static_cast<BYTE>(i);
    outData->vt = VT_ARRAY | VT_UI1;
    outData->parray = theArray;
    return S_OK;
  }
  HRESULT Sum(VARIANT* inData, LONG* outSum) override
  {
    const VARIANT* theData = VariantDeref(inData);
    if (theData->vt != (VT_ARRAY | VT_UI1))
      return ReportError(kThingClass, IThing::kIID, "Sum needs a byte array");
    void* theBytes = nullptr;
    SafeArrayAccessData(theData->parray, &theBytes);
    LONG theSum = 0;
    for (ULONG i = 0; i < theData->parray->rgsabound[0].cElements; ++i)
      theSum += static_cast<const BYTE*>(theBytes)[i];
    SafeArrayUnaccessData(theData->parray);
    *outSum = theSum;
    return S_OK;
  }
  HRESULT Fail(VARIANT* inMessage) override
  {
    Variant theText;
    VariantChangeType(theText.Get(), inMessage, 0, VT_BSTR);
    return ReportError(kThingClass, IThing::kIID, BstrToUtf8(theText.Type() == VT_BSTR ? theText->bstrVal : nullptr));
  }

private:
  LONG mWidth = 0;
  std::u16string mName;
};

const DispatchTable* const kInterfaces[] = {&kThingTable, &kItemsTable};
const ServerClass kClasses[] = {
    {&kThingClass, "Thing", "TLTest.Thing", 1, "Thing Class", &ComObject<Thing>::CreateInstance},
    {&kItemsClass, "Items", "TLTest.Items", 1, "Items Class", nullptr},
};
const TypeLibrary kLibrary{&kLibraryId, "TLTest", "Tessaline test server", 1, 0, kInterfaces};

ServerModule& Module()
{
  static ServerModule sModule(kClasses, kLibrary);
  return sModule;
}

}  // namespace

extern "C" TL_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID inClassId, REFIID inIID, void** outObject)
{
  return Module().GetClassObject(inClassId, inIID, outObject);
}

extern "C" TL_SERVER_EXPORT HRESULT DllCanUnloadNow()
{
  return Module().CanUnloadNow();
}

extern "C" TL_SERVER_EXPORT HRESULT DllRegisterServer()
{
  HRESULT theResult =
      RegisterServer(Module(), ThreadingModel::kNeutralSynchronized, ModulePathOf(reinterpret_cast<void*>(&Module)));
  if (SUCCEEDED(theResult))
    theResult = RegisterClassInCategory(kLibraryId, kProgrammable);
  return theResult;
}

extern "C" TL_SERVER_EXPORT HRESULT DllUnregisterServer()
{
  UnregisterClassFromCategory(kLibraryId, kProgrammable);
  return UnregisterServer(Module());
}
