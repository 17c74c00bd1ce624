#include "visa/attribute_store.h"

#include <algorithm>
#include <cstring>

namespace hvzelta::visa {
namespace {

bool FitsType(AttrType type, ViAttrState value) {
  switch (type) {
    case AttrType::U8:
      return value <= 0xFFu;
    case AttrType::U16:
      return value <= 0xFFFFu;
    case AttrType::U32:
      return value <= 0xFFFFFFFFu;
    case AttrType::U64:
      return true;
    case AttrType::I16: {
      auto signedValue = static_cast<std::int64_t>(value);
      return signedValue >= -32768 && signedValue <= 32767;
    }
    case AttrType::Boolean:
      return value == VI_TRUE || value == VI_FALSE;
    case AttrType::String:
      return false;
  }
  return false;
}

}  // namespace

void AttributeStore::Define(const AttributeRow& row, ViAttrState initial) {
  if (Entry* existing = Find(row.id)) {
    existing->row = row;
    existing->number = initial;
    return;
  }
  entries_.push_back({row, initial, {}});
}

void AttributeStore::DefineText(const AttributeRow& row, std::string initial) {
  if (Entry* existing = Find(row.id)) {
    existing->row = row;
    existing->text = std::move(initial);
    return;
  }
  entries_.push_back({row, 0, std::move(initial)});
}

const AttributeStore::Entry* AttributeStore::Find(ViAttr id) const {
  auto found = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.row.id == id; });
  return found == entries_.end() ? nullptr : &*found;
}

AttributeStore::Entry* AttributeStore::Find(ViAttr id) {
  return const_cast<Entry*>(static_cast<const AttributeStore&>(*this).Find(id));
}

ViStatus AttributeStore::Get(ViAttr id, void* value) const {
  const Entry* entry = Find(id);
  if (!entry) return VI_ERROR_NSUP_ATTR;
  if (!value) return VI_ERROR_USER_BUF;
  const ViAttrState n = entry->number;
  switch (entry->row.type) {
    case AttrType::U8: {
      auto v = static_cast<ViUInt8>(n);
      std::memcpy(value, &v, sizeof v);
      break;
    }
    case AttrType::U16:
    case AttrType::Boolean: {
      auto v = static_cast<ViUInt16>(n);
      std::memcpy(value, &v, sizeof v);
      break;
    }
    case AttrType::I16: {
      auto v = static_cast<ViInt16>(n);
      std::memcpy(value, &v, sizeof v);
      break;
    }
    case AttrType::U32: {
      auto v = static_cast<ViUInt32>(n);
      std::memcpy(value, &v, sizeof v);
      break;
    }
    case AttrType::U64:
      std::memcpy(value, &n, sizeof n);
      break;
    case AttrType::String: {
      std::size_t length = std::min(entry->text.size(), VI_FIND_BUFLEN - 1);
      std::memcpy(value, entry->text.data(), length);
      static_cast<char*>(value)[length] = '\0';
      break;
    }
  }
  return VI_SUCCESS;
}

ViStatus AttributeStore::Set(ViAttr id, ViAttrState value) {
  Entry* entry = Find(id);
  if (!entry) return VI_ERROR_NSUP_ATTR;
  if (!entry->row.writable) return VI_ERROR_ATTR_READONLY;
  if (!FitsType(entry->row.type, value) || (entry->row.accepts && !entry->row.accepts(value)))
    return VI_ERROR_NSUP_ATTR_STATE;
  entry->number = value;
  return VI_SUCCESS;
}

ViAttrState AttributeStore::Number(ViAttr id) const {
  const Entry* entry = Find(id);
  return entry ? entry->number : 0;
}

void AttributeStore::Update(ViAttr id, ViAttrState value) {
  if (Entry* entry = Find(id)) entry->number = value;
}

}  // namespace hvzelta::visa
