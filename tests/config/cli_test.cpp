// The hvzelta program: the store it writes is the store Initialize reads,
// edits keep what the program does not know, and wrong command lines say so.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/bstr.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"
#include "support/cli_process.h"
#include "test_environment.h"

namespace hvzelta {
namespace {

using testing::RunCli;

// Runs and expects the exit status and parts of what the program says on
// either of its outputs.
void ExpectRun(const std::vector<std::string>& words, int status, std::initializer_list<std::string_view> says = {}) {
  const testing::CliResult result = RunCli(words);
  const std::string said = result.out + result.err;
  EXPECT_EQ(result.status, status) << said;
  for (std::string_view part : says) EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
}

class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() { env_.Set("IVI_CONFIG_STORE", env_.PathOf("ivi/store.xml")); }

  HRESULT Initialize(ComPtr<HalvornZelta>& driver, std::wstring_view resource, std::wstring_view optionText = L"") {
    driver = ComPtr<HalvornZelta>::Adopt(new HalvornZelta());
    Bstr name(resource);
    Bstr options(optionText);
    return driver->Initialize(name.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
  }

  testing::TestEnvironment env_;
};

TEST_F(CommandLineTest, TheStoreItWritesIsTheStoreInitializeReads) {
  ExpectRun({"config", "add-session", "bench", "--resource", "TCPIP::192.0.2.5::5025::SOCKET", "--simulate", "true",
             "--driver-setup", "Model=ZTA300, TraceArray=false", "--range-check=false", "--logical-name", "PS1"}, 0);
  ExpectRun({"config", "add-virtual-name", "bench", "Main", "--map-to", "HalvornZeltaOutputPhase!!OutputPhase1"}, 0);
  ExpectRun({"config", "add-virtual-name", "bench", "Ph", "--map-to", "OutputPhase", "--range", "1-3"}, 0);

  ComPtr<HalvornZelta> driver;
  ASSERT_EQ(Initialize(driver, L"PS1"), S_OK) << WideToUtf8(PeekErrorInfo()->description);
  EXPECT_EQ(driver->LogicalName(), "PS1");
  EXPECT_EQ(driver->ResourceDescriptor(), "TCPIP::192.0.2.5::5025::SOCKET");
  EXPECT_TRUE(driver->Settings().simulate);
  EXPECT_FALSE(driver->Settings().rangeCheck);
  EXPECT_EQ(driver->InstrumentModel(), "ZTA300");
  EXPECT_EQ(driver->ResolveName("main"), "OutputPhase1");
  EXPECT_EQ(driver->ResolveName("PH3"), "OutputPhase3");
  EXPECT_EQ(driver->PublishedRepCaps().at("Output1"), "HalvornZeltaOutput");

  // An initial setting "Model" is read after the session's DriverSetup.
  ExpectRun({"config", "add-session", "bench", "--simulate", "1", "--driver-setup", "Model=ZTA300", "--model", "ZTA200",
             "--replace"}, 0);
  ASSERT_EQ(Initialize(driver, L"bench"), S_OK);
  EXPECT_EQ(driver->InstrumentModel(), "ZTA200");
  EXPECT_EQ(driver->ResourceDescriptor(), "") << "the replaced session has no hardware asset";
  EXPECT_EQ(driver->ResolveName("main"), "main") << "nor the virtual names of the old one";
  ASSERT_EQ(Initialize(driver, L"PS1", L"Simulate=true"), S_OK);
  EXPECT_EQ(driver->LogicalName(), "") << "the old session's logical name went with it";
}

TEST_F(CommandLineTest, ListRemoveAndInitStore) {
  ExpectRun({"config", "list"}, 0, {"no store at " + env_.PathOf("ivi/store.xml")});
  ExpectRun({"config", "init-store"}, 0, {"created"});
  ExpectRun({"config", "init-store"}, 0, {"software module present"});

  ExpectRun({"config", "add-session", "a", "--resource", "ASRL/dev/ttyS0::INSTR", "--model", "ZTA400",
             "--logical-name", "first"}, 0);
  ExpectRun({"config", "add-session", "b", "--simulate", "true"}, 0);
  ExpectRun({"config", "add-session", "c", "--logical-name", "first"}, 1, {"a logical name of this name exists"});
  ExpectRun({"config", "list"}, 0,
            {"  a\n    logical names:  first\n    module:         HalvornZelta\n"
             "    resource:       ASRL/dev/ttyS0::INSTR\n",
             "initial setting: Model = ZTA400 (String)", "RecordCoercions=false Simulate=true"});
  ExpectRun({"config", "remove", "a"}, 0);
  const std::string store = env_.Read("ivi/store.xml");
  EXPECT_EQ(store.find("ttyS0"), std::string::npos) << "the session's hardware asset went with it";
  EXPECT_EQ(store.find("first"), std::string::npos) << "and its logical name";
  EXPECT_NE(store.find("<Name>b</Name>"), std::string::npos);
  ExpectRun({"config", "remove", "a"}, 1, {"has no driver session or logical name 'a'"});
}

TEST_F(CommandLineTest, EditsKeepWhatTheProgramDoesNotKnow) {
  env_.Write("ivi/store.xml",
             "<?xml version='1.0'?>\n<IviConfigStore><!-- keep me --><Vendor>Someone</Vendor>"
             "<SoftwareModules><IviSoftwareModule id='p9'><Name>OtherDriver</Name><Prefix>other</Prefix>"
             "<Extra a='1'>text</Extra></IviSoftwareModule></SoftwareModules>"
             "<DriverSessions><IviDriverSession id='p10'><Name>theirs</Name></IviDriverSession></DriverSessions>"
             "</IviConfigStore>");
  ASSERT_EQ(RunCli({"config", "add-session", "mine", "--simulate", "true"}).status, 0);
  const std::string store = env_.Read("ivi/store.xml");
  for (const char* kept : {"<!-- keep me -->", "<Vendor>Someone</Vendor>", "<Extra a=\"1\">text</Extra>",
                           "<Name>theirs</Name>", "<Name>OtherDriver</Name>"}) {
    EXPECT_NE(store.find(kept), std::string::npos) << kept << "\n" << store;
  }
  ComPtr<HalvornZelta> driver;
  EXPECT_EQ(Initialize(driver, L"mine"), S_OK);

  // A store that cannot be read is never overwritten.
  env_.Write("ivi/store.xml", "<IviConfigStore>");
  ExpectRun({"config", "add-session", "x"}, 1,
            {"hvzelta config add-session: IVI configuration store '" + env_.PathOf("ivi/store.xml") + "': line 1:"});
  EXPECT_EQ(env_.Read("ivi/store.xml"), "<IviConfigStore>");
  ExpectRun({"config", "check"}, 1, {"': line 1:", "Initialize passes this file over"});
}

TEST_F(CommandLineTest, SavingKeepsTheFileAndWritesOnlyWhatInitializeReads) {
  // The store behind a link, readable by its owner only.
  ASSERT_EQ(RunCli({"config", "init-store", "--store", env_.PathOf("real.xml")}).status, 0);
  ASSERT_EQ(chmod(env_.PathOf("real.xml").c_str(), 0600), 0);
  // Only a privileged test run may give the file to another user.
  const bool otherOwner = chown(env_.PathOf("real.xml").c_str(), 65534, 65534) == 0;
  std::filesystem::create_directories(env_.PathOf("ivi"));
  std::filesystem::create_symlink(env_.PathOf("real.xml"), env_.PathOf("ivi/store.xml"));
  ExpectRun({"config", "add-session", " spaced ", "--logical-name", " PS2 ", "--simulate", "true"}, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(env_.PathOf("ivi/store.xml")));
  struct stat status {};
  ASSERT_EQ(stat(env_.PathOf("real.xml").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  if (otherOwner) {
    EXPECT_EQ(status.st_uid, 65534u);
  }
  ComPtr<HalvornZelta> driver;
  EXPECT_EQ(Initialize(driver, L"spaced"), S_OK) << "the name is stored trimmed";
  EXPECT_EQ(Initialize(driver, L"PS2"), S_OK);
  ASSERT_EQ(RunCli({"config", "add-virtual-name", " spaced ", " Ph ", "--map-to", " OutputPhase ", "--range", "1-2"})
                .status,
            0);
  ASSERT_EQ(Initialize(driver, L"spaced"), S_OK);
  EXPECT_EQ(driver->ResolveName("Ph2"), "OutputPhase2");

  // A range Initialize would refuse is refused, and the store stays as it was.
  const std::string before = env_.Read("real.xml");
  ExpectRun({"config", "add-virtual-name", "spaced", "Wide", "--map-to", "OutputPhase", "--range", "0-70000"}, 1,
            {"expand to more than 65536 names"});
  EXPECT_EQ(env_.Read("real.xml"), before);
  ExpectRun({"config", "check"}, 0, {"readable, 1 driver session(s)"});
}

TEST_F(CommandLineTest, WrongCommandLinesAreUsageErrors) {
  for (const std::vector<std::string>& words : std::initializer_list<std::vector<std::string>>{
           {"config"}, {"config", "explode"}, {"config", "add-session"}, {"register", "extra"},
           {"config", "add-session", "s", "--simulate", "maybe"}, {"config", "add-session", "s", "--colour", "red"},
           {"config", "add-session", "s", "--model"}, {"config", "add-session", "s", "--replace=yes"},
           {"config", "add-session", "s", "--model", "A", "--model", "B"}, {"config", "add-virtual-name", "s", "v"},
           {"config", "add-virtual-name", "s", "v", "--map-to", "x", "--range", "3-1"},
           {"config", "add-virtual-name", "s", "v", "--map-to", "x", "--start", "1"},
       }) {
    const testing::CliResult result = RunCli(words);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_FALSE(result.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(env_.PathOf("ivi/store.xml")));

  ExpectRun({"config", "--help"}, 0, {"add-virtual-name SESSION NAME --map-to TARGET"});
  env_.Unset("IVI_CONFIG_STORE");
  ExpectRun({"config", "init-store"}, 1, {"There is no store location"});
}

// The registration itself is the registration test's; here the command line.
TEST_F(CommandLineTest, RegisterAndUnregisterForTheUser) {
  const std::string file = env_.PathOf("home/.data/ivi/classes/HalvornZeltaLib.ini");
  ExpectRun({"register", "--user", "--library", HVZELTA_SHARED_LIBRARY_PATH}, 0, {file});
  ASSERT_EQ(RunCli({"unregister", "--user"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(file));
  ExpectRun({"register", "--user", "--library", env_.PathOf("missing.so")}, 1, {"cannot load"});
}

}  // namespace
}  // namespace hvzelta
