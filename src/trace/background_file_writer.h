#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace hvzelta {

// Writes buffers to a file on a thread of its own, so that a traced call
// never waits for the disk. Buffers are written in the order they are handed
// over; while one is being written at most one more waits, so memory stays
// bounded and a caller that outruns the disk waits for it.
class BackgroundFileWriter {
 public:
  explicit BackgroundFileWriter(int file);
  // Writes what was handed over, then stops.
  ~BackgroundFileWriter();
  BackgroundFileWriter(const BackgroundFileWriter&) = delete;
  BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

  // Takes the contents of `buffer`, which comes back empty. Returns the
  // errno of the first write that failed so far, or 0.
  int Hand(std::string& buffer);
  // Waits until everything handed over is in the file; the errno of the
  // first write that failed, or 0.
  int Drain();

 private:
  void Run();

  int file_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::string queued_;   // handed over, waiting for the thread
  std::string writing_;  // the thread's, while busy_
  bool busy_ = false;
  bool stop_ = false;
  int error_ = 0;
  std::thread thread_;
};

}  // namespace hvzelta
