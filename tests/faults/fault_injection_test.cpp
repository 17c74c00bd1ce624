// The whole driver against an instrument that misbehaves, through the C
// interface, over every transport: a table of transports x injected faults,
// and a matrix of transports x how late a reply comes. Every case checks that
// no call returns another call's answer, that a failing call ends within its
// timeout plus 100 ms, and that the session answers afterwards.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "emulated_instrument.h"
#include "fault_ledger.h"

namespace hvzelta::faults {
namespace {

using namespace std::chrono_literals;
using zta_sim::FaultKind;
using Clock = std::chrono::steady_clock;

constexpr ViInt32 kTimeoutMs = 200;
constexpr auto kTimeout = std::chrono::milliseconds(kTimeoutMs);
// How much longer than its timeout a call may take: tells a hang from a wait, and
// stays below a second timeout so that a wait done twice is caught too, while a
// loaded machine's scheduling delays (up to some 110 ms seen) pass.
constexpr auto kTimeoutBound = 180ms;
// A late or split reply comes after the timeout, while the next query is under way.
constexpr auto kLateDelay = kTimeout + 150ms;
constexpr ViReal64 kVoltage = 100.0;
constexpr ViReal64 kFrequency = 60.0;
// A reading whose value is not checked.
constexpr ViReal64 kUnchecked = -1.0;

// A formatted-read error: any error but the I/O ones, with its description.
constexpr ViStatus kFormattedReadError = 1;

struct Outcome {
  ViStatus status;
  bool reopen = false;    // the peer closed the connection: the session is initialized again
  bool cutShort = false;  // the instrument's END made a shorter reply of it: its value is not checked
};

constexpr Outcome kTimedOut{HVZELTA_ERROR_IO_TIMEOUT};
constexpr Outcome kBadReply{kFormattedReadError};
constexpr Outcome kAnswered{VI_SUCCESS};
constexpr Outcome kCutShort{VI_SUCCESS, false, true};
constexpr Outcome kDropped{HVZELTA_ERROR_IO_GENERAL, true};

struct FaultRow {
  FaultKind kind;
  const char* name;
  std::array<Outcome, kTransports.size()> byTransport;  // in the order of kTransports
};

const FaultRow kFaults[] = {
    {FaultKind::Stall, "Stall", {{kTimedOut, kTimedOut, kTimedOut, kTimedOut}}},
    // A serial line cannot be dropped: the reply is lost instead.
    {FaultKind::Drop, "Drop", {{kDropped, kDropped, kDropped, kTimedOut}}},
    {FaultKind::Garbage, "Garbage", {{kBadReply, kBadReply, kBadReply, kBadReply}}},
    // HiSLIP and VXI-11 end the half reply with END, which makes it a whole
    // (shorter) reply: the driver takes the instrument at its word.
    {FaultKind::Truncate, "Truncate", {{kTimedOut, kCutShort, kCutShort, kTimedOut}}},
    {FaultKind::Oversize, "Oversize", {{kBadReply, kBadReply, kBadReply, kBadReply}}},
    {FaultKind::ShortBlock, "ShortBlock", {{kBadReply, kBadReply, kBadReply, kBadReply}}},
    {FaultKind::Doubled, "Doubled", {{kAnswered, kAnswered, kAnswered, kAnswered}}},
    {FaultKind::Split, "Split", {{kTimedOut, kTimedOut, kTimedOut, kTimedOut}}},
    // Digits without end: only the call's one deadline ends the read.
    {FaultKind::Trickle, "Trickle", {{kTimedOut, kTimedOut, kTimedOut, kTimedOut}}},
};

std::string Hex(ViStatus status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

// One session on the emulated instrument over one transport, with the short
// timeout and known settings; every call is timed and counted.
class FaultCase {
 public:
  FaultCase(Transport transport, std::chrono::milliseconds lateDelay)
      : transport_(transport), instrument_(Options(lateDelay)) {}

  bool Open() {
    const ViStatus opened = session_.Open(instrument_.Resource(transport_), "Cache=false");
    EXPECT_EQ(opened, VI_SUCCESS) << TakeError(VI_NULL);
    if (opened != VI_SUCCESS) return false;
    return Call(hvzelta_SetAttributeViInt32(Vi(), "", HVZELTA_ATTR_IO_TIMEOUT, kTimeoutMs), "set the timeout") &&
           Set(hvzelta_SetVoltageLevel, kVoltage) && Set(hvzelta_SetFrequency, kFrequency) &&
           // A query, so that every setting has reached the instrument before
           // a fault is armed for the next message.
           Get(hvzelta_GetFrequency, kFrequency) == VI_SUCCESS;
  }

  zta_sim::Emulator& Emulator() { return instrument_.Emulator(); }
  ViSession Vi() const { return session_.Get(); }
  void Reopen() {
    session_.Close();
    Open();
  }

  // Runs one call: it must end within its timeout and the bound.
  template <class Work>
  ViStatus Timed(Work work) {
    const auto start = Clock::now();
    const ViStatus status = work();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LE(ms, kTimeout + kTimeoutBound) << "a call took " << ms.count() << " ms";
    FaultLedger::Instance().Operation(status);
    return status;
  }

  bool Call(ViStatus status, const std::string& what) {
    EXPECT_EQ(status, VI_SUCCESS) << what << ": " << Hex(status) << " " << TakeError(Vi());
    return status == VI_SUCCESS;
  }
  bool Set(ViStatus (*setter)(ViSession, ViConstString, ViReal64), ViReal64 value) {
    return Call(Timed([&] { return setter(Vi(), "Output1", value); }), "set " + std::to_string(value));
  }
  // A getter's status; when it succeeds, the value must be `expected`:
  // anything else is another call's answer.
  ViStatus Get(ViStatus (*getter)(ViSession, ViConstString, ViReal64*), ViReal64 expected) {
    ViReal64 value = -1;
    const ViStatus status = Timed([&] { return getter(Vi(), "Output1", &value); });
    if (status == VI_SUCCESS && expected != kUnchecked && value != expected) {
      FaultLedger::Instance().LostData();
      ADD_FAILURE() << "a query got " << value << " instead of " << expected;
    }
    return status;
  }

 private:
  static zta_sim::FaultOptions Options(std::chrono::milliseconds lateDelay) {
    zta_sim::FaultOptions options;
    options.lateDelay = lateDelay;
    options.trickleInterval = kTimeout * 2;
    return options;
  }

  Transport transport_;
  EmulatedInstrument instrument_;
  CSession session_;
};

class FaultInjection : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(FaultInjection, FailsCleanlyAndTheSessionCarriesOn) {
  const auto [transportIndex, rowIndex] = GetParam();
  const FaultRow& row = kFaults[rowIndex];
  const Outcome& expected = row.byTransport[transportIndex];
  FaultCase fault(kTransports[transportIndex], kLateDelay);
  ASSERT_TRUE(fault.Open());

  fault.Emulator().ArmFault(row.kind);
  FaultLedger::Instance().FaultInjected();
  const ViStatus status = fault.Get(hvzelta_GetVoltageLevel, expected.cutShort ? kUnchecked : kVoltage);
  const std::string description = TakeError(fault.Vi());
  if (expected.status == kFormattedReadError) {
    EXPECT_TRUE(status < 0 && status != HVZELTA_ERROR_IO_TIMEOUT && status != HVZELTA_ERROR_IO_GENERAL)
        << Hex(status) << " is not a formatted-read error";
  } else {
    EXPECT_EQ(status, expected.status) << Hex(status) << " " << description;
  }
  // A reply the format cannot read passes through as the generic unexpected
  // failure, which carries no description of the driver's own.
  if (status < 0 && status != HVZELTA_ERROR_UNEXPECTED) {
    EXPECT_FALSE(description.empty()) << "the failure " << Hex(status) << " has no description";
  }

  if (expected.reopen) fault.Reopen();
  EXPECT_EQ(fault.Get(hvzelta_GetFrequency, kFrequency), VI_SUCCESS) << TakeError(fault.Vi());
  // A normal set and get, with a value the instrument has not had yet.
  EXPECT_TRUE(fault.Set(hvzelta_SetVoltageLevel, 117.0) && fault.Get(hvzelta_GetVoltageLevel, 117.0) == VI_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    TransportsTimesFaults, FaultInjection,
    ::testing::Combine(::testing::Range<std::size_t>(0, kTransports.size()),
                       ::testing::Range<std::size_t>(0, std::size(kFaults))),
    [](const auto& param) {
      const std::size_t transport = std::get<0>(param.param);
      return std::string(TransportName(kTransports[transport])) + "_" + kFaults[std::get<1>(param.param)].name;
    });

// How late the reply to one query comes, against the timeout.
struct Lateness {
  const char* name;
  std::chrono::milliseconds delay;
};
const Lateness kLateness[] = {
    {"Half", kTimeout / 2},
    {"OneAndAHalf", kTimeout * 3 / 2},
    {"Threefold", kTimeout * 3},
    {"Tenfold", kTimeout * 10},
    // Right when the next call starts sending its command.
    {"DuringTheNextCommand", kTimeout + 2ms},
};

// One reply comes late; then a new voltage is set and read back every few
// milliseconds until well after the late reply came. Each reading carries
// a value no other call has, so an answer that went to the wrong call shows.
// At most the late query and one more call may fail.
class LateReply : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(LateReply, NeverAnswersAnotherCall) {
  const auto [transportIndex, latenessIndex] = GetParam();
  const Lateness& lateness = kLateness[latenessIndex];
  FaultCase fault(kTransports[transportIndex], lateness.delay);
  ASSERT_TRUE(fault.Open());

  fault.Emulator().ArmFault(FaultKind::Late);
  FaultLedger::Instance().FaultInjected();
  std::vector<ViStatus> failures;
  const auto note = [&](ViStatus status) {
    if (status != VI_SUCCESS) failures.push_back(status);
  };
  note(fault.Get(hvzelta_GetVoltageLevel, kVoltage));
  const auto until = Clock::now() + lateness.delay + 2 * kTimeout;
  for (int i = 1; Clock::now() < until && i < 150; ++i) {
    const ViReal64 value = 20.0 + 0.5 * i;
    note(fault.Timed([&] { return hvzelta_SetVoltageLevel(fault.Vi(), "Output1", value); }));
    note(fault.Get(hvzelta_GetVoltageLevel, value));
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_LE(failures.size(), 2u) << "first failure " << Hex(failures.empty() ? 0 : failures.front());
  EXPECT_EQ(fault.Get(hvzelta_GetFrequency, kFrequency), VI_SUCCESS) << TakeError(fault.Vi());
}

INSTANTIATE_TEST_SUITE_P(
    TransportsTimesLateness, LateReply,
    ::testing::Combine(::testing::Range<std::size_t>(0, kTransports.size()),
                       ::testing::Range<std::size_t>(0, std::size(kLateness))),
    [](const auto& param) {
      return std::string(TransportName(kTransports[std::get<0>(param.param)])) + "_" +
             kLateness[std::get<1>(param.param)].name;
    });

// An instrument that queues errors: with status polling on, the call that
// caused one fails with the instrument-status error, and the error query
// hands out the queue until it says there is no error.
class InstrumentErrors : public ::testing::TestWithParam<std::size_t> {};

TEST_P(InstrumentErrors, FailTheCallAndAreDrainedByTheErrorQuery) {
  EmulatedInstrument instrument;
  CSession session;
  ASSERT_EQ(session.Open(instrument.Resource(kTransports[GetParam()]), "Cache=false, QueryInstrStatus=true"),
            VI_SUCCESS)
      << TakeError(VI_NULL);
  const ViSession vi = session.Get();
  ASSERT_EQ(hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, kTimeoutMs), VI_SUCCESS);
  FaultLedger::Instance().FaultInjected();
  // Far beyond any model's range: the instrument refuses it with an execution error.
  EXPECT_EQ(hvzelta_SetVoltageLevel(vi, "Output1", 99999.0), HVZELTA_ERROR_INSTRUMENT_STATUS);
  EXPECT_EQ(TakeError(vi), "HalvornZelta: Instrument error detected.  Use ErrorQuery() to determine error(s).");

  std::vector<ViInt32> codes;
  for (int i = 0; i < 4; ++i) {
    ViInt32 code = -1;
    char message[256] = {};
    ASSERT_EQ(hvzelta_error_query(vi, &code, message), VI_SUCCESS) << TakeError(vi);
    if (code == 0) {
      EXPECT_STREQ(message, "No error");
      break;
    }
    codes.push_back(code);
  }
  EXPECT_EQ(codes, std::vector<ViInt32>{-222}) << "the queue is drained once";
  ViReal64 level = -1;
  EXPECT_EQ(hvzelta_SetVoltageLevel(vi, "Output1", kVoltage), VI_SUCCESS) << TakeError(vi);
  EXPECT_EQ(hvzelta_GetVoltageLevel(vi, "Output1", &level), VI_SUCCESS) << TakeError(vi);
  EXPECT_EQ(level, kVoltage);
}

INSTANTIATE_TEST_SUITE_P(EveryTransport, InstrumentErrors, ::testing::Range<std::size_t>(0, kTransports.size()),
                         [](const auto& param) { return std::string(TransportName(kTransports[param.param])); });

}  // namespace
}  // namespace hvzelta::faults
