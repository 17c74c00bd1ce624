#pragma once

// The instrument as the panel sees it: one session shared by every browser.
// A poller takes the measurements several times a second and the settings
// (with their MIN and MAX) about once a second and after every change; the
// browsers' changes come in between. Everything runs under one mutex and the
// session's own lock, so a change and the reads that show its outcome are
// never interleaved with another's.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "instrument_session.h"
#include "json_output.h"

namespace hvzelta::cli {

// The outcome of a change: empty `error` for success, else why it failed in
// the driver's or the instrument's words.
struct PanelOutcome {
  std::string error;
};

class PanelInstrument {
 public:
  // `session` is open; the first output and output phase are the panel's.
  explicit PanelInstrument(InstrumentSession& session);

  // Manufacturer, model, firmware, resource, output and phase names.
  Json Identity();

  // Takes one round of measurements, the protection state and new entries
  // of the error queue (the settings too when `withSettings`), and returns
  // the panel's whole state as one JSON object.
  Json Poll(bool withSettings);

  // The changes the page offers. `name` is a setting's key ("level",
  // "coupling", ...); `value` a number, or a value name for coupling and
  // limit behaviour.
  PanelOutcome Set(std::string_view name, const Json& value);
  PanelOutcome SetOutput(bool on);
  PanelOutcome ArmAndTrigger();
  PanelOutcome ClearProtection();
  PanelOutcome Reset();

  // The names of the settings and of the values of those that take names.
  static Json SettingNames();

 private:
  // Runs `action` (a driver call's status) with the session locked, notes
  // its failure under `control` for every browser to see, and reads the
  // settings again.
  template <class Action>
  PanelOutcome Change(std::string_view control, Action&& action);
  void ReadSettings();
  void ReadErrorQueue();
  void Log(std::int32_t code, const std::string& message);
  // The driver's description of a failure, with the instrument's errors
  // when it refused the command.
  std::string Describe(ViStatus status);

  std::mutex mutex_;
  InstrumentSession& session_;
  std::string output_;
  std::string phase_;
  bool checksStatus_ = true;
  // The instrument flags an over-current once, when it happens; the panel
  // keeps showing it until the protection is cleared or the source reset.
  bool overCurrent_ = false;
  Json settings_ = Json::object();
  Json refusals_ = Json::object();  // by control, the last change's failure
  std::string pollFailure_;
  Json errors_ = Json::array();  // the newest last, at most kLoggedErrors
  std::uint64_t sequence_ = 0;
};

}  // namespace hvzelta::cli
