#pragma once

// The hardware assets of the configuration store as names of resources: an
// asset's Name stands for its IOResourceDescriptor. Given to the VISA
// layer's discovery (SetAliasSource) by the programs that list resources.

#include <vector>

#include "visa/resource_discovery.h"

namespace hvzelta {

// Empty when there is no store or it cannot be read.
std::vector<visa::ResourceAlias> StoreResourceAliases();

}  // namespace hvzelta
