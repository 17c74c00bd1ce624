#include "visa/io_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_set>

#include "platform/text.h"
#include "visa/status_description.h"

namespace hvzelta::visa {

namespace {

// How much of a message a line shows, in characters of the escaped text.
constexpr std::size_t kShownCharacters = 200;

constexpr std::string_view kAccepted = "the I/O log goes to stderr, stdout or a file path";

// One line at a time from the whole process, to every destination and the
// handler alike.
std::mutex& LineMutex() {
  static std::mutex mutex;
  return mutex;
}

struct Handler {
  IoLogHandler call = nullptr;
  void* context = nullptr;
};
Handler installedHandler;  // guarded by LineMutex()

void AppendEscaped(std::string& out, ViByte byte) {
  switch (byte) {
    case '\\': out += "\\\\"; return;
    case '"': out += "\\\""; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (byte >= 0x20 && byte < 0x7F) {
    out += static_cast<char>(byte);
    return;
  }
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02X", byte);
  out += hex;
}

// The length of the definite-length block header at `bytes` ("#" and the
// digit count and the digits) and the data length it announces; 0 when
// `bytes` holds no such header.
std::size_t BlockHeader(std::span<const ViByte> bytes, std::size_t& dataLength) {
  if (bytes.size() < 3 || bytes[0] != '#' || bytes[1] < '1' || bytes[1] > '9') return 0;
  const std::size_t digits = bytes[1] - '0';
  if (bytes.size() < 2 + digits) return 0;
  dataLength = 0;
  for (std::size_t i = 2; i < 2 + digits; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return 0;
    dataLength = dataLength * 10 + (bytes[i] - '0');
  }
  return 2 + digits;
}

std::string StatusName(ViStatus status) {
  std::string description;
  if (DescribeStatus(status, description)) return description.substr(0, description.find(':'));
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
  return hex;
}

// The time of day in UTC with microseconds, and the date: "2026-01-31T12:34:56.123456Z".
std::string Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  ::gmtime_r(&now.tv_sec, &parts);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  std::snprintf(text + length, sizeof text - length, ".%06ldZ", now.tv_nsec / 1000);
  return text;
}

// The operations of the wrapped library, each recorded after it returns.
class LoggingVisa final : public IVisaLibrary {
 public:
  LoggingVisa(std::shared_ptr<IVisaLibrary> inner, std::shared_ptr<IoLogSink> sink, IoLogObserver observer)
      : inner_(std::move(inner)), sink_(std::move(sink)), observer_(std::move(observer)) {}

  ViStatus OpenDefaultRM(ViSession* rm) override { return inner_->OpenDefaultRM(rm); }
  ViStatus Open(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 openTimeout, ViSession* vi) override {
    const ViStatus status = inner_->Open(rm, name, mode, openTimeout, vi);
    Record(status >= 0 && vi ? *vi : VI_NULL, "open " + std::string(name ? name : ""), status);
    return status;
  }
  ViStatus Close(ViObject vi) override {
    const ViStatus status = inner_->Close(vi);
    if (IsLogged(vi)) Record(vi, "close", status);
    return status;
  }
  ViStatus Read(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) override {
    const ViStatus status = inner_->Read(vi, buffer, count, retCount);
    const std::size_t got = retCount && buffer ? std::min(*retCount, count) : 0;
    Record(vi, Transfer("read", std::span<const ViByte>(buffer, got)), status);
    return status;
  }
  ViStatus Write(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) override {
    const ViStatus status = inner_->Write(vi, buffer, count, retCount);
    Record(vi, Transfer("write", std::span<const ViByte>(buffer, buffer ? count : 0)), status);
    return status;
  }
  ViStatus ReadSTB(ViSession vi, ViUInt16* stb) override {
    const ViStatus status = inner_->ReadSTB(vi, stb);
    char text[32] = "status byte";
    if (status >= 0 && stb) std::snprintf(text, sizeof text, "status byte 0x%02X", *stb);
    Record(vi, text, status);
    return status;
  }
  ViStatus Clear(ViSession vi) override {
    const ViStatus status = inner_->Clear(vi);
    Record(vi, "clear", status);
    return status;
  }
  ViStatus AssertTrigger(ViSession vi, ViUInt16 protocol) override {
    const ViStatus status = inner_->AssertTrigger(vi, protocol);
    Record(vi, "trigger", status);
    return status;
  }
  ViStatus Flush(ViSession vi, ViUInt16 mask) override { return inner_->Flush(vi, mask); }
  ViStatus Lock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                ViChar* accessKey) override {
    return inner_->Lock(vi, lockType, timeout, requestedKey, accessKey);
  }
  ViStatus Unlock(ViSession vi) override { return inner_->Unlock(vi); }
  ViStatus GetAttribute(ViObject vi, ViAttr attribute, void* value) override {
    return inner_->GetAttribute(vi, attribute, value);
  }
  ViStatus SetAttribute(ViObject vi, ViAttr attribute, ViAttrState value) override {
    return inner_->SetAttribute(vi, attribute, value);
  }
  ViStatus StatusDesc(ViObject vi, ViStatus status, ViChar* description) override {
    return inner_->StatusDesc(vi, status, description);
  }
  ViStatus ParseRsrc(ViSession rm, const ViChar* name, ViUInt16* interfaceType, ViUInt16* interfaceNumber) override {
    return inner_->ParseRsrc(rm, name, interfaceType, interfaceNumber);
  }
  ViStatus EnableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) override {
    return inner_->EnableEvent(vi, type, mechanism);
  }
  ViStatus DisableEvent(ViSession vi, ViEventType type, ViUInt16 mechanism) override {
    return inner_->DisableEvent(vi, type, mechanism);
  }
  ViStatus DiscardEvents(ViSession vi, ViEventType type, ViUInt16 mechanism) override {
    return inner_->DiscardEvents(vi, type, mechanism);
  }
  ViStatus WaitOnEvent(ViSession vi, ViEventType type, ViUInt32 timeout, ViEventType* outType,
                       ViEvent* outContext) override {
    return inner_->WaitOnEvent(vi, type, timeout, outType, outContext);
  }

 private:
  static std::string Transfer(std::string_view direction, std::span<const ViByte> bytes) {
    return std::string(direction) + " " + std::to_string(bytes.size()) + " bytes " + DescribeBytes(bytes);
  }

  // Whether `vi` is an instrument session this log saw opened: a resource
  // manager or an event context closes without a line.
  bool IsLogged(ViObject vi) {
    const std::lock_guard lock(sessionsMutex_);
    return opened_.erase(vi) > 0;
  }

  void Record(ViSession vi, std::string_view what, ViStatus status) {
    std::string line = "session " + std::to_string(vi) + " " + std::string(what);
    if (status < 0) line += " failed: " + StatusName(status);
    if (what.starts_with("open ") && status >= 0) {
      const std::lock_guard lock(sessionsMutex_);
      opened_.insert(vi);
    }
    if (sink_) sink_->Write(line);
    if (observer_) observer_(line);
    const std::lock_guard lock(LineMutex());
    if (installedHandler.call) installedHandler.call(line.c_str(), installedHandler.context);
  }

  std::shared_ptr<IVisaLibrary> inner_;
  std::shared_ptr<IoLogSink> sink_;  // null when only the handler or the observer takes lines
  IoLogObserver observer_;
  std::mutex sessionsMutex_;
  std::unordered_set<ViObject> opened_;
};

bool HandlerInstalled() {
  const std::lock_guard lock(LineMutex());
  return installedHandler.call != nullptr;
}

}  // namespace

std::string DescribeBytes(std::span<const ViByte> bytes) {
  std::string shown = "\"";
  std::size_t i = 0;
  while (i < bytes.size() && shown.size() - 1 < kShownCharacters) {  // the quote does not count
    std::size_t dataLength = 0;
    if (const std::size_t header = BlockHeader(bytes.subspan(i), dataLength)) {
      const std::size_t present = std::min(dataLength, bytes.size() - i - header);
      shown += "<block of " + std::to_string(dataLength) + " bytes";
      if (present < dataLength) shown += ", " + std::to_string(present) + " here";
      shown += ">";
      i += header + present;
      continue;
    }
    AppendEscaped(shown, bytes[i++]);
  }
  shown += '"';
  if (i < bytes.size()) shown += " and " + std::to_string(bytes.size() - i) + " more bytes";
  return shown;
}

std::shared_ptr<IoLogSink> IoLogSink::Open(std::string_view destination, std::string& error) {
  destination = TrimWhiteSpace(destination);
  if (EqualsIgnoringCase(destination, "stderr")) return std::shared_ptr<IoLogSink>(new IoLogSink(2, UniqueFd()));
  if (EqualsIgnoringCase(destination, "stdout")) return std::shared_ptr<IoLogSink>(new IoLogSink(1, UniqueFd()));
  if (destination.empty()) {
    error = "No I/O log destination given: " + std::string(kAccepted) + ".";
    return nullptr;
  }
  const std::string path(destination);
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!file.Valid()) {
    error = "Cannot open the I/O log '" + path + "': " + std::strerror(errno) + " (" + std::string(kAccepted) + ").";
    return nullptr;
  }
  const int fd = file.Get();
  return std::shared_ptr<IoLogSink>(new IoLogSink(fd, std::move(file)));
}

void IoLogSink::Write(std::string_view message) {
  const std::string line = Now() + " " + std::string(message) + "\n";
  const std::lock_guard lock(LineMutex());
  // A line that cannot be written (a full disk, a closed descriptor) is
  // lost; the operation it records goes on.
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t result = ::write(fd_, line.data() + written, line.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return;
    written += static_cast<std::size_t>(result);
  }
}

void SetIoLogHandler(IoLogHandler handler, void* context) {
  const std::lock_guard lock(LineMutex());
  installedHandler = {handler, context};
}

bool AttachIoLog(std::shared_ptr<IVisaLibrary>& library, std::string_view configured, std::string& error,
                 IoLogObserver observer) {
  std::string_view destination = TrimWhiteSpace(configured);
  std::string_view origin = "DriverSetup IoLog";
  if (destination.empty()) {
    const char* fromEnvironment = std::getenv("HVZELTA_IO_LOG");
    destination = fromEnvironment ? TrimWhiteSpace(fromEnvironment) : std::string_view();
    origin = "HVZELTA_IO_LOG";
  }
  std::shared_ptr<IoLogSink> sink;
  if (!destination.empty()) {
    sink = IoLogSink::Open(destination, error);
    if (!sink) {
      error = std::string(origin) + ": " + error;
      return false;
    }
  }
  if (sink || observer || HandlerInstalled()) {
    library = std::make_shared<LoggingVisa>(std::move(library), std::move(sink), std::move(observer));
  }
  return true;
}

}  // namespace hvzelta::visa
