#include "hislip_server.h"

#include <algorithm>

namespace zta_sim {

namespace {

// What a client may send before it has told us its own limit.
constexpr std::uint64_t kDefaultClientMaxMessage = 1 << 20;

// Message IDs count on through zero, so "older" is a matter of the
// difference, as with TCP sequence numbers.
bool Older(std::uint32_t id, std::uint32_t than) { return static_cast<std::int32_t>(than - id) > 0; }

}  // namespace

struct HislipServer::Session {
  std::uint16_t id = 0;
  // Each set while its channel lives.
  HislipConnection* sync = nullptr;
  HislipConnection* async = nullptr;
  bool closed = false;
  std::uint64_t clientMaxMessage = kDefaultClientMaxMessage;
  // The synchronous channel is handling input.
  bool busy = false;
  // The ID of the last message the synchronous channel handled.
  std::uint32_t lastId = hislip::kInitialMessageId - 2;
  // A reply went out that the client has not yet confirmed.
  bool undelivered = false;
  // Between the two halves of a device clear.
  bool clearing = false;
  // Device clears begun, so that a wait sees one that came and went.
  std::uint64_t clears = 0;
  bool exclusive = false;
  std::optional<std::string> sharedKey;
};

HislipServer::SessionPtr HislipServer::Open(HislipConnection& sync) {
  const Guard guard(mutex_);
  if (stopping_ || sessions_.size() >= kMaxSessions) return nullptr;
  while (nextId_ == 0 || sessions_.count(nextId_) != 0) ++nextId_;
  auto session = std::make_shared<Session>();
  session->id = nextId_++;
  session->sync = &sync;
  sessions_.emplace(session->id, session);
  return session;
}

HislipServer::SessionPtr HislipServer::Attach(std::uint16_t id, HislipConnection& async) {
  const Guard guard(mutex_);
  const auto it = sessions_.find(id);
  if (it == sessions_.end() || it->second->async != nullptr) return nullptr;
  it->second->async = &async;
  return it->second;
}

std::uint16_t HislipServer::Id(const Session& session) const { return session.id; }

bool HislipServer::Paired(const Session& session) {
  const Guard guard(mutex_);
  return session.async != nullptr;
}

void HislipServer::Close(Session& session, HislipConnection& connection) {
  const Guard guard(mutex_);
  if (session.sync == &connection) session.sync = nullptr;
  if (session.async == &connection) session.async = nullptr;
  if (!session.closed) {
    session.closed = true;
    sessions_.erase(session.id);  // and with it its locks
  }
  for (HislipConnection* partner : {session.sync, session.async}) {
    if (partner != nullptr) partner->Shutdown();
  }
  changed_.notify_all();
}

void HislipServer::SetClientMaxMessage(Session& session, std::uint64_t size) {
  const Guard guard(mutex_);
  session.clientMaxMessage = size;
}

std::uint64_t HislipServer::ClientMaxMessage(Session& session) {
  const Guard guard(mutex_);
  return session.clientMaxMessage;
}

void HislipServer::SetBusy(Session& session, bool busy) {
  const Guard guard(mutex_);
  session.busy = busy;
  if (!busy) changed_.notify_all();
}

bool HislipServer::Admit(Session& session, bool rmtDelivered) {
  Guard guard(mutex_);
  const std::uint64_t clears = session.clears;
  if (!Interrupted(session, clears) && KeptOut(session)) {
    // A status query need not wait for a message that waits for a lock.
    const bool busy = std::exchange(session.busy, false);
    changed_.notify_all();
    changed_.wait(guard, [&] { return Interrupted(session, clears) || !KeptOut(session); });
    session.busy = busy;
  }
  if (Interrupted(session, clears)) return false;
  if (!rmtDelivered && session.undelivered) instrument_.ReportError(ScpiError::QueryInterrupted);
  session.undelivered = false;
  return true;
}

void HislipServer::Done(Session& session, std::uint32_t messageId) {
  const Guard guard(mutex_);
  session.lastId = messageId;
  changed_.notify_all();
}

bool HislipServer::Hold(Session& session, std::chrono::milliseconds delay) {
  Guard guard(mutex_);
  const std::uint64_t clears = session.clears;
  if (delay.count() > 0 && !Interrupted(session, clears)) {
    // A reply held back is not available yet: a status query says so.
    const bool busy = std::exchange(session.busy, false);
    changed_.notify_all();
    changed_.wait_for(guard, delay, [&] { return Interrupted(session, clears); });
    session.busy = busy;
  }
  return !Interrupted(session, clears);
}

void HislipServer::Replied(Session& session) {
  const Guard guard(mutex_);
  session.undelivered = true;
}

void HislipServer::BeginClear(Session& session) {
  const Guard guard(mutex_);
  session.clearing = true;
  ++session.clears;
  changed_.notify_all();
}

void HislipServer::CompleteClear(Session& session) {
  const Guard guard(mutex_);
  session.clearing = false;
  session.undelivered = false;
  session.lastId = hislip::kInitialMessageId - 2;
  changed_.notify_all();
}

std::uint8_t HislipServer::StatusByte(Session& session, bool rmtDelivered, std::uint32_t messageId) {
  Guard guard(mutex_);
  const std::uint64_t clears = session.clears;
  changed_.wait_for(guard, kStatusWait, [&] {
    return Interrupted(session, clears) || !Older(session.lastId, messageId) ||
           (!session.busy && (session.sync == nullptr || session.sync->Unread() == 0));
  });
  if (rmtDelivered) session.undelivered = false;
  return instrument_.StatusByte(session.undelivered);
}

hislip::LockResult HislipServer::Lock(Session& session, const std::string& key, std::chrono::milliseconds timeout) {
  using hislip::LockResult;
  Guard guard(mutex_);
  if (key.empty() ? session.exclusive : session.sharedKey == key) return LockResult::Granted;
  if (!key.empty() && session.sharedKey) return LockResult::Error;  // one shared lock at a time
  changed_.wait_for(guard, timeout, [&] { return stopping_ || session.closed || LockFree(session, key); });
  if (stopping_ || session.closed || !LockFree(session, key)) return LockResult::Failed;
  if (key.empty()) {
    session.exclusive = true;
  } else {
    session.sharedKey = key;
  }
  return LockResult::Granted;
}

hislip::LockResult HislipServer::Unlock(Session& session) {
  using hislip::LockResult;
  const Guard guard(mutex_);
  LockResult result = LockResult::Error;
  if (session.exclusive) {
    session.exclusive = false;
    result = LockResult::Granted;
  } else if (session.sharedKey) {
    session.sharedKey.reset();
    result = LockResult::ReleasedShared;
  }
  changed_.notify_all();
  return result;
}

std::pair<bool, std::uint32_t> HislipServer::LockInfo() {
  const Guard guard(mutex_);
  bool exclusive = false;
  std::uint32_t holders = 0;
  for (const auto& [id, session] : sessions_) {
    exclusive = exclusive || session->exclusive;
    if (session->exclusive || session->sharedKey) ++holders;
  }
  return {exclusive, holders};
}

void HislipServer::Stop() {
  {
    const Guard guard(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

bool HislipServer::Interrupted(const Session& session, std::uint64_t clears) const {
  return stopping_ || session.closed || session.clearing || session.clears != clears;
}

bool HislipServer::KeptOut(const Session& session) const {
  return std::any_of(sessions_.begin(), sessions_.end(), [&](const auto& entry) {
    const Session& other = *entry.second;
    return &other != &session && (other.exclusive || (other.sharedKey && other.sharedKey != session.sharedKey));
  });
}

bool HislipServer::LockFree(const Session& session, const std::string& key) const {
  return std::none_of(sessions_.begin(), sessions_.end(), [&](const auto& entry) {
    const Session& other = *entry.second;
    return &other != &session && (other.exclusive || (other.sharedKey && (key.empty() || *other.sharedKey != key)));
  });
}

}  // namespace zta_sim
