#include "base/ObjectDestroyer.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/Tracked.h"

namespace kv {
namespace {

using test::TTracked;

TEST(ObjectDestroyerTest, AutoDestroyFreesTheObjectWithTheLastReference) {
  int destructions = 0;
  {
    auto* tracked = new TTracked(destructions);
    TIntfPtr<IObjectDestroyer> guard = tracked->AutoDestroy();
    EXPECT_EQ(guard->GetTarget(), tracked);
    TIntfPtr<IObjectDestroyer>{guard}.Reset();
    EXPECT_EQ(destructions, 0);
  }
  EXPECT_EQ(destructions, 1);
}

TEST(ObjectDestroyerTest, NonOwningGuardLeavesTheObject) {
  int destructions = 0;
  auto tracked = std::make_unique<TTracked>(destructions);
  TObjectDestroyer::NonOwning(tracked.get()).Reset();
  EXPECT_EQ(destructions, 0);
}

TEST(ObjectDestroyerTest, TakenTargetIsNoLongerFreed) {
  int destructions = 0;
  auto tracked = std::make_unique<TTracked>(destructions);
  TIntfPtr<TObjectDestroyer> guard = TObjectDestroyer::Owning(tracked.get());
  EXPECT_EQ(guard->TakeTarget(), tracked.get());
  EXPECT_EQ(guard->GetTarget(), nullptr);
  guard.Reset();
  EXPECT_EQ(destructions, 0);
}

TEST(ObjectDestroyerTest, QueryInterfaceAnswersOnlyItsTwoInterfaces) {
  struct TCase {
    const char* Name;
    TGUID Iid;
    int32_t Result;
  };
  const TCase cases[] = {
      {"IInterface", IInterface::IID, kResultOk},
      {"IObjectDestroyer", IObjectDestroyer::IID, kResultOk},
      {"other", TGUID{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}}, kResultNoInterface},
  };
  int destructions = 0;
  TIntfPtr<IObjectDestroyer> guard = (new TTracked(destructions))->AutoDestroy();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    void* obj = &destructions;
    EXPECT_EQ(guard->QueryInterface(c.Iid, &obj), c.Result);
    EXPECT_EQ(obj, c.Result == kResultOk ? static_cast<void*>(guard.Get()) : nullptr);
  }

  // A reference obtained through Supports keeps the object as any other does.
  TIntfPtr<IObjectDestroyer> supported = Supports<IObjectDestroyer>(TIntfPtr<IInterface>(guard));
  guard.Reset();
  EXPECT_EQ(destructions, 0);
  supported.Reset();
  EXPECT_EQ(destructions, 1);
}

}  // namespace
}  // namespace kv
