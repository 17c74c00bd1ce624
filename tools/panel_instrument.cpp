#include "panel_instrument.h"

#include <ctime>

#include "attribute_catalog.h"
#include "measurement_types.h"

namespace hvzelta::cli {
namespace {

// The error log keeps the newest entries only.
constexpr std::size_t kLoggedErrors = 50;

using RealGetter = ViStatus (*)(ViSession, ViConstString, ViReal64*);
using RealSetter = ViStatus (*)(ViSession, ViConstString, ViReal64);
using NamedGetter = ViStatus (*)(ViSession, ViConstString, ViInt32*);
using NamedSetter = ViStatus (*)(ViSession, ViConstString, ViInt32);
using MinMaxQuery = ViStatus (*)(ViSession, ViConstString, ViReal64*, ViReal64*, ViInt32*);

// One setting of the output the page shows: a number (with the query of its
// MIN and MAX where the driver has one) or one of a set of named values.
struct SettingRow {
  std::string_view key;
  RealGetter getReal = nullptr;
  RealSetter setReal = nullptr;
  MinMaxQuery minMax = nullptr;
  std::string_view valuePrefix = {};
  NamedGetter getNamed = nullptr;
  NamedSetter setNamed = nullptr;
};

constexpr SettingRow kSettings[] = {
    {"level", hvzelta_GetVoltageLevel, hvzelta_SetVoltageLevel, hvzelta_QueryVoltageLevelMinMax},
    {"range", hvzelta_GetVoltageRange, hvzelta_SetVoltageRange},
    {"offset", hvzelta_GetVoltageOffset, hvzelta_SetVoltageOffset, hvzelta_QueryVoltageOffsetMinMax},
    {"frequency", hvzelta_GetFrequency, hvzelta_SetFrequency, hvzelta_QueryFrequencyMinMax},
    {"currentLimit", hvzelta_GetCurrentLimit, hvzelta_SetCurrentLimit, hvzelta_QueryCurrentLimitMinMax2},
    {"coupling", nullptr, nullptr, nullptr, "COUPLING_MODE_", hvzelta_GetCouplingMode, hvzelta_SetCouplingMode},
    {"limitBehavior", nullptr, nullptr, nullptr, "CURRENT_LIMIT_BEHAVIOR_", hvzelta_GetCurrentLimitBehavior,
     hvzelta_SetCurrentLimitBehavior},
};

const SettingRow* FindSetting(std::string_view key) {
  for (const SettingRow& row : kSettings) {
    if (row.key == key) return &row;
  }
  return nullptr;
}

// Milliseconds since the epoch, which the page's chart and log go by.
std::int64_t NowMillis() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Holds the session's lock (the exchange lock other users of the session
// honour too) while it lives.
class SessionLock {
 public:
  explicit SessionLock(ViSession vi) : vi_(vi) { hvzelta_LockSession(vi_, nullptr); }
  ~SessionLock() { hvzelta_UnlockSession(vi_, nullptr); }
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;

 private:
  ViSession vi_;
};

}  // namespace

PanelInstrument::PanelInstrument(InstrumentSession& session) : session_(session) {
  session_.FirstChannel(ChannelKind::Output, output_);
  session_.FirstChannel(ChannelKind::Phase, phase_);
  ViBoolean checks = VI_TRUE;
  hvzelta_GetAttributeViBoolean(session_.Handle(), "", HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS, &checks);
  checksStatus_ = checks != VI_FALSE;
  // The panel shows the instrument, not what the driver last sent it: an
  // output that tripped is off whatever was asked of it.
  hvzelta_SetAttributeViBoolean(session_.Handle(), "", HVZELTA_ATTR_CACHE, VI_FALSE);
}

Json PanelInstrument::SettingNames() {
  Json names = Json::object();
  for (const SettingRow& row : kSettings) {
    Json values = Json::array();
    if (!row.valuePrefix.empty()) {
      for (const Symbol& symbol : Enumeration(row.valuePrefix)) values.push_back(std::string(symbol.name));
    }
    names[std::string(row.key)] = values;
  }
  return names;
}

Json PanelInstrument::Identity() {
  const std::lock_guard lock(mutex_);
  Json identity = Json::object();
  for (const auto& [key, id] : {std::pair{"manufacturer", HVZELTA_ATTR_INSTRUMENT_MANUFACTURER},
                                std::pair{"model", HVZELTA_ATTR_INSTRUMENT_MODEL},
                                std::pair{"firmware", HVZELTA_ATTR_INSTRUMENT_FIRMWARE_REVISION},
                                std::pair{"resource", HVZELTA_ATTR_IO_RESOURCE_DESCRIPTOR}}) {
    AttributeValue value;
    session_.Read(AttributeById(id), "", value);
    identity[key] = std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : std::string();
  }
  identity["output"] = output_;
  identity["phase"] = phase_;
  identity["settings"] = SettingNames();
  return identity;
}

std::string PanelInstrument::Describe(ViStatus status) {
  if (status != HVZELTA_ERROR_INSTRUMENT_STATUS) return session_.Description(status);
  // The instrument refused the command: its own words say why.
  std::vector<InstrumentError> errors;
  session_.ReadErrorQueue(errors);
  if (errors.empty()) return session_.Description(status);
  std::string description = "the instrument refused it:";
  for (const InstrumentError& error : errors) {
    description += " " + std::to_string(error.code) + ", \"" + error.message + "\";";
    Log(error.code, error.message);
  }
  description.pop_back();
  return description;
}

void PanelInstrument::Log(std::int32_t code, const std::string& message) {
  errors_.push_back({{"time", NowMillis()}, {"code", code}, {"message", message}});
  if (errors_.size() > kLoggedErrors) errors_.erase(errors_.begin());
}

void PanelInstrument::ReadErrorQueue() {
  std::vector<InstrumentError> errors;
  if (session_.ReadErrorQueue(errors) < 0) return;
  for (const InstrumentError& error : errors) Log(error.code, error.message);
}

void PanelInstrument::ReadSettings() {
  const ViSession vi = session_.Handle();
  const char* channel = output_.c_str();
  for (const SettingRow& row : kSettings) {
    Json entry = {{"value", nullptr}};
    ViStatus status = VI_SUCCESS;
    if (row.getReal) {
      ViReal64 value = 0.0;
      status = row.getReal(vi, channel, &value);
      if (status >= 0) entry["value"] = value;
      ViReal64 minimum = 0.0;
      ViReal64 maximum = 0.0;
      ViInt32 visaStatus = 0;
      if (status >= 0 && row.minMax && row.minMax(vi, channel, &minimum, &maximum, &visaStatus) >= 0) {
        entry["min"] = minimum;
        entry["max"] = maximum;
      }
    } else {
      ViInt32 value = 0;
      status = row.getNamed(vi, channel, &value);
      if (status >= 0) entry["value"] = std::string(SymbolName(row.valuePrefix, value));
    }
    if (status < 0) entry["readError"] = session_.Description(status);
    settings_[std::string(row.key)] = entry;
  }
}

Json PanelInstrument::Poll(bool withSettings) {
  const std::lock_guard lock(mutex_);
  const ViSession vi = session_.Handle();
  const SessionLock sessionLock(vi);
  // The poll reads the error queue itself and shows what it finds.
  hvzelta_SetAttributeViBoolean(vi, "", HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS, VI_FALSE);
  Json state = {{"sequence", ++sequence_}, {"time", NowMillis()}};
  Json measurements = Json::object();
  pollFailure_.clear();
  for (const Quantity& quantity : kQuantities) {
    ViReal64 value = 0.0;
    ViInt32 visaStatus = 0;
    const ViStatus status = hvzelta_Measure(vi, output_.c_str(), quantity.type, &value, &visaStatus);
    if (status < 0) {
      pollFailure_ = "measuring: " + session_.Description(status);
      break;
    }
    measurements[std::string(SymbolName(kMeasurementTypePrefix, quantity.type))] = value;
  }
  ViBoolean enabled = VI_FALSE;
  ViBoolean overCurrent = VI_FALSE;
  ViInt32 visaStatus = 0;
  if (pollFailure_.empty()) {
    if (const ViStatus status = hvzelta_GetEnabled(vi, output_.c_str(), &enabled); status < 0) {
      pollFailure_ = "reading the output state: " + session_.Description(status);
    } else if (const ViStatus query = hvzelta_QueryState(vi, output_.c_str(),
                                                         HVZELTA_VAL_OUTPUT_STATE_OVER_CURRENT, &overCurrent,
                                                         &visaStatus);
               query < 0) {
      pollFailure_ = "reading the protection state: " + session_.Description(query);
    }
  }
  if (pollFailure_.empty()) ReadErrorQueue();
  // Once at least, so that a session that cannot measure (a simulated one)
  // still shows its settings; again only while the instrument answers.
  if ((withSettings && pollFailure_.empty()) || settings_.empty()) ReadSettings();
  hvzelta_SetAttributeViBoolean(vi, "", HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS, checksStatus_ ? VI_TRUE : VI_FALSE);
  state["output"] = enabled != VI_FALSE;
  overCurrent_ = overCurrent_ || overCurrent != VI_FALSE;
  state["overCurrent"] = overCurrent_;
  state["measurements"] = measurements;
  state["settings"] = settings_;
  state["refusals"] = refusals_;
  state["errors"] = errors_;
  state["failure"] = pollFailure_;
  return state;
}

template <class Action>
PanelOutcome PanelInstrument::Change(std::string_view control, Action&& action) {
  const std::lock_guard lock(mutex_);
  const SessionLock sessionLock(session_.Handle());
  PanelOutcome outcome;
  const ViStatus status = action();
  if (status < 0) {
    outcome.error = Describe(status);
    refusals_[std::string(control)] = outcome.error;
  } else {
    refusals_.erase(std::string(control));
  }
  ReadSettings();
  return outcome;
}

PanelOutcome PanelInstrument::Set(std::string_view name, const Json& value) {
  const SettingRow* row = FindSetting(name);
  if (!row) return {"the panel has no setting '" + std::string(name) + "'"};
  if (row->setReal) {
    if (!value.is_number()) return {std::string(name) + " takes a number"};
    const double number = value.get<double>();
    return Change(name, [&] { return row->setReal(session_.Handle(), output_.c_str(), number); });
  }
  const auto named = value.is_string() ? FindSymbol(row->valuePrefix, value.get<std::string>()) : std::nullopt;
  if (!named) return {std::string(name) + " takes one of the names the page lists"};
  return Change(name, [&] { return row->setNamed(session_.Handle(), output_.c_str(), *named); });
}

PanelOutcome PanelInstrument::SetOutput(bool on) {
  return Change("output", [&] {
    return hvzelta_ConfigureOutputEnabled(session_.Handle(), phase_.c_str(), on ? VI_TRUE : VI_FALSE);
  });
}

// The software trigger goes out only when a source waits for it: with both
// sources immediate, arming has triggered already, and the instrument would
// log a trigger nothing waits for as an error.
PanelOutcome PanelInstrument::ArmAndTrigger() {
  return Change("trigger", [&] {
    ViInt32 visaStatus = 0;
    ViStatus status = hvzelta_Initiate(session_.Handle(), &visaStatus);
    bool awaited = false;
    for (const ViAttr source :
         {HVZELTA_ATTR_OUTPUT_TRIGGER_TRANSIENT_SOURCE, HVZELTA_ATTR_OUTPUT_TRIGGER_ACQUIRE_SOURCE}) {
      ViInt32 value = HVZELTA_VAL_TRIGGER_SOURCE_IMMEDIATE;
      if (status >= 0) status = hvzelta_GetAttributeViInt32(session_.Handle(), output_.c_str(), source, &value);
      awaited = awaited || value == HVZELTA_VAL_TRIGGER_SOURCE_SW_TRIG_FUNC;
    }
    return status >= 0 && awaited ? hvzelta_SendSoftwareTrigger(session_.Handle(), &visaStatus) : status;
  });
}

PanelOutcome PanelInstrument::ClearProtection() {
  return Change("clear", [&] {
    ViInt32 visaStatus = 0;
    const ViStatus status = hvzelta_ResetOutputProtection(session_.Handle(), output_.c_str(), &visaStatus);
    if (status >= 0) overCurrent_ = false;
    return status;
  });
}

PanelOutcome PanelInstrument::Reset() {
  return Change("reset", [&] {
    const ViStatus status = hvzelta_reset(session_.Handle());
    if (status >= 0) overCurrent_ = false;
    return status;
  });
}

}  // namespace hvzelta::cli
