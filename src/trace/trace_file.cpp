#include "trace/trace_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "hvzelta/com/error_info.h"
#include "platform/ivi_directories.h"
#include "platform/text.h"
#include "trace/trace_listener_registry.h"

#ifndef HVZELTA_DATA_DIR
#define HVZELTA_DATA_DIR "/usr/local/share/hvzelta"
#endif

namespace hvzelta {

namespace {

HRESULT SystemError(int error) { return MakeHresult(0x80070000u | static_cast<std::uint32_t>(error & 0xFFFF)); }

// Whether the calling thread is handing a record to the listeners: records
// of calls a listener makes are written but not handed out again.
thread_local bool t_delivering = false;

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string InCurrentDirectory(const std::string& name) {
  std::error_code error;
  const std::filesystem::path path(name);
  if (path.is_absolute()) return name;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? name : (current / path).string();
}

// The stylesheet's folder: the component directory below the IVI root, or
// without an IVI root the folder the library installs its data to.
std::filesystem::path StylesheetDirectory() {
  const std::string components = ComponentDirectory();
  return components.empty() ? std::filesystem::path(HVZELTA_DATA_DIR) : std::filesystem::path(components);
}

// Takes the file for this driver alone and empties it; 0 or errno. The
// lock is what keeps a second driver, in this process or another, from
// emptying a file whose end the first one has mapped, which would fault
// the first one's next record. It goes with the file's last descriptor.
// A file system that cannot lock files is used unlocked.
int Claim(int file) {
  if (::flock(file, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK) return EWOULDBLOCK;
  while (::ftruncate(file, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

std::int64_t TraceFile::Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

TraceFile::~TraceFile() { Close(); }

HRESULT TraceFile::SetEnabled(bool enabled) {
  settings_.enabled = enabled;
  if (enabled) return S_OK;
  if (state_ == State::Closed) return E_UNEXPECTED;
  Close();
  return S_OK;
}

std::string TraceFile::FileName(std::int64_t openTime) const {
  if (!settings_.fileName.empty()) {
    std::string name = settings_.fileName;
    if (!EndsWithIgnoringCase(name, ".xml")) name += ".xml";
    return InCurrentDirectory(name);
  }
  std::tm local{};
  const std::time_t seconds = static_cast<std::time_t>(openTime);
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  return InCurrentDirectory(identifier_ + "_" + stamp + ".xml");
}

std::string TraceFile::StylesheetPath() const {
  std::string name = settings_.transform.empty() ? "trace.xslt" : settings_.transform;
  if (std::filesystem::path(name).has_parent_path()) return name;
  if (!EndsWithIgnoringCase(name, ".xslt")) name += ".xslt";
  return (StylesheetDirectory() / name).string();
}

HRESULT TraceFile::Open() {
  std::lock_guard lock(mutex_);
  if (state_ != State::Closed) return E_UNEXPECTED;
  const std::int64_t openTime = Now();
  path_ = FileName(openTime);
  transform_ = StylesheetPath();
  // Read and write: the tail is a shared mapping of the file.
  const int file = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) {
    const int error = errno;
    openFailure_ = std::strerror(error);
    return SystemError(error);
  }
  if (const int error = Claim(file)) {
    ::close(file);
    openFailure_ = error == EWOULDBLOCK ? "another process is tracing to it; close that driver or choose another TraceName"
                                        : std::strerror(error);
    return SystemError(error);
  }
  tail_.Attach(file);
  std::string header = "<?xml version=\"1.0\"?>\r\n";
  std::error_code missing;
  if (std::filesystem::is_regular_file(transform_, missing)) {
    header += "<?xml-stylesheet type=\"text/xsl\" href=\"file:\\\\" + transform_ + "\"?>\r\n";
  }
  header += "<TraceRecords";
  if (const int error = tail_.Append(header)) {
    openFailure_ = std::strerror(error);
    tail_.Close();
    return SystemError(error);
  }
  listeners_ = std::make_shared<const Listeners>(MakeTraceListeners());
  rootTagOpen_ = true;
  tailHeld_ = false;
  waiting_.clear();
  lastSaveTime_ = openTime;
  closeAfterCall_ = false;
  state_ = State::Open;
  return S_OK;
}

void TraceFile::Close() {
  std::lock_guard lock(mutex_);
  if (tail_.IsOpen()) {
    if (!waiting_.empty()) AppendLocked(waiting_);
    tail_.Append(rootTagOpen_ ? "/>\r\n" : "</TraceRecords>\r\n");
    tail_.Close();
  }
  waiting_.clear();
  tailHeld_ = false;
  listeners_.reset();
  closeAfterCall_ = false;
  state_ = State::Closed;
}

HRESULT TraceFile::AppendLocked(std::string_view text) {
  if (!tail_.IsOpen()) return S_OK;
  if (rootTagOpen_) {
    rootTagOpen_ = false;
    if (const int error = tail_.Append(">\r\n")) return SystemError(error);
  }
  const int error = tail_.Append(text);
  return error ? SystemError(error) : S_OK;
}

bool TraceFile::BeginRecord(std::string_view text, HRESULT& result) {
  std::lock_guard lock(mutex_);
  if (tailHeld_) return false;
  tailHeld_ = true;
  result = AppendLocked(text);
  return true;
}

HRESULT TraceFile::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  return AppendLocked(text);
}

HRESULT TraceFile::EndRecord(std::string_view rest, std::string_view record, bool heldTail) {
  HRESULT result = S_OK;
  std::shared_ptr<const Listeners> listeners;
  {
    std::lock_guard lock(mutex_);
    if (heldTail || !tailHeld_) {
      result = AppendLocked(rest);
      if (!waiting_.empty()) {
        const HRESULT waited = AppendLocked(waiting_);
        if (Succeeded(result)) result = waited;
        waiting_.clear();
      }
      if (heldTail) tailHeld_ = false;
    } else {
      waiting_ += rest;
    }
    if (!t_delivering && listeners_ && !listeners_->empty()) listeners = listeners_;
  }
  if (listeners) {
    t_delivering = true;
    Deliver(*listeners, record);
    t_delivering = false;
  }
  return result;
}

void TraceFile::Deliver(const Listeners& listeners, std::string_view record) const {
  ErrorInfo callersError;
  const bool hadError = GetErrorInfo(callersError);
  const std::wstring identifier = Utf8ToWide(identifier_);
  const std::wstring text = Utf8ToWide(record.substr(std::min(record.find('<'), record.size())));
  const auto processId = static_cast<std::uint32_t>(::getpid());
  for (const auto& listener : listeners) {
    try {
      listener->OnTraceEvent(processId, identifier, 1, text);
    } catch (...) {
      // A failing listener must not cost the caller its call.
    }
  }
  if (hadError) {
    SetErrorInfo(std::move(callersError));
  } else {
    ClearErrorInfo();
  }
}

HRESULT TraceFile::SaveCheck() {
  const std::int64_t now = Now();
  // Between saves the check needs no lock: the last save time only moves
  // forward, and a stale read at worst saves once more.
  if (now - lastSaveTime_.load(std::memory_order_relaxed) < 60 && settings_.saveInterval > 0) return S_OK;
  std::lock_guard lock(mutex_);
  if (!tail_.IsOpen()) return S_OK;
  const std::int64_t elapsedMinutes = (now - lastSaveTime_) / 60;
  // Below an hour the minutes part is all the elapsed time; intervals of an
  // hour or more compare the whole elapsed time.
  const std::int64_t compared = settings_.saveInterval < 60 ? elapsedMinutes % 60 : elapsedMinutes;
  if (compared < settings_.saveInterval) return S_OK;
  if (const int error = tail_.Sync()) {
    lastSaveTime_ = now;
    return SystemError(error);
  }
  if (tail_.Length() > settings_.sizeMax) {
    if (!settings_.enabled || state_ == State::Closed) return E_UNEXPECTED;
    state_ = State::SizeLimitReached;
  }
  lastSaveTime_ = now;
  return S_OK;
}

}  // namespace hvzelta
