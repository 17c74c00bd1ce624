// The store reader on its own: what it refuses and what it tolerates.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/config_store.h"
#include "hvzelta/com/error_info.h"
#include "support/error_text.h"
#include "test_environment.h"

namespace hvzelta {
namespace {

using testing::LastError;

::testing::AssertionResult FailsWith(HRESULT hr, std::string_view expected) {
  if (hr != E_IVICONFIG_DESERIALIZE_FAILED) return ::testing::AssertionFailure() << "status " << std::hex << hr;
  if (LastError().find(expected) == std::string::npos) return ::testing::AssertionFailure() << LastError();
  return ::testing::AssertionSuccess();
}

TEST(ConfigStoreReader, RefusesWhatIsNoStore) {
  ConfigStore store;
  EXPECT_TRUE(FailsWith(store.Parse("<IviConfigStore><DriverSessions>", "s.xml"),
                        "IVI configuration store 's.xml': line 1:"));
  EXPECT_TRUE(FailsWith(store.Parse("", "s.xml"), "IVI configuration store 's.xml': the store is empty."));
  EXPECT_TRUE(FailsWith(store.Parse("<?xml version='1.0'?>\n<Other/>", "s.xml"),
                        "the document element is <Other>, not <IviConfigStore>"));
  EXPECT_TRUE(FailsWith(store.Parse("<IviConfigStore><A id='x'/>\n<B id='x'/></IviConfigStore>", "s.xml"),
                        "line 2, <B>: the id 'x' is used already on line 1"));
  EXPECT_EQ(store.Document(), nullptr);
}

TEST(ConfigStoreReader, NeverExpandsOrFetchesEntities) {
  testing::TestEnvironment env;
  const std::string secret = env.Write("secret.txt", "do not read");
  const std::string laughs =
      "<?xml version='1.0'?>\n<!DOCTYPE IviConfigStore [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;'>"
      "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;'>]>"
      "<IviConfigStore><Name>&d;&d;&d;&d;</Name></IviConfigStore>";
  const std::string external = "<!DOCTYPE IviConfigStore [<!ENTITY s SYSTEM 'file://" + secret +
                               "'>]><IviConfigStore><Name>&s;</Name></IviConfigStore>";
  const std::string network = "<!DOCTYPE IviConfigStore SYSTEM 'http://192.0.2.1/store.dtd'><IviConfigStore/>";
  for (const std::string& hostile : {laughs, external, network}) {
    ConfigStore store;
    EXPECT_TRUE(FailsWith(store.Parse(hostile, "s.xml"), "a document type declaration is not allowed in a store"));
    EXPECT_EQ(LastError().find("do not read"), std::string::npos);
  }
  // An entity that was never declared is just malformed.
  ConfigStore store;
  EXPECT_TRUE(FailsWith(store.Parse("<IviConfigStore><Name>&undeclared;</Name></IviConfigStore>", "s.xml"), "line 1:"));
}

TEST(ConfigStoreReader, OpensOnlyWhatIsThere) {
  testing::TestEnvironment env;
  ConfigStore store;
  EXPECT_EQ(store.Open(""), S_FALSE);
  EXPECT_EQ(store.Open(env.PathOf("missing.xml")), S_FALSE);
  EXPECT_TRUE(FailsWith(store.Open(env.Folder()), "it is not a regular file"));

  const std::string huge = env.Write("huge.xml", "<IviConfigStore/>");
  std::filesystem::resize_file(huge, ConfigStore::kMaxFileSize + 1);
  EXPECT_TRUE(FailsWith(store.Open(huge), "the file is 16777217 bytes long; a store may have at most 16777216 bytes"));

  const std::string good = env.Write("good.xml", "<IviConfigStore/>");
  EXPECT_EQ(store.Open(good), S_OK);
  EXPECT_EQ(store.Path(), good);
}

TEST(ConfigStoreReader, ToleratesTheWaysAStoreMayBeWritten) {
  // Namespaces, other letter case, properties as attributes, references by
  // name, referenced collection entries, comments and CDATA.
  constexpr std::string_view kStore = R"(<?xml version="1.0" encoding="UTF-8"?>
<store:IVICONFIGSTORE xmlns:store="urn:example">
  <!-- written by some other tool -->
  <store:hardwareassets>
    <IviHardwareAsset Name="bench"><ioresourcedescriptor><![CDATA[TCPIP::h::INSTR]]></ioresourcedescriptor></IviHardwareAsset>
  </store:hardwareassets>
  <Unknown><Anything/></Unknown>
  <AllSessions><IviDriverSession ID="s1" name="bench" simulate=" 1 ">
    <HardwareAsset>bench</HardwareAsset><Count>+42</Count><Ratio>-1.5e3</Ratio>
  </IviDriverSession></AllSessions>
  <DriverSessions><IviDriverSession IDREF="s1"/></DriverSessions>
  <LogicalNames><IviLogicalName><Name>PS1</Name><Session>bench</Session></IviLogicalName></LogicalNames>
</store:IVICONFIGSTORE>)";
  ConfigStore store;
  ASSERT_EQ(store.Parse(kStore, "s.xml"), S_OK) << LastError();
  StoreEntry session;
  ASSERT_EQ(store.FindDriverSession("PS1", session), S_OK);
  EXPECT_EQ(session.Name(), "bench");
  bool simulate = false;
  std::int32_t count = 0;
  double ratio = 0;
  EXPECT_EQ(session.Boolean("Simulate", simulate), S_OK);
  EXPECT_TRUE(simulate);
  EXPECT_EQ(session.Integer("count", count), S_OK);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(session.Real("Ratio", ratio), S_OK);
  EXPECT_EQ(ratio, -1500.0);
  StoreEntry asset;
  ASSERT_EQ(session.Reference("HardwareAsset", store::kHardwareAssets, asset), S_OK);
  std::string resource;
  EXPECT_EQ(asset.Text("IOResourceDescriptor", resource), S_OK);
  EXPECT_EQ(resource, "TCPIP::h::INSTR");
  EXPECT_EQ(store.FindDriverSession("bench", session), S_OK);
  EXPECT_EQ(store.FindDriverSession("BENCH", session), S_FALSE) << "names are compared exactly";
  EXPECT_EQ(store.FindDriverSession("", session), S_FALSE);
}

TEST(ConfigStoreReader, MalformedPropertiesNameTheirPlace) {
  constexpr std::string_view kStore =
      "<IviConfigStore>\n<DriverSessions>\n<IviDriverSession><Name>s</Name><Big>2147483648</Big><Flag>yes</Flag>"
      "<Real>1.5x</Real><Asset>nothing</Asset></IviDriverSession>\n<Broken idref='gone'/></DriverSessions>"
      "</IviConfigStore>";
  ConfigStore store;
  ASSERT_EQ(store.Parse(kStore, "s.xml"), S_OK) << LastError();
  const StoreEntry session(store, store::FindChild(store::FindChild(store.Root().Node(), "DriverSessions"),
                                                   "IviDriverSession"));
  std::int32_t integer = 0;
  bool flag = false;
  double real = 0;
  std::string text;
  StoreEntry target;
  EXPECT_TRUE(FailsWith(session.Integer("Big", integer),
                        "'s.xml', line 3, <IviDriverSession> 's': <Big> is '2147483648', which is not a 32-bit integer."));
  EXPECT_TRUE(FailsWith(session.Boolean("Flag", flag), "<Flag> is 'yes', which is not a boolean (true or false)"));
  EXPECT_TRUE(FailsWith(session.Real("Real", real), "<Real> is '1.5x', which is not a real number"));
  EXPECT_TRUE(FailsWith(session.Text("Missing", text), "the property <Missing> is missing"));
  EXPECT_EQ(session.OptionalText("Missing", text), S_FALSE);
  EXPECT_EQ(session.Reference("Asset", store::kHardwareAssets, target), E_IVICONFIG_NOT_EXIST);
  EXPECT_NE(LastError().find("<Asset> names 'nothing', which <HardwareAssets> of the store does not have"),
            std::string::npos);
  EXPECT_EQ(session.Reference("Absent", store::kHardwareAssets, target), S_FALSE);
  std::vector<StoreEntry> sessions;
  EXPECT_EQ(store.Root().Entries(store::kDriverSessions, sessions), E_IVICONFIG_NOT_EXIST);
  EXPECT_NE(LastError().find("line 4, <Broken>: refers to id 'gone'"), std::string::npos) << LastError();
  // A lookup through the broken collection finds nothing and leaves no complaint behind.
  ClearErrorInfo();
  EXPECT_EQ(store.FindDriverSession("s", target), S_FALSE);
  EXPECT_EQ(PeekErrorInfo(), nullptr);
}

}  // namespace
}  // namespace hvzelta
