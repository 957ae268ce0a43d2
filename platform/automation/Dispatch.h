#pragma once
// IDispatch: late-bound calls by name, and the member tables that implement it.
//
// A server describes each dual interface once, as a C++ interface of virtual
// members plus a static table that binds names and dispids to them; the table
// drives GetIDsOfNames and Invoke, and hosts read it (IMemberTable) to tell a
// property from a method and to learn the [out] arguments of a method:
//
//   struct IThing : IDispatch {
//     static constexpr IID kIID = TL_GUID("...");
//     virtual HRESULT get_Width(LONG* outValue) = 0;
//     virtual HRESULT put_Width(LONG inValue) = 0;
//     virtual HRESULT get_Item(LONG inIndex, VARIANT* outItem) = 0;
//     virtual HRESULT Measure(VARIANT* inText, VARIANT* outWidth, VARIANT* outResult) = 0;
//   };
//
//   using M = DispatchMembers<IThing>;
//   inline constexpr DispatchMember kThingMembers[] = {
//     M::Property<&IThing::get_Width, &IThing::put_Width>(1, "Width", "Width in pixels"),
//     M::ReadOnly<&IThing::get_Item>(DISPID_VALUE, "Item", "One item", {In("Index")}),
//     M::Method<&IThing::Measure>(2, "Measure", "Measures a text",
//                                 {In("inText"), Out("outWidth"), Retval("outResult")}),
//   };
//   inline constexpr DispatchTable kThingTable = MakeDispatchTable<IThing>("IThing", kThingMembers);
//
//   class Thing : public DispatchImpl<IThing, kThingTable>, public SupportErrorInfo<IThing> { ... };
//
// The argument types come from the member's C++ signature: LONG, SHORT, BYTE,
// FLOAT, DOUBLE, VARIANT_BOOL, BSTR, IDispatch*, IUnknown*, VARIANT and
// VARIANT* are [in]; pointers to those (VARIANT* included) and to the
// server's own dual interfaces are [out] or [retval]. The table says which,
// and the tables are checked while compiling.
//
// Invoke (see DispatchInvoke): arguments come in reverse order; [in]
// arguments are converted to their declared type with VariantChangeType (a
// failure answers its error, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW, with the
// argument's index in puArgErr); a VARIANT argument is passed as the caller
// gave it. An [out] argument is a VT_BYREF | VT_VARIANT that receives the value
// after a successful call; a caller may leave trailing [out] arguments out.
// The thread's error info is cleared before each call; a failed member gives
// DISP_E_EXCEPTION with EXCEPINFO filled from the error info the member set,
// when the object's ISupportErrorInfo answers S_OK for the interface, else
// from the system's text of the HRESULT. Calls into one object are serialised
// (see DispatchImpl).

#include "platform/automation/ErrorInfo.h"
#include "platform/automation/Variant.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

using LCID = DWORD;

constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

// Frees the three texts and zeroes the record.
void ClearExcepInfo(EXCEPINFO* ioInfo);

struct ITypeInfo;

struct IDispatch : IUnknown {
  static constexpr IID kIID = TL_GUID("00020400-0000-0000-C000-000000000046");
  virtual HRESULT GetTypeInfoCount(UINT* outCount) = 0;
  virtual HRESULT GetTypeInfo(UINT inIndex, LCID inLocale, ITypeInfo** outInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID inReserved, LPOLESTR* inNames, UINT inCount, LCID inLocale,
                                DISPID* outIds) = 0;
  virtual HRESULT Invoke(DISPID inMember, REFIID inReserved, LCID inLocale, WORD inFlags, DISPPARAMS* ioParams,
                         VARIANT* outResult, EXCEPINFO* outException, UINT* outArgError) = 0;

protected:
  ~IDispatch() = default;
};

inline constexpr IID IID_IDispatch = IDispatch::kIID;

// ---- member tables ----

enum class MemberKind : std::uint8_t { kMethod, kProperty };
enum class ParamMode : std::uint8_t { kIn, kOptional, kOut, kRetval };

struct ParamInfo {
  const char* mName = "";
  VARTYPE mType = VT_EMPTY;  // the declared type; VT_VARIANT for VARIANT
  ParamMode mMode = ParamMode::kIn;
};

// What a table entry says of one parameter; the type comes from the signature.
struct ParamSpec {
  const char* mName;
  ParamMode mMode;
};
constexpr ParamSpec In(const char* inName) { return {inName, ParamMode::kIn}; }
// An [in] VARIANT the caller may leave out: it then holds VT_ERROR
// DISP_E_PARAMNOTFOUND.
constexpr ParamSpec Optional(const char* inName) { return {inName, ParamMode::kOptional}; }
constexpr ParamSpec Out(const char* inName) { return {inName, ParamMode::kOut}; }
constexpr ParamSpec Retval(const char* inName) { return {inName, ParamMode::kRetval}; }

constexpr int kMaxParams = 8;

class CallFrame;
using MemberCall = HRESULT (*)(void* inInterface, CallFrame& ioFrame);

// One way of calling a member: a method, a property get or a property put.
struct Signature {
  MemberCall mCall = nullptr;  // null: this way does not exist
  int mCount = 0;
  std::array<ParamInfo, kMaxParams> mParams{};

  std::span<const ParamInfo> Params() const { return {mParams.data(), static_cast<std::size_t>(mCount)}; }
};

struct DispatchMember {
  DISPID mId = DISPID_UNKNOWN;
  const char* mName = "";
  const char* mHelp = "";
  MemberKind mKind = MemberKind::kMethod;
  Signature mMethod;  // a method
  Signature mGet;     // a property: index arguments, then the [retval]
  Signature mPut;     // a property: index arguments, then the value

  // A property that takes index arguments is called like a method by scripts.
  bool HasIndex() const
  {
    return mKind == MemberKind::kProperty && (mGet.mCall ? mGet.mCount > 1 : mPut.mCount > 1);
  }
};

struct DispatchTable {
  const IID* mIID = nullptr;
  const char* mName = "";
  std::span<const DispatchMember> mMembers;

  const DispatchMember* FindById(DISPID inId) const;
  // Without regard to case.
  const DispatchMember* FindByName(std::string_view inName) const;
};

template <class I, std::size_t N>
consteval DispatchTable MakeDispatchTable(const char* inName, const DispatchMember (&inMembers)[N])
{
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = i + 1; j < N; ++j)
      if (inMembers[i].mId == inMembers[j].mId)
        throw "two members of one table have the same dispid";
  return DispatchTable{&I::kIID, inName, std::span<const DispatchMember>(inMembers, N)};
}

// ---- the call frame: one VARIANT slot per C++ parameter ----

class CallFrame {
public:
  VARIANT& Slot(int inIndex) { return mSlots[static_cast<std::size_t>(inIndex)]; }

private:
  std::array<VARIANT, kMaxParams> mSlots{};
};

namespace dispatch_detail {

template <class F>
struct MemberTraits;
template <class C, class... A>
struct MemberTraits<HRESULT (C::*)(A...)> {
  using Class = C;
  using Args = std::tuple<A...>;
  static constexpr std::size_t kArity = sizeof...(A);
};

// How each C++ parameter type is declared and taken from its slot.
template <class T>
struct ArgTraits;

#define TL_DISPATCH_ARG(type, vt, field)                             \
  template <>                                                        \
  struct ArgTraits<type> {                                           \
    static constexpr VARTYPE kType = vt;                             \
    static constexpr bool kPointer = false;                          \
    static type From(VARIANT& inSlot) { return inSlot.field; }       \
  };                                                                 \
  template <>                                                        \
  struct ArgTraits<type*> {                                          \
    static constexpr VARTYPE kType = vt;                             \
    static constexpr bool kPointer = true;                           \
    static type* From(VARIANT& inSlot) { return &inSlot.field; }     \
  }

TL_DISPATCH_ARG(LONG, VT_I4, lVal);
TL_DISPATCH_ARG(SHORT, VT_I2, iVal);
TL_DISPATCH_ARG(BYTE, VT_UI1, bVal);
TL_DISPATCH_ARG(FLOAT, VT_R4, fltVal);
TL_DISPATCH_ARG(DOUBLE, VT_R8, dblVal);
TL_DISPATCH_ARG(VARIANT_BOOL, VT_BOOL, boolVal);
TL_DISPATCH_ARG(BSTR, VT_BSTR, bstrVal);
TL_DISPATCH_ARG(IDispatch*, VT_DISPATCH, pdispVal);
TL_DISPATCH_ARG(IUnknown*, VT_UNKNOWN, punkVal);
#undef TL_DISPATCH_ARG

template <>
struct ArgTraits<VARIANT> {
  static constexpr VARTYPE kType = VT_VARIANT;
  static constexpr bool kPointer = false;
  static VARIANT From(VARIANT& inSlot) { return inSlot; }
};
// An [out] or [retval] pointer to a dual interface of the server's own
// (IItem** outItem) is a VT_DISPATCH result. Interfaces derive from IDispatch
// alone, so their pointer is the IDispatch pointer.
template <class I>
  requires(std::is_base_of_v<IDispatch, I> && !std::is_same_v<I, IDispatch>)
struct ArgTraits<I**> {
  static constexpr VARTYPE kType = VT_DISPATCH;
  static constexpr bool kPointer = true;
  static I** From(VARIANT& inSlot) { return reinterpret_cast<I**>(&inSlot.pdispVal); }
};
// VARIANT* is both an [in] VARIANT passed by address and an [out] VARIANT.
template <>
struct ArgTraits<VARIANT*> {
  static constexpr VARTYPE kType = VT_VARIANT;
  static constexpr bool kPointer = true;
  static VARIANT* From(VARIANT& inSlot) { return &inSlot; }
};

template <auto kFn, std::size_t... I>
HRESULT CallWith(void* inInterface, CallFrame& ioFrame, std::index_sequence<I...>)
{
  using Traits = MemberTraits<decltype(kFn)>;
  auto* theObject = static_cast<typename Traits::Class*>(inInterface);
  return (theObject->*kFn)(
      ArgTraits<std::tuple_element_t<I, typename Traits::Args>>::From(ioFrame.Slot(static_cast<int>(I)))...);
}

template <auto kFn>
HRESULT Call(void* inInterface, CallFrame& ioFrame)
{
  return CallWith<kFn>(inInterface, ioFrame,
                       std::make_index_sequence<MemberTraits<decltype(kFn)>::kArity>());
}

template <std::size_t... I, class Args>
consteval void DeclaredTypes(std::array<ParamInfo, kMaxParams>& outParams, std::array<bool, kMaxParams>& outPointer,
                             std::index_sequence<I...>, Args*)
{
  ((outParams[I].mType = ArgTraits<std::tuple_element_t<I, Args>>::kType), ...);
  ((outPointer[I] = ArgTraits<std::tuple_element_t<I, Args>>::kPointer), ...);
}

// Builds and checks the signature of kFn from the table's parameter specs.
// For a property (inHasLast), the last parameter takes the mode inLast and the
// specs may be left out: index arguments are then unnamed [in] ones.
template <auto kFn>
consteval Signature MakeSignature(std::initializer_list<ParamSpec> inSpecs, ParamMode inLast, bool inHasLast)
{
  using Traits = MemberTraits<decltype(kFn)>;
  constexpr std::size_t kArity = Traits::kArity;
  static_assert(kArity <= kMaxParams, "too many parameters for a dispatch member");
  Signature theSignature;
  theSignature.mCall = &Call<kFn>;
  theSignature.mCount = static_cast<int>(kArity);
  std::array<bool, kMaxParams> thePointer{};
  DeclaredTypes(theSignature.mParams, thePointer, std::make_index_sequence<kArity>(),
                static_cast<typename Traits::Args*>(nullptr));
  std::size_t theSpecCount = inSpecs.size() + (inHasLast ? 1 : 0);
  if (theSpecCount != kArity && !(inHasLast && inSpecs.size() == 0))
    throw "the parameter list does not match the member's signature";
  std::size_t i = 0;
  for (const ParamSpec& theSpec : inSpecs) {
    theSignature.mParams[i].mName = theSpec.mName;
    theSignature.mParams[i].mMode = theSpec.mMode;
    ++i;
  }
  for (; i < kArity; ++i) {
    theSignature.mParams[i].mName = "";
    theSignature.mParams[i].mMode = (inHasLast && i + 1 == kArity) ? inLast : ParamMode::kIn;
  }
  for (std::size_t k = 0; k < kArity; ++k) {
    const ParamInfo& theParam = theSignature.mParams[k];
    bool theIsVariantPointer = theParam.mType == VT_VARIANT && thePointer[k];
    switch (theParam.mMode) {
    case ParamMode::kIn:
      if (thePointer[k] && !theIsVariantPointer)
        throw "an [in] parameter must not be a pointer (except VARIANT*)";
      break;
    case ParamMode::kOptional:
      if (theParam.mType != VT_VARIANT)
        throw "only VARIANT parameters can be optional";
      break;
    case ParamMode::kOut:
    case ParamMode::kRetval:
      if (!thePointer[k])
        throw "an [out] or [retval] parameter must be a pointer";
      if (theParam.mMode == ParamMode::kRetval && k + 1 != kArity)
        throw "[retval] must be the last parameter";
      break;
    }
  }
  return theSignature;
}

}  // namespace dispatch_detail

// The table entries of interface I.
template <class I>
struct DispatchMembers {
  template <auto kFn>
  static consteval void CheckClass()
  {
    static_assert(std::is_same_v<typename dispatch_detail::MemberTraits<decltype(kFn)>::Class, I>,
                  "a member of another interface in this table");
  }

  template <auto kFn>
  static consteval DispatchMember Method(DISPID inId, const char* inName, const char* inHelp,
                                         std::initializer_list<ParamSpec> inParams)
  {
    CheckClass<kFn>();
    DispatchMember theMember;
    theMember.mId = inId;
    theMember.mName = inName;
    theMember.mHelp = inHelp;
    theMember.mKind = MemberKind::kMethod;
    theMember.mMethod = dispatch_detail::MakeSignature<kFn>(inParams, ParamMode::kIn, false);
    return theMember;
  }

  // A read-write property: get(index..., T* retval) and put(index..., T value).
  template <auto kGet, auto kPut>
  static consteval DispatchMember Property(DISPID inId, const char* inName, const char* inHelp,
                                           std::initializer_list<ParamSpec> inIndex = {})
  {
    CheckClass<kGet>();
    CheckClass<kPut>();
    DispatchMember theMember = ReadOnly<kGet>(inId, inName, inHelp, inIndex);
    theMember.mPut = dispatch_detail::MakeSignature<kPut>(inIndex, ParamMode::kIn, true);
    if (theMember.mPut.mCount != theMember.mGet.mCount)
      throw "the get and put of a property take different index arguments";
    theMember.mPut.mParams[static_cast<std::size_t>(theMember.mPut.mCount - 1)].mName = "value";
    return theMember;
  }

  template <auto kGet>
  static consteval DispatchMember ReadOnly(DISPID inId, const char* inName, const char* inHelp,
                                           std::initializer_list<ParamSpec> inIndex = {})
  {
    CheckClass<kGet>();
    DispatchMember theMember;
    theMember.mId = inId;
    theMember.mName = inName;
    theMember.mHelp = inHelp;
    theMember.mKind = MemberKind::kProperty;
    theMember.mGet = dispatch_detail::MakeSignature<kGet>(inIndex, ParamMode::kRetval, true);
    theMember.mGet.mParams[static_cast<std::size_t>(theMember.mGet.mCount - 1)].mName = "value";
    return theMember;
  }
};

// ---- the interface hosts read, and the implementation servers derive from ----

// Hosts QueryInterface for it to read an object's member table.
struct IMemberTable : IUnknown {
  static constexpr IID kIID = TL_GUID("7C1B5E0A-3D4F-4B8E-9A61-2F5D8C0E4A17");
  virtual HRESULT GetMemberTable(const DispatchTable** outTable) = 0;

protected:
  ~IMemberTable() = default;
};

// Invoke over a member table, for inInterface (the I* of the table's
// interface) of inObject. Takes no lock.
HRESULT DispatchInvoke(const DispatchTable& inTable, void* inInterface, IUnknown* inObject, DISPID inMember,
                       WORD inFlags, DISPPARAMS* ioParams, VARIANT* outResult, EXCEPINFO* outException,
                       UINT* outArgError);
HRESULT DispatchGetIDsOfNames(const DispatchTable& inTable, LPOLESTR* inNames, UINT inCount, DISPID* outIds);

// IDispatch and IMemberTable for interface I over its table. Every call that
// comes through Invoke holds the object's call lock, so two threads never run
// inside one object at the same time, whatever threading model the class is
// registered with (Neutral with Synchronization Required, or Apartment);
// calls into different objects run in parallel. The lock is recursive: a
// member may call back into its own object. Servers that call their objects
// through the vtable from several threads take CallLock() themselves.
template <class I, const DispatchTable& kTable>
class DispatchImpl : public I, public IMemberTable {
public:
  HRESULT GetTypeInfoCount(UINT* outCount) override
  {
    if (!outCount)
      return E_POINTER;
    *outCount = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** outInfo) override
  {
    if (outInfo)
      *outInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* inNames, UINT inCount, LCID, DISPID* outIds) override
  {
    return DispatchGetIDsOfNames(kTable, inNames, inCount, outIds);
  }
  HRESULT Invoke(DISPID inMember, REFIID, LCID, WORD inFlags, DISPPARAMS* ioParams, VARIANT* outResult,
                 EXCEPINFO* outException, UINT* outArgError) override
  {
    std::lock_guard theLock(mCallLock);
    return DispatchInvoke(kTable, static_cast<I*>(this), static_cast<I*>(this), inMember, inFlags, ioParams,
                          outResult, outException, outArgError);
  }
  HRESULT GetMemberTable(const DispatchTable** outTable) override
  {
    if (!outTable)
      return E_POINTER;
    *outTable = &kTable;
    return S_OK;
  }

  std::recursive_mutex& CallLock() { return mCallLock; }

protected:
  ~DispatchImpl() = default;

private:
  std::recursive_mutex mCallLock;
};
