// "hvzelta config": writes and shows the IVI configuration store, so that
// nobody edits its XML by hand. Each subcommand is one row of kSubcommands.

#include <charconv>
#include <ostream>
#include <string>
#include <vector>

#include "acpwr/halvorn_zelta.h"
#include "arguments.h"
#include "command.h"
#include "core/config_store.h"
#include "core/option_string.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"
#include "store_editor.h"

namespace hvzelta::cli {
namespace {

struct Subcommand {
  std::string_view name;
  std::size_t positionalCount;
  std::vector<OptionRule> options;  // besides --store
  int (*run)(const Arguments& arguments, const std::string& storePath, Streams& streams);
};

constexpr std::string_view kUsage =
    "usage: hvzelta config SUBCOMMAND [ARGUMENTS] [--store FILE]\n"
    "\n"
    "Writes the IVI configuration store that Initialize reads logical names from:\n"
    "$IVI_CONFIG_STORE, else $IVI_STANDARD_ROOT_DIR/Data/IviConfigurationStore.xml;\n"
    "--store FILE works on another file.\n"
    "\n"
    "subcommands:\n"
    "  init-store\n"
    "      create the store if there is none and add the driver's software module\n"
    "  add-session NAME [--resource DESCRIPTOR] [--simulate BOOL] [--driver-setup TEXT]\n"
    "              [--model MODEL] [--logical-name NAME] [--description TEXT]\n"
    "              [--cache BOOL] [--range-check BOOL] [--query-instr-status BOOL]\n"
    "              [--record-coercions BOOL] [--interchange-check BOOL] [--replace]\n"
    "      add a driver session of this driver; --resource adds its hardware asset,\n"
    "      --model its initial setting \"Model\", --logical-name a logical name for it;\n"
    "      --replace replaces a session of the same name\n"
    "  add-virtual-name SESSION NAME --map-to TARGET [--range MIN-MAX [--start INDEX]]\n"
    "      let NAME stand for TARGET in SESSION; with a range NAME<i> stands for\n"
    "      TARGET<INDEX + i - MIN> for every i from MIN to MAX (INDEX defaults to MIN)\n"
    "  remove NAME\n"
    "      remove the logical name and the driver session NAME, with the session's\n"
    "      logical names and its hardware asset when no other session uses it\n"
    "  list\n"
    "      show the driver sessions and logical names\n"
    "  check\n"
    "      tell whether Initialize can read the store, and if not, why it passes\n"
    "      the file over\n"
    "\n"
    "BOOL is true or false (1 and 0, VI_TRUE and VI_FALSE are read too).\n";

std::string LastStoreError() {
  const ErrorInfo* info = PeekErrorInfo();
  return info ? WideToUtf8(info->description) : std::string("the store reported a failure without a description");
}

int Failure(std::string_view subcommand, Streams& streams) {
  streams.err << "hvzelta config " << subcommand << ": " << LastStoreError() << "\n";
  return kExitFailure;
}

int UsageError(std::string_view subcommand, std::string_view problem, Streams& streams) {
  streams.err << "hvzelta config " << subcommand << ": " << problem << " (see 'hvzelta help config')\n";
  return kExitUsage;
}

std::string Trimmed(std::string_view text) { return std::string(TrimWhiteSpace(text)); }

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int InitStore(const Arguments&, const std::string& storePath, Streams& streams) {
  StoreEditor editor;
  if (Failed(editor.Open(storePath))) return Failure("init-store", streams);
  const HRESULT added = editor.EnsureSoftwareModule();
  if (Failed(added)) return Failure("init-store", streams);
  if ((added == S_OK || editor.IsNew()) && Failed(editor.Save())) return Failure("init-store", streams);
  streams.out << (editor.IsNew() ? "created " : "") << storePath << ": software module "
              << (added == S_OK ? "added" : "present") << "\n";
  return kExitSuccess;
}

int AddSession(const Arguments& arguments, const std::string& storePath, Streams& streams) {
  NewSession session;
  // Names are trimmed as the reader trims them, so that what is written can be found.
  session.name = Trimmed(arguments.Positional()[0]);
  session.resource = arguments.Value("resource").value_or("");
  session.driverSetup = arguments.Value("driver-setup").value_or("");
  session.model = arguments.Value("model").value_or("");
  session.logicalName = Trimmed(arguments.Value("logical-name").value_or(""));
  session.description = arguments.Value("description").value_or("");
  if (session.name.empty()) return UsageError("add-session", "the session needs a name", streams);
  for (std::size_t i = 0; i < kSessionSettings.size(); ++i) {
    const SessionSetting& setting = kSessionSettings[i];
    session.settings[i] = setting.defaultValue;
    const std::optional<std::string> text = arguments.Value(setting.option);
    if (!text) continue;
    const std::optional<bool> value = ParseOptionBoolean(*text);
    if (!value) {
      return UsageError("add-session", "--" + std::string(setting.option) + " takes true or false, not '" + *text + "'",
                        streams);
    }
    session.settings[i] = *value;
  }
  StoreEditor editor;
  if (Failed(editor.Open(storePath)) || Failed(editor.AddSession(session, arguments.Has("replace"))) ||
      Failed(editor.Save())) {
    return Failure("add-session", streams);
  }
  streams.out << "added driver session '" << session.name << "' to " << storePath << "\n";
  return kExitSuccess;
}

int AddVirtualName(const Arguments& arguments, const std::string& storePath, Streams& streams) {
  NewVirtualName virtualName;
  virtualName.name = Trimmed(arguments.Positional()[1]);
  virtualName.mapTo = Trimmed(arguments.Value("map-to").value_or(""));
  if (virtualName.name.empty()) return UsageError("add-virtual-name", "the virtual name needs a name", streams);
  if (virtualName.mapTo.empty()) return UsageError("add-virtual-name", "--map-to TARGET is required", streams);
  if (const std::optional<std::string> range = arguments.Value("range")) {
    // MIN-MAX with MIN, MAX >= 0; the dash between them is the first one after MIN's digits.
    const std::size_t dash = range->find('-', 1);
    const std::optional<std::int32_t> minimum = ParseInt32(std::string_view(*range).substr(0, dash));
    const std::optional<std::int32_t> maximum =
        dash == std::string::npos ? std::nullopt : ParseInt32(std::string_view(*range).substr(dash + 1));
    if (!minimum || !maximum || *minimum > *maximum) {
      return UsageError("add-virtual-name", "--range takes MIN-MAX with MIN <= MAX, not '" + *range + "'", streams);
    }
    std::optional<std::int32_t> start = *minimum;
    if (const std::optional<std::string> text = arguments.Value("start")) start = ParseInt32(*text);
    if (!start) return UsageError("add-virtual-name", "--start takes an integer", streams);
    virtualName.range = NewVirtualName::Range{*minimum, *maximum, *start};
  } else if (arguments.Has("start")) {
    return UsageError("add-virtual-name", "--start needs --range", streams);
  }
  StoreEditor editor;
  if (Failed(editor.Open(storePath))) return Failure("add-virtual-name", streams);
  if (editor.IsNew()) {
    streams.err << "hvzelta config add-virtual-name: there is no store at " << storePath << "\n";
    return kExitFailure;
  }
  if (Failed(editor.AddVirtualName(Trimmed(arguments.Positional()[0]), virtualName)) || Failed(editor.Save())) {
    return Failure("add-virtual-name", streams);
  }
  streams.out << "added virtual name '" << virtualName.name << "' to driver session '" << arguments.Positional()[0] << "'\n";
  return kExitSuccess;
}

int Remove(const Arguments& arguments, const std::string& storePath, Streams& streams) {
  const std::string name = Trimmed(arguments.Positional()[0]);
  StoreEditor editor;
  if (Failed(editor.Open(storePath))) return Failure("remove", streams);
  const HRESULT hr = editor.IsNew() ? S_FALSE : editor.Remove(name);
  if (Failed(hr) || (hr == S_OK && Failed(editor.Save()))) return Failure("remove", streams);
  if (hr == S_FALSE) {
    streams.err << "hvzelta config remove: " << storePath << " has no driver session or logical name '" << name
                << "'\n";
    return kExitFailure;
  }
  streams.out << "removed '" << name << "' from " << storePath << "\n";
  return kExitSuccess;
}

// One driver session as list shows it; false when part of it cannot be read.
bool PrintSession(const ConfigStore& store, const StoreEntry& session, std::ostream& out) {
  bool readable = true;
  const auto note = [&](HRESULT hr) {
    if (Failed(hr)) {
      out << "    unreadable: " << LastStoreError() << "\n";
      readable = false;
    }
    return Succeeded(hr);
  };
  out << "  " << session.Name() << "\n";

  std::vector<StoreEntry> logicalNames;
  if (note(store.Root().Entries(store::kLogicalNames, logicalNames))) {
    std::string names;
    for (const StoreEntry& logicalName : logicalNames) {
      StoreEntry target;
      if (Failed(logicalName.Reference("Session", store::kDriverSessions, target))) ClearErrorInfo();
      if (target.Node() == session.Node()) names += (names.empty() ? "" : ", ") + logicalName.Name();
    }
    if (!names.empty()) out << "    logical names:  " << names << "\n";
  }
  StoreEntry module;
  if (note(session.Reference("SoftwareModule", store::kSoftwareModules, module)) && module) {
    out << "    module:         " << module.Name() << "\n";
  }
  StoreEntry asset;
  std::string resource;
  if (note(session.Reference("HardwareAsset", store::kHardwareAssets, asset)) && asset &&
      note(asset.Text("IOResourceDescriptor", resource))) {
    out << "    resource:       " << resource << "\n";
  }
  std::string settings;
  for (const SessionSetting& setting : kSessionSettings) {
    bool value = false;
    if (!note(session.Boolean(setting.property, value))) break;
    settings += std::string(settings.empty() ? "" : " ") + std::string(setting.property) + "=" + (value ? "true" : "false");
  }
  out << "    settings:       " << settings << "\n";
  std::string driverSetup;
  if (note(session.Text("DriverSetup", driverSetup)) && !driverSetup.empty()) {
    out << "    driver setup:   " << driverSetup << "\n";
  }
  StoreEntry initial;
  std::vector<StoreEntry> values;
  if (note(session.DataComponent(store::kConfigurableInitialSettings, initial)) &&
      note(initial.Entries(store::kDataComponents, values))) {
    for (const StoreEntry& value : values) {
      std::string text;
      value.OptionalText("Value", text);
      out << "    initial setting: " << value.Name() << " = " << text << " (" << value.DataComponentType() << ")\n";
    }
  }
  std::vector<StoreEntry> virtualNames;
  if (note(session.Entries("VirtualNames", virtualNames))) {
    for (const StoreEntry& virtualName : virtualNames) {
      std::string mapTo;
      virtualName.OptionalText("MapTo", mapTo);
      std::vector<StoreEntry> ranges;
      std::string rangeText;
      if (note(virtualName.Entries("VirtualRanges", ranges))) {
        for (const StoreEntry& range : ranges) {
          std::string minimum, maximum, start;
          range.OptionalText("Min", minimum);
          range.OptionalText("Max", maximum);
          range.OptionalText("StartingPhysicalIndex", start);
          rangeText += " [" + minimum + "-" + maximum + " from " + start + "]";
        }
      }
      out << "    virtual name:   " << virtualName.Name() << rangeText << " -> " << mapTo << "\n";
    }
  }
  return readable;
}

int List(const Arguments&, const std::string& storePath, Streams& streams) {
  ConfigStore store;
  const HRESULT opened = store.Open(storePath);
  if (Failed(opened)) return Failure("list", streams);
  if (opened == S_FALSE) {
    streams.out << "no store at " << (storePath.empty() ? std::string("(no location)") : storePath) << "\n";
    return kExitSuccess;
  }
  std::vector<StoreEntry> sessions;
  if (Failed(store.Root().Entries(store::kDriverSessions, sessions))) return Failure("list", streams);
  streams.out << storePath << "\n";
  StoreEntry module;
  const std::string_view identifier = HalvornZelta::kConstants.identifier;
  const bool hasModule = store.FindByName(store::kSoftwareModules, identifier, module) == S_OK;
  streams.out << "software module " << identifier << ": " << (hasModule ? "present" : "missing (run 'hvzelta config init-store')")
              << "\ndriver sessions:" << (sessions.empty() ? " none" : "") << "\n";
  bool readable = true;
  for (const StoreEntry& session : sessions) readable = PrintSession(store, session, streams.out) && readable;
  return readable ? kExitSuccess : kExitFailure;
}

// Initialize passes over a file it cannot read as a store and takes every
// resource name as an address; this says so, and why.
int Check(const Arguments&, const std::string& storePath, Streams& streams) {
  ConfigStore store;
  const HRESULT opened = store.Open(storePath);
  if (opened == S_FALSE) {
    streams.out << "no store at " << (storePath.empty() ? std::string("(no location)") : storePath)
                << ": resource names are taken as addresses\n";
    return kExitSuccess;
  }
  if (Failed(opened)) {
    streams.err << "hvzelta config check: " << LastStoreError()
                << "\nInitialize passes this file over and takes every resource name as an address; "
                   "repair the file or remove it\n";
    return kExitFailure;
  }
  std::vector<StoreEntry> sessions;
  if (Failed(store.Root().Entries(store::kDriverSessions, sessions))) return Failure("check", streams);
  streams.out << storePath << ": readable, " << sessions.size() << " driver session(s)\n";
  return kExitSuccess;
}

const std::vector<OptionRule> kSessionOptions = [] {
  std::vector<OptionRule> options{{"resource", true},     {"driver-setup", true}, {"model", true},
                                  {"logical-name", true}, {"description", true}, {"replace", false}};
  for (const SessionSetting& setting : kSessionSettings) options.push_back({setting.option, true});
  return options;
}();

const Subcommand kSubcommands[] = {
    {"init-store", 0, {}, &InitStore},
    {"add-session", 1, kSessionOptions, &AddSession},
    {"add-virtual-name", 2, {{"map-to", true}, {"range", true}, {"start", true}}, &AddVirtualName},
    {"remove", 1, {}, &Remove},
    {"list", 0, {}, &List},
    {"check", 0, {}, &Check},
};

int RunConfig(std::span<const std::string_view> words, Streams& streams) {
  if (words.empty()) {
    streams.err << kUsage;
    return kExitUsage;
  }
  for (const Subcommand& subcommand : kSubcommands) {
    if (subcommand.name != words.front()) continue;
    std::vector<OptionRule> options = subcommand.options;
    options.push_back({"store", true});
    Arguments arguments;
    std::string error;
    if (!arguments.Parse(words.subspan(1), options, error)) return UsageError(subcommand.name, error, streams);
    if (arguments.Positional().size() != subcommand.positionalCount) {
      return UsageError(subcommand.name,
                        "takes " + std::to_string(subcommand.positionalCount) + " argument(s), not " +
                            std::to_string(arguments.Positional().size()),
                        streams);
    }
    const std::string storePath = arguments.Value("store").value_or(ConfigStoreLocation());
    return subcommand.run(arguments, storePath, streams);
  }
  streams.err << "hvzelta config: unknown subcommand '" << words.front() << "' (see 'hvzelta help config')\n";
  return kExitUsage;
}

}  // namespace

const Command kConfigCommand{"config", "write and show the IVI configuration store (sessions, logical names)", kUsage,
                             &RunConfig};

}  // namespace hvzelta::cli
