#pragma once

// One driver session through the C interface, closed when it goes out of
// scope, with the typed attribute access and the failure descriptions the
// subcommands need.

#include <string>
#include <variant>
#include <vector>

#include "attribute_catalog.h"
#include "hvzelta.h"

namespace hvzelta::cli {

// An entry of the instrument's error queue.
struct InstrumentError {
  ViInt32 code;
  std::string message;
};

// An instrument that never says "No error" must not keep the program
// reading forever; real error queues hold far fewer entries.
constexpr std::size_t kMostQueuedErrors = 1000;

// A value of one of the attribute types the command line handles.
using AttributeValue = std::variant<ViInt32, ViReal64, bool, std::string>;

class InstrumentSession {
 public:
  InstrumentSession() = default;
  ~InstrumentSession();
  InstrumentSession(const InstrumentSession&) = delete;
  InstrumentSession& operator=(const InstrumentSession&) = delete;

  // hvzelta_InitWithOptions with an identity query and no reset.
  ViStatus Open(const std::string& resource, const std::string& options);

  ViSession Handle() const { return vi_; }

  // The driver's description of the last failure or warning of this session
  // (of the failed Open before there is one), the status code's message
  // when the driver left none.
  std::string Description(ViStatus status) const;

  ViStatus Read(const AttributeInfo& attribute, const std::string& channel, AttributeValue& value) const;
  ViStatus Write(const AttributeInfo& attribute, const std::string& channel, const AttributeValue& value) const;

  // Reads the instrument's error queue until it answers with code 0 ("No
  // error"), at most kMostQueuedErrors entries.
  ViStatus ReadErrorQueue(std::vector<InstrumentError>& errors) const;

  // The name of the first output or output phase, for attributes whose
  // channel the caller did not name; empty for ChannelKind::None.
  ViStatus FirstChannel(ChannelKind kind, std::string& name) const;

 private:
  ViSession vi_ = VI_NULL;
};

}  // namespace hvzelta::cli
