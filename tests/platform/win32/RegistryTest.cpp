#include "platform/Registry.h"

#include <gtest/gtest.h>

#include "support/Win32Registry.h"

namespace kv::platform {
namespace {

const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KvRegistryTest";

std::optional<std::string> Read(TRegistryView view, const std::string& name,
                                const std::string& key = kKey) {
  return CurrentRegistry::Get().ReadLocalMachineString(view, key, name);
}

// Our program is 64-bit: the 32-bit view must be asked for, or it reads the 64-bit one.
TEST(RegistryTest, TheTwoViewsAreDistinct) {
  test::TTestRegistryKey key32(kKey, KEY_WOW64_32KEY);
  key32.SetString("InstallLocation", "C:\\Program Files (x86)\\Калвор\\");
  EXPECT_EQ(Read(TRegistryView::Registry32, "InstallLocation"),
            "C:\\Program Files (x86)\\Калвор\\");
  EXPECT_EQ(Read(TRegistryView::Registry64, "InstallLocation"), std::nullopt);

  test::TTestRegistryKey key64(kKey, KEY_WOW64_64KEY);
  key64.SetString("InstallLocation", "C:\\Program Files\\Калвор");
  EXPECT_EQ(Read(TRegistryView::Registry64, "InstallLocation"), "C:\\Program Files\\Калвор");
  EXPECT_EQ(Read(TRegistryView::Registry32, "InstallLocation"),
            "C:\\Program Files (x86)\\Калвор\\");
}

TEST(RegistryTest, WhatIsNotAStringValueReadsAsNothing) {
  EXPECT_EQ(Read(TRegistryView::Registry32, "InstallLocation", kKey + "Missing"), std::nullopt);
  test::TTestRegistryKey key(kKey, KEY_WOW64_32KEY);
  key.SetDword("EstimatedSize", 1024);
  key.SetString("Empty", "");
  EXPECT_EQ(Read(TRegistryView::Registry32, "InstallLocation"), std::nullopt);
  EXPECT_EQ(Read(TRegistryView::Registry32, "EstimatedSize"), std::nullopt);
  EXPECT_EQ(Read(TRegistryView::Registry32, "Empty"), "");
}

TEST(RegistryTest, ValuesOfAnyLengthWithOrWithoutTheirNull) {
  test::TTestRegistryKey key(kKey, KEY_WOW64_32KEY);
  const std::string longText(5000, 'L');
  key.SetString("Long", longText);
  key.SetString("Unterminated", "C:\\Kalvor", false);
  EXPECT_EQ(Read(TRegistryView::Registry32, "Long"), longText);
  EXPECT_EQ(Read(TRegistryView::Registry32, "Unterminated"), "C:\\Kalvor");
}

// The desktop folder is read from the user's own root, which has one view for every program.
TEST(RegistryTest, CurrentUserValues) {
  const std::string key = "Software\\KvRegistryTest\\Shell Folders";
  EXPECT_EQ(CurrentRegistry::Get().ReadCurrentUserString(key, "Desktop"), std::nullopt);
  test::TTestRegistryKey parent("Software\\KvRegistryTest", 0, HKEY_CURRENT_USER);
  test::TTestRegistryKey folders(key, 0, HKEY_CURRENT_USER);
  folders.SetString("Desktop", "C:\\users\\Иван\\Рабочий стол");
  EXPECT_EQ(CurrentRegistry::Get().ReadCurrentUserString("SOFTWARE\\kvregistrytest\\shell folders",
                                                         "desktop"),
            "C:\\users\\Иван\\Рабочий стол");
  EXPECT_EQ(Read(TRegistryView::Registry32, "Desktop", key), std::nullopt);
}

}  // namespace
}  // namespace kv::platform
