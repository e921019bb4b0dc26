#include "base/Rtti.h"

#include "base/Exceptions.h"

namespace kv {

KV_DEFINE_CLASS(TAttribute, "TAttribute", TObject)

// ---- TValue ----

TValue TValue::FromOrdinal(const TTypeInfo& type, int64_t ordinal) {
  TValue v;
  v.FTypeInfo = &type;
  v.FData = ordinal;
  return v;
}

TValue TValue::FromFloat(const TTypeInfo& type, double value) {
  TValue v;
  v.FTypeInfo = &type;
  v.FData = value;
  return v;
}

TValue TValue::FromString(const TTypeInfo& type, std::string value) {
  TValue v;
  v.FTypeInfo = &type;
  v.FData = std::move(value);
  return v;
}

TValue TValue::FromArray(const TTypeInfo& type, std::vector<TValue> items) {
  TValue v;
  v.FTypeInfo = &type;
  v.FItems = std::move(items);
  return v;
}

TValue TValue::FromAny(const TTypeInfo& type, std::any value) {
  TValue v;
  v.FTypeInfo = &type;
  v.FData = std::move(value);
  return v;
}

namespace {
template <class T>
const T& Held(const std::variant<std::monostate, int64_t, double, std::string, std::any>& data,
              const TTypeInfo* type, const char* wanted) {
  if (const T* value = std::get_if<T>(&data)) {
    return *value;
  }
  throw EInvalidOperation(Format("Invalid value access: %s wanted from %s", wanted,
                                 type ? type->Name : "an empty value"));
}
}  // namespace

int64_t TValue::AsOrdinal() const {
  return Held<int64_t>(FData, FTypeInfo, "an ordinal");
}
double TValue::AsFloat() const {
  return Held<double>(FData, FTypeInfo, "a float");
}
const std::string& TValue::AsString() const {
  return Held<std::string>(FData, FTypeInfo, "a string");
}
const std::any& TValue::AsAny() const {
  return Held<std::any>(FData, FTypeInfo, "a record");
}
std::any& TValue::AsAny() {
  return const_cast<std::any&>(Held<std::any>(FData, FTypeInfo, "a record"));
}

// ---- TClass ----

TClass::TClass(std::string name, const TClass* parent, TAttributeList attributes,
               std::vector<TPropInfo> properties)
    : FName(std::move(name)),
      FParent(parent),
      FAttributes(std::move(attributes)),
      FProperties(std::move(properties)) {}

bool TClass::InheritsFrom(const TClass& ancestor) const {
  for (const TClass* c = this; c; c = c->FParent) {
    if (c == &ancestor) {
      return true;
    }
  }
  return false;
}

std::vector<const TPropInfo*> TClass::GetProperties() const {
  std::vector<const TPropInfo*> result;
  for (const TClass* c = this; c; c = c->FParent) {
    for (const TPropInfo& prop : c->FProperties) {
      result.push_back(&prop);
    }
  }
  return result;
}

// ---- descriptions of the basic types ----

namespace {
TTypeInfo Simple(const char* name, TTypeKind kind) {
  TTypeInfo info;
  info.Name = name;
  info.Kind = kind;
  return info;
}
}  // namespace

const TTypeInfo& IntegerTypeInfo() {
  static const TTypeInfo info = Simple("Integer", TTypeKind::Integer);
  return info;
}
const TTypeInfo& FloatTypeInfo() {
  static const TTypeInfo info = Simple("Double", TTypeKind::Float);
  return info;
}
const TTypeInfo& StringTypeInfo() {
  static const TTypeInfo info = Simple("string", TTypeKind::String);
  return info;
}
const TTypeInfo& BooleanTypeInfo() {
  static const TTypeInfo info = MakeEnumTypeInfo("Boolean", {"False", "True"});
  return info;
}
const TTypeInfo& ClassRefTypeInfo() {
  static const TTypeInfo info = Simple("TClass", TTypeKind::Class);
  return info;
}

TTypeInfo MakeEnumTypeInfo(std::string name, std::vector<std::string> names) {
  TTypeInfo info;
  info.Name = std::move(name);
  info.Kind = TTypeKind::Enumeration;
  info.MinValue = 0;
  info.MaxValue = static_cast<int32_t>(names.size()) - 1;
  info.Names = std::move(names);
  return info;
}

TTypeInfo MakeSetTypeInfo(const TTypeInfo& elementType) {
  TTypeInfo info = Simple("", TTypeKind::Set);
  info.Name = "set of " + elementType.Name;
  info.ElementType = &elementType;
  return info;
}

TTypeInfo MakeDynArrayTypeInfo(const TTypeInfo& elementType) {
  TTypeInfo info = Simple("", TTypeKind::DynArray);
  info.Name = "TArray<" + elementType.Name + ">";
  info.ElementType = &elementType;
  return info;
}

TTypeInfo MakeStaticArrayTypeInfo(const TTypeInfo& elementType, size_t count) {
  TTypeInfo info = Simple("", TTypeKind::Array);
  info.Name = "array[0.." + std::to_string(count) + "-1] of " + elementType.Name;
  info.ElementType = &elementType;
  info.ElementCount = count;
  return info;
}

}  // namespace kv
