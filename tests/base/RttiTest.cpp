#include "base/Rtti.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"

namespace kv {
namespace {

enum class TColour { Red, Green, Blue };
const TTypeInfo& EnumTypeInfo(TColour) {
  static const TTypeInfo info = MakeEnumTypeInfo("TColour", {"Red", "Green", "Blue"});
  return info;
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  static const TTypeInfo& RecordTypeInfo() {
    static const TTypeInfo info =
        TRecordTypeBuilder<TPoint>("TPoint").Field("X", &TPoint::X).Field("Y", &TPoint::Y).Build();
    return info;
  }
};

class TShape : public TObject {
  KV_CLASS_INFO()
 public:
  std::string Name;
  TColour Colour = TColour::Red;
  const std::string& GetName() const { return Name; }
  void SetName(const std::string& v) { Name = v; }
};

class TBox : public TShape {
  KV_CLASS_INFO()
 public:
  TPoint Corner;
  TSet<TColour> Colours;
  std::vector<std::string> Tags;
  int32_t Area() const { return Corner.X * Corner.Y; }
};

const TClass& TShape::ClassInfo() {
  static const auto info =
      TClassBuilder<TShape>("TShape", &TObject::ClassInfo())
          .Property("Name", TMemberVisibility::Published, &TShape::GetName, &TShape::SetName)
          .Property("Colour", TMemberVisibility::Public, &TShape::Colour, &TShape::Colour)
          .Build();
  return *info;
}

const TClass& TBox::ClassInfo() {
  static const auto info =
      TClassBuilder<TBox>("TBox", &TShape::ClassInfo())
          .Property("Area", TMemberVisibility::Public, &TBox::Area)
          .Property("Corner", TMemberVisibility::Published, &TBox::Corner, &TBox::Corner)
          .Property("Colours", TMemberVisibility::Published, &TBox::Colours, &TBox::Colours)
          .Property("Tags", TMemberVisibility::Published, &TBox::Tags, &TBox::Tags)
          .Build();
  return *info;
}

TEST(RttiTest, PropertiesComeOwnClassFirstThenAncestors) {
  std::vector<std::string> names;
  for (const TPropInfo* prop : TBox::ClassInfo().GetProperties()) {
    names.push_back(prop->Name);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{"Area", "Corner", "Colours", "Tags", "Name", "Colour"}));
}

TEST(RttiTest, DescribesKindsAndAccess) {
  const auto props = TBox::ClassInfo().GetProperties();
  EXPECT_EQ(props[0]->PropType->Kind, TTypeKind::Integer);
  EXPECT_FALSE(props[0]->IsWritable);
  EXPECT_EQ(props[1]->PropType->Kind, TTypeKind::Record);
  EXPECT_EQ(props[2]->PropType->Kind, TTypeKind::Set);
  EXPECT_EQ(props[2]->PropType->ElementType, &EnumTypeInfo(TColour{}));
  EXPECT_EQ(props[3]->PropType->Kind, TTypeKind::DynArray);
  EXPECT_EQ(props[4]->PropType->Kind, TTypeKind::String);
  EXPECT_EQ(props[5]->PropType->Kind, TTypeKind::Enumeration);
}

TEST(RttiTest, GetsAndSetsThroughDescriptions) {
  TBox box;
  const auto props = TBox::ClassInfo().GetProperties();
  props[4]->SetValue(box, TValue::From<std::string>("Коробка"));
  props[5]->SetValue(box, TValue::From(TColour::Blue));
  props[2]->SetValue(box, TValue::From(TSet<TColour>{TColour::Red, TColour::Blue}));
  props[3]->SetValue(box, TValue::From(std::vector<std::string>{"a", "b"}));

  TValue corner = props[1]->GetValue(box);
  const TRecordMember& x = corner.TypeInfo()->Members[0];
  x.Set(corner, TValue::From<int32_t>(3));
  corner.TypeInfo()->Members[1].Set(corner, TValue::From<int32_t>(4));
  props[1]->SetValue(box, corner);

  EXPECT_EQ(box.Name, "Коробка");
  EXPECT_EQ(box.Colour, TColour::Blue);
  EXPECT_EQ(box.Colours.Mask(), 0b101u);
  EXPECT_EQ(box.Tags, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(props[0]->GetValue(box).AsOrdinal(), 12);
}

TEST(RttiTest, CompositeTypesOfOneElementTypeAreDistinct) {
  const TTypeInfo& set = TypeInfoOf<TSet<TColour>>();
  const TTypeInfo& dynArray = TypeInfoOf<std::vector<TColour>>();
  const TTypeInfo& array2 = TypeInfoOf<std::array<TColour, 2>>();
  const TTypeInfo& array3 = TypeInfoOf<std::array<TColour, 3>>();
  EXPECT_EQ(set.Kind, TTypeKind::Set);
  EXPECT_EQ(dynArray.Kind, TTypeKind::DynArray);
  EXPECT_EQ(array2.ElementCount, 2u);
  EXPECT_EQ(array3.ElementCount, 3u);
  EXPECT_EQ(&TypeInfoOf<TSet<TColour>>(), &set);
}

TEST(RttiTest, ClassNamesAndInheritance) {
  TBox box;
  EXPECT_EQ(box.ClassName(), "TBox");
  EXPECT_TRUE(box.InheritsFrom(TShape::ClassInfo()));
  EXPECT_FALSE(TShape().InheritsFrom(TBox::ClassInfo()));
  EXPECT_EQ(EConvertError("x").ClassName(), "EConvertError");
}

}  // namespace
}  // namespace kv
