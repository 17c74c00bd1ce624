#include "ac_source_class.h"

#include <algorithm>
#include <array>
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ac_source_device.h"
#include "hvzelta.h"

namespace hvzelta_tango {

namespace {

constexpr ViInt32 kTextSize = 256;
// Measurements are polled, so that change and archive events reach their
// subscribers; a client changes the period through Tango's polling settings.
constexpr long kMeasurementPollMilliseconds = 1000;
// A measurement's change (and archive) event fires when it moves by this
// many percent.
constexpr const char* kMeasurementEventPercent = "1";
// The longest reply the Query command hands back; the rest is dropped.
constexpr ViInt64 kReplySize = 65536;

// ---- Attributes ----------------------------------------------------------------------

struct RealAccess {
  ViStatus (*get)(ViSession, ViConstString, ViReal64*);
  ViStatus (*set)(ViSession, ViConstString, ViReal64);
  // Asks the instrument for the lowest and highest value it takes; none
  // where the instrument has no such query.
  ViStatus (*limits)(ViSession, ViConstString, ViReal64*, ViReal64*, ViInt32*) = nullptr;
};
// An enumerated setting: Tango numbers an enumeration's labels from 0, the
// driver's values are its own, so each label carries its driver value.
struct EnumLabel {
  ViInt32 value;
  const char* label;
};
struct EnumAccess {
  ViStatus (*get)(ViSession, ViConstString, ViInt32*);
  ViStatus (*set)(ViSession, ViConstString, ViInt32);
  std::span<const EnumLabel> labels;
};
struct BooleanAccess {
  ViStatus (*get)(ViSession, ViConstString, ViBoolean*);
  ViStatus (*set)(ViSession, ViConstString, ViBoolean);
};
struct MeasurementAccess {
  ViInt32 type;  // HVZELTA_VAL_MEASUREMENT_TYPE_*
};
struct TextAccess {
  ViAttr id;  // a string attribute of the session
};
using Access = std::variant<RealAccess, EnumAccess, BooleanAccess, MeasurementAccess, TextAccess>;

struct AttributeRow {
  const char* name;
  Access access;
  const char* unit;
  const char* format;
  const char* description;
};

constexpr std::array kCouplingModes{
    EnumLabel{HVZELTA_VAL_COUPLING_MODE_AC, "AC"},
    EnumLabel{HVZELTA_VAL_COUPLING_MODE_DC, "DC"},
    EnumLabel{HVZELTA_VAL_COUPLING_MODE_ACDC, "AC+DC"},
    EnumLabel{HVZELTA_VAL_COUPLING_MODE_EXTERNAL_AC, "external AC"},
    EnumLabel{HVZELTA_VAL_COUPLING_MODE_EXTERNAL_DC, "external DC"},
};
constexpr std::array kCurrentLimitBehaviors{
    EnumLabel{HVZELTA_VAL_CURRENT_LIMIT_BEHAVIOR_REGULATE, "regulate"},
    EnumLabel{HVZELTA_VAL_CURRENT_LIMIT_BEHAVIOR_TRIP, "trip"},
};

const std::array kAttributes{
    AttributeRow{"VoltageLevel",
                 RealAccess{hvzelta_GetVoltageLevel, hvzelta_SetVoltageLevel, hvzelta_QueryVoltageLevelMinMax}, "V",
                 "%6.2f", "AC voltage level (rms)"},
    AttributeRow{"VoltageRange", RealAccess{hvzelta_GetVoltageRange, hvzelta_SetVoltageRange}, "V", "%6.1f",
                 "Voltage range: the highest level it allows"},
    AttributeRow{"VoltageOffset",
                 RealAccess{hvzelta_GetVoltageOffset, hvzelta_SetVoltageOffset, hvzelta_QueryVoltageOffsetMinMax}, "V",
                 "%6.2f", "DC offset added to the AC voltage"},
    AttributeRow{"Frequency", RealAccess{hvzelta_GetFrequency, hvzelta_SetFrequency, hvzelta_QueryFrequencyMinMax},
                 "Hz", "%7.2f", "Output frequency"},
    AttributeRow{"CurrentLimit",
                 RealAccess{hvzelta_GetCurrentLimit, hvzelta_SetCurrentLimit, hvzelta_QueryCurrentLimitMinMax2}, "A",
                 "%6.3f", "Current limit (rms)"},
    AttributeRow{"TriggeredVoltageLevel",
                 RealAccess{hvzelta_GetTriggeredVoltageLevel, hvzelta_SetTriggeredVoltageLevel}, "V", "%6.2f",
                 "Voltage level taken at the next trigger"},
    AttributeRow{"TriggeredVoltageOffset",
                 RealAccess{hvzelta_GetTriggeredVoltageOffset, hvzelta_SetTriggeredVoltageOffset}, "V", "%6.2f",
                 "DC offset taken at the next trigger"},
    AttributeRow{"TriggeredFrequency", RealAccess{hvzelta_GetTriggeredFrequency, hvzelta_SetTriggeredFrequency}, "Hz",
                 "%7.2f", "Frequency taken at the next trigger"},
    AttributeRow{"OutputEnabled", BooleanAccess{hvzelta_GetEnabled, hvzelta_SetEnabled}, "", "",
                 "Whether the output is on"},
    AttributeRow{"CouplingMode", EnumAccess{hvzelta_GetCouplingMode, hvzelta_SetCouplingMode, kCouplingModes}, "", "",
                 "Output coupling"},
    AttributeRow{"CurrentLimitBehavior",
                 EnumAccess{hvzelta_GetCurrentLimitBehavior, hvzelta_SetCurrentLimitBehavior, kCurrentLimitBehaviors},
                 "", "", "At the current limit: regulate, or trip (the output turns off)"},
    AttributeRow{"CurrentDC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_DC}, "A", "%8.4f",
                 "Measured DC current"},
    AttributeRow{"VoltageDC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_DC}, "V", "%8.3f",
                 "Measured DC voltage"},
    AttributeRow{"PowerDC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_POWER_DC}, "W", "%8.2f",
                 "Measured DC power"},
    AttributeRow{"MeasuredFrequency", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_FREQUENCY}, "Hz", "%8.3f",
                 "Measured frequency"},
    AttributeRow{"CurrentAC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_AC}, "A", "%8.4f",
                 "Measured AC current (rms)"},
    AttributeRow{"CurrentMax", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX}, "A", "%8.4f",
                 "Measured peak current"},
    AttributeRow{"CurrentMaxHold", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX_HOLD}, "A", "%8.4f",
                 "Highest peak current since its last reset"},
    AttributeRow{"CurrentCrestFactor", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_CREST_FACTOR}, "",
                 "%6.3f", "Measured current crest factor"},
    AttributeRow{"VoltageAC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC}, "V", "%8.3f",
                 "Measured AC voltage (rms)"},
    AttributeRow{"PowerAC", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC}, "W", "%8.2f",
                 "Measured real power"},
    AttributeRow{"ApparentPower", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_AC_APPARENT}, "VA", "%8.2f",
                 "Measured apparent power"},
    AttributeRow{"ReactivePower", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC_REACTIVE}, "var", "%8.2f",
                 "Measured reactive power"},
    AttributeRow{"PowerFactor", MeasurementAccess{HVZELTA_VAL_MEASUREMENT_TYPE_AC_POWER_FACTOR}, "", "%6.3f",
                 "Measured power factor"},
    AttributeRow{"Manufacturer", TextAccess{HVZELTA_ATTR_INSTRUMENT_MANUFACTURER}, "", "", "Instrument maker"},
    AttributeRow{"Model", TextAccess{HVZELTA_ATTR_INSTRUMENT_MODEL}, "", "", "Instrument model"},
    AttributeRow{"FirmwareRevision", TextAccess{HVZELTA_ATTR_INSTRUMENT_FIRMWARE_REVISION}, "", "",
                 "Instrument firmware revision"},
    AttributeRow{"DriverRevision", TextAccess{HVZELTA_ATTR_SPECIFIC_DRIVER_REVISION}, "", "", "Driver revision"},
};

long TangoType(const Access& access) {
  struct {
    long operator()(const RealAccess&) const { return Tango::DEV_DOUBLE; }
    long operator()(const EnumAccess&) const { return Tango::DEV_ENUM; }
    long operator()(const BooleanAccess&) const { return Tango::DEV_BOOLEAN; }
    long operator()(const MeasurementAccess&) const { return Tango::DEV_DOUBLE; }
    long operator()(const TextAccess&) const { return Tango::DEV_STRING; }
  } visitor;
  return std::visit(visitor, access);
}

bool Writable(const Access& access) {
  return std::holds_alternative<RealAccess>(access) || std::holds_alternative<EnumAccess>(access) ||
         std::holds_alternative<BooleanAccess>(access);
}

// One Tango attribute for each row; reads and writes go through the row's
// driver functions.
class TableAttribute : public Tango::Attr {
 public:
  TableAttribute(const AttributeRow& row, std::size_t index)
      : Tango::Attr(row.name, TangoType(row.access), Writable(row.access) ? Tango::READ_WRITE : Tango::READ),
        row_(row),
        index_(index) {
    Tango::UserDefaultAttrProp properties;
    properties.set_description(row.description);
    if (row.unit[0] != '\0') properties.set_unit(row.unit);
    if (row.format[0] != '\0') properties.set_format(row.format);
    if (const auto* enumerated = std::get_if<EnumAccess>(&row.access)) {
      std::vector<std::string> labels;
      for (const EnumLabel& label : enumerated->labels) labels.emplace_back(label.label);
      properties.set_enum_labels(labels);
    }
    if (std::holds_alternative<MeasurementAccess>(row.access)) {
      properties.set_event_rel_change(kMeasurementEventPercent);
      properties.set_archive_event_rel_change(kMeasurementEventPercent);
      set_polling_period(kMeasurementPollMilliseconds);
    }
    set_default_properties(properties);
  }

  void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
    auto& source = static_cast<AcSource&>(*device);
    const ViSession vi = source.Session();
    const char* channel = source.OutputName().c_str();
    AttributeBuffer& buffer = source.Buffer(index_);
    if (const auto* real = std::get_if<RealAccess>(&row_.access)) {
      source.Check(real->get(vi, channel, &buffer.real), row_.name);
      attribute.set_value(&buffer.real);
    } else if (const auto* enumerated = std::get_if<EnumAccess>(&row_.access)) {
      ViInt32 value = 0;
      source.Check(enumerated->get(vi, channel, &value), row_.name);
      const auto found = std::find_if(enumerated->labels.begin(), enumerated->labels.end(),
                                      [value](const EnumLabel& label) { return label.value == value; });
      if (found == enumerated->labels.end()) {
        Tango::Except::throw_exception("hvzelta:unknown value",
                                       std::string(row_.name) + ": the driver gave " + std::to_string(value) +
                                           ", which is none of the attribute's labels",
                                       std::string("hvzelta_Get") + row_.name);
      }
      buffer.enumIndex = static_cast<Tango::DevShort>(found - enumerated->labels.begin());
      attribute.set_value(&buffer.enumIndex);
    } else if (const auto* boolean = std::get_if<BooleanAccess>(&row_.access)) {
      ViBoolean value = VI_FALSE;
      source.Check(boolean->get(vi, channel, &value), row_.name);
      buffer.boolean = value != VI_FALSE;
      attribute.set_value(&buffer.boolean);
    } else if (const auto* measurement = std::get_if<MeasurementAccess>(&row_.access)) {
      ViInt32 visaStatus = 0;
      source.Check(hvzelta_Measure(vi, channel, measurement->type, &buffer.real, &visaStatus), "Measure");
      attribute.set_value(&buffer.real);
    } else if (const auto* text = std::get_if<TextAccess>(&row_.access)) {
      std::array<ViChar, kTextSize> value{};
      source.Check(hvzelta_GetAttributeViString(vi, "", text->id, kTextSize, value.data()), row_.name);
      buffer.text = value.data();
      buffer.textPointer = buffer.text.data();
      attribute.set_value(&buffer.textPointer);
    }
  }

  void write(Tango::DeviceImpl* device, Tango::WAttribute& attribute) override {
    auto& source = static_cast<AcSource&>(*device);
    const ViSession vi = source.Session();
    const char* channel = source.OutputName().c_str();
    if (const auto* real = std::get_if<RealAccess>(&row_.access)) {
      Tango::DevDouble value = 0.0;
      attribute.get_write_value(value);
      source.Check(real->set(vi, channel, value), row_.name);
    } else if (const auto* enumerated = std::get_if<EnumAccess>(&row_.access)) {
      Tango::DevShort index = 0;
      attribute.get_write_value(index);
      if (index < 0 || static_cast<std::size_t>(index) >= enumerated->labels.size()) {
        Tango::Except::throw_exception("hvzelta:out of range",
                                       std::string(row_.name) + ": " + std::to_string(index) +
                                           " is no label's index; the labels are numbered from 0 to " +
                                           std::to_string(enumerated->labels.size() - 1),
                                       std::string("hvzelta_Set") + row_.name);
      }
      source.Check(enumerated->set(vi, channel, enumerated->labels[static_cast<std::size_t>(index)].value), row_.name);
    } else if (const auto* boolean = std::get_if<BooleanAccess>(&row_.access)) {
      Tango::DevBoolean value = false;
      attribute.get_write_value(value);
      source.Check(boolean->set(vi, channel, value ? VI_TRUE : VI_FALSE), row_.name);
    }
    // A setting can move the range of others (the voltage range bounds the level).
    AcSourceClass::ApplyInstrumentLimits(source);
  }

 private:
  const AttributeRow& row_;
  std::size_t index_;
};

// ---- Commands ---------------------------------------------------------------------------

using CommandAction = std::function<CORBA::Any*(AcSource&, Tango::Command&, const CORBA::Any&)>;

struct CommandRow {
  const char* name;
  Tango::CmdArgType in;
  Tango::CmdArgType out;
  Tango::DispLevel level;
  const char* inDescription;
  const char* outDescription;
  CommandAction action;
};

CORBA::Any* Reset(AcSource& source, Tango::Command& command, const CORBA::Any&) {
  source.Check(hvzelta_reset(source.Session()), "reset");
  source.ForgetAlarm();
  AcSourceClass::ApplyInstrumentLimits(source);
  return command.insert();
}

// A command without argument or reply whose driver function reports the
// exchange's VISA status besides its own.
CommandAction WithVisaStatus(const char* operation, ViStatus (*call)(ViSession, ViInt32*)) {
  return [operation, call](AcSource& source, Tango::Command& command, const CORBA::Any&) {
    ViInt32 visaStatus = 0;
    source.Check(call(source.Session(), &visaStatus), operation);
    return command.insert();
  };
}

CommandAction SwitchOutput(ViBoolean on) {
  return [on](AcSource& source, Tango::Command& command, const CORBA::Any&) {
    source.Check(hvzelta_SetEnabled(source.Session(), source.OutputName().c_str(), on), "SetEnabled");
    return command.insert();
  };
}

CORBA::Any* SelfTest(AcSource& source, Tango::Command& command, const CORBA::Any&) {
  ViInt16 result = 0;
  std::array<ViChar, kTextSize> message{};
  source.Check(hvzelta_self_test(source.Session(), &result, message.data()), "self_test");
  return command.insert((std::to_string(result) + ", " + message.data()).c_str());
}

CORBA::Any* ErrorQuery(AcSource& source, Tango::Command& command, const CORBA::Any&) {
  ViInt32 code = 0;
  std::array<ViChar, kTextSize> message{};
  source.Check(hvzelta_error_query(source.Session(), &code, message.data()), "error_query");
  return command.insert((std::to_string(code) + ", " + message.data()).c_str());
}

CORBA::Any* ClearProtection(AcSource& source, Tango::Command& command, const CORBA::Any&) {
  ViInt32 visaStatus = 0;
  source.Check(hvzelta_ResetOutputProtection(source.Session(), source.OutputName().c_str(), &visaStatus),
               "ResetOutputProtection");
  source.ForgetAlarm();
  return command.insert();
}

void SendText(AcSource& source, Tango::Command& command, const CORBA::Any& in) {
  const char* text = nullptr;
  command.extract(in, text);
  std::string message = text;
  if (message.empty() || message.back() != '\n') message += '\n';
  ViInt64 written = 0;
  source.Check(hvzelta_viWrite(source.Session(), static_cast<ViInt64>(message.size()),
                               reinterpret_cast<ViConstBuf>(message.data()), &written),
               "viWrite");
}

CORBA::Any* Write(AcSource& source, Tango::Command& command, const CORBA::Any& in) {
  SendText(source, command, in);
  AcSourceClass::ApplyInstrumentLimits(source);
  return command.insert();
}

CORBA::Any* Query(AcSource& source, Tango::Command& command, const CORBA::Any& in) {
  SendText(source, command, in);
  std::string reply(static_cast<std::size_t>(kReplySize), '\0');
  ViInt64 count = 0;
  source.Check(hvzelta_viRead(source.Session(), kReplySize, reinterpret_cast<ViByte*>(reply.data()), &count), "viRead");
  reply.resize(static_cast<std::size_t>(count));
  while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
  return command.insert(reply.c_str());
}

const std::array kCommands{
    CommandRow{"On", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "", SwitchOutput(VI_TRUE)},
    CommandRow{"Off", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "", SwitchOutput(VI_FALSE)},
    CommandRow{"Reset", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "", Reset},
    CommandRow{"SelfTest", Tango::DEV_VOID, Tango::DEV_STRING, Tango::OPERATOR, "", "result code, message", SelfTest},
    CommandRow{"ErrorQuery", Tango::DEV_VOID, Tango::DEV_STRING, Tango::OPERATOR, "",
               "oldest instrument error: code, message (0 when none)", ErrorQuery},
    CommandRow{"Initiate", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "",
               WithVisaStatus("Initiate", hvzelta_Initiate)},
    CommandRow{"Abort", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "",
               WithVisaStatus("Abort", hvzelta_Abort)},
    CommandRow{"SendSoftwareTrigger", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "",
               WithVisaStatus("SendSoftwareTrigger", hvzelta_SendSoftwareTrigger)},
    CommandRow{"ClearProtection", Tango::DEV_VOID, Tango::DEV_VOID, Tango::OPERATOR, "", "", ClearProtection},
    CommandRow{"Query", Tango::DEV_STRING, Tango::DEV_STRING, Tango::EXPERT, "SCPI query", "the instrument's reply",
               Query},
    CommandRow{"Write", Tango::DEV_STRING, Tango::DEV_VOID, Tango::EXPERT, "SCPI command", "", Write},
};

class TableCommand : public Tango::Command {
 public:
  explicit TableCommand(const CommandRow& row)
      : Tango::Command(row.name, row.in, row.out, row.inDescription, row.outDescription, row.level), row_(row) {}

  CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any& in) override {
    return row_.action(static_cast<AcSource&>(*device), *this, in);
  }

 private:
  const CommandRow& row_;
};

}  // namespace

AcSourceClass* AcSourceClass::instance_ = nullptr;

AcSourceClass* AcSourceClass::Init(const char* name) {
  if (instance_ == nullptr) {
    std::string className = name;
    instance_ = new AcSourceClass(className);
  }
  return instance_;
}

std::size_t AcSourceClass::AttributeCount() { return kAttributes.size(); }

void AcSourceClass::ApplyInstrumentLimits(AcSource& source) {
  for (std::size_t index = 0; index < kAttributes.size(); ++index) {
    const AttributeRow& row = kAttributes[index];
    const auto* real = std::get_if<RealAccess>(&row.access);
    if (real == nullptr || real->limits == nullptr) continue;
    ViReal64 minimum = 0.0;
    ViReal64 maximum = 0.0;
    ViInt32 visaStatus = 0;
    source.Check(real->limits(source.Session(), source.OutputName().c_str(), &minimum, &maximum, &visaStatus),
                 row.name);
    AttributeBuffer& buffer = source.Buffer(index);
    if (buffer.limited && buffer.minimum == minimum && buffer.maximum == maximum) continue;
    Tango::WAttribute& attribute = source.get_device_attr()->get_w_attr_by_name(row.name);
    attribute.set_min_value(minimum);
    attribute.set_max_value(maximum);
    buffer.limited = true;
    buffer.minimum = minimum;
    buffer.maximum = maximum;
  }
}

AcSourceClass::AcSourceClass(std::string& className) : Tango::DeviceClass(className) {}

void AcSourceClass::command_factory() {
  for (const CommandRow& row : kCommands) command_list.push_back(new TableCommand(row));
}

void AcSourceClass::attribute_factory(std::vector<Tango::Attr*>& attributes) {
  for (std::size_t index = 0; index < kAttributes.size(); ++index) {
    attributes.push_back(new TableAttribute(kAttributes[index], index));
  }
}

void AcSourceClass::device_factory(const Tango::DevVarStringArray* names) {
  for (CORBA::ULong index = 0; index < names->length(); ++index) {
    std::string deviceName = (*names)[index].in();
    device_list.push_back(new AcSource(this, deviceName));
    // With a database the device's network address is published there; in
    // file-database mode the client reaches it at the ORB end point.
    if (Tango::Util::_UseDb && !Tango::Util::_FileDb) {
      export_device(device_list.back());
    } else {
      export_device(device_list.back(), device_list.back()->get_name().c_str());
    }
  }
}

}  // namespace hvzelta_tango
