#include "capi/channel_selector.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace hvzelta::capi {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsStemChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '!'; }
bool IsNameChar(char c) { return IsStemChar(c) || IsDigit(c); }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Calls `visit` with each non-empty piece of `text` between separators, in
// order, until it returns a status other than None.
template <class Visit>
SelectorError ForEachPiece(std::string_view text, char separator, Visit&& visit) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(separator), text.size());
    if (end > 0) {
      if (const SelectorError error = visit(text.substr(0, end)); error != SelectorError::None) return error;
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return SelectorError::None;
}

// Takes the longest prefix of `text` whose characters pass `accept`.
template <class Accept>
std::string_view TakeWhile(std::string_view& text, Accept accept) {
  const std::size_t end = static_cast<std::size_t>(std::find_if_not(text.begin(), text.end(), accept) - text.begin());
  const std::string_view taken = text.substr(0, end);
  text.remove_prefix(end);
  return taken;
}

// "<stem><digits>-<stem><digits>" with blanks allowed around the parts.
struct RangeElement {
  std::string_view firstStem;
  std::string_view firstDigits;
  std::string_view secondStem;
  std::string_view secondDigits;
};

bool ParseRange(std::string_view text, RangeElement& range) {
  range.firstStem = TakeWhile(text, IsStemChar);
  range.firstDigits = TakeWhile(text, IsDigit);
  TakeWhile(text, IsBlank);
  if (text.empty() || text.front() != '-') return false;
  text.remove_prefix(1);
  TakeWhile(text, IsBlank);
  range.secondStem = TakeWhile(text, IsStemChar);
  range.secondDigits = TakeWhile(text, IsDigit);
  return text.empty() && !range.firstStem.empty() && !range.firstDigits.empty() && !range.secondStem.empty() &&
         !range.secondDigits.empty();
}

bool ParseNumber(std::string_view digits, std::uint64_t& number) {
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

std::string_view SelectorName::Digits(char (&buffer)[20]) const {
  if (!numbered) return {};
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return {buffer, static_cast<std::size_t>(result.ptr - buffer)};
}

std::size_t SelectorName::Size() const {
  char buffer[20];
  return stem.size() + Digits(buffer).size();
}

std::string SelectorName::Text() const {
  std::string text(Size(), '\0');
  SpellInto(text.data());
  return text;
}

bool operator==(const SelectorName& a, const SelectorName& b) {
  char bufferA[20];
  char bufferB[20];
  const std::string_view digitsA = a.Digits(bufferA);
  const std::string_view digitsB = b.Digits(bufferB);
  const std::size_t size = a.stem.size() + digitsA.size();
  if (size != b.stem.size() + digitsB.size()) return false;
  const auto at = [](const SelectorName& name, std::string_view digits, std::size_t i) {
    return i < name.stem.size() ? name.stem[i] : digits[i - name.stem.size()];
  };
  for (std::size_t i = 0; i < size; ++i) {
    if (at(a, digitsA, i) != at(b, digitsB, i)) return false;
  }
  return true;
}

// The names of the selector being collected, level after level; closing it
// turns every combination of one name per level into a path.
class ChannelSelector::Collector {
 public:
  explicit Collector(std::pmr::memory_resource* memory) : names(memory), levelStarts(memory) {}

  void OpenLevel() { levelStarts.push_back(names.size()); }
  std::size_t Levels() const { return levelStarts.size(); }
  std::size_t CountAt(std::size_t level) const {
    const std::size_t end = level + 1 < levelStarts.size() ? levelStarts[level + 1] : names.size();
    return end - levelStarts[level];
  }
  void Clear() {
    names.clear();
    levelStarts.clear();
  }

  SelectorError AddElement(std::string_view element, bool rangesAllowed) {
    element = TrimBlanks(element);
    if (!element.empty() && std::all_of(element.begin(), element.end(), IsNameChar)) return Add({element});
    RangeElement range;
    if (!ParseRange(element, range) || !rangesAllowed) return SelectorError::BadlyFormed;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    const bool sameStem = range.firstStem.substr(0, range.secondStem.size()) == range.secondStem;
    if (!sameStem || !ParseNumber(range.firstDigits, first) || !ParseNumber(range.secondDigits, last) || last < first ||
        last - first >= kMaxNames) {
      return SelectorError::InvalidRange;
    }
    for (std::uint64_t number = first;; ++number) {
      if (const SelectorError error = Add({range.firstStem, number, true}); error != SelectorError::None) return error;
      if (number == last) return SelectorError::None;
    }
  }

  std::pmr::vector<SelectorName> names;
  std::pmr::vector<std::size_t> levelStarts;

 private:
  SelectorError Add(const SelectorName& name) {
    if (names.size() >= kMaxNames) return SelectorError::BadlyFormed;
    names.push_back(name);
    return SelectorError::None;
  }
};

ChannelSelector::ChannelSelector(std::pmr::memory_resource* memory) : memory_(memory), names_(memory) {}

SelectorError ChannelSelector::Parse(std::string_view text, bool rangesAllowed) {
  names_.clear();
  levels_ = 0;
  pathCount_ = 0;
  if (text.empty()) {
    names_.push_back(SelectorName{});
    levels_ = 1;
    pathCount_ = 1;
    return SelectorError::None;
  }
  Collector collector(memory_);
  SelectorError error = ForEachPiece(text, ':', [&](std::string_view token) {
    token = TrimBlanks(token);
    const bool bracketed = !token.empty() && token.front() == '[';
    if (bracketed) {
      if (token.size() < 2 || token.back() != ']') return SelectorError::BadlyFormed;
      token = token.substr(1, token.size() - 2);
    }
    collector.OpenLevel();
    std::size_t elements = 0;
    const SelectorError tokenError = ForEachPiece(token, ',', [&](std::string_view element) {
      // Outside brackets a further element starts a new selector whose first
      // level it is.
      if (!bracketed && elements > 0) {
        if (const SelectorError closeError = Close(collector); closeError != SelectorError::None) return closeError;
        collector.OpenLevel();
      }
      ++elements;
      return collector.AddElement(element, rangesAllowed);
    });
    if (tokenError != SelectorError::None) return tokenError;
    // A level without names would select nothing at all.
    return elements == 0 ? SelectorError::BadlyFormed : SelectorError::None;
  });
  if (error == SelectorError::None) error = Close(collector);
  if (error == SelectorError::None && HasDuplicatePaths()) error = SelectorError::BadlyFormed;
  if (error != SelectorError::None) {
    names_.clear();
    levels_ = 0;
    pathCount_ = 0;
  }
  return error;
}

SelectorError ChannelSelector::Close(Collector& collector) {
  const std::size_t levels = collector.Levels();
  if (pathCount_ > 0 && levels != levels_) return SelectorError::InvalidLevels;
  std::size_t combinations = 1;
  for (std::size_t level = 0; level < levels; ++level) {
    combinations *= collector.CountAt(level);
    if (combinations * std::max<std::size_t>(levels, 1) > kMaxNames) return SelectorError::BadlyFormed;
  }
  if ((pathCount_ + combinations) * levels > kMaxNames) return SelectorError::BadlyFormed;
  levels_ = levels;
  // The last level varies fastest, so paths come in the order the names were written.
  std::pmr::vector<std::size_t> choice(levels, 0, memory_);
  for (std::size_t path = 0; path < combinations; ++path) {
    for (std::size_t level = 0; level < levels; ++level) {
      names_.push_back(collector.names[collector.levelStarts[level] + choice[level]]);
    }
    for (std::size_t level = levels; level-- > 0;) {
      if (++choice[level] < collector.CountAt(level)) break;
      choice[level] = 0;
    }
  }
  pathCount_ += combinations;
  collector.Clear();
  return SelectorError::None;
}

bool ChannelSelector::HasDuplicatePaths() const {
  const auto path = [&](std::size_t index) { return names_.begin() + static_cast<std::ptrdiff_t>(index * levels_); };
  for (std::size_t i = 0; i < pathCount_; ++i) {
    for (std::size_t j = i + 1; j < pathCount_; ++j) {
      if (std::equal(path(i), path(i) + static_cast<std::ptrdiff_t>(levels_), path(j))) return true;
    }
  }
  return false;
}

SelectorError ChannelSelector::Name(std::size_t path, std::size_t level, SelectorName& name) const {
  if (path >= pathCount_) return SelectorError::BadlyFormed;
  if (level >= levels_) return SelectorError::InvalidLevels;
  name = names_[path * levels_ + level];
  return SelectorError::None;
}

}  // namespace hvzelta::capi
