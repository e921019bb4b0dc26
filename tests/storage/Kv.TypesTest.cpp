#include "storage/Kv.Types.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(SmetaDocumentTypeTest, StoredNamesAreTheIdentifiers) {
  EXPECT_EQ(SmetaDocumentTypeName(sdtSmeta), "sdtSmeta");
  EXPECT_EQ(SmetaDocumentTypeName(sdtCennik), "sdtCennik");
  EXPECT_EQ(SmetaDocumentTypeName(sdtTranspCalc), "sdtTranspCalc");
  for (int i = 0; i < kSmetaDocumentTypeCount; ++i) {
    const auto type = static_cast<TSmetaDocumentType>(i);
    EXPECT_EQ(SmetaDocumentTypeFromName(SmetaDocumentTypeName(type)), type);
    EXPECT_EQ(SmetaDocumentTypeFromInt(i), type);
  }
  EXPECT_EQ(SmetaDocumentTypeFromName("SDTCENNIK"), sdtCennik);
  EXPECT_EQ(SmetaDocumentTypeFromName("sdtCennikX"), std::nullopt);
  EXPECT_EQ(SmetaDocumentTypeFromInt(-1), std::nullopt);
  EXPECT_EQ(SmetaDocumentTypeFromInt(13), std::nullopt);
}

TEST(SmetaCalcMethodTest, NamesMatchExactly) {
  EXPECT_EQ(SmetaCalcMethodName(scmBase), "Base");
  EXPECT_EQ(SmetaCalcMethodName(scmBInd), "BaseIndex");
  EXPECT_EQ(SmetaCalcMethodName(scmRes), "Res");
  EXPECT_EQ(SmetaCalcMethodFromName("BaseIndex"), scmBInd);
  EXPECT_EQ(SmetaCalcMethodFromName("res"), std::nullopt);
}

}  // namespace
}  // namespace kv
