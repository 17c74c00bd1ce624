#pragma once

// A small streaming JSON writer for the program's --json output: values are
// written in order, commas and key quoting are its business, and text that
// is not valid UTF-8 still comes out as a valid document.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::cli {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the current object.
  void Key(std::string_view name);

  void String(std::string_view text);
  void Integer(std::int64_t value);
  // Shortest text that reads back as the same double; null for NaN and
  // the infinities, which JSON cannot spell.
  void Number(double value);
  void Boolean(bool value);
  void Null();

  // Ends the document with a newline.
  void Finish();

 private:
  void BeforeValue();

  std::ostream& out_;
  std::vector<bool> firstInLevel_;  // per open object or array
  bool afterKey_ = false;
};

// `text` as a JSON string literal, quotes included. Control characters are
// escaped; a byte that does not start valid UTF-8 stands for the character
// of the same number (as if the text were Latin-1).
std::string JsonQuote(std::string_view text);

// The shortest text that reads back as the same double ("230", "0.1",
// "1e+300", "inf").
std::string ShortestText(double value);

}  // namespace hvzelta::cli
