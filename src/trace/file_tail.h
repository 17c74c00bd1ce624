#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace hvzelta {

// Appends text to the end of a file so that it is in the kernel's page cache
// the moment Append returns: a process that is killed right after loses none
// of it. The text is copied into a shared mapping of the file's end, a window
// of reserved space that moves on when full, which costs no system call per
// piece; where space cannot be reserved or mapped (a full disk, a file size
// limit, a file system without mappings) it falls back to one write per piece.
// While the file is open it ends in the zero bytes of the reserved space that
// is not written yet; Close cuts them off.
class FileTail {
 public:
  static constexpr std::size_t kWindow = std::size_t{4} << 20;

  FileTail() = default;
  ~FileTail() { Close(); }
  FileTail(const FileTail&) = delete;
  FileTail& operator=(const FileTail&) = delete;

  // Takes an empty file opened for reading and writing.
  void Attach(int file);
  bool IsOpen() const { return file_ >= 0; }
  // 0, or the errno of a failed append. What a failing write took stays in
  // the file and the rest is dropped, so text is never written twice.
  int Append(std::string_view text);
  // Flushes to disk; 0 or errno.
  int Sync();
  // Bytes appended so far.
  std::int64_t Length() const { return length_; }
  // Cuts the reserved space off and closes the file.
  void Close();

 private:
  bool MoveWindow();
  int Write(std::string_view text);

  int file_ = -1;
  char* window_ = nullptr;
  std::int64_t windowStart_ = 0;  // file offset of window_[0]
  std::int64_t length_ = 0;
  bool mapped_ = true;
};

}  // namespace hvzelta
