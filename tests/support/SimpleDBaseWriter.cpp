#include "support/SimpleDBaseWriter.h"

#include <algorithm>

#include "platform/Text.h"

namespace kv::test {
namespace {

template <class T>
void Put(std::string& bytes, T value, int width = sizeof(T)) {
  for (int i = 0; i < width; ++i) {
    bytes += static_cast<char>(static_cast<uint64_t>(value) >> (8 * i) & 0xFF);
  }
}

template <class T>
void PutAt(std::string& bytes, size_t offset, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) {
    bytes[offset + i] = static_cast<char>(static_cast<uint64_t>(value) >> (8 * i) & 0xFF);
  }
}

// The width byte, the length in as few bytes as it needs, the text.
void PutText(std::string& bytes, const std::string& text) {
  int width = 0;
  for (uint64_t length = text.size(); length > 0; length >>= 8) {
    ++width;
  }
  bytes += static_cast<char>(width);
  Put(bytes, static_cast<uint64_t>(text.size()), width);
  bytes += text;
}

}  // namespace

TSimpleDBaseImage WriteSimpleDBase(const std::vector<TSimpleDBaseItem>& items,
                                   const TSimpleDBaseLayout& layout) {
  TSimpleDBaseImage image;
  std::string& bytes = image.Bytes;
  bytes = "SDB";
  bytes += static_cast<char>(layout.Version);
  size_t infoBlockOffsetField = 0;
  if (layout.Version == 5) {
    Put(bytes, layout.AdvancesHeaderSize);
    Put(bytes, static_cast<uint32_t>(items.size()));
    infoBlockOffsetField = bytes.size();
    Put(bytes, int32_t{0});
    bytes += static_cast<char>(layout.Sorted ? 1 : 0);
    bytes.append(3, '\0');
    bytes.append(static_cast<size_t>(std::max(layout.AdvancesHeaderSize - 12, 0)), '\0');
  } else {
    Put(bytes, static_cast<uint32_t>(items.size()));
  }
  image.DirectoryOffset = std::ssize(bytes);
  for (const TSimpleDBaseItem& item : items) {
    PutText(bytes, platform::EncodeCodePage(platform::AnsiCodePage(), item.Name));
    PutText(bytes, item.WorkData);
  }
  image.TableOffset = std::ssize(bytes);
  image.EntrySize = layout.Version == 5 ? 12 : 8;
  int64_t offset = image.TableOffset + image.EntrySize * std::ssize(items);
  if (layout.DataStart > 0) {
    offset = layout.DataStart;
  }
  for (const TSimpleDBaseItem& item : items) {
    image.DataOffsets.push_back(offset);
    if (layout.Version == 5) {
      Put(bytes, offset);
    } else {
      Put(bytes, static_cast<uint32_t>(offset));
    }
    Put(bytes, static_cast<int32_t>(item.Data.size()));
    offset += std::ssize(item.Data);
  }
  if (infoBlockOffsetField) {
    PutAt(bytes, infoBlockOffsetField, static_cast<int32_t>(image.TableOffset));
  }
  if (layout.DataStart == 0) {
    for (const TSimpleDBaseItem& item : items) {
      bytes += item.Data;
    }
  }
  return image;
}

}  // namespace kv::test
