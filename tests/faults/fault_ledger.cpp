#include "fault_ledger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

namespace hvzelta::faults {

namespace {

std::string StatusName(ViStatus status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
  char text[256] = {};
  hvzelta_error_message(VI_NULL, status, text);
  std::string name = hex;
  if (text[0] != '\0') name += std::string(" ") + text;
  return name.size() > 76 ? name.substr(0, 73) + "..." : name;
}

// Prints the ledger after the last test, also when some failed.
class LedgerPrinter final : public ::testing::Environment {
 public:
  void TearDown() override { std::cout << FaultLedger::Instance().Summary() << std::flush; }
};

[[maybe_unused]] ::testing::Environment* const kPrinter = ::testing::AddGlobalTestEnvironment(new LedgerPrinter);

}  // namespace

FaultLedger& FaultLedger::Instance() {
  static FaultLedger ledger;
  return ledger;
}

void FaultLedger::FaultInjected(std::uint64_t count) {
  const std::lock_guard lock(mutex_);
  faults_ += count;
}

void FaultLedger::Operation(ViStatus status) {
  const std::lock_guard lock(mutex_);
  ++operations_;
  ++outcomes_[status];
}

void FaultLedger::Survived() {
  const std::lock_guard lock(mutex_);
  ++survived_;
}

void FaultLedger::LostData() {
  const std::lock_guard lock(mutex_);
  ++lostData_;
}

std::string FaultLedger::Summary() const {
  const std::lock_guard lock(mutex_);
  char line[160];
  std::string table = "\n== reliability summary\n";
  const auto row = [&](const char* label, std::uint64_t value) {
    std::snprintf(line, sizeof line, "  %-22s %10llu\n", label, static_cast<unsigned long long>(value));
    table += line;
  };
  row("faults injected", faults_);
  row("operations attempted", operations_);
  row("sessions survived", survived_);
  row("lost data", lostData_);
  table += "  outcomes by status:\n";
  for (const auto& [status, count] : outcomes_) {
    std::snprintf(line, sizeof line, "    %10llu  %s\n", static_cast<unsigned long long>(count),
                  StatusName(status).c_str());
    table += line;
  }
  return table;
}

}  // namespace hvzelta::faults
