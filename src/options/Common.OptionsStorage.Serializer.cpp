#include "options/Common.OptionsStorage.Serializer.h"

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "options/Common.Attributes.h"
#include "options/Common.RTTIPropList.h"

namespace kv {
namespace {

constexpr const char* kModule = "lib\\Common\\Common.OptionsStorage.Serializer";
constexpr int kMaxSetSize = 32;

bool TakesPart(const TPropInfo& prop) {
  return (prop.Visibility == TMemberVisibility::Public ||
          prop.Visibility == TMemberVisibility::Published) &&
         !FindAttribute<TNotSerializeAttribute>(prop.Attributes) && prop.IsWritable;
}

bool IsNested(const TTypeInfo& type) {
  return type.Kind == TTypeKind::Array || type.Kind == TTypeKind::DynArray ||
         type.Kind == TTypeKind::Record;
}

std::string ItemName(size_t index) {
  return "Item" + std::to_string(index);
}

// The names of a set's element enumeration, checked to fit the 32 bits a stored set may hold.
TStringList SetElementNames(const TTypeInfo& setType) {
  TStringList names;
  GetEnumNames(setType, names);
  Assert(names.Count() <= kMaxSetSize, kModule, __LINE__);
  return names;
}

// The zero or empty value of a type: where every restored array element starts.
TValue EmptyValue(const TTypeInfo& type) {
  switch (type.Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Enumeration:
    case TTypeKind::Set:
      return TValue::FromOrdinal(type, 0);
    case TTypeKind::Float:
      return TValue::FromFloat(type, 0);
    case TTypeKind::String:
      return TValue::FromString(type, "");
    case TTypeKind::DynArray:
      return TValue::FromArray(type, {});
    case TTypeKind::Array:
      return TValue::FromArray(
          type, std::vector<TValue>(type.ElementCount, EmptyValue(*type.ElementType)));
    case TTypeKind::Record:
      return type.EmptyValue();
    default:
      return {};
  }
}

void StoreValue(IOptionsWriter& writer, const std::string& name, const TTypeInfo& type,
                const TValue& value);

void StoreArray(IOptionsWriter& writer, const std::string& name, const TTypeInfo& type,
                const TValue& value) {
  const TIntfPtr<IOptionsWriter> key = writer.OpenSubkey(name);
  key->Clear();
  const TTypeInfo& elementType = *type.ElementType;
  const std::vector<TValue>& items = value.AsArray();
  for (size_t i = 0; i < items.size(); ++i) {
    if (IsNested(elementType)) {
      StoreValue(*key, ItemName(i), elementType, items[i]);
    } else {
      StoreValue(*key->OpenSubkey(ItemName(i)), "Value", elementType, items[i]);
    }
  }
}

void StoreValue(IOptionsWriter& writer, const std::string& name, const TTypeInfo& type,
                const TValue& value) {
  switch (type.Kind) {
    case TTypeKind::Integer:
      writer.WriteInteger(name, static_cast<int32_t>(value.AsOrdinal()), 0);
      break;
    case TTypeKind::Enumeration:
      writer.WriteString(name,
                         type.Names.at(static_cast<size_t>(value.AsOrdinal() - type.MinValue)), "");
      break;
    case TTypeKind::Float:
      writer.WriteFloat(name, value.AsFloat());
      break;
    case TTypeKind::String:
      writer.WriteString(name, value.AsString(), "");
      break;
    case TTypeKind::Set: {
      const TStringList names = SetElementNames(type);
      const auto mask = static_cast<uint64_t>(value.AsOrdinal());
      std::string text;
      for (int bit = 0; bit < kMaxSetSize; ++bit) {
        if (mask >> bit & 1) {
          text += names[bit - type.ElementType->MinValue] + ",";
        }
      }
      if (!text.empty()) {
        text.pop_back();
      }
      writer.WriteString(name, text, "");
      break;
    }
    case TTypeKind::Array:
    case TTypeKind::DynArray:
      StoreArray(writer, name, type, value);
      break;
    case TTypeKind::Record: {
      const TIntfPtr<IOptionsWriter> key = writer.OpenSubkey(name);
      for (const TRecordMember& member : type.Members) {
        StoreValue(*key, member.Name, *member.Type, member.Get(value));
      }
      break;
    }
    default:
      break;  // classes, interfaces and other kinds are not stored
  }
}

TValue RestoreValue(IOptionsReader& reader, const std::string& name, const TTypeInfo& type,
                    const TValue& current);

TValue RestoreSet(IOptionsReader& reader, const std::string& name, const TTypeInfo& type) {
  const TStringList names = SetElementNames(type);
  TStringList items;
  items.SetDelimitedText(reader.ReadString(name, ""), ',');
  uint64_t mask = 0;
  for (const auto& item : items) {
    const int index = names.IndexOf(item.Text);
    if (index >= 0) {
      mask |= uint64_t{1} << std::any_cast<int32_t>(names.Objects(index));
    }
  }
  return TValue::FromOrdinal(type, static_cast<int64_t>(mask));
}

TValue RestoreArray(IOptionsReader& reader, const std::string& name, const TTypeInfo& type,
                    const TValue& current) {
  const TIntfPtr<IOptionsReader> key = reader.OpenSubkey(name);
  if (key->IsEmpty()) {
    return current;
  }
  const TTypeInfo& elementType = *type.ElementType;
  std::vector<TValue> items;
  for (const std::string& child : key->GetSubkeyNames()) {
    if (IsNested(elementType)) {
      items.push_back(RestoreValue(*key, child, elementType, EmptyValue(elementType)));
    } else {
      items.push_back(
          RestoreValue(*key->OpenSubkey(child), "Value", elementType, EmptyValue(elementType)));
    }
  }
  if (type.Kind == TTypeKind::Array && items.size() != type.ElementCount) {
    return current;
  }
  return TValue::FromArray(type, std::move(items));
}

TValue RestoreRecord(IOptionsReader& reader, const std::string& name, const TTypeInfo& type,
                     const TValue& current) {
  const TIntfPtr<IOptionsReader> key = reader.OpenSubkey(name);
  if (key->IsEmpty()) {
    return current;
  }
  TValue record = type.EmptyValue();
  for (const TRecordMember& member : type.Members) {
    member.Set(record, RestoreValue(*key, member.Name, *member.Type, member.Get(current)));
  }
  return record;
}

TValue RestoreValue(IOptionsReader& reader, const std::string& name, const TTypeInfo& type,
                    const TValue& current) {
  switch (type.Kind) {
    case TTypeKind::Integer:
      return reader.ValueExists(name)
                 ? TValue::FromOrdinal(
                       type, reader.ReadInteger(name, static_cast<int32_t>(current.AsOrdinal())))
                 : current;
    case TTypeKind::Enumeration: {
      if (!reader.ValueExists(name)) {
        return current;
      }
      const std::string text = reader.ReadString(name, "");
      TStringList names;
      GetEnumNames(type, names);
      const int index = text.empty() ? -1 : names.IndexOf(text);
      return index < 0 ? current
                       : TValue::FromOrdinal(type, std::any_cast<int32_t>(names.Objects(index)));
    }
    case TTypeKind::Float:
      return reader.ValueExists(name)
                 ? TValue::FromFloat(type,
                                     static_cast<double>(reader.ReadFloat(name, current.AsFloat())))
                 : current;
    case TTypeKind::String:
      return reader.ValueExists(name)
                 ? TValue::FromString(type, reader.ReadString(name, current.AsString()))
                 : current;
    case TTypeKind::Set:
      return reader.ValueExists(name) ? RestoreSet(reader, name, type) : current;
    case TTypeKind::Array:
    case TTypeKind::DynArray:
      return RestoreArray(reader, name, type, current);
    case TTypeKind::Record:
      return RestoreRecord(reader, name, type, current);
    default:
      return current;
  }
}

template <class Visit>
void ForEachTakingPart(const TObject& object, Visit visit) {
  for (const TPropInfo* prop : object.ClassType().GetProperties()) {
    if (!TakesPart(*prop)) {
      continue;
    }
    if (!prop->PropType) {
      throw EAttributeError::RttiNotPresented();
    }
    visit(*prop);
  }
}

}  // namespace

void TOptionsSerializer::SerializeObject(IOptionsWriter& writer, const TObject& object) {
  ForEachTakingPart(object, [&](const TPropInfo& prop) {
    StoreValue(writer, prop.Name, *prop.PropType, prop.GetValue(object));
  });
}

void TOptionsSerializer::DeserializeObject(IOptionsReader& reader, TObject& object) {
  ForEachTakingPart(object, [&](const TPropInfo& prop) {
    prop.SetValue(object, RestoreValue(reader, prop.Name, *prop.PropType, prop.GetValue(object)));
  });
}

std::vector<std::string> TOptionsSerializer::StoredNames(const TObject& object) {
  std::vector<std::string> names;
  ForEachTakingPart(object, [&](const TPropInfo& prop) { names.push_back(prop.Name); });
  return names;
}

}  // namespace kv
