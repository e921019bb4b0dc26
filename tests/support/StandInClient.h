#pragma once
// The wizard program beside a stand-in installed client, for the tests that run the real program.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Files.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {

// Copies the wizard into wizardFolder and the stand-in client into location's Client folder, and
// registers location as the client's install folder in clientKey (which removes the entry when
// it goes). Call it inside ASSERT_NO_FATAL_FAILURE.
inline void InstallWizardAndStandInClient(const std::string& wizardFolder,
                                          const std::string& location,
                                          std::unique_ptr<TTestRegistryKey>& clientKey) {
  using platform::win32::Wide;
  platform::ForceDirectories(wizardFolder);
  ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "Swiftkit.exe").c_str(),
                        Wide(wizardFolder + "Swiftkit.exe").c_str(), FALSE));
  platform::ForceDirectories(location + "Client");
  ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "StandInClient.exe").c_str(),
                        Wide(location + "Client\\Kvsmeta.exe").c_str(), FALSE));
  clientKey = std::make_unique<TTestRegistryKey>(
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
          TSmeta9Information32::ClassInfo().RegistryKey(),
      KEY_WOW64_32KEY);
  clientKey->SetString("InstallLocation", location);
}

}  // namespace kv::test
