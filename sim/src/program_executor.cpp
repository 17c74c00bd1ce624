#include "program_executor.h"

#include <algorithm>
#include <array>

#include "command_table.h"
#include "program_message.h"

namespace zta_sim {

namespace {

// More response data than this for one message means a client that queues
// queries without reading: the response is dropped as deadlocked.
constexpr std::size_t kMaxResponse = 256 * 1024;

}  // namespace

void ExecuteProgramMessage(InstrumentCore& core, std::string_view message, std::string& reply) {
  const HeaderTree& tree = CommandTree();
  const auto table = CommandTable();
  const std::size_t replyStart = reply.size();
  ProgramMessageParser parser(message);
  ProgramUnit unit;
  // A header without a leading ':' continues from the path of the previous
  // one in the message, less its last node.
  std::array<Mnemonic, kMaxHeaderDepth> path{};
  std::size_t pathDepth = 0;
  std::array<Mnemonic, kMaxHeaderDepth> full{};

  while (parser.Next(unit)) {
    const Header& header = unit.header;
    HeaderMatch match;
    if (header.common) {
      match = tree.Find(true, header.nodes.data(), header.depth);
    } else {
      const std::size_t prefix = header.absolute ? 0 : pathDepth;
      if (prefix + header.depth > kMaxHeaderDepth) {
        match.error = ScpiError::UndefinedHeader;
      } else {
        std::copy_n(path.begin(), prefix, full.begin());
        std::copy_n(header.nodes.begin(), header.depth, full.begin() + static_cast<std::ptrdiff_t>(prefix));
        const std::size_t depth = prefix + header.depth;
        match = tree.Find(false, full.data(), depth);
        pathDepth = depth - 1;
        std::copy_n(full.begin(), pathDepth, path.begin());
      }
    }
    const CommandRow* row = match.row >= 0 ? &table[static_cast<std::size_t>(match.row)] : nullptr;
    const Handler handler = row == nullptr ? nullptr : header.query ? row->query : row->set;
    if (handler == nullptr) {
      core.Error(match.error != ScpiError::None ? match.error : ScpiError::UndefinedHeader);
      break;
    }

    Call call(core, unit, row->argument, reply, replyStart);
    handler(call);
    core.Refresh();  // a query may change state too: MEASure ends a wait for a trigger
    if (reply.size() - replyStart > kMaxResponse) {
      reply.resize(replyStart);
      core.Error(ScpiError::QueryDeadlocked);
      break;
    }
    if (call.commandError()) break;
  }
  if (parser.error() != ScpiError::None) core.Error(parser.error());
  if (reply.size() > replyStart) reply += '\n';
}

}  // namespace zta_sim
