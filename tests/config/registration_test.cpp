// Component registration in a temporary home: the registration file, the
// class factory, creation by ProgID and the unload check.

#include <gtest/gtest.h>

#include <filesystem>

#include "acpwr/halvorn_zelta.h"
#include "hvzelta/com/bstr.h"
#include "registration/component_registration.h"
#include "test_environment.h"

namespace hvzelta {
namespace {

HRESULT Create(std::string_view progId, ComPtr<IHalvornZelta>& driver) {
  return CreateObjectByProgId(progId, IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out()));
}

HRESULT InitializeSimulated(IHalvornZelta& driver) {
  Bstr resource(L"anything");
  Bstr options(L"Simulate=true");
  return driver.Initialize(resource.Get(), VARIANT_FALSE, VARIANT_FALSE, options.Get());
}

TEST(ComponentRegistration, RoundTripForTheUser) {
  testing::TestEnvironment env;
  const std::string file = env.PathOf("home/.data/ivi/classes/HalvornZeltaLib.ini");
  ComPtr<IHalvornZelta> driver;
  EXPECT_EQ(Create("HalvornZelta.HalvornZelta.1", driver), REGDB_E_CLASSNOTREG);

  ASSERT_EQ(DllInstall(1, L"USER"), S_OK);
  EXPECT_EQ(RegistrationFilePath(UserRegistrationDirectory()), file);
  // What the file says shows in what can be created from it.
  for (std::string_view progId : {"HalvornZelta.HalvornZelta.1", "halvornzelta.halvornzelta"}) {
    ASSERT_EQ(Create(progId, driver), S_OK) << progId;
    EXPECT_EQ(InitializeSimulated(*driver.Get()), S_OK);
  }
  EXPECT_EQ(Create("HalvornZelta.OutputPhase.1", driver), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(Create("HalvornZelta.Output", driver), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(Create("Other.Driver.1", driver), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CreateObjectByProgId("HalvornZelta.HalvornZelta", IHalvornZelta::kIid, nullptr), E_POINTER);

  ASSERT_EQ(DllInstall(0, L"user"), S_OK);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Create("HalvornZelta.HalvornZelta.1", driver), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(DllInstall(0, L"user"), S_OK) << "nothing left to remove is no failure";

  // A file where the folder should be: the folder cannot be made, by anyone.
  env.Write("blocked", "");
  env.Set("XDG_DATA_HOME", env.PathOf("blocked"));
  EXPECT_EQ(DllInstall(1, L"user"), E_FAIL);
  EXPECT_EQ(RegisterComponents(env.PathOf("blocked/classes")), E_FAIL);
  // Without XDG_DATA_HOME the per-user folder is below HOME.
  env.Unset("XDG_DATA_HOME");
  EXPECT_EQ(UserRegistrationDirectory(), env.PathOf("home/.local/share/ivi/classes"));
  env.Unset("HOME");
  EXPECT_EQ(UserRegistrationDirectory(), "");
  EXPECT_TRUE(Failed(DllInstall(1, L"user")));
}

TEST(ComponentRegistration, CreatesFromTheRegisteredLibraryFile) {
  testing::TestEnvironment env;
  // A registration naming the shared library, as a loader of another program finds it.
  const auto registration = [&](std::string_view clsid, const std::string& library) {
    env.Write("home/.data/ivi/classes/Other.ini",
              "[AppID]\nName=Other\n\n[HalvornZelta]\nCLSID=" + std::string(clsid) +
                  "\nProgID=HalvornZelta.HalvornZelta.1\nInprocServer32=" + library + "\nCreatable=true\n");
  };
  registration("{DD5D5713-8792-4437-8433-BD3C197F782E}", HVZELTA_SHARED_LIBRARY_PATH);
  ComPtr<IHalvornZelta> driver;
  ASSERT_EQ(Create("HalvornZelta.HalvornZelta.1", driver), S_OK);
  EXPECT_EQ(InitializeSimulated(*driver.Get()), S_OK);
  registration("{DD5D5713-8792-4437-8433-BD3C197F782E}", env.PathOf("missing.so"));
  EXPECT_EQ(Create("HalvornZelta.HalvornZelta.1", driver), CLASS_E_CLASSNOTAVAILABLE);
  registration("{not a guid}", HVZELTA_SHARED_LIBRARY_PATH);
  EXPECT_EQ(Create("HalvornZelta.HalvornZelta.1", driver), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(ComponentRegistration, ClassFactoryAndUnloadCheck) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(&CLSID_HalvornZelta, &IClassFactory::kIid, nullptr), E_POINTER);
  EXPECT_EQ(DllGetClassObject(nullptr, &IClassFactory::kIid, reinterpret_cast<void**>(&factory)), E_INVALIDARG);
  EXPECT_EQ(DllGetClassObject(&IClassFactory::kIid, &IClassFactory::kIid, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(DllGetClassObject(&CLSID_HalvornZelta, &IHalvornZelta::kIid, reinterpret_cast<void**>(&factory)),
            E_NOINTERFACE);
  ASSERT_EQ(DllGetClassObject(&CLSID_HalvornZelta, &IClassFactory::kIid, reinterpret_cast<void**>(&factory)), S_OK);

  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  ComPtr<IHalvornZelta> driver;
  EXPECT_EQ(factory->CreateInstance(factory, IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out())),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(nullptr, IHalvornZelta::kIid, reinterpret_cast<void**>(driver.Out())), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a driver object is alive";
  driver.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->LockServer(1);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory->LockServer(0);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->Release();
}

TEST(ComponentRegistration, GuidTextIsReadInEitherCase) {
  GUID parsed;
  ASSERT_TRUE(ParseGuid("{dd5d5713-8792-4437-8433-bd3c197f782e}", parsed));
  EXPECT_EQ(parsed, CLSID_HalvornZelta);
  for (std::string_view bad : {"", "{DD5D5713-8792-4437-8433-BD3C197F782E", "{DD5D5713-8792-4437-8433+BD3C197F782E}",
                               "{DD5D5713-8792-4437-8433-BD3C197F782G}"}) {
    EXPECT_FALSE(ParseGuid(bad, parsed)) << bad;
  }
}

}  // namespace
}  // namespace hvzelta
