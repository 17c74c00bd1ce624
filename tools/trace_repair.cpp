#include "trace_repair.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace hvzelta::tracepage {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t NameEnd(std::string_view text, std::size_t at) {
  if (at >= text.size() || !IsNameStart(text[at])) return at;
  while (at < text.size() && IsNameChar(text[at])) ++at;
  return at;
}

// Whether a value's closing quote can stand at `quote`: what follows is
// another attribute or the end of the tag.
bool EndsValue(std::string_view text, std::size_t quote) {
  std::size_t at = quote + 1;
  const std::size_t spaces = at;
  while (at < text.size() && IsSpace(text[at])) ++at;
  if (at < text.size() && text[at] == '>') return true;
  if (text.substr(at, 2) == "/>") return true;
  if (at == spaces) return false;
  const std::size_t name = NameEnd(text, at);
  return name > at && text.substr(name, 2) == "=\"";
}

struct Attribute {
  std::string_view name;
  std::string_view value;
};

// One start tag at `at` (its "<"): the name, the attributes and whether it
// ends with "/>"; nullopt when the text ends before the tag does.
struct StartTag {
  std::string_view name;
  std::vector<Attribute> attributes;
  bool empty = false;
  std::size_t end = 0;  // just past ">"
};

std::optional<StartTag> ReadStartTag(std::string_view text, std::size_t at) {
  StartTag tag;
  const std::size_t nameEnd = NameEnd(text, at + 1);
  if (nameEnd == at + 1) return std::nullopt;
  tag.name = text.substr(at + 1, nameEnd - at - 1);
  at = nameEnd;
  for (;;) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at >= text.size()) return std::nullopt;
    if (text[at] == '>') {
      tag.end = at + 1;
      return tag;
    }
    if (text.substr(at, 2) == "/>") {
      tag.empty = true;
      tag.end = at + 2;
      return tag;
    }
    const std::size_t attributeEnd = NameEnd(text, at);
    if (attributeEnd == at || text.substr(attributeEnd, 2) != "=\"") return std::nullopt;
    const std::size_t valueStart = attributeEnd + 2;
    std::size_t quote = text.find('"', valueStart);
    while (quote != std::string_view::npos && !EndsValue(text, quote)) quote = text.find('"', quote + 1);
    if (quote == std::string_view::npos) return std::nullopt;
    const std::string_view name = text.substr(at, attributeEnd - at);
    // A name given twice keeps its first value, as XML allows only one.
    if (std::none_of(tag.attributes.begin(), tag.attributes.end(),
                     [name](const Attribute& attribute) { return attribute.name == name; })) {
      tag.attributes.push_back({name, text.substr(valueStart, quote - valueStart)});
    }
    at = quote + 1;
  }
}

// The length of the UTF-8 sequence at `at` when it is a character XML can
// hold, else 0.
std::size_t XmlCharacterLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(at + i) & 0x3F);
  }
  constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool valid = code >= kSmallest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                     code != 0xFFFE && code != 0xFFFF;
  return valid ? length : 0;
}

// A value as XML can carry it: markup characters as references, line
// breaks and tabs as references so that they survive the parser, control
// characters as their pictures (U+2400 on) and bytes that are not UTF-8 as
// U+FFFD. All but the line breaks and tabs count as a repair.
void AppendEscaped(std::string& out, std::string_view value, bool& escaped) {
  for (std::size_t at = 0; at < value.size();) {
    const char c = value[at];
    const std::size_t length = XmlCharacterLength(value, at);
    if (length > 1) {
      out.append(value.substr(at, length));
      at += length;
      continue;
    }
    ++at;
    switch (c) {
      case '<': out += "&lt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; continue;
      case '\n': out += "&#10;"; continue;
      case '\r': out += "&#13;"; continue;
      default:
        if (length == 1) {
          out += c;
          continue;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\xE2\x90";  // U+2400 + c
          out += static_cast<char>(0x80 + c);
        } else {
          out += "\xEF\xBF\xBD";
        }
    }
    escaped = true;
  }
}

// A processing instruction the driver writes: the XML declaration, first,
// or the stylesheet line; its text all characters XML can hold.
bool IsKnownInstruction(std::string_view instruction, std::size_t at) {
  if (at == 0 && instruction == "<?xml version=\"1.0\"?>") return true;
  if (instruction.substr(0, 17) != "<?xml-stylesheet ") return false;
  for (std::size_t i = 0; i < instruction.size();) {
    const std::size_t length = XmlCharacterLength(instruction, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string_view ValueOf(const StartTag& tag, std::string_view name) {
  for (const Attribute& attribute : tag.attributes) {
    if (attribute.name == name) return attribute.value;
  }
  return {};
}

struct OpenElement {
  std::string name;
  std::size_t attributesAt;  // in the output, where InFlight goes
  std::optional<CallInFlight> call;
};

}  // namespace

RepairedTrace RepairTrace(std::string_view text) {
  RepairedTrace trace;
  const std::size_t meaningful = text.find_last_not_of('\0') + 1;  // npos + 1 == 0
  trace.zeroBytes = text.size() - meaningful;
  text = text.substr(0, meaningful);
  std::string& out = trace.xml;
  out.reserve(text.size() + text.size() / 16);
  std::vector<OpenElement> open;
  bool sawRoot = false;
  std::size_t at = 0;
  bool cut = false;
  while (at < text.size() && !cut) {
    if (IsSpace(text[at])) {
      out += text[at++];
      continue;
    }
    if (text.substr(at, 2) == "<?") {
      const std::size_t end = text.find("?>", at);
      if (end == std::string_view::npos || sawRoot) break;
      const std::string_view instruction = text.substr(at, end + 2 - at);
      // Anything else the driver does not write; a reader gets no further.
      if (!IsKnownInstruction(instruction, at)) break;
      out.append(instruction);
      at = end + 2;
    } else if (text.substr(at, 2) == "</") {
      const std::size_t end = text.find('>', at);
      if (end == std::string_view::npos || open.empty()) break;
      out += "</" + open.back().name + ">";
      open.pop_back();
      at = end + 1;
    } else if (text[at] == '<') {
      const std::optional<StartTag> tag = ReadStartTag(text, at);
      if (!tag || (sawRoot && open.empty())) break;
      sawRoot = true;
      out += '<';
      out.append(tag->name);
      const std::size_t attributesAt = out.size();
      for (const Attribute& attribute : tag->attributes) {
        out += ' ';
        out.append(attribute.name);
        out += "=\"";
        AppendEscaped(out, attribute.value, trace.escapedValues);
        out += '"';
      }
      out += tag->empty ? "/>" : ">";
      if (!tag->empty) {
        OpenElement element{std::string(tag->name), attributesAt, std::nullopt};
        if (tag->name == "Method") {
          element.call = CallInFlight{std::string(ValueOf(*tag, "Interface")) + "." + std::string(ValueOf(*tag, "Name")),
                                      std::string(ValueOf(*tag, "Thread")), std::string(ValueOf(*tag, "StartTime"))};
        }
        open.push_back(std::move(element));
      }
      at = tag->end;
    } else {
      cut = true;  // text where the driver writes none: garbage from here on
    }
  }
  // Trailing white space after the last tag is kept, and does not count as cut.
  std::size_t readable = at;
  while (readable > 0 && IsSpace(text[readable - 1])) --readable;
  trace.cutShort = !open.empty() || !sawRoot || at < text.size();
  if (!trace.cutShort) return trace;
  trace.endOffset = readable;
  trace.endLine = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(readable), '\n'));
  trace.droppedBytes = text.size() - at;
  out.resize(out.size() - (at - readable));
  if (!sawRoot) {
    out += "\r\n<TraceRecords>";
    open.push_back({"TraceRecords", out.size() - 1, std::nullopt});
  }
  for (auto element = open.rbegin(); element != open.rend(); ++element) {
    if (element->call) {
      out.insert(element->attributesAt, " InFlight=\"true\"");
      trace.inFlight.insert(trace.inFlight.begin(), *element->call);
    }
  }
  std::string end = "\r\n<TraceEnd Line=\"" + std::to_string(trace.endLine) + "\" Offset=\"" +
                    std::to_string(trace.endOffset) + "\" DroppedBytes=\"" + std::to_string(trace.droppedBytes) +
                    "\" ZeroBytes=\"" + std::to_string(trace.zeroBytes) + "\"/>";
  for (std::size_t i = open.size(); i-- > 0;) {
    // Below the root, the end element goes after the last open record.
    if (i == 0) out += end;
    out += "</" + open[i].name + ">";
  }
  out += "\r\n";
  return trace;
}

std::string DescribeRepair(const RepairedTrace& trace) {
  std::string text;
  if (trace.escapedValues) {
    text += "values holding <, & or \" were escaped to be read as XML, and the page shows them as written; "
            "control characters show as their pictures and bytes that are not UTF-8 as \xEF\xBF\xBD.\n";
  }
  if (!trace.cutShort) return text;
  text += "the trace was cut short at line " + std::to_string(trace.endLine) + " (byte " +
          std::to_string(trace.endOffset) + "): the program ended without closing the driver";
  if (trace.droppedBytes > 0) text += "; " + std::to_string(trace.droppedBytes) + " bytes of an unfinished tag follow";
  if (trace.zeroBytes > 0) text += "; " + std::to_string(trace.zeroBytes) + " zero bytes of reserved space follow";
  text += ".\n";
  if (trace.inFlight.empty()) return text + "no call was in flight.\n";
  text += std::to_string(trace.inFlight.size()) + (trace.inFlight.size() == 1 ? " call was" : " calls were") +
          " in flight:\n";
  for (const CallInFlight& call : trace.inFlight) {
    text += "  " + call.name + " (thread " + call.thread + ", started " + call.startTime + ")\n";
  }
  return text;
}

}  // namespace hvzelta::tracepage
