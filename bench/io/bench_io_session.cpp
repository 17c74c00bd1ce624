// What the I/O session costs over a raw socket client doing the same work on
// the same peer, measured in one run: a real-valued query and a set command
// to the emulated instrument, a 10 MB definite-length block and 100 000
// comma-separated reals from a loopback server (the emulator has no command
// that answers with either). When PyVISA with its pure-Python backend is
// installed, the same block and list are read through it as well.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/call_context.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "fmtio/enum_formatter.h"
#include "io/instr_error_poller.h"
#include "io/visa_com_session.h"
#include "support/one_core.h"
#include "support/paired_rounds.h"
#include "support/ratio_runner.h"
#include "support/raw_socket.h"
#include "visa/builtin_visa.h"
#include "zta_sim/emulator.h"

#ifndef HVZELTA_PYVISA_SCRIPT
#error "the build names the PyVISA reference script"
#endif

namespace {

using hvzelta::CVisaComSession;
using hvzelta::HRESULT;
using hvzelta::bench::RawSocketClient;
namespace visa = hvzelta::visa;

constexpr std::size_t kBlockBytes = 10'000'000;
constexpr std::size_t kListValues = 100'000;

// Answers "BLK?" with a 10 MB definite-length block and "LIST?" with 100 000
// reals, on a thread per connection.
class DataServer {
 public:
  DataServer() {
    block_ = "#8" + std::to_string(kBlockBytes);
    for (std::size_t i = 0; i < kBlockBytes; ++i) block_ += static_cast<char>('0' + i % 64);
    block_ += '\n';
    char number[32];
    for (std::size_t i = 0; i < kListValues; ++i) {
      std::snprintf(number, sizeof number, "%s%.6e", i ? "," : "", 230.0 + static_cast<double>(i % 1000) * 1e-3);
      list_ += number;
    }
    list_ += '\n';
    listener_ = hvzelta::bench::ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~DataServer() {
    shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    close(listener_);
    std::lock_guard lock(mutex_);
    for (const int fd : connections_) shutdown(fd, SHUT_RDWR);
    for (std::thread& thread : servers_) thread.join();
  }
  DataServer(const DataServer&) = delete;
  DataServer& operator=(const DataServer&) = delete;

  std::uint16_t port() const { return port_; }
  std::size_t ListBytes() const { return list_.size(); }

 private:
  void Accept() {
    int fd;
    while ((fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
      hvzelta::bench::DisableNagle(fd);
      std::lock_guard lock(mutex_);
      connections_.push_back(fd);
      servers_.emplace_back([this, fd] { Serve(fd); });
    }
  }
  void Serve(int fd) {
    std::string line;
    while (hvzelta::bench::ReceiveLine(fd, line)) {
      const std::string_view reply = line.starts_with("BLK?") ? std::string_view(block_) : std::string_view(list_);
      if (!hvzelta::bench::SendAll(fd, reply)) break;
    }
    close(fd);
  }

  std::string block_;
  std::string list_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> connections_;
  std::list<std::thread> servers_;
};

// What a session needs from a driver: here nothing polls and nothing is an
// enumeration.
class BenchDriver final : public hvzelta::IInstrErrorPoller,
                          public hvzelta::IEnumFormatter,
                          public hvzelta::ICallContextProvider {
 public:
  HRESULT PollInstrumentErrors() override { return hvzelta::S_OK; }
  HRESULT FormatEnum(std::string_view, std::int32_t, std::string&) override { return hvzelta::E_NOTIMPL; }
  HRESULT ParseEnum(std::string_view, std::string_view, std::int32_t&) override { return hvzelta::E_NOTIMPL; }
  std::int32_t GetMaxEnumLength(std::string_view) override { return 0; }
  hvzelta::IID GetCallContext() const override { return hvzelta::GUID_NULL; }
  const hvzelta::MemberDescriptor* CurrentMember() const override { return nullptr; }

  std::unique_ptr<CVisaComSession> Open(std::uint16_t port) {
    auto session = std::make_unique<CVisaComSession>(hvzelta::visa::BuiltinVisaLibrary());
    const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(port) + "::SOCKET";
    if (hvzelta::Failed(session->Open(resource, this, &reporter_, this))) std::abort();
    return session;
  }

 private:
  hvzelta::CHalvornZeltaErrorReporter reporter_{*this};
};

zta_sim::Emulator& Emulator() {
  static zta_sim::Emulator emulator{zta_sim::Options{}};
  return emulator;
}
std::uint16_t EmulatorPort() {
  static const std::uint16_t port = Emulator().Start().socketPort;
  return port;
}
DataServer& Server() {
  static DataServer server;
  return server;
}
BenchDriver& Driver() {
  static BenchDriver driver;
  return driver;
}

// The VISA library alone, to tell the session's share from the library's.
class VisaLibrarySession {
 public:
  VisaLibrarySession() {
    const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(EmulatorPort()) + "::SOCKET";
    if (library_->OpenDefaultRM(&manager_) != visa::VI_SUCCESS ||
        library_->Open(manager_, resource.c_str(), visa::VI_NO_LOCK, 2000, &instrument_) != visa::VI_SUCCESS ||
        library_->SetAttribute(instrument_, visa::VI_ATTR_TERMCHAR_EN, visa::VI_TRUE) != visa::VI_SUCCESS) {
      std::abort();
    }
  }
  ~VisaLibrarySession() { library_->Close(manager_); }
  VisaLibrarySession(const VisaLibrarySession&) = delete;
  VisaLibrarySession& operator=(const VisaLibrarySession&) = delete;

  bool Write(std::string_view bytes) {
    visa::ViUInt32 sent = 0;
    return library_->Write(instrument_, reinterpret_cast<const visa::ViByte*>(bytes.data()),
                           static_cast<visa::ViUInt32>(bytes.size()), &sent) == visa::VI_SUCCESS;
  }
  bool Query(std::string_view command) {
    visa::ViUInt32 received = 0;
    return Write(command) && library_->Read(instrument_, reply_, sizeof reply_, &received) >= visa::VI_SUCCESS;
  }

 private:
  std::shared_ptr<visa::IVisaLibrary> library_ = visa::BuiltinVisaLibrary();
  visa::ViSession manager_ = visa::VI_NULL;
  visa::ViSession instrument_ = visa::VI_NULL;
  visa::ViByte reply_[256];
};

// The query and the set command to the emulator, through each layer and
// through the raw client, in alternating rounds (see paired_rounds.h): the
// layers' shares of what the C interface costs (bench_c_emulator). The
// command as a member sends it, once formatted, is the same bytes as the raw
// send; Printf formats the value on the way.
void ReportLayerShares() {
  using hvzelta::bench::Contender;
  using hvzelta::bench::kCommandsPerRound;
  using hvzelta::bench::kQueriesPerRound;
  constexpr auto kDetail = hvzelta::bench::Row::kDetail;
  RawSocketClient raw(EmulatorPort());
  std::string reply;
  auto session = Driver().Open(EmulatorPort());
  VisaLibrarySession library;
  const Contender rawQuery{[&] {
    double volts = 0;
    return raw.QueryReal("VOLT?\n", reply, volts);
  }};
  // Commands without a reply pile up in the emulator; the settling query
  // waits until it has executed them.
  const Contender rawSend{[&] { return raw.Send("VOLT 100\n"); }, [&] { return raw.Query("*OPC?\n", reply); }};
  const auto sessionSettles = [&] {
    std::int32_t complete = 0;
    return session->QueryNumber("*OPC?", complete) == hvzelta::S_OK;
  };
  const Contender sessionQuery{[&] {
    double volts = 0;
    return session->QueryReal("VOLT?", volts, hvzelta::kKeepTimeout) == hvzelta::S_OK;
  }};
  const Contender sessionWrite{
      [&] { return session->WriteString("VOLT 100", true, hvzelta::kKeepTimeout) == hvzelta::S_OK; }, sessionSettles};
  const Contender sessionPrintf{[&] { return session->Printf("VOLT %0.15lg", 100.0) == hvzelta::S_OK; },
                                sessionSettles};
  const Contender libraryQuery{[&] { return library.Query("VOLT?\n"); }};
  const Contender libraryWrite{[&] { return library.Write("VOLT 100\n"); }, [&] { return library.Query("*OPC?\n"); }};
  struct Share {
    const char* figure;
    const Contender& ours;
    const Contender& reference;
    int callsPerRound;
  };
  const Share shares[] = {
      {"I/O session \"VOLT?\" query / raw socket", sessionQuery, rawQuery, kQueriesPerRound},
      {"VISA library alone \"VOLT?\" query / raw socket", libraryQuery, rawQuery, kQueriesPerRound},
      {"I/O session \"VOLT 100\" write / raw socket send", sessionWrite, rawSend, kCommandsPerRound},
      {"I/O session Printf(\"VOLT %0.15lg\") / raw socket send", sessionPrintf, rawSend, kCommandsPerRound},
      {"VISA library alone \"VOLT 100\" write / raw socket send", libraryWrite, rawSend, kCommandsPerRound},
  };
  constexpr int kRounds = 41;
  for (const Share& share : shares) {
    const auto result = hvzelta::bench::RunPaired(share.ours, share.reference, kRounds, share.callsPerRound);
    if (!result.ok) {
      hvzelta::bench::PrintNotMeasured(share.figure, hvzelta::bench::Goal::Report(), kDetail);
      continue;
    }
    hvzelta::bench::PrintResult(share.figure, hvzelta::bench::Duration(result.ours),
                                hvzelta::bench::Duration(result.reference), result.ratio,
                                hvzelta::bench::Goal::Report(), kDetail);
  }
}

void BM_RawSocketBlock(benchmark::State& state) {
  RawSocketClient client(Server().port());
  std::vector<char> data(kBlockBytes + 1);
  char header[10];
  for (auto _ : state) {
    if (!client.Send("BLK?\n") || !client.ReceiveExactly(header, sizeof header) ||
        !client.ReceiveExactly(data.data(), data.size())) {
      state.SkipWithError("the exchange failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlockBytes));
}
BENCHMARK(BM_RawSocketBlock)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SessionBlock(benchmark::State& state) {
  auto session = Driver().Open(Server().port());
  std::vector<std::uint8_t> data(kBlockBytes);
  for (auto _ : state) {
    std::int32_t count = 0;
    if (session->QueryBlock<std::uint8_t>("BLK?", data, count) != hvzelta::S_OK ||
        count != static_cast<std::int32_t>(kBlockBytes)) {
      state.SkipWithError("the block read failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlockBytes));
}
BENCHMARK(BM_SessionBlock)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_RawSocketRealList(benchmark::State& state) {
  RawSocketClient client(Server().port());
  std::string reply;
  reply.reserve(Server().ListBytes());
  std::vector<double> values(kListValues);
  for (auto _ : state) {
    if (!client.Query("LIST?\n", reply)) {
      state.SkipWithError("the exchange failed");
      break;
    }
    const char* at = reply.data();
    const char* end = reply.data() + reply.size() - 1;
    std::size_t count = 0;
    while (at < end && count < values.size()) {
      at = std::from_chars(at, end, values[count++]).ptr + 1;
    }
    if (count != kListValues) state.SkipWithError("the list did not parse");
  }
}
BENCHMARK(BM_RawSocketRealList)->UseRealTime()->Unit(benchmark::kMillisecond);

void SessionRealList(benchmark::State& state, std::int32_t readBuffer) {
  auto session = Driver().Open(Server().port());
  if (session->SetBufferSize(hvzelta::BufferSelect::Read, readBuffer) != hvzelta::S_OK) std::abort();
  std::vector<double> values(kListValues);
  for (auto _ : state) {
    std::int32_t count = 0;
    if (session->QueryList<double>("LIST?", values, count, ',') != hvzelta::S_OK ||
        count != static_cast<std::int32_t>(kListValues)) {
      state.SkipWithError("the list read failed");
      break;
    }
  }
}
void BM_SessionRealList(benchmark::State& state) { SessionRealList(state, 4096); }
BENCHMARK(BM_SessionRealList)->UseRealTime()->Unit(benchmark::kMillisecond);
void BM_SessionRealList64k(benchmark::State& state) { SessionRealList(state, 64 * 1024); }
BENCHMARK(BM_SessionRealList64k)->UseRealTime()->Unit(benchmark::kMillisecond);

// Runs the PyVISA script against the data server and prints its figures
// against ours, or why there are none.
void ComparePyVisa(hvzelta::bench::Medians& medians) {
  using hvzelta::bench::Goal;
  struct Figure {
    const char* what;  // as the script names it
    const char* figure;
    const char* ours;
    Goal goal;
    double pyvisaSeconds = -1;
  };
  Figure figures[] = {
      {"block", "10 MB binary block read: speed over PyVISA's", "BM_SessionBlock", Goal::Report()},
      {"list", "100 000 ASCII reals read: speed over PyVISA's", "BM_SessionRealList", Goal::AtLeast(7)},
  };
  const std::string command = "/usr/bin/python3 " HVZELTA_PYVISA_SCRIPT " " + std::to_string(Server().port());
  if (FILE* script = popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, script)) {
      char what[64] = {};
      double seconds = 0;
      if (std::sscanf(line, "pyvisa %63s %lf", what, &seconds) != 2) {
        std::printf("%s", line);
        continue;
      }
      for (Figure& figure : figures) {
        if (std::string_view(what) == figure.what) figure.pyvisaSeconds = seconds;
      }
    }
    pclose(script);
  }
  for (const Figure& figure : figures) {
    if (!medians.count(figure.ours)) {
      hvzelta::bench::PrintNotMeasured(figure.figure, figure.goal);
    } else if (figure.pyvisaSeconds < 0) {
      hvzelta::bench::PrintNotMeasured(figure.figure, figure.goal, hvzelta::bench::Row::kResult,
                                       "SKIPPED (no PyVISA for /usr/bin/python3)");
    } else {
      const double ours = medians[figure.ours];
      const double pyvisa = figure.pyvisaSeconds * 1e9;
      hvzelta::bench::PrintResult(figure.figure, hvzelta::bench::Duration(ours), hvzelta::bench::Duration(pyvisa),
                                  pyvisa / ours, figure.goal);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  hvzelta::bench::StayOnOneCore();  // before any peer starts its threads
  using hvzelta::bench::Goal;
  constexpr auto kDetail = hvzelta::bench::Row::kDetail;
  return hvzelta::bench::RunWithRatios(argc, argv,
                                       {
                                           {"10 MB binary block read: speed / raw recv", "BM_SessionBlock",
                                            "BM_RawSocketBlock", Goal::AtLeast(0.9), true},
                                           {"100 000 ASCII reals read: speed / raw read + from_chars",
                                            "BM_SessionRealList", "BM_RawSocketRealList", Goal::AtLeast(0.6), true},
                                           {"same with a 64 KiB read buffer: speed / raw", "BM_SessionRealList64k",
                                            "BM_RawSocketRealList", Goal::Report(), true, kDetail},
                                       },
                                       [](hvzelta::bench::Medians& medians) {
                                         ReportLayerShares();
                                         ComparePyVisa(medians);
                                       });
}
