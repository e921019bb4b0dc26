#include "common/StringList.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "support/StringListItems.h"

namespace kv {
namespace {

using test::Items;

TEST(StringListTest, ReadsDelimitedText) {
  struct Case {
    const char* text;
    bool strict;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"Smeta,NormBase", false, {"Smeta", "NormBase"}},
      {"a b,c", false, {"a", "b", "c"}},
      {"a b,c", true, {"a b", "c"}},
      {"\"a b\",\"say \"\"hi\"\"\"", false, {"a b", "say \"hi\""}},
      {" a , b ", false, {"a", "b"}},
      {"a,,b", false, {"a", "", "b"}},
      {"a,", false, {"a", ""}},
      {"", false, {}},
      {"\"unterminated", false, {"unterminated"}},
      {"Смета,База", false, {"Смета", "База"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.Add("old");
    list.SetDelimitedText(c.text, ',', '"', c.strict);
    EXPECT_EQ(Items(list), c.items) << c.text;
  }
}

TEST(StringListTest, WritesDelimitedTextThatReadsBack) {
  TStringList list;
  for (const char* item : {"plain", "with space", "quote\"d", "semi;colon", "", "Папка"}) {
    list.Add(item);
  }
  const std::string text = list.DelimitedText(';');
  EXPECT_EQ(text, "plain;\"with space\";\"quote\"\"d\";\"semi;colon\";;Папка");
  TStringList back;
  back.SetDelimitedText(text, ';');
  EXPECT_EQ(Items(back), Items(list));
}

TEST(StringListTest, IndexAndLookup) {
  TStringList list;
  list.Add("Смета", 7);
  EXPECT_EQ(list.IndexOf("СМЕТА"), 0);
  EXPECT_EQ(list.IndexOf("нет"), -1);
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 7);
  EXPECT_THROW(list[1], EListError);
  EXPECT_THROW(list[-1], EListError);
}

TEST(StringListTest, PutKeepsTheObjectAndDeleteShifts) {
  TStringList list;
  list.Add("a", 1);
  list.Add("b", 2);
  list.Put(0, "c");
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 1);
  list.Delete(0);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"b"}));
  EXPECT_THROW(list.Delete(1), EListError);
  EXPECT_THROW(list.Put(-1, "x"), EListError);
}

}  // namespace
}  // namespace kv
