// The product information against Wine's real registry, executables with real version resources,
// a real mutex and the real special folders.

#include <gtest/gtest.h>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.CommonUtils.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Puts the fixture client of that generation into the install location as Kvsmeta.exe.
void PutClient(const std::string& location, int major) {
  platform::ForceDirectories(location + "Client");
  ASSERT_TRUE(CopyFileW(
      platform::win32::Wide(test::FixtureFolder() + "kvsmeta" + std::to_string(major) + ".exe")
          .c_str(),
      platform::win32::Wide(location + "Client\\Kvsmeta.exe").c_str(), FALSE));
}

class RealInstalledClientTest : public testing::Test {
 protected:
  const TSmeta9CustomInformationClass& FClient32 = TSmeta9Information32::ClassInfo();
  const TSmeta9CustomInformationClass& FClient64 = TSmeta9Information64::ClassInfo();
  test::TTempFolder FTemp;
};

TEST_F(RealInstalledClientTest, EachClientHasItsEntryInItsOwnView) {
  const std::string location32 = FTemp.Path("Калвор x86\\");
  const std::string location64 = FTemp.Path("Калвор x64\\");
  PutClient(location32, 9);
  PutClient(location64, 9);
  // The 32-bit client's entry without a trailing backslash, the 64-bit one's with it.
  test::TTestRegistryKey key32(kUninstall + FClient32.RegistryKey(), KEY_WOW64_32KEY);
  key32.SetString("InstallLocation", location32.substr(0, location32.size() - 1));
  test::TTestRegistryKey key64(kUninstall + FClient64.RegistryKey(), KEY_WOW64_64KEY);
  key64.SetString("InstallLocation", location64);

  EXPECT_EQ(FClient32.InstallFolder(), location32 + "Client\\");
  EXPECT_EQ(FClient64.InstallFolder(), location64 + "Client\\");
  EXPECT_TRUE(FClient32.IsApplicationInstalled());
  EXPECT_TRUE(FClient64.IsApplicationInstalled());
  EXPECT_EQ(FClient32.ApplicationVersion(), TDigitalFileVersionInfo::Create(9, 4, 120, 7));
  EXPECT_EQ(FClient32.ApplicationVersionInt(), 0x09040078u);
}

TEST_F(RealInstalledClientTest, AnEntryOnlyInTheOtherViewIsNoInstallation) {
  const std::string location = FTemp.Path("Калвор\\");
  PutClient(location, 9);
  test::TTestRegistryKey key(kUninstall + FClient32.RegistryKey(), KEY_WOW64_64KEY);
  key.SetString("InstallLocation", location);

  EXPECT_EQ(FClient32.InstallFolder(), "\\Client\\");
  EXPECT_FALSE(FClient32.IsApplicationInstalled());
  EXPECT_EQ(FClient32.ApplicationVersionInt(), 0u);
}

TEST_F(RealInstalledClientTest, AClientOfAnotherGenerationIsNotInstalled) {
  const std::string location = FTemp.Path("Калвор\\");
  PutClient(location, 8);
  test::TTestRegistryKey key(kUninstall + FClient32.RegistryKey(), KEY_WOW64_32KEY);
  key.SetString("InstallLocation", location);

  EXPECT_TRUE(FClient32.IsApplicationPresent());
  EXPECT_EQ(FClient32.ApplicationVersion(), TDigitalFileVersionInfo::Create(8, 4, 120, 7));
  EXPECT_FALSE(FClient32.IsApplicationInstalled());
}

TEST_F(RealInstalledClientTest, TheUnsignedStandInIsNotTrusted) {
  const std::string location = FTemp.Path("Калвор\\");
  PutClient(location, 9);
  test::TTestRegistryKey key(kUninstall + FClient32.RegistryKey(), KEY_WOW64_32KEY);
  key.SetString("InstallLocation", location);

  EXPECT_TRUE(FClient32.IsApplicationInstalled());
  EXPECT_TRUE(FClient32.TrustedApplication());
  EXPECT_FALSE(FClient32.IsApplicationTrusted());
}

TEST(RealRunningClientTest, TheClientsRealMutex) {
  const auto& client = TSmeta9Information32::ClassInfo();
  EXPECT_FALSE(client.IsApplicationRuning());
  {
    const platform::win32::unique_handle held(CreateMutexW(nullptr, TRUE, L"KalvorSmeta_client"));
    ASSERT_TRUE(held);
    EXPECT_TRUE(client.IsApplicationRuning());
  }
  EXPECT_FALSE(client.IsApplicationRuning());
}

TEST(RealClientFoldersTest, RootedInTheRealSpecialFolders) {
  const auto& client = TSmeta9Information32::ClassInfo();
  const std::string tail = "\\Kalvor\\KalvorSmeta 9\\Client\\";
  EXPECT_EQ(client.CommonDataFolder(), GetCommonAppDataFolderPath() + tail);
  EXPECT_EQ(client.AppDataFolder(), GetAppDataFolderPath() + tail);
  EXPECT_EQ(client.MyFolderRoot(), GetPersonalFolderPath() + "\\Калвор-Divir\\");
  EXPECT_TRUE(CheckFolderWritePrivilege(GetAppDataFolderPath()));
}

// Another program's file of the probe's name, which it keeps open: the probe fails without
// deleting it.
TEST(RealClientFoldersTest, TheWriteProbeLeavesAFileItDidNotMake) {
  const test::TTempFolder temp;
  const std::string probe = temp.Path("CheckFolderWritePrivilege.bin");
  test::WriteFileBytes(probe, "someone else's");
  {
    const platform::win32::unique_hfile other(
        CreateFileW(platform::win32::Wide(probe).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other);
    EXPECT_FALSE(CheckFolderWritePrivilege(temp.Path("")));
  }
  EXPECT_EQ(test::ReadFileBytes(probe), "someone else's");
}

}  // namespace
}  // namespace kv
