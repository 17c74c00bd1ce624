// Trace files are read back after crashes, cut anywhere and holding any
// text in their values: whatever the repair gets, what it gives must be
// well-formed XML.

#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trace_repair.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const hvzelta::tracepage::RepairedTrace trace = hvzelta::tracepage::RepairTrace(text);
  (void)hvzelta::tracepage::DescribeRepair(trace);
  xmlDoc* document = xmlReadMemory(trace.xml.data(), static_cast<int>(trace.xml.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!document) std::abort();
  xmlFreeDoc(document);
  return 0;
}
