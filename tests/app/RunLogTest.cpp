#include "app/RunLog.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "base/Exceptions.h"
#include "support/TempFolder.h"

namespace kv::app {
namespace {

using test::ReadFileBytes;

const std::string kBom = "\xEF\xBB\xBF";

TEST(RunLogTest, LinesAreStampedAndAppendedAfterOneByteOrderMark) {
  test::TTempFolder temp;
  const std::string path = temp.Path("журнал.log");
  TRunLog(path).Write("первый запуск");
  {
    TRunLog log(path);
    // A message of several lines keeps each of them, whatever ends them.
    log.Write("одна\r\nдве\nтри\r");
    log.Write("");
  }

  const std::string text = ReadFileBytes(path);
  ASSERT_TRUE(text.starts_with(kBom));
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  )";
  EXPECT_TRUE(std::regex_match(text.substr(kBom.size()),
                               std::regex(stamp + "первый запуск\r\n" + stamp + "одна\r\n" + stamp +
                                          "две\r\n" + stamp + "три\r\n" + stamp + "\r\n")))
      << text;
}

TEST(RunLogTest, AnExistingFileKeepsItsContentAndGetsNoSecondMark) {
  test::TTempFolder temp;
  const std::string path = temp.Path("old.log");
  test::WriteFileBytes(path, "earlier\r\n");
  TRunLog(path).Write("later");
  const std::string text = ReadFileBytes(path);
  EXPECT_TRUE(text.starts_with("earlier\r\n")) << text;
  EXPECT_EQ(text.find(kBom), std::string::npos);
}

TEST(RunLogTest, AFileThatCannotBeWrittenRaisesAtOnce) {
  test::TTempFolder temp;
  EXPECT_THROW(TRunLog(temp.Path("missing\\folder\\run.log")), EOSError);
  // A folder in the file's place.
  EXPECT_THROW(TRunLog(temp.Path("")), EOSError);
}

}  // namespace
}  // namespace kv::app
