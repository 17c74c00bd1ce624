// Initialize with a configuration store: logical names, sessions, the
// software module, initial settings, virtual names and the store's own
// failures, against store files the tests write the way
// docs/configuration-store.md lays them out.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "acpwr/halvorn_zelta.h"
#include "core/config_store.h"
#include "hvzelta/com/bstr.h"
#include "hvzelta/com/error_info.h"
#include "platform/text.h"
#include "support/error_text.h"
#include "support/scripted_instrument.h"
#include "test_environment.h"

namespace hvzelta {
namespace {

using testing::LastError;

// The data components of a "Configurable Initial Settings" structure.
std::string InitialSettingsXml(std::string_view components) {
  return "<DataComponents><IviStructure><Name>Configurable Initial Settings</Name><Type>Structure</Type>"
         "<DataComponents>" + std::string(components) + "</DataComponents></IviStructure></DataComponents>";
}

std::string ModuleXml(std::string_view initialSettings = {}) {
  return "<IviSoftwareModule id='module1'><Name>HalvornZelta</Name>" + InitialSettingsXml(initialSettings) +
         "<PhysicalNames>"
         "<IviPhysicalName><Name>Output1</Name><RCName>HalvornZeltaOutput</RCName></IviPhysicalName>"
         "<IviPhysicalName><Name>OutputPhase1</Name><RCName>HalvornZeltaOutputPhase</RCName></IviPhysicalName>"
         "</PhysicalNames></IviSoftwareModule>";
}

// The driver session "bench".
struct SessionXml {
  std::string resource;  // empty: no hardware asset
  bool rangeCheck = true;
  std::string initialSettings;     // data components of the structure
  bool hasInitialSettings = true;  // false: no "Configurable Initial Settings" at all
  std::string virtualNames;        // IviVirtualName elements
};

// A whole store; `module` empty leaves the software module out.
std::string StoreXml(const std::string& module, const SessionXml& session, std::string_view logicalNames = {}) {
  const bool asset = !session.resource.empty();
  return "<?xml version='1.0'?>\n<IviConfigStore><SoftwareModules>" + module + "</SoftwareModules><HardwareAssets>" +
         (asset ? "<IviHardwareAsset id='asset'><Name>bench</Name><IOResourceDescriptor>" + session.resource +
                      "</IOResourceDescriptor></IviHardwareAsset>"
                : "") +
         "</HardwareAssets><DriverSessions><IviDriverSession id='session-bench'><Name>bench</Name>" +
         (session.hasInitialSettings ? InitialSettingsXml(session.initialSettings) : "") +
         "<SoftwareModule idref='module1'/>" + (asset ? "<HardwareAsset idref='asset'/>" : "") + "<VirtualNames>" +
         session.virtualNames + "</VirtualNames><Cache>true</Cache><InterchangeCheck>false</InterchangeCheck>" +
         "<QueryInstrStatus>false</QueryInstrStatus><RangeCheck>" + (session.rangeCheck ? "true" : "false") +
         "</RangeCheck><RecordCoercions>false</RecordCoercions><Simulate>true</Simulate><DriverSetup></DriverSetup>"
         "</IviDriverSession></DriverSessions><LogicalNames>" + std::string(logicalNames) +
         "</LogicalNames></IviConfigStore>\n";
}

class StoreInitializeTest : public ::testing::Test {
 protected:
  StoreInitializeTest() : driver_(ComPtr<HalvornZelta>::Adopt(new HalvornZelta())) {}

  void UseStore(const std::string& xml) { env_.Set("IVI_CONFIG_STORE", env_.Write("store.xml", xml)); }

  HRESULT Init(std::wstring_view resource, std::wstring_view options = L"") {
    if (driver_->IsInitialized()) driver_->Close();
    Bstr name(resource);
    Bstr optionText(options);
    return driver_->Initialize(name.Get(), VARIANT_FALSE, VARIANT_FALSE, optionText.Get());
  }

  std::string Text(HRESULT (HalvornZelta::*getter)(BSTR*)) {
    Bstr value;
    EXPECT_EQ((driver_.Get()->*getter)(value.Out()), S_OK);
    return WideToUtf8(value.View());
  }

  testing::TestEnvironment env_;
  ComPtr<HalvornZelta> driver_;
};

TEST_F(StoreInitializeTest, LogicalNameAppliesItsSessionAndTheOptionStringOverridesIt) {
  testing::ScriptedInstrument instrument;
  instrument.Answer("*IDN?", "Halvorn,ZTA400,77,2.01");
  SessionXml session;
  session.resource = instrument.Resource();
  session.rangeCheck = false;
  UseStore(StoreXml(ModuleXml(), session, "<IviLogicalName><Name>PS1</Name><Session idref='session-bench'/></IviLogicalName>"));

  // What the session sets is the command-line test's; here what the option string changes.
  ASSERT_EQ(Init(L"PS1"), S_OK) << LastError();
  EXPECT_EQ(Text(&HalvornZelta::get_InstrumentModel), "ZTA100") << "simulation's default model";
  EXPECT_TRUE(instrument.TakeReceived().empty());

  // The option string wins over the session: the instrument of the asset is opened.
  ASSERT_EQ(Init(L"PS1", L"Simulate=false, RangeCheck=true"), S_OK) << LastError();
  EXPECT_FALSE(driver_->Settings().simulate);
  EXPECT_TRUE(driver_->Settings().rangeCheck);
  EXPECT_EQ(Text(&HalvornZelta::get_InstrumentModel), "ZTA400");
  EXPECT_EQ(instrument.TakeReceived(), std::vector<std::string>{"*IDN?"});

  // A logical name leading nowhere is no session: the name is taken as a resource.
  UseStore(StoreXml(ModuleXml(), {}, "<IviLogicalName><Name>PS1</Name><Session idref='nothing'/></IviLogicalName>"));
  ASSERT_EQ(Init(L"PS1", L"Simulate=true"), S_OK) << LastError();
  EXPECT_EQ(Text(&HalvornZelta::get_LogicalName), "");
  EXPECT_EQ(Text(&HalvornZelta::get_IoResourceDescriptor), "PS1");
  EXPECT_EQ(PeekErrorInfo(), nullptr);
}

TEST_F(StoreInitializeTest, InitialSettingsKeepTheirTypes) {
  SessionXml session;
  session.initialSettings =
      "<IviInteger><Name>Retries</Name><Value> 3 </Value></IviInteger>"  // type from the element name
      "<IviReal><Name>Limit</Name><Type>REAL</Type><Value>2.5e1</Value></IviReal>"
      "<IviBoolean><Name>Fast</Name><Type>Boolean</Type><Value>true</Value></IviBoolean>"
      "<IviString><Name>Note</Name><Type>String</Type></IviString>"
      "<IviStructure><Name>Nested</Name><Type>Structure</Type><DataComponents/></IviStructure>"
      "<IviAPIReference><Name>Api</Name><Type>APIReference</Type><Value>x</Value></IviAPIReference>"
      "<IviInteger><Name>RETRIES</Name><Type>Integer</Type><Value>4</Value></IviInteger>";
  UseStore(StoreXml(ModuleXml(), session));
  ASSERT_EQ(Init(L"bench"), S_OK) << LastError();
  EXPECT_EQ(driver_->GetInitialSettingInteger("retries"), 4) << "the later setting of a name wins";
  EXPECT_EQ(driver_->GetInitialSettingText("Retries"), "4");
  EXPECT_EQ(driver_->GetInitialSettingReal("limit"), 25.0);
  EXPECT_FALSE(driver_->GetInitialSettingInteger("limit"));
  EXPECT_EQ(driver_->GetInitialSettingBoolean("FAST"), true);
  EXPECT_EQ(driver_->GetInitialSettingText("note"), "");
  EXPECT_FALSE(driver_->GetInitialSettingText("nested"));
  EXPECT_FALSE(driver_->GetInitialSettingText("api"));

  session.initialSettings = "<IviInteger><Name>Retries</Name><Type>Integer</Type><Value>many</Value></IviInteger>";
  UseStore(StoreXml(ModuleXml(), session));
  EXPECT_EQ(Init(L"bench"), E_IVICONFIG_DESERIALIZE_FAILED);
  EXPECT_NE(LastError().find("<Value> is 'many', which is not a 32-bit integer"), std::string::npos) << LastError();
  EXPECT_FALSE(driver_->GetInitialSettingInteger("retries")) << "settings are cleared at every Initialize";
}

TEST_F(StoreInitializeTest, ANameThatIsNoSessionNeedsTheSoftwareModule) {
  const std::wstring resource = L"TCPIP::192.0.2.1::5025::SOCKET";
  UseStore(StoreXml(ModuleXml("<IviString><Name>Model</Name><Type>String</Type><Value>ZTA300</Value></IviString>"),
                    SessionXml{}));
  ASSERT_EQ(Init(resource, L"Simulate=true"), S_OK) << LastError();
  EXPECT_EQ(Text(&HalvornZelta::get_LogicalName), "");
  EXPECT_EQ(Text(&HalvornZelta::get_IoResourceDescriptor), "TCPIP::192.0.2.1::5025::SOCKET");
  EXPECT_EQ(Text(&HalvornZelta::get_InstrumentModel), "ZTA300") << "the module's initial setting";
  EXPECT_EQ(driver_->PublishedRepCaps().at("OutputPhase1"), "HalvornZeltaOutputPhase");

  UseStore(StoreXml("", SessionXml{}));
  EXPECT_EQ(Init(resource, L"Simulate=true"), E_IVI_CANNOT_RECOVER);
  EXPECT_EQ(LastError(),
            "HalvornZelta: Unrecoverable failure.\r\nSoftware module could not be loaded from the IVI Configuration Store.");
  EXPECT_FALSE(driver_->GetOptionBoolean("simulate")) << "the option string is not processed";
  EXPECT_FALSE(driver_->IsInitialized());

  // Without a store at all the name is taken as it stands.
  env_.Unset("IVI_CONFIG_STORE");
  env_.Set("IVI_STANDARD_ROOT_DIR", env_.PathOf("no-ivi-here"));
  ASSERT_EQ(Init(resource, L"Simulate=true"), S_OK) << LastError();
  EXPECT_EQ(Text(&HalvornZelta::get_IoResourceDescriptor), "TCPIP::192.0.2.1::5025::SOCKET");

  // Nor with a file that cannot be read as a store, which the trace explains.
  const std::string trace = env_.PathOf("trace.xml");
  const std::wstring options = L"Simulate=true, DriverSetup=Trace=true, TraceName=" + Utf8ToWide(trace);
  ASSERT_EQ(mkfifo(env_.PathOf("fifo").c_str(), 0600), 0);
  for (const auto& [store, reason] : {std::pair{env_.Write("bad.xml", "<IviConfigStore><DriverSessions>"), "line 1:"},
                                      std::pair{env_.PathOf("fifo"), "it is not a regular file"}}) {
    env_.Set("IVI_CONFIG_STORE", store);
    ASSERT_EQ(Init(resource, options), S_OK) << store << ": " << LastError();
    EXPECT_EQ(PeekErrorInfo(), nullptr);
    EXPECT_EQ(Text(&HalvornZelta::get_IoResourceDescriptor), "TCPIP::192.0.2.1::5025::SOCKET");
    ASSERT_EQ(driver_->Close(), S_OK);
    const std::string record = env_.Read("trace.xml");
    EXPECT_NE(record.find("Name=\"Open\" Interface=\"IviConfigStore\""), std::string::npos) << record;
    EXPECT_NE(record.find("Message=\"IVI configuration store '" + store + "'"), std::string::npos) << record;
    EXPECT_NE(record.find(reason), std::string::npos) << record;
  }
}

TEST_F(StoreInitializeTest, StoreFailuresEndInitializeWithTheStoresOwnError) {
  SessionXml bare;
  bare.hasInitialSettings = false;
  UseStore(StoreXml(ModuleXml(), bare));
  EXPECT_EQ(Init(L"bench", L"Simulate=false"), E_IVICONFIG_NOT_EXIST);
  EXPECT_EQ(LastError(), "IVI configuration store '" + env_.PathOf("store.xml") +
                             "', line 2, <IviDriverSession> 'bench': there is no data component "
                             "'Configurable Initial Settings'.");
  ErrorInfo info;
  ASSERT_TRUE(GetErrorInfo(info));
  EXPECT_EQ(info.source, L"IVI Configuration Store");
  EXPECT_FALSE(driver_->IsInitialized());
  EXPECT_FALSE(driver_->GetOptionBoolean("simulate")) << "nothing after the failing read runs";

  // Ranges the store cannot have.
  const auto range = [](const std::string& bounds) {
    SessionXml session;
    session.virtualNames = "<IviVirtualName><Name>P</Name><MapTo>OutputPhase</MapTo><VirtualRanges><IviVirtualRange>" +
                           bounds + "</IviVirtualRange></VirtualRanges></IviVirtualName>";
    return StoreXml(ModuleXml(), session);
  };
  // A physical name nested in itself.
  const std::string cyclic = "<IviSoftwareModule id='module1'><Name>HalvornZelta</Name>" +
                             InitialSettingsXml("") +
                             "<PhysicalNames><IviPhysicalName id='loop'><Name>W</Name><RCName>W</RCName>"
                             "<PhysicalNames><IviPhysicalName idref='loop'/></PhysicalNames></IviPhysicalName>"
                             "</PhysicalNames></IviSoftwareModule>";
  const std::pair<std::string, const char*> stores[] = {
      {range("<Min>-2147483648</Min><Max>2147483647</Max><StartingPhysicalIndex>2147483647</StartingPhysicalIndex>"),
       "expand to more than 65536 names or 4 MiB of text"},
      {range("<Min>3</Min><Max>1</Max><StartingPhysicalIndex>1</StartingPhysicalIndex>"), "<Min> 3 is greater than <Max> 1"},
      {StoreXml(cyclic, SessionXml{}), "expand to more than"},
  };
  for (const auto& [store, reason] : stores) {
    UseStore(store);
    EXPECT_EQ(Init(L"bench", L"Simulate=true"), E_IVICONFIG_DESERIALIZE_FAILED);
    EXPECT_NE(LastError().find(reason), std::string::npos) << LastError();
  }
}

}  // namespace
}  // namespace hvzelta
