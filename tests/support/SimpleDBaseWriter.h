#pragma once
// Writes simple database containers for the reader's tests: header, directory, offset table and
// the data blocks in that order, as the maker's writer lays them out.

#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

struct TSimpleDBaseItem {
  std::string Name;  // UTF-8, stored in the system code page
  std::string WorkData;
  std::string Data;
};

struct TSimpleDBaseLayout {
  uint8_t Version = 5;
  bool Sorted = false;
  // Version 5: the header's size after its size field; more than 12 adds zero bytes.
  int32_t AdvancesHeaderSize = 12;
  // Where the data blocks start; 0 puts them right after the offset table. A larger value gives
  // a sparse file's positions (see SimpleDBaseOffsets).
  int64_t DataStart = 0;
};

struct TSimpleDBaseImage {
  std::string Bytes;
  int64_t DirectoryOffset = 0;
  int64_t TableOffset = 0;
  int64_t EntrySize = 0;
  std::vector<int64_t> DataOffsets;
};

// The container's bytes. With a DataStart past the directory, Bytes holds only header, directory
// and table; the data blocks are for the caller to place at DataOffsets.
TSimpleDBaseImage WriteSimpleDBase(const std::vector<TSimpleDBaseItem>& items,
                                   const TSimpleDBaseLayout& layout = {});

}  // namespace kv::test
