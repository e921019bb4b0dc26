#include "options/Common.OptionsStorage.Serializer.h"

#include <gtest/gtest.h>

#include <array>

#include "base/Rtti.h"
#include "common/Common.SysUtils.h"
#include "options/Common.Attributes.h"
#include "options/Kv_OptionsStorage.h"
#include "platform/Files.h"

namespace kv {
namespace {

enum class TKind { Smeta, NormBase, FormTemplate, DocTemplate };
const TTypeInfo& EnumTypeInfo(TKind) {
  static const TTypeInfo info =
      MakeEnumTypeInfo("TStorageKind", {"Smeta", "NormBase", "FormTemplate", "DocTemplate"});
  return info;
}

struct TRegion {
  int32_t Code = 0;
  std::string Name;
  static const TTypeInfo& RecordTypeInfo() {
    static const TTypeInfo info = TRecordTypeBuilder<TRegion>("TRegion")
                                      .Field("Code", &TRegion::Code)
                                      .Field("Name", &TRegion::Name)
                                      .Build();
    return info;
  }
};

struct TNoDescription {};

// One property of every stored kind, and the kinds that never take part.
class TSample : public TObject {
  KV_CLASS_INFO()
 public:
  int32_t Count = 0;
  bool Enabled = false;
  double Ratio = 0;
  std::string Caption;
  TKind Kind = TKind::Smeta;
  TSet<TKind> Usages;
  std::vector<std::string> Tags;
  std::array<int32_t, 2> Pair{};
  std::vector<TRegion> Regions;
  TRegion Home;
  std::string Hidden = "hidden";
  std::string Internal = "internal";
  int32_t SetterCalls = 0;

  std::string Computed() const { return "computed"; }
  void SetCaption(const std::string& value) {
    ++SetterCalls;
    Caption = value;
  }
};

const TClass& TSample::ClassInfo() {
  using V = TMemberVisibility;
  static const auto info =
      TClassBuilder<TSample>("TSample", &TObject::ClassInfo())
          .Property("Count", V::Published, &TSample::Count, &TSample::Count)
          .Property("Enabled", V::Published, &TSample::Enabled, &TSample::Enabled)
          .Property("Ratio", V::Public, &TSample::Ratio, &TSample::Ratio)
          .Property("Caption", V::Published, &TSample::Caption, &TSample::SetCaption)
          .Property("Kind", V::Published, &TSample::Kind, &TSample::Kind)
          .Property("Usages", V::Published, &TSample::Usages, &TSample::Usages)
          .Property("Tags", V::Published, &TSample::Tags, &TSample::Tags)
          .Property("Pair", V::Published, &TSample::Pair, &TSample::Pair)
          .Property("Regions", V::Published, &TSample::Regions, &TSample::Regions)
          .Property("Home", V::Published, &TSample::Home, &TSample::Home)
          .Property("Computed", V::Published, &TSample::Computed)
          .Property("Hidden", V::Published, &TSample::Hidden, &TSample::Hidden,
                    {std::make_shared<TNotSerializeAttribute>()})
          .Property("Internal", V::Protected, &TSample::Internal, &TSample::Internal)
          .Build();
  return *info;
}

class TUndescribed : public TObject {
  KV_CLASS_INFO()
 public:
  TNoDescription Value;
};

const TClass& TUndescribed::ClassInfo() {
  static const auto info = TClassBuilder<TUndescribed>("TUndescribed", &TObject::ClassInfo())
                               .Property("Value", TMemberVisibility::Published,
                                         &TUndescribed::Value, &TUndescribed::Value)
                               .Build();
  return *info;
}

class SerializerTest : public testing::Test {
 protected:
  void SetUp() override {
    FFile = GetTempFolder() + "kv-serializer-" + NewGUIDString(false) + ".xml";
  }
  void TearDown() override { platform::DeleteFile(FFile); }

  void Save(const TObject& object) {
    const TIntfPtr<IOptionsWriter> writer = TOptionsStorageFactory::CreateWriter(FFile, true);
    TOptionsSerializer::SerializeObject(*writer->OpenSubkey("Object"), object);
    writer->Save();
  }
  TIntfPtr<IOptionsReader> Stored() {
    return TOptionsStorageFactory::CreateReader(FFile)->OpenSubkey("Object");
  }
  void Load(TObject& object) { TOptionsSerializer::DeserializeObject(*Stored(), object); }

  std::string FFile;
};

TEST_F(SerializerTest, StoredForms) {
  TSample sample;
  sample.Enabled = true;
  sample.Caption = "Папка";
  sample.Kind = TKind::FormTemplate;
  sample.Usages = {TKind::Smeta, TKind::FormTemplate};
  sample.Tags = {"a", ""};
  sample.Regions = {{77, "Москва"}};
  sample.Home = {50, ""};
  Save(sample);

  const auto stored = Stored();
  EXPECT_FALSE(stored->ValueExists("Count"));  // 0 is not written
  EXPECT_EQ(stored->ReadString("Enabled", ""), "True");
  EXPECT_EQ(stored->ReadString("Caption", ""), "Папка");
  EXPECT_EQ(stored->ReadString("Kind", ""), "FormTemplate");
  EXPECT_EQ(stored->ReadString("Usages", ""), "Smeta,FormTemplate");
  EXPECT_TRUE(stored->ValueExists("Ratio"));
  for (const char* absent : {"Computed", "Hidden", "Internal", "SetterCalls"}) {
    EXPECT_FALSE(stored->ValueExists(absent)) << absent;
  }

  const auto tags = stored->OpenSubkey("Tags");
  EXPECT_EQ(tags->GetSubkeyNames(), (std::vector<std::string>{"Item0", "Item1"}));
  EXPECT_EQ(tags->OpenSubkey("Item0")->ReadString("Value", ""), "a");
  EXPECT_FALSE(tags->OpenSubkey("Item1")->ValueExists("Value"));  // an empty string element

  const auto region = stored->OpenSubkey("Regions")->OpenSubkey("Item0");
  EXPECT_EQ(region->ReadInteger("Code", 0), 77);
  EXPECT_EQ(region->ReadString("Name", ""), "Москва");
  EXPECT_EQ(stored->OpenSubkey("Home")->ReadInteger("Code", 0), 50);
  EXPECT_EQ(stored->OpenSubkey("Pair")->GetSubkeyNames().size(), 2u);
}

TEST_F(SerializerTest, RoundTrip) {
  TSample saved;
  saved.Count = -7;
  saved.Enabled = true;
  saved.Ratio = 2.5;
  saved.Caption = "Смета";
  saved.Kind = TKind::DocTemplate;
  saved.Usages = {TKind::NormBase, TKind::DocTemplate};
  saved.Tags = {"x", "", "z"};
  saved.Pair = {3, 4};
  saved.Regions = {{1, "a"}, {2, "b"}};
  saved.Home = {9, "дом"};
  Save(saved);

  TSample loaded;
  Load(loaded);
  EXPECT_EQ(loaded.Count, -7);
  EXPECT_TRUE(loaded.Enabled);
  EXPECT_DOUBLE_EQ(loaded.Ratio, 2.5);
  EXPECT_EQ(loaded.Caption, "Смета");
  EXPECT_EQ(loaded.Kind, TKind::DocTemplate);
  EXPECT_EQ(loaded.Usages, (TSet<TKind>{TKind::NormBase, TKind::DocTemplate}));
  EXPECT_EQ(loaded.Tags, saved.Tags);
  EXPECT_EQ(loaded.Pair, saved.Pair);
  ASSERT_EQ(loaded.Regions.size(), 2u);
  EXPECT_EQ(loaded.Regions[1].Name, "b");
  EXPECT_EQ(loaded.Home.Name, "дом");
  EXPECT_EQ(loaded.Home.Code, 9);
}

TEST_F(SerializerTest, EmptyKeyKeepsCurrentValuesAndStillCallsSetters) {
  Save(TObject());
  TSample sample;
  sample.Count = 5;
  sample.Caption = "как было";
  sample.Usages = {TKind::NormBase};
  sample.Tags = {"t"};
  sample.Home = {3, "h"};
  Load(sample);
  EXPECT_EQ(sample.SetterCalls, 1);
  EXPECT_EQ(sample.Count, 5);
  EXPECT_EQ(sample.Caption, "как было");
  EXPECT_EQ(sample.Usages, TSet<TKind>{TKind::NormBase});
  EXPECT_EQ(sample.Tags, std::vector<std::string>{"t"});
  EXPECT_EQ(sample.Home.Name, "h");
}

TEST_F(SerializerTest, ToleratesWhatOtherWritersLeave) {
  {
    const TIntfPtr<IOptionsWriter> writer = TOptionsStorageFactory::CreateWriter(FFile, true);
    const auto key = writer->OpenSubkey("Object");
    key->WriteString("Kind", "normbase", "");
    key->WriteString("Usages", "smeta, Unknown,\"DocTemplate\"", "");
    key->WriteString("Enabled", "Yes", "");  // not a value name: kept as it is
    key->WriteString("Count", "twelve", "");
    const auto pair = key->OpenSubkey("Pair");  // three elements for a two-element array
    for (const char* item : {"Item0", "Item1", "Item2"}) {
      pair->OpenSubkey(item)->WriteInteger("Value", 1, 0);
    }
    key->OpenSubkey("Tags")->OpenSubkey("Whatever");  // element names are not checked
    writer->Save();
  }
  TSample sample;
  sample.Count = 4;
  sample.Enabled = true;
  sample.Pair = {8, 9};
  Load(sample);
  EXPECT_EQ(sample.Kind, TKind::NormBase);
  EXPECT_EQ(sample.Usages, (TSet<TKind>{TKind::Smeta, TKind::DocTemplate}));
  EXPECT_TRUE(sample.Enabled);
  EXPECT_EQ(sample.Count, 4);
  EXPECT_EQ(sample.Pair, (std::array<int32_t, 2>{8, 9}));
  EXPECT_EQ(sample.Tags, std::vector<std::string>{""});
}

TEST_F(SerializerTest, ArraysAreRewrittenWhole) {
  TSample sample;
  sample.Tags = {"a", "b", "c"};
  Save(sample);
  {
    const TIntfPtr<IOptionsWriter> writer = TOptionsStorageFactory::CreateWriter(FFile, false);
    sample.Tags = {"d"};
    TOptionsSerializer::SerializeObject(*writer->OpenSubkey("Object"), sample);
    writer->Save();
  }
  TSample loaded;
  Load(loaded);
  EXPECT_EQ(loaded.Tags, std::vector<std::string>{"d"});
}

TEST_F(SerializerTest, PropertyWithoutDescriptionRaises) {
  TUndescribed object;
  const TIntfPtr<IOptionsWriter> writer = TOptionsStorageFactory::CreateWriter(FFile, true);
  try {
    TOptionsSerializer::SerializeObject(*writer, object);
    FAIL() << "no error";
  } catch (const EAttributeError& e) {
    EXPECT_EQ(e.Message(), "Чтение аттрибутов: Отсутствует RTTI");
  }
}

}  // namespace
}  // namespace kv
