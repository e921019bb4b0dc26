// Portable mode as a real command line turns it on: the test program runs itself with the
// switch, and the child reports the folders it sees, the relocated one among them, which it read
// as it started.

#include <gtest/gtest.h>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "sysinfo/SysInfo.Core.CommonUtils.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

// Runs only in the child, which names the file for its report as its last argument.
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

}  // namespace
}  // namespace kv
