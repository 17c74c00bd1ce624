#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/com/safearray.h"
#include "hvzelta/trace_listener.h"
#include "zta_sim/emulator.h"

// The program's own fdatasync takes the place of the C library's for the
// driver linked into it, so the tests see each flush to disk.
namespace {
std::atomic<int> g_flushes{0};
}  // namespace
extern "C" int fdatasync(int file) {
  ++g_flushes;
  return static_cast<int>(::syscall(SYS_fdatasync, file));
}

namespace hvzelta {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Initializes a simulated session with `driverSetup` (none when empty).
HRESULT Simulate(HalvornZelta& driver, const std::wstring& driverSetup) {
  Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
  Bstr options(driverSetup.empty() ? L"Simulate=true" : L"Simulate=true, DriverSetup=" + driverSetup);
  return driver.Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
}

// A simulated driver with tracing as `driverSetup` says; null when
// Initialize failed. Usable in a child process, where gtest is not.
ComPtr<HalvornZelta> Traced(const std::wstring& driverSetup) {
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  return Simulate(*driver.Get(), driverSetup) == S_OK ? driver : ComPtr<HalvornZelta>();
}

ComPtr<IHalvornZeltaOutput> FirstOutput(HalvornZelta& driver) {
  ComPtr<IHalvornZeltaOutputs> outputs;
  ComPtr<IHalvornZeltaOutput> output;
  Bstr any;
  if (driver.get_Outputs(outputs.Out()) == S_OK) outputs->get_Item(any.Get(), output.Out());
  return output;
}

// Runs `child` in a forked process and gives its exit status.
template <class Child>
int InChild(Child child) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    child();
    ::_exit(0);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return status;
}

// Times, thread ids and counters differ from run to run.
std::string Normalized(std::string text) {
  text = std::regex_replace(text, std::regex(R"(StartTime="\d+:\d+:\d+:\d+")"), R"(StartTime="T")");
  text = std::regex_replace(text, std::regex(R"(Thread="\d+")"), R"(Thread="N")");
  text = std::regex_replace(text, std::regex(R"(Timestamp="\d+")"), R"(Timestamp="C")");
  return std::regex_replace(text, std::regex(R"(ExecutionTime="\d\.\d{6}e[+-]\d\d")"), R"(ExecutionTime="E")");
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() / ("hvzelta-trace-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    previous_ = fs::current_path();
    fs::current_path(directory_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(directory_);
  }

  ComPtr<HalvornZelta> Open(const std::wstring& driverSetup) {
    ComPtr<HalvornZelta> driver = Traced(driverSetup);
    EXPECT_TRUE(driver) << "Initialize failed";
    return driver;
  }

  fs::path directory_;
  fs::path previous_;
};

// Whole records of a property read and the Close; a failure's record carries
// its description, which the caller still sees; calls made during a call
// nest inside its record.
TEST_F(TraceTest, RecordsFailuresAndNestedCalls) {
  auto driver = Open(L"Trace=true, TraceName=run1.XML");
  VARIANT_BOOL cache = 0;
  ASSERT_EQ(driver->get_Cache(&cache), S_OK);
  EXPECT_EQ(driver->put_Simulate(VARIANT_FALSE), E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
  ASSERT_NE(PeekErrorInfo(), nullptr);
  EXPECT_EQ(PeekErrorInfo()->description, L"HalvornZelta: The simulation state cannot be changed.");
  ComPtr<IHalvornZeltaOutputs> outputs;
  ASSERT_EQ(driver->get_Outputs(outputs.Out()), S_OK);
  EXPECT_EQ(outputs->get_Name(1, nullptr), E_POINTER);
  ASSERT_EQ(driver->ResetWithDefaults(), S_OK);
  ASSERT_EQ(driver->Close(), S_OK);
  const std::string trace = Normalized(ReadFile("run1.XML"));
  EXPECT_EQ(trace.rfind("<?xml version=\"1.0\"?>\r\n"
                        "<TraceRecords>\r\n"
                        "\t<Method Name=\"get_Cache\" Interface=\"IIviDriverOperation\" StartTime=\"T\" Thread=\"N\" "
                        "Timestamp=\"C\">\r\n"
                        "\t\t<Parameter Name=\"val\" Direction=\"Out\" Value=\"true\" DataType=\"Boolean\"/>\r\n"
                        "\t\t<HRESULT Value=\"0x00000000\"/>\r\n"
                        "\t\t<Execution ExecutionTime=\"E\"/>\r\n"
                        "\t</Method>\r\n",
                        0),
            0u)
      << trace;
  for (const char* part :
       {"\t\t<Parameter Name=\"val\" Direction=\"In\" Value=\"false\" DataType=\"Boolean\"/>\r\n"
        "\t\t<HRESULT Value=\"0x80047062\" Message=\"HalvornZelta: The simulation state cannot be changed.\"/>\r\n",
        // No description, no Message.
        "\t\t<Parameter Name=\"Index\" Direction=\"In\" Value=\"1\" DataType=\"Int32\"/>\r\n"
        "\t\t<HRESULT Value=\"0x80004003\"/>\r\n",
        "\t<Method Name=\"ResetWithDefaults\" Interface=\"IIviDriverUtility\" StartTime=\"T\" Thread=\"N\" "
        "Timestamp=\"C\">\r\n\t\t<Method Name=\"put_Cache\" Interface=\"IIviDriverOperation\"",
        "\t\t</Method>\r\n\t\t<HRESULT Value=\"0x00000000\"/>\r\n"}) {
    EXPECT_NE(trace.find(part), std::string::npos) << part << "\n" << trace;
  }
  EXPECT_EQ(trace.substr(trace.rfind("\t<Method ")),
            "\t<Method Name=\"Close\" Interface=\"IIviDriver\" StartTime=\"T\" Thread=\"N\" Timestamp=\"C\">\r\n"
            "\t\t<HRESULT Value=\"0x00000000\"/>\r\n"
            "\t\t<Execution ExecutionTime=\"E\"/>\r\n"
            "\t</Method>\r\n"
            "</TraceRecords>\r\n");
}

TEST_F(TraceTest, ArraysShowTheirShapeAndAtMostTheLimitOfElements) {
  auto driver = Open(L"Trace=true, TraceName=arrays, TraceArray=true, TraceArraySizeMax=12");
  ComPtr<IHalvornZeltaSystem> system;
  ASSERT_EQ(driver->get_System(system.Out()), S_OK);
  SafeArrayPtr doubles(SafeArrayCreateVector(VT_R8, 0, 25));
  for (std::int32_t i = 0; i < 25; ++i) {
    const double value = i + 0.5;
    SafeArrayPutElement(doubles.get(), &i, &value);
  }
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {4, 0}};
  SafeArrayPtr matrix(SafeArrayCreate(VT_I4, 2, bounds));
  std::int64_t written = 0;
  SAFEARRAY* vector = doubles.get();
  SAFEARRAY* table = matrix.get();
  system->WriteBytes(&vector, &written);
  system->WriteBytes(&table, &written);
  driver->Close();
  const std::string trace = ReadFile("arrays.xml");
  EXPECT_NE(trace.find("<Parameter Name=\"Buffer\" Direction=\"In\" NumDims=\"1\" DimSizes=\"25\" "
                       "DataType=\"Double[]\">\r\n"
                       "\t\t\t<Element Value=\"0.5\" DataType=\"Double\"/>\r\n"),
            std::string::npos)
      << trace;
  EXPECT_EQ(Count(trace, "<Element "), 12u);
  EXPECT_NE(trace.find("<Parameter Name=\"Buffer\" Direction=\"In\" NumDims=\"2\" DimSizes=\"3,4\" "
                       "DataType=\"Int32[]\"/>"),
            std::string::npos)
      << trace;
}

TEST_F(TraceTest, NamesQuotesAndTheSizeLimit) {
  auto driver = Open(L"Trace=true, TraceSizeMax=300, TraceSaveInterval=0, Note=say \"hi\"");
  Bstr setup;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(driver->get_DriverSetup(setup.Out()), S_OK);
  const std::string path = driver->Tracer().Path();
  driver->Close();
  EXPECT_TRUE(std::regex_match(fs::path(path).filename().string(),
                               std::regex(R"(HalvornZelta_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.xml)")))
      << path;
  const std::string trace = ReadFile(path);
  EXPECT_NE(trace.find("Value=\"Trace=true, TraceSizeMax=300, TraceSaveInterval=0, Note=say \"hi\"\""),
            std::string::npos)
      << "values are written as they stand";
  EXPECT_EQ(Count(trace, "<Method "), 1u) << "the first record passed the limit; nothing followed, not even the Close";
  EXPECT_NE(trace.find("</TraceRecords>\r\n"), std::string::npos);
  EXPECT_EQ(trace.find("xml-stylesheet"), std::string::npos) << "no stylesheet installed here";
}

TEST_F(TraceTest, StylesheetLineWhenTheStylesheetExists) {
  const fs::path components = directory_ / "Components" / "Halvorn";
  fs::create_directories(components);
  std::ofstream(components / "custom.xslt") << "<xsl:stylesheet/>";
  setenv("IVI_STANDARD_ROOT_DIR", directory_.c_str(), 1);
  auto driver = Open(L"Trace=true, TraceName=styled, TraceTransform=custom");
  driver->Close();
  unsetenv("IVI_STANDARD_ROOT_DIR");
  EXPECT_EQ(ReadFile("styled.xml")
                .rfind("<?xml version=\"1.0\"?>\r\n<?xml-stylesheet type=\"text/xsl\" href=\"file:\\\\" +
                           (components / "custom.xslt").string() + "\"?>\r\n<TraceRecords",
                       0),
            0u);
}

// A file that cannot be made fails Initialize with the system's reason;
// trace settings outlive an Initialize that does not name them.
TEST_F(TraceTest, FileFailuresAndSettingsAcrossInitialize) {
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  EXPECT_EQ(Simulate(*driver.Get(), L"Trace=true, TraceName=/nonexistent-folder/t"),
            static_cast<HRESULT>(0x80070000u | ENOENT));
  EXPECT_EQ(PeekErrorInfo()->description,
            L"HalvornZelta: Cannot open file.\r\nTrace file '/nonexistent-folder/t.xml': No such file or directory.");
  EXPECT_FALSE(driver->IsInitialized());

  driver = Open(L"Trace=true, TraceName=again");
  ASSERT_EQ(driver->Close(), S_OK);
  fs::remove("again.xml");
  ASSERT_EQ(Simulate(*driver.Get(), L""), S_OK);
  ASSERT_EQ(driver->Close(), S_OK);
  EXPECT_NE(ReadFile("again.xml").find("<Method Name=\"Close\""), std::string::npos) << "traced as before";
  EXPECT_EQ(driver->Tracer().SetEnabled(false), E_UNEXPECTED) << "closed already";
  fs::remove("again.xml");
  EXPECT_EQ(Simulate(*driver.Get(), L"Trace=false"), E_UNEXPECTED);
  EXPECT_FALSE(fs::exists("again.xml"));
}

// Keeps every record and, like a listener that wants more detail, calls
// back into the driver that sent it.
struct Collected {
  static inline std::vector<std::wstring> records;
  static inline HalvornZelta* driver = nullptr;
};

class CollectingListener final : public ITraceListener {
 public:
  void OnTraceEvent(std::uint32_t, std::wstring_view identifier, std::int32_t kind, std::wstring_view record) override {
    if (identifier == L"HalvornZelta" && kind == 1) Collected::records.emplace_back(record);
    VARIANT_BOOL cache = 0;
    if (Collected::driver) Collected::driver->get_Cache(&cache);
  }
};

TEST_F(TraceTest, ListenersReceiveEachTopLevelRecordAndMayCallTheDriver) {
  RegisterTraceListener("test", [] { return std::unique_ptr<ITraceListener>(new CollectingListener()); });
  auto driver = Open(L"Trace=true, TraceName=listened");
  Collected::driver = driver.Get();
  ASSERT_EQ(driver->ResetWithDefaults(), S_OK);
  EXPECT_EQ(driver->put_Simulate(VARIANT_FALSE), E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
  ASSERT_NE(PeekErrorInfo(), nullptr) << "the listener's own call left the caller's error alone";
  EXPECT_EQ(PeekErrorInfo()->description, L"HalvornZelta: The simulation state cannot be changed.");
  driver->Close();
  Collected::driver = nullptr;
  UnregisterTraceListener("test");
  ASSERT_EQ(Collected::records.size(), 3u) << "records of the listener's calls are not handed to it again";
  EXPECT_EQ(Collected::records[0].rfind(L"<Method Name=\"ResetWithDefaults\"", 0), 0u);
  EXPECT_EQ(Count(ReadFile("listened.xml"), "\t<Method Name=\"get_Cache\""), 2u) << "the listener's calls are traced";
}

TEST_F(TraceTest, RecordsOfTwoThreadsNeverInterleave) {
  auto driver = Open(L"Trace=true, TraceName=threads");
  ComPtr<IHalvornZeltaOutput> output = FirstOutput(*driver.Get());
  ASSERT_TRUE(output);
  constexpr int kRounds = 800;
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) output->put_VoltageLevel(i);
  });
  for (int i = 0; i < kRounds; ++i) driver->ResetWithDefaults();
  other.join();
  driver->Close();
  // Every record's lines are contiguous: a top-level record starts with one
  // tab and the next line at the top level is its own end.
  std::istringstream lines(ReadFile("threads.xml"));
  std::string line;
  std::string open;
  int records = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("\t<Method ", 0) == 0) {
      EXPECT_TRUE(open.empty()) << "a record began inside another: " << line;
      open = line;
      ++records;
    } else if (line.rfind("\t</Method>", 0) == 0) {
      open.clear();
    }
  }
  EXPECT_EQ(records, 2 * kRounds + 3) << "both threads' records, the two getters and the Close";
}

std::size_t ThreadCount() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

TEST_F(TraceTest, KilledAtAnyMomentTheTraceHoldsEveryCallThatReturned) {
  for (const int returned : {1, 40, 3000}) {
    const std::string name = "killed" + std::to_string(returned);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      // The thread count is read here, where no other test's threads run.
      const std::size_t threads = ThreadCount();
      ComPtr<HalvornZelta> driver = Traced(L"Trace=true, TraceName=" + Wide(name));
      if (!driver || ThreadCount() != threads) ::_exit(1);
      ComPtr<IHalvornZeltaOutput> output = FirstOutput(*driver.Get());
      // Each byte tells the parent that one more call returned.
      for (int i = 0; i < 1000000 && output->put_VoltageLevel(100 + i % 50) == S_OK && ::write(ready[1], "r", 1) == 1; ++i) {
      }
      ::_exit(2);
    }
    ::close(ready[1]);
    int seen = 0;
    char byte = 0;
    while (seen < returned && ::read(ready[0], &byte, 1) == 1) ++seen;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ASSERT_EQ(seen, returned) << "the child ended early with " << WEXITSTATUS(status) << " (1: a thread was started)";
    const std::string trace = ReadFile(name + ".xml");
    const std::size_t ended = Count(trace, "\t</Method>\r\n");
    EXPECT_GE(ended, static_cast<std::size_t>(returned) + 2) << "get_Outputs, get_Item and every put that returned";
    EXPECT_LE(Count(trace, "\t<Method ") - ended, 1u) << "at most one call in flight";
  }
}

TEST_F(TraceTest, AHungCallShowsItsStartWhileItHangs) {
  zta_sim::Emulator emulator(zta_sim::Options{});
  const zta_sim::Endpoints endpoints = emulator.Start();
  const std::string resource = "TCPIP::" + endpoints.address + "::" + std::to_string(endpoints.socketPort) + "::SOCKET";
  const std::string path = (directory_ / "hung").string();
  const std::string options = "Cache=false, DriverSetup=Trace=true, TraceSaveInterval=0, TraceName=" + path;
  ViSession vi = VI_NULL;
  ASSERT_EQ(hvzelta_InitWithOptions(resource.c_str(), VI_FALSE, VI_FALSE, options.c_str(), &vi), VI_SUCCESS);
  ASSERT_EQ(hvzelta_SetAttributeViInt32(vi, "", HVZELTA_ATTR_IO_TIMEOUT, 3000), VI_SUCCESS);
  emulator.ArmFault(zta_sim::FaultKind::Stall);
  auto hung = std::async(std::launch::async, [vi] {
    ViReal64 level = 0;
    return hvzelta_GetVoltageLevel(vi, "Output1", &level);
  });
  std::string during;
  std::size_t call = std::string::npos;
  for (int i = 0; i < 200 && call == std::string::npos; ++i) {
    if (i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    during = ReadFile(path + ".xml");
    call = during.find("<Method Name=\"get_VoltageLevel\"");
  }
  ASSERT_NE(call, std::string::npos);
  // The query the call sent is inside its record already.
  EXPECT_NE(during.find(" write 6 bytes \"VOLT?\\n\"\"/>", call), std::string::npos) << during.substr(call);
  EXPECT_EQ(hung.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "seen while the call hangs";
  EXPECT_NE(hung.get(), VI_SUCCESS);
  hvzelta_close(vi);
}

TEST_F(TraceTest, TheFileIsFlushedToDiskOncePerSaveIntervalOnly) {
  for (const auto& [interval, flushes] : {std::pair{L"1", 0}, std::pair{L"0", 11}}) {
    auto driver = Open(L"Trace=true, TraceName=flushed, TraceSaveInterval=" + std::wstring(interval));
    g_flushes = 0;
    VARIANT_BOOL cache = 0;
    for (int i = 0; i < 10; ++i) driver->get_Cache(&cache);
    driver->Close();
    EXPECT_EQ(g_flushes, flushes) << "save interval " << interval << ": each call, the Close's too, or none in a minute";
  }
}

TEST_F(TraceTest, ASecondProcessTracingToTheSameFileIsRefusedAndTheFirstGoesOn) {
  auto driver = Open(L"Trace=true, TraceName=shared");
  VARIANT_BOOL cache = 0;
  ASSERT_EQ(driver->get_Cache(&cache), S_OK);
  const std::string before = ReadFile("shared.xml");
  const int status = InChild([] {
    auto second = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
    if (Simulate(*second.Get(), L"Trace=true, TraceName=shared") != static_cast<HRESULT>(0x80070000u | EWOULDBLOCK)) {
      ::_exit(1);
    }
    const std::wstring expected = L"HalvornZelta: Cannot open file.\r\nTrace file '" + Wide(fs::absolute("shared.xml")) +
                                  L"': another process is tracing to it; close that driver or choose another TraceName.";
    ::_exit(PeekErrorInfo() && PeekErrorInfo()->description == expected ? 0 : 2);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "1: wrong status, 2: wrong description; " << status;
  EXPECT_EQ(ReadFile("shared.xml"), before) << "the file is left as it was";
  ASSERT_EQ(driver->get_Cache(&cache), S_OK);
  ASSERT_EQ(driver->Close(), S_OK);
  EXPECT_EQ(Count(ReadFile("shared.xml"), "<Method Name=\"get_Cache\""), 2u);
}

TEST_F(TraceTest, AFileSizeLimitCutsTheTraceOnceWithoutRepeatingText) {
  constexpr rlim_t kLimit = 3000;
  const int status = InChild([] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimit, kLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ComPtr<HalvornZelta> driver = Traced(L"Trace=true, TraceName=limited, TraceSaveInterval=0");
    if (!driver) ::_exit(1);
    VARIANT_BOOL cache = 0;
    for (int i = 0; i < 30; ++i) driver->get_Cache(&cache);
    driver->Close();
  });
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string trace = ReadFile("limited.xml");
  EXPECT_EQ(trace.size(), kLimit);
  EXPECT_EQ(Count(trace, "<?xml version"), 1u);
  const std::regex stamp(R"re(Timestamp="(\d+)")re");
  std::set<std::string> stamps;
  std::size_t records = 0;
  for (auto it = std::sregex_iterator(trace.begin(), trace.end(), stamp); it != std::sregex_iterator(); ++it, ++records) {
    stamps.insert((*it)[1]);
  }
  EXPECT_GT(records, 3u);
  EXPECT_EQ(stamps.size(), records) << "no record written twice";
}

}  // namespace
}  // namespace hvzelta
