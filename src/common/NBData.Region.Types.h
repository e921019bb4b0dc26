#pragma once
// The code of a normative base (region, additional code, district and price level) and the
// descriptor that a base keeps in its item "Info".
//
// Descriptors come from files: codes, price levels, publishers, dates and masks read from them
// are checked or given their unknown texts, never used as table indexes or trusted as sizes.

#include <cstdint>
#include <memory>
#include <string>

#include "base/DateTime.h"
#include "base/Exceptions.h"
#include "common/Common.Classes.h"
#include "common/StringList.h"

namespace kv {

KV_DECLARE_EXCEPTION(ERegionCodeError, Exception)

struct TNBRegionCode {
  int32_t Code = 0;
  // The price level: 1 prices of 1984, 2 prices of 2001, 0 no code.
  uint8_t Year = 0;

  int GetKVDCodeKind() const;
  // Raises ERegionCodeError for a code of more than five decimal digits.
  void SetCode(int64_t aCode);
  // The same check applies, and the result may not be negative: parts read from a file may not
  // make a valid code.
  void SetCodeFromParts(int64_t areaCode, int64_t regionAddCode, int64_t dBCode);
  // "NB100101.ext"; empty for a negative code or an unknown price level.
  std::string DBCode(const std::string& prefix = {}, const std::string& extention = {}) const;
  void SetDBCode(const std::string& dBCode);
  // The six-digit number (4xxxxx or 1xxxxx); -1 without a price level or with a negative code.
  int32_t IntDBCode() const;
  int32_t AreaCode() const { return Code / 1000; }
  int32_t AddCode() const { return (Code % 1000) / 10; }
  int32_t District() const { return Code % 10; }
  std::string DefaultTitle() const;
  std::string DefaultComment() const;
  std::string DefaultRootName() const;
  static std::string PriceLeveledBaseCaption(uint8_t priceLevel);
  bool IsMTSNCode() const;
  // 0 for an unknown price level.
  int DefaultYearValue() const;
  bool IsSame(const TNBRegionCode& other) const { return IntDBCode() == other.IntDBCode(); }
  static int32_t MakeIntCode(int32_t areaCode, int32_t addCode, int32_t district);
  static TNBRegionCode FromString(const std::string& dBCode);
  static TNBRegionCode FromInt(int32_t aCode);
  int32_t ToInt() const;
  std::string DefaultOpenMask() const;

  friend bool operator==(const TNBRegionCode&, const TNBRegionCode&) = default;
};

// The year text of a price level: "1984", "2001", otherwise "unknown".
std::string PriceLevelYearText(uint8_t priceLevel);
// "1984 года", "2001 года", otherwise "Неизвестный тип".
std::string PriceLevelTypeText(uint8_t priceLevel);
// The publisher's name; "Неизвестен" for 0 and for any value out of range.
std::string PublisherText(uint8_t publisher);

// Whether text matches a file mask ('?' one character, '*' any run, letter case ignored), in
// time proportional to the mask's length times the text's.
bool MatchesFileMask(const std::string& text, const std::string& mask);

struct TNB_InfoStruct {
  std::string FComment;
  uint8_t SysVersion = 0;
  TNBRegionCode Code;
  std::string RegionName;
  TDateTime CreationDate = 0;
  std::string Creator;
  uint8_t Publidher = 0;
  std::string DistrictName;
  std::string DistrictSign;
  std::string OpenMask;
  std::string RootName;
  int16_t Year = 0;
  int32_t ReleaseNumber = 0;
  uint32_t CRC32 = 0;
  bool HasCrc32 = false;

  // Raises the filer's errors for a damaged descriptor, and for a code or date that cannot be.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  std::unique_ptr<TStringList> GetPropsStrings() const;
  bool IsMatchForMainDbCode(const TNBRegionCode& mainDbCode, const std::string& openMask) const;
};

}  // namespace kv
