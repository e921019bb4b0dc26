#include "options/Common.XMLUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Text.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

TXmlNode Element(const std::string& xml) {
  return LoadXMLFromBytes(xml).DocumentElement();
}

// The attribute A holding the text.
TXmlNode WithA(const std::string& text) {
  TXmlNode node = TXmlDocument::Create().SetDocumentElement("Key");
  node.SetAttribute("A", text);
  return node;
}

template <class Call>
std::string MessageOf(Call call) {
  try {
    call();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no exception";
}

TEST(XMLUtilsTest, IntegerReadRules) {
  const struct {
    std::string Text;
    int32_t Expected;
  } cases[] = {
      {"-1", -1},        {"42", 42},         {"+3", 3},  {" 7 ", 7},   {"2147483647", 2147483647},
      {"2147483648", 5}, {"-2147483649", 5}, {"1.5", 5}, {"12abc", 5}, {"abc", 5},
      {"", 5},           {"0x10", 5},        {"--1", 5}, {"+-1", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ReadAttributeInteger(WithA(c.Text), "A", 5), c.Expected);
  }
  EXPECT_EQ(ReadAttributeInteger(WithA("1"), "B", 5), 5);
  EXPECT_EQ(ReadAttributeInteger(TXmlNode(), "A", 5), 5);
}

TEST(XMLUtilsTest, BooleanReadRules) {
  const std::string point = platform::DecimalSeparator();
  const struct {
    std::string Text;
    bool Expected;
  } cases[] = {
      {"true", true},   {"TRUE", true},
      {"False", false}, {"false", false},
      {"1", true},      {"0", false},
      {"-2", true},     {"0" + point + "0", false},
      {" 0 ", false},   {"0" + point + "5", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(ReadAttributeBoolean(WithA(c.Text), "A", !c.Expected), c.Expected);
  }
  for (const std::string text : {"yes", "", "truth", "1a"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(MessageOf([&] { ReadAttributeBoolean(WithA(text), "A", false); }),
              "Could not convert variant of type (String) into type (Boolean)");
    EXPECT_THROW(ReadAttributeBoolean(WithA(text), "A", false), EConvertError);
  }
  EXPECT_TRUE(ReadAttributeBoolean(WithA("0"), "B", true));
  EXPECT_TRUE(ReadAttributeBoolean(TXmlNode(), "A", true));
}

TEST(XMLUtilsTest, FloatsRoundTripInTheUsersNumberFormat) {
  const double values[] = {0,
                           1.5,
                           -2.25,
                           0.1 + 0.2,
                           1e300,
                           5e-324,
                           123456789.123456789,
                           -0.001,
                           std::numeric_limits<double>::max()};
  for (const double value : values) {
    SCOPED_TRACE(value);
    TXmlNode node = TXmlDocument::Create().SetDocumentElement("Key");
    WriteAttributeFloat(node, "A", value);
    const std::string text = *node.Attribute("A");
    if (value != std::trunc(value) && std::abs(value) > 1e-4 && std::abs(value) < 1e15) {
      EXPECT_NE(text.find(platform::DecimalSeparator()), std::string::npos) << text;
    }
    EXPECT_EQ(ReadAttributeFloat(node, "A", 7), value) << text;
  }
  const std::string otherPoint = platform::DecimalSeparator() == "." ? "1,5" : "1.5";
  for (const std::string& text :
       {std::string("abc"), std::string(), otherPoint, std::string("1e5000")}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ReadAttributeFloat(WithA(text), "A", 7), 7);
  }
  EXPECT_EQ(ReadAttributeFloat(WithA("1" + platform::DecimalSeparator() + "25"), "A", 7), 1.25);
  EXPECT_EQ(ReadAttributeFloat(TXmlNode(), "A", 7), 7);
}

TEST(XMLUtilsTest, StringReadsAndRequiredAttributes) {
  const TXmlNode node = Element("<Connection Id=\"7\" Empty=\"\"/>");
  EXPECT_EQ(ReadAttributeString(node, "Id", "d"), "7");
  EXPECT_EQ(ReadAttributeString(node, "Empty", "d"), "");
  EXPECT_EQ(ReadAttributeString(node, "Missing", "d"), "d");
  EXPECT_EQ(ReadAttributeString(TXmlNode(), "Id", "d"), "d");
  EXPECT_EQ(ReadNodeText(Element("<A>text<B>more</B></A>"), "d"), "textmore");
  EXPECT_EQ(ReadNodeText(TXmlNode(), "d"), "d");

  EXPECT_EQ(ReadRequiredAttribute(node, "Id", true), "7");
  EXPECT_EQ(ReadRequiredAttribute(node, "Missing", false), "");
  EXPECT_EQ(ReadRequiredAttribute(TXmlNode(), "Id", false), "");
  for (const char* name : {"Missing", "Empty"}) {
    EXPECT_THROW(ReadRequiredAttribute(node, name, true), EInvalidXMLData);
  }
  EXPECT_EQ(MessageOf([&] { ReadRequiredAttribute(node, "Missing", true); }),
            "Обязательный параметр \"Missing\" отсутствует в узле \"Connection\"");
}

TEST(XMLUtilsTest, WritesFollowTheirDefaults) {
  TXmlNode node = TXmlDocument::Create().SetDocumentElement("Key");
  WriteAttributeString(node, "Same", "x", "x");
  WriteAttributeString(node, "Text",
                       "a\x01"
                       "b\tc",
                       "");
  WriteAttributeInteger(node, "Zero", 0, 0);
  WriteAttributeInteger(node, "Number", 0, 5);
  WriteAttributeBoolean(node, "Yes", true);
  WriteAttributeBoolean(node, "No", false);
  EXPECT_EQ(node.Attributes(),
            (std::vector<std::pair<std::string, std::string>>{
                {"Text", "ab\tc"}, {"Number", "0"}, {"Yes", "true"}, {"No", "false"}}));
}

TEST(XMLUtilsTest, RemoveInvalidXMLChars) {
  std::string all;
  for (int c = 0; c < 32; ++c) {
    all += static_cast<char>(c);
  }
  EXPECT_EQ(RemoveInvalidXMLChars(all + "Калвор" + "\x7F"), "\t\n\rКалвор\x7F");
  EXPECT_EQ(RemoveInvalidXMLChars("a\uFFFE\uFFFFb\uFFFD\uFEFF"), "ab\uFFFD\uFEFF");
  EXPECT_EQ(RemoveInvalidXMLChars(""), "");
}

TEST(XMLUtilsTest, SelectionAndItsErrors) {
  const TXmlNode root = Element(
      "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/a</d:href></d:response>"
      "<d:response/></d:multistatus>");
  const std::string dav = "xmlns:d=\"DAV:\"";
  EXPECT_EQ(SelectNodes(root, "d:response", dav).size(), 2u);
  EXPECT_EQ(SelectRequiredNode(root, "d:response/d:href", dav).Text(), "/a");
  EXPECT_FALSE(SelectNode(root, "d:propstat", dav));
  EXPECT_TRUE(SelectNodes(TXmlNode(), "d:response", dav).empty());
  EXPECT_THROW(SelectRequiredNode(root, "d:propstat", dav), EXMLNodeNotFound);
  EXPECT_EQ(MessageOf([&] { SelectRequiredNode(root, "d:propstat", dav); }),
            "Не найден узел по XPath запросу \"d:propstat\"");
}

TEST(XMLUtilsTest, RootNameCheckAndFileErrors) {
  EXPECT_NO_THROW(CheckValidXMLRoot("options", "Options"));
  EXPECT_NO_THROW(CheckValidXMLRoot("НАСТРОЙКИ", "Настройки"));
  EXPECT_THROW(CheckValidXMLRoot("Connections", "Options"), EInvalidXMLFile);
  EXPECT_EQ(MessageOf([] { CheckValidXMLRoot("Connections", "Options"); }),
            "Считано имя корневого узла \"Connections\", ожидалось \"Options\"");
  EXPECT_EQ(EInvalidXMLFile::Create4FileName("C:\\a.xml").Message(),
            "Файл \"C:\\a.xml\" имеет некорректный формат");
  EXPECT_EQ(EInvalidXMLFile::EmptyData().Message(), "Отсутствуют данные в XML-документе");
}

TEST(XMLUtilsTest, LoadFailuresNameTheFileAndKeepTheCause) {
  const test::TTempFolder folder;
  const std::string damaged = folder.Path("Сметы.xml");
  test::WriteFileBytes(damaged, "<Options><Key></Options>");

  for (const std::string& file : {damaged, folder.Path("missing.xml")}) {
    SCOPED_TRACE(file);
    try {
      LoadXMLFile(file);
      ADD_FAILURE() << "loaded";
    } catch (const EInvalidXMLFile& e) {
      ASSERT_NE(e.InnerException(), nullptr);
      EXPECT_EQ(e.Message(),
                "Ошибка при загрузке файла \"" + file + "\"\r\n" + e.InnerException()->what());
      const bool parseError =
          dynamic_cast<const platform::EXmlParseError*>(e.InnerException()) != nullptr;
      EXPECT_EQ(parseError, file == damaged);
    }
  }

  TXmlDocument doc = TXmlDocument::Create();
  EXPECT_THROW(LoadXMLIntoDocument(doc, damaged), EInvalidXMLFile);
  test::WriteFileBytes(damaged, "<Options A=\"1\"/>");
  LoadXMLIntoDocument(doc, damaged);
  EXPECT_EQ(doc.DocumentElement().Attribute("A"), "1");
  EXPECT_EQ(LoadXMLFile(damaged).DocumentElement().Name(), "Options");
}

TEST(XMLUtilsTest, ExceptionMappingOnlyInsideAHandler) {
  EXPECT_THROW(HandleInvalidMSXMLVersionError(), EAssertionFailed);
  EXPECT_NE(MessageOf([] { HandleInvalidMSXMLVersionError(); })
                .find("Функцию HandleInvalidMSXMLVersionError нужно вызывать ТОЛЬКО в except "
                      "блоке (lib\\Common\\Common.XMLUtils, line "),
            std::string::npos);
  EXPECT_NE(MessageOf([] { HandleLoadXmlFileError("a.xml"); })
                .find("Функцию HandleLoadXmlFileError нужно вызывать ТОЛЬКО в except блоке "
                      "(lib\\Common\\Common.XMLUtils, line "),
            std::string::npos);

  const auto mapped = [](auto raise) {
    return MessageOf([&] {
      try {
        raise();
      } catch (...) {
        HandleInvalidMSXMLVersionError();
        throw std::runtime_error("passed");
      }
    });
  };
  const std::string wrong = mapped(
      [] { throw platform::EOleSysError("Unspecified error", platform::EOleSysError::kFail); });
  EXPECT_EQ(wrong.rfind("Для работы требуется установленный Microsoft XML 3.0 или выше.\r\n"
                        "Детальное описание ошибки можно прочитать по данной ссылке http",
                        0),
            0u)
      << wrong;
  EXPECT_EQ(mapped([] {
              throw platform::EOleSysError("No interface", static_cast<int32_t>(0x80004002u));
            }),
            "passed");
  EXPECT_EQ(mapped([] { throw Exception("other"); }), "passed");

  try {
    throw 42;
  } catch (...) {
    try {
      HandleLoadXmlFileError("a.xml");
    } catch (const EInvalidXMLFile& e) {
      EXPECT_EQ(e.Message(), "Ошибка при загрузке файла \"a.xml\"");
    }
  }
}

TEST(XMLUtilsTest, NodeListEnumerableFiltersByLocalName) {
  const TXmlNode root =
      Element("<r xmlns:x=\"urn:x\"><a n=\"1\"/><x:a n=\"2\"/><b n=\"3\"/><a n=\"4\"/>text</r>");
  const auto attributes = [](const TXMLNodeListEnumerable& nodes) {
    std::vector<std::string> result;
    for (const TXmlNode& node : nodes) {
      result.push_back(node.Attribute("n").value_or(node.Name()));
    }
    return result;
  };
  EXPECT_EQ(attributes(TXMLNodeListEnumerable::Create(root.Children(), "a")),
            (std::vector<std::string>{"1", "2", "4"}));
  EXPECT_EQ(attributes(TXMLNodeListEnumerable::Create(root.Children(), "")),
            (std::vector<std::string>{"1", "2", "3", "4", "#text"}));
  EXPECT_TRUE(attributes(TXMLNodeListEnumerable::Create(root.Children(), "c")).empty());
  EXPECT_TRUE(attributes(TXMLNodeListEnumerable::Create({}, "")).empty());
  EXPECT_TRUE(attributes(TXMLNodeListEnumerable::CreateEmpty()).empty());

  auto enumerator = TXMLNodeListEnumerable::Create(root.Children(), "b").GetEnumerator();
  ASSERT_TRUE(enumerator.MoveNext());
  EXPECT_EQ(enumerator.Current().Attribute("n"), "3");
  EXPECT_FALSE(enumerator.MoveNext());
  EXPECT_FALSE(enumerator.MoveNext());
}

}  // namespace
}  // namespace kv
