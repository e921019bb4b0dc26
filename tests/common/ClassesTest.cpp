#include "common/Common.Classes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
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
  TIntfPtr<IProbe> first(new TCountedProbe(destructions));
  TIntfPtr<IProbe> second = first;
  first.Reset();
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(second->Value(), 42);
  second.Reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest, CountedObjectWithoutReferencesMayBeDeletedByHand) {
  int destructions = 0;
  std::unique_ptr<TCountedProbe> probe(new TCountedProbe(destructions));
  EXPECT_TRUE(probe->IsReferenceCounted());
  probe.reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectDeathTest, DeletingReferencedCountedObjectEndsTheProgram) {
  int destructions = 0;
  auto* probe = new TCountedProbe(destructions);
  TIntfPtr<IProbe> reference(probe);
  EXPECT_DEATH(delete probe, kManualDestroyMessage);
  EXPECT_EQ(TFlexibleInterfacedObject::EManualDestroyError().ClassName(), "EManualDestroyError");
}

TEST(FlexibleInterfacedObjectTest, PersistentObjectLivesOnWhenItsReferencesGo) {
  int destructions = 0;
  std::unique_ptr<TPersistProbe> probe(new TPersistProbe(destructions));
  EXPECT_FALSE(probe->IsReferenceCounted());
  TIntfPtr<IProbe>(probe.get()).Reset();
  EXPECT_EQ(destructions, 0);
  EXPECT_EQ(probe->RefCount().State(), osNormal);
  probe.reset();
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest,
     PersistentObjectDeletedWhileReferencedKeepsItsMemoryForTheLastRelease) {
  int destructions = 0;
  auto probe = std::make_unique<TPersistProbe>(destructions);
  TIntfPtr<IProbe> reference(probe.get());
  TLifetime& lifetime = probe->RefCount();

  probe.reset();
  EXPECT_EQ(destructions, 1);
  EXPECT_EQ(lifetime.State(), osDestroyed);
  EXPECT_EQ(lifetime.RefCount(), 1);

  TIntfPtr<IProbe> copy = reference;
  EXPECT_EQ(lifetime.RefCount(), 2);
  reference.Reset();
  copy.Reset();  // frees the memory; the sanitizers see a leak or a second free
  EXPECT_EQ(destructions, 1);
}

TEST(FlexibleInterfacedObjectTest, QueryInterfaceAnswersTheClassInterfacesWithoutAddingAReference) {
  struct TCase {
    const char* Name;
    TGUID Iid;
    int32_t Result;
  };
  const TCase cases[] = {
      {"IInterface", IInterface::IID, S_OK_CODE},
      {"own interface", IProbe::IID, S_OK_CODE},
      {"other interface", IObjectDestroyer::IID, E_NOINTERFACE_CODE},
  };
  int destructions = 0;
  auto* probe = new TCountedProbe(destructions);
  TIntfPtr<IInterface> reference(static_cast<IProbe*>(probe));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    void* obj = &destructions;
    EXPECT_EQ(reference->QueryInterface(c.Iid, &obj), c.Result);
    EXPECT_EQ(obj != nullptr, c.Result == S_OK_CODE);
    EXPECT_EQ(probe->RefCount().RefCount(), 1);
  }

  TIntfPtr<IProbe> supported = Supports<IProbe>(reference);
  ASSERT_TRUE(supported);
  EXPECT_EQ(supported->Value(), 42);
  EXPECT_EQ(probe->RefCount().RefCount(), 2);
}

// Holds a reference to an object created while its own allocation was pending.
class THolder : public TFlexibleInterfacedObject {
 public:
  explicit THolder(TIntfPtr<IProbe> inner) : FInner(std::move(inner)) {}

 private:
  TIntfPtr<IProbe> FInner;
};

class TFailing : public TFlexibleInterfacedObject {
 public:
  TFailing() { throw std::runtime_error("constructor"); }
};

int& FailingArgument() {
  throw std::runtime_error("argument");
}

TEST(FlexibleInterfacedObjectTest, EachObjectFindsItsOwnCountThroughNestedAndFailedCreations) {
  int destructions = 0;
  TIntfPtr<IInterface> outer(new THolder(TIntfPtr<IProbe>(new TCountedProbe(destructions))));
  EXPECT_EQ(destructions, 0);
  outer.Reset();
  EXPECT_EQ(destructions, 1);

  EXPECT_THROW(TIntfPtr<IInterface>(new TFailing()), std::runtime_error);
  EXPECT_THROW(TIntfPtr<IProbe>(new TCountedProbe(FailingArgument())), std::runtime_error);
  TIntfPtr<IProbe> after(new TCountedProbe(destructions));
  after.Reset();
  EXPECT_EQ(destructions, 2);
}

TEST(FlexibleInterfacedObjectTest, ObjectNotCreatedWithNewIsRefused) {
  int destructions = 0;
  EXPECT_THROW(TCountedProbe onStack(destructions), EInvalidOperation);
}

TEST(FlexibleInterfacedObjectTest, ReferencesTakenAndDroppedOnOtherThreads) {
  int destructions = 0;
  TIntfPtr<IProbe> reference(new TCountedProbe(destructions));
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
    auto probe = std::make_unique<TPersistProbe>(destructions);
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
    return TMemoryStream::Read(buffer, count);
  }
  int Reads = 0;

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
