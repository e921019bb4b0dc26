#include "common/Common.Filer.h"

#include <limits>

#include "base/Rtti.h"
#include "common/Common.Helpers.Classes.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EKalvorFilerError, "EKalvorFilerError", Exception)
KV_DEFINE_CLASS(EKalvorFilerInvalidSignature, "EKalvorFilerInvalidSignature", EKalvorFilerError)
KV_DEFINE_CLASS(TKalvorFiler, "TKalvorFiler", TObject)
KV_DEFINE_CLASS(TKvFiler, "TKvFiler", TKalvorFiler)

namespace {

constexpr const char* kFormatError = "Неверный формат данных в потоке";

constexpr uint8_t kTagFalse = 9;
constexpr uint8_t kTagTrue = 10;
// Single-byte strings by the width of their length: 1, 2 and 4 bytes; UTF-16 strings likewise.
constexpr uint8_t kTagString8 = 6;
constexpr uint8_t kTagString16 = 7;
constexpr uint8_t kTagString32 = 8;
constexpr uint8_t kTagWideString8 = 11;
constexpr uint8_t kTagWideString16 = 12;
constexpr uint8_t kTagWideString32 = 13;

}  // namespace

TKalvorFiler::TKalvorFiler(TStream* stream, bool ownStream)
    : FStream(stream), FOwnStream(ownStream) {}

std::unique_ptr<TKalvorFiler> TKalvorFiler::CreateWithMemoryStream() {
  return std::make_unique<TKalvorFiler>(new TMemoryStream(), true);
}

TKalvorFiler::~TKalvorFiler() {
  if (FOwnStream) {
    delete FStream;
  }
}

void TKalvorFiler::Read(void* buffer, int64_t count) {
  TStreamHelper(*FStream).ReadBuffer(buffer, count);
}

void TKalvorFiler::Write(const void* buffer, int64_t count) {
  TStreamHelper(*FStream).WriteBuffer(buffer, count);
}

void TKalvorFiler::WriteInt08(uint8_t value) {
  TStreamHelper(*FStream).WriteByte(value);
}

void TKalvorFiler::WriteInt16(uint16_t value) {
  TStreamHelper(*FStream).WriteWord(value);
}

void TKalvorFiler::WriteInt32(int32_t value) {
  TStreamHelper(*FStream).WriteInt32(value);
}

void TKalvorFiler::WriteInt64(int64_t value) {
  TStreamHelper(*FStream).WriteInt64(value);
}

uint8_t TKalvorFiler::ReadInt08() {
  return TStreamHelper(*FStream).ReadByte();
}

uint16_t TKalvorFiler::ReadInt16() {
  return TStreamHelper(*FStream).ReadWord();
}

int32_t TKalvorFiler::ReadInt32() {
  return TStreamHelper(*FStream).ReadInt32();
}

int64_t TKalvorFiler::ReadInt64() {
  return TStreamHelper(*FStream).ReadInt64();
}

void TKalvorFiler::WriteDbl64(double value) {
  TStreamHelper(*FStream).WriteDbl(value);
}

double TKalvorFiler::ReadDbl64() {
  return TStreamHelper(*FStream).ReadDbl();
}

void TKalvorFiler::WriteCur64(int64_t value) {
  WriteInt64(value);
}

int64_t TKalvorFiler::ReadCurr64() {
  return ReadInt64();
}

void TKalvorFiler::WriteExtended(double value) {
  TStreamHelper(*FStream).WriteExtended(value);
}

double TKalvorFiler::ReadExtended() {
  return TStreamHelper(*FStream).ReadExtended();
}

void TKalvorFiler::WriteGuid(const TGUID& value) {
  TStreamHelper(*FStream).WriteGUID(value);
}

TGUID TKalvorFiler::ReadGuid() {
  return TStreamHelper(*FStream).ReadGUID();
}

void TKalvorFiler::WriteBoolean(bool value) {
  WriteInt08(value ? kTagTrue : kTagFalse);
}

bool TKalvorFiler::ReadBoolean() {
  return ReadInt08() == kTagTrue;
}

void TKalvorFiler::WriteByteBoolean(bool value) {
  WriteInt08(value ? 1 : 0);
}

bool TKalvorFiler::ReadByteBoolean() {
  return ReadInt08() != 0;
}

// ---- strings ----

void TKalvorFiler::WriteString(const std::string& value) {
  if (FUseUnicodeStrings) {
    WriteStringW(value);
  } else {
    WriteStringA(value);
  }
}

void TKalvorFiler::WriteStringA(const std::string& value) {
  const std::string bytes = platform::EncodeCodePage(platform::AnsiCodePage(), value);
  WriteTaggedString(bytes, std::ssize(bytes), kTagString8);
}

void TKalvorFiler::WriteStringW(const std::string& value) {
  const std::u16string units = platform::Utf8ToUtf16(value);
  std::string bytes(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  WriteTaggedString(bytes, std::ssize(units), kTagWideString8);
}

void TKalvorFiler::WriteTaggedString(const std::string& bytes, int64_t length, uint8_t tag) {
  if (length <= 0xFF) {
    WriteInt08(tag);
    WriteInt08(static_cast<uint8_t>(length));
  } else if (length <= 0xFFFE) {
    WriteInt08(tag + 1);
    WriteInt16(static_cast<uint16_t>(length));
  } else if (length <= std::numeric_limits<int32_t>::max()) {
    WriteInt08(tag + 2);
    WriteInt32(static_cast<int32_t>(length));
  } else {
    throw EKalvorFilerError("A text too long for the filer");
  }
  Write(bytes.data(), std::ssize(bytes));
}

int64_t TKalvorFiler::ReadStringLength(uint8_t tag, int64_t bytesPerChar) {
  int64_t length = 0;
  switch (tag) {
    case kTagString8:
    case kTagWideString8:
      length = ReadInt08();
      break;
    case kTagString16:
    case kTagWideString16:
      length = ReadInt16();
      break;
    default:
      length = ReadInt32();
      break;
  }
  if (length < 0 || length * bytesPerChar > FStream->Size() - FStream->Position()) {
    ReadError();
  }
  return length;
}

std::string TKalvorFiler::ReadSingleByteText(int64_t length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  Read(bytes.data(), length);
  return platform::DecodeCodePage(platform::AnsiCodePage(), bytes);
}

std::string TKalvorFiler::ReadUtf16Text(int64_t length) {
  std::string bytes(static_cast<size_t>(length * 2), '\0');
  Read(bytes.data(), length * 2);
  std::u16string units(static_cast<size_t>(length), u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  return platform::Utf16ToUtf8(units);
}

std::string TKalvorFiler::ReadString() {
  const uint8_t tag = ReadInt08();
  if (tag >= kTagString8 && tag <= kTagString32) {
    return ReadSingleByteText(ReadStringLength(tag, 1));
  }
  if (tag >= kTagWideString8 && tag <= kTagWideString32) {
    return ReadUtf16Text(ReadStringLength(tag, 2));
  }
  ReadError();
}

std::string TKalvorFiler::ReadStringA() {
  const uint8_t tag = ReadInt08();
  if (tag < kTagString8 || tag > kTagString32) {
    ReadError();
  }
  return ReadSingleByteText(ReadStringLength(tag, 1));
}

std::string TKalvorFiler::ReadStringW() {
  const uint8_t tag = ReadInt08();
  if (tag < kTagWideString8 || tag > kTagWideString32) {
    ReadError();
  }
  return ReadUtf16Text(ReadStringLength(tag, 2));
}

// ---- lists ----

void TKalvorFiler::WriteListBegin() {
  FListMarks.push_back({FStream->Position(), 0});
  WriteInt32(0);
}

void TKalvorFiler::NextListItem() {
  if (FListMarks.empty()) {
    throw EInvalidOperation("No list is open for writing");
  }
  int32_t& count = FListMarks.back().Count;
  if (count == std::numeric_limits<int32_t>::max()) {
    throw EKalvorFilerError("Too many list items for a 32-bit count");
  }
  ++count;
}

void TKalvorFiler::WriteListEnd() {
  if (FListMarks.empty()) {
    throw EInvalidOperation("No list is open for writing");
  }
  const TGfLstRecord mark = FListMarks.back();
  const int64_t end = FStream->Position();
  FStream->SetPosition(mark.Position);
  WriteInt32(mark.Count);
  FStream->SetPosition(end);
  FListMarks.pop_back();
}

void TKalvorFiler::ReadListBegin() {
  const int32_t count = ReadInt32();
  // Every item takes at least one byte.
  if (count < 0 || count > FStream->Size() - FStream->Position()) {
    ReadError();
  }
  FListMarksR.push_back(count);
}

void TKalvorFiler::ReadNextItem() {
  if (FListMarksR.empty()) {
    throw EInvalidOperation("No list is open for reading");
  }
  --FListMarksR.back();
}

void TKalvorFiler::ReadListEnd() {
  if (FListMarksR.empty()) {
    throw EInvalidOperation("No list is open for reading");
  }
  FListMarksR.pop_back();
}

bool TKalvorFiler::EOL() const {
  return ListCount() < 1;
}

int32_t TKalvorFiler::ListCount() const {
  return FListMarksR.empty() ? 0 : FListMarksR.back();
}

void TKalvorFiler::CheckSignature(uint8_t value) {
  if (ReadInt08() != value) {
    throw EKalvorFilerInvalidSignature(kFormatError);
  }
}

void TKalvorFiler::ReadError() {
  throw EKalvorFilerError(kFormatError);
}

}  // namespace kv
