#include "common/Common.KVSimpleDBase64.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "base/Rtti.h"
#include "common/Common.Helpers.Classes.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EKVSimpleDBase64, "EKVSimpleDBase64", Exception)
KV_DEFINE_CLASS(ESimpleDBaseItemStream64, "ESimpleDBaseItemStream64", Exception)
KV_DEFINE_CLASS(TKVSimpleDBaseReader64, "TKVSimpleDBaseReader64", TObject)
KV_DEFINE_CLASS(TSimpleDBaseItemStream64, "TSimpleDBaseItemStream64", TStream)

struct TKVSimpleDBaseReader64::TConnection {
  std::mutex Lock;
  std::string FilePath;
  // Null once the reader is destroyed.
  std::unique_ptr<TStream> DBase;
};

namespace {

using platform::TFileOpenMode;
using platform::TFileShare;
using platform::TSeekOrigin;

constexpr uint8_t kLatestVersion = 5;
constexpr int32_t kVersion5HeaderSize = 12;
constexpr int64_t kDirectoryStart = 8;
constexpr int32_t kOpenBufferSize = 0x100000;
constexpr int32_t kFastBufferSize = 10240;
// A text's length takes at most four bytes.
constexpr uint8_t kMaxLengthWidth = 4;

int64_t EntrySize(const THeader& header) {
  return header.Version == 4 ? 8 : 12;
}

[[noreturn]] void RaiseDamaged(const std::string& path) {
  throw EKVSimpleDBase64(Format("Файл базы данных \"%s\" поврежден.", path));
}

EKVSimpleDBase64 InitializationError(const std::string& path, const Exception& error) {
  return EKVSimpleDBase64(Format("Ошибка инициализации базы \"%s\"\r\n", path) + error.ClassName() +
                          ": " + error.Message());
}

// Reads the header; leaves the stream at the start of the directory.
THeader ReadHeader(TStream& stream, const std::string& path) {
  TStreamHelper reader(stream);
  THeader header;
  reader.ReadBuffer(header.Signature, 3);
  header.Version = reader.ReadByte();
  if (std::memcmp(header.Signature, "SDB", 3) != 0) {
    RaiseDamaged(path);
  }
  if (header.Version > kLatestVersion) {
    throw EKVSimpleDBase64(
        Format("Формат базы данных имеет более новую версию, чем тот,\r\nс которым может работать "
               "приложение.\r\nТекущая версия приложения может работать с версиями баз от %d и "
               "ниже,\r\nбаза данных имеет версию %d.",
               kLatestVersion, header.Version));
  }
  if (header.Version == 4) {
    header.DataCount = static_cast<uint32_t>(reader.ReadInt32());
  } else if (header.Version == 5) {
    header.AdvancesHeaderSize = reader.ReadInt32();
    // A smaller header would put the directory inside the header.
    if (header.AdvancesHeaderSize < kVersion5HeaderSize) {
      RaiseDamaged(path);
    }
    uint8_t rest[kVersion5HeaderSize];
    reader.ReadBuffer(rest, sizeof rest);
    std::memcpy(&header.DataCount, rest, 4);
    std::memcpy(&header.InfoBlockOffset, rest + 4, 4);
    header.Sorted = rest[8] != 0;
    reader.SkipBuffer(header.AdvancesHeaderSize - kVersion5HeaderSize);
  } else {
    throw EKVSimpleDBase64(Format("Не поддерживаемая версия базы данных (%d)", header.Version));
  }
  return header;
}

// The directory and the offset table need at least two bytes and one table entry per item.
void CheckDataCount(TStream& stream, const THeader& header, int64_t fileSize,
                    const std::string& path) {
  if (int64_t{header.DataCount} * (2 + EntrySize(header)) > fileSize - stream.Position()) {
    RaiseDamaged(path);
  }
}

// The length of a variable-length text: a width byte, then that many bytes of length.
int64_t ReadTextLength(TStream& stream, int64_t fileSize, const std::string& path) {
  TStreamHelper reader(stream);
  const uint8_t width = reader.ReadByte();
  if (width > kMaxLengthWidth) {
    RaiseDamaged(path);
  }
  uint8_t bytes[kMaxLengthWidth] = {};
  reader.ReadBuffer(bytes, width);
  const int64_t length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | int64_t{bytes[3]} << 24;
  if (length > fileSize - stream.Position()) {
    RaiseDamaged(path);
  }
  return length;
}

std::string ReadText(TStream& stream, int64_t fileSize, const std::string& path) {
  std::string text(static_cast<size_t>(ReadTextLength(stream, fileSize, path)), '\0');
  TStreamHelper(stream).ReadBuffer(text.data(), std::ssize(text));
  return text;
}

// Whether the next text is `bytes`; the stream ends after the text either way.
bool ReadTextEquals(TStream& stream, const std::string& bytes, int64_t fileSize,
                    const std::string& path) {
  const int64_t length = ReadTextLength(stream, fileSize, path);
  if (length != std::ssize(bytes)) {
    stream.Seek(length, TSeekOrigin::Current);
    return false;
  }
  std::string text(static_cast<size_t>(length), '\0');
  TStreamHelper(stream).ReadBuffer(text.data(), length);
  return text == bytes;
}

void SkipText(TStream& stream, int64_t fileSize, const std::string& path) {
  stream.Seek(ReadTextLength(stream, fileSize, path), TSeekOrigin::Current);
}

TOffsetAndSizeRec ReadEntry(TStream& stream, const THeader& header) {
  TStreamHelper reader(stream);
  TOffsetAndSizeRec entry;
  entry.Offset =
      header.Version == 4 ? int64_t{static_cast<uint32_t>(reader.ReadInt32())} : reader.ReadInt64();
  entry.Size = reader.ReadInt32();
  return entry;
}

void CheckItemRange(const TOffsetAndSizeRec& item, int64_t fileSize, const std::string& name,
                    const std::string& path) {
  if (item.Offset < 0 || item.Size < 0 || item.Offset > fileSize - item.Size) {
    throw EKVSimpleDBase64(Format("Данные записи \"%s\" в базе \"%s\" повреждены.", name, path));
  }
}

void CopyItem(TStream& from, const TOffsetAndSizeRec& item, TStream& to) {
  from.SetPosition(item.Offset);
  constexpr int64_t kChunk = 0x10000;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(item.Size, kChunk)));
  for (int64_t left = item.Size; left > 0; left -= kChunk) {
    const int64_t part = std::min(left, kChunk);
    TStreamHelper(from).ReadBuffer(chunk.data(), part);
    TStreamHelper(to).WriteBuffer(chunk.data(), part);
  }
}

std::string DecodeName(const std::string& bytes) {
  return platform::DecodeCodePage(platform::AnsiCodePage(), bytes);
}

// The name as the file stores it; nothing when the code page cannot carry it, so that no stored
// name can equal it. Comparing stored bytes spares decoding every name of a large directory.
std::optional<std::string> EncodeName(const std::string& name) {
  std::string bytes = platform::EncodeCodePage(platform::AnsiCodePage(), name);
  if (DecodeName(bytes) != name) {
    return std::nullopt;
  }
  return bytes;
}

// The locale's case-sensitive order: letters ignoring case first, then lower case before upper.
int CompareNames(const std::string& a, const std::string& b) {
  const int byText = platform::CompareTextLocale(a, b);
  if (byText != 0) {
    return byText;
  }
  return b.compare(a);
}

}  // namespace

// ---- TKVSimpleDBaseReader64 ----

TKVSimpleDBaseReader64::TKVSimpleDBaseReader64(const std::string& path, bool useBufferedStream)
    : FFilePath(path), FConnection(std::make_shared<TConnection>()) {
  FConnection->FilePath = path;
  if (!platform::FileExists(path)) {
    throw EKVSimpleDBase64(Format("Файл базы данных \"%s\" отсутствует.", path));
  }
  try {
    auto stream = std::make_unique<TBufferedStream>(path, kOpenBufferSize, TFileOpenMode::OpenRead,
                                                    TFileShare::DenyWrite);
    ReadDirectory(*stream);
    if (useBufferedStream) {
      FConnection->DBase = std::move(stream);
    } else {
      FConnection->DBase =
          std::make_unique<TFileStream>(path, TFileOpenMode::OpenRead, TFileShare::DenyWrite);
    }
  } catch (const Exception& error) {
    throw InitializationError(path, error);
  }
}

TKVSimpleDBaseReader64::~TKVSimpleDBaseReader64() {
  std::lock_guard lock(FConnection->Lock);
  FConnection->DBase.reset();
}

void TKVSimpleDBaseReader64::ReadDirectory(TStream& stream) {
  FFileSize = stream.Size();
  FHeader = ReadHeader(stream, FFilePath);
  CheckDataCount(stream, FHeader, FFileSize, FFilePath);
  FDataNames.reserve(FHeader.DataCount);
  FWorkData.reserve(FHeader.DataCount);
  for (uint32_t i = 0; i < FHeader.DataCount; ++i) {
    FDataNames.push_back(ReadText(stream, FFileSize, FFilePath));
    FWorkData.push_back(ReadText(stream, FFileSize, FFilePath));
  }
  TStreamHelper(stream).CheckRemaining(int64_t{FHeader.DataCount} * EntrySize(FHeader));
  FInfoBlockOffsets.reserve(FHeader.DataCount);
  for (uint32_t i = 0; i < FHeader.DataCount; ++i) {
    FInfoBlockOffsets.push_back(ReadEntry(stream, FHeader));
  }
}

void TKVSimpleDBaseReader64::CheckIndex(int32_t index) const {
  if (static_cast<uint32_t>(index) >= FHeader.DataCount) {
    throw EKVSimpleDBase64("Out of bounds");
  }
}

TOffsetAndSizeRec TKVSimpleDBaseReader64::CheckedItem(int32_t index) const {
  CheckIndex(index);
  const TOffsetAndSizeRec& item = FInfoBlockOffsets[static_cast<size_t>(index)];
  CheckItemRange(item, FFileSize, GetItemName(index), FFilePath);
  return item;
}

std::string TKVSimpleDBaseReader64::GetItemName(int32_t index) const {
  CheckIndex(index);
  return DecodeName(FDataNames[static_cast<size_t>(index)]);
}

int32_t TKVSimpleDBaseReader64::GetIndexFromName(const std::string& value,
                                                 bool raiseIfNotExists) const {
  const auto count = static_cast<int32_t>(FDataNames.size());
  auto nameAt = [&](int32_t i) -> const std::string& { return FDataNames[static_cast<size_t>(i)]; };
  const std::optional<std::string> stored = EncodeName(value);
  int32_t found = -1;
  if (stored && !FHeader.Sorted) {
    const auto it = std::find(FDataNames.begin(), FDataNames.end(), *stored);
    found = it == FDataNames.end() ? -1 : static_cast<int32_t>(it - FDataNames.begin());
  } else if (stored && count > 0) {
    if (nameAt(0) == *stored) {
      found = 0;
    } else if (nameAt(count - 1) == *stored) {
      found = count - 1;
    } else {
      // The name lies strictly between low and high, if anywhere.
      int32_t low = 0;
      int32_t high = count - 1;
      while (found < 0 && high - low > 1) {
        const int32_t probe = low + (high - low) / 2;
        const int order =
            nameAt(probe) == *stored ? 0 : CompareNames(value, DecodeName(nameAt(probe)));
        if (order == 0) {
          found = probe;
        } else if (order < 0) {
          high = probe;
        } else {
          low = probe;
        }
      }
    }
  }
  if (found < 0 && raiseIfNotExists) {
    throw EKVSimpleDBase64(
        Format("Запись с наименованием \"%s\" в базе отсутствует.\r\n\"%s\"", value, FFilePath));
  }
  return found;
}

void TKVSimpleDBaseReader64::GetItemData(int32_t index, TStream& stream) {
  const TOffsetAndSizeRec item = CheckedItem(index);
  {
    std::lock_guard lock(FConnection->Lock);
    CopyItem(*FConnection->DBase, item, stream);
  }
  stream.SetPosition(0);
}

void TKVSimpleDBaseReader64::GetItemData(const std::string& name, TStream& stream) {
  GetItemData(GetIndexFromName(name, true), stream);
}

int64_t TKVSimpleDBaseReader64::GetItemDataOffset(int32_t index) const {
  CheckIndex(index);
  return FInfoBlockOffsets[static_cast<size_t>(index)].Offset;
}

int32_t TKVSimpleDBaseReader64::GetItemDataSize(int32_t index) const {
  CheckIndex(index);
  return FInfoBlockOffsets[static_cast<size_t>(index)].Size;
}

void TKVSimpleDBaseReader64::GetItemWorkData(int32_t index, TStream& stream) const {
  CheckIndex(index);
  const std::string& bytes = FWorkData[static_cast<size_t>(index)];
  TStreamHelper(stream).WriteBuffer(bytes.data(), std::ssize(bytes));
}

void TKVSimpleDBaseReader64::GetItemWorkData(const std::string& name, TStream& stream) const {
  GetItemWorkData(GetIndexFromName(name, true), stream);
}

int32_t TKVSimpleDBaseReader64::GetItemWorkDataSize(int32_t index) const {
  CheckIndex(index);
  return static_cast<int32_t>(FWorkData[static_cast<size_t>(index)].size());
}

std::unique_ptr<TSimpleDBaseItemStream64> TKVSimpleDBaseReader64::CreateItemStream(
    int32_t index, TReaderType readerType) {
  const TOffsetAndSizeRec item = CheckedItem(index);
  std::unique_ptr<TStream> own;
  if (readerType == rtFileStream) {
    own = std::make_unique<TFileStream>(FFilePath, TFileOpenMode::OpenRead, TFileShare::DenyWrite);
  } else if (readerType == rtBufferedStream) {
    own = std::make_unique<TBufferedStream>(FFilePath, kOpenBufferSize, TFileOpenMode::OpenRead,
                                            TFileShare::DenyWrite);
  }
  return std::unique_ptr<TSimpleDBaseItemStream64>(
      new TSimpleDBaseItemStream64(FConnection, item, std::move(own)));
}

std::unique_ptr<TSimpleDBaseItemStream64> TKVSimpleDBaseReader64::CreateItemStream(
    const std::string& name, TReaderType readerType) {
  return CreateItemStream(GetIndexFromName(name, true), readerType);
}

bool TKVSimpleDBaseReader64::FastGetItemData(const std::string& path, const std::string& name,
                                             TStream& stream) {
  try {
    TBufferedStream dBase(path, kFastBufferSize, TFileOpenMode::OpenRead, TFileShare::DenyWrite);
    return FastGetItemData(dBase, name, path, stream);
  } catch (const Exception& error) {
    throw InitializationError(path, error);
  }
}

bool TKVSimpleDBaseReader64::FastGetItemData(TStream& dBase, const std::string& name,
                                             const std::string& pathInfo, TStream& stream) {
  const int64_t fileSize = dBase.Size();
  dBase.SetPosition(0);
  const THeader header = ReadHeader(dBase, pathInfo);
  CheckDataCount(dBase, header, fileSize, pathInfo);
  const std::optional<std::string> stored = EncodeName(name);
  int64_t found = -1;
  for (uint32_t i = 0; stored && i < header.DataCount && found < 0; ++i) {
    if (ReadTextEquals(dBase, *stored, fileSize, pathInfo)) {
      found = i;
    }
    SkipText(dBase, fileSize, pathInfo);
  }
  if (found < 0) {
    return false;
  }
  int64_t tableStart = 0;
  if (header.Version == 5) {
    tableStart = header.InfoBlockOffset;
  } else {
    for (uint32_t i = static_cast<uint32_t>(found) + 1; i < header.DataCount; ++i) {
      SkipText(dBase, fileSize, pathInfo);
      SkipText(dBase, fileSize, pathInfo);
    }
    tableStart = dBase.Position();
  }
  const int64_t entryStart = tableStart + found * EntrySize(header);
  if (tableStart < kDirectoryStart || entryStart > fileSize - EntrySize(header)) {
    RaiseDamaged(pathInfo);
  }
  dBase.SetPosition(entryStart);
  const TOffsetAndSizeRec item = ReadEntry(dBase, header);
  CheckItemRange(item, fileSize, name, pathInfo);
  CopyItem(dBase, item, stream);
  return true;
}

// ---- TSimpleDBaseItemStream64 ----

TSimpleDBaseItemStream64::TSimpleDBaseItemStream64() {
  throw ESimpleDBaseItemStream64(
      "TSimpleDBaseItemStream64 не предназначен для самостоятельного использования.");
}

TSimpleDBaseItemStream64::TSimpleDBaseItemStream64(
    std::shared_ptr<TKVSimpleDBaseReader64::TConnection> connection, TOffsetAndSizeRec item,
    std::unique_ptr<TStream> customStream)
    : FOwner(std::move(connection)),
      FOffset(item.Offset),
      FSize(item.Size),
      FCustomStream(std::move(customStream)) {}

TSimpleDBaseItemStream64::~TSimpleDBaseItemStream64() = default;

int64_t TSimpleDBaseItemStream64::Read(void* buffer, int64_t count) {
  std::lock_guard lock(FOwner->Lock);
  if (!FOwner->DBase) {
    throw ESimpleDBaseItemStream64(
        Format("Невозможно выполнить операцию при закрытом соединении с базой.\r\n\"%s\"",
               FOwner->FilePath));
  }
  const int64_t wanted = std::min(count, FSize - FPosition);
  if (wanted <= 0) {
    return 0;
  }
  TStream& source = FCustomStream ? *FCustomStream : *FOwner->DBase;
  source.SetPosition(FOffset + FPosition);
  TStreamHelper(source).ReadBuffer(buffer, wanted);
  FPosition += wanted;
  return wanted;
}

int64_t TSimpleDBaseItemStream64::Write(const void*, int64_t) {
  throw ESimpleDBaseItemStream64("TSimpleDBaseItemStream64 работает в режме только чтение.");
}

void TSimpleDBaseItemStream64::SetSize(int64_t) {
  throw ESimpleDBaseItemStream64("TSimpleDBaseItemStream64 работает в режме только чтение.");
}

int64_t TSimpleDBaseItemStream64::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t target = SeekTarget(offset, origin, FPosition).value_or(FPosition);
  FPosition = std::clamp<int64_t>(target, 0, FSize);
  return FPosition;
}

}  // namespace kv
