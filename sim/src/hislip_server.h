#pragma once

// What the HiSLIP channels of all clients share: the sessions, each pairing
// a synchronous and an asynchronous channel by its id; the device's locks;
// device clear, the status byte and every wait a channel makes. One mutex
// guards it all, and every wait also ends on Stop(), so that the emulator
// stops promptly whatever a client does.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "hislip_connection.h"
#include "hislip_message.h"
#include "instrument.h"

namespace zta_sim {

class HislipServer {
 public:
  static constexpr std::size_t kMaxSessions = 16;
  // The largest message the server takes, header and payload.
  static constexpr std::uint64_t kMaxMessage = 64 * 1024 + hislip::kHeaderSize;
  // How long a status query waits for the messages sent before it.
  static constexpr std::chrono::milliseconds kStatusWait{1000};

  explicit HislipServer(Instrument& instrument) : instrument_(instrument) {}

  struct Session;
  using SessionPtr = std::shared_ptr<Session>;

  // A new session on a synchronous channel; nothing when there are too many.
  SessionPtr Open(HislipConnection& sync);
  // The session with this id, when it waits for its asynchronous channel.
  SessionPtr Attach(std::uint16_t id, HislipConnection& async);
  std::uint16_t Id(const Session& session) const;
  bool Paired(const Session& session);
  // The channel on `connection` ends: the session ends with it, the other
  // channel is shut down and the session's locks are released.
  void Close(Session& session, HislipConnection& connection);

  // The client's maximum message size, for the replies.
  void SetClientMaxMessage(Session& session, std::uint64_t size);
  std::uint64_t ClientMaxMessage(Session& session);

  // The synchronous channel is handling input; a status query waits for it.
  void SetBusy(Session& session, bool busy);

  // Before a Data, DataEnd or Trigger message is acted on: waits while
  // another session's lock keeps this one out. False when the message is to
  // be dropped: a device clear is under way or came meanwhile, or the
  // session or the server ends. Applies the message's RMT-delivered bit; a
  // message that comes while a reply is undelivered interrupts the query.
  bool Admit(Session& session, bool rmtDelivered);
  // After the message with this id was acted on.
  void Done(Session& session, std::uint32_t messageId);
  // Holds a reply back for `delay`; false when a device clear, the end of
  // the session or Stop() came first, and the reply is to be dropped.
  bool Hold(Session& session, std::chrono::milliseconds delay);
  // A reply goes out: the message is available until the client says so.
  void Replied(Session& session);

  // The first half of a device clear: input and replies are dropped until
  // the second half.
  void BeginClear(Session& session);
  void CompleteClear(Session& session);

  // The status byte once the synchronous channel has handled the message
  // `messageId` or has nothing left to handle, waiting kStatusWait at most.
  std::uint8_t StatusByte(Session& session, bool rmtDelivered, std::uint32_t messageId);

  // An empty key asks for the exclusive lock, any other the shared lock of
  // that name. Waits up to `timeout` for other sessions to let go.
  hislip::LockResult Lock(Session& session, const std::string& key, std::chrono::milliseconds timeout);
  hislip::LockResult Unlock(Session& session);
  // Whether some session holds the exclusive lock, and how many hold any.
  std::pair<bool, std::uint32_t> LockInfo();

  // Wakes every wait for good.
  void Stop();

 private:
  using Guard = std::unique_lock<std::mutex>;
  // A wait that began after `clears` device clears is to end.
  bool Interrupted(const Session& session, std::uint64_t clears) const;
  bool KeptOut(const Session& session) const;
  bool LockFree(const Session& session, const std::string& key) const;

  Instrument& instrument_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::uint16_t, SessionPtr> sessions_;
  std::uint16_t nextId_ = 1;
  bool stopping_ = false;
};

}  // namespace zta_sim
