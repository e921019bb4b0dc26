// The special folders and version resources of the Win32 backend.
#include "platform/Shell.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/Win32Fixtures.h"

namespace kv::platform {
namespace {

TEST(SpecialFoldersTest, FoldersTheLibraryUsesExist) {
  using enum TSpecialFolder;
  for (const TSpecialFolder folder : {Documents, Desktop, AppData, CommonAppData}) {
    SCOPED_TRACE(static_cast<int>(folder));
    const std::string path = CurrentSpecialFolders::Get().GetPath(folder);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\') << path;
    EXPECT_TRUE(DirectoryExists(path)) << path;
  }
}

std::unique_ptr<IVersionResource> LoadFixture(const std::string& name) {
  return CurrentFileVersionResources::Get().Load(test::FixtureFolder() + name);
}

TEST(VersionResourcesTest, RussianResource) {
  // The file name is Cyrillic too, as the client's files may be.
  const auto resource = LoadFixture("Калвор.exe");
  ASSERT_TRUE(resource);

  EXPECT_EQ(resource->Translation(), (std::vector<uint8_t>{0x19, 0x04, 0xE3, 0x04}));
  const auto fixed = resource->Fixed();
  ASSERT_TRUE(fixed);
  EXPECT_EQ(fixed->FileVersionMS, 0x00090002u);
  EXPECT_EQ(fixed->FileVersionLS, (300u << 16) | 5u);

  const std::string table = "\\StringFileInfo\\041904E3\\";
  EXPECT_EQ(resource->String(table + "CompanyName"), "ООО «Калвор»");
  EXPECT_EQ(resource->String(table + "FileDescription"), "Калвор-Смета: клиент");
  EXPECT_EQ(resource->String(table + "ProductVersion"), "9.2");
  EXPECT_EQ(resource->String(table + "Comments"), std::nullopt);
  EXPECT_EQ(resource->String("\\StringFileInfo\\040904E4\\CompanyName"), std::nullopt);
}

TEST(VersionResourcesTest, TranslationWithoutItsStringTable) {
  const auto resource = LoadFixture("fallback.exe");
  ASSERT_TRUE(resource);

  EXPECT_EQ(resource->Translation(), (std::vector<uint8_t>{0x19, 0x04, 0xE3, 0x04}));
  EXPECT_EQ(resource->String("\\StringFileInfo\\041904E3\\CompanyName"), std::nullopt);
  EXPECT_EQ(resource->String("\\StringFileInfo\\040904E4\\CompanyName"), "Kalvor");
  ASSERT_TRUE(resource->Fixed());
  EXPECT_EQ(resource->Fixed()->FileVersionLS, 12u << 16);
}

TEST(VersionResourcesTest, FilesWithoutResource) {
  EXPECT_EQ(LoadFixture("noversion.exe"), nullptr);
  EXPECT_EQ(LoadFixture("missing.exe"), nullptr);
}

}  // namespace
}  // namespace kv::platform
