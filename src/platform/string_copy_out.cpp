#include "platform/string_copy_out.h"

#include <cstring>
#include <limits>

namespace hvzelta {

ViStatus CopyStringOut(std::string_view text, ViChar* buffer, ViInt32 bufferSize) {
  if (text.empty()) {
    if (!buffer || bufferSize == 0) return 1;
    buffer[0] = '\0';
    return 0;
  }
  // A text longer than any buffer size can say still needs a positive answer.
  constexpr std::size_t kLargest = std::numeric_limits<ViStatus>::max();
  const ViStatus needed = static_cast<ViStatus>(text.size() < kLargest ? text.size() + 1 : kLargest);
  if (!buffer || bufferSize == 0) return needed;
  if (bufferSize > 0 && static_cast<std::size_t>(bufferSize) < text.size() + 1) {
    const auto kept = static_cast<std::size_t>(bufferSize) - 1;
    std::memcpy(buffer, text.data(), kept);
    buffer[kept] = '\0';
    return needed;
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return 0;
}

}  // namespace hvzelta
