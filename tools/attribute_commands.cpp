// "hvzelta get", "hvzelta set" and "hvzelta attributes": any attribute of the
// C interface by its header name, its value in the attribute's own type.

#include <cstdio>
#include <ostream>

#include "attribute_value.h"
#include "instrument_command.h"
#include "json_output.h"

namespace hvzelta::cli {
namespace {

constexpr std::string_view kNameHelp =
    "NAME is the attribute's name as the C header spells it, with or without\n"
    "HVZELTA_ATTR_ (VOLTAGE_LEVEL, HVZELTA_ATTR_OUTPUT_CURRENT_LIMIT), in any case,\n"
    "or its number; 'hvzelta attributes' lists them. OUTPUT_VOLTAGE_LEVEL, the\n"
    "header's second name of the voltage level, is read as VOLTAGE_LEVEL.\n";

const std::string kGetUsage = InstrumentUsage("get NAME [-c CHANNEL]",
                                              "Reads one attribute and prints its value; a value of an enumeration\n"
                                              "as its name (IMMEDIATE, AC_ONLY). " +
                                                  std::string(kNameHelp),
                                              true);

const std::string kSetUsage =
    InstrumentUsage("set NAME VALUE [-c CHANNEL]",
                    "Writes one attribute. VALUE is read by the attribute's type: a whole number\n"
                    "or the name of one of its values for ViInt32 (IMMEDIATE, TRIGGER_SOURCE_IMMEDIATE\n"
                    "and HVZELTA_VAL_TRIGGER_SOURCE_IMMEDIATE are the same), a number for ViReal64,\n"
                    "true/false/on/off/1/0 for ViBoolean, any text for ViString. With --json the\n"
                    "value written is printed. " +
                        std::string(kNameHelp),
                    true);


void PrintValue(InstrumentCommand& command, const AttributeInfo& attribute, const std::string& channel,
                const AttributeValue& value) {
  if (!command.Json()) {
    command.Out() << FormatAttributeValue(attribute, value) << "\n";
    return;
  }
  Json document{{"attribute", attribute.name},
                {"id", attribute.id},
                {"type", TypeName(attribute.type)},
                {"channel", attribute.channel == ChannelKind::None ? Json() : Json(channel)},
                {"value", AttributeJson(value)}};
  if (const std::string_view name = ValueName(attribute, value); !name.empty()) document["valueName"] = name;
  PrintJson(command.Out(), document);
}

int Get(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("get", streams);
  if (!command.Parse(words, true)) return kExitUsage;
  if (command.Positional().size() != 1) return command.UsageError("give one attribute name");
  const AttributeInfo* attribute = command.Attribute(command.Positional()[0]);
  if (!attribute) return kExitUsage;

  InstrumentSession session;
  if (const int status = command.Open(session)) return status;
  const auto channel = command.ChannelFor(session, attribute->channel);
  if (!channel) return command.FailureExit();
  AttributeValue value;
  if (!command.Check(session, session.Read(*attribute, *channel, value), "reading " + attribute->name)) {
    return command.FailureExit();
  }
  PrintValue(command, *attribute, *channel, value);
  return kExitSuccess;
}

int Set(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("set", streams);
  if (!command.Parse(words, true)) return kExitUsage;
  if (command.Positional().size() != 2) return command.UsageError("give an attribute name and a value");
  const AttributeInfo* attribute = command.Attribute(command.Positional()[0]);
  if (!attribute) return kExitUsage;
  std::string problem;
  const auto value = ParseAttributeValue(*attribute, command.Positional()[1], problem);
  if (!value)
    return command.UsageError(problem + " (" + attribute->name + " is " + std::string(TypeName(attribute->type)) + ")");

  InstrumentSession session;
  if (const int status = command.Open(session)) return status;
  const auto channel = command.ChannelFor(session, attribute->channel);
  if (!channel) return command.FailureExit();
  if (!command.Check(session, session.Write(*attribute, *channel, *value), "writing " + attribute->name)) {
    return command.FailureExit();
  }
  if (command.Json()) PrintValue(command, *attribute, *channel, *value);
  return kExitSuccess;
}

std::string ValueNames(const AttributeInfo& attribute) {
  std::string names;
  if (attribute.valuePrefix.empty()) return names;
  for (const Symbol& symbol : Enumeration(attribute.valuePrefix)) {
    names += (names.empty() ? "" : ", ") + std::string(symbol.name);
  }
  return names;
}

int List(std::span<const std::string_view> words, Streams& streams) {
  // The session options are taken and ignored, so that an alias such as
  // "hvzelta -r RESOURCE" serves this command too.
  static constexpr OptionRule kOptions[] = {{"json", false},
                                            {"resource", true, 'r'},
                                            {"options", true, 'o'},
                                            {"channel", true, 'c'},
                                            {"no-status-check", false}};
  Arguments arguments;
  std::string error;
  if (!arguments.Parse(words, kOptions, error) || !arguments.Positional().empty()) {
    if (error.empty()) error = "unexpected argument '" + arguments.Positional().front() + "'";
    streams.err << "hvzelta attributes: " << error << " (see 'hvzelta help attributes')\n";
    return kExitUsage;
  }
  if (!arguments.Has("json")) {
    char line[160];
    std::snprintf(line, sizeof line, "%-42s %-8s %-10s %-11s %-7s %s\n", "NAME", "ID", "TYPE", "ACCESS", "CHANNEL",
                  "VALUES");
    streams.out << line;
    for (const AttributeInfo& attribute : Attributes()) {
      std::snprintf(line, sizeof line, "%-42s %-8u %-10s %-11s %-7s ", attribute.name.c_str(), attribute.id,
                    TypeName(attribute.type).data(), AccessName(attribute).data(),
                    ChannelKindName(attribute.channel).data());
      std::string text = line + ValueNames(attribute);
      text.erase(text.find_last_not_of(' ') + 1);
      streams.out << text << "\n";
    }
    return kExitSuccess;
  }
  Json list = Json::array();
  for (const AttributeInfo& attribute : Attributes()) {
    Json entry{{"name", attribute.name},
               {"id", attribute.id},
               {"type", TypeName(attribute.type)},
               {"access", AccessName(attribute)},
               {"channel", ChannelKindName(attribute.channel)}};
    if (!attribute.valuePrefix.empty()) {
      Json& values = entry["values"] = Json::object();
      for (const Symbol& symbol : Enumeration(attribute.valuePrefix)) values[std::string(symbol.name)] = symbol.value;
    }
    list.push_back(std::move(entry));
  }
  PrintJson(streams.out, list);
  return kExitSuccess;
}

}  // namespace

const Command kGetCommand{"get", "read an attribute", kGetUsage, &Get, true};
const Command kSetCommand{"set", "write an attribute", kSetUsage, &Set, true};
const Command kAttributesCommand{"attributes", "list the attributes with their types, access and channels",
                                 "usage: hvzelta attributes [--json]\n"
                                 "\n"
                                 "Lists every attribute 'get' and 'set' take: its name, number, type, access,\n"
                                 "the kind of channel it belongs to (output, phase or none) and, for an\n"
                                 "enumeration, the names of its values. Needs no instrument: -r, -o and -c\n"
                                 "are ignored.\n",
                                 &List, true};

}  // namespace hvzelta::cli
