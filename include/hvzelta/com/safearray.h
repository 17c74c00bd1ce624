#pragma once

// The array object of the object interface: a self-describing array of one
// or two dimensions whose elements are bytes, 16/32/64-bit integers, floats,
// doubles, booleans or BSTRs. Arrays handed to a caller are the caller's to
// free with SafeArrayDestroy, which also frees BSTR elements.

#include <cstdint>
#include <memory>

#include "hvzelta/com/types.h"
#include "hvzelta/export.h"

namespace hvzelta {

using VARTYPE = std::uint16_t;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_UI1 = 17,
  VT_I8 = 20,
};

constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHresult(0x8002000Du);

struct SAFEARRAYBOUND {
  std::uint32_t cElements;
  std::int32_t lLbound;
};

// Elements are stored with the first index varying fastest; rgsabound[0] is
// the first dimension.
struct SAFEARRAY {
  std::uint16_t cDims;
  VARTYPE vt;
  std::uint32_t cbElements;
  std::uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[2];
};

extern "C" {
// Null for an unsupported type, a dimension count other than 1 or 2, or when
// the memory cannot be had. Elements start zeroed (BSTR elements null).
HVZELTA_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t cDims, const SAFEARRAYBOUND* rgsabound);
HVZELTA_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lLbound, std::uint32_t cElements);
HVZELTA_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HVZELTA_API HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// Changes the element count and lower bound of the last dimension, keeping
// the elements that stay inside it; new elements start zeroed.
HVZELTA_API HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew);

HVZELTA_API std::uint32_t SafeArrayGetDim(const SAFEARRAY* psa);
HVZELTA_API std::uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa);
HVZELTA_API HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* pvt);
// nDim counts from 1.
HVZELTA_API HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plLbound);
HVZELTA_API HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plUbound);

HVZELTA_API HRESULT SafeArrayLock(SAFEARRAY* psa);
HVZELTA_API HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// Locks the array and hands out its element storage.
HVZELTA_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HVZELTA_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

// rgIndices holds one index per dimension, first dimension first. A BSTR
// element is copied in and out; the caller frees the copy it gets.
HVZELTA_API HRESULT SafeArrayGetElement(const SAFEARRAY* psa, const std::int32_t* rgIndices, void* pv);
HVZELTA_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, const std::int32_t* rgIndices, const void* pv);
}

// The number of elements of a one-dimensional array (0 for anything else).
inline std::uint32_t SafeArrayLength(const SAFEARRAY* psa) {
  return psa && psa->cDims == 1 ? psa->rgsabound[0].cElements : 0;
}

struct SafeArrayDeleter {
  void operator()(SAFEARRAY* psa) const { SafeArrayDestroy(psa); }
};
using SafeArrayPtr = std::unique_ptr<SAFEARRAY, SafeArrayDeleter>;

}  // namespace hvzelta
