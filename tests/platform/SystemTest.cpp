#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/System.h"

namespace kv::platform {
namespace {

TEST(ProgramFileNameTest, TheRunningTestProgram) {
  const std::string program = ProgramFileName();
  EXPECT_TRUE(FileExists(program)) << program;
  const std::string name = program.substr(program.find_last_of("\\/") + 1);
  EXPECT_TRUE(name == "kv_platform_tests" || name == "kv_platform_tests.exe") << program;
}

}  // namespace
}  // namespace kv::platform
