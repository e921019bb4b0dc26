#include "common/Common.Helpers.Classes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/SparseStream.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::MessageOf;

constexpr int64_t kGiB = int64_t{1} << 30;

// A memory stream holding the bytes, positioned at its start.
class TBytesStream : public TMemoryStream {
 public:
  explicit TBytesStream(const std::string& bytes) {
    WriteBuffer(bytes.data(), std::ssize(bytes));
    SetPosition(0);
  }
};

std::string BytesOf(TStream& stream) {
  const std::vector<uint8_t> bytes = TStreamHelper(stream).GetAsBytes();
  return std::string(bytes.begin(), bytes.end());
}

std::string Int32Bytes(int32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    bytes += static_cast<char>(static_cast<uint32_t>(value) >> (8 * i) & 0xFF);
  }
  return bytes;
}

TEST(StreamHelperTest, TypedValuesRoundTripLittleEndian) {
  const TGUID guid{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
  TMemoryStream stream;
  TStreamHelper helper(stream);
  helper.WriteByte(0xFE);
  helper.WriteCharA('Z');
  helper.WriteBoolean(true);
  helper.WriteWord(0xBEEF);
  helper.WriteInt32(-2);
  helper.WriteInt64(int64_t{-3} << 40);
  helper.WriteDbl(-1.5);
  helper.WriteDateTime(45000.25);
  helper.WriteFileTime(0x01D2C3B4A5968778);
  helper.WriteGUID(guid);
  EXPECT_EQ(BytesOf(stream).substr(0, 9), std::string("\xFEZ\x01\xEF\xBE\xFE\xFF\xFF\xFF", 9));

  stream.SetPosition(0);
  EXPECT_EQ(helper.ReadByte(), 0xFE);
  EXPECT_EQ(helper.ReadCharA(), 'Z');
  EXPECT_TRUE(helper.ReadBoolean());
  EXPECT_EQ(helper.ReadWord(), 0xBEEF);
  EXPECT_EQ(helper.ReadInt32(), -2);
  EXPECT_EQ(helper.ReadInt64(), int64_t{-3} << 40);
  EXPECT_EQ(helper.ReadDbl(), -1.5);
  EXPECT_EQ(helper.ReadDateTime(), 45000.25);
  EXPECT_EQ(helper.ReadFileTime(), 0x01D2C3B4A5968778u);
  EXPECT_EQ(helper.ReadGUID(), guid);
  EXPECT_TRUE(helper.EOS());
}

TEST(StreamHelperTest, ExtendedIsTheTenByteX87FormatForEveryDouble) {
  struct Case {
    double Value;
    std::string Bytes;
  };
  const Case cases[] = {
      {1.0, std::string("\0\0\0\0\0\0\0\x80\xFF\x3F", 10)},
      {-2.5, std::string("\0\0\0\0\0\0\0\xA0\x00\xC0", 10)},
      {0.0, std::string(10, '\0')},
      {std::numeric_limits<double>::infinity(), std::string("\0\0\0\0\0\0\0\x80\xFF\x7F", 10)},
  };
  for (const Case& c : cases) {
    TMemoryStream stream;
    TStreamHelper(stream).WriteExtended(c.Value);
    EXPECT_EQ(BytesOf(stream), c.Bytes) << c.Value;
  }
  const double values[] = {-0.0,
                           3.141592653589793,
                           1e300,
                           -1e-300,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::infinity()};
  for (double value : values) {
    TMemoryStream stream;
    TStreamHelper(stream).WriteExtended(value);
    stream.SetPosition(0);
    const double back = TStreamHelper(stream).ReadExtended();
    EXPECT_EQ(back, value);
    EXPECT_EQ(std::signbit(back), std::signbit(value));
  }
  TMemoryStream nan;
  TStreamHelper(nan).WriteExtended(std::numeric_limits<double>::quiet_NaN());
  nan.SetPosition(0);
  EXPECT_TRUE(std::isnan(TStreamHelper(nan).ReadExtended()));

  // Extended values beyond double's range read as infinity and zero.
  TBytesStream huge(std::string("\0\0\0\0\0\0\0\x80\xFE\x7F", 10));
  EXPECT_EQ(TStreamHelper(huge).ReadExtended(), std::numeric_limits<double>::infinity());
  TBytesStream tiny(std::string("\0\0\0\0\0\0\0\x80\x01\x00", 10));
  EXPECT_EQ(TStreamHelper(tiny).ReadExtended(), 0.0);
}

TEST(StreamHelperTest, StringFormsRoundTripInTheCodePage) {
  TMemoryStream stream;
  TStreamHelper helper(stream);
  helper.WriteString("Смета");
  helper.WriteString("");
  helper.WriteStringA("\xC0\x01raw");
  helper.WriteString16("Калвор");
  helper.WriteFilerString("Ёлка");
  EXPECT_EQ(BytesOf(stream).substr(0, 9), Int32Bytes(5) + "\xD1\xEC\xE5\xF2\xE0");

  stream.SetPosition(0);
  EXPECT_EQ(helper.ReadString(), "Смета");
  EXPECT_EQ(helper.ReadString(), "");
  EXPECT_EQ(helper.ReadStringA(), "\xC0\x01raw");
  EXPECT_EQ(helper.ReadString16(), "Калвор");
  EXPECT_EQ(helper.ReadFilerString(), "Ёлка");
  EXPECT_TRUE(helper.EOS());
}

TEST(StreamHelperTest, TextOutsideTheCodePageKeepsTheReaderInStep) {
  TMemoryStream stream;
  TStreamHelper helper(stream);
  const std::string text = "a\xF0\x9F\x98\x80 日本";  // a surrogate pair and two CJK characters
  helper.WriteString(text);
  helper.WriteInt32(77);
  helper.WriteFilerString(text);
  helper.WriteInt32(78);
  helper.WriteString16(text);
  helper.WriteInt32(79);

  stream.SetPosition(0);
  const std::string back = helper.ReadString();
  EXPECT_EQ(helper.ReadInt32(), 77);
  EXPECT_EQ(helper.ReadFilerString(), back);
  EXPECT_EQ(helper.ReadInt32(), 78);
  EXPECT_EQ(helper.ReadString16(), back);
  EXPECT_EQ(helper.ReadInt32(), 79);
  EXPECT_EQ(back.front(), 'a');
}

TEST(StreamHelperTest, FilerStringTagsFollowTheLength) {
  const std::pair<size_t, uint8_t> cases[] = {{255, 6}, {256, 7}, {65534, 7}, {65535, 8}};
  for (const auto& [length, tag] : cases) {
    TMemoryStream stream;
    TStreamHelper(stream).WriteFilerString(std::string(length, 'x'));
    stream.SetPosition(0);
    EXPECT_EQ(TStreamHelper(stream).ReadByte(), tag) << length;
    stream.SetPosition(0);
    EXPECT_EQ(TStreamHelper(stream).ReadFilerString().size(), length);
  }
  TBytesStream unknown("\x09\x01x");
  const std::string message =
      MessageOf<EAssertionFailed>([&] { TStreamHelper(unknown).ReadFilerString(); });
  EXPECT_NE(message.find("Неожиданный тип строки (9)"), std::string::npos) << message;
  EXPECT_NE(message.find("lib\\Common\\Common.Helpers.Classes, line 1020"), std::string::npos);
}

TEST(StreamHelperTest, ListsAndNestedStreamsRoundTrip) {
  TStringList lines;
  lines.Add("первая", int32_t{7});
  lines.Add("second");
  TBytesStream inner("inner bytes");
  TMemoryStream stream;
  TStreamHelper helper(stream);
  helper.WriteTStrings(lines);
  helper.WriteListInteger({1, -2, 3});
  inner.Seek(0, platform::TSeekOrigin::End);
  helper.WriteStream(inner);
  stream.SetPosition(0);

  TStringList back;
  back.Add("dropped");
  helper.ReadTStrings(back);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[0], "первая");
  EXPECT_EQ(std::any_cast<int32_t>(back.Objects(0)), 7);
  EXPECT_EQ(std::any_cast<int32_t>(back.Objects(1)), 0);
  EXPECT_EQ(helper.ReadListInteger(), (std::vector<int32_t>{1, -2, 3}));
  TMemoryStream innerBack;
  helper.ReadStream(innerBack);
  EXPECT_EQ(BytesOf(innerBack), "inner bytes");

  TMemoryStream sized;
  TStreamHelper(inner).SaveToStreamBySize(sized);
  EXPECT_EQ(BytesOf(sized), Int32Bytes(11) + "inner bytes");
  sized.SetPosition(0);
  TBytesStream loaded("longer old content to be replaced");
  TStreamHelper(loaded).LoadFromStreamBySize(sized);
  EXPECT_EQ(BytesOf(loaded), "inner bytes");
}

// Counts, lengths and sizes from the stream beyond what remains raise the read error before
// anything is allocated or skipped; ASan would report an allocation of 2 GiB or more.
TEST(StreamHelperTest, DamagedLengthsRaiseTheReadError) {
  struct Case {
    const char* Name;
    std::string Bytes;
    std::function<void(TStreamHelper&)> Read;
  };
  const std::string huge = Int32Bytes(0x7FFFFFFF);
  const std::string negative = Int32Bytes(-8);
  const std::vector<Case> cases = {
      {"string huge", huge, [](TStreamHelper& h) { h.ReadString(); }},
      {"string negative", negative + "abcdefgh", [](TStreamHelper& h) { h.ReadStringA(); }},
      {"string16 short", std::string("\x10\x00", 2) + "abc",
       [](TStreamHelper& h) { h.ReadString16(); }},
      {"filer string", "\x08" + huge, [](TStreamHelper& h) { h.ReadFilerString(); }},
      {"filer string negative", "\x08" + negative, [](TStreamHelper& h) { h.ReadFilerString(); }},
      {"string list", huge + "xxxxxxxx",
       [](TStreamHelper& h) {
         TStringList list;
         h.ReadTStrings(list);
       }},
      {"integer list", Int32Bytes(3) + "12345678", [](TStreamHelper& h) { h.ReadListInteger(); }},
      {"integer list negative", negative, [](TStreamHelper& h) { h.ReadListInteger(); }},
      {"nested stream", std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8),
       [](TStreamHelper& h) {
         TMemoryStream dest;
         h.ReadStream(dest);
       }},
      {"nested stream negative", std::string("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8),
       [](TStreamHelper& h) {
         TMemoryStream dest;
         h.ReadStream(dest);
       }},
      {"skip negative", negative, [](TStreamHelper& h) { h.SkipString(); }},
      {"skip past end", Int32Bytes(5) + "abcd", [](TStreamHelper& h) { h.SkipString(); }},
      {"header negative", negative + "abcdefgh", [](TStreamHelper& h) { h.ReadHeader(); }},
      {"header past end", Int32Bytes(9) + "abcdefgh", [](TStreamHelper& h) { h.ReadHeader(); }},
      {"wide string variant", Int32Bytes(varOleStr) + Int32Bytes(0x40000000),
       [](TStreamHelper& h) { h.ReadVariant(); }},
      {"variant array bounds",
       Int32Bytes(varArray | varVariant) + Int32Bytes(2) + Int32Bytes(0) + Int32Bytes(0) +
           Int32Bytes(0x7FFFFFFF) + Int32Bytes(0x7FFFFFFF),
       [](TStreamHelper& h) { h.ReadVariant(); }},
      {"variant array data",
       Int32Bytes(varArray | varInteger) + Int32Bytes(1) + Int32Bytes(0) + Int32Bytes(1) +
           Int32Bytes(8) + "1234",
       [](TStreamHelper& h) { h.ReadVariant(); }},
      {"variant array dimensions", Int32Bytes(varArray | varInteger) + huge,
       [](TStreamHelper& h) { h.ReadVariant(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TBytesStream stream(c.Bytes);
    TStreamHelper helper(stream);
    EXPECT_THROW(c.Read(helper), EReadError);
    EXPECT_GE(stream.Position(), 0);
  }
}

TEST(StreamHelperTest, ShortReadAndSignatureMessages) {
  TBytesStream stream("ab");
  TStreamHelper helper(stream);
  EXPECT_EQ(MessageOf<EReadError>([&] { helper.ReadInt32(); }),
            "Stream read error, position: 2, size: 2, count: 4");

  TBytesStream signed_("KVS1rest");
  TStreamHelper(signed_).CheckSignature("KVS1");
  EXPECT_EQ(signed_.Position(), 4);
  TBytesStream other("XYZ");
  EXPECT_EQ(MessageOf<EStreamError>([&] { TStreamHelper(other).CheckSignature("KVS1"); }),
            "Expected signature \"KVS1\", but found \"XYZ\"");
}

TEST(StreamHelperTest, TooLongValuesAreRefusedBeforeAnythingIsWritten) {
  TMemoryStream stream;
  EXPECT_THROW(TStreamHelper(stream).WriteString16(std::string(65536, 'x')), EWriteError);
  EXPECT_EQ(stream.Size(), 0);

  test::TSparseStream big(3 * kGiB);
  TMemoryStream dest;
  EXPECT_THROW(TStreamHelper(big).SaveToStreamBySize(dest), EWriteError);
  EXPECT_EQ(dest.Size(), 0);
}

TEST(StreamHelperTest, BlockSizesPastTwoGiB) {
  // A block that starts past 2 GiB keeps its 64-bit position.
  test::TSparseStream stream(3 * kGiB);
  TStreamHelper helper(stream);
  stream.SetPosition(3 * kGiB);
  const int64_t header = helper.WriteHeader();
  helper.WriteInt64(42);
  helper.FixupHeader(header);
  stream.SetPosition(3 * kGiB);
  EXPECT_EQ(helper.ReadHeader(), 3 * kGiB + 12);
  EXPECT_EQ(helper.ReadInt64(), 42);

  // A block longer than a 32-bit size can hold raises and leaves the placeholder as it was.
  stream.SetPosition(8);
  const int64_t tooLong = helper.WriteHeader();
  stream.SetPosition(3 * kGiB + 20);
  EXPECT_THROW(helper.FixupHeader(tooLong), EWriteError);
  stream.SetPosition(8);
  EXPECT_EQ(helper.ReadInt32(), 0);
}

TEST(StreamHelperTest, VariantsRoundTrip) {
  TVariant ints{.VType = varArray | varInteger, .LowBounds = {1}, .HighBounds = {3}};
  for (int32_t v : {10, -20, 30}) {
    for (int i = 0; i < 4; ++i) {
      ints.ArrayData.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    }
  }
  TVariant mixed{.VType = varArray | varVariant, .LowBounds = {0, 0}, .HighBounds = {1, 0}};
  mixed.Items = {TVariant::OleStr("элемент"), TVariant::Double(2.5)};
  const std::vector<TVariant> values = {
      TVariant{},
      TVariant{.VType = varNull},
      TVariant::Int32(-5),
      TVariant::Double(0.125),
      TVariant::OleStr("Смета ☺"),
      TVariant{.VType = varByte, .Raw = 200},
      ints,
      mixed,
  };
  TMemoryStream stream;
  TStreamHelper helper(stream);
  for (const TVariant& value : values) {
    helper.WriteVariant(value);
  }
  helper.WriteVariant(TVariant{.VType = varString, .Text = "ansi"});
  stream.SetPosition(0);
  for (const TVariant& value : values) {
    EXPECT_EQ(helper.ReadVariant(), value);
  }
  // A single-byte string reads back as a Unicode string.
  EXPECT_EQ(helper.ReadVariant(), TVariant::OleStr("ansi"));
  EXPECT_TRUE(helper.EOS());
}

TEST(StreamHelperTest, UnsupportedVariantsAreRefusedBeforeWriting) {
  struct Case {
    TVariant Value;
    const char* Message;
  };
  TVariant objects{.VType = varArray | varVariant, .LowBounds = {0}, .HighBounds = {0}};
  objects.Items = {TVariant{.VType = varUnknown}};
  const Case cases[] = {
      {TVariant{.VType = varVariant}, "Unsupported variant type: 000C"},
      {TVariant{.VType = varDispatch}, "Unsupported variant type: 0009"},
      {TVariant{.VType = varByRef | varInteger}, "Unsupported variant type: 4003"},
      {TVariant{.VType = 0x0015}, "Unsupported variant type: 0015"},
      {objects, "Unsupported variant type: 000D"},
  };
  for (const Case& c : cases) {
    TMemoryStream stream;
    EXPECT_EQ(MessageOf<Exception>([&] { TStreamHelper(stream).WriteVariant(c.Value); }),
              c.Message);
    EXPECT_EQ(stream.Size(), 0) << c.Message;
  }
  TBytesStream stored(Int32Bytes(varUnknown));
  EXPECT_EQ(MessageOf<Exception>([&] { TStreamHelper(stored).ReadVariant(); }),
            "Unsupported variant type: 000D");

  // Arrays of variants nested without end stop at a fixed depth.
  std::string deep;
  for (int i = 0; i < 100; ++i) {
    deep += Int32Bytes(varArray | varVariant) + Int32Bytes(1) + Int32Bytes(0) + Int32Bytes(0);
  }
  TBytesStream nested(deep + Int32Bytes(0));
  EXPECT_THROW(TStreamHelper(nested).ReadVariant(), Exception);
}

// Saves a version, a number and `extra` bytes a newer writer might add; loads the number.
class TVersioned : public TFlexiblePersistInterfacedObject, public IVersionedStreamPersist {
  KV_INTERFACED_OBJECT()
 public:
  TVersioned(int32_t number, int32_t extra) : FNumber(number), FExtra(extra) {}
  int32_t GetVersion() override { return 2; }
  void SaveToStream(TStream& stream) override {
    TStreamHelper(stream).WriteInt32(FNumber);
    TStreamHelper(stream).WriteEmptyBuffer(FExtra);
  }
  void LoadFromStream(TStream& stream, int32_t version) override {
    FVersion = version;
    FNumber = TStreamHelper(stream).ReadInt32();
    TStreamHelper(stream).SkipBuffer(FExtra);
  }
  int32_t FNumber;
  int32_t FExtra;
  int32_t FVersion = 0;
};

TEST(StreamHelperTest, VersionedObjectsSkipWhatANewerWriterAdded) {
  const std::unique_ptr<TVersioned> newer(New<TVersioned>(5, 6));
  TMemoryStream stream;
  TStreamHelper helper(stream);
  helper.SaveVersionedObject(*newer);
  helper.WriteInt32(99);
  EXPECT_EQ(BytesOf(stream).substr(0, 8), Int32Bytes(2) + Int32Bytes(14));

  stream.SetPosition(0);
  const std::unique_ptr<TVersioned> older(New<TVersioned>(0, 0));
  helper.LoadVersionedObject(*older);
  EXPECT_EQ(older->FNumber, 5);
  EXPECT_EQ(older->FVersion, 2);
  EXPECT_EQ(helper.ReadInt32(), 99);

  // An object that reads past its block.
  stream.SetPosition(0);
  const std::unique_ptr<TVersioned> greedy(New<TVersioned>(0, 10));
  EXPECT_EQ(MessageOf<Exception>([&] { helper.LoadVersionedObject(*greedy); }), "");

  // A size below its own four bytes would lead backwards.
  for (int32_t size : {3, 0, -100}) {
    TBytesStream damaged(Int32Bytes(2) + Int32Bytes(size) + Int32Bytes(5));
    EXPECT_THROW(TStreamHelper(damaged).LoadVersionedObject(*older), EReadError) << size;
  }
}

TEST(StreamHelperTest, WholeContentAndFiles) {
  test::TTempFolder folder;
  TBytesStream stream("файл");
  stream.SetPosition(3);
  TStreamHelper helper(stream);
  EXPECT_EQ(helper.GetAsBytes().size(), 8u);
  EXPECT_EQ(stream.Position(), 3);
  const std::string path = folder.Path("sub\\deeper\\out.bin");
  helper.SaveToFile(path, true);
  EXPECT_EQ(test::ReadFileBytes(path), "файл");

  TBytesStream loaded("much longer previous content");
  TStreamHelper(loaded).LoadFromFile(path);
  EXPECT_EQ(BytesOf(loaded), "файл");
  TStreamHelper(loaded).SetAsBytes({'o', 'k'});
  EXPECT_EQ(BytesOf(loaded), "ok");
  TBytesStream copy("previous content");
  TStreamHelper(copy).LoadFromStream(loaded);
  EXPECT_EQ(BytesOf(copy), "ok");

  TStringList list;
  AddPair(list, "name", "value");
  AddFormat(list, "%d-%s", 3, std::string("x"));
  EXPECT_EQ(list[0], "name=value");
  EXPECT_EQ(list[1], "3-x");
}

}  // namespace
}  // namespace kv
