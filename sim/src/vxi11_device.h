#pragma once

// The instrument as a VXI-11 device: links, each with its own SCPI session
// and output buffer; reads that stop at the request size, the termination
// character or the end of a response; the status byte; device clear,
// trigger, locking and abort. Thread-safe: the RPC connections share it.

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

#include "scpi_session.h"

namespace zta_sim {

// Device_ErrorCode values.
enum class Vxi11Error : std::int32_t {
  None = 0,
  DeviceNotAccessible = 3,
  InvalidLink = 4,
  ParameterError = 5,
  ChannelNotEstablished = 6,
  OperationNotSupported = 8,
  OutOfResources = 9,
  DeviceLocked = 11,
  NoLockHeld = 12,
  IoTimeout = 15,
  Abort = 23,
};

// Device_Flags bits.
inline constexpr std::uint32_t kFlagWaitLock = 0x01;
inline constexpr std::uint32_t kFlagEnd = 0x08;
inline constexpr std::uint32_t kFlagTermCharSet = 0x80;

// Reasons a read stopped.
inline constexpr std::int32_t kReasonRequestCount = 0x01;
inline constexpr std::int32_t kReasonTermChar = 0x02;
inline constexpr std::int32_t kReasonEnd = 0x04;

class Vxi11Device {
 public:
  static constexpr std::uint32_t kMaxReceiveSize = 64 * 1024;
  static constexpr std::size_t kMaxLinks = 32;

  Vxi11Device(Instrument& instrument, FaultPlan& faults);

  struct LinkResult {
    Vxi11Error error = Vxi11Error::None;
    std::int32_t link = 0;
  };
  struct WriteResult {
    Vxi11Error error = Vxi11Error::None;
    std::uint32_t size = 0;
    bool dropConnection = false;  // a Drop fault struck
  };
  struct ReadResult {
    Vxi11Error error = Vxi11Error::None;
    std::int32_t reason = 0;
    std::string data;
  };
  struct Access {
    std::uint32_t flags = 0;
    std::chrono::milliseconds lockTimeout{0};
  };

  // `owner` names the connection, whose links die with it.
  LinkResult CreateLink(std::uint64_t owner, bool lockDevice, std::chrono::milliseconds lockTimeout,
                        std::string_view device);
  Vxi11Error DestroyLink(std::int32_t link);
  void DestroyLinksOf(std::uint64_t owner);

  WriteResult Write(std::int32_t link, const Access& access, std::string_view data);
  ReadResult Read(std::int32_t link, const Access& access, std::uint32_t requestSize,
                  std::chrono::milliseconds ioTimeout, char termChar);
  Vxi11Error ReadStatusByte(std::int32_t link, const Access& access, std::uint8_t& statusByte);
  Vxi11Error Trigger(std::int32_t link, const Access& access);
  Vxi11Error Clear(std::int32_t link, const Access& access);
  // device_remote and device_local: accepted, nothing to switch.
  Vxi11Error Touch(std::int32_t link, const Access& access);
  Vxi11Error Lock(std::int32_t link, const Access& access);
  Vxi11Error Unlock(std::int32_t link);
  // From the abort channel: ends a read that waits on the link.
  Vxi11Error Abort(std::int32_t link);

  // Wakes every waiting call for good; reads then end at once.
  void Stop();

 private:
  struct Link {
    Link(Instrument& instrument, FaultPlan& faults, std::uint64_t ownerId) : session(instrument, faults), owner(ownerId) {}
    ScpiSession session;
    std::uint64_t owner;
    std::string output;  // the response, of which outputPos bytes were read
    std::size_t outputPos = 0;
    std::chrono::steady_clock::time_point readyAt{};  // a delayed response shows up then
    bool stalled = false;
    bool reading = false;
    bool abortRequested = false;
  };
  using Guard = std::unique_lock<std::mutex>;
  class LinkSink;

  Link* Find(std::int32_t link);
  // The link, once no other link's lock is in the way; nullptr and the
  // error otherwise.
  Link* Enter(Guard& guard, std::int32_t link, const Access& access, Vxi11Error& error);
  Vxi11Error TakeLock(Guard& guard, std::int32_t link, const Access& access);
  // True once no other link holds the lock, waiting for that as long as
  // the access allows.
  bool WaitForLock(Guard& guard, std::int32_t link, const Access& access);
  static bool HasOutput(const Link& link) { return link.outputPos < link.output.size(); }
  static bool OutputReady(const Link& link);

  Instrument& instrument_;
  FaultPlan& faults_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::int32_t, std::unique_ptr<Link>> links_;
  std::int32_t nextLink_ = 1;
  std::optional<std::int32_t> lockOwner_;
  bool stopping_ = false;
};

}  // namespace zta_sim
