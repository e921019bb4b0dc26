#include "base/Exceptions.h"

#include <gtest/gtest.h>

#include "base/Rtti.h"

namespace kv {
namespace {

TEST(ExceptionsTest, RunTimeErrorsCarryTheirClassNamesAndAncestry) {
  EXPECT_EQ(EConvertError("x").ClassNameAndMessage(), "[EConvertError]x");
  EXPECT_EQ(EAbort("x").ClassNameAndMessage(), "[EAbort]x");
  EXPECT_EQ(EOSError("x", 5).ClassNameAndMessage(), "[EOSError]x");
  EXPECT_EQ(EOSError("x", 5).ErrorCode(), 5u);

  const EReadError read("x");
  EXPECT_EQ(read.ClassNameAndMessage(), "[EReadError]x");
  EXPECT_TRUE(read.InheritsFrom(EStreamError::ClassInfo()));
  EXPECT_TRUE(read.InheritsFrom(Exception::ClassInfo()));
  EXPECT_FALSE(read.InheritsFrom(EWriteError::ClassInfo()));
}

TEST(ExceptionsTest, FormattedMessageAndOperationName) {
  Exception e = Exception::CreateFmt("Файл %s: %d", std::string("a.xml"), 3);
  e.IncludeOperationNameAsFirst("Загрузка");
  EXPECT_STREQ(e.what(), "Загрузка: Файл a.xml: 3");
}

TEST(ExceptionsTest, AssertNamesTheModuleAndLineOnlyWhenItFails) {
  EXPECT_NO_THROW(Assert(true, "lib\\Common\\Common.Classes", 10));
  try {
    Assert(false, "lib\\Common\\Common.Classes", 42);
    FAIL() << "no assertion failure";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Assertion failure (lib\\Common\\Common.Classes, line 42)");
  }
  try {
    Assert(false, "Kv_Storage.Types", 7, "Нет класса");
    FAIL() << "no assertion failure";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Нет класса (Kv_Storage.Types, line 7)");
  }
}

}  // namespace
}  // namespace kv
