#pragma once
// The reader of the simple database container: one file with a directory of named items (each
// with a short work-data text) and an offset table pointing at their data blocks. Read only.
//
// The file is outside input. Counts and text lengths are checked against the file's size before
// anything is allocated; an item whose offset or size points outside the file raises
// EKVSimpleDBase64 when it is read, and leaves the other items readable.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "common/Common.Classes.h"

namespace kv {

KV_DECLARE_EXCEPTION(EKVSimpleDBase64, Exception)
KV_DECLARE_EXCEPTION(ESimpleDBaseItemStream64, Exception)

struct TOffsetAndSizeRec {
  int64_t Offset = 0;
  int32_t Size = 0;
};

struct THeader {
  char Signature[3] = {};
  uint8_t Version = 0;
  int32_t AdvancesHeaderSize = 0;
  uint32_t DataCount = 0;
  int32_t InfoBlockOffset = 0;
  bool Sorted = false;
};

// How an item stream reads: through the reader's stream, or through a file stream or a buffered
// stream of its own.
enum TReaderType : uint8_t { rtDefault = 0, rtFileStream = 1, rtBufferedStream = 2 };

class TSimpleDBaseItemStream64;

class TKVSimpleDBaseReader64 : public TObject {
  KV_CLASS_INFO()
 public:
  // What the reader shares with its item streams; it outlives the reader while they exist, so
  // that closing the reader while they are read from other threads is safe.
  struct TConnection;

  // Opens the file (read-only, denying writers) and reads the header, directory and offset
  // table; keeps the file open until destroyed.
  TKVSimpleDBaseReader64(const std::string& path, bool useBufferedStream);
  // Item streams still alive raise on their next read.
  ~TKVSimpleDBaseReader64() override;
  TKVSimpleDBaseReader64(const TKVSimpleDBaseReader64&) = delete;
  TKVSimpleDBaseReader64& operator=(const TKVSimpleDBaseReader64&) = delete;

  uint32_t RecordCount() const { return FHeader.DataCount; }
  const std::string& FilePath() const { return FFilePath; }
  const THeader& Header() const { return FHeader; }

  // Operations taking an index raise EKVSimpleDBase64 "Out of bounds" outside 0..RecordCount-1.
  std::string GetItemName(int32_t index) const;
  // The index of the name (exact, case-sensitive), or -1 / EKVSimpleDBase64 when absent.
  int32_t GetIndexFromName(const std::string& value, bool raiseIfNotExists) const;
  // Copies the item's data into stream and moves stream to its start.
  void GetItemData(int32_t index, TStream& stream);
  void GetItemData(const std::string& name, TStream& stream);
  int64_t GetItemDataOffset(int32_t index) const;
  int32_t GetItemDataSize(int32_t index) const;
  // The work data's bytes as the file stores them (single-byte text).
  void GetItemWorkData(int32_t index, TStream& stream) const;
  void GetItemWorkData(const std::string& name, TStream& stream) const;
  int32_t GetItemWorkDataSize(int32_t index) const;
  // A read-only stream over the item's data; a missing name raises.
  std::unique_ptr<TSimpleDBaseItemStream64> CreateItemStream(int32_t index,
                                                             TReaderType readerType = rtDefault);
  std::unique_ptr<TSimpleDBaseItemStream64> CreateItemStream(const std::string& name,
                                                             TReaderType readerType = rtDefault);

  // Finds the item by name in the file and appends its data to stream, without reading the
  // whole directory into memory; false when there is no such item.
  static bool FastGetItemData(const std::string& path, const std::string& name, TStream& stream);
  // The same on an open stream; pathInfo names the file in messages.
  static bool FastGetItemData(TStream& dBase, const std::string& name, const std::string& pathInfo,
                              TStream& stream);

 private:
  void ReadDirectory(TStream& stream);
  void CheckIndex(int32_t index) const;
  // The item's offset and size, checked against the file.
  TOffsetAndSizeRec CheckedItem(int32_t index) const;

  std::string FFilePath;
  // Names and work data as the file stores them, in the system code page.
  std::vector<std::string> FDataNames;
  std::vector<std::string> FWorkData;
  std::vector<TOffsetAndSizeRec> FInfoBlockOffsets;
  int64_t FFileSize = 0;
  THeader FHeader;
  std::shared_ptr<TConnection> FConnection;
};

class TSimpleDBaseItemStream64 : public TStream {
  KV_CLASS_INFO()
 public:
  // Raises: item streams come from TKVSimpleDBaseReader64::CreateItemStream.
  TSimpleDBaseItemStream64();
  ~TSimpleDBaseItemStream64() override;

  // Raises ESimpleDBaseItemStream64 once the reader is destroyed.
  int64_t Read(void* buffer, int64_t count) override;
  // Raise: the stream is read-only.
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;
  // Clamped to 0..Size.
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }

 private:
  friend class TKVSimpleDBaseReader64;
  TSimpleDBaseItemStream64(std::shared_ptr<TKVSimpleDBaseReader64::TConnection> connection,
                           TOffsetAndSizeRec item, std::unique_ptr<TStream> customStream);

  std::shared_ptr<TKVSimpleDBaseReader64::TConnection> FOwner;
  int64_t FOffset = 0;
  int32_t FSize = 0;
  int64_t FPosition = 0;
  std::unique_ptr<TStream> FCustomStream;
};

}  // namespace kv
