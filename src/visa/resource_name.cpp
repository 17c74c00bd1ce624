#include "visa/resource_name.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/text.h"

namespace hvzelta::visa {
namespace {

// Splits at "::", except inside brackets, so that IPv6 hosts survive.
std::optional<std::vector<std::string_view>> SplitTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  bool inBrackets = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      if (inBrackets) return std::nullopt;
      inBrackets = true;
    } else if (text[i] == ']') {
      if (!inBrackets) return std::nullopt;
      inBrackets = false;
    } else if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      tokens.push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  if (inBrackets) return std::nullopt;
  tokens.push_back(text.substr(start));
  for (auto token : tokens)
    if (token.empty()) return std::nullopt;
  return tokens;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

template <typename T>
std::optional<T> ParseDecimal(std::string_view text, T max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value > static_cast<std::uint64_t>(max))
    return std::nullopt;
  return static_cast<T>(value);
}

// USB identities are written in hexadecimal with 0x, or in decimal.
std::optional<std::uint16_t> ParseUsbId(std::string_view text) {
  if (StartsWithIgnoringCase(text, "0x")) {
    text.remove_prefix(2);
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return static_cast<std::uint16_t>(value);
  }
  return ParseDecimal<std::uint16_t>(text, 0xFFFF);
}

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_';
}

// A host name or IPv4 address, or an IPv6 address in brackets (returned
// without them).
std::optional<std::string> ParseHost(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.empty()) return std::nullopt;
    for (char c : inner)
      if (!(IsHostChar(c) || c == ':' || c == '%')) return std::nullopt;
    return std::string(inner);
  }
  if (text.empty() || text.size() > 253) return std::nullopt;
  for (char c : text)
    if (!IsHostChar(c)) return std::nullopt;
  return std::string(text);
}

bool IsDeviceNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ',';
}

// The board number after an interface keyword: none means board 0.
std::optional<ViUInt16> ParseBoard(std::string_view digits) {
  if (digits.empty()) return ViUInt16{0};
  return ParseDecimal<ViUInt16>(digits, 0xFFFF);
}

// Drops a trailing class keyword; returns the class ("INSTR" when absent).
std::string TakeClass(std::vector<std::string_view>& tokens, std::string_view allowed) {
  if (tokens.size() > 1 && EqualsIgnoringCase(tokens.back(), allowed)) {
    tokens.pop_back();
    return AsciiUpper(allowed);
  }
  return "INSTR";
}

std::string BracketedHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::optional<ResourceName> ParseTcpip(ViUInt16 board, std::vector<std::string_view> tokens) {
  ResourceName name;
  name.interfaceType = VI_INTF_TCPIP;
  name.board = board;
  const std::string prefix = "TCPIP" + std::to_string(board) + "::";

  if (tokens.size() == 3 && EqualsIgnoringCase(tokens[2], "SOCKET")) {
    auto host = ParseHost(tokens[0]);
    auto port = ParseDecimal<std::uint16_t>(tokens[1], 0xFFFF);
    if (!host || !port || *port == 0) return std::nullopt;
    name.kind = ResourceKind::TcpipSocket;
    name.resourceClass = "SOCKET";
    name.host = *host;
    name.port = *port;
    name.canonical = prefix + BracketedHost(name.host) + "::" + std::to_string(name.port) + "::SOCKET";
    return name;
  }

  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.empty() || tokens.size() > 2) return std::nullopt;

  // "host,port" names the VXI-11 core channel's port directly.
  std::string_view hostToken = tokens[0];
  std::uint16_t directPort = 0;
  if (auto comma = hostToken.rfind(','); comma != std::string_view::npos && hostToken.back() != ']') {
    auto port = ParseDecimal<std::uint16_t>(hostToken.substr(comma + 1), 0xFFFF);
    if (!port || *port == 0) return std::nullopt;
    directPort = *port;
    hostToken = hostToken.substr(0, comma);
  }
  auto host = ParseHost(hostToken);
  if (!host) return std::nullopt;
  name.host = *host;

  std::string device = tokens.size() == 2 ? std::string(tokens[1]) : std::string("inst0");
  if (EqualsIgnoringCase(device, "SOCKET")) return std::nullopt;
  for (char c : device)
    if (!IsDeviceNameChar(c)) return std::nullopt;

  if (StartsWithIgnoringCase(device, "hislip")) {
    if (directPort != 0) return std::nullopt;
    name.kind = ResourceKind::Hislip;
    name.port = kHislipDefaultPort;
    std::string_view sub = device;
    if (auto comma = sub.find(','); comma != std::string_view::npos) {
      auto port = ParseDecimal<std::uint16_t>(sub.substr(comma + 1), 0xFFFF);
      if (!port || *port == 0) return std::nullopt;
      name.port = *port;
      sub = sub.substr(0, comma);
    }
    name.deviceName = AsciiLower(sub);
    if (name.deviceName.size() == 6) return std::nullopt;  // "hislip" needs its number
    std::string suffix = name.port == kHislipDefaultPort ? "" : "," + std::to_string(name.port);
    name.canonical = prefix + BracketedHost(name.host) + "::" + name.deviceName + suffix + "::INSTR";
    return name;
  }

  name.kind = ResourceKind::Vxi11;
  name.port = directPort;
  name.deviceName = StartsWithIgnoringCase(device, "inst") ? AsciiLower(device) : device;
  std::string hostPart = BracketedHost(name.host) + (directPort ? "," + std::to_string(directPort) : "");
  name.canonical = prefix + hostPart + "::" + name.deviceName + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseSerial(std::string_view boardText, std::vector<std::string_view> tokens) {
  ResourceName name;
  name.kind = ResourceKind::Serial;
  name.interfaceType = VI_INTF_ASRL;
  name.resourceClass = "INSTR";
  // Nothing but the class may follow the board.
  if (tokens.size() > 1 || (tokens.size() == 1 && !EqualsIgnoringCase(tokens[0], "INSTR"))) return std::nullopt;
  if (!boardText.empty() && boardText.front() == '/') {
    for (char c : boardText)
      if (static_cast<unsigned char>(c) <= ' ' || c == ':') return std::nullopt;
    name.serialPath = std::string(boardText);
    name.canonical = "ASRL" + name.serialPath + "::INSTR";
    return name;
  }
  if (boardText.empty()) return std::nullopt;
  auto board = ParseBoard(boardText);
  if (!board) return std::nullopt;
  name.board = *board;
  if (*board > 0) name.serialPath = "/dev/ttyS" + std::to_string(*board - 1);
  name.canonical = "ASRL" + std::to_string(*board) + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseUsb(ViUInt16 board, std::vector<std::string_view> tokens) {
  ResourceName name;
  name.kind = ResourceKind::UsbTmc;
  name.interfaceType = VI_INTF_USB;
  name.board = board;
  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.size() != 3 && tokens.size() != 4) return std::nullopt;
  auto vendor = ParseUsbId(tokens[0]);
  auto product = ParseUsbId(tokens[1]);
  if (!vendor || !product) return std::nullopt;
  for (char c : tokens[2])
    if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F || c == ':') return std::nullopt;
  name.vendorId = *vendor;
  name.productId = *product;
  name.serialNumber = std::string(tokens[2]);
  if (tokens.size() == 4) {
    auto intf = ParseDecimal<int>(tokens[3], 255);
    if (!intf) return std::nullopt;
    name.usbInterface = *intf;
  }
  char ids[32];
  std::snprintf(ids, sizeof ids, "::0x%04X::0x%04X::", unsigned{name.vendorId}, unsigned{name.productId});
  name.canonical = "USB" + std::to_string(board) + ids + name.serialNumber +
                   (name.usbInterface >= 0 ? "::" + std::to_string(name.usbInterface) : "") + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseGpib(ViUInt16 board, std::vector<std::string_view> tokens) {
  ResourceName name;
  name.kind = ResourceKind::Gpib;
  name.interfaceType = VI_INTF_GPIB;
  name.board = board;
  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.empty() || tokens.size() > 2) return std::nullopt;
  auto primary = ParseDecimal<int>(tokens[0], 30);
  if (!primary) return std::nullopt;
  name.gpibPrimary = *primary;
  if (tokens.size() == 2) {
    auto secondary = ParseDecimal<int>(tokens[1], 30);
    if (!secondary) return std::nullopt;
    name.gpibSecondary = *secondary;
  }
  name.canonical = "GPIB" + std::to_string(board) + "::" + std::to_string(name.gpibPrimary) +
                   (name.gpibSecondary >= 0 ? "::" + std::to_string(name.gpibSecondary) : "") + "::INSTR";
  return name;
}

}  // namespace

std::string ResourceName::LockKey() const {
  return kind == ResourceKind::Serial ? "ASRL" + serialPath : AsciiLower(canonical);
}

std::optional<ResourceName> ParseResourceName(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (text.size() > 1024) return std::nullopt;
  auto tokens = SplitTokens(text);
  if (!tokens) return std::nullopt;
  std::string_view head = tokens->front();
  tokens->erase(tokens->begin());

  struct Interface {
    std::string_view keyword;
    std::optional<ResourceName> (*parse)(ViUInt16, std::vector<std::string_view>);
  };
  static constexpr Interface kInterfaces[] = {
      {"TCPIP", ParseTcpip},
      {"USB", ParseUsb},
      {"GPIB", ParseGpib},
  };
  if (StartsWithIgnoringCase(head, "ASRL")) return ParseSerial(head.substr(4), *tokens);
  if (tokens->empty()) return std::nullopt;
  for (const auto& entry : kInterfaces) {
    if (!StartsWithIgnoringCase(head, entry.keyword)) continue;
    auto board = ParseBoard(head.substr(entry.keyword.size()));
    if (!board) return std::nullopt;
    return entry.parse(*board, *tokens);
  }
  return std::nullopt;
}

}  // namespace hvzelta::visa
