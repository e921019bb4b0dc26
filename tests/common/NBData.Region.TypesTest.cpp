#include "common/NBData.Region.Types.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/DateTime.h"
#include "common/Common.Filer.h"
#include "platform/Text.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::MessageOf;

TEST(NBRegionCodeTest, TextCodeGivesPriceLevelPartsAndNumbers) {
  const TNBRegionCode code = TNBRegionCode::FromString("NB101001");
  EXPECT_EQ(code.Year, 2);
  EXPECT_EQ(code.Code, 1001);
  EXPECT_EQ(code.AreaCode(), 1);
  EXPECT_EQ(code.AddCode(), 0);
  EXPECT_EQ(code.District(), 1);
  EXPECT_EQ(code.IntDBCode(), 101001);
  EXPECT_EQ(code.DefaultOpenMask(), "01???");
  EXPECT_EQ(code.DBCode("NB"), "NB101001");
  EXPECT_EQ(code.DBCode("", "ext"), "101001.ext");
  EXPECT_EQ(code.DBCode("", ".ext"), "101001.ext");
  EXPECT_EQ(code.DefaultTitle(), "База (код 101001)");
  EXPECT_EQ(code.DefaultComment(), "База 2001г.");
  EXPECT_EQ(code.GetKVDCodeKind(), 1);

  EXPECT_EQ(TNBRegionCode::FromString("nB412345xyz"), (TNBRegionCode{12345, 1}));
  EXPECT_EQ(TNBRegionCode::FromString("412345").GetKVDCodeKind(), 2);
  EXPECT_EQ(TNBRegionCode::FromString("NB112345").DefaultOpenMask(), "1234?");
}

TEST(NBRegionCodeTest, BadTextCodesRaiseTheCodeError) {
  for (const std::string text : {"12345", "NB12345", "NB212345", "NB1123x5", ""}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(MessageOf<ERegionCodeError>([&] { TNBRegionCode::FromString(text); }),
              "Некорректный код (" + text + ") базы");
  }
}

TEST(NBRegionCodeTest, IntegerForms) {
  EXPECT_EQ(TNBRegionCode::FromInt(401001), (TNBRegionCode{1001, 1}));
  EXPECT_EQ(MessageOf<EInvalidOperation>([] { TNBRegionCode::FromInt(201001); }),
            "Invalid region code (201001)");
  EXPECT_EQ((TNBRegionCode{1001, 1}).ToInt(), 401001);
  EXPECT_EQ((TNBRegionCode{1001, 0}).IntDBCode(), -1);
  EXPECT_EQ((TNBRegionCode{-5, 2}).IntDBCode(), -1);
  EXPECT_EQ((TNBRegionCode{-5, 2}).DBCode("NB"), "");
  EXPECT_TRUE((TNBRegionCode{1001, 1}).IsSame(TNBRegionCode::FromInt(401001)));
}

TEST(NBRegionCodeTest, AreaEightAtPricesOf2001) {
  TNBRegionCode code{0, 2};
  code.SetCodeFromParts(8, 12, 3);
  EXPECT_EQ(code.Code, 8123);
  EXPECT_EQ(code.DefaultYearValue(), 1998);
  EXPECT_TRUE(code.IsMTSNCode());
  EXPECT_EQ(code.DefaultRootName(), "База 1998г.");
  EXPECT_FALSE((TNBRegionCode{1001, 2}).IsMTSNCode());
}

TEST(NBRegionCodeTest, CodesBeyondFiveDigitsAndUnknownPriceLevels) {
  TNBRegionCode code;
  EXPECT_EQ(MessageOf<ERegionCodeError>([&] { code.SetCode(100000); }),
            "Некорректный код (100000) базы");
  // An additional code that would overflow 32 bits when multiplied.
  EXPECT_EQ(MessageOf<ERegionCodeError>([&] { code.SetCodeFromParts(1, 0x7FFFFFFF, 9); }),
            "Некорректный код (21474837479) базы");
  EXPECT_EQ(MessageOf<ERegionCodeError>([&] { code.SetCodeFromParts(8, -1012, 2); }),
            "Некорректный код (-2118) базы");
  EXPECT_EQ(code.Code, 0);

  const TNBRegionCode unknown{1001, 7};
  EXPECT_EQ(unknown.IntDBCode(), -1);
  EXPECT_EQ(unknown.DBCode("NB"), "");
  EXPECT_EQ(unknown.DefaultYearValue(), 0);
  EXPECT_THAT(MessageOf<EAssertionFailed>([&] { unknown.GetKVDCodeKind(); }),
              testing::StartsWith("Неожиданный уровень цен (7) у кода региона 1001 "
                                  "(lib\\NBData\\NBData.Region.Types, line 314)"));
}

TEST(NBRegionCodeTest, TextsOfPriceLevelsAndPublishers) {
  EXPECT_EQ(TNBRegionCode::PriceLeveledBaseCaption(1), "База 1984г.");
  EXPECT_EQ(PriceLevelYearText(2), "2001");
  EXPECT_EQ(PriceLevelYearText(0), "unknown");
  EXPECT_EQ(PriceLevelYearText(255), "unknown");
  EXPECT_EQ(PriceLevelTypeText(1), "1984 года");
  EXPECT_EQ(PriceLevelTypeText(3), "Неизвестный тип");
  EXPECT_EQ(PublisherText(2), "Территориальный");
  EXPECT_EQ(PublisherText(4), "Индивидуальный");
  EXPECT_EQ(PublisherText(5), "Неизвестен");
  EXPECT_EQ(PublisherText(255), "Неизвестен");
}

TEST(NBRegionCodeTest, FileMasks) {
  struct Case {
    const char* text;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"01001", "01???", true}, {"01001", "02???", false}, {"01001", "*", true},
      {"01001", "0*1", true},   {"01001", "0*2", false},   {"01001", "01??", false},
      {"01001", "*0*0*", true}, {"", "*", true},           {"", "?", false},
      {"Ab", "aB", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.mask);
    EXPECT_EQ(MatchesFileMask(c.text, c.mask), c.matches);
  }
  // A hostile mask of many stars that never matches must not take exponential time.
  EXPECT_FALSE(MatchesFileMask("00000000000", std::string(100000, '*') + "1"));
}

// A descriptor's bytes up to and including the given optional group (0 = none, 4 = all).
std::string Descriptor(int groups, int32_t addCode = 12, uint8_t priceLevel = 2,
                       double date = EncodeDateTime(2024, 3, 15, 10, 30, 0),
                       uint8_t publisher = 2) {
  TMemoryStream stream;
  TKvFiler filer(&stream, false);
  filer.WriteInt08(0xF1);
  filer.WriteInt08(3);
  filer.WriteInt08(8);
  filer.WriteInt32(addCode);
  filer.WriteInt08(3);
  filer.WriteStringA("Регион");
  filer.WriteInt08(priceLevel);
  filer.WriteDbl64(date);
  filer.WriteStringA("Создатель");
  filer.WriteStringA("Комментарий");
  if (groups >= 1) {
    filer.WriteStringA("Округ");
    filer.WriteStringA("ОК");
    filer.WriteInt08(publisher);
  }
  if (groups >= 2) {
    filer.WriteStringA("  ");
    filer.WriteStringA("Корень");
    filer.WriteInt16(2003);
  }
  if (groups >= 3) {
    filer.WriteInt32(17);
  }
  if (groups >= 4) {
    const uint32_t crc = 0xDEADBEEF;
    filer.Write(&crc, sizeof crc);
  }
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), std::ssize(bytes));
  return bytes;
}

TNB_InfoStruct Load(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), std::ssize(bytes));
  stream.SetPosition(0);
  TNB_InfoStruct info;
  info.LoadFromStream(stream);
  return info;
}

TEST(NBInfoStructTest, ReadsEveryGroup) {
  const TNB_InfoStruct info = Load(Descriptor(4));
  EXPECT_EQ(info.SysVersion, 3);
  EXPECT_EQ(info.Code, (TNBRegionCode{8123, 2}));
  EXPECT_EQ(info.RegionName, "Регион");
  EXPECT_EQ(info.Creator, "Создатель");
  EXPECT_EQ(info.FComment, "Комментарий");
  EXPECT_EQ(info.DistrictName, "Округ");
  EXPECT_EQ(info.DistrictSign, "ОК");
  EXPECT_EQ(info.Publidher, 2);
  EXPECT_EQ(info.OpenMask, "0812?");  // blank: the code's default
  EXPECT_EQ(info.RootName, "Корень");
  EXPECT_EQ(info.Year, 2003);
  EXPECT_EQ(info.ReleaseNumber, 17);
  EXPECT_TRUE(info.HasCrc32);
  EXPECT_EQ(info.CRC32, 0xDEADBEEFu);
}

TEST(NBInfoStructTest, StopsBeforeAnyOptionalGroup) {
  const TNB_InfoStruct info = Load(Descriptor(0));
  EXPECT_EQ(info.DistrictName, "");
  EXPECT_EQ(info.Publidher, 0);
  EXPECT_EQ(info.OpenMask, "0812?");
  EXPECT_EQ(info.Year, 1998);
  EXPECT_EQ(info.RootName, "База 1998г.");
  EXPECT_EQ(info.ReleaseNumber, 0);
  EXPECT_FALSE(info.HasCrc32);

  EXPECT_EQ(Load(Descriptor(2)).ReleaseNumber, 0);
  EXPECT_FALSE(Load(Descriptor(3)).HasCrc32);
  EXPECT_EQ(Load(Descriptor(3)).ReleaseNumber, 17);
}

TEST(NBInfoStructTest, SavedDescriptorReadsBackWhole) {
  TNB_InfoStruct info = Load(Descriptor(4));
  info.FComment.clear();
  TMemoryStream stream;
  info.SaveToStream(stream);
  stream.SetPosition(0);
  TNB_InfoStruct back;
  back.LoadFromStream(stream);
  info.FComment = "База 1998г.";
  info.OpenMask = "0812?";
  EXPECT_EQ(back.FComment, info.FComment);
  EXPECT_EQ(back.Code, info.Code);
  EXPECT_EQ(back.CreationDate, info.CreationDate);
  EXPECT_EQ(back.DistrictSign, info.DistrictSign);
  EXPECT_EQ(back.RootName, info.RootName);
  EXPECT_EQ(back.ReleaseNumber, info.ReleaseNumber);
  EXPECT_EQ(back.CRC32, info.CRC32);
}

TEST(NBInfoStructTest, DamagedDescriptorsRaise) {
  const std::string whole = Descriptor(4);
  std::string wrongSignature = whole;
  wrongSignature[0] = '\xF0';
  EXPECT_EQ(MessageOf<EKalvorFilerInvalidSignature>([&] { Load(wrongSignature); }),
            "Неверный формат данных в потоке");
  // Cut inside the mandatory part and inside an optional group.
  for (size_t size : {size_t{0}, size_t{5}, size_t{20}, whole.size() - 2}) {
    SCOPED_TRACE(size);
    EXPECT_THROW(Load(whole.substr(0, size)), Exception);
  }
  EXPECT_THROW(Load(Descriptor(4, 0x7FFFFFFF)), ERegionCodeError);
  for (double date : {std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity(), 1e300, -1e7}) {
    SCOPED_TRACE(date);
    EXPECT_EQ(MessageOf<EKalvorFilerError>([&] { Load(Descriptor(4, 12, 2, date)); }),
              "Неверный формат данных в потоке");
  }
}

TEST(NBInfoStructTest, PropertyLines) {
  const TNB_InfoStruct info = Load(Descriptor(4));
  const auto props = info.GetPropsStrings();
  ASSERT_EQ(props->Count(), 7);
  EXPECT_EQ((*props)[0], "Версия базы=17 (3)");
  EXPECT_EQ((*props)[1], "Регион=Регион");
  EXPECT_EQ((*props)[2], "Код базы=NB108123");
  EXPECT_EQ((*props)[3], "Издатель=Территориальный");
  EXPECT_EQ((*props)[4],
            "Дата создания=" + platform::DateTimeToStrLocale(EncodeDateTime(2024, 3, 15, 0, 0, 0)));
  EXPECT_EQ((*props)[5], "Тип базы=2001 года");
  EXPECT_EQ((*props)[6], "Округ=Округ");

  const auto unknown = Load(Descriptor(4, 12, 9, 0, 200)).GetPropsStrings();
  EXPECT_EQ((*unknown)[2], "Код базы=");
  EXPECT_EQ((*unknown)[3], "Издатель=Неизвестен");
  EXPECT_EQ((*unknown)[5], "Тип базы=Неизвестный тип");
}

TEST(NBInfoStructTest, MatchesTheMainBaseByItsFiveDigits) {
  const TNB_InfoStruct info;
  EXPECT_TRUE(info.IsMatchForMainDbCode(TNBRegionCode{1001, 2}, "01???"));
  EXPECT_TRUE(info.IsMatchForMainDbCode(TNBRegionCode{1001, 2}, "0100?"));
  EXPECT_FALSE(info.IsMatchForMainDbCode(TNBRegionCode{11001, 2}, "01???"));
}

}  // namespace
}  // namespace kv
