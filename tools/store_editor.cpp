#include "store_editor.h"

#include <libxml/xmlsave.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "acpwr/halvorn_zelta.h"
#include "core/store_names.h"
#include "hvzelta/com/error_info.h"
#include "registration/component_registration.h"

namespace hvzelta::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNewStore =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<IviConfigStore>\n"
    "  <Name>IVI Configuration Store</Name>\n"
    "  <Description>Written by the hvzelta command-line tool</Description>\n"
    "  <PublishedAPIs/>\n"
    "  <SoftwareModules/>\n"
    "  <HardwareAssets/>\n"
    "  <Sessions/>\n"
    "  <DriverSessions/>\n"
    "  <LogicalNames/>\n"
    "</IviConfigStore>\n";

// The physical names the driver publishes with their repeated capabilities.
struct PublishedName {
  std::string_view name;
  std::string_view repCap;
};
constexpr PublishedName kPublishedNames[] = {
    {HalvornZeltaOutput::kPhysicalName, HalvornZeltaOutput::kRepCapName},
    {HalvornZeltaOutputPhase::kPhysicalName, HalvornZeltaOutputPhase::kRepCapName},
};

const xmlChar* Xml(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

xmlNode* AddElement(xmlNode* parent, std::string_view name) {
  return xmlNewChild(parent, nullptr, Xml(std::string(name)), nullptr);
}

// A child element holding `value` as text (escaped as needed).
void AddText(xmlNode* parent, std::string_view name, std::string_view value) {
  xmlNewTextChild(parent, nullptr, Xml(std::string(name)), Xml(std::string(value)));
}

void SetAttribute(xmlNode* node, std::string_view name, std::string_view value) {
  xmlSetProp(node, Xml(std::string(name)), Xml(std::string(value)));
}

void AddReference(xmlNode* parent, std::string_view property, const xmlNode* target) {
  std::string id;
  store::Attribute(target, "id", id);
  SetAttribute(AddElement(parent, property), "idref", id);
}

// A "Configurable Initial Settings" structure, with a "Model" string when one is given.
void AddInitialSettings(xmlNode* dataComponents, std::string_view model) {
  xmlNode* structure = AddElement(dataComponents, "IviStructure");
  AddText(structure, "Name", store::kConfigurableInitialSettings);
  AddText(structure, "Type", "Structure");
  xmlNode* settings = AddElement(structure, store::kDataComponents);
  if (model.empty()) return;
  xmlNode* setting = AddElement(settings, "IviString");
  AddText(setting, "Name", "Model");
  AddText(setting, "Type", "String");
  AddText(setting, "Value", model);
}

void Unlink(xmlNode* node) {
  xmlUnlinkNode(node);
  xmlFreeNode(node);
}

// Blank text between elements, as a parsed file keeps it, would stop the
// writer from indenting what was added; the writer indents it all anew.
void DropIndentation(xmlNode* node) {
  for (xmlNode* child = node->children; child;) {
    xmlNode* next = child->next;
    if (child->type == XML_ELEMENT_NODE) {
      DropIndentation(child);
    } else if (xmlIsBlankNode(child) && xmlFirstElementChild(node)) {
      Unlink(child);
    }
    child = next;
  }
}

HRESULT StoreFailure(HRESULT status, const ConfigStore& store, std::string_view problem) {
  return ReportStoreError(status, "IVI configuration store '" + store.Path() + "': " + std::string(problem) + ".");
}

}  // namespace

HRESULT StoreEditor::Open(const std::string& path) {
  if (path.empty()) {
    return ReportStoreError(E_IVICONFIG_NOT_EXIST,
                            "There is no store location: set IVI_CONFIG_STORE or IVI_STANDARD_ROOT_DIR, or give --store FILE.");
  }
  const HRESULT hr = store_.Open(path);
  isNew_ = hr == S_FALSE;
  return isNew_ ? store_.Parse(kNewStore, path) : hr;
}

xmlNode* StoreEditor::Collection(std::string_view name) {
  xmlNode* root = store_.Root().Node();
  if (xmlNode* existing = store::FindChild(root, name)) return existing;
  return AddElement(root, name);
}

std::string StoreEditor::NewId(std::string_view kind) const {
  for (int n = 1;; ++n) {
    std::string id = std::string(kind) + std::to_string(n);
    if (!store_.FindId(id)) return id;
  }
}

HRESULT StoreEditor::EnsureSoftwareModule() {
  const DriverConstants& driver = HalvornZelta::kConstants;
  StoreEntry existing;
  if (store_.FindByName(store::kSoftwareModules, driver.identifier, existing) == S_OK) return S_FALSE;
  xmlNode* module = AddElement(Collection(store::kSoftwareModules), "IviSoftwareModule");
  SetAttribute(module, "id", NewId("module"));
  AddText(module, "Name", driver.identifier);
  AddText(module, "Description", driver.description);
  AddInitialSettings(AddElement(module, store::kDataComponents), {});
  AddText(module, "ModulePath", "libhvzelta.so.1");
  AddText(module, "Prefix", driver.cFunctionPrefix);
  AddText(module, "ProgID", RegisteredClasses().front().versionIndependentProgId);
  AddText(module, "SupportedInstrumentModels", driver.supportedInstrumentModels);
  xmlNode* physicalNames = AddElement(module, "PhysicalNames");
  for (const PublishedName& published : kPublishedNames) {
    xmlNode* name = AddElement(physicalNames, "IviPhysicalName");
    AddText(name, "Name", published.name);
    AddText(name, "RCName", published.repCap);
  }
  AddElement(module, "PublishedAPIs");
  return store_.Reindex();
}

HRESULT StoreEditor::AddSession(const NewSession& wanted, bool replace) {
  StoreEntry existing;
  if (store_.FindByName(store::kDriverSessions, wanted.name, existing) == S_OK) {
    if (!replace) return existing.Fail(E_IVICONFIG_ALREADY_EXIST, "a driver session of this name exists; give --replace to replace it");
    if (HRESULT hr = RemoveSession(existing); Failed(hr)) return hr;
  }
  if (!wanted.resource.empty() && store_.FindByName(store::kHardwareAssets, wanted.name, existing) == S_OK) {
    return existing.Fail(E_IVICONFIG_ALREADY_EXIST, "a hardware asset of this name exists");
  }
  if (!wanted.logicalName.empty() && store_.FindByName(store::kLogicalNames, wanted.logicalName, existing) == S_OK) {
    return existing.Fail(E_IVICONFIG_ALREADY_EXIST, "a logical name of this name exists");
  }
  if (HRESULT hr = EnsureSoftwareModule(); Failed(hr)) return hr;
  StoreEntry module;
  store_.FindByName(store::kSoftwareModules, HalvornZelta::kConstants.identifier, module);

  xmlNode* asset = nullptr;
  if (!wanted.resource.empty()) {
    asset = AddElement(Collection(store::kHardwareAssets), "IviHardwareAsset");
    SetAttribute(asset, "id", NewId("asset"));
    AddText(asset, "Name", wanted.name);
    AddText(asset, "Description", wanted.description);
    AddElement(asset, store::kDataComponents);
    AddText(asset, "IOResourceDescriptor", wanted.resource);
    if (HRESULT hr = store_.Reindex(); Failed(hr)) return hr;
  }

  xmlNode* session = AddElement(Collection(store::kDriverSessions), "IviDriverSession");
  SetAttribute(session, "id", NewId("session"));
  AddText(session, "Name", wanted.name);
  AddText(session, "Description", wanted.description);
  AddInitialSettings(AddElement(session, store::kDataComponents), wanted.model);
  AddReference(session, "SoftwareModule", module.Node());
  if (asset) AddReference(session, "HardwareAsset", asset);
  AddElement(session, "VirtualNames");
  for (std::size_t i = 0; i < kSessionSettings.size(); ++i) {
    AddText(session, kSessionSettings[i].property, wanted.settings[i] ? "true" : "false");
  }
  AddText(session, "DriverSetup", wanted.driverSetup);
  if (HRESULT hr = store_.Reindex(); Failed(hr)) return hr;

  if (!wanted.logicalName.empty()) {
    xmlNode* logicalName = AddElement(Collection(store::kLogicalNames), "IviLogicalName");
    SetAttribute(logicalName, "id", NewId("logicalname"));
    AddText(logicalName, "Name", wanted.logicalName);
    AddText(logicalName, "Description", wanted.description);
    AddReference(logicalName, "Session", session);
  }
  return store_.Reindex();
}

bool StoreEditor::AssetInUse(const StoreEntry& asset) const {
  std::vector<StoreEntry> sessions;
  if (Failed(store_.Root().Entries(store::kDriverSessions, sessions))) {
    ClearErrorInfo();
    return true;  // when in doubt, keep the asset
  }
  for (const StoreEntry& session : sessions) {
    StoreEntry used;
    if (Failed(session.Reference("HardwareAsset", store::kHardwareAssets, used))) ClearErrorInfo();
    if (used.Node() == asset.Node()) return true;
  }
  return false;
}

HRESULT StoreEditor::RemoveSession(const StoreEntry& session) {
  std::vector<StoreEntry> logicalNames;
  if (HRESULT hr = store_.Root().Entries(store::kLogicalNames, logicalNames); Failed(hr)) return hr;
  std::vector<xmlNode*> doomed{session.Node()};
  for (const StoreEntry& logicalName : logicalNames) {
    StoreEntry target;
    if (Failed(logicalName.Reference("Session", store::kDriverSessions, target))) ClearErrorInfo();
    if (target.Node() == session.Node()) doomed.push_back(logicalName.Node());
  }
  StoreEntry asset;
  if (Failed(session.Reference("HardwareAsset", store::kHardwareAssets, asset))) ClearErrorInfo();
  for (xmlNode* node : doomed) Unlink(node);
  // The index must not point at what was just freed before anything is looked up again.
  if (HRESULT hr = store_.Reindex(); Failed(hr)) return hr;
  if (asset && !AssetInUse(asset)) Unlink(asset.Node());
  return store_.Reindex();
}

HRESULT StoreEditor::Remove(std::string_view name) {
  HRESULT result = S_FALSE;
  StoreEntry entry;
  if (store_.FindByName(store::kLogicalNames, name, entry) == S_OK) {
    Unlink(entry.Node());
    if (HRESULT hr = store_.Reindex(); Failed(hr)) return hr;
    result = S_OK;
  }
  if (store_.FindByName(store::kDriverSessions, name, entry) == S_OK) {
    if (HRESULT hr = RemoveSession(entry); Failed(hr)) return hr;
    result = S_OK;
  }
  return result;
}

HRESULT StoreEditor::AddVirtualName(std::string_view sessionName, const NewVirtualName& wanted) {
  StoreEntry session;
  if (store_.FindByName(store::kDriverSessions, sessionName, session) != S_OK) {
    return StoreFailure(E_IVICONFIG_NOT_EXIST, store_, "there is no driver session '" + std::string(sessionName) + "'");
  }
  xmlNode* virtualNames = store::FindChild(session.Node(), "VirtualNames");
  if (!virtualNames) virtualNames = AddElement(session.Node(), "VirtualNames");
  std::vector<StoreEntry> existing;
  if (HRESULT hr = session.Entries("VirtualNames", existing); Failed(hr)) return hr;
  for (const StoreEntry& entry : existing) {
    if (entry.Name() == wanted.name) return entry.Fail(E_IVICONFIG_ALREADY_EXIST, "the session has this virtual name already");
  }
  xmlNode* virtualName = AddElement(virtualNames, "IviVirtualName");
  AddText(virtualName, "Name", wanted.name);
  AddText(virtualName, "MapTo", wanted.mapTo);
  xmlNode* ranges = AddElement(virtualName, "VirtualRanges");
  if (wanted.range) {
    xmlNode* range = AddElement(ranges, "IviVirtualRange");
    AddText(range, "Name", std::to_string(wanted.range->minimum) + "-" + std::to_string(wanted.range->maximum));
    AddText(range, "Min", std::to_string(wanted.range->minimum));
    AddText(range, "Max", std::to_string(wanted.range->maximum));
    AddText(range, "StartingPhysicalIndex", std::to_string(wanted.range->startingPhysicalIndex));
  }
  // What Initialize would refuse is refused here, before anything is saved.
  return ExpandVirtualNames(session, [](std::string_view, std::string_view) {});
}

HRESULT StoreEditor::Save() {
  std::error_code error;
  // Through a symbolic link the file it leads to is written; the link stays.
  fs::path target = fs::weakly_canonical(store_.Path(), error);
  if (error) target = store_.Path();
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
  if (error) return StoreFailure(E_IVICONFIG_SERIALIZE_FAILED, store_, "cannot create its folder (" + error.message() + ")");
  DropIndentation(store_.Root().Node());
  const auto written = [&](const std::string& path) {
    if (xmlSaveFormatFileEnc(path.c_str(), store_.Document(), "UTF-8", 1) >= 0) return S_OK;
    return StoreFailure(E_IVICONFIG_SERIALIZE_FAILED, store_, "cannot be written (" + std::string(std::strerror(errno)) + ")");
  };
  // Readers see the old file or the new one, never a file half written.
  const std::string temporary = target.string() + ".tmp" + std::to_string(getpid());
  if (HRESULT hr = written(temporary); Failed(hr)) {
    fs::remove(temporary, error);
    return hr;
  }
  // The new file takes the old one's owner and permissions; where this user
  // may not give it the owner, the old file is written over instead.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 &&
      (::chown(temporary.c_str(), old.st_uid, old.st_gid) != 0 || ::chmod(temporary.c_str(), old.st_mode & 07777) != 0)) {
    fs::remove(temporary, error);
    return written(target.string());
  }
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return StoreFailure(E_IVICONFIG_SERIALIZE_FAILED, store_, "cannot be replaced (" + error.message() + ")");
  }
  return S_OK;
}

}  // namespace hvzelta::cli
