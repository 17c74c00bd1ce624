#include "hvzelta/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "hvzelta/com/bstr.h"

namespace hvzelta {

namespace {

// Arrays larger than this are refused, so that an element count from outside
// can never ask for more than a 32-bit byte count describes.
constexpr std::uint64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();

std::uint32_t ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_UI1: return 1;
    case VT_I2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_R4: return 4;
    case VT_R8:
    case VT_I8: return 8;
    case VT_BSTR: return sizeof(BSTR);
    default: return 0;
  }
}

std::uint64_t ElementCount(const SAFEARRAY* psa) {
  std::uint64_t count = 1;
  for (std::uint16_t d = 0; d < psa->cDims; ++d) count *= psa->rgsabound[d].cElements;
  return count;
}

void FreeBstrs(SAFEARRAY* psa, std::uint64_t from, std::uint64_t to) {
  if (psa->vt != VT_BSTR) return;
  auto* items = static_cast<BSTR*>(psa->pvData);
  for (std::uint64_t i = from; i < to; ++i) {
    SysFreeString(items[i]);
    items[i] = nullptr;
  }
}

// The element offset of an index tuple, or false when one lies outside.
bool Offset(const SAFEARRAY* psa, const std::int32_t* indices, std::uint64_t& offset) {
  if (!indices) return false;
  offset = 0;
  std::uint64_t stride = 1;
  for (std::uint16_t d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[d];
    const std::int64_t relative = std::int64_t{indices[d]} - bound.lLbound;
    if (relative < 0 || static_cast<std::uint64_t>(relative) >= bound.cElements) return false;
    offset += static_cast<std::uint64_t>(relative) * stride;
    stride *= bound.cElements;
  }
  return true;
}

}  // namespace

extern "C" {

SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t cDims, const SAFEARRAYBOUND* rgsabound) {
  const std::uint32_t size = ElementSize(vt);
  if (size == 0 || cDims < 1 || cDims > 2 || !rgsabound) return nullptr;
  std::uint64_t count = 1;
  for (std::uint32_t d = 0; d < cDims; ++d) {
    count *= rgsabound[d].cElements;
    if (count * size > kMaxBytes) return nullptr;
  }
  auto* psa = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (!psa) return nullptr;
  psa->cDims = static_cast<std::uint16_t>(cDims);
  psa->vt = vt;
  psa->cbElements = size;
  for (std::uint32_t d = 0; d < cDims; ++d) psa->rgsabound[d] = rgsabound[d];
  // One spare element keeps calloc from returning null for an empty array.
  psa->pvData = std::calloc(static_cast<std::size_t>(count) + 1, size);
  if (!psa->pvData) {
    std::free(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lLbound, std::uint32_t cElements) {
  const SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  FreeBstrs(psa, 0, ElementCount(psa));
  std::free(psa->pvData);
  std::free(psa);
  return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = SafeArrayCreate(psa->vt, psa->cDims, psa->rgsabound);
  if (!copy) return E_OUTOFMEMORY;
  const std::uint64_t count = ElementCount(psa);
  if (psa->vt == VT_BSTR) {
    const auto* from = static_cast<const BSTR*>(psa->pvData);
    auto* to = static_cast<BSTR*>(copy->pvData);
    for (std::uint64_t i = 0; i < count; ++i) {
      if (!from[i]) continue;
      to[i] = SysAllocStringLen(from[i], SysStringLen(from[i]));
      if (!to[i]) {
        SafeArrayDestroy(copy);
        return E_OUTOFMEMORY;
      }
    }
  } else {
    std::memcpy(copy->pvData, psa->pvData, static_cast<std::size_t>(count * psa->cbElements));
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  SAFEARRAYBOUND& last = psa->rgsabound[psa->cDims - 1];
  const std::uint64_t inner = ElementCount(psa) / (last.cElements ? last.cElements : 1);
  const std::uint64_t oldCount = inner * last.cElements;
  const std::uint64_t newCount = (psa->cDims == 1 ? 1 : psa->rgsabound[0].cElements) * psaboundNew->cElements;
  if (newCount * psa->cbElements > kMaxBytes) return E_OUTOFMEMORY;
  if (newCount < oldCount) FreeBstrs(psa, newCount, oldCount);
  void* data = std::realloc(psa->pvData, static_cast<std::size_t>(newCount + 1) * psa->cbElements);
  if (!data) return E_OUTOFMEMORY;
  psa->pvData = data;
  if (newCount > oldCount) {
    std::memset(static_cast<unsigned char*>(data) + oldCount * psa->cbElements, 0,
                static_cast<std::size_t>(newCount - oldCount) * psa->cbElements);
  }
  last = *psaboundNew;
  return S_OK;
}

std::uint32_t SafeArrayGetDim(const SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

std::uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  *pvt = psa->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[nDim - 1].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, std::uint32_t nDim, std::int32_t* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[nDim - 1];
  *plUbound = static_cast<std::int32_t>(std::int64_t{bound.lLbound} + bound.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  ++psa->cLocks;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayGetElement(const SAFEARRAY* psa, const std::int32_t* rgIndices, void* pv) {
  if (!psa || !pv) return E_INVALIDARG;
  std::uint64_t offset = 0;
  if (!Offset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  const auto* element = static_cast<const unsigned char*>(psa->pvData) + offset * psa->cbElements;
  if (psa->vt == VT_BSTR) {
    BSTR item = *reinterpret_cast<const BSTR*>(element);
    BSTR copy = item ? SysAllocStringLen(item, SysStringLen(item)) : nullptr;
    if (item && !copy) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(pv) = copy;
  } else {
    std::memcpy(pv, element, psa->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const std::int32_t* rgIndices, const void* pv) {
  if (!psa || !pv) return E_INVALIDARG;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  std::uint64_t offset = 0;
  if (!Offset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  auto* element = static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
  if (psa->vt == VT_BSTR) {
    const auto* item = static_cast<const wchar_t*>(pv);
    BSTR copy = SysAllocStringLen(item, static_cast<std::uint32_t>(BstrView(item).size()));
    if (!copy) return E_OUTOFMEMORY;
    auto* slot = reinterpret_cast<BSTR*>(element);
    SysFreeString(*slot);
    *slot = copy;
  } else {
    std::memcpy(element, pv, psa->cbElements);
  }
  return S_OK;
}

}  // extern "C"

}  // namespace hvzelta
