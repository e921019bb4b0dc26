#include "common/SharedPtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "support/Tracked.h"

namespace kv {
namespace {

using test::TTracked;

TEST(SharedPtrTest, EmptyPointers) {
  struct TCase {
    const char* Name;
    TSharedPtr<TTracked> Ptr;
  };
  const TCase cases[] = {
      {"Create(nullptr)", TSharedPtr<TTracked>::Create(nullptr)},
      {"Create(nullptr, spoNotRefCount)", TSharedPtr<TTracked>::Create(nullptr, spoNotRefCount)},
      {"Create(nullptr, unknown option)",
       TSharedPtr<TTracked>::Create(nullptr, static_cast<TSharedPtrOption>(7))},
      {"Null", TSharedPtr<TTracked>::Null()},
      {"from TNull", TNull{}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_TRUE(c.Ptr == TNull{});
    EXPECT_FALSE(c.Ptr != TNull{});
    EXPECT_EQ(c.Ptr.Get(), nullptr);
    EXPECT_EQ(c.Ptr.ToString(), "null");
  }
}

TEST(SharedPtrTest, OwningPointerFreesTheObjectWithItsLastCopy) {
  int destructions = 0;
  TSharedPtr<TTracked> ptr = new TTracked(destructions);
  TSharedPtr<TTracked> copy = ptr;
  EXPECT_TRUE(copy != TNull{});
  EXPECT_EQ(copy.Get(), ptr.Get());
  EXPECT_EQ(copy.ToString(), "tracked");

  ptr = TNull{};
  EXPECT_EQ(destructions, 0);
  copy = TNull{};
  EXPECT_EQ(destructions, 1);
}

TEST(SharedPtrTest, NonOwningPointerLeavesTheObject) {
  int destructions = 0;
  auto tracked = std::make_unique<TTracked>(destructions);
  TSharedPtr<TTracked>::Create(tracked.get(), spoNotRefCount) = TNull{};
  EXPECT_EQ(destructions, 0);
}

TEST(SharedPtrTest, UnwrapEmptiesEveryCopyAndNobodyFrees) {
  int destructions = 0;
  TSharedPtr<TTracked> ptr = TSharedPtr<TTracked>::Create(new TTracked(destructions));
  TSharedPtr<TTracked> copy = ptr;

  std::unique_ptr<TTracked> unwrapped(ptr.Unwrap());
  ASSERT_NE(unwrapped, nullptr);
  EXPECT_TRUE(ptr == TNull{});
  EXPECT_TRUE(copy == TNull{});
  EXPECT_EQ(copy.ToString(), "null");
  copy = TNull{};
  EXPECT_EQ(destructions, 0);
}

TEST(SharedPtrTest, CopiesDroppedOnManyThreadsFreeTheObjectOnce) {
  int destructions = 0;
  {
    TSharedPtr<TTracked> ptr = new TTracked(destructions);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
      threads.emplace_back([copy = ptr] {
        for (int k = 0; k < 1000; ++k) {
          TSharedPtr<TTracked> again = copy;
          again = TNull{};
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    EXPECT_EQ(destructions, 0);
  }
  EXPECT_EQ(destructions, 1);
}

TEST(SharedPtrTest, UnwrapOfANonOwningPointerGivesTheObjectBack) {
  int destructions = 0;
  auto tracked = std::make_unique<TTracked>(destructions);
  TSharedPtr<TTracked> ptr = TSharedPtr<TTracked>::Create(tracked.get(), spoNotRefCount);
  TSharedPtr<TTracked> copy = ptr;
  EXPECT_EQ(copy.Unwrap(), tracked.get());
  EXPECT_TRUE(ptr == TNull{});
  EXPECT_EQ(ptr.Unwrap(), nullptr);
  EXPECT_EQ(destructions, 0);
}

TEST(SharedPtrTest, UnknownOptionRaises) {
  int destructions = 0;
  auto tracked = std::make_unique<TTracked>(destructions);
  for (int option : {2, 255}) {
    try {
      TSharedPtr<TTracked>::Create(tracked.get(), static_cast<TSharedPtrOption>(option));
      ADD_FAILURE() << "no exception for " << option;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Unknown option (" + std::to_string(option) + ")");
      EXPECT_EQ(e.ClassName(), "Exception");
    }
  }
  EXPECT_EQ(destructions, 0);
}

}  // namespace
}  // namespace kv
