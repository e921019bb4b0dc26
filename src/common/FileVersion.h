#pragma once
// File versions: the four-number version with its text and single-number forms, and the
// version resource of an executable.

#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "base/Exceptions.h"

namespace kv {

struct TDigitalFileVersionInfo {
  int32_t Major = 0;
  int32_t Minor = 0;
  int32_t Release = 0;
  int32_t Build = 0;

  static TDigitalFileVersionInfo Create(int32_t major, int32_t minor, int32_t release,
                                        int32_t build);
  // The file's version; all zero when it has no version resource.
  static TDigitalFileVersionInfo CreateFromFile(const std::string& fileName);
  // "Major.Minor[.Release[.Build]]"; raises Exception naming the text when a piece is not an
  // integer.
  static TDigitalFileVersionInfo Parse(const std::string& text);

  // "Major.Minor.Release"
  std::string ShortVerAsString() const;
  // "Major.Minor.Release.Build"
  std::string AsString() const;
  // Major in the top byte, Minor in the next, Release in the low 16 bits; Build left out.
  uint32_t AsCardinal() const;

  // a − b of the first differing number (Major, Minor, Release, Build); 0 when equal. Kept in 64
  // bits so that the sign is right for any two versions.
  static int64_t Compare(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b);
  friend bool operator==(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b) {
    return Compare(a, b) == 0;
  }
  friend bool operator<(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b) {
    return Compare(a, b) < 0;
  }
  friend bool operator<=(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b) {
    return Compare(a, b) <= 0;
  }
  friend bool operator>(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b) {
    return Compare(a, b) > 0;
  }
  friend bool operator>=(const TDigitalFileVersionInfo& a, const TDigitalFileVersionInfo& b) {
    return Compare(a, b) >= 0;
  }
};

struct TFileVersionInfo {
  class Exception : public ::kv::Exception {
    KV_CLASS_INFO()
   public:
    using ::kv::Exception::Exception;
  };

  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyRight;
  std::string LegalTradeMark;
  std::string OriginalFileName;
  std::string ProductName;
  std::string ProductVersion;
  TDigitalFileVersionInfo DigitalFileVersion;
  std::string Comments;
  TDateTime ModifiedDate = 0;
  uint32_t FileSize = 0;
  // Language and code page as eight hexadecimal digits, "041904E3".
  std::string LanguageInfo;

  // Fills the record from the file's version resource; false (the record cleared) when the file
  // or its resource is missing.
  bool ReadFromFile(const std::string& fileName);
};

}  // namespace kv
