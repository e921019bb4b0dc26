#include "sysinfo/SysInfo.Core.CommonUtils.h"

#include <gtest/gtest.h>

#include <climits>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "support/FakeRegistry.h"
#include "support/TempFolder.h"

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

}  // namespace
}  // namespace kv
