#include "command_call.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zta_sim {

bool Call::ExpectBetween(std::size_t min, std::size_t max) {
  if (unit.count < min) {
    Error(ScpiError::MissingParameter);
    return false;
  }
  if (unit.count > max) {
    Error(ScpiError::ParameterNotAllowed);
    return false;
  }
  return true;
}

void Call::Error(ScpiError error) {
  core.Error(error);
  commandError_ = commandError_ || IsCommandError(error);
}

void Call::ReplyReal(double value) {
  Separate();
  if (value == 0.0) value = 0.0;  // no "-0"
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%+.8E", value);
  reply_.append(text, static_cast<std::size_t>(length));
}

void Call::ReplyInteger(long long value) {
  Separate();
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  reply_.append(text, result.ptr);
}

void Call::ReplyText(std::string_view text) {
  Separate();
  reply_ += text;
}

void Call::Separate() {
  if (reply_.size() > replyStart_) reply_ += ';';
}

}  // namespace zta_sim
