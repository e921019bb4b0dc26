#pragma once
// The tagged binary filer: a reader and writer over one stream with tagged strings and booleans,
// counted lists and one-byte signatures.
//
// Reading treats the stream as outside input: string lengths and list counts larger than the
// bytes that remain raise EKalvorFilerError before anything is allocated.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Guid.h"
#include "common/Common.Classes.h"

namespace kv {

KV_DECLARE_EXCEPTION(EKalvorFilerError, Exception)
KV_DECLARE_EXCEPTION(EKalvorFilerInvalidSignature, EKalvorFilerError)

// An open list on the writing side: where its count field is and how many items it has.
struct TGfLstRecord {
  int64_t Position = 0;
  int32_t Count = 0;
};

class TKalvorFiler : public TObject {
  KV_CLASS_INFO()
 public:
  // With ownStream, the filer destroys the stream.
  TKalvorFiler(TStream* stream, bool ownStream);
  static std::unique_ptr<TKalvorFiler> CreateWithMemoryStream();
  ~TKalvorFiler() override;
  TKalvorFiler(const TKalvorFiler&) = delete;
  TKalvorFiler& operator=(const TKalvorFiler&) = delete;

  // Exact raw transfers; the stream's read or write error when it falls short.
  void Read(void* buffer, int64_t count);
  void Write(const void* buffer, int64_t count);

  void WriteInt08(uint8_t value);
  void WriteInt16(uint16_t value);
  void WriteInt32(int32_t value);
  void WriteInt64(int64_t value);
  void Write_Byte(uint8_t value) { WriteInt08(value); }
  uint8_t ReadInt08();
  uint16_t ReadInt16();
  int32_t ReadInt32();
  int64_t ReadInt64();
  uint8_t Read_Byte() { return ReadInt08(); }
  void WriteDbl64(double value);
  double ReadDbl64();
  // Currency: a signed 64-bit count of 1/10000.
  void WriteCur64(int64_t value);
  int64_t ReadCurr64();
  // The 80-bit extended type.
  void WriteExtended(double value);
  double ReadExtended();
  void WriteGuid(const TGUID& value);
  TGUID ReadGuid();
  // A tag byte: 10 true, 9 false; only 10 reads as true.
  void WriteBoolean(bool value);
  bool ReadBoolean();
  // One byte 1 or 0; any non-zero byte reads as true.
  void WriteByteBoolean(bool value);
  bool ReadByteBoolean();

  // UTF-16 form when UseUnicodeStrings, otherwise the single-byte form. Single-byte text is in
  // the system code page; characters it lacks become '?', so that the stored length always
  // matches the bytes that follow.
  void WriteString(const std::string& value);
  void WriteStringA(const std::string& value);
  void WriteStringW(const std::string& value);
  // Either form / only the single-byte form / only the UTF-16 form.
  std::string ReadString();
  std::string ReadStringA();
  std::string ReadStringW();

  void WriteListBegin();
  void NextListItem();
  // Writes the item count at the list's start; the stream must be able to move back.
  void WriteListEnd();
  void ReadListBegin();
  void ReadNextItem();
  void ReadListEnd();
  // True when the innermost list has no items left.
  bool EOL() const;
  // The innermost list's remaining count; 0 when no list is open.
  int32_t ListCount() const;

  // Reads one byte; EKalvorFilerInvalidSignature when it is not `value`.
  void CheckSignature(uint8_t value);
  [[noreturn]] void ReadError();

  bool UseUnicodeStrings() const { return FUseUnicodeStrings; }
  void SetUseUnicodeStrings(bool value) { FUseUnicodeStrings = value; }
  int64_t Position() { return FStream->Position(); }
  TStream& Stream() { return *FStream; }
  bool IsEndOfStream() { return FStream->Position() == FStream->Size(); }

 private:
  void WriteTaggedString(const std::string& bytes, int64_t length, uint8_t tag);
  // The length after a string tag, checked against the bytes that remain.
  int64_t ReadStringLength(uint8_t tag, int64_t bytesPerChar);
  std::string ReadSingleByteText(int64_t length);
  std::string ReadUtf16Text(int64_t length);

  TStream* FStream;
  std::vector<TGfLstRecord> FListMarks;
  std::vector<int32_t> FListMarksR;
  bool FOwnStream;
  bool FUseUnicodeStrings = false;
};

class TKvFiler : public TKalvorFiler {
  KV_CLASS_INFO()
 public:
  using TKalvorFiler::TKalvorFiler;
};

}  // namespace kv
