#include "hislip_message.h"

#include <algorithm>

namespace zta_sim::hislip {

namespace {

std::uint64_t ReadBigEndian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (const char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
  return value;
}

void AppendBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string EncodeHeader(MessageType type, std::uint8_t control, std::uint32_t parameter, std::uint64_t length) {
  std::string header = "HS";
  header += static_cast<char>(type);
  header += static_cast<char>(control);
  AppendBigEndian(header, parameter, 4);
  AppendBigEndian(header, length, 8);
  return header;
}

bool DecodeHeader(std::string_view bytes, Header& header) {
  if (bytes.size() < kHeaderSize || bytes[0] != 'H' || bytes[1] != 'S') return false;
  header.type = static_cast<std::uint8_t>(bytes[2]);
  header.control = static_cast<std::uint8_t>(bytes[3]);
  header.parameter = static_cast<std::uint32_t>(ReadBigEndian(bytes.substr(4, 4)));
  header.length = ReadBigEndian(bytes.substr(8, 8));
  return true;
}

std::uint64_t ReadBigEndian64(std::string_view bytes) { return ReadBigEndian(bytes.substr(0, 8)); }

std::string BigEndian64(std::uint64_t value) {
  std::string bytes;
  AppendBigEndian(bytes, value, 8);
  return bytes;
}

bool Framer::Feed(std::string_view bytes, FrameHandler& handler) {
  while (!ended_) {
    if (!inPayload_) {
      const std::size_t take = std::min(kHeaderSize - header_.size(), bytes.size());
      header_.append(bytes.substr(0, take));
      bytes.remove_prefix(take);
      if (header_.size() < kHeaderSize) break;
      if (!DecodeHeader(header_, current_)) {
        ended_ = true;
        handler.OnBadHeader();
        break;
      }
      header_.clear();
      inPayload_ = true;
      left_ = current_.length;
      keep_ = current_.length <= handler.PayloadLimit(current_.type);
      payload_.clear();
    }
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
    if (keep_) payload_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    left_ -= take;
    if (left_ > 0) break;
    inPayload_ = false;
    const Message message{current_, keep_ ? std::string_view(payload_) : std::string_view(), !keep_};
    if (!handler.OnMessage(message)) ended_ = true;
  }
  return !ended_;
}

}  // namespace zta_sim::hislip
