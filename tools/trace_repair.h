#pragma once

// Makes a method trace readable by any XML parser, as it was left: values
// are written as they stand, so a value may hold <, & or "; and a program
// that ended without closing the driver leaves a trace without its end tags,
// perhaps with a tag cut in the middle and the zero bytes of space the file
// had reserved. The repaired text says where the trace ended and which calls
// were still running.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hvzelta::tracepage {

// A call whose record was open where the trace ends.
struct CallInFlight {
  std::string name;  // "Interface.Name"
  std::string thread;
  std::string startTime;
};

struct RepairedTrace {
  // Well-formed XML. A trace that was cut short gets its open records
  // closed, InFlight="true" on each of them, and a last element
  // <TraceEnd Line=".." Offset=".." DroppedBytes=".." ZeroBytes=".."/>.
  std::string xml;
  bool escapedValues = false;  // some value held <, & or "
  bool cutShort = false;
  std::size_t endLine = 0;       // where the readable text ends, from 1
  std::size_t endOffset = 0;     // in bytes
  std::size_t droppedBytes = 0;  // of a tag that was cut in the middle
  std::size_t zeroBytes = 0;     // trailing
  std::vector<CallInFlight> inFlight;
};

RepairedTrace RepairTrace(std::string_view text);

// What the repair did, in sentences for the user; empty when nothing.
std::string DescribeRepair(const RepairedTrace& trace);

}  // namespace hvzelta::tracepage
