#pragma once
// What the document storage tells about a document without opening it, and the name=value text
// in which it keeps that.

#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "storage/Kv.Types.h"

namespace kv {

class TStream;

struct TKvDocCommonPropertiesAttribs {
  std::string LocNum;
  std::string RegNum;
  std::string ObjName;
  std::string ConName;
  std::string StgName;
  std::string Description;
  std::string Comment;

  friend bool operator==(const TKvDocCommonPropertiesAttribs&,
                         const TKvDocCommonPropertiesAttribs&) = default;
};

struct TKvDocCommonPropertiesRegionInfo {
  std::string RegionName;
  std::string ZoneName;

  friend bool operator==(const TKvDocCommonPropertiesRegionInfo&,
                         const TKvDocCommonPropertiesRegionInfo&) = default;
};

// The actions a document forbids.
struct TSecurityOptions {
  bool ReadOnly = false;
  bool CopyDisabled = false;
  bool ExportDisabled = false;
  bool SaveDisabled = false;

  // The words "Modify", "Copy", "Export", "Save" of the set flags, in this order, joined by ",".
  std::string ToString() const;
  // Each flag is set when its word is one of the comma-separated items, letter case ignored.
  static TSecurityOptions FromString(const std::string& value);

  friend bool operator==(const TSecurityOptions&, const TSecurityOptions&) = default;
};

struct TKVFXData {
  int32_t Revision = 0;
  bool Crypted = false;
  uint8_t SignType = 0;
  TDateTime ModifyDate = 0;
  TSecurityOptions SecurityOptions;

  friend bool operator==(const TKVFXData&, const TKVFXData&) = default;
};

struct TKvDocCommonProperties {
  TSmetaDocumentType DocType = sdtSmeta;
  TKvDocCommonPropertiesAttribs Attribs;
  // Fixed-point currency: a count of ten-thousandths.
  int64_t Total = 0;
  TSmetaCalcMethod TotalCalcMethod = scmBase;
  TKvDocCommonPropertiesRegionInfo RegionInfo;
  TKVFXData KVFXData;

  // Every field zero or empty, then DocType.
  static TKvDocCommonProperties Create(TSmetaDocumentType docType);
  void Clear();
  // Writes the name=value lines (CR LF, UTF-8) from the stream's position.
  void SaveToStream(TStream& stream) const;
  // Reads the lines from the stream's position to its end. Every field without a line, or with
  // a value that cannot be read, takes its default; nothing in the text makes it fail.
  void LoadFromStream(TStream& stream);

  friend bool operator==(const TKvDocCommonProperties&, const TKvDocCommonProperties&) = default;
};

}  // namespace kv
