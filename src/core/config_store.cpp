#include "core/config_store.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/option_string.h"
#include "hvzelta/com/error_info.h"
#include "platform/ivi_directories.h"
#include "platform/text.h"
#include "visa/unique_fd.h"

namespace hvzelta {

namespace {

constexpr std::string_view kStoreFileName = "IviConfigurationStore.xml";
constexpr std::wstring_view kStoreSource = L"IVI Configuration Store";

// Parser options: no network, no entity substitution, no DTD loading, no
// XInclude; libxml2's own limits on depth and text sizes stay in force.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;

std::string_view LocalName(const xmlNode* node) {
  return node && node->name ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

std::string SystemMessage(int error) { return std::error_code(error, std::generic_category()).message(); }

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A store never declares a document type; refusing the declaration before
// its internal subset is read means no entity can be defined at all.
void RefuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  parser->_private = parser;  // marks the refusal for the caller
  xmlStopParser(parser);
}

std::string ParserProblem(const xmlParserCtxt& parser) {
  if (parser._private) return "line " + std::to_string(parser.input ? parser.input->line : 0) +
                              ": a document type declaration is not allowed in a store";
  const xmlError& error = parser.lastError;
  std::string message = error.message ? std::string(TrimWhiteSpace(error.message)) : "not well-formed XML";
  return "line " + std::to_string(error.line) + ": " + message;
}

}  // namespace

std::string ConfigStoreLocation() {
  if (const char* explicitPath = std::getenv("IVI_CONFIG_STORE"); explicitPath && *explicitPath) return explicitPath;
  const std::string root = IviRootDirectory();
  if (root.empty()) return {};
  return (std::filesystem::path(root) / "Data" / kStoreFileName).string();
}

HRESULT ReportStoreError(HRESULT status, std::string_view description) {
  try {
    ErrorInfo info;
    info.description = Utf8ToWide(description);
    info.source = kStoreSource;
    SetErrorInfo(std::move(info));
  } catch (...) {
    // Out of memory: the status alone still tells the caller what failed.
  }
  return status;
}

namespace store {

bool IsElement(const xmlNode* node, std::string_view name) {
  return node && node->type == XML_ELEMENT_NODE && EqualsIgnoringCase(LocalName(node), name);
}

xmlNode* FindChild(const xmlNode* node, std::string_view name) {
  if (!node) return nullptr;
  for (xmlNode* child = node->children; child; child = child->next) {
    if (IsElement(child, name)) return child;
  }
  return nullptr;
}

bool Attribute(const xmlNode* node, std::string_view name, std::string& value) {
  if (!node || node->type != XML_ELEMENT_NODE) return false;
  for (xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
    if (!attribute->name || !EqualsIgnoringCase(reinterpret_cast<const char*>(attribute->name), name)) continue;
    xmlChar* text = xmlNodeListGetString(node->doc, attribute->children, 1);
    value = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return true;
  }
  return false;
}

std::string Content(const xmlNode* node) {
  xmlChar* text = xmlNodeGetContent(node);
  std::string value = text ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return value;
}

}  // namespace store

// StoreEntry

std::string StoreEntry::Name() const {
  std::string name;
  if (Succeeded(OptionalText("Name", name))) return std::string(TrimWhiteSpace(name));
  return {};
}

HRESULT StoreEntry::Fail(HRESULT status, std::string_view problem) const {
  std::string text = "IVI configuration store " + Quoted(store_ ? store_->Path() : std::string());
  if (node_) {
    text += ", line " + std::to_string(xmlGetLineNo(node_)) + ", <" + std::string(LocalName(node_)) + ">";
    std::string name;
    if (const xmlNode* nameNode = store::FindChild(node_, "Name")) {
      name = std::string(TrimWhiteSpace(store::Content(nameNode)));
    } else {
      store::Attribute(node_, "Name", name);
    }
    if (!name.empty()) text += " " + Quoted(name);
  }
  text += ": ";
  text += problem;
  text += ".";
  return ReportStoreError(status, text);
}

HRESULT StoreEntry::OptionalText(std::string_view property, std::string& value) const {
  value.clear();
  if (const xmlNode* child = store::FindChild(node_, property)) {
    value = store::Content(child);
    return S_OK;
  }
  return store::Attribute(node_, property, value) ? S_OK : S_FALSE;
}

HRESULT StoreEntry::RequiredValue(std::string_view property, std::string& value) const {
  if (OptionalText(property, value) == S_OK) return S_OK;
  return Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the property <" + std::string(property) + "> is missing");
}

HRESULT StoreEntry::Text(std::string_view property, std::string& value) const { return RequiredValue(property, value); }

HRESULT StoreEntry::Boolean(std::string_view property, bool& value) const {
  std::string text;
  if (HRESULT hr = RequiredValue(property, text); Failed(hr)) return hr;
  const std::optional<bool> parsed = ParseOptionBoolean(TrimWhiteSpace(text));
  if (!parsed) {
    return Fail(E_IVICONFIG_DESERIALIZE_FAILED,
                "<" + std::string(property) + "> is " + Quoted(text) + ", which is not a boolean (true or false)");
  }
  value = *parsed;
  return S_OK;
}

HRESULT StoreEntry::Integer(std::string_view property, std::int32_t& value) const {
  std::string text;
  if (HRESULT hr = RequiredValue(property, text); Failed(hr)) return hr;
  std::string_view digits = TrimWhiteSpace(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    return Fail(E_IVICONFIG_DESERIALIZE_FAILED,
                "<" + std::string(property) + "> is " + Quoted(text) + ", which is not a 32-bit integer");
  }
  return S_OK;
}

HRESULT StoreEntry::Real(std::string_view property, double& value) const {
  std::string text;
  if (HRESULT hr = RequiredValue(property, text); Failed(hr)) return hr;
  std::string_view number = TrimWhiteSpace(text);
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || error != std::errc() || end != number.data() + number.size()) {
    return Fail(E_IVICONFIG_DESERIALIZE_FAILED,
                "<" + std::string(property) + "> is " + Quoted(text) + ", which is not a real number");
  }
  return S_OK;
}

HRESULT StoreEntry::Reference(std::string_view property, std::string_view collection, StoreEntry& target) const {
  target = StoreEntry();
  const xmlNode* reference = store::FindChild(node_, property);
  if (!reference) return S_FALSE;
  std::string id;
  if (store::Attribute(reference, "idref", id)) {
    xmlNode* found = store_->FindId(id);
    if (!found) {
      return Fail(E_IVICONFIG_NOT_EXIST, "<" + std::string(property) + "> refers to id " + Quoted(id) +
                                             ", which no entry of the store has");
    }
    target = StoreEntry(*store_, found);
    return S_OK;
  }
  const std::string name(TrimWhiteSpace(store::Content(reference)));
  if (name.empty()) return S_FALSE;
  if (store_->FindByName(collection, name, target) == S_OK) return S_OK;
  return Fail(E_IVICONFIG_NOT_EXIST, "<" + std::string(property) + "> names " + Quoted(name) + ", which <" +
                                         std::string(collection) + "> of the store does not have");
}

HRESULT StoreEntry::Entries(std::string_view collection, std::vector<StoreEntry>& entries) const {
  entries.clear();
  const xmlNode* list = store::FindChild(node_, collection);
  if (!list) return S_OK;
  for (xmlNode* child = list->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    std::string id;
    if (!xmlFirstElementChild(child) && store::Attribute(child, "idref", id)) {
      xmlNode* found = store_->FindId(id);
      if (!found) {
        return StoreEntry(*store_, child).Fail(E_IVICONFIG_NOT_EXIST,
                                               "refers to id " + Quoted(id) + ", which no entry of the store has");
      }
      entries.emplace_back(*store_, found);
    } else {
      entries.emplace_back(*store_, child);
    }
  }
  return S_OK;
}

HRESULT StoreEntry::DataComponent(std::string_view name, StoreEntry& component) const {
  component = StoreEntry();
  std::vector<StoreEntry> components;
  if (HRESULT hr = Entries(store::kDataComponents, components); Failed(hr)) return hr;
  for (const StoreEntry& candidate : components) {
    if (candidate.Name() == name) {
      component = candidate;
      return S_OK;
    }
  }
  return Fail(E_IVICONFIG_NOT_EXIST, "there is no data component " + Quoted(name));
}

std::string StoreEntry::DataComponentType() const {
  std::string type;
  if (OptionalText("Type", type) == S_OK) return std::string(TrimWhiteSpace(type));
  std::string_view element = LocalName(node_);
  if (element.size() > 3 && EqualsIgnoringCase(element.substr(0, 3), "Ivi")) element.remove_prefix(3);
  return std::string(element);
}

// ConfigStore

void ConfigStore::DocumentDeleter::operator()(xmlDoc* document) const { xmlFreeDoc(document); }

ConfigStore::ConfigStore() = default;
ConfigStore::~ConfigStore() = default;

StoreEntry ConfigStore::Root() const {
  return StoreEntry(*this, document_ ? xmlDocGetRootElement(document_.get()) : nullptr);
}

HRESULT ConfigStore::Open(const std::string& path) {
  path_ = path;
  document_.reset();
  ids_.clear();
  if (path.empty()) return S_FALSE;
  const StoreEntry file(*this, nullptr);
  // Without O_NONBLOCK a FIFO at the path would wait for a writer forever;
  // with it, whatever is not a regular file is refused before any read.
  const visa::UniqueFd owned(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  const int descriptor = owned.Get();
  if (descriptor < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return S_FALSE;
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the file cannot be read (" + SystemMessage(error) + ")");
  }
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "it is not a regular file");
  }
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxFileSize) {
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the file is " + std::to_string(status.st_size) +
                                                         " bytes long; a store may have at most " +
                                                         std::to_string(kMaxFileSize) + " bytes");
  }
  // The file may grow while it is read: one byte beyond the limit tells.
  std::string xml(static_cast<std::size_t>(status.st_size) + 1, '\0');
  std::size_t read = 0;
  while (read < xml.size()) {
    const ssize_t got = ::read(descriptor, xml.data() + read, xml.size() - read);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the file cannot be read (" + SystemMessage(errno) + ")");
    }
    if (got == 0) break;
    read += static_cast<std::size_t>(got);
  }
  if (read > static_cast<std::size_t>(status.st_size)) {
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the file changed while it was read");
  }
  xml.resize(read);
  return Parse(xml, path);
}

HRESULT ConfigStore::Parse(std::string_view xml, std::string_view path) {
  static std::once_flag initialized;
  std::call_once(initialized, [] { xmlInitParser(); });

  path_ = std::string(path);
  document_.reset();
  ids_.clear();
  const StoreEntry file(*this, nullptr);
  if (xml.empty()) return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the store is empty");
  if (xml.size() > kMaxFileSize) {
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "the store is larger than " + std::to_string(kMaxFileSize) + " bytes");
  }
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxt*)> parser(
      xmlCreateMemoryParserCtxt(xml.data(), static_cast<int>(xml.size())), &xmlFreeParserCtxt);
  if (!parser) return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, "there is not enough memory to read it");
  xmlCtxtUseOptions(parser.get(), kParseOptions);
  parser->sax->internalSubset = &RefuseDocumentType;
  parser->_private = nullptr;
  const int result = xmlParseDocument(parser.get());
  document_.reset(parser->myDoc);
  parser->myDoc = nullptr;
  if (result != 0 || !parser->wellFormed || parser->_private || !document_) {
    const std::string problem = ParserProblem(*parser);
    document_.reset();
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED, problem);
  }
  const xmlNode* root = xmlDocGetRootElement(document_.get());
  if (!store::IsElement(root, store::kRoot)) {
    const std::string found(LocalName(root));
    document_.reset();
    return file.Fail(E_IVICONFIG_DESERIALIZE_FAILED,
                     "the document element is <" + found + ">, not <" + std::string(store::kRoot) + ">");
  }
  return Reindex();
}

HRESULT ConfigStore::Reindex() {
  ids_.clear();
  xmlNode* node = xmlDocGetRootElement(document_.get());
  // Walks the tree in document order without recursion.
  while (node) {
    std::string id;
    if (node->type == XML_ELEMENT_NODE && store::Attribute(node, "id", id)) {
      const auto [it, added] = ids_.emplace(id, node);
      if (!added) {
        const HRESULT hr = StoreEntry(*this, node).Fail(
            E_IVICONFIG_DESERIALIZE_FAILED,
            "the id " + Quoted(id) + " is used already on line " + std::to_string(xmlGetLineNo(it->second)));
        ids_.clear();
        document_.reset();
        return hr;
      }
    }
    if (node->children && node->type == XML_ELEMENT_NODE) {
      node = node->children;
      continue;
    }
    while (node && !node->next) {
      node = node->parent;
      if (node && node->type == XML_DOCUMENT_NODE) node = nullptr;
    }
    if (node) node = node->next;
  }
  return S_OK;
}

xmlNode* ConfigStore::FindId(std::string_view id) const {
  const auto it = ids_.find(id);
  return it == ids_.end() ? nullptr : it->second;
}

HRESULT ConfigStore::FindByName(std::string_view collection, std::string_view name, StoreEntry& entry) const {
  entry = StoreEntry();
  std::vector<StoreEntry> entries;
  if (Failed(Root().Entries(collection, entries))) {
    // A lookup the store cannot answer finds nothing; its complaint is not the caller's failure.
    ClearErrorInfo();
    return S_FALSE;
  }
  for (const StoreEntry& candidate : entries) {
    if (!name.empty() && candidate.Name() == name) {
      entry = candidate;
      return S_OK;
    }
  }
  return S_FALSE;
}

HRESULT ConfigStore::FindDriverSession(std::string_view name, StoreEntry& session) const {
  session = StoreEntry();
  StoreEntry logicalName;
  if (FindByName(store::kLogicalNames, name, logicalName) == S_OK) {
    if (logicalName.Reference("Session", store::kDriverSessions, session) == S_OK) return S_OK;
    ClearErrorInfo();
    return S_FALSE;
  }
  return FindByName(store::kDriverSessions, name, session);
}

}  // namespace hvzelta
