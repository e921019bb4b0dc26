#include "app/Package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;

std::string Utf16LeWithMark(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : platform::Utf8ToUtf16(text)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string Ansi(const std::string& text) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), text);
}

// A package whose document tree holds files and folders with Cyrillic names, and a client tree
// beside it.
class PackageSettingsTest : public testing::Test {
 protected:
  PackageSettingsTest() {
    FWorld.AddPackageFile(TPackageTree::Document, "Мои Сметы\\Смета.kvd8", "smeta");
    FWorld.AddPackageFile(TPackageTree::Document, "Шаблоны\\Акт.xlt", "act");
    FWorld.AddPackageFile(TPackageTree::Document, "Отчёт.xls", "report");
    FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "base");
  }

  TPackageSettings Read(const std::string& settingsBytes) const {
    FWorld.WriteSettings(settingsBytes);
    return TPackage(FWorld.ProgramFolder).ReadSettings();
  }

  test::TWizardWorld FWorld;
};

const char* const kFullSettings =
    "[links]\r\n"
    "showdialog=0\r\n"
    "a=Мои Сметы\\Смета.kvd8\r\n"
    "b=Шаблоны\r\n"
    "c=Мои Сметы\\\r\n"
    "d=Data\\base.dat\r\n"
    "e=Нет такого\r\n"
    "\r\n"
    "[Connections]\r\n"
    "ShowDialog=$0\r\n"
    "x=Шаблоны\r\n"
    "y=Мои Сметы\\\r\n"
    "z=KALVORSMETA.RU\r\n"
    "w=Отчёт.xls\r\n"
    "v=\r\n"
    "u=Мои Сметы\\Смета.kvd8\r\n"
    "[commonsettings.xml]\r\n"
    "ExternalFileExts=xls;doc\r\n";

TEST_F(PackageSettingsTest, ReadsEveryFieldInAnsiOrUtf16) {
  const std::string encodings[] = {Ansi(kFullSettings), Utf16LeWithMark(kFullSettings)};
  for (const std::string& bytes : encodings) {
    const TPackageSettings settings = Read(bytes);
    EXPECT_FALSE(settings.ShowLinksDialog);
    EXPECT_FALSE(settings.ShowConnectionsDialog);
    // Files as written, folders with one trailing backslash; the client tree is not consulted.
    EXPECT_EQ(settings.AutoLinks, (Strings{"Мои Сметы\\Смета.kvd8", "Шаблоны\\", "Мои Сметы\\"}));
    EXPECT_EQ(settings.AutoConnections,
              (Strings{"Шаблоны\\", "Мои Сметы\\", "KALVORSMETA.RU", ""}));
    EXPECT_EQ(settings.ExternalFileExts, "xls;doc");
  }
}

TEST_F(PackageSettingsTest, WithoutAUsableFileEverythingKeepsItsDefault) {
  const std::string files[] = {
      "",
      "\xFF\xFE",
      "garbage without sections\n\x01\x02\xFF",
      "[links]\n[connections]\n[CommonSettings.XML]\n",
  };
  for (const std::string& bytes : files) {
    const TPackageSettings settings = Read(bytes);
    EXPECT_TRUE(settings.ShowLinksDialog);
    EXPECT_TRUE(settings.ShowConnectionsDialog);
    EXPECT_TRUE(settings.AutoLinks.empty());
    EXPECT_TRUE(settings.AutoConnections.empty());
    EXPECT_EQ(settings.ExternalFileExts, "");
  }
  // No file at all; and a folder in its place.
  platform::DeleteFile(FWorld.ProgramFolder + "settings.ini");
  const TPackage package(FWorld.ProgramFolder);
  EXPECT_TRUE(package.ReadSettings().ShowLinksDialog);
  EXPECT_TRUE(package.ReadSettings().AutoLinks.empty());
  platform::ForceDirectories(FWorld.ProgramFolder + "settings.ini");
  EXPECT_TRUE(package.ReadSettings().ShowConnectionsDialog);
}

TEST_F(PackageSettingsTest, OnlyAnIntegerZeroHidesAPage) {
  struct Case {
    const char* value;
    bool shown;
  };
  const Case cases[] = {
      {"0", false},  {"0x0", false}, {"$0", false}, {"00", false},         {"\"0\"", false},
      {"1", true},   {"-1", true},   {"2", true},   {"нет", true},         {"false", true},
      {"0.0", true}, {"", true},     {"0x", true},  {"99999999999", true},
  };
  for (const Case& c : cases) {
    const TPackageSettings settings = Read(Ansi(std::string("[links]\nshowdialog=") + c.value +
                                                "\n[connections]\nshowdialog=" + c.value + "\n"));
    EXPECT_EQ(settings.ShowLinksDialog, c.shown) << c.value;
    EXPECT_EQ(settings.ShowConnectionsDialog, c.shown) << c.value;
  }
}

TEST_F(PackageSettingsTest, TheShowDialogValueIsAlsoReadAsAPath) {
  FWorld.AddPackageFolder(TPackageTree::Document, "1");
  const TPackageSettings settings = Read("[links]\nshowdialog=1\n[connections]\nshowdialog=1\n");
  EXPECT_EQ(settings.AutoLinks, Strings{"1\\"});
  EXPECT_EQ(settings.AutoConnections, Strings{"1\\"});
}

// Whatever exists around the document tree must never be preselected through a path that
// climbs out of it. A path part that begins with a dot never names a package entry (the scan
// skips such names), so every such path is dropped.
TEST_F(PackageSettingsTest, PathsThroughDotPartsAreDroppedSoNoneLeavesTheDocumentTree) {
  test::TWizardWorld::WriteFile(FWorld.ProgramFolder + "SwiftkitData\\secret.txt", "secret");
  test::TWizardWorld::WriteFile(FWorld.Temp.Path("outside\\x.txt"), "x");
  const std::string values[] = {
      "..\\secret.txt",
      "../secret.txt",
      "..\\Client\\Data\\base.dat",
      "..\\Client\\Data",
      "..",
      "..\\",
      "..\\..\\settings.ini",
      "Мои Сметы\\..\\..\\secret.txt",
      "Мои Сметы\\..\\Отчёт.xls",
      ".\\Отчёт.xls",
      "..\\..\\..\\outside",
      "..\\..\\..\\outside\\x.txt",
      FWorld.Temp.Path("outside\\x.txt"),
      FWorld.Temp.Path("outside"),
  };
  std::string settings = "[links]\n";
  for (size_t i = 0; i < std::size(values); ++i) {
    settings += "l" + std::to_string(i) + "=" + values[i] + "\n";
  }
  settings += "[connections]\n";
  for (size_t i = 0; i < std::size(values); ++i) {
    settings += "c" + std::to_string(i) + "=" + values[i] + "\n";
  }
  const TPackageSettings read = Read(Ansi(settings));
  EXPECT_EQ(read.AutoLinks, Strings{});
  EXPECT_EQ(read.AutoConnections, Strings{});
}

TEST_F(PackageSettingsTest, LongValuesAreCutAt2047Characters) {
  std::string extensions;
  while (platform::Utf16Length(extensions) < 3000) {
    extensions += "док;";
  }
  const TPackageSettings settings =
      Read(Ansi("[CommonSettings.XML]\nExternalFileExts=" + extensions + "\n"));
  EXPECT_EQ(platform::Utf16Length(settings.ExternalFileExts), 2047u);
  EXPECT_EQ(settings.ExternalFileExts, extensions.substr(0, settings.ExternalFileExts.size()));
}

// Every entry of the client tree, then of the document tree, each folder right before its content
// and naming it as the parent of what it holds; dotted names and "linkname.txt" are no entries.
TEST(PackageScanTest, ListsBothTreesAsEntriesWithTheirParents) {
  test::TWizardWorld world;
  world.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "b");
  world.AddPackageFile(TPackageTree::Client, ".svn\\entries", "skipped with its folder");
  world.AddPackageFile(TPackageTree::Document, "Сметы\\Архив\\old.smt", "o");
  world.AddPackageFile(TPackageTree::Document, "Сметы\\linkname.txt", "Мои сметы");
  world.AddPackageFile(TPackageTree::Document, "Сметы\\.hidden", "h");
  world.AddPackageFile(TPackageTree::Document, "Шаблоны\\LINKNAME.TXT", "an ordinary file");
  world.AddPackageFolder(TPackageTree::Document, "Пустая");
  const TPackage package(world.ProgramFolder);

  const std::vector<TPackageEntry> entries = package.Scan();
  Strings listed;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TPackageEntry& entry = entries[i];
    listed.push_back(std::to_string(static_cast<int>(entry.Tree)) + " " + entry.Path +
                     (entry.IsFolder ? "\\" : ""));
    EXPECT_EQ(entry.Name, entry.Path.substr(entry.Path.find_last_of('\\') + 1));
    if (entry.Parent < 0) {
      EXPECT_EQ(entry.Path, entry.Name);
      continue;
    }
    // The parent is an earlier folder of the same tree, and everything between belongs to it.
    const auto parent = static_cast<size_t>(entry.Parent);
    ASSERT_LT(parent, i);
    EXPECT_TRUE(entries[parent].IsFolder);
    EXPECT_EQ(entries[parent].Tree, entry.Tree);
    EXPECT_EQ(entries[parent].Path + "\\" + entry.Name, entry.Path);
    for (size_t between = parent + 1; between < i; ++between) {
      EXPECT_TRUE(entries[between].Path.starts_with(entries[parent].Path + "\\"))
          << entries[between].Path << " is apart from its folder";
    }
  }
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(Strings(listed.begin(), listed.begin() + 2), (Strings{"0 Data\\", "0 Data\\base.dat"}));
  Strings documents(listed.begin() + 2, listed.end());
  std::sort(documents.begin(), documents.end());
  EXPECT_EQ(documents,
            (Strings{"1 Пустая\\", "1 Сметы\\", "1 Сметы\\Архив\\", "1 Сметы\\Архив\\old.smt",
                     "1 Шаблоны\\", "1 Шаблоны\\LINKNAME.TXT"}));
  EXPECT_EQ(package.Source(entries[1]), world.ClientTree + "Data\\base.dat");
}

// A folder's shortcut name is the first line of its linkname.txt; a file without lines names
// none.
TEST(PackageScanTest, LinkNameIsTheFirstLineOfTheFoldersFile) {
  test::TWizardWorld world;
  world.AddPackageFolder(TPackageTree::Document, "Без имени");
  world.AddPackageFile(TPackageTree::Document, "Сметы\\linkname.txt",
                       "\xEF\xBB\xBFМои сметы\r\nвторая\r\n");
  world.AddPackageFile(TPackageTree::Document, "Пусто\\linkname.txt", "");
  const TPackage package(world.ProgramFolder);
  const auto folder = [](const std::string& path) {
    return TPackageEntry{path, TPackageTree::Document, path, true, -1};
  };
  EXPECT_EQ(package.LinkName(folder("Сметы")), std::optional<std::string>("Мои сметы"));
  EXPECT_EQ(package.LinkName(folder("Без имени")), std::nullopt);
  EXPECT_EQ(package.LinkName(folder("Пусто")), std::nullopt);
}

}  // namespace
}  // namespace kv::app
