#include "options/Common.OptionsStorage.XML.h"

#include <gtest/gtest.h>

#include <clocale>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "options/Kv_OptionsStorage.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using TNames = std::vector<std::string>;
using TAttributes = std::vector<std::pair<std::string, std::string>>;

TNames ChildNames(const TXmlNode& node) {
  TNames names;
  for (const auto& child : node.Children()) {
    names.push_back(child.Name());
  }
  return names;
}

class XmlOptionsStorageTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return FFolder.Path(name); }
  void Write(const std::string& name, const std::string& bytes) const {
    test::WriteFileBytes(Path(name), bytes);
  }
  std::string Read(const std::string& name) const { return test::ReadFileBytes(Path(name)); }
  // The saved file as the XML implementation reads it.
  TXmlNode Root(const std::string& name) const {
    return TXmlDocument::LoadFromFile(Path(name)).DocumentElement();
  }

  test::TTempFolder FFolder;
};

TEST_F(XmlOptionsStorageTest, MissingFileReadsAsDefaultsAndStaysMissing) {
  const std::string file = Path("Настройки\\Options.xml");
  const auto reader = TOptionsStorageFactory::CreateReader(file);
  EXPECT_FALSE(reader->IsEmpty());
  EXPECT_EQ(reader->ReadInteger("A", 3), 3);
  EXPECT_EQ(reader->ReadString("A", "d"), "d");
  EXPECT_TRUE(reader->ReadBoolean("A", true));
  EXPECT_EQ(reader->ReadFloat("A", 2.5L), 2.5L);
  EXPECT_FALSE(reader->ValueExists("A"));
  EXPECT_TRUE(reader->GetSubkeyNames().empty());

  const auto writer = TOptionsStorageFactory::CreateWriter(file, false);
  writer->OpenSubkey("Key")->WriteString("A", "x", "");
  EXPECT_FALSE(platform::DirectoryExists(Path("Настройки")));
  EXPECT_FALSE(platform::FileExists(file));
}

TEST_F(XmlOptionsStorageTest, MissingKeysBelowMissingKeysReadAsDefaults) {
  Write("o.xml", "<Options><Present A=\"1\"/></Options>");
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  EXPECT_EQ(reader->OpenSubkey("Present")->ReadInteger("A", 0), 1);

  const auto missing = reader->OpenSubkey("Missing");
  const auto below = missing->OpenSubkey("Below");
  for (const auto& key : {missing, below, below->OpenSubkey("Present")}) {
    EXPECT_TRUE(key->IsEmpty());
    EXPECT_EQ(key->ReadInteger("A", 9), 9);
    EXPECT_EQ(key->ReadString("A", "d"), "d");
    EXPECT_FALSE(key->ReadBoolean("A", false));
    EXPECT_EQ(key->ReadFloat("A", 1.5L), 1.5L);
    EXPECT_FALSE(key->ValueExists("A"));
    EXPECT_TRUE(key->GetSubkeyNames().empty());
  }
}

TEST_F(XmlOptionsStorageTest, BackslashesInANameMakeNestedKeys) {
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  writer->OpenSubkey("Outer\\Inner")->WriteString("A", "1", "");
  writer->OpenSubkey("\\Outer\\\\Inner\\")->WriteString("B", "2", "");
  writer->Save();

  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(ChildNames(root), TNames{"Outer"});
  EXPECT_EQ(root.Child("Outer").Child("Inner").Attributes(), (TAttributes{{"A", "1"}, {"B", "2"}}));

  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  EXPECT_EQ(reader->OpenSubkey("Outer\\Inner")->ReadString("A", ""), "1");
  EXPECT_EQ(reader->OpenSubkey("Outer")->OpenSubkey("Inner")->ReadString("B", ""), "2");
}

TEST_F(XmlOptionsStorageTest, StringWriteRules) {
  Write("o.xml", "<Options><Key Same=\"old\" Kept=\"old\"/></Options>");
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  const auto key = writer->OpenSubkey("Key");
  const auto fresh = writer->OpenSubkey("Fresh");
  key->WriteString("Same", "default", "default");
  key->WriteString("Kept", "", "default");
  fresh->WriteString("Empty", "", "default");
  fresh->WriteString("Control",
                     "a\x01"
                     "b\tc\nd\re",
                     "");
  fresh->WriteString("Cyrillic", "Калвор \"Сметы\" & <Ко>", "");
  writer->Save();

  EXPECT_EQ(Root("o.xml").Child("Key").Attributes(), (TAttributes{{"Kept", "old"}}));
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"))->OpenSubkey("Fresh");
  EXPECT_FALSE(reader->ValueExists("Empty"));
  EXPECT_EQ(reader->ReadString("Empty", "default"), "default");
  EXPECT_EQ(reader->ReadString("Control", ""), "ab\tc\nd\re");
  EXPECT_EQ(reader->ReadString("Cyrillic", ""), "Калвор \"Сметы\" & <Ко>");
}

TEST_F(XmlOptionsStorageTest, IntegerWriteRules) {
  Write("o.xml", "<Options Kept=\"9\"/>");
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  writer->WriteInteger("Zero", 0, 5);
  writer->WriteInteger("Seven", 7, 0);
  writer->WriteInteger("Kept", 5, 5);
  writer->WriteInteger("Negative", -1, 0);
  writer->Save();

  EXPECT_EQ(Root("o.xml").Attributes(),
            (TAttributes{{"Kept", "9"}, {"Seven", "7"}, {"Negative", "-1"}}));
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  EXPECT_EQ(reader->ReadInteger("Zero", 5), 5);
  EXPECT_EQ(reader->ReadInteger("Negative", 0), -1);
}

TEST_F(XmlOptionsStorageTest, BooleansAndFloats) {
  Write("o.xml", "<Options One=\"1\" Word=\"yes\" Number=\"abc\"/>");
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  writer->WriteBoolean("True", true);
  writer->WriteBoolean("False", false);
  writer->WriteFloat("Float", 0.1L + 0.2L);
  writer->Save();

  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(root.Attribute("True"), "true");
  EXPECT_EQ(root.Attribute("False"), "false");
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  EXPECT_TRUE(reader->ReadBoolean("True", false));
  EXPECT_FALSE(reader->ReadBoolean("False", true));
  EXPECT_TRUE(reader->ReadBoolean("One", false));
  EXPECT_THROW(reader->ReadBoolean("Word", false), EConvertError);
  EXPECT_EQ(reader->ReadFloat("Float", 0), static_cast<double>(0.1L + 0.2L));
  EXPECT_EQ(reader->ReadFloat("Number", 4), 4);
  EXPECT_EQ(reader->ReadInteger("Number", 4), 4);
}

// The users' number format, where this machine has it; on Windows the user's locale decides.
class TRussianNumbers {
 public:
  TRussianNumbers() : FOld(std::setlocale(LC_NUMERIC, nullptr)) {
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
  }
  ~TRussianNumbers() { std::setlocale(LC_NUMERIC, FOld.c_str()); }

 private:
  std::string FOld;
};

TEST_F(XmlOptionsStorageTest, FloatsRoundTripThroughAFileInTheUsersFormat) {
  const TRussianNumbers russian;
  const long double values[] = {1.5L, -1234.0625L, 1e-7L, 6.02214076e23L, 0.1L};
  auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), true);
  for (size_t i = 0; i < std::size(values); ++i) {
    writer->WriteFloat("F" + std::to_string(i), values[i]);
  }
  writer->Save();

  EXPECT_EQ(Root("o.xml").Attribute("F0"), "1" + platform::DecimalSeparator() + "5");
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(reader->ReadFloat("F" + std::to_string(i), 0), static_cast<double>(values[i]));
  }
}

TEST_F(XmlOptionsStorageTest, RewriteModeKeepsOnlyWhatIsWrittenAfter) {
  Write("o.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Settings Old=\"1\">\n  <Old A=\"1\"/>\n  <!-- note -->\n</Settings>\n");
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), true);
  writer->OpenSubkey("New")->WriteInteger("B", 2, 0);
  writer->Save();

  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(root.Name(), "Settings");
  EXPECT_TRUE(root.Attributes().empty());
  EXPECT_EQ(ChildNames(root), TNames{"New"});
  EXPECT_NE(Read("o.xml").find("encoding=\"UTF-8\""), std::string::npos);
}

TEST_F(XmlOptionsStorageTest, NewFileIsWrittenIn1251IntoNewFoldersOnSave) {
  const std::string file = Path("Калвор-Divir\\Настройки\\Connections.xml");
  const auto writer = TOptionsStorageFactory::CreateWriter(file, true);
  const auto sub = writer->OpenSubkey("Connections")->OpenSubkey("Item");
  sub->WriteString("Caption", "Сметы", "");
  sub->Save();

  const std::string bytes = test::ReadFileBytes(file);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u) << bytes;
  EXPECT_NE(bytes.find(platform::EncodeCodePage(1251, "Caption=\"Сметы\"")), std::string::npos)
      << bytes;
  const TXmlNode root = TXmlDocument::LoadFromFile(file).DocumentElement();
  EXPECT_EQ(root.Name(), "Options");
  EXPECT_EQ(root.Child("Connections").Child("Item").Attribute("Caption"), "Сметы");
}

TEST_F(XmlOptionsStorageTest, AnotherRootIsReadAndWrittenUnderItsName) {
  Write("o.xml", "<KvsmetaFolder ObjName=\"Объект\"><Sub A=\"1\"/></KvsmetaFolder>");
  EXPECT_EQ(TOptionsStorageFactory::CreateReader(Path("o.xml"))->ReadString("ObjName", ""),
            "Объект");
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  writer->WriteString("ConName", "Связь", "");
  writer->OpenSubkey("Sub")->WriteInteger("B", 2, 0);
  writer->Save();

  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(root.Name(), "KvsmetaFolder");
  EXPECT_EQ(root.Attributes(), (TAttributes{{"ObjName", "Объект"}, {"ConName", "Связь"}}));
  EXPECT_EQ(root.Child("Sub").Attributes(), (TAttributes{{"A", "1"}, {"B", "2"}}));
}

TEST_F(XmlOptionsStorageTest, DamagedFileFailsAReaderAndIsReplacedByAWriter) {
  Write("o.xml", "<Options><Key A=\"1\"></Options>");
  try {
    TOptionsStorageFactory::CreateReader(Path("o.xml"));
    ADD_FAILURE() << "read";
  } catch (const EInvalidXMLFile& e) {
    const auto* parseError = dynamic_cast<const platform::EXmlParseError*>(e.InnerException());
    ASSERT_NE(parseError, nullptr);
    EXPECT_EQ(e.Message(),
              "Ошибка при загрузке файла \"" + Path("o.xml") + "\"\r\n" + parseError->Message());
  }

  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  writer->OpenSubkey("Key")->WriteInteger("B", 2, 0);
  EXPECT_EQ(Read("o.xml"), "<Options><Key A=\"1\"></Options>");
  writer->Save();
  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(root.Name(), "Options");
  EXPECT_EQ(ChildNames(root), TNames{"Key"});
  EXPECT_EQ(root.Child("Key").Attributes(), (TAttributes{{"B", "2"}}));
}

TEST_F(XmlOptionsStorageTest, WriterDoesNotReplaceAFileItCannotRead) {
  Write("o.xml", "<Options Keep=\"1\"/>");
  const auto lock = platform::OpenFile(Path("o.xml"), platform::TFileOpenMode::OpenReadWrite,
                                       platform::TFileShare::Exclusive);
  try {
    platform::OpenFile(Path("o.xml"), platform::TFileOpenMode::OpenRead);
    GTEST_SKIP() << "this system does not lock files against reading";
  } catch (const EOSError&) {
  }
  try {
    TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
    ADD_FAILURE() << "opened";
  } catch (const EInvalidXMLFile& e) {
    EXPECT_NE(dynamic_cast<const EOSError*>(e.InnerException()), nullptr);
  }
}

TEST_F(XmlOptionsStorageTest, SubkeyNamesInDocumentOrder) {
  Write("o.xml", "<Options>\n  <B/>\n  <A/>\n  <!-- c -->\n  <B/>\n  <C>text</C>\n</Options>");
  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  EXPECT_EQ(reader->GetSubkeyNames(), (TNames{"B", "A", "#comment", "B", "C"}));
  EXPECT_EQ(reader->OpenSubkey("C")->GetSubkeyNames(), TNames{"#text"});
}

TEST_F(XmlOptionsStorageTest, WritersOfOneFileShareTheDocument) {
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("o.xml"), false);
  const auto first = writer->OpenSubkey("First");
  const auto second = writer->OpenSubkey("Second");
  first->WriteInteger("A", 1, 0);
  second->WriteInteger("B", 2, 0);
  first->OpenSubkey("Inner")->Clear();
  second->Save();

  const TXmlNode root = Root("o.xml");
  EXPECT_EQ(ChildNames(root), (TNames{"First", "Second"}));
  EXPECT_EQ(ChildNames(root.Child("First")), TNames{"Inner"});

  const auto reader = TOptionsStorageFactory::CreateReader(Path("o.xml"));
  const auto firstReader = reader->OpenSubkey("First");
  EXPECT_EQ(firstReader->ReadInteger("A", 0), 1);
  EXPECT_EQ(reader->OpenSubkey("Second")->ReadInteger("B", 0), 2);
}

TEST_F(XmlOptionsStorageTest, FakeReaderReadsDefaults) {
  const TIntfPtr<IOptionsReader> reader(New<TFakeOptionsReader>());
  EXPECT_TRUE(reader->IsEmpty());
  EXPECT_EQ(reader->ReadString("A", "d"), "d");
  EXPECT_TRUE(reader->OpenSubkey("A")->IsEmpty());
  EXPECT_NE(Supports<IOptionsReader>(reader), nullptr);
  EXPECT_EQ(Supports<IOptionsWriter>(reader), nullptr);
}

// Files written by the other build's XML implementation: MSXML under Wine, libxml2 on Linux.
// Both hold what WriteSample writes; floats are left out, as their form follows the writer's
// locale.
void WriteSample(IOptionsWriter& writer) {
  writer.WriteString("Caption", "Калвор \"Сметы\" <&>", "");
  writer.WriteString("Lines", "first\r\nsecond\ttab", "");
  writer.WriteInteger("Count", -42, 0);
  writer.WriteBoolean("Enabled", true);
  const auto items = writer.OpenSubkey("Connections");
  for (const char* caption : {"Сервер", "Folder"}) {
    items->OpenSubkey("Item\\Caption")->WriteString(caption, "1", "");
    items->OpenSubkey(caption)->WriteString("Name", caption, "");
  }
}

void ExpectSample(IOptionsReader& reader) {
  EXPECT_EQ(reader.ReadString("Caption", ""), "Калвор \"Сметы\" <&>");
  EXPECT_EQ(reader.ReadString("Lines", ""), "first\r\nsecond\ttab");
  EXPECT_EQ(reader.ReadInteger("Count", 0), -42);
  EXPECT_TRUE(reader.ReadBoolean("Enabled", false));
  const auto items = reader.OpenSubkey("Connections");
  EXPECT_EQ(items->GetSubkeyNames(), (TNames{"Item", "Сервер", "Folder"}));
  EXPECT_EQ(items->OpenSubkey("Сервер")->ReadString("Name", ""), "Сервер");
  EXPECT_TRUE(items->OpenSubkey("Item\\Caption")->ValueExists("Folder"));
}

TEST_F(XmlOptionsStorageTest, SampleRoundTripsThroughAFile) {
  const auto writer = TOptionsStorageFactory::CreateWriter(Path("sample.xml"), true);
  WriteSample(*writer);
  writer->Save();
  ExpectSample(*TOptionsStorageFactory::CreateReader(Path("sample.xml")));
}

TEST_F(XmlOptionsStorageTest, FilesWrittenByEitherXmlImplementationAreRead) {
  const std::string folder = ExtractFilePath(platform::ProgramFileName());
  for (const char* fixture : {"written-by-msxml.xml", "written-by-libxml2.xml"}) {
    SCOPED_TRACE(fixture);
    ASSERT_TRUE(platform::FileExists(folder + fixture));
    ExpectSample(*TOptionsStorageFactory::CreateReader(folder + fixture));
  }
}

}  // namespace
}  // namespace kv
