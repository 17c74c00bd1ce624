#pragma once

// The IVI configuration store: the XML file that keeps driver sessions,
// hardware assets, software modules and logical names. Initialize reads it to
// resolve logical names; the command-line tool edits the same document. The
// layout is described in docs/configuration-store.md.
//
// The reader refuses document type declarations (so no entity is ever
// defined, expanded or fetched), never touches the network, and reads at most
// kMaxFileSize bytes. Every failure becomes one of the store's own statuses
// with a text that names the file, the line and the entry, recorded as the
// calling thread's error information.

#include <libxml/tree.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hvzelta/com/types.h"

namespace hvzelta {

// The store's own statuses: the errors of the IVI configuration server.
constexpr HRESULT E_IVICONFIG_DESERIALIZE_FAILED = MakeHresult(0xBFFA1200u);
constexpr HRESULT E_IVICONFIG_SERIALIZE_FAILED = MakeHresult(0xBFFA1202u);
constexpr HRESULT E_IVICONFIG_ALREADY_EXIST = MakeHresult(0xBFFA1205u);
constexpr HRESULT E_IVICONFIG_NOT_EXIST = MakeHresult(0xBFFA1207u);

constexpr bool IsConfigStoreStatus(HRESULT hr) {
  return (static_cast<std::uint32_t>(hr) & 0xFFFFFF00u) == 0xBFFA1200u;
}

// The file the store is read from: IVI_CONFIG_STORE when set, else
// <IVI root directory>/Data/IviConfigurationStore.xml; empty when neither is
// set, which means there is no store.
std::string ConfigStoreLocation();

// Records `description` as the calling thread's error information with the
// store as its source, and returns `status`.
HRESULT ReportStoreError(HRESULT status, std::string_view description);

// Names of the store's collections and entries as the file writes them.
namespace store {
inline constexpr std::string_view kRoot = "IviConfigStore";
inline constexpr std::string_view kDriverSessions = "DriverSessions";
inline constexpr std::string_view kHardwareAssets = "HardwareAssets";
inline constexpr std::string_view kSoftwareModules = "SoftwareModules";
inline constexpr std::string_view kLogicalNames = "LogicalNames";
inline constexpr std::string_view kDataComponents = "DataComponents";
inline constexpr std::string_view kConfigurableInitialSettings = "Configurable Initial Settings";
}  // namespace store

class ConfigStore;

// One entry of the store (a session, an asset, a module, a data component,
// a virtual name, ...). A property is a child element named as the property,
// or failing that an attribute of that name; names are compared without
// regard to case and elements the reader does not know are ignored.
class StoreEntry {
 public:
  StoreEntry() = default;
  StoreEntry(const ConfigStore& store, xmlNode* node) : store_(&store), node_(node) {}

  explicit operator bool() const { return node_ != nullptr; }
  xmlNode* Node() const { return node_; }

  // The entry's Name, trimmed; empty when it has none.
  std::string Name() const;

  // Property reads. A required property that is missing or does not convert
  // fails with the store's status; an optional text that is missing gives
  // S_FALSE and empty text. Text values are kept as written, numbers and
  // booleans are trimmed first.
  HRESULT Text(std::string_view property, std::string& value) const;
  HRESULT OptionalText(std::string_view property, std::string& value) const;
  HRESULT Boolean(std::string_view property, bool& value) const;
  HRESULT Integer(std::string_view property, std::int32_t& value) const;
  HRESULT Real(std::string_view property, double& value) const;

  // The entry a reference property points to: through its idref attribute,
  // or by its text as the Name of an entry of the store's `collection`.
  // S_FALSE (and an empty target) when the property is absent or empty.
  HRESULT Reference(std::string_view property, std::string_view collection, StoreEntry& target) const;

  // The entries of a collection property in document order; an entry written
  // as a reference (an element with only an idref) is followed. A missing
  // collection is empty.
  HRESULT Entries(std::string_view collection, std::vector<StoreEntry>& entries) const;

  // The data component of this entry called `name`; E_IVICONFIG_NOT_EXIST
  // when the entry has none.
  HRESULT DataComponent(std::string_view name, StoreEntry& component) const;

  // A data component's type: its Type property, else its element name
  // without the "Ivi" prefix ("IviString" is a "String").
  std::string DataComponentType() const;

  // Reports `problem` about this entry as a store failure, naming the file,
  // the line and the entry.
  HRESULT Fail(HRESULT status, std::string_view problem) const;

 private:
  HRESULT RequiredValue(std::string_view property, std::string& value) const;

  const ConfigStore* store_ = nullptr;
  xmlNode* node_ = nullptr;
};

class ConfigStore {
 public:
  static constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

  ConfigStore();
  ~ConfigStore();
  ConfigStore(const ConfigStore&) = delete;
  ConfigStore& operator=(const ConfigStore&) = delete;

  // Reads the store at `path`. S_OK when read; S_FALSE when there is no store
  // (an empty path or no such file); otherwise the file is there but is no
  // readable store, and the status and error information say why.
  HRESULT Open(const std::string& path);
  // Reads a store from memory; `path` names it in error texts.
  HRESULT Parse(std::string_view xml, std::string_view path);

  const std::string& Path() const { return path_; }
  StoreEntry Root() const;
  xmlDoc* Document() const { return document_.get(); }

  // The driver session a name stands for: the session a logical name of that
  // name refers to, else the driver session of that name. S_FALSE when there
  // is none; a reference the store cannot follow counts as none.
  HRESULT FindDriverSession(std::string_view name, StoreEntry& session) const;
  // The entry of a top-level collection with this Name; S_FALSE when none.
  HRESULT FindByName(std::string_view collection, std::string_view name, StoreEntry& entry) const;
  // The element whose id attribute is `id`; null when there is none.
  xmlNode* FindId(std::string_view id) const;

  // Rebuilds the id index after the document was edited.
  HRESULT Reindex();

 private:
  struct DocumentDeleter {
    void operator()(xmlDoc* document) const;
  };

  std::unique_ptr<xmlDoc, DocumentDeleter> document_;
  std::map<std::string, xmlNode*, std::less<>> ids_;
  std::string path_;
};

// Helpers for code that walks or edits the document.
namespace store {
// True when the element's local name is `name`, without regard to case.
bool IsElement(const xmlNode* node, std::string_view name);
// The first element child called `name`; null when there is none.
xmlNode* FindChild(const xmlNode* node, std::string_view name);
// The value of the attribute called `name` (without regard to case); false
// when the element has none.
bool Attribute(const xmlNode* node, std::string_view name, std::string& value);
// The whole text inside the element.
std::string Content(const xmlNode* node);
}  // namespace store

}  // namespace hvzelta
