#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dlgEasySetup.h"
#include "common/Exceptions.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using test::TWizardWorld;

class MergeExternalFileExtsTest : public testing::Test {
 protected:
  MergeExternalFileExtsTest()
      : Form(World.CreateWizard()), FileName(World.CommonSettingFolder + "CommonSetting.XML") {}

  // The attribute as the file now holds it; nothing when the file or the attribute is absent.
  std::optional<std::string> Stored() const {
    if (!platform::FileExists(FileName)) {
      return std::nullopt;
    }
    return platform::TXmlDocument::LoadFromFile(FileName).DocumentElement().Attribute(
        "ExternalFileExts");
  }

  TWizardWorld World;
  TfrmEasySetup& Form;
  const std::string FileName;
};

TEST_F(MergeExternalFileExtsTest, MergesSortedWithoutDuplicatesTheStoredSpellingWinning) {
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
    Form.ExternalFileExts = c.package;
    Form.MergeExternalFileExts();
    EXPECT_EQ(Stored(), c.merged);
    // The rest of the settings stays.
    const auto root = platform::TXmlDocument::LoadFromFile(FileName).DocumentElement();
    EXPECT_EQ(root.Attribute("Version"), "9");
    EXPECT_EQ(root.Child("Ribbon").Attribute("Minimized"), "1");
  }
}

TEST_F(MergeExternalFileExtsTest, WithoutASettingsFileANewOneHoldsOnlyTheList) {
  platform::DeleteFile(FileName);
  Form.ExternalFileExts = "pdf;Doc";
  Form.MergeExternalFileExts();
  const auto root = platform::TXmlDocument::LoadFromFile(FileName).DocumentElement();
  EXPECT_EQ(root.Name(), "Options");
  EXPECT_EQ(root.Attributes(),
            (std::vector<std::pair<std::string, std::string>>{{"ExternalFileExts", "Doc;pdf"}}));
  EXPECT_TRUE(root.Children().empty());
}

TEST_F(MergeExternalFileExtsTest, AnEmptyPackageListTouchesNothing) {
  Form.ExternalFileExts = "";
  Form.MergeExternalFileExts();
  EXPECT_FALSE(platform::FileExists(FileName));
}

// A client that never ran for this user has no settings folder yet.
TEST_F(MergeExternalFileExtsTest, CreatesTheMissingSettingsFolder) {
  std::string folder = World.CommonSettingFolder;
  std::replace(folder.begin(), folder.end(), '\\', '/');
  std::filesystem::remove_all(std::u8string(folder.begin(), folder.end()));
  Form.ExternalFileExts = "pdf";
  Form.MergeExternalFileExts();
  EXPECT_EQ(Stored(), "pdf");
}

TEST_F(MergeExternalFileExtsTest, ASettingsFileItCannotUseIsReportedAndKept) {
  struct Case {
    std::string content;
    bool parseError;
  };
  const Case cases[] = {
      {"<Options ExternalFileExts=\"doc\"", true},
      {"", true},
      {"<Settings ExternalFileExts=\"doc\"/>", false},
  };
  Form.ExternalFileExts = "pdf";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    test::WriteFileBytes(FileName, c.content);
    if (c.parseError) {
      EXPECT_THROW(Form.MergeExternalFileExts(), platform::EXmlParseError);
    } else {
      EXPECT_THROW(Form.MergeExternalFileExts(), Exception);
    }
    EXPECT_EQ(test::ReadFileBytes(FileName), c.content);
  }
}

// The data-source page as the shortcut page leaves it: package folders and the online node.
class RegisterConnectionsTest : public testing::Test {
 protected:
  RegisterConnectionsTest() : Form(World.CreateWizard()), Tree(World.View.TreeView) {
    Form.SmetaAppFolder = World.MyFolderRoot;
    Form.SmetaCommonFolder = World.CommonDataFolder;
  }

  TTreeNode Folder(int tag, const std::string& path, bool checked, bool installed = true) {
    if (installed) {
      platform::ForceDirectories(
          (tag == DocumentTreeTag ? World.MyFolderRoot : World.CommonDataFolder) + path);
    }
    const TTreeNode node = Tree.AddChild(nullptr, path.substr(path.find_last_of('\\') + 1), 0,
                                         Form.DataList.Add(path, tag));
    Tree.SetChecked(node, checked, false);
    return node;
  }
  void Online(bool checked, const std::string& text = OnlineServiceCaption) {
    Tree.SetChecked(Tree.AddChild(nullptr, text, 0, -1), checked, true);
  }

  // The data sources Connections.xml holds, as the client reads them: "caption: folder" for a
  // folder, the caption alone for the online service.
  std::vector<std::string> Stored() const {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    std::vector<std::string> entries;
    for (const TConnection* connection : pool.Connections()) {
      const std::string classID = connection->ClassType().ClassID();
      if (classID == Files) {
        EXPECT_EQ(connection->Usages(), TStorageKinds{TStorageKind::Smeta});
        entries.push_back(connection->Caption() + ": " + connection->Address());
      } else if (classID == OnlineClass) {
        entries.push_back(connection->Caption());
      }
    }
    return entries;
  }
  // A data source the user registered before the update.
  static void Register(std::unique_ptr<TConnection> connection) {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    pool.AddConnection(std::move(connection), -1);
    pool.SaveToOptionsStorage();
  }

  TWizardWorld World;
  TfrmEasySetup& Form;
  test::FakeCheckedTree& Tree;
  const std::string Files = TFileSystemConnection::ClassInfo().ClassID();
  const std::string OnlineClass = TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID();
};

TEST_F(RegisterConnectionsTest, TheCheckedFoldersAndTheOnlineServiceBecomeDataSources) {
  Folder(DocumentTreeTag, "Сметы", true);
  Folder(DocumentTreeTag, "Сметы\\Архив", false);
  Folder(DocumentTreeTag, "Шаблоны", true, false);  // not installed: skipped
  Folder(ClientTreeTag, "Data", true);
  Online(true);
  Form.RegisterConnections();
  EXPECT_EQ(Stored(), (std::vector<std::string>{
                          "Сметы: " + World.MyFolderRoot + "Сметы",
                          "Data: " + World.CommonDataFolder + "Data",
                          OnlineServiceCaption,
                      }));
}

TEST_F(RegisterConnectionsTest, WhatIsRegisteredAlreadyIsNotAddedAgain) {
  auto folder = std::make_unique<TFileSystemConnection>();
  folder->SetCaption("Мои сметы");
  folder->SetAddress(platform::UpperCaseLocale(World.MyFolderRoot + "Сметы\\"));
  Register(std::move(folder));
  auto online = std::make_unique<TKalvorSmetaRuSmetaStorage::TConnection>();
  online->SetCaption("Сметы в сети");
  Register(std::move(online));
  const std::vector<std::string> before = Stored();
  ASSERT_EQ(before.size(), 2u);

  Folder(DocumentTreeTag, "Сметы", true);
  Online(true, platform::UpperCaseLocale(OnlineServiceCaption));
  Form.RegisterConnections();
  EXPECT_EQ(Stored(), before);
}

// Two package folders of one name: two data sources, the pool telling their captions apart.
TEST_F(RegisterConnectionsTest, FoldersOfOneNameInTwoPlaces) {
  Folder(DocumentTreeTag, "Сметы", true);
  Folder(DocumentTreeTag, "Архив\\Сметы", true);
  Form.RegisterConnections();
  const std::vector<std::string> stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], "Сметы: " + World.MyFolderRoot + "Сметы");
  EXPECT_TRUE(stored[1].ends_with(": " + World.MyFolderRoot + "Архив\\Сметы")) << stored[1];
  EXPECT_NE(stored[1].substr(0, stored[1].find(':')), "Сметы");
}

TEST_F(RegisterConnectionsTest, AnUnreadableConnectionsFileIsReportedAndKept) {
  const std::string fileName = World.CommonSettingFolder + "Connections.xml";
  test::WriteFileBytes(fileName, "<Connections><Item");
  Folder(DocumentTreeTag, "Сметы", true);
  EXPECT_THROW(Form.RegisterConnections(), Exception);
  EXPECT_EQ(test::ReadFileBytes(fileName), "<Connections><Item");
}

}  // namespace
}  // namespace kv::app
