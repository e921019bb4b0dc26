#include "options/Common.RTTIPropList.h"

#include <gtest/gtest.h>

#include <any>
#include <string>

#include "base/Exceptions.h"

namespace kv {
namespace {

enum class TStorageKindLike { Smeta, NormBase, FormTemplate, DocTemplate };
const TTypeInfo& EnumTypeInfo(TStorageKindLike) {
  static const TTypeInfo info =
      MakeEnumTypeInfo("TStorageKind", {"Smeta", "NormBase", "FormTemplate", "DocTemplate"});
  return info;
}

TEST(EnumNamesTest, ListsNamesWithOrdinalsForEnumerationsAndSets) {
  for (const TTypeInfo* type :
       {&TypeInfoOf<TStorageKindLike>(), &TypeInfoOf<TSet<TStorageKindLike>>()}) {
    TStringList names;
    names.Add("before");
    GetEnumNames(*type, names);
    ASSERT_EQ(names.Count(), 5);
    const char* expected[] = {"Smeta", "NormBase", "FormTemplate", "DocTemplate"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(names[i + 1], expected[i]);
      EXPECT_EQ(std::any_cast<int32_t>(names.Objects(i + 1)), i);
    }
  }
}

TEST(EnumNamesTest, OtherTypesAreAProgrammingError) {
  TStringList names;
  try {
    GetEnumNames(TypeInfoOf<std::string>(), names);
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("lib\\Common\\Common.RTTIPropList"), std::string::npos);
  }
  EXPECT_EQ(names.Count(), 0);
}

}  // namespace
}  // namespace kv
