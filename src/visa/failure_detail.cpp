#include "visa/failure_detail.h"

#include <utility>

namespace hvzelta::visa {
namespace {

thread_local std::string t_detail;

}  // namespace

void NoteFailureDetail(std::string detail) { t_detail = std::move(detail); }

std::string TakeFailureDetail() { return std::exchange(t_detail, {}); }

}  // namespace hvzelta::visa
