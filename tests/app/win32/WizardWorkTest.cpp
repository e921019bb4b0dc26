// The wizard's whole job under Wine, through its real window: files updated with backups, the
// log, the merged extension list, the desktop shortcuts and the data sources; and the rollback
// when the user cancels during the copy or on the shortcut page. Every case starts from a
// client with installed files in both targets and settings files of its own, and puts back what
// the client's folders held before.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/win32/EasySetupControls.h"
#include "app/win32/WizardDriving.h"
#include "common/Common.SysUtils.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "platform/win32/Com.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

#include <shlobj.h>

namespace kv::test {
namespace {

using namespace app::win32;
using platform::win32::Wide;

// The folder the package's files go to in both target roots; the test's own.
const std::string kOwnFolder = "WizardWorkTest";
const std::string kClientTree = "SwiftkitData\\Client\\";
const std::string kDocumentTree = "SwiftkitData\\Калвор-Divir\\";

// One file of the package: its tree (0 the client's, 1 the documents'), its package-relative
// path, its bytes, the bytes of the installed copy it replaces, and whether the wizard copies it.
struct TPackageFile {
  int Tag;
  std::string Path;
  std::string Bytes;
  std::optional<std::string> Installed;
  bool Copied;
};

const std::vector<TPackageFile>& PackageFiles() {
  static const std::vector<TPackageFile> files = {
      {0, kOwnFolder + "\\Conf\\settings.dat", "new settings\r\n", "old settings\r\n", true},
      {0, kOwnFolder + "\\Sub\\deep.bin", std::string("new\0deep\r\n\xff", 11),
       std::string("old\0deep", 8), true},
      // Only the exact name carries a shortcut name.
      {0, kOwnFolder + "\\Sub\\LINKNAME.TXT", "copied like any file", std::nullopt, true},
      {0, kOwnFolder + "\\New\\added.txt", "added", std::nullopt, true},
      {0, kOwnFolder + "\\linkname.txt", "Клиент", std::nullopt, false},
      {0, kOwnFolder + "\\.hidden.txt", "dotted file", std::nullopt, false},
      {0, kOwnFolder + "\\.cache\\skip.txt", "inside a dotted folder", std::nullopt, false},
      {1, kOwnFolder + "\\Docs\\linkname.txt",
       "\xEF\xBB\xBFДокументы WizardWorkTest\r\nвторая строка\r\n", std::nullopt, false},
      {1, kOwnFolder + "\\Docs\\Смета 1.txt", "новая смета", "старая смета", true},
      {1, kOwnFolder + "\\Docs\\.kvdata\\config.xml", "<config/>", std::nullopt, false},
      {1, kOwnFolder + "\\readme-WizardWorkTest.txt", "readme", std::nullopt, true},
  };
  return files;
}
// Entries of the package list: the files copied, their folders and the empty folder "Empty".
constexpr int kPackageEntries = 13;
// An installed file the package does not name.
const std::string kUntouched = kOwnFolder + "\\untouched.txt";

const std::string kSettings =
    "[links]\r\n"
    "docs=WizardWorkTest\\Docs\r\n"
    "readme=WizardWorkTest\\readme-WizardWorkTest.txt\r\n"
    "[connections]\r\n"
    "docs=WizardWorkTest\\Docs\r\n"
    "online=kalvorsmeta.ru\r\n"
    "[CommonSettings.XML]\r\n"
    "ExternalFileExts=DOC; pdf ;;txt\r\n";

const std::string kCommonSetting =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<Options ExternalFileExts=\"xls;doc\" Theme=\"Тёмная\"><Recent Count=\"3\"/></Options>\r\n";

const std::string kArchiveUid = "00112233445566778899AABBCCDDEEFF";
const std::string kConnections =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<Options>\r\n"
    "  <Connections>\r\n"
    "    <Connection_1 Address=\"C:\\Архив смет\" InstanceUID=\"" +
    kArchiveUid +
    "\" Enabled=\"True\" Caption=\"Архив\" Usages=\"Smeta\" UseRecycleBin=\"False\" "
    "ClassID=\"KV.Files\"/>\r\n"
    "  </Connections>\r\n"
    "  <NBTemplateLocation/>\r\n"
    "  <RegionInfo Name=\"Нет данных\" ShortCode=\"-1\"/>\r\n"
    "</Options>\r\n";

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The log's lines; the rich edit may end its lines with "\r" alone.
std::vector<std::string> Lines(std::string text) {
  text = StringReplace(text, "\r\n", "\n", rfReplaceAll);
  text = StringReplace(text, "\r", "\n", rfReplaceAll);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::string WithoutBackslash(const std::string& path) {
  return path.ends_with('\\') ? path.substr(0, path.size() - 1) : path;
}

// A shell link's target and working folder, read back through the shell.
struct TLink {
  std::string Path;
  std::string WorkingDirectory;
};

std::optional<TLink> ReadLink(const std::string& linkFile) {
  platform::win32::EnsureComInitialized();
  platform::win32::com_ptr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void()))) {
    return std::nullopt;
  }
  const auto file = link.query<IPersistFile>(IID_IPersistFile);
  if (!file || FAILED(file->Load(Wide(linkFile).c_str(), STGM_READ))) {
    return std::nullopt;
  }
  wchar_t path[MAX_PATH] = {};
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(link->GetPath(path, MAX_PATH, nullptr, 0)) ||
      FAILED(link->GetWorkingDirectory(folder, MAX_PATH))) {
    return std::nullopt;
  }
  return TLink{platform::win32::Narrow(path), platform::win32::Narrow(folder)};
}

class WizardWorkTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t display[8] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 8) == 0) {
      GTEST_SKIP() << "the wizard's window needs a display (scripts/test provides Xvfb)";
    }
    const auto& client = TSmeta9Information32::ClassInfo();
    FCommonRoot = client.CommonDataFolder();
    FAppRoot = client.MyFolderRoot();
    FSettingsFiles = {IncludeTrailingBackslash(client.CommonSettingFolder()) + "CommonSetting.xml",
                      client.ConnectionOptionsFilename()};
    FBackupsBefore = {Subfolders(BackupsOf(FCommonRoot)), Subfolders(BackupsOf(FAppRoot))};
    FBackupsExisted = {platform::DirectoryExists(BackupsOf(FCommonRoot)),
                       platform::DirectoryExists(BackupsOf(FAppRoot))};
    FDesktop = DesktopFolder();
    ASSERT_FALSE(FDesktop.empty()) << "no desktop folder in the registry";
    FLinks = {FDesktop + "\\Документы WizardWorkTest.lnk",
              FDesktop + "\\readme-WizardWorkTest.txt.lnk"};
    RemoveLeftovers();
    for (const std::string& file : FSettingsFiles) {
      FSettingsBefore.push_back(platform::FileExists(file) ? std::optional(ReadFileBytes(file))
                                                           : std::nullopt);
    }
    FCleanUp = true;

    platform::ForceDirectories(Folder());
    ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "Swiftkit.exe").c_str(),
                          Wide(Folder() + "Swiftkit.exe").c_str(), FALSE));
    InstallClient();
    for (const TPackageFile& file : PackageFiles()) {
      Write(Source(file.Tag, file.Path), file.Bytes);
      if (file.Installed) {
        Write(Target(file.Tag, file.Path), *file.Installed);
      }
    }
    platform::ForceDirectories(Folder() + kDocumentTree + kOwnFolder + "\\Empty");
    Write(Target(0, kUntouched), "stays");
    Write(Folder() + "settings.ini", kSettings);
    platform::ForceDirectories(ExtractFilePath(FSettingsFiles[0]));
    Write(FSettingsFiles[0], kCommonSetting);
    Write(FSettingsFiles[1], kConnections);
  }

  void TearDown() override {
    if (HasFailure() && FWizard && IsWindow(FWizard->Window())) {
      SaveScreenshot(FWizard->Window(), Name() + "-failed");
    }
    FWizard.reset();
    FClientKey.reset();
    if (!FCleanUp) {
      return;
    }
    RemoveLeftovers();
    for (size_t i = 0; i < FSettingsFiles.size(); ++i) {
      if (FSettingsBefore[i]) {
        WriteFileBytes(FSettingsFiles[i], *FSettingsBefore[i]);
      } else {
        platform::DeleteFile(FSettingsFiles[i]);
      }
    }
  }

  std::string Folder() const { return FTemp.Path("wizard\\"); }
  std::string Name() const {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  std::string Source(int tag, const std::string& path) const {
    return Folder() + (tag == 0 ? kClientTree : kDocumentTree) + path;
  }
  std::string Target(int tag, const std::string& path) const {
    return (tag == 0 ? FCommonRoot : FAppRoot) + path;
  }
  static std::string BackupsOf(const std::string& root) { return root + "ExpressBackup\\"; }

  static void Write(const std::string& path, const std::string& bytes) {
    platform::ForceDirectories(ExtractFilePath(path));
    WriteFileBytes(path, bytes);
  }

  // The backup folders this run made in each target root ("ExpressBackup\" and its stamp).
  std::vector<std::string> NewBackupFolders(int tag) const {
    const std::string backups = BackupsOf(tag == 0 ? FCommonRoot : FAppRoot);
    std::vector<std::string> made;
    for (const std::string& name : Subfolders(backups)) {
      if (!FBackupsBefore[tag].contains(name)) {
        made.push_back(backups + name + "\\");
      }
    }
    return made;
  }

  TWizard& StartWizard() {
    FWizard = std::make_unique<TWizard>(Folder());
    EXPECT_TRUE(FWizard->WaitForWindow());
    EXPECT_TRUE(FWizard->WaitForPage("welcome"));
    // The first window of a fresh display takes input only once it has settled.
    FWizard->Settle();
    return *FWizard;
  }

  void ExpectEnds(const TWizard& wizard) const {
    const std::optional<DWORD> code = wizard.Process().WaitForExit();
    ASSERT_TRUE(code) << "the wizard did not end";
    EXPECT_EQ(*code, 0u);
  }

  // Every installed file as it was before the wizard ran.
  void ExpectInstalledFilesAsBefore() const {
    for (const TPackageFile& file : PackageFiles()) {
      if (file.Installed) {
        EXPECT_EQ(ReadFileBytes(Target(file.Tag, file.Path)), *file.Installed) << file.Path;
      }
    }
    EXPECT_EQ(ReadFileBytes(Target(0, kUntouched)), "stays");
  }

  // The rollback moved every backup back and removed the stamped folders.
  void ExpectNoBackupsLeft() const {
    for (int tag : {0, 1}) {
      for (const std::string& folder : NewBackupFolders(tag)) {
        ADD_FAILURE() << "a backup folder is left: " << folder;
      }
    }
  }

  // The client's settings: the merged extension list, with the rest of the file kept.
  void ExpectExtensionsMerged() const {
    const auto document = platform::TXmlDocument::LoadFromFile(FSettingsFiles[0]);
    const platform::TXmlNode root = document.DocumentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root.Name(), "Options");
    EXPECT_EQ(root.Attribute("ExternalFileExts"), "doc;pdf;txt;xls");
    EXPECT_EQ(root.Attribute("Theme"), "Тёмная");
    EXPECT_TRUE(root.Child("Recent"));
  }

  // Connections.xml as the test wrote it, never rewritten.
  void ExpectSourcesAsBefore() const { EXPECT_EQ(ReadFileBytes(FSettingsFiles[1]), kConnections); }

  // Connections.xml: the source that was there, the checked package folder and the online
  // service, in the client's layout.
  void ExpectSourcesRegistered() const {
    const auto document = platform::TXmlDocument::LoadFromFile(FSettingsFiles[1]);
    const platform::TXmlNode root = document.DocumentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root.Name(), "Options");
    std::vector<std::string> sections;
    for (const platform::TXmlNode& child : root.SelectNodes("*")) {
      sections.push_back(child.Name());
    }
    EXPECT_EQ(sections,
              (std::vector<std::string>{"Connections", "NBTemplateLocation", "RegionInfo"}));

    const platform::TXmlNodeList connections = root.SelectNodes("Connections/*");
    ASSERT_EQ(connections.size(), 3u) << "Connections.xml:\n" << ReadFileBytes(FSettingsFiles[1]);
    const auto names = [](const platform::TXmlNode& node) {
      std::vector<std::string> result;
      for (const auto& [name, value] : node.Attributes()) {
        result.push_back(name);
      }
      return result;
    };
    const std::vector<std::string> folderLayout = {"Address", "InstanceUID",   "Enabled", "Caption",
                                                   "Usages",  "UseRecycleBin", "ClassID"};

    EXPECT_EQ(connections[0].Name(), "Connection_1");
    EXPECT_EQ(connections[0].Attribute("Caption"), "Архив");
    EXPECT_EQ(connections[0].Attribute("InstanceUID"), kArchiveUid);

    const platform::TXmlNode folder = connections[1];
    EXPECT_EQ(folder.Name(), "Connection_2");
    EXPECT_EQ(names(folder), folderLayout);
    EXPECT_EQ(folder.Attribute("Address"), FAppRoot + kOwnFolder + "\\Docs");
    EXPECT_EQ(folder.Attribute("Caption"), "Docs");
    EXPECT_EQ(folder.Attribute("Enabled"), "True");
    EXPECT_EQ(folder.Attribute("Usages"), "Smeta");
    EXPECT_EQ(folder.Attribute("UseRecycleBin"), "False");
    EXPECT_EQ(folder.Attribute("ClassID"), "KV.Files");
    const std::string uid = folder.Attribute("InstanceUID").value_or("");
    EXPECT_EQ(uid.size(), 32u);
    EXPECT_EQ(uid.find_first_not_of("0123456789ABCDEF"), std::string::npos) << uid;

    const platform::TXmlNode online = connections[2];
    EXPECT_EQ(online.Name(), "Connection_3");
    EXPECT_EQ(online.Attribute("Caption"), OnlineServiceCaption);
    EXPECT_EQ(online.Attribute("ClassID"), "KV.KalvorSmeta.Ru.SmetaDocs");
    EXPECT_EQ(online.Attribute("Usages"), "Smeta");
    if (const auto address = online.Attribute("Address")) {
      EXPECT_TRUE(address->ends_with("/Api/SmetaDocs")) << *address;
    }

    const platform::TXmlNode region = root.Child("RegionInfo");
    EXPECT_EQ(region.Attribute("Name"), "Нет данных");
    EXPECT_EQ(region.Attribute("ShortCode"), "-1");
  }

  std::string FCommonRoot;
  std::string FAppRoot;
  std::vector<std::string> FLinks;
  std::unique_ptr<TWizard> FWizard;

 private:
  // The stand-in client in its install folder and its uninstall entry in the 32-bit view.
  void InstallClient() {
    const std::string location = FTemp.Path("Калвор\\");
    platform::ForceDirectories(location + "Client");
    ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "StandInClient.exe").c_str(),
                          Wide(location + "Client\\Kvsmeta.exe").c_str(), FALSE));
    FClientKey = std::make_unique<TTestRegistryKey>(
        kUninstall + TSmeta9Information32::ClassInfo().RegistryKey(), KEY_WOW64_32KEY);
    FClientKey->SetString("InstallLocation", location);
  }

  // What this test puts into the client's folders and onto the desktop.
  void RemoveLeftovers() const {
    std::error_code ignored;
    for (const std::string& root : {FCommonRoot, FAppRoot}) {
      std::filesystem::remove_all(StdPath(root + kOwnFolder), ignored);
    }
    for (int tag : {0, 1}) {
      for (const std::string& folder : NewBackupFolders(tag)) {
        std::filesystem::remove_all(StdPath(folder), ignored);
      }
      if (!FBackupsExisted[tag]) {
        platform::RemoveDir(BackupsOf(tag == 0 ? FCommonRoot : FAppRoot));
      }
    }
    for (const std::string& link : FLinks) {
      platform::DeleteFile(link);
    }
  }

  TTempFolder FTemp;
  std::string FDesktop;
  std::vector<std::string> FSettingsFiles;
  std::vector<std::optional<std::string>> FSettingsBefore;
  std::array<std::set<std::string>, 2> FBackupsBefore;
  std::array<bool, 2> FBackupsExisted = {};
  bool FCleanUp = false;
  std::unique_ptr<TTestRegistryKey> FClientKey;
};

TEST_F(WizardWorkTest, TheFullRunUpdatesBacksUpLinksAndRegisters) {
  TWizard& wizard = StartWizard();
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("copied"));
  wizard.Screenshot("work-1-copied");

  // Files: the package's bytes in place, the replaced ones in the stamped backups.
  const std::vector<std::string> commonBackups = NewBackupFolders(0);
  const std::vector<std::string> appBackups = NewBackupFolders(1);
  ASSERT_EQ(commonBackups.size(), 1u);
  ASSERT_EQ(appBackups.size(), 1u);
  const auto backupOf = [&](const TPackageFile& file) {
    return (file.Tag == 0 ? commonBackups[0] : appBackups[0]) + file.Path;
  };
  for (const TPackageFile& file : PackageFiles()) {
    SCOPED_TRACE(file.Path);
    const std::string target = Target(file.Tag, file.Path);
    if (!file.Copied) {
      EXPECT_FALSE(platform::FileExists(target));
      continue;
    }
    ASSERT_TRUE(platform::FileExists(target));
    EXPECT_EQ(ReadFileBytes(target), file.Bytes);
    if (file.Installed) {
      EXPECT_EQ(ReadFileBytes(backupOf(file)), *file.Installed);
    } else {
      EXPECT_FALSE(platform::FileExists(backupOf(file)));
    }
  }
  EXPECT_FALSE(platform::DirectoryExists(Target(0, kOwnFolder + "\\.cache")));
  EXPECT_FALSE(platform::DirectoryExists(Target(1, kOwnFolder + "\\Docs\\.kvdata")));
  EXPECT_FALSE(platform::DirectoryExists(Target(1, kOwnFolder + "\\Empty")));
  EXPECT_EQ(ReadFileBytes(Target(0, kUntouched)), "stays");
  ExpectExtensionsMerged();

  // The log: one line per step, in any order the file system lists the package, then the
  // summary.
  std::vector<std::string> log = Lines(wizard.Text(idMemStatus));
  const std::vector<std::string> summary = {
      "Все файлы обновлены.", "Количество обновленных файлов: " + std::to_string(kPackageEntries),
      "", "Для продолжения нажмите \"Далее>\""};
  ASSERT_GE(log.size(), summary.size());
  EXPECT_EQ(std::vector(log.end() - summary.size(), log.end()), summary);
  log.resize(log.size() - summary.size());
  const auto created = [](const std::string& folder) {
    return "Создана директория \"" + folder + "\"";
  };
  std::vector<std::string> steps = {
      created(commonBackups[0] + kOwnFolder + "\\Conf\\"),
      created(commonBackups[0] + kOwnFolder + "\\Sub\\"),
      created(FCommonRoot + kOwnFolder + "\\New\\"),
      created(appBackups[0] + kOwnFolder + "\\Docs\\"),
  };
  for (const TPackageFile& file : PackageFiles()) {
    if (file.Installed) {
      steps.push_back("Файл \"" + file.Path + "\" сохранен в бэкапе.");
      steps.push_back("Файл \"" + file.Path + "\" обновлен.");
    } else if (file.Copied) {
      steps.push_back("Файл \"" + file.Path + "\" добавлен.");
    }
  }
  std::sort(log.begin(), log.end());
  std::sort(steps.begin(), steps.end());
  EXPECT_EQ(log, steps);

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("shortcuts"));
  wizard.Screenshot("work-2-shortcuts");
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("connections"));
  wizard.Screenshot("work-3-connections");

  // The preselected folder (named by its linkname.txt) and file, pointing at the installed copies.
  const std::string installed = FAppRoot + kOwnFolder;
  const std::pair<std::string, std::string> links[] = {
      {FLinks[0], installed + "\\Docs"},
      {FLinks[1], installed + "\\readme-WizardWorkTest.txt"},
  };
  for (const auto& [linkFile, target] : links) {
    SCOPED_TRACE(linkFile);
    const std::optional<TLink> link = ReadLink(linkFile);
    ASSERT_TRUE(link);
    EXPECT_TRUE(platform::SameTextLocale(link->Path, target)) << link->Path;
    EXPECT_TRUE(platform::SameTextLocale(WithoutBackslash(link->WorkingDirectory), installed))
        << link->WorkingDirectory;
  }

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("done"));
  EXPECT_EQ(wizard.Text(idLblFinish), kFinishedText);
  wizard.Screenshot("work-4-done");
  ExpectSourcesRegistered();
  wizard.ClickNext();
  ExpectEnds(wizard);
}

// The large file replaces an installed one, or is new.
class WizardCancelCopyTest : public WizardWorkTest, public testing::WithParamInterface<bool> {};

TEST_P(WizardCancelCopyTest, CancelDuringTheCopyOfALargeFileRestoresAndEnds) {
  const bool replaces = GetParam();
  // Large enough that the copy takes seconds under Wine; zeros, so that it is quick to make.
  const std::string big = kOwnFolder + "\\Big\\big.bin";
  constexpr LONGLONG kBigSize = 600LL * 1024 * 1024;
  if (replaces) {
    Write(Target(0, big), "old big");
  }
  Write(Source(0, big), "");
  {
    const platform::win32::unique_handle file(CreateFileW(
        Wide(Source(0, big)).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = kBigSize;
    ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }

  TWizard& wizard = StartWizard();
  wizard.ClickNext();
  // Cancel once the large file is partly written.
  const auto copying = Poll<bool>([&]() -> std::optional<bool> {
    const int percent = wizard.ProgressPosition(idPbCurrentProgress);
    return wizard.Text(idLblStatus) == Source(0, big) && percent >= 1 && percent <= 30
               ? std::optional(true)
               : std::nullopt;
  });
  ASSERT_TRUE(copying) << "the large file's copy was not seen; status: "
                       << wizard.Text(idLblStatus);
  wizard.ClickCancel();
  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  if (replaces) {
    wizard.Screenshot("work-cancel-copy-question");
  }
  const int percent = wizard.ProgressPosition(idPbCurrentProgress);
  EXPECT_LT(percent, 100) << "the copy ended before the question";
  AnswerQuestion(*box, kCancelQuestion, IDYES);
  ExpectEnds(wizard);

  // The half-written target is gone; an installed file is back.
  if (replaces) {
    EXPECT_EQ(ReadFileBytes(Target(0, big)), "old big");
  } else {
    EXPECT_FALSE(platform::FileExists(Target(0, big)));
  }
  ExpectInstalledFilesAsBefore();
  ExpectNoBackupsLeft();
  ExpectExtensionsMerged();
}

INSTANTIATE_TEST_SUITE_P(LargeFile, WizardCancelCopyTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Replacing" : "New";
                         });

// The cancelled update has put everything back: the client's data sources stay as they were.
TEST_F(WizardWorkTest, CancelOnTheShortcutPageRestoresAndRegistersNothing) {
  TWizard& wizard = StartWizard();
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("copied"));
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("shortcuts"));
  wizard.ClickCancel();
  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  AnswerQuestion(*box, kCancelQuestion, IDYES);

  ASSERT_TRUE(wizard.WaitForPage("connections"));
  wizard.Screenshot("work-cancel-links-connections");
  ExpectInstalledFilesAsBefore();
  ExpectNoBackupsLeft();
  for (const std::string& link : FLinks) {
    EXPECT_FALSE(platform::FileExists(link)) << link;
  }

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("done"));
  EXPECT_EQ(wizard.Text(idLblFinish), kCancelledText);
  wizard.Screenshot("work-cancel-links-done");
  ExpectSourcesAsBefore();
  ExpectExtensionsMerged();
  wizard.ClickNext();
  ExpectEnds(wizard);
}

}  // namespace
}  // namespace kv::test
