#pragma once
// Metadata attached to classes and properties, and the lookups that read it.

#include <string>

#include "base/Exceptions.h"
#include "base/Rtti.h"

namespace kv {

class EAttributeError : public Exception {
  KV_CLASS_INFO()
 public:
  // Every message starts with "Чтение аттрибутов: ", added unless already there.
  explicit EAttributeError(const std::string& message);
  static EAttributeError AttributeByClassNotFound(const TClass& attributeClass);
  static EAttributeError PropWithAttrNotFound(const TClass& objClass, const TClass& attrClass);
  static EAttributeError RttiNotPresented();
};

// The first attached instance of the kind K, or of a kind derived from it; null when none.
template <class K>
const K* FindAttribute(const TAttributeList& attributes) {
  for (const auto& attribute : attributes) {
    if (const auto* found = dynamic_cast<const K*>(attribute.get())) {
      return found;
    }
  }
  return nullptr;
}

// The property of the class (own first, then ancestors) with the name, without regard to case.
const TPropInfo* FindProperty(const TClass& cls, const std::string& name);

// A valued metadata kind. TKind is the kind itself, so that the lookups, called on the wanted
// kind (TDisplayName::GetValue(...)), look for that kind.
template <class TKind, class T>
class TCustomAttribute : public TAttribute {
 public:
  explicit TCustomAttribute(T value) : FValue(std::move(value)) {}
  const T& Value() const { return FValue; }

  // Metadata attached to the class itself; a parent's does not count.
  static T GetValue(const TClass& cls, const T& defaultValue) {
    return ValueOrDefault(FindAttribute<TKind>(cls.Attributes()), defaultValue);
  }
  static T GetValue(const TClass& cls) {
    const TKind* attribute = FindAttribute<TKind>(cls.Attributes());
    if (!attribute) {
      throw EAttributeError::AttributeByClassNotFound(TKind::ClassInfo());
    }
    return attribute->Value();
  }
  // Metadata of the class's property named like prop.
  static T GetValue(const TClass& cls, const TPropInfo& prop, const T& defaultValue) {
    const TPropInfo* own = FindProperty(cls, prop.Name);
    return ValueOrDefault(own ? FindAttribute<TKind>(own->Attributes) : nullptr, defaultValue);
  }
  static T ValueOrDefault(const TKind* attribute, const T& defaultValue) {
    return attribute ? attribute->Value() : defaultValue;
  }

 private:
  T FValue;
};

// The user-visible name of a class or property.
class TDisplayName : public TCustomAttribute<TDisplayName, std::string> {
  KV_CLASS_INFO()
 public:
  using TCustomAttribute::TCustomAttribute;
};

// The serializer never saves or restores a property marked so.
class TNotSerializeAttribute : public TAttribute {
  KV_CLASS_INFO()
};

// Whether connecting to a data source of the class asks for login and password.
class TLoginDlgRequiredAttribute : public TCustomAttribute<TLoginDlgRequiredAttribute, bool> {
  KV_CLASS_INFO()
 public:
  using TCustomAttribute::TCustomAttribute;
};

}  // namespace kv
