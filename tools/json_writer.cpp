#include "json_writer.h"

#include <charconv>
#include <cmath>
#include <string>

namespace hvzelta::cli {

namespace {

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is
// not a valid one (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

void AppendEscape(std::string& out, unsigned code) {
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[(code >> 4) & 0xF];
  out += kHex[code & 0xF];
}

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(text.substr(i));
    if (length > 1) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          AppendEscape(out, c);
        } else if (c >= 0x80) {
          // The Latin-1 character of the byte, as its two UTF-8 bytes.
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ShortestText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!firstInLevel_.empty()) {
    if (!firstInLevel_.back()) out_ << ',';
    firstInLevel_.back() = false;
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_ << '{';
  firstInLevel_.push_back(true);
}

void JsonWriter::EndObject() {
  firstInLevel_.pop_back();
  out_ << '}';
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_ << '[';
  firstInLevel_.push_back(true);
}

void JsonWriter::EndArray() {
  firstInLevel_.pop_back();
  out_ << ']';
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << JsonQuote(name) << ':';
  afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  out_ << JsonQuote(text);
}

void JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Number(double value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  out_ << ShortestText(value);
}

void JsonWriter::Boolean(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

void JsonWriter::Finish() { out_ << '\n' << std::flush; }

}  // namespace hvzelta::cli
