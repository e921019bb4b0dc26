#include "sysinfo/SysInfo.Core.Application.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/Files.h"
#include "support/FakeCodeSigning.h"
#include "support/FakeNamedMutexes.h"
#include "support/FakeRegistry.h"
#include "support/FakeVersionResources.h"
#include "support/TempFolder.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

using platform::TRegistryView;
using Operation = std::function<void(const TCustomApplicationInformationClass&)>;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A product class that overrides nothing, so that its name shows in the base's messages.
const TCustomApplicationInformationClass& BareProduct() {
  static const TCustomApplicationInformationClass info("TBareInformation",
                                                       &TCustomApplicationInformation::ClassInfo());
  return info;
}

TEST(CustomApplicationTest, AbstractOperationsNameTheClassTheyWereCalledOn) {
  struct Case {
    const char* name;
    Operation call;
  };
  const Case cases[] = {
      {"RegistryKey", [](auto& c) { c.RegistryKey(); }},
      {"ApplicationDisplayName", [](auto& c) { c.ApplicationDisplayName(); }},
      {"ApplicationExeName", [](auto& c) { c.ApplicationExeName(); }},
      {"DBaseFolder", [](auto& c) { c.DBaseFolder(); }},
      {"MutexName", [](auto& c) { c.MutexName(); }},
      {"PortableRelativePath", [](auto& c) { c.PortableRelativePath(); }},
      {"MajorVersionDigit", [](auto& c) { c.MajorVersionDigit(); }},
  };
  for (const TCustomApplicationInformationClass* product :
       {&TCustomApplicationInformation::ClassInfo(), &BareProduct()}) {
    for (const Case& c : cases) {
      try {
        c.call(*product);
        ADD_FAILURE() << "no error from " << c.name;
      } catch (const ECustomApplication& e) {
        EXPECT_EQ(e.ClassName(), "ECustomApplication");
        EXPECT_EQ(e.Message(),
                  product->ClassName() + " exception. " + c.name + "() not implemented.");
      }
    }
  }
  // Operations built on an abstract one fail the same way.
  EXPECT_THROW(BareProduct().InstallFolder(), ECustomApplication);
  EXPECT_TRUE(BareProduct().TrustedApplication());
  EXPECT_FALSE(BareProduct().ApplicationPlatform64());
}

// The generation-9 clients installed into a temporary folder, with a made-up registry and
// version resources.
class InstalledClientTest : public testing::Test {
 protected:
  InstalledClientTest() : FRegistryScope(FRegistry), FVersionsScope(FVersions) {}

  // Registers the client's install location (as installers write it, with or without a trailing
  // backslash) and puts an executable of that version there; returns the location.
  std::string Install(TRegistryView view, const std::string& registryKey, const std::string& name,
                      int32_t major, bool trailingBackslash = false) {
    const std::string location = FTemp.Path(name);
    FRegistry.Set(view, kUninstall + registryKey, "InstallLocation",
                  trailingBackslash ? location + "\\" : location);
    platform::ForceDirectories(location + "\\Client");
    const std::string exe = location + "\\Client\\Kvsmeta.exe";
    test::WriteFileBytes(exe, "MZ");
    FVersions.Add(exe, {{},
                        platform::IVersionResource::TFixed{static_cast<uint32_t>(major) << 16 | 4,
                                                           120u << 16 | 7}});
    return location;
  }

  test::TTempFolder FTemp;
  test::FakeRegistry FRegistry;
  test::FakeVersionResources FVersions;
  platform::TScopedCurrent<platform::IRegistry> FRegistryScope;
  platform::TScopedCurrent<platform::IFileVersionResources> FVersionsScope;
};

TEST_F(InstalledClientTest, EachClientIsFoundThroughItsOwnRegistryView) {
  const auto& client32 = TSmeta9Information32::ClassInfo();
  const auto& client64 = TSmeta9Information64::ClassInfo();
  const std::string location32 =
      Install(TRegistryView::Registry32, client32.RegistryKey(), "x86", 9);
  const std::string location64 =
      Install(TRegistryView::Registry64, client64.RegistryKey(), "x64", 9, true);

  EXPECT_EQ(client32.InstallFolder(), location32 + "\\Client\\");
  EXPECT_EQ(client32.ApplicationPath(), location32 + "\\Client\\Kvsmeta.exe");
  EXPECT_TRUE(client32.IsApplicationInstalled());
  EXPECT_EQ(client64.InstallFolder(), location64 + "\\Client\\");
  EXPECT_TRUE(client64.IsApplicationInstalled());
  EXPECT_EQ(client32.ApplicationVersion(), TDigitalFileVersionInfo::Create(9, 4, 120, 7));
  EXPECT_EQ(client32.ApplicationVersionInt(), 0x09040078u);
}

TEST_F(InstalledClientTest, AnEntryInTheOtherViewIsNotAnInstallation) {
  const auto& client32 = TSmeta9Information32::ClassInfo();
  Install(TRegistryView::Registry64, client32.RegistryKey(), "x64", 9);

  EXPECT_EQ(client32.InstallFolder(), "\\Client\\");
  EXPECT_FALSE(client32.IsApplicationPresent());
  EXPECT_FALSE(client32.IsApplicationInstalled());
  EXPECT_EQ(client32.ApplicationVersion(), TDigitalFileVersionInfo());
  EXPECT_EQ(client32.ApplicationVersionInt(), 0u);
}

TEST_F(InstalledClientTest, AClientOfAnotherGenerationIsPresentButNotInstalled) {
  const auto& client32 = TSmeta9Information32::ClassInfo();
  Install(TRegistryView::Registry32, client32.RegistryKey(), "x86", 8);

  EXPECT_TRUE(client32.IsApplicationPresent());
  EXPECT_EQ(client32.ApplicationVersion().Major, 8);
  EXPECT_FALSE(client32.IsApplicationInstalled());
}

// A product whose executable lies in a subfolder of its install folder.
class TNestedExeClass : public TSmeta9CustomInformationClass {
 public:
  using TSmeta9CustomInformationClass::TSmeta9CustomInformationClass;
  std::string ApplicationExeName() const override { return "bin\\Kvsmeta.exe"; }
};

TEST_F(InstalledClientTest, AnExecutableOutsideTheInstallFolderIsNotAnInstallation) {
  static const TNestedExeClass nested("TNestedExeInformation", &TSmeta9Information32::ClassInfo(),
                                      TSmeta9Information32::ClassInfo().Description());
  const std::string location =
      Install(TRegistryView::Registry32, nested.RegistryKey(), "nested", 9);
  platform::ForceDirectories(location + "\\Client\\bin");
  test::WriteFileBytes(location + "\\Client\\bin\\Kvsmeta.exe", "MZ");

  EXPECT_TRUE(nested.IsApplicationPresent());
  EXPECT_FALSE(nested.IsApplicationInstalled());
}

TEST(RunningClientTest, TheClientsMutexTellsWhetherItRuns) {
  test::FakeNamedMutexes mutexes;
  platform::TScopedCurrent<platform::INamedMutexes> scope(mutexes);
  const auto& client = TSmeta9Information32::ClassInfo();

  EXPECT_FALSE(client.IsApplicationRuning());
  mutexes.Held.insert("KalvorSmeta_client");
  EXPECT_TRUE(client.IsApplicationRuning());
  EXPECT_EQ(mutexes.Asked, (std::vector<std::string>{"KalvorSmeta_client", "KalvorSmeta_client"}));
}

TEST(TrustedClientTest, TheTrustServiceJudgesTheClientExecutable) {
  test::FakeRegistry registry;
  test::FakeCodeSigning signing;
  platform::TScopedCurrent<platform::IRegistry> registryScope(registry);
  platform::TScopedCurrent<platform::ICodeSigning> signingScope(signing);
  const auto& client = TSmeta9Information32::ClassInfo();
  registry.Set(TRegistryView::Registry32, kUninstall + client.RegistryKey(), "InstallLocation",
               "C:\\Kalvor");

  EXPECT_FALSE(client.IsApplicationTrusted());
  signing.Trusted.insert("C:\\Kalvor\\Client\\Kvsmeta.exe");
  EXPECT_TRUE(client.IsApplicationTrusted());
}

}  // namespace
}  // namespace kv
