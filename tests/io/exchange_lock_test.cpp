// Threads sharing one session: a command and the read of its reply are
// never split by another thread's exchange, so every reply answers the
// query that asked for it.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "acpwr/halvorn_zelta.h"
#include "io/session_harness.h"
#include "io/visa_com_session.h"
#include "visa/builtin_visa.h"
#include "zta_sim/emulator.h"

namespace hvzelta {
namespace {

using testing::LastError;

constexpr int kRounds = 60;

// Runs each worker on its own thread kRounds times; a worker returns the
// text of what went wrong, or nothing.
std::vector<std::string> RunTogether(const std::vector<std::function<std::string()>>& workers) {
  std::vector<std::string> firstProblem(workers.size());
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < workers.size(); ++w) {
    threads.emplace_back([&, w] {
      for (int round = 0; round < kRounds && firstProblem[w].empty(); ++round) firstProblem[w] = workers[w]();
    });
  }
  for (std::thread& thread : threads) thread.join();
  return firstProblem;
}

TEST(ExchangeLock, RootAndOutputOfOneDriverOnTwoThreads) {
  zta_sim::Emulator emulator{zta_sim::Options{}};
  const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(emulator.Start().socketPort) + "::SOCKET";
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  Bstr name(std::wstring(resource.begin(), resource.end()));
  // With polling every member is two exchanges, which doubles the chances
  // of a split.
  Bstr options(L"QueryInstrStatus=true");
  ASSERT_EQ(driver->Initialize(name.Get(), VARIANT_TRUE, VARIANT_FALSE, options.Get()), S_OK) << LastError();
  ComPtr<IHalvornZeltaOutputs> outputs;
  ComPtr<IHalvornZeltaOutput> output;
  Bstr first(L"Output1");
  ASSERT_EQ(driver->get_Outputs(outputs.Out()), S_OK);
  ASSERT_EQ(outputs->get_Item(first.Get(), output.Out()), S_OK);
  ASSERT_EQ(output->put_VoltageLevel(115), S_OK) << LastError();
  ASSERT_EQ(output->put_Frequency(50), S_OK) << LastError();

  const auto problems = RunTogether({
      [&]() -> std::string {
        std::int32_t result = -1;
        Bstr message;
        if (driver->SelfTest(&result, message.Out()) != S_OK || result != 0) return "SelfTest: " + LastError();
        std::int32_t code = -1;
        if (driver->ErrorQuery(&code, message.Out()) != S_OK || code != 0) return "ErrorQuery: " + LastError();
        return {};
      },
      [&]() -> std::string {
        double volts = 0, hertz = 0;
        if (output->get_VoltageLevel(&volts) != S_OK || volts != 115) return "VoltageLevel: " + LastError();
        if (output->get_Frequency(&hertz) != S_OK || hertz != 50) return "Frequency: " + LastError();
        return {};
      },
  });
  EXPECT_EQ(problems, (std::vector<std::string>{"", ""}));
}

TEST(ExchangeLock, FormattedQueriesOfOneSessionOnFourThreads) {
  zta_sim::Emulator emulator{zta_sim::Options{}};
  const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(emulator.Start().socketPort) + "::SOCKET";
  testing::SessionHarness harness;
  CVisaComSession session(visa::BuiltinVisaLibrary());
  ASSERT_EQ(harness.Open(session, resource), S_OK) << LastError();
  ASSERT_EQ(session.Printf("VOLT 120;:FREQ 55;:CURR 2.5\n"), S_OK);

  const auto query = [&](const char* command, double expected) {
    return [&session, command, expected]() -> std::string {
      double value = 0;
      if (session.Queryf("%s", "%lf", command, &value) != S_OK || value != expected) {
        return std::string(command) + " gave " + std::to_string(value) + ": " + LastError();
      }
      return {};
    };
  };
  const auto problems = RunTogether({query("VOLT?", 120), query("FREQ?", 55), query("CURR?", 2.5), query("*OPC?", 1)});
  EXPECT_EQ(problems, (std::vector<std::string>(4)));
}

}  // namespace
}  // namespace hvzelta
