#include "core/store_resource_aliases.h"

#include "core/config_store.h"

namespace hvzelta {

std::vector<visa::ResourceAlias> StoreResourceAliases() {
  std::vector<visa::ResourceAlias> aliases;
  ConfigStore store;
  if (store.Open(ConfigStoreLocation()) != S_OK) return aliases;
  std::vector<StoreEntry> assets;
  if (Failed(store.Root().Entries(store::kHardwareAssets, assets))) return aliases;
  for (const StoreEntry& asset : assets) {
    std::string resource;
    if (asset.OptionalText("IOResourceDescriptor", resource) == S_OK && !asset.Name().empty() && !resource.empty())
      aliases.push_back({asset.Name(), resource});
  }
  return aliases;
}

}  // namespace hvzelta
