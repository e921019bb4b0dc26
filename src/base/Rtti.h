#pragma once
// Run-time type descriptions: what the serializer and the metadata lookups need to know of a
// class — its name and parent, the metadata attached to it, and its properties in order with
// their types, visibility, metadata and a way to get and set them on an instance.
//
// A class describes itself in its ClassInfo() definition with TClassBuilder; enumerations,
// sets, arrays and records get their descriptions through TTypeTraits.

#include <any>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/Object.h"

namespace kv {

enum class TTypeKind {
  Integer,
  Enumeration,
  Float,
  String,
  Set,
  Array,
  DynArray,
  Record,
  Class,
  Other
};
enum class TMemberVisibility { Private, Protected, Public, Published };

struct TTypeInfo;
class TValue;

// The root of metadata kinds attached to classes and properties; instances are immutable.
class TAttribute : public TObject {
  KV_CLASS_INFO()
};
using TAttributeList = std::vector<std::shared_ptr<const TAttribute>>;

// A member of a record type: its properties first, then its fields.
struct TRecordMember {
  std::string Name;
  const TTypeInfo* Type = nullptr;
  std::function<TValue(const TValue& record)> Get;
  std::function<void(TValue& record, const TValue& value)> Set;
};

struct TTypeInfo {
  std::string Name;
  TTypeKind Kind = TTypeKind::Other;
  // Enumeration: ordinal range and value names in ordinal order.
  int32_t MinValue = 0;
  int32_t MaxValue = -1;
  std::vector<std::string> Names;
  // Set, Array and DynArray: the element type; Array: the element count.
  const TTypeInfo* ElementType = nullptr;
  size_t ElementCount = 0;
  // Record: members and the empty value.
  std::vector<TRecordMember> Members;
  std::function<TValue()> EmptyValue;
};

// A value of any described type, as properties are read and written through descriptions.
// Integers, enumerations and sets are kept as ordinals (a set as its bit mask).
class TValue {
 public:
  TValue() = default;
  static TValue FromOrdinal(const TTypeInfo& type, int64_t ordinal);
  static TValue FromFloat(const TTypeInfo& type, double value);
  static TValue FromString(const TTypeInfo& type, std::string value);
  static TValue FromArray(const TTypeInfo& type, std::vector<TValue> items);
  static TValue FromAny(const TTypeInfo& type, std::any value);

  template <class T>
  static TValue From(const T& value);
  template <class T>
  T AsType() const;

  const TTypeInfo* TypeInfo() const { return FTypeInfo; }
  bool IsEmpty() const { return FTypeInfo == nullptr; }
  int64_t AsOrdinal() const;
  double AsFloat() const;
  const std::string& AsString() const;
  const std::vector<TValue>& AsArray() const { return FItems; }
  const std::any& AsAny() const;
  std::any& AsAny();

 private:
  const TTypeInfo* FTypeInfo = nullptr;
  std::variant<std::monostate, int64_t, double, std::string, std::any> FData;
  std::vector<TValue> FItems;
};

struct TPropInfo {
  std::string Name;
  const TTypeInfo* PropType = nullptr;  // null: the property has no description
  TMemberVisibility Visibility = TMemberVisibility::Public;
  bool IsReadable = false;
  bool IsWritable = false;
  TAttributeList Attributes;
  std::function<TValue(const TObject&)> GetValue;
  std::function<void(TObject&, const TValue&)> SetValue;
};

// The metaclass: what a class is, apart from any instance. Classes whose class-level operations
// are called virtually derive their own metaclass from it.
class TClass {
 public:
  TClass(std::string name, const TClass* parent, TAttributeList attributes = {},
         std::vector<TPropInfo> properties = {});
  TClass(const TClass&) = delete;
  TClass& operator=(const TClass&) = delete;
  virtual ~TClass() = default;

  const std::string& ClassName() const { return FName; }
  const TClass* ClassParent() const { return FParent; }
  bool InheritsFrom(const TClass& ancestor) const;
  // Metadata attached to this class itself; a parent's metadata is not inherited.
  const TAttributeList& Attributes() const { return FAttributes; }
  const std::vector<TPropInfo>& DeclaredProperties() const { return FProperties; }
  // The properties of this class in declaration order, then those of its parent, up to the root.
  std::vector<const TPropInfo*> GetProperties() const;

 private:
  std::string FName;
  const TClass* FParent;
  TAttributeList FAttributes;
  std::vector<TPropInfo> FProperties;
};

// Defines the metaclass of a class that describes no properties or metadata of its own.
#define KV_DEFINE_CLASS(Class, Name, Parent)                    \
  const ::kv::TClass& Class::ClassInfo() {                      \
    static const ::kv::TClass info(Name, &Parent::ClassInfo()); \
    return info;                                                \
  }

// ---- type descriptions of C++ types ----

// TTypeTraits<T> describes T: Info() and the conversions to and from TValue. Types without a
// specialisation have no description (HasTypeInfo is false).
template <class T, class = void>
struct TTypeTraits {};

template <class T, class = void>
inline constexpr bool HasTypeInfo = false;
template <class T>
inline constexpr bool HasTypeInfo<T, std::void_t<decltype(TTypeTraits<T>::Info())>> = true;

template <class T>
const TTypeInfo& TypeInfoOf() {
  return TTypeTraits<T>::Info();
}

template <class T>
TValue TValue::From(const T& value) {
  return TTypeTraits<T>::ToValue(value);
}
template <class T>
T TValue::AsType() const {
  return TTypeTraits<T>::FromValue(*this);
}

const TTypeInfo& IntegerTypeInfo();
const TTypeInfo& FloatTypeInfo();
const TTypeInfo& StringTypeInfo();
const TTypeInfo& BooleanTypeInfo();
const TTypeInfo& ClassRefTypeInfo();
TTypeInfo MakeEnumTypeInfo(std::string name, std::vector<std::string> names);

template <>
struct TTypeTraits<int32_t> {
  static const TTypeInfo& Info() { return IntegerTypeInfo(); }
  static TValue ToValue(int32_t v) { return TValue::FromOrdinal(Info(), v); }
  static int32_t FromValue(const TValue& v) { return static_cast<int32_t>(v.AsOrdinal()); }
};
template <>
struct TTypeTraits<double> {
  static const TTypeInfo& Info() { return FloatTypeInfo(); }
  static TValue ToValue(double v) { return TValue::FromFloat(Info(), v); }
  static double FromValue(const TValue& v) { return v.AsFloat(); }
};
template <>
struct TTypeTraits<std::string> {
  static const TTypeInfo& Info() { return StringTypeInfo(); }
  static TValue ToValue(const std::string& v) { return TValue::FromString(Info(), v); }
  static std::string FromValue(const TValue& v) { return v.AsString(); }
};
// Boolean is the enumeration (False, True).
template <>
struct TTypeTraits<bool> {
  static const TTypeInfo& Info() { return BooleanTypeInfo(); }
  static TValue ToValue(bool v) { return TValue::FromOrdinal(Info(), v ? 1 : 0); }
  static bool FromValue(const TValue& v) { return v.AsOrdinal() != 0; }
};
// A class reference (the metaclass of some class, or none).
template <>
struct TTypeTraits<const TClass*> {
  static const TTypeInfo& Info() { return ClassRefTypeInfo(); }
  static TValue ToValue(const TClass* v) { return TValue::FromAny(Info(), v); }
  static const TClass* FromValue(const TValue& v) {
    return std::any_cast<const TClass*>(v.AsAny());
  }
};

// An enumeration is described by a function found next to it:
//   const TTypeInfo& EnumTypeInfo(TStorageKind);
template <class E>
struct TTypeTraits<E,
                   std::enable_if_t<std::is_enum_v<E>, std::void_t<decltype(EnumTypeInfo(E{}))>>> {
  static const TTypeInfo& Info() { return EnumTypeInfo(E{}); }
  static TValue ToValue(E v) { return TValue::FromOrdinal(Info(), static_cast<int64_t>(v)); }
  static E FromValue(const TValue& v) { return static_cast<E>(v.AsOrdinal()); }
};

// A set of an enumeration's values, as a bit mask by ordinal.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) {
      Include(v);
    }
  }
  static constexpr TSet FromMask(uint64_t mask) {
    TSet s;
    s.FMask = mask;
    return s;
  }
  constexpr uint64_t Mask() const { return FMask; }
  constexpr bool Contains(E v) const { return (FMask >> static_cast<unsigned>(v)) & 1u; }
  constexpr bool IsEmpty() const { return FMask == 0; }
  constexpr void Include(E v) { FMask |= uint64_t{1} << static_cast<unsigned>(v); }
  constexpr void Exclude(E v) { FMask &= ~(uint64_t{1} << static_cast<unsigned>(v)); }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromMask(a.FMask & b.FMask); }
  friend constexpr TSet operator+(TSet a, TSet b) { return FromMask(a.FMask | b.FMask); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromMask(a.FMask & ~b.FMask); }
  friend constexpr bool operator==(TSet a, TSet b) = default;

 private:
  uint64_t FMask = 0;
};

// Descriptions of composite types, made once per C++ type by the traits below.
TTypeInfo MakeSetTypeInfo(const TTypeInfo& elementType);
TTypeInfo MakeDynArrayTypeInfo(const TTypeInfo& elementType);
TTypeInfo MakeStaticArrayTypeInfo(const TTypeInfo& elementType, size_t count);

template <class E>
struct TTypeTraits<TSet<E>, std::void_t<decltype(TTypeTraits<E>::Info())>> {
  static const TTypeInfo& Info() {
    static const TTypeInfo info = MakeSetTypeInfo(TTypeTraits<E>::Info());
    return info;
  }
  static TValue ToValue(TSet<E> v) {
    return TValue::FromOrdinal(Info(), static_cast<int64_t>(v.Mask()));
  }
  static TSet<E> FromValue(const TValue& v) {
    return TSet<E>::FromMask(static_cast<uint64_t>(v.AsOrdinal()));
  }
};

template <class T>
struct TTypeTraits<std::vector<T>, std::void_t<decltype(TTypeTraits<T>::Info())>> {
  static const TTypeInfo& Info() {
    static const TTypeInfo info = MakeDynArrayTypeInfo(TTypeTraits<T>::Info());
    return info;
  }
  static TValue ToValue(const std::vector<T>& v) {
    std::vector<TValue> items;
    for (const T& item : v) {
      items.push_back(TValue::From(item));
    }
    return TValue::FromArray(Info(), std::move(items));
  }
  static std::vector<T> FromValue(const TValue& v) {
    std::vector<T> result;
    for (const TValue& item : v.AsArray()) {
      result.push_back(item.AsType<T>());
    }
    return result;
  }
};

template <class T, size_t N>
struct TTypeTraits<std::array<T, N>, std::void_t<decltype(TTypeTraits<T>::Info())>> {
  static const TTypeInfo& Info() {
    static const TTypeInfo info = MakeStaticArrayTypeInfo(TTypeTraits<T>::Info(), N);
    return info;
  }
  static TValue ToValue(const std::array<T, N>& v) {
    std::vector<TValue> items;
    for (const T& item : v) {
      items.push_back(TValue::From(item));
    }
    return TValue::FromArray(Info(), std::move(items));
  }
  static std::array<T, N> FromValue(const TValue& v) {
    std::array<T, N> result{};
    for (size_t i = 0; i < N && i < v.AsArray().size(); ++i) {
      result[i] = v.AsArray()[i].AsType<T>();
    }
    return result;
  }
};

// A record describes itself with a static RecordTypeInfo(), built by TRecordTypeBuilder.
template <class R>
struct TTypeTraits<R, std::void_t<decltype(R::RecordTypeInfo())>> {
  static const TTypeInfo& Info() { return R::RecordTypeInfo(); }
  static TValue ToValue(const R& v) { return TValue::FromAny(Info(), v); }
  static R FromValue(const TValue& v) { return std::any_cast<R>(v.AsAny()); }
};

template <class R>
class TRecordTypeBuilder {
 public:
  explicit TRecordTypeBuilder(std::string name) {
    FInfo.Name = std::move(name);
    FInfo.Kind = TTypeKind::Record;
    FInfo.EmptyValue = [] { return TValue::From(R{}); };
  }
  // A field, or a property when getter and setter are member functions.
  template <class Get, class Set>
  TRecordTypeBuilder& Member(std::string name, Get get, Set set) {
    using T = std::decay_t<std::invoke_result_t<Get, const R&>>;
    FInfo.Members.push_back(TRecordMember{std::move(name), &TypeInfoOf<T>(),
                                          [get](const TValue& rec) {
                                            return TValue::From<T>(std::invoke(
                                                get, std::any_cast<const R&>(rec.AsAny())));
                                          },
                                          [set](TValue& rec, const TValue& value) {
                                            R& r = std::any_cast<R&>(rec.AsAny());
                                            if constexpr (std::is_member_object_pointer_v<Set>) {
                                              r.*set = value.AsType<T>();
                                            } else {
                                              std::invoke(set, r, value.AsType<T>());
                                            }
                                          }});
    return *this;
  }
  template <class T>
  TRecordTypeBuilder& Field(std::string name, T R::*field) {
    return Member(std::move(name), field, field);
  }
  TTypeInfo Build() { return std::move(FInfo); }

 private:
  TTypeInfo FInfo;
};

// Describes a class: its metadata and its properties in declaration order.
template <class C>
class TClassBuilder {
 public:
  TClassBuilder(std::string name, const TClass* parent) : FName(std::move(name)), FParent(parent) {}

  TClassBuilder& Attribute(std::shared_ptr<const TAttribute> attribute) {
    FAttributes.push_back(std::move(attribute));
    return *this;
  }

  // A property read through get (a member function or field) and written through set (a member
  // function or field, or nullptr for a read-only property).
  template <class Get, class Set = std::nullptr_t>
  TClassBuilder& Property(std::string name, TMemberVisibility visibility, Get get,
                          Set set = nullptr, TAttributeList attributes = {}) {
    using T = std::decay_t<std::invoke_result_t<Get, const C&>>;
    TPropInfo prop;
    prop.Name = std::move(name);
    if constexpr (HasTypeInfo<T>) {
      prop.PropType = &TypeInfoOf<T>();
      prop.GetValue = [get](const TObject& obj) {
        return TValue::From<T>(std::invoke(get, static_cast<const C&>(obj)));
      };
      if constexpr (!std::is_null_pointer_v<Set>) {
        prop.SetValue = [set](TObject& obj, const TValue& value) {
          C& self = static_cast<C&>(obj);
          if constexpr (std::is_member_object_pointer_v<Set>) {
            self.*set = value.AsType<T>();
          } else {
            std::invoke(set, self, value.AsType<T>());
          }
        };
      }
    }
    prop.Visibility = visibility;
    prop.IsReadable = true;
    prop.IsWritable = !std::is_null_pointer_v<Set>;
    prop.Attributes = std::move(attributes);
    FProperties.push_back(std::move(prop));
    return *this;
  }

  std::unique_ptr<TClass> Build() {
    return std::make_unique<TClass>(FName, FParent, std::move(FAttributes), std::move(FProperties));
  }

 private:
  std::string FName;
  const TClass* FParent;
  TAttributeList FAttributes;
  std::vector<TPropInfo> FProperties;
};

}  // namespace kv
