#pragma once
// Normative base files for the catalogue's tests: a container whose item "Info" holds the
// descriptor, beside other items as real bases have them.

#include <string>

#include "base/DateTime.h"
#include "common/Common.Classes.h"
#include "common/NBData.Region.Types.h"
#include "support/SimpleDBaseWriter.h"
#include "support/TempFolder.h"

namespace kv::test {

// A descriptor of a territorial base of area 8 at the prices of 2001.
inline TNB_InfoStruct SampleNormBaseInfo(const std::string& regionName, int32_t releaseNumber) {
  TNB_InfoStruct info;
  info.SysVersion = 3;
  info.Code = TNBRegionCode{8123, 2};
  info.RegionName = regionName;
  info.CreationDate = EncodeDateTime(2024, 3, 15, 10, 30, 0);
  info.Creator = "Калвор";
  info.Publidher = 2;
  info.DistrictName = "Северный";
  info.ReleaseNumber = releaseNumber;
  return info;
}

inline std::string DescriptorBytes(const TNB_InfoStruct& info) {
  TMemoryStream stream;
  info.SaveToStream(stream);
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), std::ssize(bytes));
  return bytes;
}

// A base file whose "Info" item holds descriptorBytes.
inline void WriteNormBase(const std::string& path, const std::string& descriptorBytes) {
  WriteFileBytes(
      path, WriteSimpleDBase(
                {{"Content", "", "content"}, {"Info", "", descriptorBytes}, {"Docs", "", "docs"}})
                .Bytes);
}

}  // namespace kv::test
