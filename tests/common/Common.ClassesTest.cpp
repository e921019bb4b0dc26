#include "common/Common.Classes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/Files.h"

namespace kv {
namespace {

using platform::TSeekOrigin;
using TLifetime = TFlexibleInterfacedObject::TLifetime;

const char* const kManualDestroyMessage =
    "Вызван в ручную деструктор для объекта, который должен уничтожаться только при "
    "обниливании всех ссылок на него";

class IProbe : public IInterface {
 public:
  static constexpr TGUID IID{
      0x6A1B2C3D, 0x4E5F, 0x4061, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
  virtual int Value() const = 0;

 protected:
  ~IProbe() = default;
};

// Counts its destructions in a counter that outlives it.
template <class Base>
class TProbe : public Base, public IProbe {
  KV_INTERFACED_OBJECT()
 public:
  explicit TProbe(int& destructions) : FDestructions(destructions) {}
  ~TProbe() override { ++FDestructions; }
  int Value() const override { return 42; }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) noexcept override {
    if (iid == IProbe::IID) {
      *obj = static_cast<IProbe*>(this);
      return true;
    }
    return Base::GetInterface(iid, obj);
  }

 private:
  int& FDestructions;
};
using TCountedProbe = TProbe<TFlexibleInterfacedObject>;
using TPersistProbe = TProbe<TFlexiblePersistInterfacedObject>;

TEST(FlexibleInterfacedObjectTest, CountedObjectGoesWithItsLastReference) {
  int destructions = 0;
  TIntfPtr<IProbe> first(New<TCountedProbe>(destructions));
  TIntfPtr<IProbe> second = first;
  first.Reset();
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(second->Value(), 42);
  second.Reset();
  EXPECT_EQ(destructions, 1);
}

// Takes and drops a reference to itself while it is being constructed.
template <class Base>
class TSelfReferencing : public TProbe<Base> {
 public:
  explicit TSelfReferencing(int& destructions) : TProbe<Base>(destructions) {
    TIntfPtr<IProbe> self(this);
  }
};

TEST(FlexibleInterfacedObjectTest, ReferenceDroppedInTheConstructorLeavesTheObjectAlone) {
  int destructions = 0;
  auto* counted = New<TSelfReferencing<TFlexibleInterfacedObject>>(destructions);
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(counted->RefCount().RefCount(), 0);
  TIntfPtr<IProbe> reference(counted);
  reference.Reset();
  EXPECT_EQ(destructions, 1);

  std::unique_ptr<TSelfReferencing<TFlexiblePersistInterfacedObject>> persistent(
      New<TSelfReferencing<TFlexiblePersistInterfacedObject>>(destructions));
  EXPECT_EQ(persistent->RefCount().RefCount(), 0);
  TIntfPtr<IProbe>(persistent.get()).Reset();
  EXPECT_EQ(destructions, 1);
  persistent.reset();
  EXPECT_EQ(destructions, 2);
}

TEST(FlexibleInterfacedObjectTest, CountedObjectWithoutReferencesMayBeDestroyedByHand) {
  int destructions = 0;
  New<TCountedProbe>(destructions)->Free();
  EXPECT_EQ(destructions, 1);

  std::unique_ptr<TCountedProbe> probe(New<TCountedProbe>(destructions));
  EXPECT_TRUE(probe->IsReferenceCounted());
  probe.reset();
  EXPECT_EQ(destructions, 2);
}

TEST(FlexibleInterfacedObjectTest, FreeingReferencedCountedObjectRaisesAndLeavesItToTheReference) {
  int destructions = 0;
  auto* probe = New<TCountedProbe>(destructions);
  TIntfPtr<IProbe> reference(probe);
  try {
    probe->Free();
    FAIL() << "no EManualDestroyError";
  } catch (const TFlexibleInterfacedObject::EManualDestroyError& e) {
    EXPECT_EQ(e.Message(), kManualDestroyMessage);
    EXPECT_EQ(e.ClassName(), "EManualDestroyError");
  }
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(probe->RefCount().State(), osNormal);
  EXPECT_EQ(reference->Value(), 42);

  reference.Reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectDeathTest, DeletingReferencedCountedObjectEndsTheProgram) {
  int destructions = 0;
  auto* probe = New<TCountedProbe>(destructions);
  TIntfPtr<IProbe> reference(probe);
  EXPECT_DEATH(delete probe, kManualDestroyMessage);
}

TEST(FlexibleInterfacedObjectTest, PersistentObjectLivesOnWhenItsReferencesGo) {
  int destructions = 0;
  std::unique_ptr<TPersistProbe> probe(New<TPersistProbe>(destructions));
  EXPECT_FALSE(probe->IsReferenceCounted());
  TIntfPtr<IProbe>(probe.get()).Reset();
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(probe->RefCount().State(), osNormal);
  probe.reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest,
     PersistentObjectDestroyedWhileReferencedKeepsItsMemoryForTheLastRelease) {
  int destructions = 0;
  std::unique_ptr<TPersistProbe> probe(New<TPersistProbe>(destructions));
  TIntfPtr<IProbe> reference(probe.get());
  TLifetime& lifetime = probe->RefCount();

  probe.reset();
  EXPECT_EQ(destructions, 1);
  EXPECT_EQ(lifetime.State(), osDestroyed);
  EXPECT_EQ(lifetime.RefCount(), 1);

  // Copies, an upcast one too, count without calling into the destroyed object.
  TIntfPtr<IProbe> copy = reference;
  TIntfPtr<IInterface> upcast = reference;
  EXPECT_EQ(upcast.Get(), static_cast<IInterface*>(reference.Get()));
  EXPECT_EQ(lifetime.RefCount(), 3);
  reference.Reset();
  copy.Reset();
  upcast.Reset();  // frees the memory; the sanitizers see a leak or a second free
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest, AutoDestroyGuardDeletesAPersistentObjectByItsOwnRules) {
  int destructions = 0;
  auto* probe = New<TPersistProbe>(destructions);
  TIntfPtr<IProbe> reference(probe);
  TLifetime& lifetime = probe->RefCount();

  probe->AutoDestroy().Reset();
  EXPECT_EQ(destructions, 1);
  EXPECT_EQ(lifetime.State(), osDestroyed);
  reference.Reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest, QueryInterfaceAnswersTheClassInterfacesWithoutAddingAReference) {
  struct TCase {
    const char* Name;
    TGUID Iid;
    int32_t Result;
  };
  const TCase cases[] = {
      {"IInterface", IInterface::IID, kResultOk},
      {"own interface", IProbe::IID, kResultOk},
      {"other interface", IObjectDestroyer::IID, kResultNoInterface},
  };
  int destructions = 0;
  auto* probe = New<TCountedProbe>(destructions);
  TIntfPtr<IInterface> reference(static_cast<IProbe*>(probe));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    void* obj = &destructions;
    EXPECT_EQ(reference->QueryInterface(c.Iid, &obj), c.Result);
    EXPECT_EQ(obj != nullptr, c.Result == kResultOk);
    EXPECT_EQ(probe->RefCount().RefCount(), 1);
  }

  TIntfPtr<IProbe> supported = Supports<IProbe>(reference);
  ASSERT_TRUE(supported);
  EXPECT_EQ(supported->Value(), 42);
  EXPECT_EQ(probe->RefCount().RefCount(), 2);
}

// Creates another object before its own TFlexibleInterfacedObject part is constructed, which then
// lies past the start of its memory.
struct TInnerMaker {
  explicit TInnerMaker(int& destructions) : Inner(New<TCountedProbe>(destructions)) {}
  TIntfPtr<IProbe> Inner;
};

class THolder : public TInnerMaker, public TFlexibleInterfacedObject {
 public:
  explicit THolder(int& destructions) : TInnerMaker(destructions) {}
};

class TFailing : public TFlexibleInterfacedObject {
 public:
  TFailing() { throw std::runtime_error("constructor"); }
};

TEST(FlexibleInterfacedObjectTest, EachObjectFindsItsOwnCountThroughNestedAndFailedCreations) {
  int destructions = 0;
  TIntfPtr<IInterface> outer(New<THolder>(destructions));
  EXPECT_EQ(destructions, 0);
  outer.Reset();
  EXPECT_EQ(destructions, 1);

  EXPECT_THROW(New<TFailing>(), std::runtime_error);
  TIntfPtr<IProbe> after(New<TCountedProbe>(destructions));
  after.Reset();
  EXPECT_EQ(destructions, 2);
}

TEST(FlexibleInterfacedObjectTest, ObjectNotCreatedWithNewIsRefused) {
  int destructions = 0;
  EXPECT_THROW(TCountedProbe onStack(destructions), EInvalidOperation);
  EXPECT_THROW(std::make_shared<TCountedProbe>(destructions), EInvalidOperation);
}

TEST(FlexibleInterfacedObjectTest, ReferencesTakenAndDroppedOnOtherThreads) {
  int destructions = 0;
  TIntfPtr<IProbe> reference(New<TCountedProbe>(destructions));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([reference] {
      for (int i = 0; i < 10000; ++i) {
        TIntfPtr<IProbe> copy = reference;
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(destructions, 0);
  reference.Reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest, OwnerDeleteRacingTheLastReleaseFreesOnce) {
  int destructions = 0;
  for (int i = 0; i < 200; ++i) {
    std::unique_ptr<TPersistProbe> probe(New<TPersistProbe>(destructions));
    std::atomic<bool> go{false};
    std::thread releaser([reference = TIntfPtr<IProbe>(probe.get()), &go]() mutable {
      while (!go) {
      }
      reference.Reset();
    });
    go = true;
    probe.reset();
    releaser.join();
  }
  EXPECT_EQ(destructions, 200);
}

// ---- streams ----

// A copy would share the inner stream of the original, and an owning TBufferedStream would free
// it twice.
static_assert(!std::is_copy_constructible_v<TBufferedStream> &&
              !std::is_copy_assignable_v<TBufferedStream>);
static_assert(!std::is_copy_constructible_v<TMemoryStream> &&
              !std::is_copy_assignable_v<TMemoryStream>);

TEST(MemoryStreamTest, SeekFromEachOriginAndAnUnknownOneStaysPut) {
  struct TCase {
    TSeekOrigin Origin;
    int64_t Offset;
    int64_t Position;
  };
  const TCase cases[] = {
      {TSeekOrigin::Beginning, 3, 3},
      {TSeekOrigin::Current, -2, 2},
      {TSeekOrigin::End, -1, 9},
      {static_cast<TSeekOrigin>(7), 5, 4},
  };
  TMemoryStream stream;
  const std::vector<uint8_t> bytes(10);
  stream.WriteBuffer(bytes.data(), 10);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "origin " << static_cast<int>(c.Origin) << ", offset " << c.Offset);
    stream.SetPosition(4);
    EXPECT_EQ(stream.Seek(c.Offset, c.Origin), c.Position);
    EXPECT_EQ(stream.Position(), c.Position);
  }
}

// A memory stream that counts the reads asked of it and reports its destruction.
class TCountingStream : public TMemoryStream {
 public:
  explicit TCountingStream(int* destructions = nullptr) : FDestructions(destructions) {}
  ~TCountingStream() override {
    if (FDestructions) {
      ++*FDestructions;
    }
  }
  int64_t Read(void* buffer, int64_t count) override {
    ++Reads;
    if (std::exchange(FailNextRead, false)) {
      throw EReadError("inner read failed");
    }
    return TMemoryStream::Read(buffer, count);
  }
  int Reads = 0;
  bool FailNextRead = false;

 private:
  int* FDestructions;
};

std::vector<uint8_t> Bytes(int first, int count) {
  std::vector<uint8_t> bytes;
  for (int i = first; i < first + count; ++i) {
    bytes.push_back(static_cast<uint8_t>(i));
  }
  return bytes;
}

// 100 bytes 0, 1, 2 ... read through a 16-byte buffer.
class BufferedStreamTest : public testing::Test {
 protected:
  BufferedStreamTest() {
    const std::vector<uint8_t> bytes = Bytes(0, 100);
    inner.WriteBuffer(bytes.data(), 100);
    buffered.SetBuffSize(16);
  }

  std::vector<uint8_t> Read(int64_t count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    bytes.resize(static_cast<size_t>(buffered.Read(bytes.data(), count)));
    return bytes;
  }

  TCountingStream inner;
  TBufferedStream buffered{&inner, soReference};
};

TEST_F(BufferedStreamTest, ReadsWithinTheBufferCostOneInnerRead) {
  for (int first = 0; first < 16; first += 4) {
    EXPECT_EQ(Read(4), Bytes(first, 4));
  }
  EXPECT_EQ(inner.Reads, 1);
}

TEST_F(BufferedStreamTest, ReadSpanningTheBufferEndJoinsBothFills) {
  EXPECT_EQ(Read(10), Bytes(0, 10));
  EXPECT_EQ(Read(10), Bytes(10, 10));
  EXPECT_EQ(inner.Reads, 2);
  EXPECT_EQ(buffered.Position(), 20);
}

TEST_F(BufferedStreamTest, ReadAtTheEndReturnsWhatIsLeft) {
  buffered.Seek(95, TSeekOrigin::Beginning);
  EXPECT_EQ(Read(10), Bytes(95, 5));
  EXPECT_EQ(Read(10), Bytes(0, 0));
  EXPECT_EQ(buffered.Position(), 100);
}

TEST_F(BufferedStreamTest, SeekMovesOnlyThisStreamAndKeepsTheBufferWhenStayingInside) {
  struct TCase {
    TSeekOrigin Origin;
    int64_t Offset;
    int64_t Position;
    int Reads;
  };
  const TCase cases[] = {
      {TSeekOrigin::Beginning, 0, 0, 1},   {TSeekOrigin::Beginning, 15, 15, 1},
      {TSeekOrigin::Beginning, 16, 16, 2}, {TSeekOrigin::Current, -8, 0, 1},
      {TSeekOrigin::Current, 20, 28, 2},   {TSeekOrigin::End, -85, 15, 1},
      {TSeekOrigin::End, -1, 99, 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "origin " << static_cast<int>(c.Origin) << ", offset " << c.Offset);
    buffered.SetPosition(0);
    buffered.InvalidateBuffer();
    inner.Reads = 0;
    Read(8);
    const int64_t innerPosition = inner.Position();

    EXPECT_EQ(buffered.Seek(c.Offset, c.Origin), c.Position);
    EXPECT_EQ(inner.Position(), innerPosition);
    EXPECT_EQ(Read(1), Bytes(static_cast<int>(c.Position), 1));
    EXPECT_EQ(inner.Reads, c.Reads);
  }
}

TEST_F(BufferedStreamTest, FailedInnerReadLeavesNoStaleBytes) {
  Read(8);
  inner.FailNextRead = true;
  EXPECT_THROW(Read(12), EReadError);
  const int64_t position = buffered.Position();
  EXPECT_EQ(Read(4), Bytes(static_cast<int>(position), 4));
}

TEST_F(BufferedStreamTest, SeekOutsideDropsTheBuffer) {
  Read(8);
  buffered.Seek(50, TSeekOrigin::Beginning);
  buffered.Seek(2, TSeekOrigin::Beginning);
  EXPECT_EQ(Read(1), Bytes(2, 1));
  EXPECT_EQ(inner.Reads, 2);
}

TEST_F(BufferedStreamTest, UnknownSeekOriginIsAnAssertionFailure) {
  try {
    buffered.Seek(0, static_cast<TSeekOrigin>(7));
    FAIL() << "no assertion failure";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("lib\\Common\\Common.Classes, line 832"), std::string::npos)
        << e.Message();
  }
}

TEST_F(BufferedStreamTest, BufferSizeSetter) {
  struct TCase {
    int32_t Value;
    int32_t BuffSize;
  };
  const TCase cases[] = {{-1, 16384}, {-100, 16384}, {0, 0}, {32, 32}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value);
    buffered.SetBuffSize(c.Value);
    EXPECT_EQ(buffered.BuffSize(), c.BuffSize);
  }
  EXPECT_EQ(TBufferedStream(&inner, soReference).BuffSize(), 0x100000);
}

TEST_F(BufferedStreamTest, NewBufferSizeDropsTheBufferAndTheSameSizeKeepsIt) {
  Read(8);
  buffered.SetBuffSize(16);
  buffered.SetPosition(0);
  Read(1);
  EXPECT_EQ(inner.Reads, 1);

  buffered.SetBuffSize(32);
  buffered.SetPosition(0);
  Read(1);
  EXPECT_EQ(inner.Reads, 2);
}

TEST_F(BufferedStreamTest, WriteRaises) {
  const uint8_t byte = 0;
  try {
    buffered.Write(&byte, 1);
    FAIL() << "no EStreamError";
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "Stream is read-only");
    EXPECT_EQ(e.ClassName(), "EStreamError");
  }
}

TEST(BufferedStreamOwnershipTest, OnlyAnOwnedInnerStreamIsFreed) {
  int destructions = 0;
  auto referenced = std::make_unique<TCountingStream>(&destructions);
  std::make_unique<TBufferedStream>(referenced.get(), soReference).reset();
  EXPECT_EQ(destructions, 0);

  std::make_unique<TBufferedStream>(referenced.release(), soOwned).reset();
  EXPECT_EQ(destructions, 1);
}

TEST(BufferedStreamFileTest, ReadsAFileItOpened) {
  const std::string fileName =
      platform::TempFolder() + "kv_buffered_" + std::to_string(std::random_device()()) + ".bin";
  const std::vector<uint8_t> bytes = Bytes(0, 10);
  TFileStream(fileName, platform::TFileOpenMode::Create, platform::TFileShare::Exclusive)
      .WriteBuffer(bytes.data(), 10);
  {
    TBufferedStream stream(fileName, 4, platform::TFileOpenMode::OpenRead,
                           platform::TFileShare::DenyWrite);
    EXPECT_EQ(stream.BuffSize(), 4);
    EXPECT_EQ(stream.Size(), 10);
    std::vector<uint8_t> read(10);
    stream.ReadBuffer(read.data(), 10);
    EXPECT_EQ(read, bytes);
    try {
      stream.ReadBuffer(read.data(), 1);
      FAIL() << "no EReadError";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), "Stream read error");
    }
  }
  EXPECT_TRUE(platform::DeleteFile(fileName));
}

}  // namespace
}  // namespace kv
