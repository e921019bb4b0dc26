// Our profile-file reader against the system's own, on the same files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ProfileFile.h"
#include "app/dlgEasySetup.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/win32/Win32.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using platform::win32::Narrow;
using platform::win32::Wide;

std::string SystemReadString(const std::string& file, const std::string& section,
                             const std::string& key) {
  std::wstring buffer(2048, L'\0');
  const DWORD length =
      GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), L"<default>",
                               buffer.data(), 2048, Wide(file).c_str());
  return Narrow({buffer.data(), length});
}

std::vector<std::string> SystemReadSection(const std::string& file, const std::string& section) {
  std::wstring buffer(16384, L'\0');
  const DWORD length = GetPrivateProfileStringW(Wide(section).c_str(), nullptr, L"", buffer.data(),
                                                16384, Wide(file).c_str());
  std::vector<std::string> names;
  for (size_t start = 0; start < length;) {
    const size_t end = buffer.find(L'\0', start);
    names.push_back(Narrow({buffer.data() + start, end - start}));
    start = end + 1;
  }
  return names;
}

std::string Utf16LeWithMark(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : platform::Utf8ToUtf16(text)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// Wine's reader ignores the case of ASCII letters only, so names in other letters are asked for
// as written here; our own tests cover their case.
TEST(SystemProfileReaderTest, BothReadersReadTheSameValues) {
  const std::string files[] = {
      "[Ссылки]\r\nКлюч=Смета\r\n",
      "  [s]  \r\n  key  =  a  b  \t\r\n",
      "[s]\nkey=a=b\nempty=\nbare\n",
      "[s]\r\nkey=1\r\nKEY=2\r\n",
      "[s]\r\na=1\r\n[S]\r\na=2\r\nb=3\r\n",
      "key=1\r\n[s]\r\n",
      "[s] ; note\r\nkey=1\r\n",
      "[s]\r\nq1=\"a b\"\r\nq2='a'\r\nq3=\"\"\r\nq4=\"a\"b\"\r\nq5=\"a\r\nq6=\"\r\nq7=\"a'\r\n",
      "[s]\r\n;key=1\r\nkey=2\r\n",
      "[s]\r\nlong=" + std::string(3000, 'x') + "\r\n",
  };
  const std::vector<std::pair<std::string, std::string>> queries = {
      {"Ссылки", "Ключ"}, {"s", "key"}, {"S", "KEY"},  {"s", "empty"}, {"s", "bare"}, {"s", "a"},
      {"s", "b"},         {"s", "q1"},  {"s", "q2"},   {"s", "q3"},    {"s", "q4"},   {"s", "q5"},
      {"s", "q6"},        {"s", "q7"},  {"s", "long"}, {"s", ";key"},  {"t", "key"},
  };
  test::TTempFolder temp;
  const std::string path = temp.Path("settings.ini");
  for (const std::string& text : files) {
    for (const std::string& bytes :
         {platform::EncodeCodePage(platform::AnsiCodePage(), text), Utf16LeWithMark(text)}) {
      test::WriteFileBytes(path, bytes);
      const TProfileFile ours = TProfileFile::Load(path);
      for (const auto& [section, key] : queries) {
        EXPECT_EQ(ours.ReadString(section, key, "<default>"), SystemReadString(path, section, key))
            << text << " [" << section << "] " << key;
      }
      for (const char* section : {"s", "Ссылки"}) {
        EXPECT_EQ(ours.ReadSection(section), SystemReadSection(path, section))
            << text << " [" << section << "]";
      }
    }
  }
}

TEST(SystemProfileReaderTest, ASettingsFileHeldByAnotherProgramLeavesTheDefaults) {
  test::TWizardWorld world;
  world.AddPackageFolder(TPackageTree::Document, "Шаблоны");
  world.WriteSettings("[links]\nshowdialog=0\na=Шаблоны\n");
  const auto held =
      platform::OpenFile(world.ProgramFolder + "settings.ini", platform::TFileOpenMode::OpenRead,
                         platform::TFileShare::Exclusive);
  TfrmEasySetup& form = world.CreateWizard();
  EXPECT_TRUE(form.ShowLinksDialog());
  EXPECT_TRUE(form.AutoLinks().empty());
}

}  // namespace
}  // namespace kv::app
