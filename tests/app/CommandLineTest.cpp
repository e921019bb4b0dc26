#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "support/Thrown.h"

namespace kv::app {
namespace {

TEST(CommandLineTest, NoArgumentsIsTheWindowWithNothingElse) {
  const TCommandLine line = ParseCommandLine({});
  EXPECT_EQ(line.Mode, TRunMode::Window);
  EXPECT_FALSE(line.Check);
  EXPECT_EQ(line.LogFile, "");
  EXPECT_EQ(line.ResultFile, "");
}

TEST(CommandLineTest, SwitchesMatchRegardlessOfCaseAndPrefix) {
  const TCommandLine line =
      ParseCommandLine({"-SILENT", "/Check", "/LOG:C:\\Logs\\Run: one.log", "-result:r.json"});
  EXPECT_EQ(line.Mode, TRunMode::Silent);
  EXPECT_TRUE(line.Check);
  // The file keeps its case and everything after the first colon.
  EXPECT_EQ(line.LogFile, "C:\\Logs\\Run: one.log");
  EXPECT_EQ(line.ResultFile, "r.json");
  EXPECT_EQ(ParseCommandLine({"/pRoGrEsS"}).Mode, TRunMode::Progress);
}

TEST(CommandLineTest, RefusesWhatItDoesNotUnderstand) {
  struct Case {
    std::vector<std::string> args;
    const char* named;  // what the message must name
  };
  const Case cases[] = {
      {{"/quiet"}, "/quiet"},
      {{"silent"}, "silent"},
      {{"/"}, "/"},
      {{""}, ""},
      {{"/silentx"}, "/silentx"},
      {{"/silent:yes"}, "/silent:yes"},
      {{"/log"}, "/log"},
      {{"/log:"}, "/log:"},
      {{"/result"}, "/result"},
      {{"/log:a.txt", "/LOG:b.txt"}, "/LOG:b.txt"},
      {{"/check", "-check"}, "-check"},
      {{"/silent", "/progress"}, "/progress"},
      {{"/silent", "extra"}, "extra"},
  };
  for (const Case& c : cases) {
    const std::string message = test::MessageOf<EBadArguments>([&] { ParseCommandLine(c.args); });
    EXPECT_NE(message.find(c.named), std::string::npos) << c.named << ": " << message;
    // Every refusal tells what the program does understand.
    EXPECT_NE(message.find("/result:"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace kv::app
