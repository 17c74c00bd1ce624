// "hvzelta measure": takes measurements on one output, every type the
// driver knows unless the command line names some.

#include <cstdio>
#include <ostream>
#include <vector>

#include "attribute_value.h"
#include "instrument_command.h"
#include "json_output.h"
#include "measurement_types.h"

namespace hvzelta::cli {
namespace {

constexpr std::string_view kTypePrefix = kMeasurementTypePrefix;

const Quantity* FindQuantity(std::string_view name) {
  const auto type = FindSymbol(kTypePrefix, name);
  if (!type) return nullptr;
  for (const Quantity& quantity : kQuantities) {
    if (quantity.type == *type) return &quantity;
  }
  return nullptr;
}

std::string TypeNames() {
  std::string names;
  for (const Quantity& quantity : kQuantities) {
    names += (names.empty() ? "" : ", ") + std::string(SymbolName(kTypePrefix, quantity.type));
  }
  return names;
}

struct Reading {
  const Quantity* quantity;
  double value;
};

int Measure(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("measure", streams);
  if (!command.Parse(words, true)) return kExitUsage;
  std::vector<const Quantity*> wanted;
  for (const std::string& name : command.Positional()) {
    const Quantity* quantity = FindQuantity(name);
    if (!quantity) return command.UsageError("no measurement type '" + name + "'; the types are " + TypeNames());
    wanted.push_back(quantity);
  }
  if (wanted.empty()) {
    for (const Quantity& quantity : kQuantities) wanted.push_back(&quantity);
  }

  InstrumentSession session;
  if (const int status = command.Open(session)) return status;
  const auto channel = command.ChannelFor(session, ChannelKind::Output);
  if (!channel) return command.FailureExit();
  std::vector<Reading> readings;
  for (const Quantity* quantity : wanted) {
    Reading reading{quantity, 0.0};
    ViInt32 visaStatus = 0;
    const std::string_view name = SymbolName(kTypePrefix, quantity->type);
    if (command.Check(session,
                      hvzelta_Measure(session.Handle(), channel->c_str(), quantity->type, &reading.value, &visaStatus),
                      "measuring " + std::string(name) + " on " + *channel)) {
      readings.push_back(reading);
    }
  }

  if (command.Json()) {
    Json measurements = Json::array();
    for (const Reading& reading : readings) {
      measurements.push_back({{"type", SymbolName(kTypePrefix, reading.quantity->type)},
                              {"value", reading.value},
                              {"unit", reading.quantity->unit}});
    }
    PrintJson(command.Out(), {{"channel", *channel}, {"measurements", measurements}});
  } else {
    for (const Reading& reading : readings) {
      char line[96];
      std::snprintf(line, sizeof line, "%-22s %s", SymbolName(kTypePrefix, reading.quantity->type).data(),
                    ShortestText(reading.value).c_str());
      command.Out() << line << (reading.quantity->unit.empty() ? "" : " ") << reading.quantity->unit << "\n";
    }
  }
  return readings.size() == wanted.size() ? kExitSuccess : command.FailureExit();
}

const std::string kUsage =
    InstrumentUsage("measure [TYPE...] [-c OUTPUT]",
                    "Measures on one output (default: the first) and prints each value with its\n"
                    "unit. Without TYPE every type is measured; TYPE is a name of the header's\n"
                    "measurement types, with or without HVZELTA_VAL_MEASUREMENT_TYPE_, in any case:\n"
                    "VOLTAGE_AC, VOLTAGE_DC, CURRENT_AC, CURRENT_DC, CURRENT_MAX, CURRENT_MAX_HOLD,\n"
                    "CURRENT_CREST_FACTOR, FREQUENCY, POWER_AC, POWER_DC, AC_APPARENT,\n"
                    "POWER_AC_REACTIVE, AC_POWER_FACTOR. A type that fails is reported and the\n"
                    "others are still measured (exit status 1).\n",
                    true);

}  // namespace

const Command kMeasureCommand{"measure", "take measurements, all types or the named ones", kUsage, &Measure, true};

}  // namespace hvzelta::cli
