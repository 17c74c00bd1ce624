// The I/O log: how bytes are shown, what the lines of an exchange say, and
// that concurrent sessions never mix lines. Where the log goes is the
// command line's test (tests/tools).

#include "visa/io_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "visa/visa_library_choice.h"

namespace hvzelta::visa {
namespace {

std::span<const ViByte> Bytes(std::string_view text) {
  return {reinterpret_cast<const ViByte*>(text.data()), text.size()};
}

// The file's lines without the time in front.
std::vector<std::string> LoggedLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line.substr(line.find(' ') + 1));
  return lines;
}

struct TempLog {
  std::string path = ::testing::TempDir() + "io_log_" + std::to_string(::getpid()) + ".log";
  TempLog() { std::remove(path.c_str()); }
  ~TempLog() { std::remove(path.c_str()); }
};

// The fake installed library logging to `path`, with its instrument open.
struct LoggedFake {
  std::shared_ptr<IVisaLibrary> visa = ChooseVisaLibrary(HVZELTA_FAKE_VISA).library;
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  explicit LoggedFake(const std::string& path) {
    std::string error;
    EXPECT_TRUE(visa && AttachIoLog(visa, path, error)) << error;
    EXPECT_EQ(visa->OpenDefaultRM(&rm), VI_SUCCESS);
    EXPECT_EQ(visa->Open(rm, "FAKE::INSTR", VI_NO_LOCK, 2000, &vi), VI_SUCCESS);
  }
};

TEST(IoLog, BytesAreShownEscapedWithBlocksSummarised) {
  const std::string longText(300, 'A');
  const struct {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"VOLT 230\n", R"("VOLT 230\n")"},
      {std::string("a\r\t\"\\\x00\x7F\xFF", 8), R"("a\r\t\"\\\x00\x7F\xFF")"},
      {"", R"("")"},
      {"WAV #15hello\n", R"("WAV <block of 5 bytes>\n")"},
      {"#3100abc", R"("<block of 100 bytes, 3 here>")"},
      // No definite-length header: "#0" is indefinite, "#2" lacks its length.
      {"#0ab", R"("#0ab")"},
      {"#2", R"("#2")"},
      {longText, "\"" + std::string(200, 'A') + "\" and 100 more bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeBytes(Bytes(c.bytes)), c.shown) << c.bytes;
}

// Attributes, status texts and events pass through unlogged.
TEST(IoLog, AnExchangeThroughAnInstalledLibraryIsLoggedLineByLine) {
  TempLog log;
  LoggedFake fake(log.path);
  IVisaLibrary& visa = *fake.visa;
  const ViSession vi = fake.vi;
  ViSession other = VI_NULL;
  EXPECT_EQ(visa.Open(fake.rm, "OTHER::INSTR", VI_NO_LOCK, 2000, &other), VI_ERROR_RSRC_NFOUND);
  ViUInt32 count = 0;
  visa.Write(vi, Bytes("*IDN?\n").data(), 6, &count);
  ViByte reply[64];
  visa.Read(vi, reply, sizeof reply, &count);
  ViUInt16 stb = 0;
  visa.ReadSTB(vi, &stb);
  visa.Clear(vi);
  visa.AssertTrigger(vi, VI_TRIG_PROT_DEFAULT);

  EXPECT_EQ(visa.SetAttribute(vi, VI_ATTR_TMO_VALUE, 1234), VI_SUCCESS);
  ViUInt32 timeout = 0;
  EXPECT_EQ(visa.GetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 1234u);
  char description[VI_FIND_BUFLEN];
  EXPECT_EQ(visa.StatusDesc(vi, -5, description), VI_SUCCESS);
  EXPECT_STREQ(description, "fake status -5");
  // Two service requests queue up.
  EXPECT_EQ(visa.EnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR), VI_ERROR_INV_PARAMETER);
  ASSERT_EQ(visa.EnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  for (int i = 0; i < 2; ++i) visa.Write(vi, Bytes("*SRE\n").data(), 5, &count);
  ViEventType type = 0;
  ViEvent context = VI_NULL;
  EXPECT_EQ(visa.WaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &context), VI_SUCCESS);
  EXPECT_EQ(type, VI_EVENT_SERVICE_REQ);
  EXPECT_EQ(visa.Close(context), VI_SUCCESS);
  EXPECT_EQ(visa.DiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  EXPECT_EQ(visa.WaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, &context), VI_ERROR_TMO);
  EXPECT_EQ(visa.DisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS);
  visa.Close(vi);
  visa.Close(fake.rm);

  const std::string s = "session " + std::to_string(vi) + " ";
  const std::vector<std::string> expected = {
      s + "open FAKE::INSTR",
      "session 0 open OTHER::INSTR failed: VI_ERROR_RSRC_NFOUND",
      s + "write 6 bytes \"*IDN?\\n\"",
      s + "read 18 bytes \"FAKE,ZTA100,0,1.0\\n\"",
      s + "status byte 0x10",
      s + "clear",
      s + "trigger failed: VI_ERROR_NSUP_OPER",
      s + "write 5 bytes \"*SRE\\n\"",
      s + "write 5 bytes \"*SRE\\n\"",
      s + "close",
  };
  EXPECT_EQ(LoggedLines(log.path), expected);
}

// Whole lines from many threads, in the file and at the handler alike.
TEST(IoLog, ConcurrentWritersGiveWholeLines) {
  TempLog log;
  static std::vector<std::string> handled;  // the handler runs one call at a time
  SetIoLogHandler([](const char* line, void*) { handled.emplace_back(line); }, nullptr);
  LoggedFake fake(log.path);
  constexpr int kThreads = 8;
  constexpr int kLines = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string message(150, static_cast<char>('a' + t));
      ViUInt32 count = 0;
      for (int i = 0; i < kLines; ++i) fake.visa->Write(fake.vi, Bytes(message).data(), 150, &count);
    });
  }
  for (std::thread& thread : threads) thread.join();
  SetIoLogHandler(nullptr, nullptr);
  fake.visa->Close(fake.rm);

  for (const std::vector<std::string>& lines : {LoggedLines(log.path), handled}) {
    ASSERT_EQ(lines.size(), kThreads * kLines + 1u);  // and the open
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const char letter = lines[i][lines[i].find('"') + 1];
      ASSERT_EQ(lines[i], "session " + std::to_string(fake.vi) + " write 150 bytes \"" + std::string(150, letter) + "\"");
    }
  }
}

}  // namespace
}  // namespace hvzelta::visa
