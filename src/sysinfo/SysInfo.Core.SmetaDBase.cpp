#include "sysinfo/SysInfo.Core.SmetaDBase.h"

#include <cmath>
#include <string>

#include "base/Format.h"
#include "common/Common.Classes.h"
#include "common/Common.KVSimpleDBase64.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr const char* kInfoItem = "Info";

// The base's own texts are Windows-1251 whatever the system code page is.
std::string As1251(const std::string& text) {
  return platform::DecodeCodePage(platform::kCodePage1251,
                                  platform::EncodeCodePage(platform::AnsiCodePage(), text));
}

}  // namespace

TNB_InfoStruct ReadDBaseInfo(const std::string& fileName) {
  TMemoryStream data;
  if (!TKVSimpleDBaseReader64::FastGetItemData(fileName, kInfoItem, data)) {
    throw EKVSimpleDBase64(
        Format("Запись с наименованием \"%s\" в базе отсутствует.\r\n\"%s\"", kInfoItem, fileName));
  }
  data.SetPosition(0);
  TNB_InfoStruct info;
  info.LoadFromStream(data);
  return info;
}

std::string DescribeDBase(const std::string& fileName) {
  const TNB_InfoStruct info = ReadDBaseInfo(fileName);
  const std::pair<const char*, std::string> lines[] = {
      {"Наименование", As1251(info.RegionName)},
      {"Версия базы", std::to_string(info.ReleaseNumber)},
      {"Код базы", std::to_string(info.Code.IntDBCode())},
      {"Дата создания", platform::DateTimeToStrLocale(std::trunc(info.CreationDate))},
      {"Издатель", PublisherText(info.Publidher)},
      {"Тип базы", PriceLevelTypeText(info.Code.Year)},
      {"Округ", As1251(info.DistrictName)},
  };
  std::string text = "      - Путь: " + fileName;
  for (const auto& [name, value] : lines) {
    text += "\r\n        - " + std::string(name) + ": " + value;
  }
  return text;
}

}  // namespace kv
