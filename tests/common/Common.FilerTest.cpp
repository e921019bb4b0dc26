#include "common/Common.Filer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/SparseStream.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::MessageOf;

const char* const kFormatError = "Неверный формат данных в потоке";

std::string BytesOf(TKalvorFiler& filer) {
  TStream& stream = filer.Stream();
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), std::ssize(bytes));
  return bytes;
}

TKvFiler FilerOver(TMemoryStream& stream, const std::string& bytes) {
  stream.WriteBuffer(bytes.data(), std::ssize(bytes));
  stream.SetPosition(0);
  return TKvFiler(&stream, false);
}

TEST(KalvorFilerTest, NumbersBooleansAndGuidsRoundTrip) {
  const TGUID guid{0xA1B2C3D4, 0x1122, 0x3344, {1, 2, 3, 4, 5, 6, 7, 8}};
  const auto filer = TKalvorFiler::CreateWithMemoryStream();
  filer->WriteInt08(0xF0);
  filer->WriteInt16(0xF00D);
  filer->WriteInt32(-7);
  filer->WriteInt64(int64_t{1} << 50);
  filer->Write_Byte(3);
  filer->WriteDbl64(0.5);
  filer->WriteCur64(123456);
  filer->WriteExtended(-1.25);
  filer->WriteGuid(guid);
  filer->WriteBoolean(true);
  filer->WriteBoolean(false);
  filer->WriteByteBoolean(true);
  EXPECT_EQ(BytesOf(*filer).substr(BytesOf(*filer).size() - 3), "\x0A\x09\x01");

  filer->Stream().SetPosition(0);
  EXPECT_EQ(filer->ReadInt08(), 0xF0);
  EXPECT_EQ(filer->ReadInt16(), 0xF00D);
  EXPECT_EQ(filer->ReadInt32(), -7);
  EXPECT_EQ(filer->ReadInt64(), int64_t{1} << 50);
  EXPECT_EQ(filer->Read_Byte(), 3);
  EXPECT_EQ(filer->ReadDbl64(), 0.5);
  EXPECT_EQ(filer->ReadCurr64(), 123456);
  EXPECT_EQ(filer->ReadExtended(), -1.25);
  EXPECT_EQ(filer->ReadGuid(), guid);
  EXPECT_TRUE(filer->ReadBoolean());
  EXPECT_FALSE(filer->ReadBoolean());
  EXPECT_TRUE(filer->ReadByteBoolean());
  EXPECT_TRUE(filer->IsEndOfStream());
}

TEST(KalvorFilerTest, OnlyTagTenReadsAsTrue) {
  TMemoryStream stream;
  TKvFiler filer = FilerOver(stream, "\x01\x0A\x09\x02");
  EXPECT_FALSE(filer.ReadBoolean());
  EXPECT_TRUE(filer.ReadBoolean());
  EXPECT_FALSE(filer.ReadBoolean());
  EXPECT_TRUE(filer.ReadByteBoolean());
}

TEST(KalvorFilerTest, StringTagsFollowLengthAndForm) {
  struct Case {
    size_t Length;
    uint8_t SingleByteTag;
    uint8_t Utf16Tag;
  };
  const Case cases[] = {{0, 6, 11}, {255, 6, 11}, {256, 7, 12}, {65534, 7, 12}, {65535, 8, 13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Length);
    const std::string text(c.Length, 'w');
    const auto filer = TKalvorFiler::CreateWithMemoryStream();
    filer->WriteString(text);
    filer->SetUseUnicodeStrings(true);
    filer->WriteString(text);
    const std::string bytes = BytesOf(*filer);
    const size_t lengthWidth = c.SingleByteTag == 6 ? 1 : c.SingleByteTag == 7 ? 2 : 4;
    ASSERT_EQ(bytes.size(), 2 * (1 + lengthWidth) + 3 * c.Length);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), c.SingleByteTag);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1 + lengthWidth + c.Length]), c.Utf16Tag);

    filer->Stream().SetPosition(0);
    EXPECT_EQ(filer->ReadString(), text);
    EXPECT_EQ(filer->ReadString(), text);
  }
}

TEST(KalvorFilerTest, TextFormsRoundTripAndStayInStep) {
  const auto filer = TKalvorFiler::CreateWithMemoryStream();
  const std::string outside = "日本 \xF0\x9F\x98\x80 end";
  filer->WriteStringA("Калвор");
  filer->WriteStringW("Калвор ☺");
  filer->WriteString(outside);
  filer->WriteInt32(12345);
  EXPECT_EQ(BytesOf(*filer).substr(0, 8), "\x06\x06\xCA\xE0\xEB\xE2\xEE\xF0");

  filer->Stream().SetPosition(0);
  EXPECT_EQ(filer->ReadStringA(), "Калвор");
  EXPECT_EQ(filer->ReadStringW(), "Калвор ☺");
  EXPECT_TRUE(filer->ReadString().ends_with(" end"));
  EXPECT_EQ(filer->ReadInt32(), 12345);
}

TEST(KalvorFilerTest, ListsCountTheirItemsAndNest) {
  const auto filer = TKalvorFiler::CreateWithMemoryStream();
  filer->WriteListBegin();
  for (int i = 0; i < 3; ++i) {
    filer->WriteInt32(i);
    filer->NextListItem();
  }
  filer->WriteListBegin();
  filer->WriteListBegin();
  filer->WriteListEnd();
  filer->NextListItem();
  filer->WriteListEnd();
  filer->NextListItem();
  filer->WriteListEnd();

  filer->Stream().SetPosition(0);
  EXPECT_EQ(filer->ListCount(), 0);
  filer->ReadListBegin();
  EXPECT_EQ(filer->ListCount(), 4);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(filer->EOL());
    EXPECT_EQ(filer->ReadInt32(), i);
    filer->ReadNextItem();
  }
  filer->ReadListBegin();
  EXPECT_EQ(filer->ListCount(), 1);
  filer->ReadListBegin();
  EXPECT_TRUE(filer->EOL());
  filer->ReadListEnd();
  filer->ReadNextItem();
  EXPECT_TRUE(filer->EOL());
  filer->ReadListEnd();
  filer->ReadNextItem();
  EXPECT_TRUE(filer->EOL());
  filer->ReadListEnd();
  EXPECT_TRUE(filer->IsEndOfStream());
}

TEST(KalvorFilerTest, ListCountsPastTwoGiBLandWhereTheListBegan) {
  constexpr int64_t kStart = int64_t{3} << 30;
  test::TSparseStream stream(kStart);
  TKvFiler filer(&stream, false);
  stream.SetPosition(kStart);
  filer.WriteListBegin();
  filer.WriteInt08(1);
  filer.NextListItem();
  filer.WriteListEnd();
  EXPECT_EQ(filer.Position(), kStart + 5);

  stream.SetPosition(kStart);
  filer.ReadListBegin();
  EXPECT_EQ(filer.ListCount(), 1);
  EXPECT_EQ(filer.ReadInt08(), 1);
  EXPECT_TRUE(filer.IsEndOfStream());
}

TEST(KalvorFilerTest, DamagedInputRaisesTheFormatError) {
  struct Case {
    const char* Name;
    std::string Bytes;
    std::function<void(TKvFiler&)> Read;
  };
  const std::vector<Case> cases = {
      {"unknown tag", "\x05\x00", [](TKvFiler& f) { f.ReadString(); }},
      {"UTF-16 for ReadStringA", "\x0B\x00", [](TKvFiler& f) { f.ReadStringA(); }},
      {"single-byte for ReadStringW", "\x06\x00", [](TKvFiler& f) { f.ReadStringW(); }},
      {"length past the end",
       "\x06\x05"
       "abc",
       [](TKvFiler& f) { f.ReadString(); }},
      {"UTF-16 length past the end",
       "\x0B\x02"
       "abc",
       [](TKvFiler& f) { f.ReadString(); }},
      {"huge length", "\x0D\xFF\xFF\xFF\x7F", [](TKvFiler& f) { f.ReadString(); }},
      {"negative length", "\x08\xFF\xFF\xFF\xFF", [](TKvFiler& f) { f.ReadString(); }},
      {"huge list",
       "\xFF\xFF\xFF\x7F"
       "ab",
       [](TKvFiler& f) { f.ReadListBegin(); }},
      {"negative list",
       "\xFE\xFF\xFF\xFF"
       "ab",
       [](TKvFiler& f) { f.ReadListBegin(); }},
      {"read error", "", [](TKvFiler& f) { f.ReadError(); }},
  };
  for (const Case& c : cases) {
    TMemoryStream stream;
    TKvFiler filer = FilerOver(stream, c.Bytes);
    EXPECT_EQ(MessageOf<EKalvorFilerError>([&] { c.Read(filer); }), kFormatError) << c.Name;
  }

  TMemoryStream stream;
  TKvFiler filer = FilerOver(stream, "\x2A\x2B");
  filer.CheckSignature(0x2A);
  EXPECT_EQ(MessageOf<EKalvorFilerInvalidSignature>([&] { filer.CheckSignature(0x2A); }),
            kFormatError);
}

}  // namespace
}  // namespace kv
