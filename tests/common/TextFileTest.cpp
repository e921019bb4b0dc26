#include "common/TextFile.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "support/StringListItems.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using test::Items;

TEST(TextFileTest, TheByteOrderMarkSelectsTheEncoding) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"UTF-8", "\xEF\xBB\xBF\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0", "Папка"},
      {"UTF-16LE", std::string("\xFF\xFE\x1F\x04\x30\x04 \0", 8), "Па "},
      {"UTF-16BE", std::string("\xFE\xFF\x04\x1F\x04\x30\0 ", 8), "Па "},
      {"ANSI: the 1251 code page", "\xCF\xE0\xEF\xEA\xE0", "Папка"},
      {"UTF-8 without a mark is read as ANSI", "\xD0\x9F", "Рџ"},
      {"an odd last byte of UTF-16 is dropped", std::string("\xFF\xFE\x41\0\x42", 5), "A"},
      {"broken UTF-8 after the mark",
       "\xEF\xBB\xBF"
       "a\xFF",
       "a\xEF\xBF\xBD"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeText(c.bytes), c.text) << c.name;
  }
}

TEST(TextFileTest, LinesBreakAtAnyLineBreak) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\r\n", {"one"}},
      {"\r\n", {""}},
      {"one\r\ntwo\nthree\rfour", {"one", "two", "three", "four"}},
      {"a\r\r\nb\n\n", {"a", "", "b", ""}},
      {" spaced \t", {" spaced \t"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Items(SplitLines(c.text)), c.lines) << c.text;
  }
}

TEST(TextFileTest, LoadsTheLinesOfAFile) {
  test::TTempFolder folder;
  const std::string name = folder.Path("linkname.txt");
  test::WriteFileBytes(name, std::string("\xFF\xFE\x1F\x04\r\0\n\0x\0", 10));
  EXPECT_EQ(Items(LoadLinesFromFile(name)), (std::vector<std::string>{"П", "x"}));
  test::WriteFileBytes(name, "");
  EXPECT_EQ(LoadLinesFromFile(name).Count(), 0);
  EXPECT_THROW(LoadLinesFromFile(folder.Path("missing.txt")), EOSError);
}

}  // namespace
}  // namespace kv
