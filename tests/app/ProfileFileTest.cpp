#include "app/ProfileFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "support/TempFolder.h"

namespace kv::app {
namespace {

using namespace std::string_literals;

std::string Ansi(const std::string& text) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), text);
}

std::string Utf16Bytes(const std::string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : platform::Utf8ToUtf16(text)) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST(ProfileFileTest, FindsValuesAsTheSystemReaderDoes) {
  struct Case {
    const char* file;
    const char* section;
    const char* key;
    const char* expected;  // "<default>" when the read falls back to the default
  };
  const Case cases[] = {
      {"[links]\nkey=value", "LINKS", "KEY", "value"},
      {"[Ссылки]\nКлюч=Смета", "ССЫЛКИ", "ключ", "Смета"},
      {"  [s]  \n  key  =  a  b  \t", "s", "key", "a  b"},
      {"[s]\r\nkey=value\r\n", "s", "key", "value"},
      {"[s]\nkey=a=b", "s", "key", "a=b"},
      {"[s]\nkey=", "s", "key", ""},
      {"[s]\nkey", "s", "key", "<default>"},
      {"[s]\nkey=1\nKEY=2", "s", "key", "1"},
      // Only the first section of a name is consulted.
      {"[s]\na=1\n[S]\na=2\nb=3", "s", "b", "<default>"},
      {"key=1\n[s]", "s", "key", "<default>"},
      {"[s]\nkey=1", "t", "key", "<default>"},
      {"[s] ; note\nkey=1", "s", "key", "1"},
      {"[s]\n[t\nkey=1", "s", "key", "1"},
      // One pair of enclosing quotes is taken off.
      {"[s]\nkey=\"a b\"", "s", "key", "a b"},
      {"[s]\nkey='a'", "s", "key", "a"},
      {"[s]\nkey=\"\"", "s", "key", ""},
      {"[s]\nkey=\"a\"b\"", "s", "key", "a\"b"},
      {"[s]\nkey=\"a", "s", "key", "\"a"},
      {"[s]\nkey=\"", "s", "key", "\""},
      {"[s]\nkey=\"a'", "s", "key", "\"a'"},
      {"", "s", "key", "<default>"},
  };
  for (const Case& c : cases) {
    const TProfileFile file = TProfileFile::Parse(Ansi(c.file));
    EXPECT_EQ(file.ReadString(c.section, c.key, "<default>"), c.expected) << c.file;
  }
}

TEST(ProfileFileTest, ListsKeyNamesInFileOrder) {
  const TProfileFile file = TProfileFile::Parse(
      "[other]\nx=1\n[links]\nb=2\n;comment=3\nbare\na=\n=4\nB=5\n\n[LINKS]\nc=6\n[more]\nd=7");
  EXPECT_EQ(file.ReadSection("Links"), (std::vector<std::string>{"b", "a", "B"}));
  EXPECT_TRUE(file.ReadSection("absent").empty());
}

TEST(ProfileFileTest, ReadsAnsiAndUtf16WithAByteOrderMark) {
  const std::string text = "[Ссылки]\r\nпуть=Мои Сметы\\Смета.kvd8\r\n";
  const std::string files[] = {
      Ansi(text),
      Utf16Bytes(text, false),
      Utf16Bytes(text, true),
  };
  for (const std::string& bytes : files) {
    const TProfileFile file = TProfileFile::Parse(bytes);
    EXPECT_EQ(file.ReadSection("ссылки"), std::vector<std::string>{"путь"});
    EXPECT_EQ(file.ReadString("ссылки", "ПУТЬ", ""), "Мои Сметы\\Смета.kvd8");
  }
  // Broken UTF-16 (a lone surrogate, an odd last byte) still reads.
  const TProfileFile broken = TProfileFile::Parse("\xFF\xFE[\0s\0]\0\n\0k\0=\0\x00\xD8x\0y"s);
  EXPECT_EQ(broken.ReadSection("s"), std::vector<std::string>{"k"});
  EXPECT_EQ(broken.ReadString("s", "k", ""), "\xEF\xBF\xBDx");
}

TEST(ProfileFileTest, CutsValuesAt2047Characters) {
  const std::string emoji = "\xF0\x9F\x93\x81";  // two UTF-16 code units
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {std::string(2047, 'a'), std::string(2047, 'a')},
      {std::string(2048, 'a'), std::string(2047, 'a')},
      {"\"" + std::string(2047, 'a') + "\"", std::string(2047, 'a')},
      {[] {
         std::string cyrillic;
         for (int i = 0; i < 3000; ++i) {
           cyrillic += "ж";
         }
         return cyrillic;
       }(),
       [] {
         std::string cyrillic;
         for (int i = 0; i < 2047; ++i) {
           cyrillic += "ж";
         }
         return cyrillic;
       }()},
      // A character of two code units that does not fit whole is left out.
      {std::string(2046, 'a') + emoji, std::string(2046, 'a')},
      {std::string(2045, 'a') + emoji + "b", std::string(2045, 'a') + emoji},
  };
  for (const Case& c : cases) {
    const TProfileFile file = TProfileFile::Parse(Utf16Bytes("[s]\nkey=" + c.value, false));
    const std::string value = file.ReadString("s", "key", "");
    EXPECT_TRUE(value == c.expected)
        << "value of " << c.value.size() << " bytes read as " << value.size() << " bytes";
  }
}

TEST(ProfileFileTest, ReadsDecimalAndHexadecimalIntegers) {
  struct Case {
    const char* value;
    int32_t expected;  // 99 is the default
  };
  const Case cases[] = {
      {"0", 0},
      {"1", 1},
      {"00", 0},
      {"-5", -5},
      {"+7", 7},
      {" 12 ", 12},
      {"\"0\"", 0},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$ff", 255},
      {"-$10", -16},
      {"-0x10", -16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", 99},
      {"0x100000000", 99},
      {"", 99},
      {"0x", 99},
      {"$", 99},
      {"-", 99},
      {"x10", 99},
      {"1a", 99},
      {"1.0", 99},
      {"1 2", 99},
      {"нет", 99},
      {"false", 99},
  };
  for (const Case& c : cases) {
    const TProfileFile file = TProfileFile::Parse(Ansi(std::string("[s]\nkey=") + c.value));
    EXPECT_EQ(file.ReadInteger("s", "key", 99), c.expected) << c.value;
  }
  const TProfileFile file = TProfileFile::Parse("[s]\nzero=0\nword=yes");
  EXPECT_FALSE(file.ReadBool("s", "zero", true));
  EXPECT_TRUE(file.ReadBool("s", "word", true));
  EXPECT_FALSE(file.ReadBool("s", "word", false));
  EXPECT_TRUE(file.ReadBool("s", "absent", true));
}

TEST(ProfileFileTest, AFileThatCannotBeReadReadsAsEmpty) {
  test::TTempFolder temp;
  for (const std::string& path : {temp.Path("missing.ini"), temp.Path("")}) {
    const TProfileFile file = TProfileFile::Load(path);
    EXPECT_TRUE(file.ReadSection("links").empty()) << path;
    EXPECT_EQ(file.ReadInteger("links", "showdialog", 1), 1) << path;
  }
}

}  // namespace
}  // namespace kv::app
