#include "common/Common.SysUtils.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/FakeShellFolders.h"
#include "support/StringListItems.h"

namespace kv {
namespace {

using test::Items;

// ---- TStringUtils ----

TEST(StringUtilsTest, JoinSkipsEmptyEntries) {
  EXPECT_EQ(TStringUtils::Join({"a", "", "b"}, ","), "a,b");
  EXPECT_EQ(TStringUtils::Join({"", ""}, ","), "");
  EXPECT_EQ(TStringUtils::Join({"", "Калвор", "", "Дивир", ""}, " – "), "Калвор – Дивир");
  const std::vector<std::string> many(30, "ab");
  EXPECT_EQ(TStringUtils::Join(many, ";").size(), 30 * 3 - 1u);
}

TEST(StringUtilsTest, JoinOfARangeIsClippedToTheArray) {
  const std::vector<std::string> items{"a", "b", "", "d"};
  struct Case {
    int index, count;
    const char* expected;
  };
  for (const Case& c : {Case{1, 2, "b"}, Case{1, 3, "b,d"}, Case{-5, 2, "a,b"}, Case{2, 100, "d"},
                        Case{4, 1, ""}, Case{9, 1, ""}, Case{0, -1, ""}, Case{0, 4, "a,b,d"}}) {
    EXPECT_EQ(TStringUtils::Join(items, c.index, c.count, ","), c.expected)
        << c.index << ", " << c.count;
  }
}

TEST(StringUtilsTest, EndsAndStarts) {
  struct Case {
    std::string actual, expected;
  };
  const Case cases[] = {
      {TStringUtils::AddLastChar("", '\\'), ""},
      {TStringUtils::AddLastChar("C:", '\\'), "C:\\"},
      {TStringUtils::AddLastChar("C:\\", '\\'), "C:\\"},
      {TStringUtils::AddLastChar("Калвор", u'р'), "Калвор"},
      {TStringUtils::DropLastChar("C:\\", '\\'), "C:"},
      {TStringUtils::DropLastChar("C:", '\\'), "C:"},
      {TStringUtils::DropLastChar("", '\\'), ""},
      {TStringUtils::DropFirstChar("\\dir", '\\'), "dir"},
      {TStringUtils::DropFirstChar("ёлка", u'ё'), "лка"},
      {TStringUtils::DropFirstStr("http://host", "http://"), "host"},
      {TStringUtils::DropFirstStr("HTTP://host", "http://"), "HTTP://host"},
      {TStringUtils::AddFirstStr("host", "http://"), "http://host"},
      {TStringUtils::AddFirstStr("http://host", "http://"), "http://host"},
      {TStringUtils::AddFirstStr("HTTP://host", "http://"), "http://HTTP://host"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.expected);
  }
}

TEST(StringUtilsTest, AddLeadingCharsCountsCharactersOrBytes) {
  EXPECT_EQ(TStringUtils::AddLeadingChars("7", 3, u'0'), "007");
  EXPECT_EQ(TStringUtils::AddLeadingChars("Жук", 5, u'ж'), "жжЖук");
  EXPECT_EQ(TStringUtils::AddLeadingChars("12345", 3, u'0'), "12345");
  EXPECT_EQ(TStringUtils::AddLeadingChars("7", 3, '0'), "007");
  EXPECT_EQ(TStringUtils::AddLeadingChars("7", -3, '0'), "7");
}

TEST(StringUtilsTest, CharIsNumeric) {
  EXPECT_TRUE(TStringUtils::CharIsNumeric('0', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric('9', false));
  EXPECT_FALSE(TStringUtils::CharIsNumeric('-', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric('-', true));
  EXPECT_FALSE(TStringUtils::CharIsNumeric('a', true));
  EXPECT_TRUE(TStringUtils::CharIsNumeric(u'5', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric(u'-', true));
  // Low byte '5', but above 255.
  EXPECT_FALSE(TStringUtils::CharIsNumeric(char16_t{0x0135}, false));
  EXPECT_FALSE(TStringUtils::CharIsNumeric(u'٣', false));
}

TEST(StringUtilsTest, AnsiAndOemKeepTheLength) {
  const std::string ansi = platform::EncodeCodePage(platform::AnsiCodePage(), "Привет, мир");
  const std::string oem = TStringUtils::CharToOemA(ansi);
  EXPECT_EQ(oem, platform::EncodeCodePage(platform::OemCodePage(), "Привет, мир"));
  EXPECT_EQ(oem.size(), ansi.size());
  EXPECT_EQ(TStringUtils::OemToCharA(oem), ansi);
}

// ---- replacements ----

TEST(StringReplaceTest, FlagsAndPatterns) {
  struct Case {
    const char *text, *oldPattern, *newPattern;
    TReplaceFlags flags;
    const char* expected;
  };
  const Case cases[] = {
      {"a.b.c", ".", "/", rfReplaceAll, "a/b/c"},
      {"a.b.c", ".", "/", 0, "a/b.c"},
      {"aXbxc", "x", "-", rfReplaceAll, "aXb-c"},
      {"aXbxc", "x", "-", rfReplaceAll | rfIgnoreCase, "a-b-c"},
      {"aXbxc", "x", "-", rfIgnoreCase, "a-bxc"},
      {"one two Two", "two", "2", rfReplaceAll, "one 2 Two"},
      {"one two Two", "two", "2", 0, "one 2 Two"},
      {"one two Two", "TWO", "2", rfReplaceAll | rfIgnoreCase, "one 2 2"},
      {"aaa", "aa", "b", rfReplaceAll, "ba"},
      {"abc", "", "x", rfReplaceAll, "abc"},
      {"abc", "abc", "", rfReplaceAll, ""},
      {"", "a", "bb", rfReplaceAll, ""},
      {"a-a-a-a-a-a-a-a-a-a-a-a", "-", "<->", rfReplaceAll,
       "a<->a<->a<->a<->a<->a<->a<->a<->a<->a<->a<->a"},
      {"Привет МИР, мир!", "мир", "Земля", rfReplaceAll | rfIgnoreCase, "Привет Земля, Земля!"},
      {"Ёлка, ёж", "ё", "е", rfReplaceAll | rfIgnoreCase, "елка, еж"},
      {"Ёлка, ёж", "Ё", "Е", rfReplaceAll, "Елка, ёж"},
      // Upper case lengthens "ß"; the match must still be cut from the right place.
      {"Straße, Weg", "WEG", "Gasse", rfIgnoreCase, "Straße, Gasse"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StringReplace(c.text, c.oldPattern, c.newPattern, c.flags), c.expected)
        << c.text << " / " << c.oldPattern;
  }
}

TEST(StringReplaceTest, ReplaceCharOfCyrillic) {
  EXPECT_EQ(ReplaceChar("Мама мыла раму", u'м', u'п', rfReplaceAll), "Мапа пыла рапу");
  EXPECT_EQ(ReplaceChar("Мама мыла раму", u'м', u'п', 0), "Мапа мыла раму");
  EXPECT_EQ(ReplaceChar("Мама мыла раму", u'м', u'п', rfReplaceAll | rfIgnoreCase),
            "папа пыла рапу");
  EXPECT_EQ(ReplaceChar("Мама мыла раму", u'м', u'п', rfIgnoreCase), "пама мыла раму");
}

// ---- paths and searches ----

TEST(PathJoinTest, ExactlyOneSeparatorBetweenParts) {
  struct Case {
    std::string actual, expected;
  };
  const Case cases[] = {
      {PathJoin("C:\\a\\", "\\b"), "C:\\a\\b"},
      {PathJoin("C:\\a", "b"), "C:\\a\\b"},
      {PathJoin("C:\\a\\", "b"), "C:\\a\\b"},
      {PathJoin("C:\\a", "\\b"), "C:\\a\\b"},
      {PathJoin("", "b"), "b"},
      {PathJoin("a", ""), "a"},
      {PathJoin({"", "Калвор", "", "Дивир\\", "\\x.xml"}), "Калвор\\Дивир\\x.xml"},
      {PathJoin({"http://host/", "/dav", "docs"}, '/'), "http://host/dav/docs"},
      {PathJoin({}), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.expected);
  }
}

TEST(PathPartsTest, FolderOfAFileAndTrailingBackslash) {
  struct Case {
    std::string actual, expected;
  };
  const Case cases[] = {
      {ExtractFilePath("C:\\Калвор\\Client\\Kvsmeta.exe"), "C:\\Калвор\\Client\\"},
      {ExtractFileDir("C:\\Калвор\\Client\\Kvsmeta.exe"), "C:\\Калвор\\Client"},
      {ExtractFileDir("/opt/kv/Swiftkit"), "/opt/kv"},
      {ExtractFilePath("Kvsmeta.exe"), ""},
      {ExtractFileDir("Kvsmeta.exe"), ""},
      {ExtractFileName("C:\\Калвор\\Client\\Kvsmeta.exe"), "Kvsmeta.exe"},
      {ExtractFileName("/opt/kv/Swiftkit"), "Swiftkit"},
      {ExtractFileName("Kvsmeta.exe"), "Kvsmeta.exe"},
      {ExtractFileName("C:\\Калвор\\"), ""},
      {IncludeTrailingBackslash("C:\\a"), "C:\\a\\"},
      {IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\"},
      {IncludeTrailingBackslash(""), "\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.expected);
  }
}

TEST(CutToUtf16LengthTest, CountsUtf16UnitsAndNeverSplitsAPair) {
  const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E, a surrogate pair in UTF-16
  struct Case {
    std::string Text;
    size_t MaxUnits;
    std::string Expected;
  };
  const Case cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc"},
      {"Смета", 5, "Смета"},  // ten bytes, five units
      {"Сметы и акты", 5, "Сметы"},
      {"ab" + clef, 4, "ab" + clef},
      {"ab" + clef + "c", 3, "ab"},  // the pair would be cut in half: it goes whole
      {"abc", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutToUtf16Length(c.Text, c.MaxUnits), c.Expected) << c.Text << " " << c.MaxUnits;
  }
}

TEST(SearchTest, EmptyTest) {
  EXPECT_TRUE(IsEmptyStr(""));
  EXPECT_TRUE(IsEmptyStr(" \t\r\n "));
  EXPECT_FALSE(IsEmptyStr(" \t ", false));
  EXPECT_FALSE(IsEmptyStr(" x "));
}

TEST(SearchTest, IndexOfStr) {
  const std::vector<std::string> items{"Один", "ДВА", "три", "два"};
  EXPECT_EQ(IndexOfStr("два", items, false), 1);
  EXPECT_EQ(IndexOfStr("два", items, true), 3);
  EXPECT_EQ(IndexOfStr("Три", items, true), -1);
  EXPECT_EQ(IndexOfStr("четыре", items, false), -1);
}

TEST(SearchTest, PosIgnoreCaseIsOneBasedInCharacters) {
  EXPECT_EQ(PosIgnoreCase("МИР", "привет мир"), 8);
  EXPECT_EQ(PosIgnoreCase("B", "abcb"), 2);
  EXPECT_EQ(PosIgnoreCase("x", "abc"), 0);
  EXPECT_EQ(PosIgnoreCase("", "abc"), 0);
  EXPECT_EQ(PosIgnoreCase("abcd", "abc"), 0);
}

TEST(SearchTest, SplitString) {
  struct Case {
    const char *text, *delimiters;
    bool removeEmpty;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a;b,,c", ";,", false, {"a", "b", "", "c"}},
      {"a;b,,c", ";,", true, {"a", "b", "c"}},
      {";a;", ";", false, {"", "a", ""}},
      {";a;", ";", true, {"a"}},
      {"", ";", false, {}},
      {"abc", "", false, {"abc"}},
      {"Один—Два—", "—", true, {"Один", "Два"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Items(SplitString(c.text, c.delimiters, c.removeEmpty)), c.expected) << c.text;
  }
}

// ---- system services ----

class FakeMessageBoxes final : public platform::IMessageBoxes {
 public:
  struct TCall {
    platform::TWindowHandle Owner;
    std::string Text;
    std::string Caption;
    platform::TMessageKind Kind;
  };
  platform::TMessageAnswer Show(platform::TWindowHandle owner, const std::string& text,
                                const std::string& caption, platform::TMessageKind kind) override {
    Calls.push_back({owner, text, caption, kind});
    return platform::TMessageAnswer::No;
  }
  std::vector<TCall> Calls;
};

TEST(SystemServicesTest, SpecialFoldersComeFromTheCurrentInstance) {
  using platform::TSpecialFolder;
  test::FakeSpecialFolders folders;
  folders.Set(TSpecialFolder::Documents, "C:\\Мои документы");
  folders.Set(TSpecialFolder::AppData, "C:\\Roaming");
  folders.Set(TSpecialFolder::CommonAppData, "C:\\ProgramData");
  platform::TScopedCurrent<platform::ISpecialFolders> scope(folders);
  EXPECT_EQ(GetPersonalFolderPath(), "C:\\Мои документы");
  EXPECT_EQ(GetAppDataFolderPath(), "C:\\Roaming");
  EXPECT_EQ(GetCommonAppDataFolderPath(), "C:\\ProgramData");
  EXPECT_EQ(GetSpecialFolderPath(TSpecialFolder::AppData), "C:\\Roaming");
  try {
    GetSpecialFolderPath(TSpecialFolder::Desktop);  // the fake's lookup fails for it
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 3u);
  }
}

TEST(SystemServicesTest, MessageBoxGoesToTheCurrentInstance) {
  using namespace platform;
  FakeMessageBoxes boxes;
  TScopedCurrent<IMessageBoxes> scope(boxes);
  const TMessageKind question{TMessageButtons::YesNo, TMessageIcon::Question};
  EXPECT_EQ(ShowMessageBox(TWindowHandle{42}, "Обновление завершено", "Swiftkit", question),
            TMessageAnswer::No);
  ASSERT_EQ(boxes.Calls.size(), 1u);
  EXPECT_EQ(boxes.Calls[0].Owner, TWindowHandle{42});
  EXPECT_EQ(boxes.Calls[0].Text, "Обновление завершено");
  EXPECT_EQ(boxes.Calls[0].Caption, "Swiftkit");
  EXPECT_EQ(boxes.Calls[0].Kind, question);
}

TEST(SystemServicesTest, TempFolderEndsWithASeparatorAndExists) {
  const std::string folder = GetTempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == '\\' || folder.back() == '/') << folder;
  EXPECT_TRUE(platform::DirectoryExists(folder)) << folder;
}

TEST(SystemServicesTest, GuidTextForms) {
  const std::string braced = NewGUIDString();
  EXPECT_TRUE(std::regex_match(
      braced, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")))
      << braced;
  const std::string bare = NewGUIDString(false);
  EXPECT_TRUE(std::regex_match(bare, std::regex("[0-9A-F]{32}"))) << bare;
  EXPECT_NE(NewGUIDString(), braced);
}

TEST(CmdLineSwitchTest, PrefixesValuesAndLastMatch) {
  const std::vector<std::string> args{
      "-Portable", "/CFG:C:\\Path\\Settings.XML", "cfg:plain", "", "-Путь:Дом", "-cfg:second"};
  struct Case {
    const char *name, *prefixes;
    bool found;
    const char* value;
  };
  const Case cases[] = {
      {"cfg:", "", true, "plain"},
      {"cfg:", "/", true, "c:\\path\\settings.xml"},
      {"cfg:", "-/", true, "second"},
      {"  CFG: ", "-", true, "second"},
      {"путь:", "-", true, "дом"},
      {"port", "-", true, "able"},
      // The switch alone has no value.
      {"portable", "-", false, ""},
      {"missing", "-/", false, ""},
  };
  for (const Case& c : cases) {
    std::string value = "stale";
    EXPECT_EQ(FindCmdLineSwitch(args, c.name, value, c.prefixes), c.found) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
}

TEST(CmdLineSwitchTest, ALastMatchWithoutValueWins) {
  std::string value;
  EXPECT_FALSE(FindCmdLineSwitch({"-cfg:a", "-cfg:"}, "cfg:", value, "-"));
  EXPECT_EQ(value, "");
}

}  // namespace
}  // namespace kv
