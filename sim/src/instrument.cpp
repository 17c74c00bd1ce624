#include "instrument.h"

#include <cstdio>
#include <string>
#include <utility>

#include "program_executor.h"

namespace zta_sim {

namespace {

// How much of a message or reply a verbose line shows.
constexpr std::size_t kShownBytes = 200;

// `prefix` and the text with line ends and other unprintable bytes
// escaped, as one line written at once.
void PrintLine(std::string_view prefix, std::string_view text) {
  std::string line(prefix);
  for (const char c : text.substr(0, kShownBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      line += hex;
    } else {
      line += c;
    }
  }
  if (text.size() > kShownBytes) line += " ... (" + std::to_string(text.size()) + " bytes)";
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

Instrument::Instrument(const ModelInfo& model, std::string identity, const Load& load, double noise,
                       std::uint64_t seed, bool verbose)
    : core_(model, std::move(identity), load, noise, seed), verbose_(verbose) {}

void Instrument::Execute(std::string_view message, std::string& reply) {
  const std::lock_guard lock(mutex_);
  const std::size_t before = reply.size();
  ExecuteProgramMessage(core_, message, reply);
  if (!verbose_) return;
  PrintLine("received: ", message);
  if (reply.size() > before) PrintLine("answered: ", std::string_view(reply).substr(before));
}

void Instrument::ReportError(ScpiError error) {
  const std::lock_guard lock(mutex_);
  core_.Error(error);
}

std::uint8_t Instrument::StatusByte(bool messageAvailable) {
  const std::lock_guard lock(mutex_);
  return core_.StatusByte(messageAvailable);
}

void Instrument::BusTrigger() {
  const std::lock_guard lock(mutex_);
  core_.BusTrigger();
}

void Instrument::SetLoad(const Load& load) {
  const std::lock_guard lock(mutex_);
  core_.SetLoad(load);
}

}  // namespace zta_sim
