#include "common/NBData.Region.Types.h"

#include <cmath>
#include <cstdlib>

#include "base/Format.h"
#include "base/Rtti.h"
#include "common/Common.Filer.h"
#include "common/Common.Helpers.Classes.h"
#include "common/Common.SysUtils.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(ERegionCodeError, "ERegionCodeError", Exception)

namespace {

constexpr const char* kModule = "lib\\NBData\\NBData.Region.Types";
constexpr const char* kBadCode = "Некорректный код (%s) базы";
constexpr uint8_t kInfoSignature = 0xF1;
constexpr int64_t kMaxCode = 99999;
// The OLE Automation date range: 1 January 100 to 31 December 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0;

struct TPriceLevel {
  const char* YearText;
  int YearValue;
  int32_t Prefix;
  const char* Letter;
};
constexpr TPriceLevel kPriceLevels[] = {{"1984", 1984, 400000, "4"}, {"2001", 2001, 100000, "1"}};

const TPriceLevel* PriceLevel(uint8_t year) {
  return year == 1 || year == 2 ? &kPriceLevels[year - 1] : nullptr;
}

constexpr const char* kPublishers[] = {"Неизвестен", "Федеральный", "Территориальный", "Отраслевой",
                                       "Индивидуальный"};

int32_t CheckedCode(int64_t code) {
  if (std::llabs(code) > kMaxCode) {
    throw ERegionCodeError(Format(kBadCode, std::to_string(code)));
  }
  return static_cast<int32_t>(code);
}

std::string LocalDate(TDateTime value) {
  // Midnight leaves the time out of the locale's form.
  return platform::DateTimeToStrLocale(std::trunc(value));
}

}  // namespace

int TNBRegionCode::GetKVDCodeKind() const {
  if (Year == 1) {
    return 2;
  }
  if (Year == 2) {
    return Code != 0 ? 1 : 0;
  }
  Assert(false, kModule, 314, Format("Неожиданный уровень цен (%d) у кода региона %d", Year, Code));
  return 0;
}

void TNBRegionCode::SetCode(int64_t aCode) {
  Code = CheckedCode(aCode);
}

void TNBRegionCode::SetCodeFromParts(int64_t areaCode, int64_t regionAddCode, int64_t dBCode) {
  // 64-bit arithmetic: an additional code from a file may be any 32-bit value. A negative result
  // could not be split into parts again when saved.
  const int64_t code = (areaCode & 0x7F) * 1000 + regionAddCode * 10 + dBCode;
  if (code < 0) {
    throw ERegionCodeError(Format(kBadCode, std::to_string(code)));
  }
  SetCode(code);
}

std::string TNBRegionCode::DBCode(const std::string& prefix, const std::string& extention) const {
  const TPriceLevel* level = PriceLevel(Year);
  if (Code < 0 || level == nullptr) {
    return {};
  }
  std::string result = Format("%s%s%.5d", prefix, level->Letter, Code);
  if (!extention.empty()) {
    if (extention[0] != '.') {
      result += '.';
    }
    result += extention;
  }
  return result;
}

void TNBRegionCode::SetDBCode(const std::string& dBCode) {
  if (dBCode.size() < 6) {
    throw ERegionCodeError(Format(kBadCode, dBCode));
  }
  std::string_view text = dBCode;
  if ((text[0] == 'n' || text[0] == 'N') && (text[1] == 'b' || text[1] == 'B')) {
    text.remove_prefix(2);
  }
  uint8_t year = 0;
  if (!text.empty() && text[0] == '1') {
    year = 2;
  } else if (!text.empty() && text[0] == '4') {
    year = 1;
  }
  if (year == 0 || text.size() < 6) {
    throw ERegionCodeError(Format(kBadCode, dBCode));
  }
  int32_t code = 0;
  for (char c : text.substr(1, 5)) {
    if (c < '0' || c > '9') {
      throw ERegionCodeError(Format(kBadCode, dBCode));
    }
    code = code * 10 + (c - '0');
  }
  Year = year;
  Code = code;
}

int32_t TNBRegionCode::IntDBCode() const {
  const TPriceLevel* level = PriceLevel(Year);
  if (level == nullptr || Code < 0) {
    return -1;
  }
  return level->Prefix + Code;
}

std::string TNBRegionCode::DefaultTitle() const {
  return Format("База (код %d)", IntDBCode());
}

std::string TNBRegionCode::DefaultComment() const {
  return Format("База %dг.", DefaultYearValue());
}

std::string TNBRegionCode::DefaultRootName() const {
  return DefaultComment();
}

std::string TNBRegionCode::PriceLeveledBaseCaption(uint8_t priceLevel) {
  return Format("База %sг.", PriceLevelYearText(priceLevel));
}

bool TNBRegionCode::IsMTSNCode() const {
  const int32_t area = AreaCode();
  return area == 3 || area == 7 || area == 8 || area == 9;
}

int TNBRegionCode::DefaultYearValue() const {
  const TPriceLevel* level = PriceLevel(Year);
  if (level == nullptr) {
    return 0;
  }
  const int32_t area = AreaCode();
  if (Year == 2 && (area == 7 || area == 8 || area == 9)) {
    return 1998;
  }
  return level->YearValue;
}

int32_t TNBRegionCode::MakeIntCode(int32_t areaCode, int32_t addCode, int32_t district) {
  TNBRegionCode code;
  code.SetCodeFromParts(areaCode, addCode, district);
  return code.Code;
}

TNBRegionCode TNBRegionCode::FromString(const std::string& dBCode) {
  TNBRegionCode code;
  code.SetDBCode(dBCode);
  return code;
}

TNBRegionCode TNBRegionCode::FromInt(int32_t aCode) {
  TNBRegionCode code;
  switch (aCode / 100000) {
    case 1:
      code.Year = 2;
      break;
    case 4:
      code.Year = 1;
      break;
    default:
      throw EInvalidOperation(Format("Invalid region code (%d)", aCode));
  }
  code.Code = aCode % 100000;
  return code;
}

int32_t TNBRegionCode::ToInt() const {
  const TPriceLevel* level = PriceLevel(Year);
  return (level != nullptr ? level->Prefix : 0) + Code;
}

std::string TNBRegionCode::DefaultOpenMask() const {
  if (AddCode() != 0) {
    return Format("%.2d%.2d?", AreaCode(), AddCode());
  }
  return Format("%.2d???", AreaCode());
}

std::string PriceLevelYearText(uint8_t priceLevel) {
  const TPriceLevel* level = PriceLevel(priceLevel);
  return level != nullptr ? level->YearText : "unknown";
}

std::string PriceLevelTypeText(uint8_t priceLevel) {
  const TPriceLevel* level = PriceLevel(priceLevel);
  return level != nullptr ? std::string(level->YearText) + " года" : "Неизвестный тип";
}

std::string PublisherText(uint8_t publisher) {
  return publisher < std::size(kPublishers) ? kPublishers[publisher] : kPublishers[0];
}

bool MatchesFileMask(const std::string& text, const std::string& mask) {
  const std::string t = platform::LowerCaseLocale(text);
  const std::string m = platform::LowerCaseLocale(mask);
  // Greedy matching that returns only to the last '*': no recursion, no exponential blow-up on
  // masks with many stars.
  size_t ti = 0;
  size_t mi = 0;
  size_t starMask = std::string::npos;
  size_t starText = 0;
  while (ti < t.size()) {
    if (mi < m.size() && (m[mi] == '?' || m[mi] == t[ti])) {
      ++ti;
      ++mi;
    } else if (mi < m.size() && m[mi] == '*') {
      starMask = mi++;
      starText = ti;
    } else if (starMask != std::string::npos) {
      mi = starMask + 1;
      ti = ++starText;
    } else {
      return false;
    }
  }
  while (mi < m.size() && m[mi] == '*') {
    ++mi;
  }
  return mi == m.size();
}

void TNB_InfoStruct::LoadFromStream(TStream& stream) {
  *this = TNB_InfoStruct();
  TKvFiler filer(&stream, false);
  filer.CheckSignature(kInfoSignature);
  SysVersion = filer.ReadInt08();
  const uint8_t area = filer.ReadInt08();
  const int32_t addCode = filer.ReadInt32();
  const uint8_t district = filer.ReadInt08();
  Code.SetCodeFromParts(area, addCode, district);
  RegionName = filer.ReadString();
  Code.Year = filer.ReadInt08();
  CreationDate = filer.ReadDbl64();
  if (!std::isfinite(CreationDate) || CreationDate < kMinDate || CreationDate >= kMaxDate) {
    throw EKalvorFilerError("Неверный формат данных в потоке");
  }
  Creator = filer.ReadString();
  FComment = filer.ReadString();
  if (!filer.IsEndOfStream()) {
    DistrictName = filer.ReadString();
    DistrictSign = filer.ReadString();
    Publidher = filer.ReadInt08();
  }
  if (!filer.IsEndOfStream()) {
    OpenMask = filer.ReadString();
    RootName = filer.ReadString();
    Year = static_cast<int16_t>(filer.ReadInt16());
  }
  if (!filer.IsEndOfStream()) {
    ReleaseNumber = filer.ReadInt32();
  }
  if (!filer.IsEndOfStream()) {
    filer.Read(&CRC32, sizeof CRC32);
    HasCrc32 = true;
  }
  if (IsEmptyStr(OpenMask)) {
    OpenMask = Code.DefaultOpenMask();
  }
  if (Year == 0) {
    Year = static_cast<int16_t>(Code.DefaultYearValue());
  }
  if (RootName.empty()) {
    RootName = Code.DefaultRootName();
  }
}

void TNB_InfoStruct::SaveToStream(TStream& stream) const {
  TKvFiler filer(&stream, false);
  filer.WriteInt08(kInfoSignature);
  filer.WriteInt08(SysVersion);
  filer.WriteInt08(static_cast<uint8_t>(Code.AreaCode()));
  filer.WriteInt32(Code.AddCode());
  filer.WriteInt08(static_cast<uint8_t>(Code.District()));
  filer.WriteStringA(RegionName);
  filer.WriteInt08(Code.Year);
  filer.WriteDbl64(CreationDate);
  filer.WriteStringA(Creator);
  filer.WriteStringA(FComment.empty() ? Code.DefaultComment() : FComment);
  filer.WriteStringA(DistrictName);
  filer.WriteStringA(DistrictSign);
  filer.WriteInt08(Publidher);
  filer.WriteStringA(OpenMask);
  filer.WriteStringA(RootName);
  filer.WriteInt16(static_cast<uint16_t>(Year));
  filer.WriteInt32(ReleaseNumber);
  filer.Write(&CRC32, sizeof CRC32);
}

std::unique_ptr<TStringList> TNB_InfoStruct::GetPropsStrings() const {
  auto list = std::make_unique<TStringList>();
  AddPair(*list, "Версия базы", Format("%d (%d)", ReleaseNumber, SysVersion));
  AddPair(*list, "Регион", RegionName);
  AddPair(*list, "Код базы", Code.DBCode("NB"));
  AddPair(*list, "Издатель", PublisherText(Publidher));
  AddPair(*list, "Дата создания", LocalDate(CreationDate));
  AddPair(*list, "Тип базы", PriceLevelTypeText(Code.Year));
  AddPair(*list, "Округ", DistrictName);
  return list;
}

bool TNB_InfoStruct::IsMatchForMainDbCode(const TNBRegionCode& mainDbCode,
                                          const std::string& openMask) const {
  return MatchesFileMask(Format("%.5d", mainDbCode.Code), openMask);
}

}  // namespace kv
