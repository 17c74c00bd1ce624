#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/node.h"
#include "hvzelta/com/unknown.h"

namespace hvzelta {

// An instance of a repeated capability: a node with a physical name.
class CRepCap : public CNode {
 public:
  // `identity` is the driver object's: an instance lives as long as its driver
  // and counts its references there.
  CRepCap(CDriver& root, IUnknown& identity, std::string_view repCapName, std::string_view physicalName)
      : CNode(root), identity_(identity), repCapName_(repCapName), physicalName_(physicalName) {}

  std::string_view RepCapName() const { return repCapName_; }
  std::string_view PhysicalName() const { return physicalName_; }

  // The instance's interface `iid` with a new reference (the default
  // interface for IID_IUnknown).
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  std::uint32_t AddRef() { return identity_.AddRef(); }
  std::uint32_t Release() { return identity_.Release(); }

 private:
  IUnknown& identity_;
  std::string_view repCapName_;
  std::string_view physicalName_;
};

// The instances of one repeated capability under a node, in table order,
// and how callers name them.
class RepCapCollection {
 public:
  explicit RepCapCollection(std::string_view repCapName) : repCapName_(repCapName) {}

  std::string_view RepCapName() const { return repCapName_; }
  std::int32_t Count() const { return static_cast<std::int32_t>(instances_.size()); }
  void Add(CRepCap& instance) { instances_.push_back(&instance); }
  void Clear() { instances_.clear(); }
  const std::vector<CRepCap*>& Instances() const { return instances_; }

  // The instance a caller's name selects: blanks around it do not count, an
  // empty name selects a single instance, virtual names and "name!!physical"
  // resolve, and physical names compare without regard to case. Reports
  // "Unknown physical repeated capability selector." when nothing matches.
  HRESULT Find(const CDriver& root, std::string_view name, CRepCap*& found) const;
  // The name of instance `index` (from 1) as callers see it; reports an
  // invalid value of `member`'s parameter "Index" outside 1..Count.
  HRESULT NameAt(const CDriver& root, const MemberDescriptor& member, std::int32_t index, std::string& name) const;

 private:
  std::string_view repCapName_;
  std::vector<CRepCap*> instances_;
};

}  // namespace hvzelta
