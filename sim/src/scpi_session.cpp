#include "scpi_session.h"

namespace zta_sim {

void ScpiSession::Feed(std::string_view bytes, bool end, ReplySink& sink) {
  while (!bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) {
      Append(bytes);
      break;
    }
    const std::string_view part = bytes.substr(0, newline);
    bytes.remove_prefix(newline + 1);
    if (pending_.empty() && !overrun_) {
      Complete(part, sink);  // the usual case: a whole message in one read
      continue;
    }
    Append(part);
    if (!overrun_) Complete(pending_, sink);
    pending_.clear();
    overrun_ = false;
  }
  if (end) {
    if (!overrun_ && !pending_.empty()) Complete(pending_, sink);
    pending_.clear();
    overrun_ = false;
  }
}

void ScpiSession::Clear() {
  pending_.clear();
  overrun_ = false;
  stalled_ = false;
}

void ScpiSession::Append(std::string_view part) {
  if (overrun_) return;
  if (pending_.size() + part.size() > kMaxMessage) {
    overrun_ = true;
    pending_.clear();
    instrument_.ReportError(ScpiError::InputBufferOverrun);
    return;
  }
  pending_ += part;
}

void ScpiSession::Complete(std::string_view message, ReplySink& sink) {
  if (stalled_) return;
  if (message.find_first_not_of(" \t\r") == std::string_view::npos) return;  // empty line
  if (message.back() == '\r') message.remove_suffix(1);

  const FaultDecision decision = faults_.Next();
  if (decision.fault == FaultKind::Stall) {
    stalled_ = true;
    sink.Deliver({Reply::Action::Stall, {}, decision.delay});
    return;
  }
  if (decision.fault == FaultKind::Drop) {
    sink.Deliver({Reply::Action::Drop, {}, decision.delay});
    return;
  }
  reply_.clear();
  instrument_.Execute(message, reply_);
  if (reply_.empty()) return;
  const FaultOptions& options = faults_.Options();
  if (decision.fault == FaultKind::Trickle) {
    const std::string chunk(options.trickleChunk, '7');
    sink.Deliver({Reply::Action::Trickle, chunk, decision.delay, 0, options.trickleInterval});
    return;
  }
  if (decision.fault == FaultKind::Split) {
    sink.Deliver({Reply::Action::Send, reply_, decision.delay, reply_.size() / 2, options.lateDelay});
    return;
  }
  if (decision.fault) faults_.Corrupt(*decision.fault, reply_);
  sink.Deliver({Reply::Action::Send, reply_, decision.delay});
}

}  // namespace zta_sim
