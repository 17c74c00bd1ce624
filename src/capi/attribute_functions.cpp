// hvzelta_GetAttribute<Type> and hvzelta_SetAttribute<Type>: each hands its
// value to the attribute map with the type it stands for.

#include "capi/attribute_map.h"
#include "capi/c_frame.h"
#include "hvzelta.h"

namespace hvzelta::capi {
namespace {

template <class Value>
ViStatus Write(ViSession vi, const char* channelName, ViAttr id, AttributeType type, const Value& value) {
  return Guarded(vi, [&] { return TheAttributeMap().Write(vi, channelName, id, type, &value); });
}

ViStatus Read(ViSession vi, const char* channelName, ViAttr id, AttributeType type, void* value,
              ViInt32 bufferSize = 0) {
  return Guarded(vi, [&] { return TheAttributeMap().Read(vi, channelName, id, type, value, bufferSize); });
}

}  // namespace
}  // namespace hvzelta::capi

using hvzelta::capi::AttributeType;

ViStatus hvzelta_SetAttributeViInt32(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                     ViInt32 AttributeValue) {
  return hvzelta::capi::Write(vi, ChannelName, AttributeId, AttributeType::Int32, AttributeValue);
}

ViStatus hvzelta_SetAttributeViReal64(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                      ViReal64 AttributeValue) {
  return hvzelta::capi::Write(vi, ChannelName, AttributeId, AttributeType::Real64, AttributeValue);
}

ViStatus hvzelta_SetAttributeViBoolean(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                       ViBoolean AttributeValue) {
  return hvzelta::capi::Write(vi, ChannelName, AttributeId, AttributeType::Boolean, AttributeValue);
}

ViStatus hvzelta_SetAttributeViSession(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                       ViSession AttributeValue) {
  return hvzelta::capi::Write(vi, ChannelName, AttributeId, AttributeType::Session, AttributeValue);
}

ViStatus hvzelta_SetAttributeViString(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                      ViConstString AttributeValue) {
  return hvzelta::capi::Write(vi, ChannelName, AttributeId, AttributeType::String, AttributeValue);
}

ViStatus hvzelta_GetAttributeViInt32(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                     ViInt32* AttributeValue) {
  return hvzelta::capi::Read(vi, ChannelName, AttributeId, AttributeType::Int32, AttributeValue);
}

ViStatus hvzelta_GetAttributeViReal64(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                      ViReal64* AttributeValue) {
  return hvzelta::capi::Read(vi, ChannelName, AttributeId, AttributeType::Real64, AttributeValue);
}

ViStatus hvzelta_GetAttributeViBoolean(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                       ViBoolean* AttributeValue) {
  return hvzelta::capi::Read(vi, ChannelName, AttributeId, AttributeType::Boolean, AttributeValue);
}

ViStatus hvzelta_GetAttributeViSession(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                       ViSession* AttributeValue) {
  return hvzelta::capi::Read(vi, ChannelName, AttributeId, AttributeType::Session, AttributeValue);
}

ViStatus hvzelta_GetAttributeViString(ViSession vi, ViConstString ChannelName, ViAttr AttributeId, ViInt32 BufferSize,
                                      ViChar AttributeValue[]) {
  return hvzelta::capi::Read(vi, ChannelName, AttributeId, AttributeType::String, AttributeValue, BufferSize);
}
