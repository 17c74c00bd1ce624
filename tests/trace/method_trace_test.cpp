#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/com/safearray.h"
#include "hvzelta/trace_listener.h"

namespace hvzelta {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
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
    auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
    Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
    Bstr options(L"Simulate=true, DriverSetup=" + driverSetup);
    EXPECT_EQ(driver->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()), S_OK);
    return driver;
  }

  fs::path directory_;
  fs::path previous_;
};

TEST_F(TraceTest, RecordsOfAPropertyReadAndTheClose) {
  auto driver = Open(L"Trace=true, TraceName=run1");
  VARIANT_BOOL cache = 0;
  ASSERT_EQ(driver->get_Cache(&cache), S_OK);
  ASSERT_EQ(driver->Close(), S_OK);
  EXPECT_EQ(Normalized(ReadFile(directory_ / "run1.xml")),
            "<?xml version=\"1.0\"?>\r\n"
            "<TraceRecords>\r\n"
            "\t<Method Name=\"get_Cache\" Interface=\"IIviDriverOperation\" StartTime=\"T\" Thread=\"N\" "
            "Timestamp=\"C\">\r\n"
            "\t\t<Parameter Name=\"val\" Direction=\"Out\" Value=\"true\" DataType=\"Boolean\"/>\r\n"
            "\t\t<HRESULT Value=\"0x00000000\"/>\r\n"
            "\t\t<Execution ExecutionTime=\"E\"/>\r\n"
            "\t</Method>\r\n"
            "\t<Method Name=\"Close\" Interface=\"IIviDriver\" StartTime=\"T\" Thread=\"N\" Timestamp=\"C\">\r\n"
            "\t\t<HRESULT Value=\"0x00000000\"/>\r\n"
            "\t\t<Execution ExecutionTime=\"E\"/>\r\n"
            "\t</Method>\r\n"
            "</TraceRecords>\r\n");
}

TEST_F(TraceTest, FailuresCarryTheirDescriptionWhichTheCallerStillSees) {
  auto driver = Open(L"Trace=true, TraceName=failures.XML");
  EXPECT_EQ(driver->put_Simulate(VARIANT_FALSE), E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
  ASSERT_NE(PeekErrorInfo(), nullptr);
  EXPECT_EQ(PeekErrorInfo()->description, L"HalvornZelta: The simulation state cannot be changed.");
  ComPtr<IHalvornZeltaOutputs> outputs;
  ASSERT_EQ(driver->get_Outputs(outputs.Out()), S_OK);
  EXPECT_EQ(outputs->get_Name(1, nullptr), E_POINTER);
  driver->Close();
  const std::string trace = Normalized(ReadFile(directory_ / "failures.XML"));
  EXPECT_NE(trace.find("\t\t<Parameter Name=\"val\" Direction=\"In\" Value=\"false\" DataType=\"Boolean\"/>\r\n"
                       "\t\t<HRESULT Value=\"0x80047062\" Message=\"HalvornZelta: The simulation state cannot be "
                       "changed.\"/>\r\n"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("\t\t<Parameter Name=\"Index\" Direction=\"In\" Value=\"1\" DataType=\"Int32\"/>\r\n"
                       "\t\t<HRESULT Value=\"0x80004003\"/>\r\n"),
            std::string::npos)
      << "no description, no Message: " << trace;
}

TEST_F(TraceTest, ArraysShowTheirShapeAndAtMostTheLimitOfElements) {
  auto driver = Open(L"Trace=true, TraceName=arrays, TraceArray=true");
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
  const std::string trace = ReadFile(directory_ / "arrays.xml");
  EXPECT_NE(trace.find("<Parameter Name=\"Buffer\" Direction=\"In\" NumDims=\"1\" DimSizes=\"25\" "
                       "DataType=\"Double[]\">\r\n"
                       "\t\t\t<Element Value=\"0.5\" DataType=\"Double\"/>\r\n"),
            std::string::npos)
      << trace;
  std::size_t elements = 0;
  for (std::size_t at = trace.find("<Element "); at != std::string::npos; at = trace.find("<Element ", at + 1)) {
    ++elements;
  }
  EXPECT_EQ(elements, 10u);
  EXPECT_NE(trace.find("<Parameter Name=\"Buffer\" Direction=\"In\" NumDims=\"2\" DimSizes=\"3,4\" "
                       "DataType=\"Int32[]\"/>"),
            std::string::npos)
      << trace;
}

TEST_F(TraceTest, CallsMadeDuringACallNestInsideItsRecord) {
  auto driver = Open(L"Trace=true, TraceName=nested");
  ASSERT_EQ(driver->ResetWithDefaults(), S_OK);
  driver->Close();
  const std::string trace = Normalized(ReadFile(directory_ / "nested.xml"));
  EXPECT_NE(trace.find("\t<Method Name=\"ResetWithDefaults\" Interface=\"IIviDriverUtility\" StartTime=\"T\" "
                       "Thread=\"N\" Timestamp=\"C\">\r\n"
                       "\t\t<Method Name=\"put_Cache\" Interface=\"IIviDriverOperation\""),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("\t\t</Method>\r\n\t\t<HRESULT Value=\"0x00000000\"/>\r\n"), std::string::npos) << trace;
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
  std::size_t records = 0;
  for (std::size_t at = trace.find("<Method "); at != std::string::npos; at = trace.find("<Method ", at + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 1u) << "the first record passed the limit; nothing followed, not even the Close";
  EXPECT_NE(trace.find("</TraceRecords>\r\n"), std::string::npos);
  EXPECT_EQ(trace.find("xml-stylesheet"), std::string::npos) << "no stylesheet installed here";
}

TEST_F(TraceTest, StylesheetLineWhenTheStylesheetExists) {
  const fs::path components = directory_ / "Components" / "Halvorn";
  fs::create_directories(components);
  std::ofstream(components / "trace.xslt") << "<xsl:stylesheet/>";
  setenv("IVI_STANDARD_ROOT_DIR", directory_.c_str(), 1);
  auto driver = Open(L"Trace=true, TraceName=styled");
  driver->Close();
  unsetenv("IVI_STANDARD_ROOT_DIR");
  EXPECT_EQ(ReadFile(directory_ / "styled.xml")
                .rfind("<?xml version=\"1.0\"?>\r\n<?xml-stylesheet type=\"text/xsl\" href=\"file:\\\\" +
                           (components / "trace.xslt").string() + "\"?>\r\n<TraceRecords",
                       0),
            0u);
}

TEST_F(TraceTest, UncreatableFileFailsInitialize) {
  auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
  Bstr resource(L"x");
  Bstr options(L"Simulate=true, DriverSetup=Trace=true, TraceName=/nonexistent-folder/t");
  EXPECT_EQ(driver->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()), E_IVI_CANNOT_OPEN_FILE);
  EXPECT_EQ(PeekErrorInfo()->description,
            L"HalvornZelta: Cannot open file.\r\nTrace file '/nonexistent-folder/t.xml': No such file or directory.");
  EXPECT_FALSE(driver->IsInitialized());
}

struct Collected {
  static inline std::vector<std::wstring> records;
};

class CollectingListener final : public ITraceListener {
 public:
  void OnTraceEvent(std::uint32_t, std::wstring_view identifier, std::int32_t kind, std::wstring_view record) override {
    if (identifier == L"HalvornZelta" && kind == 1) Collected::records.emplace_back(record);
  }
};

TEST_F(TraceTest, ListenersReceiveEachTopLevelRecord) {
  RegisterTraceListener("test", [] { return std::unique_ptr<ITraceListener>(new CollectingListener()); });
  auto driver = Open(L"Trace=true, TraceName=listened");
  ASSERT_EQ(driver->ResetWithDefaults(), S_OK);
  driver->Close();
  UnregisterTraceListener("test");
  ASSERT_EQ(Collected::records.size(), 2u);
  EXPECT_EQ(Collected::records[0].rfind(L"<Method Name=\"ResetWithDefaults\"", 0), 0u);
}

TEST_F(TraceTest, RecordsOfTwoThreadsNeverInterleave) {
  auto driver = Open(L"Trace=true, TraceName=threads");
  ComPtr<IHalvornZeltaOutputs> outputs;
  ASSERT_EQ(driver->get_Outputs(outputs.Out()), S_OK);
  ComPtr<IHalvornZeltaOutput> output;
  Bstr any;
  ASSERT_EQ(outputs->get_Item(any.Get(), output.Out()), S_OK);
  // Enough records that some go to the file through the writer thread
  // before the close writes the rest.
  constexpr int kRounds = 800;
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) output->put_VoltageLevel(i);
  });
  for (int i = 0; i < kRounds; ++i) driver->ResetWithDefaults();
  other.join();
  driver->Close();
  // Every record's lines are contiguous: a top-level record starts with one
  // tab and the next line at the top level is its own end.
  std::istringstream lines(ReadFile(directory_ / "threads.xml"));
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

}  // namespace
}  // namespace hvzelta
