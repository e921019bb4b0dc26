#include "sysinfo/SysInfo.Core.SmetaDBase.h"

#include <gtest/gtest.h>

#include "common/Common.Filer.h"
#include "common/Common.KVSimpleDBase64.h"
#include "platform/Text.h"
#include "support/NormBaseFiles.h"
#include "support/SimpleDBaseWriter.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::MessageOf;

TEST(SmetaDBaseTest, DescribesABaseOnReportLines) {
  test::TTempFolder temp;
  const std::string path = temp.Path("NB108123.kvd8");
  test::WriteNormBase(path, test::DescriptorBytes(test::SampleNormBaseInfo("Регион 8", 17)));

  EXPECT_EQ(ReadDBaseInfo(path).ReleaseNumber, 17);
  const std::string date = platform::DateTimeToStrLocale(EncodeDateTime(2024, 3, 15, 0, 0, 0));
  EXPECT_EQ(DescribeDBase(path), "      - Путь: " + path +
                                     "\r\n        - Наименование: Регион 8"
                                     "\r\n        - Версия базы: 17"
                                     "\r\n        - Код базы: 108123"
                                     "\r\n        - Дата создания: " +
                                     date +
                                     "\r\n        - Издатель: Территориальный"
                                     "\r\n        - Тип базы: 2001 года"
                                     "\r\n        - Округ: Северный");
}

TEST(SmetaDBaseTest, UnknownPublisherAndPriceLevel) {
  test::TTempFolder temp;
  TNB_InfoStruct info = test::SampleNormBaseInfo("Регион", 1);
  info.Publidher = 9;
  info.Code.Year = 5;
  const std::string path = temp.Path("base.kvd8");
  test::WriteNormBase(path, test::DescriptorBytes(info));
  const std::string text = DescribeDBase(path);
  EXPECT_NE(text.find("\r\n        - Код базы: -1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n        - Издатель: Неизвестен\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n        - Тип базы: Неизвестный тип\r\n"), std::string::npos) << text;
}

TEST(SmetaDBaseTest, DamagedBasesRaise) {
  test::TTempFolder temp;
  const std::string noInfo = temp.Path("noinfo.kvd8");
  test::WriteFileBytes(noInfo, test::WriteSimpleDBase({{"Content", "", "x"}}).Bytes);
  EXPECT_EQ(MessageOf<EKVSimpleDBase64>([&] { ReadDBaseInfo(noInfo); }),
            "Запись с наименованием \"Info\" в базе отсутствует.\r\n\"" + noInfo + "\"");

  const std::string garbage = temp.Path("garbage.kvd8");
  test::WriteFileBytes(garbage, std::string(100, '\x7F'));
  EXPECT_THROW(ReadDBaseInfo(garbage), EKVSimpleDBase64);
  EXPECT_THROW(ReadDBaseInfo(temp.Path("missing.kvd8")), EKVSimpleDBase64);

  const std::string badSignature = temp.Path("sig.kvd8");
  test::WriteNormBase(badSignature, "\x01\x02\x03");
  EXPECT_THROW(ReadDBaseInfo(badSignature), EKalvorFilerInvalidSignature);
}

}  // namespace
}  // namespace kv
