#pragma once

// The attributes of one session as a table: each row says the attribute's
// value type, whether callers may set it and which values it accepts; the
// store keeps the current values and does every get and set the same way.

#include <string>
#include <vector>

#include "visa/visa_types.h"

namespace hvzelta::visa {

enum class AttrType : ViUInt8 { U8, U16, U32, U64, I16, Boolean, String };

struct AttributeRow {
  ViAttr id;
  AttrType type;
  bool writable;
  // The values a set accepts beyond fitting the type; null accepts them all.
  bool (*accepts)(ViAttrState value) = nullptr;
};

class AttributeStore {
 public:
  void Define(const AttributeRow& row, ViAttrState initial);
  void DefineText(const AttributeRow& row, std::string initial);

  bool Has(ViAttr id) const { return Find(id) != nullptr; }

  // Writes the value at its own width; text takes VI_FIND_BUFLEN bytes.
  ViStatus Get(ViAttr id, void* value) const;
  // Validates and stores a caller's value.
  ViStatus Set(ViAttr id, ViAttrState value);

  ViAttrState Number(ViAttr id) const;
  // Updates a value the session or its transport owns, read-only or not.
  void Update(ViAttr id, ViAttrState value);

 private:
  struct Entry {
    AttributeRow row;
    ViAttrState number = 0;
    std::string text;
  };
  const Entry* Find(ViAttr id) const;
  Entry* Find(ViAttr id);
  std::vector<Entry> entries_;
};

}  // namespace hvzelta::visa
