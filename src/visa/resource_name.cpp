#include "visa/resource_name.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/text.h"

namespace hvzelta::visa {
namespace {

// Every parser below views the caller's text; a refusal names the part of
// it that does not fit the grammar in `at`.
std::nullopt_t Reject(std::string_view& at, std::string_view part) {
  at = part;
  return std::nullopt;
}

// The end of a view, where something is missing.
std::string_view After(std::string_view part) { return part.substr(part.size()); }

// Splits at "::", except inside brackets, so that IPv6 hosts survive.
std::optional<std::vector<std::string_view>> SplitTokens(std::string_view text, std::string_view& at) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  std::size_t openedAt = 0;
  bool inBrackets = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      if (inBrackets) return Reject(at, text.substr(i, 1));
      inBrackets = true;
      openedAt = i;
    } else if (text[i] == ']') {
      if (!inBrackets) return Reject(at, text.substr(i, 1));
      inBrackets = false;
    } else if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      tokens.push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  if (inBrackets) return Reject(at, text.substr(openedAt, 1));
  tokens.push_back(text.substr(start));
  for (auto token : tokens)
    if (token.empty()) return Reject(at, token);
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
// without them). An address in brackets holds a colon, which is also what
// makes the full form bracket it again.
std::optional<std::string> ParseHost(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.find(':') == std::string_view::npos) return std::nullopt;
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

std::optional<ResourceName> ParseTcpip(ViUInt16 board, std::vector<std::string_view> tokens, std::string_view& at) {
  ResourceName name;
  name.interfaceType = VI_INTF_TCPIP;
  name.board = board;
  const std::string prefix = "TCPIP" + std::to_string(board) + "::";

  if (tokens.size() == 3 && EqualsIgnoringCase(tokens[2], "SOCKET")) {
    auto host = ParseHost(tokens[0]);
    if (!host) return Reject(at, tokens[0]);
    auto port = ParseDecimal<std::uint16_t>(tokens[1], 0xFFFF);
    if (!port || *port == 0) return Reject(at, tokens[1]);
    name.kind = ResourceKind::TcpipSocket;
    name.resourceClass = "SOCKET";
    name.host = *host;
    name.port = *port;
    name.canonical = prefix + BracketedHost(name.host) + "::" + std::to_string(name.port) + "::SOCKET";
    return name;
  }

  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.size() > 2) return Reject(at, tokens[2]);

  // "host,port" names the VXI-11 core channel's port directly.
  std::string_view hostToken = tokens[0];
  std::uint16_t directPort = 0;
  if (auto comma = hostToken.rfind(','); comma != std::string_view::npos && hostToken.back() != ']') {
    auto port = ParseDecimal<std::uint16_t>(hostToken.substr(comma + 1), 0xFFFF);
    if (!port || *port == 0) return Reject(at, hostToken.substr(comma + 1));
    directPort = *port;
    hostToken = hostToken.substr(0, comma);
  }
  auto host = ParseHost(hostToken);
  if (!host) return Reject(at, hostToken);
  name.host = *host;

  const std::string_view device = tokens.size() == 2 ? tokens[1] : std::string_view("inst0");
  if (EqualsIgnoringCase(device, "SOCKET")) return Reject(at, device);
  for (std::size_t i = 0; i < device.size(); ++i)
    if (!IsDeviceNameChar(device[i])) return Reject(at, device.substr(i, 1));

  if (StartsWithIgnoringCase(device, "hislip")) {
    if (directPort != 0) return Reject(at, tokens[0].substr(hostToken.size()));
    name.kind = ResourceKind::Hislip;
    name.port = kHislipDefaultPort;
    std::string_view sub = device;
    if (auto comma = sub.find(','); comma != std::string_view::npos) {
      auto port = ParseDecimal<std::uint16_t>(sub.substr(comma + 1), 0xFFFF);
      if (!port || *port == 0) return Reject(at, sub.substr(comma + 1));
      name.port = *port;
      sub = sub.substr(0, comma);
    }
    name.deviceName = AsciiLower(sub);
    if (name.deviceName.size() == 6) return Reject(at, After(sub));  // "hislip" needs its number
    std::string suffix = name.port == kHislipDefaultPort ? "" : "," + std::to_string(name.port);
    name.canonical = prefix + BracketedHost(name.host) + "::" + name.deviceName + suffix + "::INSTR";
    return name;
  }

  name.kind = ResourceKind::Vxi11;
  name.port = directPort;
  name.deviceName = StartsWithIgnoringCase(device, "inst") ? AsciiLower(device) : std::string(device);
  std::string hostPart = BracketedHost(name.host) + (directPort ? "," + std::to_string(directPort) : "");
  name.canonical = prefix + hostPart + "::" + name.deviceName + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseSerial(std::string_view boardText, std::vector<std::string_view> tokens,
                                        std::string_view& at) {
  ResourceName name;
  name.kind = ResourceKind::Serial;
  name.interfaceType = VI_INTF_ASRL;
  name.resourceClass = "INSTR";
  // Nothing but the class may follow the board.
  for (std::size_t i = 0; i < tokens.size(); ++i)
    if (i > 0 || !EqualsIgnoringCase(tokens[i], "INSTR")) return Reject(at, tokens[i]);
  if (!boardText.empty() && boardText.front() == '/') {
    for (std::size_t i = 0; i < boardText.size(); ++i)
      if (static_cast<unsigned char>(boardText[i]) <= ' ' || boardText[i] == ':')
        return Reject(at, boardText.substr(i, 1));
    name.serialPath = std::string(boardText);
    name.canonical = "ASRL" + name.serialPath + "::INSTR";
    return name;
  }
  auto board = boardText.empty() ? std::nullopt : ParseBoard(boardText);
  if (!board) return Reject(at, boardText);
  name.board = *board;
  if (*board > 0) name.serialPath = "/dev/ttyS" + std::to_string(*board - 1);
  name.canonical = "ASRL" + std::to_string(*board) + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseUsb(ViUInt16 board, std::vector<std::string_view> tokens, std::string_view& at) {
  ResourceName name;
  name.kind = ResourceKind::UsbTmc;
  name.interfaceType = VI_INTF_USB;
  name.board = board;
  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.size() > 4) return Reject(at, tokens[4]);
  if (tokens.size() < 3) return Reject(at, After(tokens.back()));
  auto vendor = ParseUsbId(tokens[0]);
  if (!vendor) return Reject(at, tokens[0]);
  auto product = ParseUsbId(tokens[1]);
  if (!product) return Reject(at, tokens[1]);
  for (std::size_t i = 0; i < tokens[2].size(); ++i) {
    const auto c = static_cast<unsigned char>(tokens[2][i]);
    if (c <= ' ' || c >= 0x7F || c == ':') return Reject(at, tokens[2].substr(i, 1));
  }
  name.vendorId = *vendor;
  name.productId = *product;
  name.serialNumber = std::string(tokens[2]);
  if (tokens.size() == 4) {
    auto intf = ParseDecimal<int>(tokens[3], 255);
    if (!intf) return Reject(at, tokens[3]);
    name.usbInterface = *intf;
  }
  char ids[32];
  std::snprintf(ids, sizeof ids, "::0x%04X::0x%04X::", unsigned{name.vendorId}, unsigned{name.productId});
  name.canonical = "USB" + std::to_string(board) + ids + name.serialNumber +
                   (name.usbInterface >= 0 ? "::" + std::to_string(name.usbInterface) : "") + "::INSTR";
  return name;
}

std::optional<ResourceName> ParseGpib(ViUInt16 board, std::vector<std::string_view> tokens, std::string_view& at) {
  ResourceName name;
  name.kind = ResourceKind::Gpib;
  name.interfaceType = VI_INTF_GPIB;
  name.board = board;
  name.resourceClass = TakeClass(tokens, "INSTR");
  if (tokens.size() > 2) return Reject(at, tokens[2]);
  auto primary = ParseDecimal<int>(tokens[0], 30);
  if (!primary) return Reject(at, tokens[0]);
  name.gpibPrimary = *primary;
  if (tokens.size() == 2) {
    auto secondary = ParseDecimal<int>(tokens[1], 30);
    if (!secondary) return Reject(at, tokens[1]);
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

namespace {

std::optional<ResourceName> ParseTrimmed(std::string_view text, std::string_view& at) {
  if (text.size() > kMaxResourceNameLength) return Reject(at, text.substr(kMaxResourceNameLength));
  auto tokens = SplitTokens(text, at);
  if (!tokens) return std::nullopt;
  std::string_view head = tokens->front();
  tokens->erase(tokens->begin());

  struct Interface {
    std::string_view keyword;
    std::optional<ResourceName> (*parse)(ViUInt16, std::vector<std::string_view>, std::string_view&);
  };
  static constexpr Interface kInterfaces[] = {
      {"TCPIP", ParseTcpip},
      {"USB", ParseUsb},
      {"GPIB", ParseGpib},
  };
  if (StartsWithIgnoringCase(head, "ASRL")) return ParseSerial(head.substr(4), *tokens, at);
  for (const auto& entry : kInterfaces) {
    if (!StartsWithIgnoringCase(head, entry.keyword)) continue;
    auto board = ParseBoard(head.substr(entry.keyword.size()));
    if (!board) return Reject(at, head.substr(entry.keyword.size()));
    if (tokens->empty()) return Reject(at, After(head));
    return entry.parse(*board, *tokens, at);
  }
  return Reject(at, head);
}

}  // namespace

std::optional<ResourceName> ParseResourceName(std::string_view text, std::size_t* failedAt) {
  const std::string_view trimmed = TrimWhiteSpace(text);
  std::string_view at = trimmed;
  std::optional<ResourceName> name = ParseTrimmed(trimmed, at);
  // The full form spells numbers out (a USB id as 0x0005): a name whose full
  // form would pass the length limit is refused at its end, so that every
  // name taken can be given back and taken again.
  if (name && name->canonical.size() > kMaxResourceNameLength) {
    name.reset();
    at = After(trimmed);
  }
  if (!name && failedAt) *failedAt = static_cast<std::size_t>(at.data() - text.data()) + 1;
  return name;
}

bool LooksLikeAlias(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (text.empty() || text.find("::") != std::string_view::npos) return false;
  for (std::string_view keyword : {"TCPIP", "ASRL", "USB", "GPIB", "VXI", "PXI"})
    if (StartsWithIgnoringCase(text, keyword)) return false;
  return true;
}

}  // namespace hvzelta::visa
