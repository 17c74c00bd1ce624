// The viewer: a trace written by the driver becomes a page with one row per
// call, nested calls indented and failures marked.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "acpwr/halvorn_zelta.h"
#include "support/program_runner.h"

namespace hvzelta {
namespace {

namespace fs = std::filesystem;

TEST(TraceViewer, RendersTheDriversTraceAsAPage) {
  const fs::path folder = fs::temp_directory_path() / ("hvzelta-viewer-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string name = (folder / "session").string();
  {
    auto driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
    Bstr resource(L"TCPIP::127.0.0.1::5025::SOCKET");
    Bstr options(L"Simulate=true, DriverSetup=Trace=true, TraceName=" + std::wstring(name.begin(), name.end()));
    ASSERT_EQ(driver->Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get()), S_OK);
    driver->ResetWithDefaults();
    driver->put_Simulate(VARIANT_FALSE);
    driver->Close();
  }
  const testing::ProgramResult result =
      testing::RunProgram(HVZELTA_CLI_PATH, {"trace", name + ".xml", "--stylesheet", HVZELTA_TRACE_STYLESHEET});
  ASSERT_EQ(result.status, 0) << result.output;
  std::ifstream file(name + ".html");
  std::stringstream page;
  page << file.rdbuf();
  const std::string html = page.str();
  EXPECT_NE(html.find("9 calls, 1 failed"), std::string::npos) << html.substr(0, 2000);
  EXPECT_NE(html.find("<tr class=\"failed\">"), std::string::npos);
  EXPECT_NE(html.find("The simulation state cannot be changed."), std::string::npos);
  EXPECT_NE(html.find("padding-left: 32px"), std::string::npos) << "calls inside ResetWithDefaults are indented";

  EXPECT_EQ(testing::RunProgram(HVZELTA_CLI_PATH, {"trace"}).status, 2);
  EXPECT_EQ(testing::RunProgram(HVZELTA_CLI_PATH, {"trace", (folder / "absent.xml").string(), "--stylesheet",
                                                   HVZELTA_TRACE_STYLESHEET})
                .status,
            1);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace hvzelta
