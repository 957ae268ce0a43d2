#pragma once
// SAFEARRAY: one-dimensional arrays of bytes (VT_UI1) or VARIANTs (VT_VARIANT),
// the byte arrays and lists that automation members pass.
//
// The data is reached through SafeArrayAccessData, which locks the array
// until SafeArrayUnaccessData; a locked array cannot be destroyed
// (DISP_E_ARRAYISLOCKED). An array of no elements still has a data pointer.
// Sizes are computed in 64 bits; an array past 2^31 - 1 bytes is not made.

#include "platform/automation/Variant.h"

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

constexpr USHORT FADF_VARIANT = 0x0800;

// Null for another element type, another number of dimensions, a size past
// the limit, or no memory. The elements start as zero bytes or EMPTY VARIANTs.
SAFEARRAY* SafeArrayCreate(VARTYPE inType, UINT inDims, const SAFEARRAYBOUND* inBounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE inType, LONG inLowerBound, ULONG inElements);
// Frees the data (clearing VARIANT elements) and the descriptor.
HRESULT SafeArrayDestroy(SAFEARRAY* inArray);
HRESULT SafeArrayCopy(SAFEARRAY* inArray, SAFEARRAY** outCopy);

HRESULT SafeArrayLock(SAFEARRAY* inArray);
HRESULT SafeArrayUnlock(SAFEARRAY* inArray);  // E_UNEXPECTED when not locked
HRESULT SafeArrayAccessData(SAFEARRAY* inArray, void** outData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* inArray);

UINT SafeArrayGetDim(SAFEARRAY* inArray);
UINT SafeArrayGetElemsize(SAFEARRAY* inArray);
// inDim counts from 1; DISP_E_BADINDEX for another dimension.
HRESULT SafeArrayGetLBound(SAFEARRAY* inArray, UINT inDim, LONG* outBound);
HRESULT SafeArrayGetUBound(SAFEARRAY* inArray, UINT inDim, LONG* outBound);
HRESULT SafeArrayGetVartype(SAFEARRAY* inArray, VARTYPE* outType);
