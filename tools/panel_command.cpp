// "hvzelta panel": a soft front panel in the browser, served by the tool
// over one session shared by every page that opens it.

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ostream>
#include <thread>

#include "instrument_command.h"
#include "json_output.h"
#include "panel_server.h"
#include "stop_signals.h"

extern char** environ;

namespace hvzelta::cli {
namespace {

constexpr OptionRule kPanelOptions[] = {{"listen", true}, {"no-browser", false}, {"token", false}};

// Opens `url` in the desktop's browser when there is a desktop; whether it
// worked is for the person at it to see (the URL is printed anyway).
void OpenBrowser(const std::string& url) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return;
  const char* arguments[] = {"xdg-open", url.c_str(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(arguments), environ) != 0) return;
  std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

int Panel(std::span<const std::string_view> words, Streams& streams) {
  InstrumentCommand command("panel", streams);
  if (!command.Parse(words, false, kPanelOptions)) return kExitUsage;
  if (!command.Positional().empty()) return command.UsageError("'" + command.Positional().front() + "' is no option of panel");
  std::string error;
  const auto address = ParseListenAddress(command.Value("listen").value_or("127.0.0.1:0"), error);
  if (!address) return command.UsageError(error);

  // Blocked before any thread starts, so that only the wait below sees them.
  const zta_sim::StopSignals stopSignals;
  InstrumentSession session;
  if (const int status = command.Open(session)) return status;
  PanelInstrument instrument(session);
  PanelServer server(instrument, *address, command.Has("token"));
  if (!server.Start(error)) {
    streams.err << "hvzelta panel: " << error << "\n";
    return kExitFailure;
  }
  if (!address->loopback) {
    streams.err << "hvzelta panel: listening beyond this machine; the page needs the token in its URL\n";
  }
  if (command.Json()) {
    PrintJson(streams.out, {{"url", server.Url()}});
    streams.out.flush();
  } else {
    streams.out << server.Url() << std::endl;
  }
  if (!command.Has("no-browser")) OpenBrowser(server.Url());
  stopSignals.Wait();
  server.Stop();
  return kExitSuccess;
}

const std::string kUsage = InstrumentUsage(
    "panel [--listen ADDRESS:PORT] [--no-browser] [--token]",
    "Serves a soft front panel of the instrument as a web page and prints its URL on\n"
    "a line of its own: identity, output, settings with their MIN and MAX, the live\n"
    "measurements, a chart of voltage, current and power, the protection state and\n"
    "the error queue. Every page opened on it shares the one session. Runs until\n"
    "SIGINT (Ctrl-C) or SIGTERM. With --json the URL comes as {\"url\": ...}.\n"
    "  --listen ADDRESS:PORT    where to serve (default 127.0.0.1:0, a free port);\n"
    "                           an address beyond loopback needs the printed token\n"
    "  --token                  require a token on loopback too (other users of\n"
    "                           this machine reach loopback)\n"
    "  --no-browser             do not open the page in the desktop's browser\n",
    false);

}  // namespace

const Command kPanelCommand{"panel", "serve a soft front panel in the browser", kUsage, &Panel, true};

}  // namespace hvzelta::cli
