#include "options/Common.Attributes.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class TNamed : public TObject {
  KV_CLASS_INFO()
 public:
  std::string Caption;
  std::string Secret;
};

class TNamedChild : public TNamed {
  KV_CLASS_INFO()
};

class TLoginNamed : public TNamed {
  KV_CLASS_INFO()
};

const TClass& TNamed::ClassInfo() {
  static const auto info =
      TClassBuilder<TNamed>("TNamed", &TObject::ClassInfo())
          .Attribute(std::make_shared<TDisplayName>("Именованный"))
          .Property("Caption", TMemberVisibility::Published, &TNamed::Caption, &TNamed::Caption,
                    {std::make_shared<TDisplayName>("Название")})
          .Property("Secret", TMemberVisibility::Public, &TNamed::Secret, &TNamed::Secret,
                    {std::make_shared<TNotSerializeAttribute>()})
          .Build();
  return *info;
}
KV_DEFINE_CLASS(TNamedChild, "TNamedChild", TNamed)

// A kind derived from TDisplayName qualifies where TDisplayName is asked for.
class TShortDisplayName : public TDisplayName {
  KV_CLASS_INFO()
 public:
  using TDisplayName::TDisplayName;
};
KV_DEFINE_CLASS(TShortDisplayName, "TShortDisplayName", TDisplayName)

const TClass& TLoginNamed::ClassInfo() {
  static const auto info = TClassBuilder<TLoginNamed>("TLoginNamed", &TNamed::ClassInfo())
                               .Attribute(std::make_shared<TLoginDlgRequiredAttribute>(true))
                               .Attribute(std::make_shared<TShortDisplayName>("Вход"))
                               .Attribute(std::make_shared<TDisplayName>("Второе имя"))
                               .Build();
  return *info;
}

TEST(AttributesTest, ClassMetadataIsFoundOnTheClassItselfOnly) {
  EXPECT_EQ(TDisplayName::GetValue(TNamed::ClassInfo()), "Именованный");
  // The subclass declares none of its own.
  EXPECT_EQ(TDisplayName::GetValue(TNamedChild::ClassInfo(), "нет"), "нет");
  EXPECT_FALSE(TLoginDlgRequiredAttribute::GetValue(TNamed::ClassInfo(), false));
  EXPECT_TRUE(TLoginDlgRequiredAttribute::GetValue(TLoginNamed::ClassInfo(), false));
  // The first instance of the kind or a derived kind, in declaration order, wins.
  EXPECT_EQ(TDisplayName::GetValue(TLoginNamed::ClassInfo()), "Вход");
}

TEST(AttributesTest, RaisingLookupNamesTheAttributeKind) {
  try {
    TDisplayName::GetValue(TNamedChild::ClassInfo());
    FAIL() << "no error";
  } catch (const EAttributeError& e) {
    EXPECT_EQ(e.Message(), "Чтение аттрибутов: Аттрибут класса \"TDisplayName\" не найден");
  }
}

TEST(AttributesTest, PropertyMetadataByNameWithoutRegardToCase) {
  TPropInfo asked;
  asked.Name = "CAPTION";
  EXPECT_EQ(TDisplayName::GetValue(TNamedChild::ClassInfo(), asked, ""), "Название");
  asked.Name = "Secret";
  EXPECT_EQ(TDisplayName::GetValue(TNamed::ClassInfo(), asked, "-"), "-");
  asked.Name = "Missing";
  EXPECT_EQ(TDisplayName::GetValue(TNamed::ClassInfo(), asked, "-"), "-");
  EXPECT_NE(FindAttribute<TNotSerializeAttribute>(
                FindProperty(TNamed::ClassInfo(), "secret")->Attributes),
            nullptr);
}

TEST(AttributesTest, ErrorMessagesArePrefixedOnce) {
  struct Case {
    EAttributeError error;
    std::string message;
  };
  const Case cases[] = {
      {EAttributeError::RttiNotPresented(), "Чтение аттрибутов: Отсутствует RTTI"},
      {EAttributeError::PropWithAttrNotFound(TNamed::ClassInfo(), TDisplayName::ClassInfo()),
       "Чтение аттрибутов: Не удалось найти свойство экземпляра класса TNamed, помеченное "
       "аттрибутом TDisplayName"},
      {EAttributeError("Чтение аттрибутов: уже"), "Чтение аттрибутов: уже"},
      {EAttributeError("Чтение аттрибутов:без пробела"),
       "Чтение аттрибутов: Чтение аттрибутов:без пробела"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.error.Message(), c.message);
    EXPECT_EQ(c.error.ClassName(), "EAttributeError");
  }
}

}  // namespace
}  // namespace kv
