#include "options/Common.ExceptionEx.h"

#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>

#include "base/Rtti.h"

namespace kv {
namespace {

class ELibraryError : public ExceptionEx {
  KV_CLASS_INFO()
 public:
  using ExceptionEx::ExceptionEx;
};
KV_DEFINE_CLASS(ELibraryError, "ELibraryError", ExceptionEx)

// Raises `outer` while handling `inner`, and returns what was caught.
template <class Inner>
ELibraryError RaisedWhileHandling(const Inner& inner, const std::string& outer) {
  try {
    try {
      throw inner;
    } catch (...) {
      throw ELibraryError(outer);
    }
  } catch (const ELibraryError& e) {
    return e;
  }
}

TEST(ExceptionExTest, KeepsTheExceptionBeingHandled) {
  const ELibraryError e = RaisedWhileHandling(EConvertError("внутренняя"), "внешняя");
  ASSERT_NE(e.InnerException(), nullptr);
  EXPECT_STREQ(e.InnerException()->what(), "внутренняя");
  EXPECT_NE(dynamic_cast<const EConvertError*>(e.InnerException()), nullptr);
  EXPECT_EQ(&e.BaseException(), e.InnerException());
  EXPECT_EQ(e.GetMessageList(), "внешняя\r\nвнутренняя\r\n");
}

TEST(ExceptionExTest, OutsideAHandlerHasNoInnerException) {
  const ELibraryError e("одна");
  EXPECT_EQ(e.InnerException(), nullptr);
  EXPECT_EQ(&e.BaseException(), &e);
  EXPECT_EQ(e.GetMessageList(), "одна\r\n");
}

TEST(ExceptionExTest, ChainFollowsNestedExceptionExToTheInnermost) {
  ELibraryError chained("");
  try {
    try {
      try {
        throw std::runtime_error("base");
      } catch (...) {
        throw ELibraryError("middle");
      }
    } catch (...) {
      throw ELibraryError("top");
    }
  } catch (const ELibraryError& e) {
    chained = e;
  }
  TStringList chain;
  chained.GetExceptionsChain(chain);
  ASSERT_EQ(chain.Count(), 3);
  EXPECT_EQ(chain[0], "top");
  EXPECT_EQ(chain[1], "middle");
  EXPECT_EQ(chain[2], "base");
  EXPECT_EQ(std::any_cast<const std::exception*>(chain.Objects(0)), &chained);
  EXPECT_STREQ(chained.BaseException().what(), "base");
}

// The inner exception is kept as a standard nested exception, so std::rethrow_if_nested reaches
// it; the chain still follows only ExceptionEx, not another nested exception.
TEST(ExceptionExTest, TheInnerExceptionIsAStandardNestedException) {
  const ELibraryError e = RaisedWhileHandling(EConvertError("внутренняя"), "внешняя");
  EXPECT_THROW(std::rethrow_if_nested(e), EConvertError);

  try {
    try {
      try {
        throw std::runtime_error("основа");
      } catch (...) {
        std::throw_with_nested(std::runtime_error("вложенная"));
      }
    } catch (...) {
      throw ELibraryError("внешняя");
    }
  } catch (const ELibraryError& outer) {
    EXPECT_EQ(outer.GetMessageList(), "внешняя\r\nвложенная\r\n");
    EXPECT_STREQ(outer.BaseException().what(), "вложенная");
    const auto* inner = dynamic_cast<const std::nested_exception*>(outer.InnerException());
    ASSERT_NE(inner, nullptr);
    EXPECT_THROW(inner->rethrow_nested(), std::runtime_error);
  }
}

TEST(ExceptionExTest, MessageDecorations) {
  ELibraryError e("сбой");
  EXPECT_EQ(e.ClassNameAndMessage(), "[ELibraryError]сбой");
  e.IncludeOperationNameAsFirst("Загрузка");
  EXPECT_EQ(e.Message(), "Загрузка: сбой");
}

}  // namespace
}  // namespace kv
