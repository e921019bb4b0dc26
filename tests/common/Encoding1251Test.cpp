#include "common/Encoding1251.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kv {
namespace {

// Runs first in this program, so that the threads race to create the object.
TEST(Encoding1251Test, OneObjectForAllThreads) {
  std::vector<const TEncoding1251*> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen) {
    threads.emplace_back([&slot] { slot = &TEncoding1251::Instance(); });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (const TEncoding1251* object : seen) {
    EXPECT_EQ(object, &TEncoding1251::Instance());
  }
}

TEST(Encoding1251Test, EncodesAndDecodesCyrillic) {
  const TEncoding1251& encoding = TEncoding1251::Instance();
  EXPECT_EQ(encoding.Encode("Калвор №1"), "\xCA\xE0\xEB\xE2\xEE\xF0 \xB9\x31");
  EXPECT_EQ(encoding.Decode("\xCA\xE0\xEB\xE2\xEE\xF0 \xB9\x31"), "Калвор №1");
  EXPECT_EQ(encoding.Encode("a中b"), "a?b");
}

}  // namespace
}  // namespace kv
