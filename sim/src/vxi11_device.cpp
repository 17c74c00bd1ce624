#include "vxi11_device.h"

#include <algorithm>
#include <limits>

namespace zta_sim {

namespace {

using Clock = std::chrono::steady_clock;

bool IsInstrumentName(std::string_view device) {
  constexpr std::string_view kName = "inst0";
  return std::equal(device.begin(), device.end(), kName.begin(), kName.end(),
                    [](char a, char b) { return (a | 0x20) == b; });
}

}  // namespace

// Takes the replies of a link's session into its output buffer.
class Vxi11Device::LinkSink final : public ReplySink {
 public:
  LinkSink(Link& link, Instrument& instrument) : link_(link), instrument_(instrument) {}

  void Deliver(const Reply& reply) override {
    switch (reply.action) {
      case Reply::Action::Stall:
      case Reply::Action::Trickle:  // a read returns whole replies
        link_.stalled = true;
        break;
      case Reply::Action::Drop:
        dropped_ = true;
        break;
      case Reply::Action::Send:
        // A response nobody read is lost when the next one comes.
        if (HasOutput(link_)) instrument_.ReportError(ScpiError::QueryInterrupted);
        link_.output.assign(reply.bytes);
        link_.outputPos = 0;
        link_.readyAt = Clock::now() + reply.delay + reply.tailDelay;
        break;
    }
  }

  bool dropped() const { return dropped_; }

 private:
  Link& link_;
  Instrument& instrument_;
  bool dropped_ = false;
};

Vxi11Device::Vxi11Device(Instrument& instrument, FaultPlan& faults) : instrument_(instrument), faults_(faults) {}

Vxi11Device::LinkResult Vxi11Device::CreateLink(std::uint64_t owner, bool lockDevice,
                                                std::chrono::milliseconds lockTimeout, std::string_view device) {
  if (!IsInstrumentName(device)) return {Vxi11Error::DeviceNotAccessible};
  Guard guard(mutex_);
  if (links_.size() >= kMaxLinks) return {Vxi11Error::OutOfResources};
  while (links_.count(nextLink_) != 0) nextLink_ = nextLink_ == std::numeric_limits<std::int32_t>::max() ? 1 : nextLink_ + 1;
  const std::int32_t id = nextLink_;
  nextLink_ = nextLink_ == std::numeric_limits<std::int32_t>::max() ? 1 : nextLink_ + 1;
  links_.emplace(id, std::make_unique<Link>(instrument_, faults_, owner));
  if (lockDevice) {
    const Vxi11Error error = TakeLock(guard, id, {kFlagWaitLock, lockTimeout});
    if (error != Vxi11Error::None) {
      links_.erase(id);
      return {error};
    }
  }
  return {Vxi11Error::None, id};
}

Vxi11Error Vxi11Device::DestroyLink(std::int32_t link) {
  const Guard guard(mutex_);
  if (Find(link) == nullptr) return Vxi11Error::InvalidLink;
  if (lockOwner_ == link) lockOwner_.reset();
  links_.erase(link);
  changed_.notify_all();
  return Vxi11Error::None;
}

void Vxi11Device::DestroyLinksOf(std::uint64_t owner) {
  const Guard guard(mutex_);
  for (auto it = links_.begin(); it != links_.end();) {
    if (it->second->owner != owner) {
      ++it;
      continue;
    }
    if (lockOwner_ == it->first) lockOwner_.reset();
    it = links_.erase(it);
  }
  changed_.notify_all();
}

Vxi11Device::WriteResult Vxi11Device::Write(std::int32_t link, const Access& access, std::string_view data) {
  Guard guard(mutex_);
  Vxi11Error error = Vxi11Error::None;
  Link* target = Enter(guard, link, access, error);
  if (target == nullptr) return {error};
  if (data.size() > kMaxReceiveSize) return {Vxi11Error::ParameterError};
  LinkSink sink(*target, instrument_);
  target->session.Feed(data, (access.flags & kFlagEnd) != 0, sink);
  changed_.notify_all();
  return {Vxi11Error::None, static_cast<std::uint32_t>(data.size()), sink.dropped()};
}

Vxi11Device::ReadResult Vxi11Device::Read(std::int32_t link, const Access& access, std::uint32_t requestSize,
                                          std::chrono::milliseconds ioTimeout, char termChar) {
  Guard guard(mutex_);
  ReadResult result;
  Link* target = Enter(guard, link, access, result.error);
  if (target == nullptr) return result;
  const Clock::time_point deadline = Clock::now() + ioTimeout;
  target->reading = true;
  target->abortRequested = false;
  while (true) {
    const Clock::time_point now = Clock::now();
    if (OutputReady(*target)) break;
    if (target->abortRequested || stopping_) {
      result.error = stopping_ ? Vxi11Error::IoTimeout : Vxi11Error::Abort;
      break;
    }
    if (now >= deadline) {
      // Reading with no query sent is a query error; a stalled device just
      // never answers.
      if (!target->stalled && !HasOutput(*target)) instrument_.ReportError(ScpiError::QueryUnterminated);
      result.error = Vxi11Error::IoTimeout;
      break;
    }
    const bool delayed = HasOutput(*target) && !target->stalled;
    changed_.wait_until(guard, delayed ? std::min(deadline, target->readyAt) : deadline);
    target = Find(link);
    if (target == nullptr) {
      result.error = Vxi11Error::InvalidLink;
      return result;
    }
  }
  target->reading = false;
  if (result.error != Vxi11Error::None) return result;

  std::size_t count = std::min<std::size_t>(requestSize, target->output.size() - target->outputPos);
  if ((access.flags & kFlagTermCharSet) != 0) {
    const std::size_t at = target->output.find(termChar, target->outputPos);
    if (at != std::string::npos && at < target->outputPos + count) {
      count = at - target->outputPos + 1;
      result.reason |= kReasonTermChar;
    }
  }
  result.data.assign(target->output, target->outputPos, count);
  target->outputPos += count;
  if (count == requestSize) result.reason |= kReasonRequestCount;
  if (target->outputPos == target->output.size()) {
    result.reason |= kReasonEnd;
    target->output.clear();
    target->outputPos = 0;
  }
  return result;
}

Vxi11Error Vxi11Device::ReadStatusByte(std::int32_t link, const Access& access, std::uint8_t& statusByte) {
  Guard guard(mutex_);
  Vxi11Error error = Vxi11Error::None;
  Link* target = Enter(guard, link, access, error);
  if (target != nullptr) statusByte = instrument_.StatusByte(OutputReady(*target));
  return error;
}

Vxi11Error Vxi11Device::Trigger(std::int32_t link, const Access& access) {
  Guard guard(mutex_);
  Vxi11Error error = Vxi11Error::None;
  if (Enter(guard, link, access, error) != nullptr) instrument_.BusTrigger();
  return error;
}

Vxi11Error Vxi11Device::Clear(std::int32_t link, const Access& access) {
  Guard guard(mutex_);
  Vxi11Error error = Vxi11Error::None;
  Link* target = Enter(guard, link, access, error);
  if (target == nullptr) return error;
  target->session.Clear();
  target->output.clear();
  target->outputPos = 0;
  target->stalled = false;
  return Vxi11Error::None;
}

Vxi11Error Vxi11Device::Touch(std::int32_t link, const Access& access) {
  Guard guard(mutex_);
  Vxi11Error error = Vxi11Error::None;
  Enter(guard, link, access, error);
  return error;
}

Vxi11Error Vxi11Device::Lock(std::int32_t link, const Access& access) {
  Guard guard(mutex_);
  if (Find(link) == nullptr) return Vxi11Error::InvalidLink;
  return TakeLock(guard, link, access);
}

Vxi11Error Vxi11Device::Unlock(std::int32_t link) {
  const Guard guard(mutex_);
  if (Find(link) == nullptr) return Vxi11Error::InvalidLink;
  if (lockOwner_ != link) return Vxi11Error::NoLockHeld;
  lockOwner_.reset();
  changed_.notify_all();
  return Vxi11Error::None;
}

Vxi11Error Vxi11Device::Abort(std::int32_t link) {
  const Guard guard(mutex_);
  Link* target = Find(link);
  if (target == nullptr) return Vxi11Error::InvalidLink;
  if (target->reading) {
    target->abortRequested = true;
    changed_.notify_all();
  }
  return Vxi11Error::None;
}

void Vxi11Device::Stop() {
  {
    const Guard guard(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

Vxi11Device::Link* Vxi11Device::Find(std::int32_t link) {
  const auto it = links_.find(link);
  return it == links_.end() ? nullptr : it->second.get();
}

Vxi11Device::Link* Vxi11Device::Enter(Guard& guard, std::int32_t link, const Access& access, Vxi11Error& error) {
  if (Find(link) == nullptr) {
    error = Vxi11Error::InvalidLink;
    return nullptr;
  }
  if (!WaitForLock(guard, link, access)) {
    error = Vxi11Error::DeviceLocked;
    return nullptr;
  }
  Link* target = Find(link);  // it may have gone while we waited
  if (target == nullptr) error = Vxi11Error::InvalidLink;
  return target;
}

Vxi11Error Vxi11Device::TakeLock(Guard& guard, std::int32_t link, const Access& access) {
  if (!WaitForLock(guard, link, access) || Find(link) == nullptr) return Vxi11Error::DeviceLocked;
  lockOwner_ = link;
  return Vxi11Error::None;
}

bool Vxi11Device::WaitForLock(Guard& guard, std::int32_t link, const Access& access) {
  const auto free = [&] { return !lockOwner_ || *lockOwner_ == link; };
  if (!free() && (access.flags & kFlagWaitLock) != 0) {
    changed_.wait_for(guard, access.lockTimeout, [&] { return stopping_ || free(); });
  }
  return free();
}

bool Vxi11Device::OutputReady(const Link& link) {
  return HasOutput(link) && !link.stalled && Clock::now() >= link.readyAt;
}

}  // namespace zta_sim
