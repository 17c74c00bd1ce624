// Every attribute of the driver's table through the C dispatch: on a
// simulated session read with its own type, written back where writable and
// refused in every other type; against the emulated instrument read. Raw I/O
// against the instrument, and the session lock while a call waits.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "capi/attribute_map.h"
#include "hvzelta.h"
#include "zta_sim/emulator.h"

namespace hvzelta::capi {
namespace {

struct Value {
  ViInt32 integer = 0;
  ViReal64 real = 0;
  ViBoolean flag = 0;
  ViSession session = 0;
  char text[256] = {};
};

struct Access {
  AttributeType type;
  ViStatus (*get)(ViSession, ViAttr, Value&);
  ViStatus (*set)(ViSession, ViAttr, const Value&);
};

// The empty channel name selects the one output or phase of an attribute
// that takes one and is ignored by the others.
constexpr Access kAccess[] = {
    {AttributeType::Int32,
     [](ViSession vi, ViAttr id, Value& v) { return hvzelta_GetAttributeViInt32(vi, "", id, &v.integer); },
     [](ViSession vi, ViAttr id, const Value& v) { return hvzelta_SetAttributeViInt32(vi, "", id, v.integer); }},
    {AttributeType::Real64,
     [](ViSession vi, ViAttr id, Value& v) { return hvzelta_GetAttributeViReal64(vi, "", id, &v.real); },
     [](ViSession vi, ViAttr id, const Value& v) { return hvzelta_SetAttributeViReal64(vi, "", id, v.real); }},
    {AttributeType::Boolean,
     [](ViSession vi, ViAttr id, Value& v) { return hvzelta_GetAttributeViBoolean(vi, "", id, &v.flag); },
     [](ViSession vi, ViAttr id, const Value& v) { return hvzelta_SetAttributeViBoolean(vi, "", id, v.flag); }},
    {AttributeType::Session,
     [](ViSession vi, ViAttr id, Value& v) { return hvzelta_GetAttributeViSession(vi, "", id, &v.session); },
     [](ViSession vi, ViAttr id, const Value& v) { return hvzelta_SetAttributeViSession(vi, "", id, v.session); }},
    {AttributeType::String,
     [](ViSession vi, ViAttr id, Value& v) {
       return hvzelta_GetAttributeViString(vi, "", id, static_cast<ViInt32>(sizeof v.text), v.text);
     },
     [](ViSession vi, ViAttr id, const Value& v) { return hvzelta_SetAttributeViString(vi, "", id, v.text); }},
};

// A session with the instrument `emulator` emulates, over its socket.
ViSession OpenEmulated(zta_sim::Emulator& emulator) {
  const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(emulator.Start().socketPort) + "::SOCKET";
  ViSession vi = VI_NULL;
  EXPECT_EQ(hvzelta_init(resource.c_str(), VI_TRUE, VI_TRUE, &vi), VI_SUCCESS);
  return vi;
}

// In simulation every attribute answers, except the I/O timeout (direct I/O
// is refused while simulating) and the one that always asks the instrument.
TEST(AttributeWalkTest, EveryAttributeSimulated) {
  ViSession vi = VI_NULL;
  ASSERT_EQ(hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi),
            VI_SUCCESS);
  for (const AttributeEntry& entry : AttributeTable()) {
    const ViStatus expected = entry.id == HVZELTA_ATTR_IO_TIMEOUT              ? HVZELTA_ERROR_IO_GENERAL
                              : entry.id == HVZELTA_ATTR_OUTPUT_TRIGGER_SOURCE ? HVZELTA_ERROR_NOT_INITIALIZED
                                                                               : VI_SUCCESS;
    for (const Access& access : kAccess) {
      Value value;
      if (access.type != entry.type) {
        EXPECT_EQ(access.get(vi, entry.id, value), HVZELTA_ERROR_TYPES_DO_NOT_MATCH) << entry.id;
        EXPECT_EQ(access.set(vi, entry.id, value), HVZELTA_ERROR_TYPES_DO_NOT_MATCH) << entry.id;
        continue;
      }
      const ViStatus read = access.get(vi, entry.id, value);
      EXPECT_EQ(read, expected) << entry.id;
      EXPECT_TRUE(value.flag == VI_TRUE || value.flag == VI_FALSE) << entry.id;
      if (entry.writer && read != VI_SUCCESS) continue;
      const ViStatus written = entry.writer ? VI_SUCCESS : HVZELTA_ERROR_ATTR_NOT_WRITABLE;
      EXPECT_EQ(access.set(vi, entry.id, value), written) << entry.id;
    }
  }
  EXPECT_EQ(hvzelta_close(vi), VI_SUCCESS);
}

// Or says that the class feature is not there.
TEST(AttributeWalkTest, EveryAttributeFromTheInstrument) {
  zta_sim::Options options;
  options.model = zta_sim::Model::ZTA300;
  zta_sim::Emulator emulator(options);
  const ViSession vi = OpenEmulated(emulator);
  for (const AttributeEntry& entry : AttributeTable()) {
    for (const Access& access : kAccess) {
      Value value;
      if (access.type != entry.type) continue;
      const ViStatus status = access.get(vi, entry.id, value);
      if (entry.id < HVZELTA_ATTR_ARB_NUM_WAVEFORMS_MAX || status != HVZELTA_ERROR_ATTRIBUTE_NOT_SUPPORTED) {
        EXPECT_EQ(status, VI_SUCCESS) << entry.id;
      }
    }
  }
  EXPECT_EQ(hvzelta_close(vi), VI_SUCCESS);
}

TEST(RawIoTest, SizesAreClampedAndTheSessionIsFoundWhileAReadWaits) {
  zta_sim::Emulator emulator{zta_sim::Options{}};
  const ViSession vi = OpenEmulated(emulator);
  const auto write = [&](const char* message, ViInt64 size) {
    ViInt64 count = -1;
    EXPECT_EQ(hvzelta_viWrite(vi, size, reinterpret_cast<ViConstBuf>(message), &count), VI_SUCCESS) << message;
    return count;
  };
  ViByte reply[16];
  ViInt64 count = -1;
  EXPECT_EQ(write("*IDN?\n", -6), 0) << "a negative size writes nothing";
  EXPECT_EQ(write("*IDN?\n", 6), 6);
  // Only what fits is handed out; the rest of the reply is dropped.
  EXPECT_EQ(hvzelta_viRead(vi, 4, reply, &count), VI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)), "Halv");
  write("*OPC?\n", 6);
  EXPECT_EQ(hvzelta_viRead(vi, sizeof reply, reply, &count), VI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), static_cast<std::size_t>(count)), "1\n");
  // No buffer: the reply is read and dropped, and the call fails.
  write("*OPC?\n", 6);
  EXPECT_EQ(hvzelta_viRead(vi, 4, nullptr, &count), _VI_ERROR);
  EXPECT_EQ(count, 0);
  // A failing raw read returns the VISA library's own status (here its timeout).
  ASSERT_EQ(hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 100), VI_SUCCESS);
  EXPECT_EQ(hvzelta_viRead(vi, 4, reply, &count), static_cast<ViStatus>(0xBFFF0015));

  // The session lock is taken for the lookup only.
  ASSERT_EQ(hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 1500), VI_SUCCESS);
  std::atomic<bool> returned{false};
  std::thread reader([&] {
    ViByte byte[4];
    ViInt64 got = 0;
    hvzelta_viRead(vi, 4, byte, &got);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(hvzelta_ClearError(vi), VI_SUCCESS);
  EXPECT_FALSE(returned) << "the session was found while the read waited";
  reader.join();
  EXPECT_EQ(hvzelta_close(vi), VI_SUCCESS);
}

}  // namespace
}  // namespace hvzelta::capi
