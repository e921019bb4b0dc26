#include "sysinfo/SysInfo.Core.CommonUtils.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "support/ChildProcess.h"
#include "support/FakeRegistry.h"
#include "support/TempFolder.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

using platform::TRegistryView;

TEST(FormatByteSizeTest, LargestUnitThatKeepsAWholeNumber) {
  struct Case {
    int64_t size;
    const char* expected;
  };
  for (const Case& c : {
           Case{0, "0 байт"},
           Case{-5, "-5 байт"},
           Case{INT64_MIN, "-9223372036854775808 байт"},
           Case{1023, "1023 байт"},
           Case{1024, "1 Кбайт"},
           Case{1048575, "1023 Кбайт"},
           Case{1048576, "1 Мбайт"},
           Case{5LL * 1024 * 1024 * 1024 + 1, "5 Гбайт"},
           Case{1LL << 40, "1 Тбайт"},
           // No unit above Тбайт: the count keeps growing.
           Case{1LL << 50, "1024 Тбайт"},
           Case{INT64_MAX, "8388607 Тбайт"},
       }) {
    EXPECT_EQ(FormatByteSize(c.size), c.expected) << c.size;
  }
}

TEST(PortableModeSwitchTest, TheWholeArgumentAfterADashOrSlashInAnyCase) {
  struct Case {
    std::vector<std::string> args;
    int expected;
  };
  for (const Case& c : {
           Case{{}, kNormalMode},
           Case{{"-portable"}, kPortableMode},
           Case{{"/PORTABLE"}, kPortableMode},
           Case{{"C:\\data", "-PortaBle"}, kPortableMode},
           Case{{"portable"}, kNormalMode},
           Case{{"--portable"}, kNormalMode},
           Case{{"-portable:yes"}, kNormalMode},
           Case{{"-port"}, kNormalMode},
           Case{{"\\portable"}, kNormalMode},
       }) {
    EXPECT_EQ(PortableMode(c.args), c.expected) << TStringUtils::Join(c.args, " ");
  }
}

// Portable mode as a real command line turns it on: the test program runs itself with the
// switch, and the child reports the folders it sees, the relocated one among them, which it read
// as it started. This test runs only in the child, which names the file for its report as its
// last argument.
TEST(PortableModeTest, DISABLED_ChildReportsItsFolders) {
  const auto& client = TSmeta9Information32::ClassInfo();
  const std::string report = TStringUtils::Join(
      {std::to_string(PortableMode()), TSmeta6Information::ClassInfo().InstallFolder(),
       client.InstallFolder(), TSmeta9Information64::ClassInfo().InstallFolder(),
       client.CommonDataFolder(), client.AppDataFolder(), client.MyFolderRoot(),
       client.ApplicationPath(), client.LocalSetting()},
      "\n");
  test::WriteFileBytes(platform::CommandLineArgs().back(), report);
}

TEST(PortableModeTest, EveryRootIsTheProgramsOwnFolder) {
  const std::string program = platform::ProgramFileName();
  const std::string folder = IncludeTrailingBackslash(ExtractFileDir(program));
  const test::TTempFolder temp;
  const std::string output = temp.Path("report.txt");
  // In portable mode the relocation file lies in the program's own settings folder.
  const std::string relocation = folder + "Settings\\UserData32.xml";
  platform::ForceDirectories(folder + "Settings");
  test::WriteFileBytes(relocation, "<UserData LocalSetting=\"" + temp.Path("") + "\"/>");
  const int exitCode =
      test::RunProgram(program, {"--gtest_filter=PortableModeTest.DISABLED_ChildReportsItsFolders",
                                 "--gtest_also_run_disabled_tests", "/PORTABLE", output});
  platform::DeleteFile(relocation);
  ASSERT_EQ(exitCode, 0);

  const TStringList lines = SplitString(test::ReadFileBytes(output), "\n", false);
  ASSERT_EQ(lines.Count(), 9);
  EXPECT_EQ(lines[0], std::to_string(kPortableMode));
  for (int i = 1; i < 7; ++i) {
    EXPECT_EQ(lines[i], folder) << "line " << i;
  }
  EXPECT_EQ(lines[7], folder + "Kvsmeta.exe");
  EXPECT_EQ(lines[8], temp.Path(""));
}

TEST(ReadLocalMachineStringTest, EachRoutineReadsItsOwnView) {
  test::FakeRegistry registry;
  platform::TScopedCurrent<platform::IRegistry> scope(registry);
  registry.Set(TRegistryView::Registry32, "SOFTWARE\\Kalvor", "Path", "C:\\x86");
  registry.Set(TRegistryView::Registry64, "SOFTWARE\\Kalvor", "Path", "C:\\x64");
  registry.Set(TRegistryView::Registry64, "SOFTWARE\\Only64", "Path", "C:\\only");

  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Kalvor", "Path"), "C:\\x86");
  EXPECT_EQ(ReadLocalMachineString64("SOFTWARE\\Kalvor", "Path"), "C:\\x64");
  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Only64", "Path"), "");
  EXPECT_EQ(ReadLocalMachineString64("SOFTWARE\\Kalvor", "Other"), "");
}

TEST(CheckFolderWritePrivilegeTest, AWritableFolderWithOrWithoutTrailingBackslash) {
  const test::TTempFolder temp;
  const std::string folder = temp.Path("");
  for (const std::string& name : {folder, folder.substr(0, folder.size() - 1)}) {
    EXPECT_TRUE(CheckFolderWritePrivilege(name)) << name;
    EXPECT_FALSE(platform::FileExists(temp.Path("CheckFolderWritePrivilege.bin")))
        << "the probe file is left behind";
  }
}

TEST(CheckFolderWritePrivilegeTest, AFolderThatDoesNotExist) {
  const test::TTempFolder temp;
  EXPECT_FALSE(CheckFolderWritePrivilege(temp.Path("missing")));
}

TEST(GetNodeAttributeTextTest, LineBreaksBecomeCrLf) {
  const TXmlDocument document =
      LoadXMLFromBytes("<r a=\"one&#13;&#10;two&#10;three&#13;four\" empty=\"\"/>");
  const TXmlNode root = document.DocumentElement();
  EXPECT_EQ(GetNodeAttributeText(root, "a"), "one\r\ntwo\r\nthree\rfour");
  EXPECT_EQ(GetNodeAttributeText(root, "empty"), "");
  EXPECT_EQ(GetNodeAttributeText(root, "absent"), "");
  EXPECT_EQ(GetNodeAttributeText(TXmlNode(), "a"), "");
}

}  // namespace
}  // namespace kv
