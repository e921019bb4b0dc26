#include "storage/Kv.Types.h"

#include <array>

#include "platform/Text.h"

namespace kv {

namespace {

constexpr std::array<const char*, kSmetaDocumentTypeCount> kDocumentTypeNames{
    "sdtSmeta",        "sdtObjSmeta",   "sdtConsCalc",  "sdtCennik",       "sdtIndexes",
    "sdtNBDoc",        "sdtResSummary", "sdtUserNBDoc", "sdtNBDocArticle", "sdtProjectSmeta",
    "sdtWorksVolumes", "sdtDocSummary", "sdtTranspCalc"};

constexpr std::array<const char*, 3> kCalcMethodNames{"Base", "BaseIndex", "Res"};

}  // namespace

std::string SmetaDocumentTypeName(TSmetaDocumentType value) {
  return value < kDocumentTypeNames.size() ? kDocumentTypeNames[value] : std::string();
}

std::optional<TSmetaDocumentType> SmetaDocumentTypeFromName(std::string_view name) {
  for (size_t i = 0; i < kDocumentTypeNames.size(); ++i) {
    if (platform::SameTextLocale(name, kDocumentTypeNames[i])) {
      return static_cast<TSmetaDocumentType>(i);
    }
  }
  return std::nullopt;
}

std::optional<TSmetaDocumentType> SmetaDocumentTypeFromInt(int64_t value) {
  if (value < 0 || value >= kSmetaDocumentTypeCount) {
    return std::nullopt;
  }
  return static_cast<TSmetaDocumentType>(value);
}

std::string SmetaCalcMethodName(TSmetaCalcMethod value) {
  return value < kCalcMethodNames.size() ? kCalcMethodNames[value] : std::string();
}

std::optional<TSmetaCalcMethod> SmetaCalcMethodFromName(std::string_view name) {
  for (size_t i = 0; i < kCalcMethodNames.size(); ++i) {
    if (name == kCalcMethodNames[i]) {
      return static_cast<TSmetaCalcMethod>(i);
    }
  }
  return std::nullopt;
}

}  // namespace kv
