// A measurement read through the Tango device server, against the same read
// through the driver's C interface, both from the same emulator in this run.
// The server runs as a child process in file-database mode on a free
// loopback port; the client reads with the source set to the device, so that
// every read reaches the instrument instead of a polling buffer. Then it
// counts the periodic events of a measurement that reach a subscriber.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <tango.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hvzelta.h"
#include "paired_rounds.h"
#include "ratio_runner.h"
#include "zta_sim/emulator.h"

extern char** environ;

namespace {

using hvzelta::bench::Contender;
using hvzelta::bench::Goal;

constexpr const char* kFigure = "Tango measurement read / C interface read";
// The device server opens its session with the instrument's status checked
// after every call; the direct session does the same, so that both sides make
// the same exchanges with the instrument and the ratio is Tango's own cost.
constexpr const char* kServerSessionOptions = "QueryInstrStatus=true";
constexpr double kGoal = 3.0;
constexpr int kRounds = 15;
constexpr int kReadsPerRound = 100;
constexpr auto kStartup = std::chrono::seconds(20);
constexpr const char* kEventFigure = "Tango periodic events delivered / events due";
// The measurement's polling period while events are counted. Tango sends a
// periodic event at a poll only when nearly the whole event period has passed
// since the last one, so an event period equal to the polling period drops
// every poll that comes a little early; a subscriber who wants every poll
// asks for a period a little shorter.
constexpr int kPollMilliseconds = 10;
constexpr int kEventPeriodMilliseconds = 9;
constexpr auto kEventWindow = std::chrono::seconds(2);
constexpr const char* kPolledMeasurements[] = {
    "CurrentDC",          "VoltageDC", "PowerDC", "MeasuredFrequency", "CurrentAC",     "CurrentMax", "CurrentMaxHold",
    "CurrentCrestFactor", "VoltageAC", "PowerAC", "ApparentPower",     "ReactivePower", "PowerFactor"};

std::uint16_t FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  std::uint16_t port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(probe);
  return port;
}

// The device server as a child process, stopped when this goes.
class Server {
 public:
  Server(const std::filesystem::path& propertyFile, std::uint16_t port) {
    int output[2];
    if (pipe(output) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const std::string file = "-file=" + propertyFile.string();
    const std::string endpoint = "giop:tcp:127.0.0.1:" + std::to_string(port);
    std::string arguments[] = {HVZELTA_TANGO_SERVER, "bench", file, "-ORBendPoint", endpoint};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                    arguments[3].data(), arguments[4].data(), nullptr};
    if (posix_spawn(&pid_, HVZELTA_TANGO_SERVER, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    ready_ = pid_ > 0 && WaitReady(output[0]);
    close(output[0]);
  }
  ~Server() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  bool ready() const { return ready_; }

 private:
  static bool WaitReady(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kStartup;
    std::string text;
    while (text.find("Ready to accept request") == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd readable{fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) return false;
      char chunk[512];
      const ssize_t count = read(fd, chunk, sizeof chunk);
      if (count <= 0) return false;
      text.append(chunk, static_cast<std::size_t>(count));
    }
    return true;
  }

  pid_t pid_ = -1;
  bool ready_ = false;
};

// Counts the events a subscriber receives.
class EventCounter : public Tango::CallBack {
 public:
  void push_event(Tango::EventData* event) override {
    if (!event->err) ++count_;
  }
  int Count() const { return count_; }

 private:
  std::atomic<int> count_{0};
};

// Events per second that reach a subscriber of a measurement polled every
// kPollMilliseconds, against the number of polls.
void MeasureEvents(Tango::DeviceProxy& proxy) {
  std::string attribute = "VoltageAC";  // Tango takes names by non-const reference
  std::vector<std::string> names{attribute};
  std::unique_ptr<Tango::AttributeInfoListEx> config(proxy.get_attribute_config_ex(names));
  (*config)[0].events.per_event.period = std::to_string(kEventPeriodMilliseconds);
  proxy.set_attribute_config(*config);
  proxy.poll_attribute(attribute, kPollMilliseconds);
  EventCounter counter;
  const int subscription = proxy.subscribe_event(attribute, Tango::PERIODIC_EVENT, &counter);
  const int before = counter.Count();
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(kEventWindow);
  const int received = counter.Count() - before;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  proxy.unsubscribe_event(subscription);
  proxy.stop_poll_attribute(attribute);
  const double due = seconds * 1000.0 / kPollMilliseconds;
  char ours[32];
  char reference[32];
  std::snprintf(ours, sizeof ours, "%.0f events/s", received / seconds);
  std::snprintf(reference, sizeof reference, "%.0f events/s", due / seconds);
  hvzelta::bench::PrintResult(kEventFigure, ours, reference, received / due, Goal::Report());
}

int Run() {
  zta_sim::Emulator emulator{zta_sim::Options{}};
  const zta_sim::Endpoints endpoints = emulator.Start();
  const std::string resource = "TCPIP::127.0.0.1::" + std::to_string(endpoints.socketPort) + "::SOCKET";

  char folderTemplate[] = "/tmp/hvzelta-tango-bench-XXXXXX";
  if (mkdtemp(folderTemplate) == nullptr) return 1;
  const std::filesystem::path folder = folderTemplate;
  const std::filesystem::path propertyFile = folder / "bench.res";
  std::ofstream(propertyFile) << "hvzelta-tango/bench/DEVICE/HvzeltaAcSource: \"bench/ac/1\"\n"
                              << "bench/ac/1->Resource: \"" << resource << "\"\n";
  const std::uint16_t port = FreePort();
  int status = 1;
  {
    Server server(propertyFile, port);
    ViSession vi = VI_NULL;
    if (!server.ready() || hvzelta_InitWithOptions(resource.c_str(), VI_TRUE, VI_FALSE, kServerSessionOptions, &vi) < 0) {
      hvzelta::bench::PrintNotMeasured(kFigure, Goal::AtMost(kGoal));
    } else {
      std::string address = "tango://127.0.0.1:" + std::to_string(port) + "/bench/ac/1#dbase=no";
      Tango::DeviceProxy proxy(address);
      proxy.set_source(Tango::DEV);
      // The server polls the measurements, which would take the device's
      // turn away from the reads being timed.
      for (const char* polled : kPolledMeasurements) proxy.stop_poll_attribute(polled);
      const Contender throughTango{[&] {
        double value = 0;
        proxy.read_attribute("VoltageAC") >> value;
        return true;
      }};
      const Contender direct{[&] {
        ViReal64 value = 0;
        ViInt32 visaStatus = 0;
        return hvzelta_Measure(vi, "Output1", HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC, &value, &visaStatus) >= 0;
      }};
      const auto result = hvzelta::bench::RunPaired(throughTango, direct, kRounds, kReadsPerRound);
      if (result.ok) {
        hvzelta::bench::PrintResult(kFigure, hvzelta::bench::Duration(result.ours),
                                    hvzelta::bench::Duration(result.reference), result.ratio, Goal::AtMost(kGoal));
        status = 0;
      } else {
        hvzelta::bench::PrintNotMeasured(kFigure, Goal::AtMost(kGoal));
      }
      MeasureEvents(proxy);
      hvzelta_close(vi);
    }
  }
  std::filesystem::remove_all(folder);
  emulator.Stop();
  return status;
}

}  // namespace

int main() {
  try {
    return Run();
  } catch (const Tango::DevFailed& failure) {
    Tango::Except::print_exception(failure);
    hvzelta::bench::PrintNotMeasured(kFigure, Goal::AtMost(kGoal));
    return 1;
  }
}
