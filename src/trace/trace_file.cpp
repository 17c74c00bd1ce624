#include "trace/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/ivi_directories.h"
#include "platform/text.h"
#include "trace/trace_listener_registry.h"

#ifndef HVZELTA_DATA_DIR
#define HVZELTA_DATA_DIR "/usr/local/share/hvzelta"
#endif

namespace hvzelta {

namespace {

// Between saves records collect in memory, but never much of it: past this
// they go to the writer thread, in pieces small enough to stay in the cache.
constexpr std::size_t kMaxPending = 256 << 10;

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

}  // namespace

std::int64_t TraceFile::Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

TraceFile::~TraceFile() { Close(); }

void TraceFile::Configure(const TraceSettings& settings, std::string_view identifier) {
  std::lock_guard lock(mutex_);
  settings_ = settings;
  identifier_ = std::string(identifier);
  transform_ = settings.transform;
  sizeLimit_ = settings.sizeMax;
  arrayElementLimit_ = settings.arraySizeMax;
  saveIntervalMinutes_ = settings.saveInterval;
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
  std::string name = transform_.empty() ? "trace.xslt" : transform_;
  if (std::filesystem::path(name).has_parent_path()) return name;
  if (!EndsWithIgnoringCase(name, ".xslt")) name += ".xslt";
  return (StylesheetDirectory() / name).string();
}

HRESULT TraceFile::Open() {
  std::lock_guard lock(mutex_);
  if (state_ != State::Closed) return E_UNEXPECTED;
  listeners_ = MakeTraceListeners();
  const std::int64_t openTime = Now();
  path_ = FileName(openTime);
  transform_ = StylesheetPath();
  file_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file_ < 0) {
    const int error = errno;
    openFailure_ = std::strerror(error);
    return MakeHresult(0x80070000u | static_cast<std::uint32_t>(error & 0xFFFF));
  }
  std::string header = "<?xml version=\"1.0\"?>\r\n";
  std::error_code missing;
  if (std::filesystem::is_regular_file(transform_, missing)) {
    header += "<?xml-stylesheet type=\"text/xsl\" href=\"file:\\\\" + transform_ + "\"?>\r\n";
  }
  header += "<TraceRecords";
  pending_.reserve(kMaxPending + (64 << 10));
  pending_ = header;
  writer_ = std::make_unique<BackgroundFileWriter>(file_);
  rootTagOpen_ = true;
  lastSaveTime_ = openTime;
  closeAfterCall_ = false;
  state_ = State::Open;
  return S_OK;
}

bool TraceFile::WritePending() {
  if (writer_) {
    if (const int failure = writer_->Drain()) {
      errno = failure;
      return false;
    }
  }
  std::size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t written = ::write(file_, pending_.data() + done, pending_.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  pending_.clear();
  return true;
}

void TraceFile::Close() {
  std::lock_guard lock(mutex_);
  if (file_ >= 0) {
    pending_ += rootTagOpen_ ? "/>\r\n" : "</TraceRecords>\r\n";
    WritePending();
    writer_.reset();
    ::close(file_);
    file_ = -1;
    pending_.clear();
  }
  listeners_.clear();
  closeAfterCall_ = false;
  state_ = State::Closed;
}

HRESULT TraceFile::AppendRecord(std::string_view record) {
  std::lock_guard lock(mutex_);
  if (file_ < 0) return E_UNEXPECTED;
  if (rootTagOpen_) {
    pending_ += ">\r\n";
    rootTagOpen_ = false;
  }
  pending_ += record;
  if (pending_.size() > kMaxPending) {
    if (const int failure = writer_->Hand(pending_)) {
      return MakeHresult(0x80070000u | static_cast<std::uint32_t>(failure & 0xFFFF));
    }
  }
  if (!listeners_.empty()) {
    const std::wstring identifier = Utf8ToWide(identifier_);
    const std::wstring text = Utf8ToWide(record.substr(std::min(record.find('<'), record.size())));
    const auto processId = static_cast<std::uint32_t>(::getpid());
    for (const auto& listener : listeners_) {
      try {
        listener->OnTraceEvent(processId, identifier, 1, text);
      } catch (...) {
        // A failing listener must not cost the caller its call.
      }
    }
  }
  return S_OK;
}

HRESULT TraceFile::SaveCheck() {
  const std::int64_t now = Now();
  // Between saves the check needs no lock: the last save time only moves
  // forward, and a stale read at worst saves once more.
  if (now - lastSaveTime_.load(std::memory_order_relaxed) < 60 && saveIntervalMinutes_ > 0) return S_OK;
  std::lock_guard lock(mutex_);
  if (file_ < 0) return S_OK;
  const std::int64_t elapsedMinutes = (now - lastSaveTime_) / 60;
  // Below an hour the minutes part is all the elapsed time; intervals of an
  // hour or more compare the whole elapsed time.
  const std::int64_t compared = saveIntervalMinutes_ < 60 ? elapsedMinutes % 60 : elapsedMinutes;
  if (compared < saveIntervalMinutes_) return S_OK;
  if (!WritePending()) {
    lastSaveTime_ = now;
    return MakeHresult(0x80070000u | static_cast<std::uint32_t>(errno & 0xFFFF));
  }
  struct stat info {};
  if (::fstat(file_, &info) == 0 && info.st_size > sizeLimit_) {
    if (!settings_.enabled || state_ == State::Closed) return E_UNEXPECTED;
    state_ = State::SizeLimitReached;
  }
  lastSaveTime_ = now;
  return S_OK;
}

}  // namespace hvzelta
