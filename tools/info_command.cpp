// "hvzelta info": who the driver and the instrument are and how the session
// is set up, read through the identity and operation attributes.

#include <cstdio>
#include <ostream>

#include "attribute_value.h"
#include "instrument_command.h"
#include "json_output.h"

namespace hvzelta::cli {
namespace {

struct InfoRow {
  std::string_view section;
  std::string_view key;    // the JSON member
  std::string_view label;  // the text line
  ViAttr attribute;
};

constexpr InfoRow kRows[] = {
    {"driver", "prefix", "prefix", HVZELTA_ATTR_SPECIFIC_DRIVER_PREFIX},
    {"driver", "vendor", "vendor", HVZELTA_ATTR_SPECIFIC_DRIVER_VENDOR},
    {"driver", "description", "description", HVZELTA_ATTR_SPECIFIC_DRIVER_DESCRIPTION},
    {"driver", "revision", "revision", HVZELTA_ATTR_SPECIFIC_DRIVER_REVISION},
    {"driver", "classMajorVersion", "class major version",
     HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION},
    {"driver", "classMinorVersion", "class minor version",
     HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION},
    {"driver", "supportedModels", "supported models", HVZELTA_ATTR_SUPPORTED_INSTRUMENT_MODELS},
    {"driver", "groupCapabilities", "group capabilities", HVZELTA_ATTR_GROUP_CAPABILITIES},
    {"instrument", "manufacturer", "manufacturer", HVZELTA_ATTR_INSTRUMENT_MANUFACTURER},
    {"instrument", "model", "model", HVZELTA_ATTR_INSTRUMENT_MODEL},
    {"instrument", "firmwareRevision", "firmware revision", HVZELTA_ATTR_INSTRUMENT_FIRMWARE_REVISION},
    {"instrument", "outputCount", "outputs", HVZELTA_ATTR_OUTPUT_COUNT},
    {"instrument", "phaseCount", "output phases", HVZELTA_ATTR_OUTPUT_PHASE_COUNT},
    {"session", "resource", "resource", HVZELTA_ATTR_IO_RESOURCE_DESCRIPTOR},
    {"session", "logicalName", "logical name", HVZELTA_ATTR_LOGICAL_NAME},
    {"session", "simulate", "simulate", HVZELTA_ATTR_SIMULATE},
    {"session", "rangeCheck", "range check", HVZELTA_ATTR_RANGE_CHECK},
    {"session", "cache", "cache", HVZELTA_ATTR_CACHE},
    {"session", "queryInstrumentStatus", "query instrument status", HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS},
    {"session", "recordCoercions", "record coercions", HVZELTA_ATTR_RECORD_COERCIONS},
    {"session", "interchangeCheck", "interchange check", HVZELTA_ATTR_INTERCHANGE_CHECK},
    {"session", "driverSetup", "driver setup", HVZELTA_ATTR_DRIVER_SETUP},
};

int Info(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("info", streams);
  if (!command.Parse(words, false)) return kExitUsage;
  if (!command.Positional().empty()) return command.UsageError("info takes no arguments");
  InstrumentSession session;
  if (const int status = command.Open(session)) return status;

  Json document = Json::object();
  std::string_view section;
  bool complete = true;
  for (const InfoRow& row : kRows) {
    if (row.section != section) {
      section = row.section;
      if (!command.Json()) {
        command.Out() << static_cast<char>(section[0] - 'a' + 'A') << section.substr(1) << "\n";
      }
    }
    const AttributeInfo& attribute = AttributeById(row.attribute);
    AttributeValue value;
    const bool read = command.Check(session, session.Read(attribute, "", value), "reading " + attribute.name);
    complete = complete && read;
    if (command.Json()) {
      document[section][row.key] = read ? AttributeJson(value) : Json();
    } else if (read) {
      char label[32];
      std::snprintf(label, sizeof label, "  %-26s", row.label.data());
      command.Out() << label << FormatAttributeValue(attribute, value) << "\n";
    }
  }
  if (command.Json()) PrintJson(command.Out(), document);
  return complete ? kExitSuccess : command.FailureExit();
}

const std::string kUsage =
    InstrumentUsage("info",
                    "Shows the driver's identity (prefix, vendor, revision, supported models), the\n"
                    "instrument's (manufacturer, model, firmware revision, outputs and phases) and\n"
                    "the session: resource, logical name and the options in effect.\n",
                    false);

}  // namespace

const Command kInfoCommand{"info", "show the driver, the instrument and the session's options", kUsage, &Info, true};

}  // namespace hvzelta::cli
