#include "storage/Kv.Doc.Properties.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Format.h"
#include "common/Common.Classes.h"
#include "common/Common.SysUtils.h"
#include "common/FileVersion.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";
// The day before 1 January of year 1 and 1 January of year 10000 (before 1900 the time of day
// counts away from the day).
constexpr TDateTime kDayBeforeFirst = -693594;
constexpr TDateTime kAfterLastDate = 2958466;

struct TSecurityWord {
  const char* Word;
  bool TSecurityOptions::*Flag;
};
constexpr TSecurityWord kSecurityWords[] = {{"Modify", &TSecurityOptions::ReadOnly},
                                            {"Copy", &TSecurityOptions::CopyDisabled},
                                            {"Export", &TSecurityOptions::ExportDisabled},
                                            {"Save", &TSecurityOptions::SaveDisabled}};

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y - 'A' + 'a');
    if (x != y) {
      return false;
    }
  }
  return true;
}

// Texts keep their line breaks as "#13" and "#10", so that each value stays on its own line and
// cannot add keys.
std::string EscapeLineBreaks(const std::string& text) {
  return StringReplace(StringReplace(text, "\r", "#13", rfReplaceAll), "\n", "#10", rfReplaceAll);
}

std::string UnescapeLineBreaks(const std::string& text) {
  return StringReplace(StringReplace(text, "#13", "\r", rfReplaceAll), "#10", "\n", rfReplaceAll);
}

template <class T>
std::optional<T> ParseInteger(std::string_view text) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// The currency's shortest text: "-12.5" for -125000 ten-thousandths.
std::string CurrencyToText(int64_t value) {
  uint64_t magnitude = value < 0 ? static_cast<uint64_t>(0) - static_cast<uint64_t>(value)
                                 : static_cast<uint64_t>(value);
  std::string text = (value < 0 ? "-" : "") + std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') {
    fraction.pop_back();
  }
  if (!fraction.empty()) {
    text += "." + fraction;
  }
  return text;
}

// A decimal with "." as separator in ten-thousandths; digits beyond the fourth round half away
// from zero. Nothing for another text or a value outside the currency's range.
std::optional<int64_t> TextToCurrency(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  constexpr uint64_t kMaxMagnitude = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1;
  uint64_t magnitude = 0;
  int fractionDigits = 0;
  bool seenDigit = false;
  bool seenPoint = false;
  bool roundUp = false;
  for (char c : text) {
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    seenDigit = true;
    if (seenPoint) {
      if (fractionDigits >= 4) {
        roundUp = roundUp || (fractionDigits == 4 && c >= '5');
        ++fractionDigits;
        continue;
      }
      ++fractionDigits;
    }
    if (magnitude > (kMaxMagnitude - static_cast<uint64_t>(c - '0')) / 10) {
      return std::nullopt;
    }
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
  }
  if (!seenDigit) {
    return std::nullopt;
  }
  for (; fractionDigits < 4; ++fractionDigits) {
    if (magnitude > kMaxMagnitude / 10) {
      return std::nullopt;
    }
    magnitude *= 10;
  }
  if (roundUp) {
    ++magnitude;
  }
  if (magnitude > kMaxMagnitude || (!negative && magnitude == kMaxMagnitude)) {
    return std::nullopt;
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

std::optional<bool> TextToBoolean(std::string_view text) {
  if (SameAscii(text, "True")) {
    return true;
  }
  if (SameAscii(text, "False")) {
    return false;
  }
  if (auto number = ParseInteger<int64_t>(text)) {
    return *number != 0;
  }
  return std::nullopt;
}

// Dates are written in one fixed form, the short date and long time of the users' Russian
// locale ("10.12.2026 7:05:09"), so that every build reads what any build wrote; the time is left
// out at midnight.
std::string DateTimeToText(TDateTime value) {
  // Outside years 1 to 9999 there is no such text: no line, read back as the current time.
  if (!std::isfinite(value) || value <= kDayBeforeFirst || value >= kAfterLastDate) {
    return {};
  }
  TDateTimeParts parts = DecodeDateTime(value);
  std::string text = Format("%.2u.%.2u.%.4d", parts.Day, parts.Month, parts.Year);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0) {
    text += Format(" %d:%.2d:%.2d", parts.Hour, parts.Minute, parts.Second);
  }
  return text;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(int year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads "d.M.yyyy" with an optional " H:mm" or " H:mm:ss".
std::optional<TDateTime> TextToDateTime(std::string_view text) {
  text = Trim(text);
  auto takeNumber = [&text](size_t maxDigits) -> std::optional<int> {
    size_t digits = 0;
    while (digits < text.size() && digits < maxDigits && text[digits] >= '0' &&
           text[digits] <= '9') {
      ++digits;
    }
    if (digits == 0) {
      return std::nullopt;
    }
    auto value = ParseInteger<int>(text.substr(0, digits));
    text.remove_prefix(digits);
    return value;
  };
  auto takeChar = [&text](char c) {
    if (text.empty() || text[0] != c) {
      return false;
    }
    text.remove_prefix(1);
    return true;
  };
  auto day = takeNumber(2);
  if (!day || !takeChar('.'))
    return std::nullopt;
  auto month = takeNumber(2);
  if (!month || !takeChar('.'))
    return std::nullopt;
  auto year = takeNumber(4);
  if (!year)
    return std::nullopt;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (takeChar(' ')) {
    auto h = takeNumber(2);
    if (!h || !takeChar(':'))
      return std::nullopt;
    auto m = takeNumber(2);
    if (!m)
      return std::nullopt;
    hour = *h;
    minute = *m;
    if (takeChar(':')) {
      auto s = takeNumber(2);
      if (!s)
        return std::nullopt;
      second = *s;
    }
  }
  if (!text.empty() || *year < 1 || *month < 1 || *month > 12 || *day < 1 ||
      static_cast<unsigned>(*day) > DaysInMonth(*year, static_cast<unsigned>(*month)) ||
      hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  return EncodeDateTime(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day), hour,
                        minute, second);
}

std::string ReadToEnd(TStream& stream) {
  std::string bytes;
  char buffer[16384];
  for (;;) {
    int64_t read = stream.Read(buffer, sizeof buffer);
    if (read <= 0) {
      break;
    }
    bytes.append(buffer, static_cast<size_t>(read));
  }
  return bytes;
}

// The name=value lines of a text, split at CR LF, CR or LF; lines without "=" name nothing.
class TValueLines {
 public:
  explicit TValueLines(std::string_view text) {
    if (text.starts_with(kUtf8Bom)) {
      text.remove_prefix(kUtf8Bom.size());
    }
    while (!text.empty()) {
      size_t end = text.find_first_of("\r\n");
      std::string_view line = text.substr(0, end);
      if (size_t equals = line.find('='); equals != std::string_view::npos) {
        FLines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
      }
      if (end == std::string_view::npos) {
        break;
      }
      text.remove_prefix(end + (text.compare(end, 2, kLineBreak) == 0 ? 2 : 1));
    }
  }

  // The value of the first line with the name (letter case ignored); nothing when there is none.
  std::optional<std::string_view> Find(std::string_view name) const {
    for (const auto& [lineName, value] : FLines) {
      if (SameAscii(lineName, name)) {
        return value;
      }
    }
    return std::nullopt;
  }

  std::string Text(std::string_view name) const {
    auto value = Find(name);
    return value ? std::string(*value) : std::string();
  }

 private:
  std::vector<std::pair<std::string_view, std::string_view>> FLines;
};

void AddValue(std::string& text, std::string_view name, const std::string& value) {
  if (value.empty()) {
    return;
  }
  text.append(name).append("=").append(value).append(kLineBreak);
}

}  // namespace

// ---- TSecurityOptions ----

std::string TSecurityOptions::ToString() const {
  std::string text;
  for (const auto& word : kSecurityWords) {
    if (this->*word.Flag) {
      text += (text.empty() ? "" : ",") + std::string(word.Word);
    }
  }
  return text;
}

TSecurityOptions TSecurityOptions::FromString(const std::string& value) {
  TSecurityOptions options;
  std::string_view rest = value;
  for (;;) {
    size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    for (const auto& word : kSecurityWords) {
      if (SameAscii(item, word.Word)) {
        options.*word.Flag = true;
      }
    }
    if (comma == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(comma + 1);
  }
  return options;
}

// ---- TKvDocCommonProperties ----

TKvDocCommonProperties TKvDocCommonProperties::Create(TSmetaDocumentType docType) {
  TKvDocCommonProperties properties;
  properties.DocType = docType;
  return properties;
}

void TKvDocCommonProperties::Clear() {
  *this = TKvDocCommonProperties();
}

void TKvDocCommonProperties::SaveToStream(TStream& stream) const {
  std::string text(kUtf8Bom);
  AddValue(text, "DocType", SmetaDocumentTypeName(DocType));
  AddValue(text, "Attribs.LocNum", EscapeLineBreaks(Attribs.LocNum));
  AddValue(text, "Attribs.RegNum", EscapeLineBreaks(Attribs.RegNum));
  AddValue(text, "Attribs.ObjName", EscapeLineBreaks(Attribs.ObjName));
  AddValue(text, "Attribs.ConName", EscapeLineBreaks(Attribs.ConName));
  AddValue(text, "Attribs.StgName", EscapeLineBreaks(Attribs.StgName));
  AddValue(text, "Attribs.Comment", EscapeLineBreaks(Attribs.Comment));
  AddValue(text, "Attribs.Description", EscapeLineBreaks(Attribs.Description));
  if (Total != 0) {
    AddValue(text, "Total", CurrencyToText(Total));
    AddValue(text, "TotalCalcMethod", SmetaCalcMethodName(TotalCalcMethod));
  }
  AddValue(text, "RegionInfo.RegionName", EscapeLineBreaks(RegionInfo.RegionName));
  AddValue(text, "RegionInfo.ZoneName", EscapeLineBreaks(RegionInfo.ZoneName));
  AddValue(text, "Revision", std::to_string(KVFXData.Revision));
  AddValue(text, "Crypted", KVFXData.Crypted ? "True" : "False");
  AddValue(text, "DisabledOptions", KVFXData.SecurityOptions.ToString());
  AddValue(text, "SignType", std::to_string(KVFXData.SignType));
  AddValue(text, "KvsmetaVersion",
           TDigitalFileVersionInfo::CreateFromFile(platform::ProgramFileName()).AsString());
  AddValue(text, "ModifyDate", DateTimeToText(KVFXData.ModifyDate));
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TKvDocCommonProperties::LoadFromStream(TStream& stream) {
  Clear();
  const std::string bytes = ReadToEnd(stream);
  const TValueLines lines(bytes);

  if (auto name = lines.Find("DocType")) {
    DocType = SmetaDocumentTypeFromName(*name).value_or(sdtSmeta);
  }
  Attribs.LocNum = UnescapeLineBreaks(lines.Text("Attribs.LocNum"));
  Attribs.RegNum = UnescapeLineBreaks(lines.Text("Attribs.RegNum"));
  Attribs.ObjName = UnescapeLineBreaks(lines.Text("Attribs.ObjName"));
  Attribs.ConName = UnescapeLineBreaks(lines.Text("Attribs.ConName"));
  Attribs.StgName = UnescapeLineBreaks(lines.Text("Attribs.StgName"));
  Attribs.Comment = UnescapeLineBreaks(lines.Text("Attribs.Comment"));
  Attribs.Description = UnescapeLineBreaks(lines.Text("Attribs.Description"));
  if (auto total = lines.Find("Total")) {
    Total = TextToCurrency(*total).value_or(0);
  }
  if (auto method = lines.Find("TotalCalcMethod"); method && Total != 0) {
    TotalCalcMethod = SmetaCalcMethodFromName(*method).value_or(scmBase);
  }
  RegionInfo.RegionName = UnescapeLineBreaks(lines.Text("RegionInfo.RegionName"));
  RegionInfo.ZoneName = UnescapeLineBreaks(lines.Text("RegionInfo.ZoneName"));
  auto revision = lines.Find("Revision");
  KVFXData.Revision = (revision ? ParseInteger<int32_t>(*revision) : std::nullopt).value_or(1);
  if (auto crypted = lines.Find("Crypted")) {
    KVFXData.Crypted = TextToBoolean(*crypted).value_or(false);
  }
  if (auto options = lines.Find("DisabledOptions")) {
    KVFXData.SecurityOptions = TSecurityOptions::FromString(std::string(*options));
  }
  if (auto signType = lines.Find("SignType")) {
    KVFXData.SignType = ParseInteger<uint8_t>(*signType).value_or(0);
  }
  auto modifyDate = lines.Find("ModifyDate");
  auto date = modifyDate ? TextToDateTime(*modifyDate) : std::nullopt;
  KVFXData.ModifyDate = date ? *date : platform::Now();
}

}  // namespace kv
