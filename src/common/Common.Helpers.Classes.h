#pragma once
// Typed reads and writes on any stream: numbers, texts in several forms, string and integer
// lists, nested streams, size-prefixed blocks, signatures, variants and versioned objects. All
// numbers are little-endian; single-byte text is in the system's ANSI code page.
//
// The stream's content is outside input: every length and count read from it is checked against
// the bytes that remain before anything is allocated or skipped.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Guid.h"
#include "common/Common.Classes.h"
#include "common/StringList.h"

namespace kv {

// The platform's file time: 100-nanosecond intervals since 1 January 1601.
using TFileTime = uint64_t;

// Variant type codes, as the variant's type word stores them.
enum : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varSmallint = 0x0002,
  varInteger = 0x0003,
  varSingle = 0x0004,
  varDouble = 0x0005,
  varCurrency = 0x0006,
  varDate = 0x0007,
  varOleStr = 0x0008,
  varDispatch = 0x0009,
  varError = 0x000A,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varUnknown = 0x000D,
  varShortInt = 0x0010,
  varByte = 0x0011,
  varWord = 0x0012,
  varLongWord = 0x0013,
  varInt64 = 0x0014,
  varString = 0x0100,
  varArray = 0x2000,
  varByRef = 0x4000,
};

// A variant value as it is stored: the type code and the value's bytes.
struct TVariant {
  uint16_t VType = varEmpty;
  // A scalar's raw little-endian bytes (as many as its type has).
  uint64_t Raw = 0;
  // varOleStr and varString, as UTF-8.
  std::string Text;
  // Arrays: the bounds of each dimension, and either the elements' raw bytes (plain element
  // types) or the elements, the last dimension varying fastest.
  std::vector<int32_t> LowBounds;
  std::vector<int32_t> HighBounds;
  std::vector<uint8_t> ArrayData;
  std::vector<TVariant> Items;

  static TVariant Int32(int32_t value);
  static TVariant Double(double value);
  static TVariant OleStr(std::string text);
  int32_t AsInt32() const { return static_cast<int32_t>(Raw); }
  double AsDouble() const;

  friend bool operator==(const TVariant&, const TVariant&) = default;
};

// The helpers over one stream; cheap to make around any stream for a few calls.
class TStreamHelper {
 public:
  explicit TStreamHelper(TStream& stream) : FStream(stream) {}

  // Exact transfers: EReadError "Stream read error, position: %d, size: %d, count: %d" or
  // EWriteError "Stream write error" when the stream falls short.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  uint8_t ReadByte();
  void WriteByte(uint8_t value);
  char ReadCharA() { return static_cast<char>(ReadByte()); }
  void WriteCharA(char value) { WriteByte(static_cast<uint8_t>(value)); }
  // One byte 1 or 0; any non-zero byte reads as true.
  bool ReadBoolean() { return ReadByte() != 0; }
  void WriteBoolean(bool value) { WriteByte(value ? 1 : 0); }
  uint16_t ReadWord();
  void WriteWord(uint16_t value);
  int32_t ReadInt32();
  void WriteInt32(int32_t value);
  int64_t ReadInt64();
  void WriteInt64(int64_t value);
  double ReadDbl();
  void WriteDbl(double value);
  TDateTime ReadDateTime() { return ReadDbl(); }
  void WriteDateTime(TDateTime value) { WriteDbl(value); }
  TFileTime ReadFileTime();
  void WriteFileTime(TFileTime value);
  // The 80-bit extended type, converted to and from double without relying on long double.
  double ReadExtended();
  void WriteExtended(double value);
  TGUID ReadGUID();
  void WriteGUID(const TGUID& value);

  // A 32-bit byte count, then the text in the system code page. Characters the code page lacks
  // are written as '?', so that the count always matches the bytes that follow.
  std::string ReadString();
  void WriteString(const std::string& value);
  // A 32-bit length, then single-byte text as it is (no conversion).
  std::string ReadStringA();
  void WriteStringA(const std::string& value);
  // A 16-bit byte count, then the text in the system code page; a longer text raises
  // EWriteError before anything is written.
  std::string ReadString16();
  void WriteString16(const std::string& value);
  // The filer's single-byte string form (tags 6, 7 and 8).
  std::string ReadFilerString();
  void WriteFilerString(const std::string& value);

  // A 32-bit count, then per line its text (as WriteString) and its 32-bit object value.
  void ReadTStrings(TStringList& list, bool clear = true);
  void WriteTStrings(const TStringList& list);
  std::vector<int32_t> ReadListInteger();
  void WriteListInteger(const std::vector<int32_t>& list);

  // A 64-bit size, then the whole source from its start / that many bytes copied into dest.
  void ReadStream(TStream& dest);
  void WriteStream(TStream& source);
  // A 32-bit size, then the whole stream from its start; a stream too large for the size raises
  // EWriteError before anything is written. Loading empties this stream and copies the block
  // read from source into it.
  void SaveToStreamBySize(TStream& dest);
  void LoadFromStreamBySize(TStream& source);

  void WriteEmptyBuffer(int64_t count);
  // Moves forward only: a negative count or one past the end raises EReadError.
  void SkipBuffer(int64_t count);
  void SkipString();

  // A block prefixed by its 32-bit size: WriteHeader writes a placeholder and returns its
  // position, FixupHeader fills it in once the block is written (raising EWriteError for a block
  // too large for the size), ReadHeader returns the position where the block ends.
  int64_t WriteHeader();
  void FixupHeader(int64_t headerPosition);
  int64_t ReadHeader();

  // The text in the system code page without length; CheckSignature raises EStreamError
  // "Expected signature \"%s\", but found \"%s\"" on a mismatch.
  void WriteSignature(const std::string& text);
  void CheckSignature(const std::string& text);

  // A 32-bit type code, then the value. A variant of a type that cannot be stored raises
  // "Unsupported variant type: %s" before anything is written.
  TVariant ReadVariant();
  void WriteVariant(const TVariant& value);

  // The version, a 32-bit size that counts itself, then the object's data. Loading skips what
  // a newer writer added and raises Exception with an empty message when the object read past
  // its block.
  void SaveVersionedObject(IVersionedStreamPersist& object);
  void LoadVersionedObject(IVersionedStreamPersist& object);

  bool EOS();
  // The whole content, the position kept / the stream cut to the bytes.
  std::vector<uint8_t> GetAsBytes();
  void SetAsBytes(const std::vector<uint8_t>& bytes);

  // The stream's content into a new file (its folder first when asked) / the file's content
  // replacing the stream's / another stream's content replacing this one's.
  void SaveToFile(const std::string& fileName, bool forceFolder = false);
  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& source);

  // Raises the read error when fewer than count bytes remain (or count is negative).
  void CheckRemaining(int64_t count);

 private:
  TVariant ReadVariant(int depth);
  void WriteVariantData(const TVariant& value);
  std::string ReadBytes(int64_t count);
  void CopyFrom(TStream& source, int64_t count);

  TStream& FStream;
};

// String-list helpers: a formatted line; "name" + separator + "value".
template <class... Args>
void AddFormat(TStringList& list, const char* format, const Args&... args) {
  list.Add(Format(format, args...));
}
void AddPair(TStringList& list, const std::string& name, const std::string& value,
             char nameValueSeparator = '=');

}  // namespace kv
