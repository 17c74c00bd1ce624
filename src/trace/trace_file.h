#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/trace_settings.h"
#include "trace/background_file_writer.h"
#include "hvzelta/com/types.h"
#include "hvzelta/trace_listener.h"

namespace hvzelta {

// The trace file of one driver object: where records go, when the file is
// saved, and how large it may grow. Records of different threads never mix:
// each thread builds a whole top-level record and appends it at once.
class TraceFile {
 public:
  TraceFile() = default;
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // Takes the DriverSetup trace keys and the driver's identifier; used
  // before Open.
  void Configure(const TraceSettings& settings, std::string_view identifier);
  bool Enabled() const { return settings_.enabled; }

  // Opens the file and writes its header. E_UNEXPECTED unless closed; a file
  // that cannot be created gives its system error as a status.
  HRESULT Open();
  // Ends the document and closes the file; records stop.
  void Close();
  bool IsOpen() const { return state_.load(std::memory_order_acquire) == State::Open; }
  // Closes the file once the call now running has written its record.
  void CloseAfterCall() { closeAfterCall_ = true; }
  bool ClosingAfterCall() const { return closeAfterCall_; }

  const std::string& Path() const { return path_; }
  const std::string& Transform() const { return transform_; }
  bool TraceArrays() const { return settings_.traceArrays; }
  long long ArrayElementLimit() const { return arrayElementLimit_; }
  // The reason the last Open failed, for the caller's error report.
  const std::string& OpenFailure() const { return openFailure_; }

  // Appends a completed top-level record and hands it to the listeners.
  HRESULT AppendRecord(std::string_view record);
  // Saves at most once per save interval and stops records beyond the size
  // limit; runs after every traced call.
  HRESULT SaveCheck();

 private:
  enum class State { Open, Closed, SizeLimitReached };

  std::string FileName(std::int64_t openTime) const;
  // Writes what is pending to the file, after what the writer thread has;
  // false on a failed write, with errno telling why.
  bool WritePending();
  // Whole seconds since 1970; read once a second at most per thread.
  static std::int64_t Now();
  std::string StylesheetPath() const;

  std::mutex mutex_;
  TraceSettings settings_;
  std::string identifier_;
  std::string transform_;
  std::string path_;
  std::string openFailure_;
  long long sizeLimit_ = 1000000;
  long long arrayElementLimit_ = 10;
  long long saveIntervalMinutes_ = 1;
  std::atomic<std::int64_t> lastSaveTime_{0};
  std::atomic<State> state_{State::Closed};
  std::atomic<bool> closeAfterCall_{false};
  bool rootTagOpen_ = false;
  int file_ = -1;
  // Records wait here until the next save writes them out in one go, or
  // until there are enough of them to hand to the writer thread.
  std::string pending_;
  std::unique_ptr<BackgroundFileWriter> writer_;
  std::vector<std::unique_ptr<ITraceListener>> listeners_;
};

}  // namespace hvzelta
