#pragma once
// The document vocabulary of the client: document types, total calculation methods and price
// levels, each with the name under which it is stored.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

enum TSmetaDocumentType : uint8_t {
  sdtSmeta = 0,
  sdtObjSmeta = 1,
  sdtConsCalc = 2,
  sdtCennik = 3,
  sdtIndexes = 4,
  sdtNBDoc = 5,
  sdtResSummary = 6,
  sdtUserNBDoc = 7,
  sdtNBDocArticle = 8,
  sdtProjectSmeta = 9,
  sdtWorksVolumes = 10,
  sdtDocSummary = 11,
  sdtTranspCalc = 12,
};
constexpr int kSmetaDocumentTypeCount = 13;

enum TSmetaCalcMethod : uint8_t { scmBase = 0, scmBInd = 1, scmRes = 2 };

enum TSmetaPriceLevel : uint8_t { splNone, spl1984, spl2001, spl1991 };

// The stored name: the identifier ("sdtCennik").
std::string SmetaDocumentTypeName(TSmetaDocumentType value);
// The type whose stored name matches, letter case ignored; nothing for an unknown name.
std::optional<TSmetaDocumentType> SmetaDocumentTypeFromName(std::string_view name);
// The type with that number; nothing outside 0..12.
std::optional<TSmetaDocumentType> SmetaDocumentTypeFromInt(int64_t value);

// "Base", "BaseIndex", "Res".
std::string SmetaCalcMethodName(TSmetaCalcMethod value);
// Exact match of the stored name; nothing otherwise.
std::optional<TSmetaCalcMethod> SmetaCalcMethodFromName(std::string_view name);

}  // namespace kv
