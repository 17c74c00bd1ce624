#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace_settings.h"
#include "hvzelta/com/types.h"
#include "hvzelta/trace_listener.h"
#include "trace/file_tail.h"

namespace hvzelta {

// The trace file of one driver object, which lives as long as the driver:
// where records go, when the file is saved, and how large it may grow.
//
// Records reach the file as the call happens, on the calling thread: the
// start of a top-level call and of each call made during it when it starts,
// its end when it ends. One thread at a time holds the file's tail, from the
// start of its top-level record to the end; a thread that starts a top-level
// call meanwhile keeps its whole record and hands it over at its end, and
// the holder writes such records after its own. So records never mix, and a
// call is in the file when it returns unless another thread's call was open
// in it at that moment.
class TraceFile {
 public:
  TraceFile() = default;
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // The DriverSetup trace keys; they keep their values from one Initialize
  // to the next and are read when the file opens.
  TraceSettings& Settings() { return settings_; }
  const TraceSettings& Settings() const { return settings_; }
  // The Trace key. Turning tracing off closes an open file; E_UNEXPECTED
  // when tracing is closed already (it stays off).
  HRESULT SetEnabled(bool enabled);
  bool Enabled() const { return settings_.enabled; }
  // The driver's identifier: prefix of default file names and first text of
  // listener events.
  void SetIdentifier(std::string_view identifier) { identifier_ = std::string(identifier); }

  // Opens the file and writes its header. E_UNEXPECTED unless closed; a file
  // that cannot be created gives its system error as a status, and so does
  // a file another driver is tracing to (EWOULDBLOCK), which is left as it is.
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
  long long ArrayElementLimit() const { return settings_.arraySizeMax; }
  // The reason the last Open failed, for the caller's error report.
  const std::string& OpenFailure() const { return openFailure_; }

  // Starts the calling thread's top-level record with its first text. True
  // when the text went to the file and the thread holds the tail until
  // EndRecord; false when the thread is to keep its record until its end.
  bool BeginRecord(std::string_view text, HRESULT& result);
  // More text of the record of the thread that holds the tail.
  HRESULT Write(std::string_view text);
  // Ends a top-level record: `rest` is what is not in the file yet (the
  // whole record when it was kept), `record` the whole record for the
  // listeners, which run with no lock held.
  HRESULT EndRecord(std::string_view rest, std::string_view record, bool heldTail);
  // Saves at most once per save interval and stops records beyond the size
  // limit; runs after every traced call.
  HRESULT SaveCheck();

 private:
  enum class State { Open, Closed, SizeLimitReached };
  using Listeners = std::vector<std::unique_ptr<ITraceListener>>;

  std::string FileName(std::int64_t openTime) const;
  std::string StylesheetPath() const;
  // Appends to the file, ending the root element's start tag first.
  HRESULT AppendLocked(std::string_view text);
  // Hands a whole top-level record to each listener. A listener may call
  // the driver; the caller's error information survives it.
  void Deliver(const Listeners& listeners, std::string_view record) const;
  // Whole seconds since 1970.
  static std::int64_t Now();

  std::mutex mutex_;
  TraceSettings settings_;
  std::string identifier_;
  std::string transform_;
  std::string path_;
  std::string openFailure_;
  std::atomic<std::int64_t> lastSaveTime_{0};
  std::atomic<State> state_{State::Closed};
  std::atomic<bool> closeAfterCall_{false};
  bool rootTagOpen_ = false;
  bool tailHeld_ = false;
  // Whole records of threads that ended a call while the tail was held.
  std::string waiting_;
  FileTail tail_;
  std::shared_ptr<const Listeners> listeners_;
};

}  // namespace hvzelta
