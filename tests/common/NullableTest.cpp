#include "common/Nullable.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

enum class TPageState { psWelcome, psCopyData, psLinks, psDone };
const TTypeInfo& EnumTypeInfo(TPageState) {
  static const TTypeInfo info =
      MakeEnumTypeInfo("TPageState", {"psWelcome", "psCopyData", "psLinks", "psDone"});
  return info;
}

enum class TUndescribed { A, B };

TEST(NullableTest, NullUntilGivenAValue) {
  TNullable<int> n;
  EXPECT_TRUE(n.IsNull());
  EXPECT_EQ(n.ValueOrDefault(), 0);
  EXPECT_EQ(n.ValueOrDefault(7), 7);

  n = 5;
  EXPECT_TRUE(n.HasValue());
  EXPECT_EQ(n.ValueOrDefault(7), 5);

  n = TNull{};
  EXPECT_TRUE(n.IsNull());
  EXPECT_TRUE(TNullable<std::string>::Init("").HasValue());
  EXPECT_TRUE(TNullable<std::string>::Null().IsNull());
}

TEST(NullableTest, Equality) {
  const TNullable<int> null;
  const TNullable<int> five = 5;
  // A null holds a default value inside: it must still differ from that value.
  EXPECT_FALSE(null == 0);
  EXPECT_TRUE(null != 0);
  EXPECT_TRUE(null == TNull{});
  EXPECT_TRUE(null == TNullable<int>::Null());
  EXPECT_FALSE(null == TNullable<int>(0));
  EXPECT_TRUE(five == 5);
  EXPECT_TRUE(5 == five);
  EXPECT_TRUE(five != 6);
  EXPECT_TRUE(five != TNull{});
  EXPECT_TRUE(five == TNullable<int>::Init(5));
  EXPECT_TRUE(five != TNullable<int>::Init(6));
  EXPECT_TRUE(five != null);
}

// A type without a default value: a null holds none of it, and only the given default is made.
TEST(NullableTest, HoldsTypesWithoutADefaultValue) {
  struct TCounted {
    explicit TCounted(int value, int& made) : Value(value) { ++made; }
    TCounted(const TCounted&) = default;
    bool operator==(const TCounted& other) const { return Value == other.Value; }
    int Value;
  };
  int made = 0;
  const TNullable<TCounted> null = TNull{};
  EXPECT_EQ(made, 0);
  const TNullable<TCounted> seven = TCounted(7, made);
  EXPECT_EQ(made, 1);

  EXPECT_EQ(null.ValueOrDefault(TCounted(1, made)).Value, 1);
  EXPECT_EQ(seven.ValueOrDefault(TCounted(1, made)).Value, 7);
  EXPECT_TRUE(seven == TCounted(7, made));
  EXPECT_FALSE(null == seven);
  EXPECT_TRUE(null == TNullable<TCounted>::Null());
}

TEST(EnumFromIntegerTest, InRangeGivesTheValueElseNull) {
  EXPECT_EQ(TEnum::FromInteger<TPageState>(0), TPageState::psWelcome);
  EXPECT_EQ(TEnum::FromInteger<TPageState>(3), TPageState::psDone);
  EXPECT_TRUE(TEnum::FromInteger<TPageState>(4).IsNull());
  EXPECT_TRUE(TEnum::FromInteger<TPageState>(-1).IsNull());
  EXPECT_EQ(TEnum::FromInteger<bool>(1), true);
  EXPECT_TRUE(TEnum::FromInteger<bool>(2).IsNull());
}

TEST(EnumFromIntegerTest, TypesThatAreNoDescribedEnumerationRaise) {
  const auto message = [](auto fromInteger) {
    try {
      fromInteger();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([] { TEnum::FromInteger<TUndescribed>(0); }),
            "Тип переданный в TEnum.FromInteger не имеет RTTI");
  EXPECT_EQ(message([] { TEnum::FromInteger<int32_t>(0); }),
            "Тип Integer не является перечислением (TEnum.FromInteger).");
  EXPECT_EQ(message([] { TEnum::FromInteger<std::string>(0); }),
            "Тип string не является перечислением (TEnum.FromInteger).");
}

}  // namespace
}  // namespace kv
