#include "common/Common.Helpers.Classes.h"

#include <algorithm>
#include <any>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/Rtti.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv {
namespace {

constexpr const char* kModule = "lib\\Common\\Common.Helpers.Classes";
constexpr int64_t kCopyChunk = 0x10000;
// Deeper nesting than any writer makes; it bounds the recursion on damaged input.
constexpr int kMaxVariantDepth = 32;
constexpr int32_t kMaxVariantDimensions = 64;

using platform::TSeekOrigin;

template <class T>
T FromLittleEndian(const uint8_t* bytes) {
  std::make_unsigned_t<T> value = 0;
  for (size_t i = sizeof(T); i-- > 0;) {
    value = static_cast<std::make_unsigned_t<T>>(value << 8 | bytes[i]);
  }
  return static_cast<T>(value);
}

template <class T>
void ToLittleEndian(T value, uint8_t* bytes) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<uint8_t>(bits & 0xFF);
    bits = static_cast<std::make_unsigned_t<T>>(bits >> 8);
  }
}

std::string ToCodePage(const std::string& utf8) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), utf8);
}

std::string FromCodePage(const std::string& bytes) {
  return platform::DecodeCodePage(platform::AnsiCodePage(), bytes);
}

int32_t CheckedInt32Size(int64_t size, const char* what) {
  if (size < 0 || size > std::numeric_limits<int32_t>::max()) {
    throw EWriteError(
        Format("%s of %lld bytes does not fit a 32-bit size", what, static_cast<long long>(size)));
  }
  return static_cast<int32_t>(size);
}

// The byte size of a variant's value stored raw; -1 for the codes not stored raw.
int RawSize(uint32_t code) {
  switch (code) {
    case varSmallint:
    case varBoolean:
    case varWord:
      return 2;
    case varInteger:
    case varSingle:
    case varError:
    case varLongWord:
      return 4;
    case varDouble:
    case varCurrency:
    case varDate:
    case varInt64:
      return 8;
    case 14:
    case 15:
      return 0;
    case varShortInt:
    case varByte:
      return 1;
    default:
      return -1;
  }
}

// Array elements of these codes are stored as one block of raw bytes.
bool IsRawArrayElement(uint32_t code) {
  return (code >= varSmallint && code <= varDate) || code == varBoolean ||
         (code >= varShortInt && code <= varInt64);
}

bool IsSupportedScalar(uint32_t code) {
  return code == varEmpty || code == varNull || code == varOleStr || code == varString ||
         RawSize(code) >= 0;
}

bool IsSupportedArrayElement(uint32_t code) {
  return code != varDispatch && code != varUnknown && (code <= varInt64 || code == varString);
}

[[noreturn]] void RaiseUnsupportedVariant(uint32_t code) {
  throw Exception(Format("Unsupported variant type: %s", Format("%04X", code)));
}

// The element count of an array with these bounds, or -1 when a dimension runs backwards or the
// count passes `limit`.
int64_t ElementCount(const std::vector<int32_t>& lows, const std::vector<int32_t>& highs,
                     int64_t limit) {
  int64_t count = 1;
  for (size_t i = 0; i < lows.size(); ++i) {
    const int64_t length = int64_t{highs[i]} - lows[i] + 1;
    if (length < 0) {
      return -1;
    }
    if (length == 0) {
      return 0;
    }
    if (count > limit / length) {
      return -1;
    }
    count *= length;
  }
  return count;
}

void ValidateVariant(const TVariant& value, int depth) {
  const uint32_t code = value.VType;
  if (depth > kMaxVariantDepth || (code & varByRef)) {
    RaiseUnsupportedVariant(code);
  }
  if (!(code & varArray)) {
    if (!IsSupportedScalar(code)) {
      RaiseUnsupportedVariant(code);
    }
    return;
  }
  const uint32_t element = code & ~uint32_t{varArray};
  const size_t dimensions = value.LowBounds.size();
  if (!IsSupportedArrayElement(element)) {
    RaiseUnsupportedVariant(code);
  }
  const int64_t count =
      ElementCount(value.LowBounds, value.HighBounds, std::numeric_limits<int32_t>::max());
  const bool shapeFits =
      dimensions > 0 && dimensions <= kMaxVariantDimensions &&
      value.HighBounds.size() == dimensions && count >= 0 &&
      (IsRawArrayElement(element) ? value.ArrayData.size() == size_t(count) * RawSize(element)
                                  : value.Items.size() == size_t(count));
  if (!shapeFits) {
    throw EInvalidOperation("The variant array's bounds do not match its data");
  }
  for (const TVariant& item : value.Items) {
    ValidateVariant(item, depth + 1);
  }
}

// 80-bit extended: sign and 15-bit exponent (bias 16383), then a 64-bit mantissa whose top bit
// is the explicit integer bit.
constexpr int kExtendedBias = 16383;
constexpr uint16_t kExtendedMaxExponent = 0x7FFF;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

std::array<uint8_t, 10> ToExtended(double value) {
  const uint16_t sign = std::signbit(value) ? 0x8000 : 0;
  uint16_t exponent = 0;
  uint64_t mantissa = 0;
  if (std::isinf(value)) {
    exponent = kExtendedMaxExponent;
    mantissa = kIntegerBit;
  } else if (std::isnan(value)) {
    exponent = kExtendedMaxExponent;
    mantissa = kIntegerBit | kIntegerBit >> 1;
  } else if (value != 0) {
    int binaryExponent = 0;
    const double fraction = std::frexp(std::fabs(value), &binaryExponent);  // [0.5, 1)
    mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    exponent = static_cast<uint16_t>(binaryExponent - 1 + kExtendedBias);
  }
  std::array<uint8_t, 10> bytes{};
  ToLittleEndian(mantissa, bytes.data());
  ToLittleEndian(static_cast<uint16_t>(sign | exponent), bytes.data() + 8);
  return bytes;
}

double FromExtended(const std::array<uint8_t, 10>& bytes) {
  const auto mantissa = FromLittleEndian<uint64_t>(bytes.data());
  const auto signAndExponent = FromLittleEndian<uint16_t>(bytes.data() + 8);
  const int exponent = signAndExponent & kExtendedMaxExponent;
  const double sign = (signAndExponent & 0x8000) ? -1.0 : 1.0;
  if (exponent == kExtendedMaxExponent) {
    return (mantissa << 1) == 0 ? sign * std::numeric_limits<double>::infinity()
                                : std::numeric_limits<double>::quiet_NaN();
  }
  if (mantissa == 0) {
    return sign * 0.0;
  }
  // Denormals (exponent 0) scale as exponent 1 without the integer bit.
  const int scale = std::max(exponent, 1) - kExtendedBias - 63;
  return sign * std::ldexp(static_cast<double>(mantissa), scale);
}

void Copy(TStream& from, TStream& to, int64_t count) {
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(count, kCopyChunk)));
  TStreamHelper reader(from);
  while (count > 0) {
    const int64_t part = std::min(count, kCopyChunk);
    reader.ReadBuffer(chunk.data(), part);
    TStreamHelper(to).WriteBuffer(chunk.data(), part);
    count -= part;
  }
}

}  // namespace

// ---- TVariant ----

TVariant TVariant::Int32(int32_t value) {
  return TVariant{.VType = varInteger, .Raw = static_cast<uint32_t>(value)};
}

TVariant TVariant::Double(double value) {
  TVariant result{.VType = varDouble};
  std::memcpy(&result.Raw, &value, sizeof value);
  return result;
}

TVariant TVariant::OleStr(std::string text) {
  return TVariant{.VType = varOleStr, .Text = std::move(text)};
}

double TVariant::AsDouble() const {
  double value = 0;
  std::memcpy(&value, &Raw, sizeof value);
  return value;
}

// ---- TStreamHelper: raw transfers ----

void TStreamHelper::ReadBuffer(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    const int64_t read = FStream.Read(bytes + total, count - total);
    if (read <= 0) {
      throw EReadError(Format("Stream read error, position: %lld, size: %lld, count: %lld",
                              static_cast<long long>(FStream.Position()),
                              static_cast<long long>(FStream.Size()),
                              static_cast<long long>(count)));
    }
    total += read;
  }
}

void TStreamHelper::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && FStream.Write(buffer, count) != count) {
    throw EWriteError("Stream write error");
  }
}

void TStreamHelper::CheckRemaining(int64_t count) {
  const int64_t position = FStream.Position();
  const int64_t size = FStream.Size();
  if (count < 0 || count > size - position) {
    throw EReadError(Format("Stream read error, position: %lld, size: %lld, count: %lld",
                            static_cast<long long>(position), static_cast<long long>(size),
                            static_cast<long long>(count)));
  }
}

std::string TStreamHelper::ReadBytes(int64_t count) {
  CheckRemaining(count);
  std::string bytes(static_cast<size_t>(count), '\0');
  ReadBuffer(bytes.data(), count);
  return bytes;
}

// ---- numbers ----

uint8_t TStreamHelper::ReadByte() {
  uint8_t value = 0;
  ReadBuffer(&value, 1);
  return value;
}

void TStreamHelper::WriteByte(uint8_t value) {
  WriteBuffer(&value, 1);
}

#define KV_READ_WRITE_INTEGER(Name, Type)       \
  Type TStreamHelper::Read##Name() {            \
    uint8_t bytes[sizeof(Type)];                \
    ReadBuffer(bytes, sizeof bytes);            \
    return FromLittleEndian<Type>(bytes);       \
  }                                             \
  void TStreamHelper::Write##Name(Type value) { \
    uint8_t bytes[sizeof(Type)];                \
    ToLittleEndian(value, bytes);               \
    WriteBuffer(bytes, sizeof bytes);           \
  }

KV_READ_WRITE_INTEGER(Word, uint16_t)
KV_READ_WRITE_INTEGER(Int32, int32_t)
KV_READ_WRITE_INTEGER(Int64, int64_t)
KV_READ_WRITE_INTEGER(FileTime, TFileTime)
#undef KV_READ_WRITE_INTEGER

double TStreamHelper::ReadDbl() {
  const int64_t bits = ReadInt64();
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void TStreamHelper::WriteDbl(double value) {
  int64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  WriteInt64(bits);
}

double TStreamHelper::ReadExtended() {
  std::array<uint8_t, 10> bytes{};
  ReadBuffer(bytes.data(), std::ssize(bytes));
  return FromExtended(bytes);
}

void TStreamHelper::WriteExtended(double value) {
  const std::array<uint8_t, 10> bytes = ToExtended(value);
  WriteBuffer(bytes.data(), std::ssize(bytes));
}

TGUID TStreamHelper::ReadGUID() {
  TGUID value;
  value.D1 = static_cast<uint32_t>(ReadInt32());
  value.D2 = ReadWord();
  value.D3 = ReadWord();
  ReadBuffer(value.D4.data(), std::ssize(value.D4));
  return value;
}

void TStreamHelper::WriteGUID(const TGUID& value) {
  WriteInt32(static_cast<int32_t>(value.D1));
  WriteWord(value.D2);
  WriteWord(value.D3);
  WriteBuffer(value.D4.data(), std::ssize(value.D4));
}

// ---- texts ----

std::string TStreamHelper::ReadString() {
  return FromCodePage(ReadStringA());
}

void TStreamHelper::WriteString(const std::string& value) {
  WriteStringA(ToCodePage(value));
}

std::string TStreamHelper::ReadStringA() {
  return ReadBytes(ReadInt32());
}

void TStreamHelper::WriteStringA(const std::string& value) {
  WriteInt32(CheckedInt32Size(std::ssize(value), "A text"));
  WriteBuffer(value.data(), std::ssize(value));
}

std::string TStreamHelper::ReadString16() {
  return FromCodePage(ReadBytes(ReadWord()));
}

void TStreamHelper::WriteString16(const std::string& value) {
  const std::string bytes = ToCodePage(value);
  if (bytes.size() > std::numeric_limits<uint16_t>::max()) {
    throw EWriteError(
        Format("A text of %lld bytes does not fit a 16-bit length", std::ssize(bytes) + 0LL));
  }
  WriteWord(static_cast<uint16_t>(bytes.size()));
  WriteBuffer(bytes.data(), std::ssize(bytes));
}

std::string TStreamHelper::ReadFilerString() {
  const uint8_t tag = ReadByte();
  int64_t length = 0;
  switch (tag) {
    case 6:
      length = ReadByte();
      break;
    case 7:
      length = ReadWord();
      break;
    case 8:
      length = ReadInt32();
      break;
    default:
      Assert(false, kModule, 1020, Format("Неожиданный тип строки (%d)", tag));
  }
  return FromCodePage(ReadBytes(length));
}

void TStreamHelper::WriteFilerString(const std::string& value) {
  const std::string bytes = ToCodePage(value);
  const int64_t length = std::ssize(bytes);
  if (length <= 0xFF) {
    WriteByte(6);
    WriteByte(static_cast<uint8_t>(length));
  } else if (length <= 0xFFFE) {
    WriteByte(7);
    WriteWord(static_cast<uint16_t>(length));
  } else {
    WriteByte(8);
    WriteInt32(CheckedInt32Size(length, "A text"));
  }
  WriteBuffer(bytes.data(), length);
}

// ---- lists ----

void TStreamHelper::ReadTStrings(TStringList& list, bool clear) {
  const int32_t count = ReadInt32();
  // Each line takes at least its length and its number.
  CheckRemaining(count < 0 ? count : int64_t{count} * 8);
  if (clear) {
    list.Clear();
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string text = ReadString();
    list.Add(std::move(text), ReadInt32());
  }
}

void TStreamHelper::WriteTStrings(const TStringList& list) {
  WriteInt32(list.Count());
  for (const TStringList::TItem& item : list) {
    WriteString(item.Text);
    const auto* number = std::any_cast<int32_t>(&item.Object);
    WriteInt32(number ? *number : 0);
  }
}

std::vector<int32_t> TStreamHelper::ReadListInteger() {
  const int32_t count = ReadInt32();
  CheckRemaining(count < 0 ? count : int64_t{count} * 4);
  std::vector<int32_t> list(static_cast<size_t>(count));
  for (int32_t& item : list) {
    item = ReadInt32();
  }
  return list;
}

void TStreamHelper::WriteListInteger(const std::vector<int32_t>& list) {
  WriteInt32(CheckedInt32Size(std::ssize(list), "A list"));
  for (int32_t item : list) {
    WriteInt32(item);
  }
}

// ---- nested streams and blocks ----

void TStreamHelper::ReadStream(TStream& dest) {
  const int64_t size = ReadInt64();
  CheckRemaining(size);
  Copy(FStream, dest, size);
}

void TStreamHelper::WriteStream(TStream& source) {
  const int64_t size = source.Size();
  WriteInt64(size);
  source.SetPosition(0);
  Copy(source, FStream, size);
}

void TStreamHelper::SaveToStreamBySize(TStream& dest) {
  const int32_t size = CheckedInt32Size(FStream.Size(), "A stream");
  TStreamHelper(dest).WriteInt32(size);
  FStream.SetPosition(0);
  Copy(FStream, dest, size);
}

void TStreamHelper::LoadFromStreamBySize(TStream& source) {
  TStreamHelper from(source);
  const int32_t size = from.ReadInt32();
  from.CheckRemaining(size);
  FStream.SetSize(0);
  FStream.SetPosition(0);
  Copy(source, FStream, size);
}

void TStreamHelper::WriteEmptyBuffer(int64_t count) {
  const std::vector<uint8_t> zeros(static_cast<size_t>(std::clamp<int64_t>(count, 0, kCopyChunk)));
  for (int64_t left = count; left > 0; left -= kCopyChunk) {
    WriteBuffer(zeros.data(), std::min(left, kCopyChunk));
  }
}

void TStreamHelper::SkipBuffer(int64_t count) {
  CheckRemaining(count);
  FStream.Seek(count, TSeekOrigin::Current);
}

void TStreamHelper::SkipString() {
  SkipBuffer(ReadInt32());
}

int64_t TStreamHelper::WriteHeader() {
  const int64_t position = FStream.Position();
  WriteInt32(0);
  return position;
}

void TStreamHelper::FixupHeader(int64_t headerPosition) {
  const int64_t end = FStream.Position();
  const int32_t size = CheckedInt32Size(end - headerPosition - 4, "A block");
  FStream.SetPosition(headerPosition);
  WriteInt32(size);
  FStream.SetPosition(end);
}

int64_t TStreamHelper::ReadHeader() {
  const int32_t size = ReadInt32();
  CheckRemaining(size);
  return FStream.Position() + size;
}

// ---- signatures ----

void TStreamHelper::WriteSignature(const std::string& text) {
  const std::string bytes = ToCodePage(text);
  WriteBuffer(bytes.data(), std::ssize(bytes));
}

void TStreamHelper::CheckSignature(const std::string& text) {
  const std::string expected = ToCodePage(text);
  const int64_t remaining = std::max<int64_t>(FStream.Size() - FStream.Position(), 0);
  const std::string found = ReadBytes(std::min(std::ssize(expected) + 0LL, remaining + 0LL));
  if (found != expected) {
    throw EStreamError(
        Format("Expected signature \"%s\", but found \"%s\"", text, FromCodePage(found)));
  }
}

// ---- variants ----

TVariant TStreamHelper::ReadVariant() {
  return ReadVariant(0);
}

TVariant TStreamHelper::ReadVariant(int depth) {
  const auto code = static_cast<uint32_t>(ReadInt32());
  if (depth > kMaxVariantDepth || code > 0xFFFF || (code & varByRef)) {
    RaiseUnsupportedVariant(code);
  }
  TVariant value{.VType = static_cast<uint16_t>(code)};
  if (code & varArray) {
    const uint32_t element = code & ~uint32_t{varArray};
    if (!IsSupportedArrayElement(element)) {
      RaiseUnsupportedVariant(code);
    }
    const int32_t dimensions = ReadInt32();
    if (dimensions < 1 || dimensions > kMaxVariantDimensions) {
      throw EReadError(Format("Invalid variant array dimension count: %d", dimensions));
    }
    CheckRemaining(int64_t{dimensions} * 8);
    value.LowBounds.resize(static_cast<size_t>(dimensions));
    value.HighBounds.resize(static_cast<size_t>(dimensions));
    for (int32_t& low : value.LowBounds) {
      low = ReadInt32();
    }
    for (int32_t& high : value.HighBounds) {
      high = ReadInt32();
    }
    const int64_t remaining = FStream.Size() - FStream.Position();
    const int64_t count = ElementCount(value.LowBounds, value.HighBounds, remaining);
    if (count < 0) {
      throw EReadError("Invalid variant array bounds");
    }
    if (IsRawArrayElement(element)) {
      const int32_t byteCount = ReadInt32();
      if (byteCount != count * RawSize(element)) {
        throw EReadError("Invalid variant array data size");
      }
      const std::string data = ReadBytes(byteCount);
      value.ArrayData.assign(data.begin(), data.end());
    } else {
      // Each element takes at least its type code.
      CheckRemaining(count * 4);
      value.Items.reserve(static_cast<size_t>(count));
      for (int64_t i = 0; i < count; ++i) {
        value.Items.push_back(ReadVariant(depth + 1));
      }
    }
    return value;
  }
  if (code == varOleStr) {
    const int32_t length = ReadInt32();
    const std::string bytes = ReadBytes(length < 0 ? length : int64_t{length} * 2);
    std::u16string units(static_cast<size_t>(length), u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
      units[i] = FromLittleEndian<char16_t>(reinterpret_cast<const uint8_t*>(bytes.data()) + 2 * i);
    }
    value.Text = platform::Utf16ToUtf8(units);
  } else if (code == varString) {
    value.VType = varOleStr;
    value.Text = ReadString();
  } else if (const int size = RawSize(code); size >= 0) {
    uint8_t bytes[8] = {};
    ReadBuffer(bytes, size);
    value.Raw = FromLittleEndian<uint64_t>(bytes);
  } else if (code != varEmpty && code != varNull) {
    RaiseUnsupportedVariant(code);
  }
  return value;
}

void TStreamHelper::WriteVariant(const TVariant& value) {
  ValidateVariant(value, 0);
  WriteVariantData(value);
}

void TStreamHelper::WriteVariantData(const TVariant& value) {
  WriteInt32(value.VType);
  if (value.VType & varArray) {
    WriteInt32(static_cast<int32_t>(value.LowBounds.size()));
    for (int32_t low : value.LowBounds) {
      WriteInt32(low);
    }
    for (int32_t high : value.HighBounds) {
      WriteInt32(high);
    }
    if (IsRawArrayElement(value.VType & ~uint32_t{varArray})) {
      WriteInt32(static_cast<int32_t>(value.ArrayData.size()));
      WriteBuffer(value.ArrayData.data(), std::ssize(value.ArrayData));
    } else {
      for (const TVariant& item : value.Items) {
        WriteVariantData(item);
      }
    }
  } else if (value.VType == varOleStr) {
    const std::u16string units = platform::Utf8ToUtf16(value.Text);
    WriteInt32(CheckedInt32Size(std::ssize(units), "A text"));
    std::vector<uint8_t> bytes(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i) {
      ToLittleEndian(units[i], bytes.data() + 2 * i);
    }
    WriteBuffer(bytes.data(), std::ssize(bytes));
  } else if (value.VType == varString) {
    WriteString(value.Text);
  } else if (const int size = RawSize(value.VType); size > 0) {
    uint8_t bytes[8];
    ToLittleEndian(value.Raw, bytes);
    WriteBuffer(bytes, size);
  }
}

// ---- versioned objects ----

void TStreamHelper::SaveVersionedObject(IVersionedStreamPersist& object) {
  WriteInt32(object.GetVersion());
  const int64_t sizePosition = WriteHeader();
  object.SaveToStream(FStream);
  const int64_t end = FStream.Position();
  const int32_t size = CheckedInt32Size(end - sizePosition, "A versioned object");
  FStream.SetPosition(sizePosition);
  WriteInt32(size);
  FStream.SetPosition(end);
}

void TStreamHelper::LoadVersionedObject(IVersionedStreamPersist& object) {
  const int32_t version = ReadInt32();
  const int64_t sizePosition = FStream.Position();
  const int32_t size = ReadInt32();
  // The size counts its own four bytes; a smaller one would lead backwards.
  if (size < 4) {
    throw EReadError(Format("Invalid versioned object size %d at position %lld", size,
                            static_cast<long long>(sizePosition)));
  }
  CheckRemaining(size - 4);
  object.LoadFromStream(FStream, version);
  const int64_t end = sizePosition + size;
  if (FStream.Position() > end) {
    throw Exception("");
  }
  FStream.SetPosition(end);
}

// ---- whole content ----

bool TStreamHelper::EOS() {
  return FStream.Position() >= FStream.Size();
}

std::vector<uint8_t> TStreamHelper::GetAsBytes() {
  const int64_t position = FStream.Position();
  std::vector<uint8_t> bytes(static_cast<size_t>(FStream.Size()));
  FStream.SetPosition(0);
  ReadBuffer(bytes.data(), std::ssize(bytes));
  FStream.SetPosition(position);
  return bytes;
}

void TStreamHelper::SetAsBytes(const std::vector<uint8_t>& bytes) {
  FStream.SetSize(0);
  FStream.SetPosition(0);
  WriteBuffer(bytes.data(), std::ssize(bytes));
}

void TStreamHelper::SaveToFile(const std::string& fileName, bool forceFolder) {
  if (forceFolder && !ExtractFileDir(fileName).empty()) {
    platform::ForceDirectories(ExtractFileDir(fileName));
  }
  const std::vector<uint8_t> bytes = GetAsBytes();
  platform::WriteFileAtomically(
      fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TStreamHelper::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, platform::TFileOpenMode::OpenRead, platform::TFileShare::DenyWrite);
  FStream.SetPosition(0);
  Copy(file, FStream, file.Size());
  FStream.SetSize(FStream.Position());
}

void TStreamHelper::LoadFromStream(TStream& source) {
  FStream.SetSize(0);
  FStream.SetPosition(0);
  source.SetPosition(0);
  Copy(source, FStream, source.Size());
}

void AddPair(TStringList& list, const std::string& name, const std::string& value,
             char nameValueSeparator) {
  list.Add(name + nameValueSeparator + value);
}

}  // namespace kv
