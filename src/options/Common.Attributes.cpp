#include "options/Common.Attributes.h"

#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EAttributeError, "EAttributeError", Exception)
KV_DEFINE_CLASS(TDisplayName, "TDisplayName", TAttribute)
KV_DEFINE_CLASS(TNotSerializeAttribute, "TNotSerializeAttribute", TAttribute)
KV_DEFINE_CLASS(TLoginDlgRequiredAttribute, "TLoginDlgRequiredAttribute", TAttribute)

namespace {
const std::string kPrefix = "Чтение аттрибутов: ";
}

EAttributeError::EAttributeError(const std::string& message)
    : Exception(message.rfind(kPrefix, 0) == 0 ? message : kPrefix + message) {}

EAttributeError EAttributeError::AttributeByClassNotFound(const TClass& attributeClass) {
  return EAttributeError(Format("Аттрибут класса \"%s\" не найден", attributeClass.ClassName()));
}

EAttributeError EAttributeError::PropWithAttrNotFound(const TClass& objClass,
                                                      const TClass& attrClass) {
  return EAttributeError(
      Format("Не удалось найти свойство экземпляра класса %s, помеченное аттрибутом %s",
             objClass.ClassName(), attrClass.ClassName()));
}

EAttributeError EAttributeError::RttiNotPresented() {
  return EAttributeError("Отсутствует RTTI");
}

const TPropInfo* FindProperty(const TClass& cls, const std::string& name) {
  for (const TPropInfo* prop : cls.GetProperties()) {
    if (platform::SameTextLocale(prop->Name, name)) {
      return prop;
    }
  }
  return nullptr;
}

}  // namespace kv
