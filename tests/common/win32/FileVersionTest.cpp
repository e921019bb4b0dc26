#include "common/FileVersion.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/Win32Fixtures.h"

namespace kv {
namespace {

// The version record read through the real version resource functions.
TEST(Win32FileVersionInfoTest, ReadsOwnLanguageTable) {
  const std::string file = test::FixtureFolder() + "Калвор.exe";
  TFileVersionInfo info;
  ASSERT_TRUE(info.ReadFromFile(file));

  EXPECT_EQ(info.LanguageInfo, "041904E3");
  EXPECT_EQ(info.DigitalFileVersion, TDigitalFileVersionInfo::Create(9, 2, 300, 5));
  EXPECT_EQ(info.FileVersion, "9.2.300.5");
  EXPECT_EQ(info.CompanyName, "ООО «Калвор»");
  EXPECT_EQ(info.FileDescription, "Калвор-Смета: клиент");
  EXPECT_EQ(info.ProductVersion, "9.2");
  EXPECT_EQ(info.Comments, "n/a");
  EXPECT_EQ(info.LegalCopyRight, "n/a");

  const auto found = platform::FindFile(file);
  ASSERT_TRUE(found);
  EXPECT_EQ(info.FileSize, static_cast<uint32_t>(found->Size));
  EXPECT_GT(info.FileSize, 0u);
  EXPECT_EQ(info.ModifiedDate, found->LastWriteTime);
  EXPECT_GT(info.ModifiedDate, 43831.0);  // after 2020-01-01

  EXPECT_EQ(TDigitalFileVersionInfo::CreateFromFile(file).AsString(), "9.2.300.5");
}

TEST(Win32FileVersionInfoTest, FallsBackToTheEnglishTable) {
  TFileVersionInfo info;
  ASSERT_TRUE(info.ReadFromFile(test::FixtureFolder() + "fallback.exe"));
  EXPECT_EQ(info.LanguageInfo, "041904E3");
  EXPECT_EQ(info.CompanyName, "Kalvor");
  EXPECT_EQ(info.ProductVersion, "9.0");
  EXPECT_EQ(info.ProductName, "n/a");
  EXPECT_EQ(info.FileVersion, "9.0.12.0");
}

TEST(Win32FileVersionInfoTest, NoResourceOrNoFileGivesFalse) {
  for (const char* name : {"noversion.exe", "missing.exe"}) {
    TFileVersionInfo info;
    info.CompanyName = "stale";
    EXPECT_FALSE(info.ReadFromFile(test::FixtureFolder() + name)) << name;
    EXPECT_EQ(info.CompanyName, "") << name;
    EXPECT_EQ(TDigitalFileVersionInfo::CreateFromFile(test::FixtureFolder() + name).AsString(),
              "0.0.0.0");
  }
}

}  // namespace
}  // namespace kv
