#include "common/FileVersion.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "base/Rtti.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace kv {

KV_DEFINE_CLASS(TFileVersionInfo::Exception, "TFileVersionInfo.Exception", ::kv::Exception)

namespace {

// A decimal 32-bit integer with an optional sign and nothing around it; anything else is a
// conversion error.
int32_t StrToInt(const std::string& s) {
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (first != last && *first == '+') {
    ++first;
  }
  int32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (first == last || error != std::errc() || end != last) {
    throw EConvertError(Format("'%s' is not a valid integer value", s));
  }
  return value;
}

std::vector<std::string> SplitAtDots(const std::string& s) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t dot; (dot = s.find('.', start)) != std::string::npos; start = dot + 1) {
    pieces.push_back(s.substr(start, dot - start));
  }
  pieces.push_back(s.substr(start));
  return pieces;
}

constexpr const char* kDefaultLanguage = "040904E4";

}  // namespace

// ---- TDigitalFileVersionInfo ----

TDigitalFileVersionInfo TDigitalFileVersionInfo::Create(int32_t major, int32_t minor,
                                                        int32_t release, int32_t build) {
  return {major, minor, release, build};
}

TDigitalFileVersionInfo TDigitalFileVersionInfo::CreateFromFile(const std::string& fileName) {
  TFileVersionInfo info;
  info.ReadFromFile(fileName);
  return info.DigitalFileVersion;
}

TDigitalFileVersionInfo TDigitalFileVersionInfo::Parse(const std::string& text) {
  try {
    std::vector<std::string> pieces = SplitAtDots(text);
    // Major and Minor are required: a missing Minor reads as an empty, invalid number.
    pieces.resize(std::max<size_t>(pieces.size(), 2));
    const auto optional = [&](size_t i) { return i < pieces.size() ? StrToInt(pieces[i]) : 0; };
    return {StrToInt(pieces[0]), StrToInt(pieces[1]), optional(2), optional(3)};
  } catch (const EConvertError& e) {
    throw ::kv::Exception::CreateFmt("Ошибка при парсинге строки версии \"%s\". Исключение: %s",
                                     text, e.Message());
  }
}

std::string TDigitalFileVersionInfo::ShortVerAsString() const {
  return Format("%d.%d.%d", Major, Minor, Release);
}

std::string TDigitalFileVersionInfo::AsString() const {
  return Format("%d.%d.%d.%d", Major, Minor, Release, Build);
}

uint32_t TDigitalFileVersionInfo::AsCardinal() const {
  return static_cast<uint32_t>(Major) << 24 | (static_cast<uint32_t>(Minor) & 0xFF) << 16 |
         (static_cast<uint32_t>(Release) & 0xFFFF);
}

int64_t TDigitalFileVersionInfo::Compare(const TDigitalFileVersionInfo& a,
                                         const TDigitalFileVersionInfo& b) {
  for (const auto field : {&TDigitalFileVersionInfo::Major, &TDigitalFileVersionInfo::Minor,
                           &TDigitalFileVersionInfo::Release, &TDigitalFileVersionInfo::Build}) {
    if (a.*field != b.*field) {
      return int64_t{a.*field} - b.*field;
    }
  }
  return 0;
}

// ---- TFileVersionInfo ----

bool TFileVersionInfo::ReadFromFile(const std::string& fileName) {
  *this = {};
  if (!platform::FileExists(fileName)) {
    return false;
  }
  const std::unique_ptr<platform::IVersionResource> resource =
      platform::CurrentFileVersionResources::Get().Load(fileName);
  if (!resource) {
    return false;
  }

  const std::vector<uint8_t> translation = resource->Translation();
  if (translation.size() < 4) {
    LanguageInfo = kDefaultLanguage;
  } else {
    LanguageInfo = Format("%04X%04X", static_cast<unsigned>(translation[0] | translation[1] << 8),
                          static_cast<unsigned>(translation[2] | translation[3] << 8));
  }

  if (const auto fixed = resource->Fixed()) {
    DigitalFileVersion =
        TDigitalFileVersionInfo::Create(static_cast<int32_t>(fixed->FileVersionMS >> 16),
                                        static_cast<int32_t>(fixed->FileVersionMS & 0xFFFF),
                                        static_cast<int32_t>(fixed->FileVersionLS >> 16),
                                        static_cast<int32_t>(fixed->FileVersionLS & 0xFFFF));
  }

  const auto value = [&](const char* key) -> std::string {
    if (auto text = resource->String("\\StringFileInfo\\" + LanguageInfo + "\\" + key)) {
      return *text;
    }
    if (LanguageInfo != kDefaultLanguage) {
      if (auto text =
              resource->String(std::string("\\StringFileInfo\\") + kDefaultLanguage + "\\" + key)) {
        return *text;
      }
    }
    return "n/a";
  };
  CompanyName = value("CompanyName");
  FileDescription = value("FileDescription");
  InternalName = value("InternalName");
  LegalCopyRight = value("LegalCopyright");
  LegalTradeMark = value("LegalTrademark");
  OriginalFileName = value("OriginalFilename");
  ProductName = value("ProductName");
  ProductVersion = value("ProductVersion");
  Comments = value("Comments");
  FileVersion = DigitalFileVersion.AsString();

  if (const auto found = platform::FindFile(fileName)) {
    ModifiedDate = found->LastWriteTime;
    FileSize = static_cast<uint32_t>(found->Size);
  }
  return true;
}

}  // namespace kv
