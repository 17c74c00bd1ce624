#include "hvzelta/com/error_info.h"

#include <optional>
#include <utility>

namespace hvzelta {

namespace {

thread_local std::optional<ErrorInfo> t_errorInfo;

}  // namespace

void SetErrorInfo(ErrorInfo info) { t_errorInfo = std::move(info); }

bool GetErrorInfo(ErrorInfo& info) {
  if (!t_errorInfo) return false;
  info = std::move(*t_errorInfo);
  t_errorInfo.reset();
  return true;
}

const ErrorInfo* PeekErrorInfo() { return t_errorInfo ? &*t_errorInfo : nullptr; }

void ClearErrorInfo() { t_errorInfo.reset(); }

}  // namespace hvzelta
