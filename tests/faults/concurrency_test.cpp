// Many threads at once through the C interface against the emulator: on one
// session (one object, and different objects) and on a session each; raw
// exchanges under LockSession among typed calls; and close while calls are
// in flight. Each thread owns a setting that no other thread writes and sets
// it to values that carry the thread's number, so a reply that belongs to
// another call is seen at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "emulated_instrument.h"
#include "fault_ledger.h"

namespace hvzelta::faults {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRounds = 40;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int kRounds = 40;
#else
constexpr int kRounds = 1000;
#endif
#else
constexpr int kRounds = 1000;
#endif

constexpr int kThreads = 8;
// Far beyond what the rounds need; a deadlock ends the program instead of
// waiting for the test driver's timeout.
constexpr auto kDeadline = std::chrono::seconds(60);

using Setter = ViStatus (*)(ViSession, ViConstString, ViReal64);
using Getter = ViStatus (*)(ViSession, ViConstString, ViReal64*);

// A setting of its own per thread, with a base its values start from.
struct OwnedSetting {
  const char* channel;
  Setter set;
  Getter get;
  ViReal64 base;
};

const std::array<OwnedSetting, kThreads> kOutputSettings = {{
    {"Output1", hvzelta_SetCurrentLimit, hvzelta_GetCurrentLimit, 1.0},
    {"Output1", hvzelta_SetFrequency, hvzelta_GetFrequency, 50.0},
    {"Output1", hvzelta_SetVoltageLevel, hvzelta_GetVoltageLevel, 100.0},
    {"Output1", hvzelta_SetTriggeredVoltageLevel, hvzelta_GetTriggeredVoltageLevel, 110.0},
    {"Output1", hvzelta_SetTriggeredFrequency, hvzelta_GetTriggeredFrequency, 55.0},
    {"Output1", hvzelta_SetCurrentOffset, hvzelta_GetCurrentOffset, 0.5},
    {"Output1", hvzelta_SetSyncPhase, hvzelta_GetSyncPhase, 10.0},
    {"Output1", hvzelta_SetVoltageOffset, hvzelta_GetVoltageOffset, 1.0},
}};

// The value of `round` for `thread`: the hundredths name the thread.
ViReal64 OwnValue(const OwnedSetting& setting, int thread, int round) {
  return setting.base + 0.01 * thread + 0.1 * (round % 5);
}

struct Tally {
  int operations = 0;
  int failures = 0;
  int mismatches = 0;
  std::string first;

  void Failed(ViSession vi, ViStatus status) {
    ++failures;
    if (first.empty()) first = "status " + std::to_string(status) + ": " + TakeError(vi);
  }
  void Mismatched(const std::string& what) {
    ++mismatches;
    FaultLedger::Instance().LostData();
    if (first.empty()) first = what;
  }
};

// Sets and reads back `setting` `rounds` times, or until `until` when given.
// With `untilClosed`, until the session is closed under it: the call the
// close cuts short and every later one get the invalid-session status.
Tally Work(ViSession vi, const OwnedSetting& setting, int thread, int rounds = kRounds,
           std::optional<std::chrono::steady_clock::time_point> until = std::nullopt, bool untilClosed = false) {
  Tally tally;
  for (int round = 0; until ? std::chrono::steady_clock::now() < *until : round < rounds; ++round) {
    const ViReal64 value = OwnValue(setting, thread, round);
    ViReal64 read = -1;
    const ViStatus set = setting.set(vi, setting.channel, value);
    const ViStatus got = set == VI_SUCCESS ? setting.get(vi, setting.channel, &read) : set;
    tally.operations += set == VI_SUCCESS ? 2 : 1;
    FaultLedger::Instance().Operation(set);
    if (set == VI_SUCCESS) FaultLedger::Instance().Operation(got);
    if (untilClosed && got == HVZELTA_ERROR_INVALID_SESSION_HANDLE) return tally;
    if (got != VI_SUCCESS) {
      tally.Failed(vi, got);
    } else if (std::fabs(read - value) > 1e-9) {
      tally.Mismatched("read " + std::to_string(read) + " after writing " + std::to_string(value));
    }
  }
  if (untilClosed) tally.Failed(vi, VI_SUCCESS);  // the session never closed
  return tally;
}

// Runs `body(thread)` on kThreads threads and checks what they tally: no
// reply to another call ever, and no failure unless faults are injected.
// `meanwhile` runs on this thread while they work.
template <class Body>
int RunThreads(Body body, bool failuresAllowed = false, const std::function<void()>& meanwhile = {}) {
  int operations = 0;
  std::vector<std::future<Tally>> results;
  for (int thread = 0; thread < kThreads; ++thread) {
    results.push_back(std::async(std::launch::async, body, thread));
  }
  if (meanwhile) meanwhile();
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  for (int thread = 0; thread < kThreads; ++thread) {
    if (results[thread].wait_until(deadline) != std::future_status::ready) {
      std::fprintf(stderr, "threads still busy after %lld s: a deadlock\n", static_cast<long long>(kDeadline.count()));
      std::abort();
    }
    const Tally tally = results[thread].get();
    operations += tally.operations;
    if (!failuresAllowed) {
      EXPECT_EQ(tally.failures, 0) << "thread " << thread << ": " << tally.first;
    }
    EXPECT_EQ(tally.mismatches, 0) << "thread " << thread << ": " << tally.first;
  }
  return operations;
}

class Concurrency : public ::testing::Test {
 protected:
  void Open(CSession& session) {
    ASSERT_EQ(session.Open(instrument_.Resource(Transport::Socket), "Cache=false"), VI_SUCCESS) << TakeError(VI_NULL);
    ASSERT_EQ(hvzelta_SetAttributeViInt32(session.Get(), "", HVZELTA_ATTR_IO_TIMEOUT, 5000), VI_SUCCESS);
  }
  // Every set and get went to the instrument: none was answered from a cache.
  void ExpectEachCallReachedTheInstrument(std::uint64_t before, int operations) {
    EXPECT_GE(instrument_.Emulator().MessageCount() - before, static_cast<std::uint64_t>(operations));
  }
  EmulatedInstrument instrument_;
};

TEST_F(Concurrency, ThreadsOnOneSessionOrOnSessionsOfTheirOwnEachGetTheirOwnReplies) {
  std::array<CSession, kThreads> sessions;
  for (CSession& session : sessions) Open(session);
  for (const bool shared : {true, false}) {
    const std::uint64_t before = instrument_.Emulator().MessageCount();
    const int operations = RunThreads(
        [&](int thread) { return Work(sessions[shared ? 0 : thread].Get(), kOutputSettings[thread], thread); });
    ExpectEachCallReachedTheInstrument(before, operations);
  }
}

// The root and the output have locks of their own, so calls on them overlap
// in the driver and meet only at the I/O session.
TEST_F(Concurrency, ThreadsOnDifferentObjectsOfOneSessionEachGetTheirOwnReplies) {
  CSession session;
  Open(session);
  RunThreads([&](int thread) -> Tally {
    if (thread % 2 == 0) return Work(session.Get(), kOutputSettings[thread], thread);
    Tally tally;
    char name[64];
    for (int round = 0; round < kRounds; ++round) {
      ViInt32 count = 0;
      const ViStatus counted = hvzelta_GetAttributeViInt32(session.Get(), "", HVZELTA_ATTR_OUTPUT_COUNT, &count);
      const ViStatus named = hvzelta_GetOutputName(session.Get(), 1, static_cast<ViInt32>(sizeof name), name);
      ViInt32 code = -1;
      char message[256];
      const ViStatus queried = hvzelta_error_query(session.Get(), &code, message);
      for (ViStatus status : {counted, named, queried}) FaultLedger::Instance().Operation(status);
      tally.operations += 3;
      tally.failures += (counted != VI_SUCCESS) + (named != VI_SUCCESS) + (queried != VI_SUCCESS);
      if (count != 1 || std::string(name) != "Output1" || code != 0) {
        tally.Mismatched("count " + std::to_string(count) + ", name " + name + ", error " + std::to_string(code));
      }
    }
    return tally;
  });
}

// A bounded randomized soak: faults of most kinds on about 2 % of messages
// while the threads set and read back values of their own on one session
// per transport. Failures are allowed; a reply to another call or a hang is
// not, and every session answers at the end. HVZELTA_SOAK_SECONDS (default
// 20) is shared by the transports; the ledger prints the counts last.
// Left out: a dropped connection, which needs the session opened again, and
// a stall, which swallows the command it strikes (a setting that never
// changed would read back as if another call had answered).
class Soak : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Soak, RandomFaultsNeverGiveAReplyToTheWrongCall) {
  using namespace std::chrono_literals;
  const char* seconds = std::getenv("HVZELTA_SOAK_SECONDS");
  const auto share = std::chrono::milliseconds(
      static_cast<long long>((seconds ? std::atof(seconds) : 20.0) * 1000 / kTransports.size()));
  zta_sim::FaultOptions faults;
  faults.lateDelay = 450ms;
  faults.trickleInterval = 600ms;
  for (const zta_sim::FaultKind kind :
       {zta_sim::FaultKind::Late, zta_sim::FaultKind::Doubled, zta_sim::FaultKind::Split, zta_sim::FaultKind::Trickle,
        zta_sim::FaultKind::Oversize, zta_sim::FaultKind::ShortBlock}) {
    faults.faults.push_back({kind, 0, 0.0035});
  }
  EmulatedInstrument instrument(faults);
  CSession session;
  ASSERT_EQ(session.Open(instrument.Resource(kTransports[GetParam()]), "Cache=false"), VI_SUCCESS)
      << TakeError(VI_NULL);
  const ViSession vi = session.Get();
  ASSERT_EQ(hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 300), VI_SUCCESS);
  const auto until = std::chrono::steady_clock::now() + share;
  RunThreads([&](int thread) { return Work(vi, kOutputSettings[thread], thread, 0, until); }, true);
  FaultLedger::Instance().FaultInjected(instrument.Emulator().FaultCount());

  // Usable at the end: a fault may strike these too, but not three in a row.
  ViReal64 level = -1;
  bool answered = false;
  for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
    answered = hvzelta_SetVoltageLevel(vi, "Output1", 42.0) == VI_SUCCESS &&
               hvzelta_GetVoltageLevel(vi, "Output1", &level) == VI_SUCCESS;
  }
  EXPECT_TRUE(answered) << TakeError(vi);
  EXPECT_EQ(level, 42.0);
}

INSTANTIATE_TEST_SUITE_P(EveryTransport, Soak, ::testing::Range<std::size_t>(0, kTransports.size()),
                         [](const auto& param) { return std::string(TransportName(kTransports[param.param])); });

// A raw write and read under LockSession, among typed calls of other
// threads: the lock holder owns the wire, so its read gets the answer to its
// own write, on every transport.
class LockedRawExchange : public Concurrency, public ::testing::WithParamInterface<Transport> {};

Tally LockedIdentityQueries(ViSession vi, int rounds) {
  Tally tally;
  for (int round = 0; round < rounds; ++round) {
    static constexpr char kQuery[] = "*IDN?\n";
    ViInt64 count = 0;
    char reply[256] = {};
    ViStatus status = hvzelta_LockSession(vi, nullptr);
    if (status == VI_SUCCESS) {
      status = hvzelta_viWrite(vi, std::strlen(kQuery), reinterpret_cast<ViConstBuf>(kQuery), &count);
    }
    if (status == VI_SUCCESS) status = hvzelta_viRead(vi, sizeof reply - 1, reinterpret_cast<ViByte*>(reply), &count);
    hvzelta_UnlockSession(vi, nullptr);
    ++tally.operations;
    FaultLedger::Instance().Operation(status);
    if (status != VI_SUCCESS) {
      tally.Failed(vi, status);
    } else if (std::strstr(reply, "ZTA300") == nullptr) {
      tally.Mismatched(std::string("*IDN? read ") + reply);
    }
  }
  return tally;
}

TEST_P(LockedRawExchange, EveryReplyIsTheLockHoldersOwn) {
  CSession session;
  ASSERT_EQ(session.Open(instrument_.Resource(GetParam()), "Cache=false"), VI_SUCCESS) << TakeError(VI_NULL);
  ASSERT_EQ(hvzelta_SetAttributeViInt32(session.Get(), "", HVZELTA_ATTR_IO_TIMEOUT, 5000), VI_SUCCESS);
  constexpr int kPairs = 25;
  RunThreads([&](int thread) {
    return thread % 2 == 0 ? LockedIdentityQueries(session.Get(), kPairs)
                           : Work(session.Get(), kOutputSettings[thread], thread, kPairs);
  });
}

std::string NameOf(const ::testing::TestParamInfo<Transport>& param) { return std::string(TransportName(param.param)); }

INSTANTIATE_TEST_SUITE_P(Transports, LockedRawExchange, ::testing::ValuesIn(kTransports), NameOf);

// Every reply held back a little, so that calls are nearly always waiting
// for one when the close comes.
zta_sim::FaultOptions SlowReplies() {
  zta_sim::FaultOptions faults;
  faults.replyDelay = std::chrono::milliseconds(5);
  return faults;
}

// The transports with a connection of their own per session: on a serial
// line a reply still owed to the closed session would reach the next one.
constexpr std::array kConnectedTransports = {Transport::Socket, Transport::HiSlip, Transport::Vxi11};

TEST(CloseWithCallsInFlight, NeverHangsAndTheCallsThatLoseGetTheInvalidSessionStatus) {
  EmulatedInstrument instrument(SlowReplies());
  constexpr int kCloseRounds = 200;
  std::chrono::steady_clock::duration worstClose{};
  for (int round = 0; round < kCloseRounds; ++round) {
    const Transport transport = kConnectedTransports[round % kConnectedTransports.size()];
    SCOPED_TRACE("round " + std::to_string(round) + " on " + std::string(TransportName(transport)));
    CSession session;
    ASSERT_EQ(session.Open(instrument.Resource(transport), "Cache=false"), VI_SUCCESS) << TakeError(VI_NULL);
    const ViSession vi = session.Get();
    RunThreads([vi](int thread) { return Work(vi, kOutputSettings[thread], thread, 100000, std::nullopt, true); },
               false, [&] {
                 // The close meets the calls at every stage of their exchanges.
                 std::this_thread::sleep_for(std::chrono::microseconds(500 * (round % 20)));
                 const auto start = std::chrono::steady_clock::now();
                 EXPECT_EQ(session.Close(), VI_SUCCESS);
                 worstClose = std::max(worstClose, std::chrono::steady_clock::now() - start);
               });
    if (HasFailure()) break;
  }
  const auto worstMs = std::chrono::duration_cast<std::chrono::milliseconds>(worstClose).count();
  std::printf("close with %d threads in calls: %d rounds, worst close %lld ms\n", kThreads, kCloseRounds,
              static_cast<long long>(worstMs));
  // The session timeout is the default 2000 ms.
  EXPECT_LT(worstMs, 2000 + 1000);
}

// With an infinite timeout a call waits for ever for a reply that never
// comes; close ends it instead of waiting with it.
class CloseAbortsAnEndlessRead : public ::testing::TestWithParam<Transport> {};

TEST_P(CloseAbortsAnEndlessRead, WithAnInfiniteTimeout) {
  EmulatedInstrument instrument;
  CSession session;
  ASSERT_EQ(session.Open(instrument.Resource(GetParam()), "Cache=false"), VI_SUCCESS) << TakeError(VI_NULL);
  ASSERT_EQ(hvzelta_SetAttributeViInt32(session.Get(), "", HVZELTA_ATTR_IO_TIMEOUT, -1), VI_SUCCESS);
  instrument.Emulator().ArmFault(zta_sim::FaultKind::Stall);
  const ViSession vi = session.Get();
  auto reader = std::async(std::launch::async, [vi] {
    ViReal64 level = 0;
    return hvzelta_GetVoltageLevel(vi, "Output1", &level);
  });
  ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout) << "the reply came";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.Close(), VI_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "the read outlived the close";
  EXPECT_EQ(reader.get(), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(Transports, CloseAbortsAnEndlessRead, ::testing::ValuesIn(kTransports), NameOf);

}  // namespace
}  // namespace hvzelta::faults
