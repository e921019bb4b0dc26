#include "platform/Text.h"

#include <gtest/gtest.h>

namespace kv::platform {
namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

struct TUtfCase {
  std::string Utf8;
  std::u16string Utf16;
};

TEST(TextTest, Utf8AndUtf16RoundTrip) {
  const TUtfCase cases[] = {
      {"", u""},
      {"Kvsmeta.exe", u"Kvsmeta.exe"},
      {"SwiftkitData\\Калвор-Divir\\", u"SwiftkitData\\Калвор-Divir\\"},
      {"Ёё №", u"\u0401\u0451 \u2116"},
      // Outside the basic plane: one character, two UTF-16 code units.
      {"ноты \U0001D11E", u"ноты \xD834\xDD1E"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Utf8);
    EXPECT_EQ(Utf8ToUtf16(c.Utf8), c.Utf16);
    EXPECT_EQ(Utf16ToUtf8(c.Utf16), c.Utf8);
    EXPECT_EQ(Utf16Length(c.Utf8), c.Utf16.size());
  }
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(Utf8ToUtf16(std::string("a\xFF") + "b"), u"a\uFFFDb");
}

TEST(TextTest, CodePages) {
  const struct {
    unsigned CodePage;
    std::string Utf8;
    std::string Bytes;
  } cases[] = {
      {kCodePage1251, "Калвор", "\xCA\xE0\xEB\xE2\xEE\xF0"},
      {kCodePage1251, "ЁЛКА ёлка", "\xA8\xCB\xCA\xC0 \xB8\xEB\xEA\xE0"},
      {kCodePage1251, "№ 9 €", "\xB9 9 \x88"},
      {kCodePage1251, "АЯая", "\xC0\xDF\xE0\xFF"},
      {866, "Калвор", "\x8A\xA0\xAB\xA2\xAE\xE0"},
      {65001, "Калвор", "Калвор"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.CodePage) + " " + c.Utf8);
    EXPECT_EQ(EncodeCodePage(c.CodePage, c.Utf8), c.Bytes);
    EXPECT_EQ(DecodeCodePage(c.CodePage, c.Bytes), c.Utf8);
  }
}

TEST(TextTest, CharactersMissingFromCodePageBecomeQuestionMarks) {
  // A look-alike ('e' for 'é') would be a silent change of the text.
  EXPECT_EQ(EncodeCodePage(kCodePage1251, "Café 中文"), "Caf? ??");
}

// The users' machines, and both test environments, have Russian code pages.
TEST(TextTest, AnsiAndOemCodePagesAreRussian) {
  EXPECT_EQ(AnsiCodePage(), 1251u);
  EXPECT_EQ(OemCodePage(), 866u);
}

TEST(TextTest, AnsiToOemKeepsLengthAndRoundTrips) {
  const std::string ansi = EncodeCodePage(kCodePage1251, "Смета Калвор 9.2");
  const std::string oem = AnsiToOem(ansi);
  EXPECT_EQ(oem, "\x91\xAC\xA5\xE2\xA0 \x8A\xA0\xAB\xA2\xAE\xE0 9.2");
  EXPECT_EQ(oem.size(), ansi.size());
  EXPECT_EQ(OemToAnsi(oem), ansi);
}

TEST(TextTest, CompareIgnoresCaseInUserLocale) {
  const struct {
    std::string A;
    std::string B;
    int Sign;
  } cases[] = {
      {"калвор", "КАЛВОР", 0},
      {"Калвор-Divir", "кАЛВОР-dIVIR", 0},
      {"ёлка", "ЁЛКА", 0},
      {"", "", 0},
      {"а", "Б", -1},
      {"А", "б", -1},
      {"б", "В", -1},
      {"Б", "в", -1},
      // Byte order would put 'Я' before 'а' and 'ж' before 'ё'.
      {"а", "Я", -1},
      {"ёж", "жук", -1},
      {"", "а", -1},
      {"смета", "смета9", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.A + " / " + c.B);
    EXPECT_EQ(Sign(CompareTextLocale(c.A, c.B)), c.Sign);
    EXPECT_EQ(Sign(CompareTextLocale(c.B, c.A)), -c.Sign);
    EXPECT_EQ(SameTextLocale(c.A, c.B), c.Sign == 0);
  }
}

TEST(TextTest, CaseMappingKeepsOneCharacterForOne) {
  EXPECT_EQ(UpperCaseLocale("straße"), "STRAßE");
  EXPECT_EQ(Utf16Length(UpperCaseLocale("ǆ\U0001D400ß")), Utf16Length("ǆ\U0001D400ß"));
}

TEST(TextTest, CaseMappingOfCyrillic) {
  const struct {
    std::string Lower;
    std::string Upper;
  } cases[] = {
      {"калвор-divir", "КАЛВОР-DIVIR"},
      {"ёлка и щи, 9.2", "ЁЛКА И ЩИ, 9.2"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lower);
    EXPECT_EQ(UpperCaseLocale(c.Lower), c.Upper);
    EXPECT_EQ(LowerCaseLocale(c.Upper), c.Lower);
  }
}

}  // namespace
}  // namespace kv::platform
