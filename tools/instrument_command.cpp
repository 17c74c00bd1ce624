#include "instrument_command.h"

#include <ostream>
#include <vector>

#include "core/option_string.h"
#include "progress.h"

namespace hvzelta::cli {

namespace {

// --channel comes last: the subcommands without a channel take the others.
constexpr OptionRule kOptions[] = {{"resource", true, 'r'},
                                   {"options", true, 'o'},
                                   {"json", false},
                                   {"no-status-check", false},
                                   {"channel", true, 'c'}};

// The value of option `name` in the option string, read the way the driver
// reads it; nullopt when it is not there.
std::optional<std::string> OptionValue(std::string_view optionString, std::string_view name) {
  for (const OptionPair& pair : ParseOptionPairs(SplitDriverSetup(optionString).options)) {
    if (EqualsIgnoringCase(pair.name, name)) return std::string(pair.value);
  }
  return std::nullopt;
}

// Whether the option string names Simulate other than false; a value the
// driver does not understand is for it to refuse in its own words.
bool AsksForSimulation(std::string_view optionString) {
  const auto value = OptionValue(optionString, "Simulate");
  return value && ParseOptionBoolean(*value).value_or(true);
}

void PrintInstrumentErrors(std::ostream& err, const std::vector<InstrumentError>& errors) {
  for (const InstrumentError& error : errors) {
    err << "  instrument error " << error.code << ", \"" << error.message << "\"\n";
  }
}

}  // namespace

std::string SessionOptions(std::string_view options, bool checkStatus) {
  if (OptionValue(options, "QueryInstrStatus")) return std::string(options);
  const std::string named = checkStatus ? "QueryInstrStatus=true" : "QueryInstrStatus=false";
  return options.empty() ? named : named + ", " + std::string(options);
}

std::string InstrumentUsage(std::string_view synopsis, std::string_view description, bool takesChannel) {
  std::string usage = "usage: hvzelta [-r RESOURCE] [-o OPTIONS] [--json] " + std::string(synopsis) + "\n\n" +
                      std::string(description) +
                      "\n"
                      "  -r, --resource RESOURCE  the instrument: a VISA resource string or a logical name\n"
                      "                           (may be left out with -o Simulate=true)\n"
                      "  -o, --options OPTIONS    the driver's option string, e.g. \"Simulate=true\" or\n"
                      "                           \"Cache=false, DriverSetup=Model=ZTA300\"\n"
                      "  --no-status-check        do not ask the instrument after each command whether it\n"
                      "                           took it (QueryInstrStatus=true is the tool's default)\n";
  if (takesChannel) {
    usage +=
        "  -c, --channel NAME       the output (\"Output1\") or output phase (\"OutputPhase1\"), or a\n"
        "                           list or range of them; default: the first one\n";
  }
  usage +=
      "  --json                   print one JSON document instead of text\n"
      "  --io-log[=FILE]          log the messages exchanged with the instrument to standard\n"
      "                           error, or append them to FILE\n";
  return usage;
}

bool InstrumentCommand::Parse(std::span<const std::string_view> words, bool takesChannel,
                              std::span<const OptionRule> ownOptions) {
  const auto sessionOptions = takesChannel ? std::span(kOptions) : std::span(kOptions).first(4);
  std::vector<OptionRule> options(sessionOptions.begin(), sessionOptions.end());
  options.insert(options.end(), ownOptions.begin(), ownOptions.end());
  std::string error;
  if (!arguments_.Parse(words, options, error)) {
    UsageError(error);
    return false;
  }
  return true;
}

int InstrumentCommand::UsageError(std::string_view problem) {
  streams_.err << "hvzelta " << name_ << ": " << problem << " (see 'hvzelta help " << name_ << "')\n";
  return kExitUsage;
}

const AttributeInfo* InstrumentCommand::Attribute(std::string_view text) {
  const AttributeInfo* attribute = FindAttribute(text);
  if (attribute) return attribute;
  ViChar message[256] = {};
  hvzelta_error_message(VI_NULL, HVZELTA_ERROR_INVALID_ATTRIBUTE, message);
  std::string description = message;
  if (const std::size_t placeholder = description.find("%1"); placeholder != std::string::npos) {
    description.replace(placeholder, 2, text);
  }
  streams_.err << "hvzelta " << name_ << ": " << description;
  if (const std::string_view nearest = NearestAttributeName(text); !nearest.empty()) {
    streams_.err << (description.ends_with('.') ? " Did you mean " : "; did you mean ") << nearest << "?";
  }
  streams_.err << " ('hvzelta attributes' lists them)\n";
  return nullptr;
}

int InstrumentCommand::Open(InstrumentSession& session, bool pollStatus) {
  if (!arguments_.Has("resource") && !AsksForSimulation(arguments_.Value("options").value_or(""))) {
    return UsageError("name the instrument with -r RESOURCE (or simulate it with -o Simulate=true)");
  }
  const std::string resource = arguments_.Value("resource").value_or(std::string(kSimulationResource));
  const std::string options = SessionOptions(arguments_.Value("options").value_or(""), pollStatus && ChecksStatus());
  ViStatus status = VI_SUCCESS;
  {
    const Progress progress("opening " + resource);
    status = session.Open(resource, options);
  }
  return Check(session, status, "opening " + resource) ? kExitSuccess : kExitNoSession;
}

bool InstrumentCommand::Check(const InstrumentSession& session, ViStatus status, std::string_view doing) {
  if (status == VI_SUCCESS) return true;
  streams_.err << "hvzelta " << name_ << ": " << (status > 0 ? "warning: " : "") << doing << ": "
               << session.Description(status) << "\n";
  if (status == HVZELTA_ERROR_INSTRUMENT_STATUS) {
    instrumentReported_ = true;
    std::vector<InstrumentError> errors;
    session.ReadErrorQueue(errors);
    PrintInstrumentErrors(streams_.err, errors);
  }
  return status > 0;
}

bool InstrumentCommand::CheckErrorQueue(const InstrumentSession& session, std::string_view doing) {
  if (!ChecksStatus()) return true;
  std::vector<InstrumentError> errors;
  if (!Check(session, session.ReadErrorQueue(errors), "reading the error queue")) return false;
  if (errors.empty()) return true;
  instrumentReported_ = true;
  streams_.err << "hvzelta " << name_ << ": " << doing << ": the instrument reported errors\n";
  PrintInstrumentErrors(streams_.err, errors);
  return false;
}

std::optional<std::string> InstrumentCommand::ChannelFor(const InstrumentSession& session, ChannelKind kind) {
  if (const auto named = Channel()) return named;
  std::string first;
  if (!Check(session, session.FirstChannel(kind, first), "finding the first channel")) return std::nullopt;
  return first;
}

}  // namespace hvzelta::cli
