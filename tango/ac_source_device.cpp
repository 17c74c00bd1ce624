#include "ac_source_device.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ac_source_class.h"

namespace hvzelta_tango {

namespace {

// The driver's text buffers (self test, error query, revision) hold 256 bytes.
constexpr ViInt32 kTextSize = 256;

// Unless the Options property says otherwise, the driver asks the instrument
// for errors after each setting, so that a value the instrument refuses
// reaches the client as an exception instead of being dropped silently.
constexpr const char* kDefaultOptions = "QueryInstrStatus=true";

// The output conditions that put the device in ALARM: bits of the
// instrument's questionable status event register. The instrument forgets
// them once read, so one read asks for all of them at once. Bit 0 stands for
// several conditions, as the instrument's own documentation gives it.
struct AlarmBit {
  unsigned mask;
  const char* text;
};
constexpr std::array kAlarmBits{
    AlarmBit{0x2, "over-current: the output is at its current limit or its protection tripped"},
    AlarmBit{0x1, "over-voltage, power overload or DSP error"},
    AlarmBit{0x10, "over-temperature"},
    AlarmBit{0x20, "over-power"},
};
constexpr const char* kAlarmQuery = "STAT:QUES?\n";
constexpr const char* kAlarmAdvice = "; run ClearProtection after removing the cause";

// A device property's text; empty when the property is not set.
std::string ReadProperty(Tango::DbData& data, std::size_t index) {
  std::string value;
  if (!data[index].is_empty()) data[index] >> value;
  return value;
}

}  // namespace

AcSource::AcSource(Tango::DeviceClass* deviceClass, std::string& deviceName)
    : Tango::Device_5Impl(deviceClass, deviceName) {
  init_device();
}

AcSource::~AcSource() { delete_device(); }

void AcSource::init_device() {
  buffers_.assign(AcSourceClass::AttributeCount(), AttributeBuffer{});
  fault_.clear();
  alarm_.clear();
  try {
    Open();
    AcSourceClass::ApplyInstrumentLimits(*this);
  } catch (const Tango::DevFailed& failure) {
    // The server keeps running: the device stays in FAULT with the reason in
    // Status until Init succeeds.
    fault_ = failure.errors.length() > 0 ? std::string(failure.errors[0].desc.in()) : "the session did not open";
  }
}

void AcSource::Open() {
  Tango::DbData data;
  data.push_back(Tango::DbDatum("Resource"));
  data.push_back(Tango::DbDatum("Options"));
  get_db_device()->get_property(data);
  const std::string resource = ReadProperty(data, 0);
  const std::string options = ReadProperty(data, 1);
  if (resource.empty()) {
    Tango::Except::throw_exception("hvzelta:NoResource",
                                   "The device property Resource is empty: set it to the instrument's resource "
                                   "descriptor or logical name.",
                                   "AcSource::Open");
  }
  const std::string optionString = options.empty() ? std::string(kDefaultOptions) : kDefaultOptions + (", " + options);
  ViSession vi = VI_NULL;
  const ViStatus status = hvzelta_InitWithOptions(resource.c_str(), VI_TRUE, VI_FALSE, optionString.c_str(), &vi);
  if (status < 0) {
    const std::string text = DriverError(status);
    if (vi != VI_NULL) hvzelta_close(vi);
    Tango::Except::throw_exception("hvzelta:" + std::to_string(status), "Opening " + resource + " failed: " + text,
                                   "AcSource::Open");
  }
  vi_ = vi;
  std::array<ViChar, kTextSize> name{};
  Check(hvzelta_GetOutputName(vi_, 1, kTextSize, name.data()), "GetOutputName");
  output_ = name.data();
  ViBoolean simulating = VI_FALSE;
  Check(hvzelta_GetAttributeViBoolean(vi_, "", HVZELTA_ATTR_SIMULATE, &simulating), "GetAttributeViBoolean");
  simulating_ = simulating != VI_FALSE;
}

std::string AcSource::ReadAlarm() {
  // A simulated instrument has no status registers to read.
  if (simulating_) return {};
  ViInt64 count = 0;
  Check(hvzelta_viWrite(vi_, static_cast<ViInt64>(std::strlen(kAlarmQuery)), reinterpret_cast<ViConstBuf>(kAlarmQuery),
                        &count),
        "viWrite");
  std::array<char, 64> reply{};
  Check(hvzelta_viRead(vi_, static_cast<ViInt64>(reply.size() - 1), reinterpret_cast<ViByte*>(reply.data()), &count),
        "viRead");
  const unsigned bits = static_cast<unsigned>(std::strtoul(reply.data(), nullptr, 10));
  std::string text;
  for (const AlarmBit& bit : kAlarmBits) {
    if ((bits & bit.mask) == 0) continue;
    text += (text.empty() ? "" : ", ") + std::string(bit.text);
  }
  return text.empty() ? text : text + kAlarmAdvice;
}

void AcSource::delete_device() {
  if (vi_ != VI_NULL) hvzelta_close(vi_);
  vi_ = VI_NULL;
}

ViSession AcSource::Session() {
  if (vi_ == VI_NULL || !fault_.empty()) {
    Tango::Except::throw_exception(
        "hvzelta:NotConnected",
        "The device has no working instrument session (" + fault_ + "); run Init to connect again",
        "AcSource::Session");
  }
  return vi_;
}

std::string AcSource::DriverError(ViStatus status) {
  ViStatus code = status;
  std::array<ViChar, 1024> description{};
  if (hvzelta_GetError(vi_, &code, static_cast<ViInt32>(description.size()), description.data()) < 0 ||
      description[0] == '\0') {
    hvzelta_error_message(vi_, status, description.data());
  }
  std::string text = description.data();
  if (status == HVZELTA_ERROR_INSTRUMENT_STATUS && vi_ != VI_NULL) {
    ViInt32 instrumentCode = 0;
    std::array<ViChar, kTextSize> message{};
    if (hvzelta_error_query(vi_, &instrumentCode, message.data()) >= 0 && instrumentCode != 0) {
      text += " The instrument reports: " + std::to_string(instrumentCode) + ", " + message.data();
    }
  }
  return text;
}

void AcSource::Check(ViStatus status, const char* operation) {
  if (status >= 0) return;
  const std::string text = DriverError(status);
  if (status == HVZELTA_ERROR_IO_GENERAL) fault_ = text;
  Tango::Except::throw_exception("hvzelta:" + std::to_string(status), text, std::string("hvzelta_") + operation);
}

Tango::DevState AcSource::dev_state() {
  if (vi_ == VI_NULL || !fault_.empty()) {
    status_ = "No instrument session: " + fault_ + " Run Init to connect again.";
    return Tango::FAULT;
  }
  try {
    if (alarm_.empty()) alarm_ = ReadAlarm();
    if (!alarm_.empty()) {
      status_ = "Protection: " + alarm_ + ".";
      return Tango::ALARM;
    }
    ViBoolean enabled = VI_FALSE;
    Check(hvzelta_GetEnabled(vi_, output_.c_str(), &enabled), "GetEnabled");
    status_ = enabled ? "The output is on." : "The output is off.";
    return enabled ? Tango::ON : Tango::OFF;
  } catch (const Tango::DevFailed& failure) {
    const std::string text = failure.errors.length() > 0 ? failure.errors[0].desc.in() : "";
    if (!fault_.empty()) {
      status_ = "Connection lost: " + text + " Run Init to connect again.";
      return Tango::FAULT;
    }
    status_ = "The instrument state is unknown: " + text;
    return Tango::UNKNOWN;
  }
}

Tango::ConstDevString AcSource::dev_status() {
  dev_state();
  return status_.c_str();
}

}  // namespace hvzelta_tango
