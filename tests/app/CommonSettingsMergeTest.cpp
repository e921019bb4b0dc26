#include "app/CommonSettingsMerge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/Xml.h"
#include "support/TempFolder.h"

namespace kv::app {
namespace {

class CommonSettingsMergeTest : public testing::Test {
 protected:
  CommonSettingsMergeTest()
      : Folder(Temp.Path("Settings\\")), FileName(Folder + "CommonSetting.XML"), Merge(Folder) {
    platform::ForceDirectories(Folder);
  }

  // The attribute as the file now holds it; nothing when the file or the attribute is absent.
  std::optional<std::string> Stored() const {
    if (!platform::FileExists(FileName)) {
      return std::nullopt;
    }
    return platform::TXmlDocument::LoadFromFile(FileName).DocumentElement().Attribute(
        "ExternalFileExts");
  }

  test::TTempFolder Temp;
  const std::string Folder;
  const std::string FileName;
  const TCommonSettingsMerge Merge;
};

TEST_F(CommonSettingsMergeTest, MergesSortedWithoutDuplicatesTheStoredSpellingWinning) {
  struct Case {
    const char* stored;  // nullptr: the attribute is absent
    const char* package;
    const char* merged;
  };
  const Case cases[] = {
      {"xls;doc", "DOC; pdf ;;txt", "doc;pdf;txt;xls"},
      {nullptr, "b;A;a", "A;b"},
      {"  ", " kvd8 ", "kvd8"},
      {"xls", " ; ;", "xls"},
      {"Смета;арх", "СМЕТА;Ёлка;АРХ", "арх;Ёлка;Смета"},
      {"my ext;x", "x y", "my ext;x;x y"},
      {"z", "say \"hi\"", "\"say \"\"hi\"\"\";z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.package);
    std::string attribute = c.stored ? std::string(" ExternalFileExts=\"") + c.stored + "\"" : "";
    test::WriteFileBytes(
        FileName, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Options Version=\"9\"" + attribute +
                      "><Ribbon Minimized=\"1\"/></Options>");
    Merge.Merge(c.package);
    EXPECT_EQ(Stored(), c.merged);
    // The rest of the settings stays.
    const auto root = platform::TXmlDocument::LoadFromFile(FileName).DocumentElement();
    EXPECT_EQ(root.Attribute("Version"), "9");
    EXPECT_EQ(root.Child("Ribbon").Attribute("Minimized"), "1");
  }
}

TEST_F(CommonSettingsMergeTest, WithoutASettingsFileANewOneHoldsOnlyTheList) {
  platform::DeleteFile(FileName);
  Merge.Merge("pdf;Doc");
  const auto root = platform::TXmlDocument::LoadFromFile(FileName).DocumentElement();
  EXPECT_EQ(root.Name(), "Options");
  EXPECT_EQ(root.Attributes(),
            (std::vector<std::pair<std::string, std::string>>{{"ExternalFileExts", "Doc;pdf"}}));
  EXPECT_TRUE(root.Children().empty());
}

TEST_F(CommonSettingsMergeTest, AnEmptyPackageListTouchesNothing) {
  Merge.Merge("");
  EXPECT_FALSE(platform::FileExists(FileName));
}

// A client that never ran for this user has no settings folder yet.
TEST_F(CommonSettingsMergeTest, CreatesTheMissingSettingsFolder) {
  std::string folder = Folder;
  std::replace(folder.begin(), folder.end(), '\\', '/');
  std::filesystem::remove_all(std::u8string(folder.begin(), folder.end()));
  Merge.Merge("pdf");
  EXPECT_EQ(Stored(), "pdf");
}

TEST_F(CommonSettingsMergeTest, ASettingsFileItCannotUseIsReportedAndKept) {
  struct Case {
    std::string content;
    bool parseError;
  };
  const Case cases[] = {
      {"<Options ExternalFileExts=\"doc\"", true},
      {"", true},
      {"<Settings ExternalFileExts=\"doc\"/>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    test::WriteFileBytes(FileName, c.content);
    if (c.parseError) {
      EXPECT_THROW(Merge.Merge("pdf"), platform::EXmlParseError);
    } else {
      EXPECT_THROW(Merge.Merge("pdf"), Exception);
    }
    EXPECT_EQ(test::ReadFileBytes(FileName), c.content);
  }
}

}  // namespace
}  // namespace kv::app
