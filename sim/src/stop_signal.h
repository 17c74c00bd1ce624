#pragma once

// Raised once when the emulator stops; every wait of a server thread that
// is not a blocking socket call waits on it, so that Stop() never waits for
// a reply delay or a stalled client.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zta_sim {

class StopSignal {
 public:
  void Raise() {
    {
      const std::lock_guard lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }

  // Returns false when the signal came before the time was up.
  bool SleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

}  // namespace zta_sim
