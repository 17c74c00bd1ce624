#pragma once

// Opens the transport a parsed resource name asks for.

#include <memory>

#include "visa/deadline.h"
#include "visa/resource_name.h"
#include "visa/transport.h"

namespace hvzelta::visa {

// VI_ERROR_RSRC_NFOUND when nothing answers at the name within the deadline
// or no transport of this library serves the kind of resource.
ViStatus OpenTransport(const ResourceName& resource, const Deadline& deadline,
                       std::unique_ptr<ITransport>& transport);

}  // namespace hvzelta::visa
