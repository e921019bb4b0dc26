#include "common/Common.KVSimpleDBase64.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/Common.Helpers.Classes.h"
#include "support/SimpleDBaseWriter.h"
#include "support/SparseStream.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::MessageOf;
using test::TSimpleDBaseItem;
using test::TSimpleDBaseLayout;
using test::WriteSimpleDBase;

const std::vector<TSimpleDBaseItem> kItems = {
    {"Info", "служебное", "info data"},
    {"Расценки", "", std::string(3000, 'r')},
    {"empty", "w", ""},
    {"Info", "second of the name", "never found"},
};

std::string BytesOf(TStream& stream) {
  const std::vector<uint8_t> bytes = TStreamHelper(stream).GetAsBytes();
  return std::string(bytes.begin(), bytes.end());
}

std::string ReadAll(TStream& stream, int64_t chunk) {
  std::string result;
  std::string buffer(static_cast<size_t>(chunk), '\0');
  for (int64_t read; (read = stream.Read(buffer.data(), chunk)) > 0;) {
    result.append(buffer.data(), static_cast<size_t>(read));
  }
  return result;
}

void PutInt32(std::string& bytes, int64_t offset, int32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<size_t>(offset + i)] =
        static_cast<char>(static_cast<uint32_t>(value) >> (8 * i) & 0xFF);
  }
}

void PutInt64(std::string& bytes, int64_t offset, int64_t value) {
  PutInt32(bytes, offset, static_cast<int32_t>(value));
  PutInt32(bytes, offset + 4, static_cast<int32_t>(value >> 32));
}

std::string InitializationMessage(const std::string& path, const std::string& rest) {
  return "Ошибка инициализации базы \"" + path + "\"\r\nEKVSimpleDBase64: " + rest;
}

class SimpleDBaseTest : public testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = FFolder.Path(name);
    test::WriteFileBytes(path, bytes);
    return path;
  }

  test::TTempFolder FFolder;
};

TEST_F(SimpleDBaseTest, ReadsBothVersionsByIndexAndName) {
  const TSimpleDBaseLayout layouts[] = {
      {.Version = 4}, {.Version = 5}, {.Version = 5, .AdvancesHeaderSize = 16}};
  for (const TSimpleDBaseLayout& layout : layouts) {
    SCOPED_TRACE(testing::Message() << int(layout.Version) << " " << layout.AdvancesHeaderSize);
    const std::string path = Write("items.sdb", WriteSimpleDBase(kItems, layout).Bytes);
    for (bool buffered : {true, false}) {
      TKVSimpleDBaseReader64 reader(path, buffered);
      ASSERT_EQ(reader.RecordCount(), kItems.size());
      EXPECT_EQ(reader.Header().Version, layout.Version);
      for (int32_t i = 0; i < std::ssize(kItems); ++i) {
        EXPECT_EQ(reader.GetItemName(i), kItems[i].Name);
        EXPECT_EQ(reader.GetItemDataSize(i), std::ssize(kItems[i].Data));
        TMemoryStream data;
        reader.GetItemData(i, data);
        EXPECT_EQ(data.Position(), 0);
        EXPECT_EQ(BytesOf(data), kItems[i].Data);
        TMemoryStream work;
        reader.GetItemWorkData(i, work);
        EXPECT_EQ(reader.GetItemWorkDataSize(i), work.Size());
      }
      EXPECT_EQ(reader.GetIndexFromName("Info", false), 0);
      EXPECT_EQ(reader.GetIndexFromName("info", false), -1);
      TMemoryStream byName;
      reader.GetItemData("Расценки", byName);
      EXPECT_EQ(BytesOf(byName), kItems[1].Data);
    }
    for (const TSimpleDBaseItem& item : {kItems[0], kItems[1], kItems[2]}) {
      TMemoryStream fast;
      ASSERT_TRUE(TKVSimpleDBaseReader64::FastGetItemData(path, item.Name, fast));
      EXPECT_EQ(BytesOf(fast), item.Data);
      EXPECT_EQ(fast.Position(), fast.Size());
    }
    TMemoryStream none;
    EXPECT_FALSE(TKVSimpleDBaseReader64::FastGetItemData(path, "absent", none));
    EXPECT_EQ(none.Size(), 0);
  }
}

TEST_F(SimpleDBaseTest, SortedDirectoryFindsEveryNameAndMissesTheAbsent) {
  std::vector<TSimpleDBaseItem> items;
  for (const char* name : {"Ab", "Ba", "Be", "Ca", "Da", "Db", "Ea", "Fa", "Ga", "Ha", "Hb"}) {
    items.push_back({name, "", name});
  }
  const std::string path =
      Write("sorted.sdb", WriteSimpleDBase(items, {.Version = 5, .Sorted = true}).Bytes);
  TKVSimpleDBaseReader64 reader(path, true);
  for (int32_t i = 0; i < std::ssize(items); ++i) {
    EXPECT_EQ(reader.GetIndexFromName(items[i].Name, true), i) << items[i].Name;
  }
  for (const char* absent : {"A", "Bb", "Cz", "Zz", "", "ab"}) {
    EXPECT_EQ(reader.GetIndexFromName(absent, false), -1) << absent;
  }
  EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] { reader.GetIndexFromName("Нет", true); }),
            "Запись с наименованием \"Нет\" в базе отсутствует.\r\n\"" + path + "\"");

  const std::string emptyPath =
      Write("empty.sdb", WriteSimpleDBase({}, {.Version = 5, .Sorted = true}).Bytes);
  TKVSimpleDBaseReader64 empty(emptyPath, true);
  EXPECT_EQ(empty.RecordCount(), 0u);
  EXPECT_EQ(empty.GetIndexFromName("Info", false), -1);
}

TEST_F(SimpleDBaseTest, HeaderAndFileMessages) {
  struct Case {
    std::string Bytes;
    std::string Message;  // %s is the path
  };
  const std::string path = FFolder.Path("base.sdb");
  const std::vector<Case> cases = {
      {"XDB\x05" + std::string(16, '\0'), "Файл базы данных \"" + path + "\" поврежден."},
      {"SDB\x06" + std::string(16, '\0'),
       "Формат базы данных имеет более новую версию, чем тот,\r\nс которым может работать "
       "приложение.\r\nТекущая версия приложения может работать с версиями баз от 5 и "
       "ниже,\r\nбаза данных имеет версию 6."},
      {"SDB\x03" + std::string(16, '\0'), "Не поддерживаемая версия базы данных (3)"},
  };
  for (const Case& c : cases) {
    Write("base.sdb", c.Bytes);
    EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] { TKVSimpleDBaseReader64(path, true); }),
              InitializationMessage(path, c.Message));
    TMemoryStream target;
    EXPECT_EQ(MessageOf<EKVSimpleDBase64>(
                  [&] { TKVSimpleDBaseReader64::FastGetItemData(path, "Info", target); }),
              InitializationMessage(path, c.Message));
  }
  const std::string missing = FFolder.Path("missing.sdb");
  EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] { TKVSimpleDBaseReader64(missing, true); }),
            "Файл базы данных \"" + missing + "\" отсутствует.");
}

// Damaged directories: every one ends Create with EKVSimpleDBase64 and the fast lookup with the
// same, never with a crash, a hang or an allocation the file's size does not justify.
TEST_F(SimpleDBaseTest, DamagedDirectoriesAreRefused) {
  const test::TSimpleDBaseImage image = WriteSimpleDBase(kItems);
  const int64_t directory = image.DirectoryOffset;
  struct Case {
    const char* Name;
    std::function<void(std::string&)> Damage;
  };
  const std::vector<Case> cases = {
      {"length width above four", [&](std::string& b) { b[directory] = '\x05'; }},
      {"name past the end", [&](std::string& b) { b[directory + 1] = '\xFF'; }},
      {"huge item count", [](std::string& b) { PutInt32(b, 8, -1); }},
      {"header size below its minimum", [](std::string& b) { PutInt32(b, 4, 4); }},
      {"negative header size", [](std::string& b) { PutInt32(b, 4, -100); }},
      {"truncated table", [&](std::string& b) { b.resize(image.TableOffset + 20); }},
      {"truncated header", [](std::string& b) { b.resize(10); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string bytes = image.Bytes;
    c.Damage(bytes);
    const std::string path = Write("damaged.sdb", bytes);
    EXPECT_THROW(TKVSimpleDBaseReader64(path, true), EKVSimpleDBase64);
    TMemoryStream target;
    EXPECT_THROW(TKVSimpleDBaseReader64::FastGetItemData(path, "empty", target), EKVSimpleDBase64);
  }
}

TEST_F(SimpleDBaseTest, OneBadItemLeavesTheOthersReadable) {
  std::vector<TSimpleDBaseItem> items;
  for (int i = 0; i < 6; ++i) {
    items.push_back({"item" + std::to_string(i), "", "data of " + std::to_string(i)});
  }
  test::TSimpleDBaseImage image = WriteSimpleDBase(items);
  auto entry = [&](int i) { return image.TableOffset + i * image.EntrySize; };
  PutInt64(image.Bytes, entry(1), -5);                                   // negative offset
  PutInt32(image.Bytes, entry(2) + 8, -1);                               // negative size
  PutInt64(image.Bytes, entry(3), std::ssize(image.Bytes) - 2);          // past the end
  PutInt64(image.Bytes, entry(4), std::numeric_limits<int64_t>::max());  // overflows when added
  const std::string path = Write("items.sdb", image.Bytes);

  TKVSimpleDBaseReader64 reader(path, true);
  for (int i : {1, 2, 3, 4}) {
    SCOPED_TRACE(i);
    TMemoryStream data;
    EXPECT_EQ(
        MessageOf<EKVSimpleDBase64>([&] { reader.GetItemData(i, data); }),
        "Данные записи \"item" + std::to_string(i) + "\" в базе \"" + path + "\" повреждены.");
    EXPECT_THROW(reader.CreateItemStream(i), EKVSimpleDBase64);
    TMemoryStream fast;
    EXPECT_THROW(TKVSimpleDBaseReader64::FastGetItemData(path, items[i].Name, fast),
                 EKVSimpleDBase64);
  }
  for (int i : {0, 5}) {
    TMemoryStream data;
    reader.GetItemData(i, data);
    EXPECT_EQ(BytesOf(data), items[i].Data);
    EXPECT_EQ(ReadAll(*reader.CreateItemStream(i), 4), items[i].Data);
  }
  for (int32_t index : {-1, 6}) {
    TMemoryStream data;
    EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] { reader.GetItemData(index, data); }),
              "Out of bounds");
    EXPECT_THROW(reader.GetItemName(index), EKVSimpleDBase64);
  }
}

TEST_F(SimpleDBaseTest, ItemStreamsOfEveryKindReadOnlyTheirItem) {
  const std::string path = Write("items.sdb", WriteSimpleDBase(kItems).Bytes);
  TKVSimpleDBaseReader64 reader(path, true);
  for (TReaderType type : {rtDefault, rtFileStream, rtBufferedStream}) {
    SCOPED_TRACE(int(type));
    const auto stream = reader.CreateItemStream("Расценки", type);
    EXPECT_EQ(stream->Size(), 3000);
    EXPECT_EQ(ReadAll(*stream, 1024), kItems[1].Data);
    stream->Seek(-10, platform::TSeekOrigin::Current);
    char tail[64];
    EXPECT_EQ(stream->Read(tail, sizeof tail), 10);
    EXPECT_EQ(stream->Seek(-10, platform::TSeekOrigin::Beginning), 0);
    EXPECT_EQ(stream->Seek(10, platform::TSeekOrigin::End), 3000);
    EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([&] { stream->Write("x", 1); }),
              "TSimpleDBaseItemStream64 работает в режме только чтение.");
    EXPECT_THROW(stream->SetSize(1), ESimpleDBaseItemStream64);
  }
  const auto empty = reader.CreateItemStream(2);
  char byte;
  EXPECT_EQ(empty->Read(&byte, 1), 0);
  TMemoryStream target;
  reader.GetItemData("empty", target);
  EXPECT_EQ(target.Size(), 0);
  EXPECT_EQ(target.Position(), 0);
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([] { TSimpleDBaseItemStream64 stream; }),
            "TSimpleDBaseItemStream64 не предназначен для самостоятельного использования.");
}

TEST_F(SimpleDBaseTest, ClosingTheReaderWhileItemStreamsAreRead) {
  std::vector<TSimpleDBaseItem> items;
  for (int i = 0; i < 4; ++i) {
    items.push_back({"item" + std::to_string(i), "", std::string(200000, char('a' + i))});
  }
  const std::string path = Write("items.sdb", WriteSimpleDBase(items).Bytes);
  auto reader = std::make_unique<TKVSimpleDBaseReader64>(path, true);
  std::vector<std::unique_ptr<TSimpleDBaseItemStream64>> streams;
  for (int i = 0; i < 4; ++i) {
    streams.push_back(reader->CreateItemStream(i, static_cast<TReaderType>(i % 3)));
  }
  // Each thread reads until the reader is gone; the reader goes once every thread has read.
  std::atomic<int> reading = 0;
  std::atomic<int> closedSeen = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      try {
        for (int round = 0;; ++round) {
          streams[i]->SetPosition(0);
          char buffer[512];
          const int64_t read = streams[i]->Read(buffer, sizeof buffer);
          if (read != 512 || buffer[0] != char('a' + i) || buffer[511] != char('a' + i)) {
            ADD_FAILURE() << "wrong bytes in stream " << i;
            ++reading;
            return;
          }
          if (round == 0) {
            ++reading;
          }
        }
      } catch (const ESimpleDBaseItemStream64&) {
        ++closedSeen;
      }
    });
  }
  while (reading < 4) {
    std::this_thread::yield();
  }
  reader.reset();
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(closedSeen, 4);
  char byte;
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([&] { streams[0]->Read(&byte, 1); }),
            "Невозможно выполнить операцию при закрытом соединении с базой.\r\n\"" + path + "\"");
}

TEST(SimpleDBaseStreamTest, FastLookupReachesItemsPastTwoGiB) {
  constexpr int64_t kDataStart = int64_t{5} << 30;
  const std::vector<TSimpleDBaseItem> items = {{"first", "", "near"}, {"Info", "", "far away"}};
  const test::TSimpleDBaseImage image =
      WriteSimpleDBase(items, {.Version = 5, .DataStart = kDataStart});
  test::TSparseStream file;
  file.WriteBuffer(image.Bytes.data(), std::ssize(image.Bytes));
  for (size_t i = 0; i < items.size(); ++i) {
    file.SetPosition(image.DataOffsets[i]);
    file.WriteBuffer(items[i].Data.data(), std::ssize(items[i].Data));
  }
  TMemoryStream target;
  ASSERT_TRUE(TKVSimpleDBaseReader64::FastGetItemData(file, "Info", "sparse", target));
  EXPECT_EQ(BytesOf(target), "far away");

  // A table offset that is negative or past the end.
  for (int32_t offset : {-12, 0x7FFFFFF0}) {
    test::TSparseStream damaged;
    std::string bytes = image.Bytes;
    PutInt32(bytes, 12, offset);
    damaged.WriteBuffer(bytes.data(), std::ssize(bytes));
    EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] {
                TKVSimpleDBaseReader64::FastGetItemData(damaged, "Info", "sparse", target);
              }),
              "Файл базы данных \"sparse\" поврежден.");
  }
}

}  // namespace
}  // namespace kv
