#include "trace/background_file_writer.h"

#include <unistd.h>

#include <cerrno>

namespace hvzelta {

BackgroundFileWriter::BackgroundFileWriter(int file) : file_(file), thread_([this] { Run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

int BackgroundFileWriter::Hand(std::string& buffer) {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queued_.empty(); });
  // The caller gets back the emptied string of an earlier buffer, whose
  // memory is already there.
  queued_.swap(buffer);
  buffer.clear();
  lock.unlock();
  wake_.notify_one();
  return error_;
}

int BackgroundFileWriter::Drain() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queued_.empty() && !busy_; });
  return error_;
}

void BackgroundFileWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !queued_.empty() || stop_; });
    if (queued_.empty()) return;
    writing_.swap(queued_);
    busy_ = true;
    lock.unlock();
    idle_.notify_all();
    int failure = 0;
    for (std::size_t done = 0; done < writing_.size();) {
      const ssize_t written = ::write(file_, writing_.data() + done, writing_.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        failure = written < 0 ? errno : EIO;
        break;
      }
      done += static_cast<std::size_t>(written);
    }
    writing_.clear();
    lock.lock();
    if (failure && !error_) error_ = failure;
    busy_ = false;
    idle_.notify_all();
  }
}

}  // namespace hvzelta
