#include "platform/automation/SafeArray.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::uint64_t kMaxBytes = 0x7FFFFFFFu;

std::atomic_ref<ULONG> LockCount(SAFEARRAY* inArray)
{
  return std::atomic_ref<ULONG>(inArray->cLocks);
}

bool IsVariantArray(const SAFEARRAY* inArray)
{
  return (inArray->fFeatures & FADF_VARIANT) != 0;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE inType, UINT inDims, const SAFEARRAYBOUND* inBounds)
{
  if ((inType != VT_UI1 && inType != VT_VARIANT) || inDims != 1 || !inBounds)
    return nullptr;
  std::uint64_t theElementSize = inType == VT_VARIANT ? sizeof(VARIANT) : 1;
  std::uint64_t theBytes = std::uint64_t{inBounds[0].cElements} * theElementSize;
  if (theBytes > kMaxBytes)
    return nullptr;
  auto* theArray = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (!theArray)
    return nullptr;
  // calloc of at least one byte: an empty array still has a data pointer, and
  // all-zero bytes are EMPTY VARIANTs.
  theArray->pvData = std::calloc(theBytes ? theBytes : 1, 1);
  if (!theArray->pvData) {
    std::free(theArray);
    return nullptr;
  }
  theArray->cDims = 1;
  theArray->fFeatures = inType == VT_VARIANT ? FADF_VARIANT : 0;
  theArray->cbElements = static_cast<ULONG>(theElementSize);
  theArray->rgsabound[0] = inBounds[0];
  return theArray;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE inType, LONG inLowerBound, ULONG inElements)
{
  SAFEARRAYBOUND theBound{inElements, inLowerBound};
  return SafeArrayCreate(inType, 1, &theBound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* inArray)
{
  if (!inArray)
    return S_OK;
  if (LockCount(inArray).load() != 0)
    return DISP_E_ARRAYISLOCKED;
  if (IsVariantArray(inArray)) {
    auto* theItems = static_cast<VARIANT*>(inArray->pvData);
    for (ULONG i = 0; i < inArray->rgsabound[0].cElements; ++i)
      VariantClear(&theItems[i]);
  }
  std::free(inArray->pvData);
  std::free(inArray);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* inArray, SAFEARRAY** outCopy)
{
  if (!outCopy)
    return E_INVALIDARG;
  *outCopy = nullptr;
  if (!inArray)
    return S_OK;
  VARTYPE theType = VT_EMPTY;
  if (HRESULT theResult = SafeArrayGetVartype(inArray, &theType); FAILED(theResult))
    return theResult;
  SAFEARRAY* theCopy = SafeArrayCreate(theType, 1, inArray->rgsabound);
  if (!theCopy)
    return E_OUTOFMEMORY;
  ULONG theCount = inArray->rgsabound[0].cElements;
  if (theType == VT_VARIANT) {
    auto* theFrom = static_cast<const VARIANT*>(inArray->pvData);
    auto* theTo = static_cast<VARIANT*>(theCopy->pvData);
    for (ULONG i = 0; i < theCount; ++i) {
      if (HRESULT theResult = VariantCopy(&theTo[i], &theFrom[i]); FAILED(theResult)) {
        SafeArrayDestroy(theCopy);
        return theResult;
      }
    }
  } else {
    std::memcpy(theCopy->pvData, inArray->pvData, theCount);
  }
  *outCopy = theCopy;
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* inArray)
{
  if (!inArray)
    return E_INVALIDARG;
  LockCount(inArray).fetch_add(1);
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* inArray)
{
  if (!inArray)
    return E_INVALIDARG;
  ULONG theCount = LockCount(inArray).load();
  do {
    if (theCount == 0)
      return E_UNEXPECTED;
  } while (!LockCount(inArray).compare_exchange_weak(theCount, theCount - 1));
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* inArray, void** outData)
{
  if (!inArray || !outData)
    return E_INVALIDARG;
  SafeArrayLock(inArray);
  *outData = inArray->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* inArray)
{
  return SafeArrayUnlock(inArray);
}

UINT SafeArrayGetDim(SAFEARRAY* inArray)
{
  return inArray ? inArray->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* inArray)
{
  return inArray ? inArray->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* inArray, UINT inDim, LONG* outBound)
{
  if (!inArray || !outBound)
    return E_INVALIDARG;
  if (inDim != 1)
    return DISP_E_BADINDEX;
  *outBound = inArray->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* inArray, UINT inDim, LONG* outBound)
{
  if (!inArray || !outBound)
    return E_INVALIDARG;
  if (inDim != 1)
    return DISP_E_BADINDEX;
  // Computed in 64 bits: an empty array whose lower bound is LONG_MIN has no
  // upper bound within 32 bits.
  std::int64_t theUpper = std::int64_t{inArray->rgsabound[0].lLbound} + inArray->rgsabound[0].cElements - 1;
  if (theUpper > INT32_MAX || theUpper < INT32_MIN)
    return DISP_E_OVERFLOW;
  *outBound = static_cast<LONG>(theUpper);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* inArray, VARTYPE* outType)
{
  if (!inArray || !outType)
    return E_INVALIDARG;
  *outType = IsVariantArray(inArray) ? VT_VARIANT : VT_UI1;
  return S_OK;
}
