#include "instrument_session.h"

#include <cstdio>
#include <vector>

namespace hvzelta::cli {

namespace {

// The longest text a size request is believed: warnings are positive too,
// and far larger.
constexpr ViStatus kLongestText = 1 << 24;

// Reads a text of any length through a C function that answers a buffer too
// small with the size it needs.
template <class Call>
ViStatus ReadText(std::string& text, Call&& call) {
  std::vector<ViChar> buffer(256);
  ViStatus status = call(static_cast<ViInt32>(buffer.size()), buffer.data());
  if (status > static_cast<ViStatus>(buffer.size()) && status <= kLongestText) {
    buffer.resize(static_cast<std::size_t>(status));
    status = call(static_cast<ViInt32>(buffer.size()), buffer.data());
  }
  if (status >= 0) text = buffer.data();
  return status;
}

}  // namespace

InstrumentSession::~InstrumentSession() {
  if (vi_ != VI_NULL) hvzelta_close(vi_);
}

ViStatus InstrumentSession::Open(const std::string& resource, const std::string& options) {
  return hvzelta_InitWithOptions(resource.c_str(), VI_TRUE, VI_FALSE, options.c_str(), &vi_);
}

std::string InstrumentSession::Description(ViStatus status) const {
  std::string description;
  ViStatus code = VI_SUCCESS;
  ReadText(description, [&](ViInt32 size, ViChar* buffer) { return hvzelta_GetError(vi_, &code, size, buffer); });
  if (description.empty()) {
    ViChar message[256] = {};
    hvzelta_error_message(vi_, status, message);
    description = message;
  }
  if (description.empty()) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(status));
    description = std::string("the driver failed with status ") + number;
  }
  return description;
}

ViStatus InstrumentSession::Read(const AttributeInfo& attribute, const std::string& channel,
                                 AttributeValue& value) const {
  const char* name = channel.c_str();
  switch (attribute.type) {
    case capi::AttributeType::Int32: {
      ViInt32 number = 0;
      const ViStatus status = hvzelta_GetAttributeViInt32(vi_, name, attribute.id, &number);
      value = number;
      return status;
    }
    case capi::AttributeType::Real64: {
      ViReal64 number = 0;
      const ViStatus status = hvzelta_GetAttributeViReal64(vi_, name, attribute.id, &number);
      value = number;
      return status;
    }
    case capi::AttributeType::Boolean: {
      ViBoolean state = VI_FALSE;
      const ViStatus status = hvzelta_GetAttributeViBoolean(vi_, name, attribute.id, &state);
      value = state != VI_FALSE;
      return status;
    }
    case capi::AttributeType::String:
    case capi::AttributeType::Session:
      break;
  }
  std::string text;
  const ViStatus status = ReadText(text, [&](ViInt32 size, ViChar* buffer) {
    return hvzelta_GetAttributeViString(vi_, name, attribute.id, size, buffer);
  });
  value = std::move(text);
  return status;
}

ViStatus InstrumentSession::Write(const AttributeInfo& attribute, const std::string& channel,
                                  const AttributeValue& value) const {
  const char* name = channel.c_str();
  if (const auto* number = std::get_if<ViInt32>(&value)) {
    return hvzelta_SetAttributeViInt32(vi_, name, attribute.id, *number);
  }
  if (const auto* number = std::get_if<ViReal64>(&value)) {
    return hvzelta_SetAttributeViReal64(vi_, name, attribute.id, *number);
  }
  if (const auto* state = std::get_if<bool>(&value)) {
    return hvzelta_SetAttributeViBoolean(vi_, name, attribute.id, *state ? VI_TRUE : VI_FALSE);
  }
  return hvzelta_SetAttributeViString(vi_, name, attribute.id, std::get<std::string>(value).c_str());
}

ViStatus InstrumentSession::ReadErrorQueue(std::vector<InstrumentError>& errors) const {
  errors.clear();
  while (errors.size() < kMostQueuedErrors) {
    InstrumentError error{0, {}};
    ViChar message[256] = {};
    const ViStatus status = hvzelta_error_query(vi_, &error.code, message);
    if (status < 0) return status;
    if (error.code == 0) break;
    error.message = message;
    errors.push_back(std::move(error));
  }
  return VI_SUCCESS;
}

ViStatus InstrumentSession::FirstChannel(ChannelKind kind, std::string& name) const {
  name.clear();
  if (kind == ChannelKind::None) return VI_SUCCESS;
  return ReadText(name, [&](ViInt32 size, ViChar* buffer) {
    return kind == ChannelKind::Output ? hvzelta_GetOutputName(vi_, 1, size, buffer)
                                       : hvzelta_GetOutputPhaseName(vi_, 1, size, buffer);
  });
}

}  // namespace hvzelta::cli
