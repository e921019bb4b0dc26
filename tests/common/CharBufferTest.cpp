#include "common/CharBuffer.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"

namespace kv {
namespace {

TEST(CharBufferTest, GrowsToTheWantedSizeOrDoubleAtLeastTen) {
  struct Case {
    size_t capacity, wanted, expected;
  };
  for (const Case& c : {Case{0, 1, 10}, Case{0, 0, 0}, Case{3, 4, 10}, Case{10, 10, 10},
                        Case{10, 11, 20}, Case{10, 25, 25}, Case{40, 12, 40}}) {
    std::u16string target(c.capacity, u' ');
    TCharBuffer buffer(target);
    buffer.Grow(c.wanted);
    EXPECT_EQ(buffer.Capacity(), c.expected) << c.capacity << " -> " << c.wanted;
  }
}

TEST(CharBufferTest, WritesFromTheStartAndIsCutToWhatWasWritten) {
  std::u16string target = u"old text of the target";
  TCharBuffer buffer(target);
  buffer.Append(u"Калвор");
  buffer.Append(u"");
  buffer.Append(u", ");
  buffer.Append(std::u16string(30, u'x'));
  buffer.Finish();
  EXPECT_EQ(target, u"Калвор, " + std::u16string(30, u'x'));
}

TEST(CharBufferTest, AnOddByteCountRaises) {
  std::u16string target;
  TCharBuffer buffer(target);
  try {
    buffer.Append(u"abc", 3);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Добавить можно только кратное 2 число байт");
  }
  EXPECT_EQ(buffer.Count(), 0u);
}

}  // namespace
}  // namespace kv
