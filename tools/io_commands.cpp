// "hvzelta query" and "hvzelta write": one SCPI message straight to the
// instrument, for what the driver has no function for.

#include <ostream>
#include <vector>

#include "instrument_command.h"
#include "json_output.h"

namespace hvzelta::cli {
namespace {

// A reply longer than this is cut; the driver drops the rest of it.
constexpr ViInt64 kLargestReply = 1 << 20;

// The message as the instrument expects it: ended by a newline.
std::string Terminated(const std::string& message) { return message.ends_with('\n') ? message : message + "\n"; }

bool Send(InstrumentCommand& command, const InstrumentSession& session, const std::string& message) {
  const std::string bytes = Terminated(message);
  ViInt64 written = 0;
  return command.Check(session,
                       hvzelta_viWrite(session.Handle(), static_cast<ViInt64>(bytes.size()),
                                       reinterpret_cast<ViConstBuf>(bytes.data()), &written),
                       "writing \"" + message + "\"");
}

int Io(bool query, std::span<const std::string_view> words, Streams& streams) {
  const std::string_view name = query ? "query" : "write";
  InstrumentCommand command(name, streams);
  if (!command.Parse(words, false)) return kExitUsage;
  if (command.Positional().size() != 1) return command.UsageError("give one SCPI message (quote it)");
  const std::string& message = command.Positional()[0];
  if (message.empty()) return command.UsageError("the SCPI message is empty");

  InstrumentSession session;
  if (const int status = command.Open(session)) return status;
  if (!Send(command, session, message)) return command.FailureExit();
  std::string reply;
  if (query) {
    std::vector<ViByte> buffer(static_cast<std::size_t>(kLargestReply));
    ViInt64 count = 0;
    if (!command.Check(session, hvzelta_viRead(session.Handle(), kLargestReply, buffer.data(), &count),
                       "reading the reply to \"" + message + "\"")) {
      // A query the instrument refused has no reply; its error queue says why.
      command.CheckErrorQueue(session, "sending \"" + message + "\"");
      return command.FailureExit();
    }
    if (count == kLargestReply) {
      streams.err << "hvzelta query: warning: the reply was cut after " << kLargestReply << " bytes\n";
    }
    reply.assign(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
  }
  if (!command.CheckErrorQueue(session, "sending \"" + message + "\"")) return command.FailureExit();
  if (command.Json()) {
    Json document{{"message", message}};
    if (query) document["reply"] = reply;
    PrintJson(command.Out(), document);
  } else if (query) {
    command.Out() << reply << "\n";
  }
  return kExitSuccess;
}

const std::string kQueryUsage =
    InstrumentUsage("query \"SCPI?\"",
                    "Sends one SCPI message and prints the instrument's reply (without its\n"
                    "terminator). A newline is added to the message when it has none. The\n"
                    "instrument's error queue is read afterwards (unless --no-status-check):\n"
                    "exit status 3 when the instrument refused the message.\n",
                    false);
const std::string kWriteUsage =
    InstrumentUsage("write \"SCPI\"",
                    "Sends one SCPI message that has no reply, then reads the instrument's error\n"
                    "queue (unless --no-status-check): exit status 3 when the instrument refused it.\n",
                    false);

}  // namespace

const Command kQueryCommand{
    "query", "send a SCPI query and print the reply", kQueryUsage,
    [](std::span<const std::string_view> words, Streams& streams) { return Io(true, words, streams); }, true};
const Command kWriteCommand{
    "write", "send a SCPI command", kWriteUsage,
    [](std::span<const std::string_view> words, Streams& streams) { return Io(false, words, streams); }, true};

}  // namespace hvzelta::cli
