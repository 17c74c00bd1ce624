#pragma once

// The directive language as its tables write it, as regular expressions: a
// cutter of its own that the scanner is compared with, in the tests and
// under the fuzzer.

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "fmtio/directive_scanner.h"

namespace hvzelta::reference {

// The directive tables as written, one pattern per kind in table order.
inline const std::vector<std::string> kWriteTable = {
    R"([^%]+|(%%))",
    R"(%\b*[-+0 ]*((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|(0*\*)\b*)?(\.\z|\*\b*)?[lhbI]?[dioux])",
    R"(%\b*[-+0 ]*((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|(0*\*)\b*)?(\.\z|\*\b*)?,|(\([,;:strn]\))\b*(\z|\*\b*)?(\$S\b*)?[lhbI]?[dioux])",
    R"(%\b*[-+0 ]*((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|(0*\*)\b*)?(\.\z|\*\b*)?[lL]?[feEgG])",
    R"(%\b*[-+0 ]*((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|(0*\*)\b*)?(\.\z|\*\b*)?,|(\([,;:strn]\))\b*(\z|\*\b*)?(\$S\b*)?[lL]?[feEgG])",
    R"(%\b*(\z|\*\b*)?(\$S\b*)?[hlzZI]?b)",
    R"(%\b*(\z|\*\b*)?(\$S\b*)?[hlzZI]?B)",
    R"(%\b*(\z|\*\b*)?((\!ob)|(\!ol)\b*)?(\$S\b*)?[hlI]?y)",
    R"(%\b*-?\b*(\z|\*\b*)?(\.(\z|\*)\b*)?c)",
    R"(%\b*-?\b*(\z|\*\b*)?(\.(\z|\*)\b*)?(\$B|C\b*)?[qQ]?s)",
    R"(%\b*-?\b*(\z|\*\b*)?(\.(\z|\*)\b*)?,|(\([,;:strn]\))\b*(\z|\*\b*)?(\$S\b*)?(\$B|C\b*)?[qQ]?s)",
    R"(%\b*\{\b*[a-zA-Z0-9_]+\b*\}\b*-?\b*(\z|\*\b*)?(\.(\z|\*)\b*)?[qQ]?s)",
    R"(%\b*\{\b*[a-zA-Z0-9_]+\b*\}\b*-?\b*(\z|\*\b*)?(\.(\z|\*)\b*)?,|(\([,;:strn]\))\b*(\z|\*\b*)?(\$S\b*)?[qQ]?s)",
};

inline const std::vector<std::string> kReadTable = {
    R"([^%]+|(%%))",
    R"(%\b*(\*\b*)?((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|#\b*)?[lhbI]?[dioux])",
    R"(%\b*(\*\b*)?((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|#\b*)?,|(\([,;:strn]+\))\b*(\z|#\b*)?(\$S\b*)?[lhbI]?[dioux])",
    R"(%\b*(\*\b*)?((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|#\b*)?[lL]?[feEgG])",
    R"(%\b*(\*\b*)?((@1)|(@2)|(@3)|(@H)|(@Q)|(@B)\b*)?(\z|#\b*)?,|(\([,;:strn]+\))\b*(\z|#\b*)?(\$S\b*)?[lL]?[feEgG])",
    R"(%\b*(\*\b*)?(\z|#\b*)?(\$S\b*)?[hlzZI]?b)",
    R"(%\b*(\*\b*)?(\z|#\b*)?((\!ob)|(\!ol)\b*)?(\$S\b*)?[hlI]?y)",
    R"(%\b*(\*\b*)?(\z|#\b*)?c)",
    R"(%\b*(\*\b*)?(\z|#\b*)?(\$B|C\b*)?T)",
    R"(%\b*(\*\b*)?(\z|#\b*)?(\$B|C\b*)?t)",
    R"(%\b*(\*\b*)?(\z|#\b*)?(\$B|C\b*)?s)",
    R"(%\b*(\*\b*)?(\z|#\b*)?(\$B|C\b*)?\[(\^)?[^\]]*\])",
    R"(%\b*(\*\b*)?(\z|#\b*)?,|(\([,;:strn]+\))\b*(\z|#\b*)?(\$S\b*)?(\$B|C\b*)?[qQ]?s)",
    R"(%\b*\{\b*[a-zA-Z0-9_]+\b*\}\b*(\*\b*)?(\z|#\b*)?[qQ]?s)",
    R"(%\b*\{\b*[a-zA-Z0-9_]+\b*\}\b*(\*\b*)?(\z|#\b*)?\[(\^)?[^\]]*\])",
    R"(%\b*\{\b*[a-zA-Z0-9_]+\b*\}\b*(\*\b*)?(\z|#\b*)?,|(\([,;:strn]+\))\b*(\z|#\b*)?(\$S\b*)?[qQ]?s)",
};

// Rewrites a pattern of the tables' dialect for the ECMAScript engine: the
// abbreviations become classes, round brackets stop capturing, curly ones
// capture, and "|" takes the single quantified item on each side.
class DialectTranslator {
 public:
  explicit DialectTranslator(const std::string& pattern) : p_(pattern) {}
  // A pattern the translator cannot read to its end is a broken table.
  std::string Translate() {
    std::string out = Sequence('\0');
    if (i_ != p_.size()) std::abort();
    return out;
  }

 private:
  std::string Sequence(char close) {
    std::vector<std::vector<std::string>> runs;  // items joined by "|"
    bool joinNext = false;
    while (i_ < p_.size() && p_[i_] != close) {
      if (p_[i_] == '|') {
        ++i_;
        joinNext = true;
        continue;
      }
      std::string item = Item();
      if (joinNext && !runs.empty()) runs.back().push_back(item);
      else runs.push_back({item});
      joinNext = false;
    }
    if (close) ++i_;
    std::string out;
    for (const auto& run : runs) {
      if (run.size() == 1) {
        out += run[0];
        continue;
      }
      out += "(?:";
      for (std::size_t k = 0; k < run.size(); ++k) out += (k ? "|" : "") + run[k];
      out += ")";
    }
    return out;
  }
  std::string Item() {
    std::string atom = Atom();
    while (i_ < p_.size() && (p_[i_] == '*' || p_[i_] == '+' || p_[i_] == '?')) {
      atom = "(?:" + atom + ")" + p_[i_++];
      if (i_ < p_.size() && p_[i_] == '?') atom += p_[i_++];
    }
    return atom;
  }
  std::string Atom() {
    const char c = p_[i_++];
    switch (c) {
      case '(': return "(?:" + Sequence(')') + ")";
      case '{': return "(" + Sequence('}') + ")";
      case '[': {
        const std::size_t start = i_ - 1;
        if (p_[i_] == '^') ++i_;
        while (p_[i_] != ']') i_ += p_[i_] == '\\' ? 2 : 1;
        ++i_;
        return p_.substr(start, i_ - start);
      }
      case '^': return "^";
      case '\\': {
        const char e = p_[i_++];
        switch (e) {
          case 'b': return "[ \\t]";
          case 'z': return "(?:[0-9]+)";
          case 'd': return "[0-9]";
          default: return std::string(std::string("\\^$.|?*+()[]{}/").find(e) != std::string::npos ? "\\" : "") + e;
        }
      }
      default: return std::string(std::string("$.").find(c) != std::string::npos ? "\\" : "") + c;
    }
  }
  std::string p_;
  std::size_t i_ = 0;
};

// Cuts with the translated combined pattern: the kind is the first group
// that matched text.
class ReferenceCutter {
 public:
  explicit ReferenceCutter(const std::vector<std::string>& table) {
    std::string combined = "^";
    for (std::size_t k = 0; k < table.size(); ++k) combined += (k ? "|{" : "{") + table[k] + "}";
    pattern_ = std::regex(DialectTranslator(combined).Translate(), std::regex::ECMAScript);
    kinds_ = table.size();
  }
  bool Cut(const std::string& text, std::vector<Token>& tokens) const {
    tokens.clear();
    std::size_t position = 0;
    while (position < text.size()) {
      std::smatch match;
      if (!std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(position), text.cend(), match, pattern_,
                             std::regex_constants::match_continuous)) {
        return false;
      }
      std::size_t kind = 1;
      while (kind <= kinds_ && match[kind].length() == 0) ++kind;
      if (kind > kinds_) return false;
      const auto length = static_cast<std::uint32_t>(match[kind].length());
      tokens.push_back({static_cast<std::uint8_t>(kind - 1), static_cast<std::uint32_t>(position), length});
      position += length;
    }
    return true;
  }

 private:
  std::regex pattern_;
  std::size_t kinds_ = 0;
};

inline const ReferenceCutter& CutterFor(Direction direction) {
  static const ReferenceCutter write(kWriteTable);
  static const ReferenceCutter read(kReadTable);
  return direction == Direction::Write ? write : read;
}

}  // namespace hvzelta::reference
