#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "hvzelta/com/types.h"

namespace hvzelta {

class IErrorReporter;
class MemberDescriptor;

// Something that belongs to one instrument model; the empty model name
// stands for every model.
class CModelBasedType {
 public:
  explicit CModelBasedType(std::string model) : model_(std::move(model)) {}
  const std::string& Model() const { return model_; }

 private:
  std::string model_;
};

// One model's command words of one enumeration: the first word of a value is
// what a command carries; every word reads back, a word given for two values
// as the later one.
class CEnumCommand : public CModelBasedType {
 public:
  struct Entry {
    std::int32_t value;
    std::vector<std::string_view> words;
  };
  CEnumCommand(std::string model, std::vector<Entry> entries);

  const std::string* WordOf(std::int32_t value) const;
  const std::int32_t* ValueOf(std::string_view word) const;
  std::size_t MaxWordLength() const { return maxWordLength_; }

 private:
  std::unordered_map<std::int32_t, std::string> words_;
  std::unordered_map<std::string, std::int32_t> values_;
  std::size_t maxWordLength_ = 0;
};

// The tables of one enumeration, by model.
class CModelBasedMap {
 public:
  void Add(std::unique_ptr<CEnumCommand> table);
  // The model's own table, else the table for every model; null when neither.
  const CEnumCommand* TableFor(std::string_view model) const;
  std::size_t MaxWordLength() const;

 private:
  std::map<std::string, std::unique_ptr<CEnumCommand>, std::less<>> tables_;
};

// Converts one enumeration's values to and from command words.
class CEnumCommandConverter {
 public:
  explicit CEnumCommandConverter(CModelBasedMap tables) : tables_(std::move(tables)) {}

  // "Invalid value" naming the running member and parameter "nVal" when the
  // value has no word.
  HRESULT FormatEnum(IErrorReporter& reporter, const MemberDescriptor* member, std::string_view model,
                     std::int32_t value, bool sixteenBit, std::string& word) const;
  // "Unexpected response" with the word and `enumName` when no value has it.
  HRESULT ParseEnum(IErrorReporter& reporter, std::string_view enumName, std::string_view model, std::string_view word,
                    std::int32_t& value) const;
  std::size_t MaxWordLength() const { return tables_.MaxWordLength(); }

 private:
  CModelBasedMap tables_;
};

// The converter for an enumeration name (any of its four spellings) under the
// context of the member that runs ("IHalvornZeltaOutput.SyncEnabled"); null
// when the name has none there. Converters are built once per process.
const CEnumCommandConverter* FindEnumConverter(std::string_view enumName, std::string_view memberContext);

// Whether the enumeration is held as a 16-bit value.
bool IsSixteenBitEnum(std::string_view enumName);

}  // namespace hvzelta
