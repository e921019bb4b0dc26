#pragma once
// The catalogue of normative bases: the descriptor of a base file and its description in the
// product's support report.

#include <string>

#include "common/NBData.Region.Types.h"

namespace kv {

// The descriptor in the base file's item "Info"; EKVSimpleDBase64 when the file or the item
// cannot be read, the filer's or the code's error when the descriptor is damaged.
TNB_InfoStruct ReadDBaseInfo(const std::string& fileName);

// The base's lines for the support report: "      - Путь: ..." and, each after CR LF,
// "        - Наименование: ..." to "        - Округ: ...". Raises as ReadDBaseInfo.
std::string DescribeDBase(const std::string& fileName);

}  // namespace kv
