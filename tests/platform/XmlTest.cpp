#include "platform/Xml.h"

#include <gtest/gtest.h>

#include "base/Format.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using TAttributes = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> Names(const TXmlNodeList& nodes) {
  std::vector<std::string> names;
  for (const auto& node : nodes) {
    names.push_back(node.Name());
  }
  return names;
}

std::vector<std::string> Texts(const TXmlNodeList& nodes) {
  std::vector<std::string> texts;
  for (const auto& node : nodes) {
    texts.push_back(node.Text());
  }
  return texts;
}

// The file's lines without their line breaks, whichever the backend writes.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

class XmlTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return FFolder.Path(name); }
  std::string ReadBytes(const std::string& name) const { return test::ReadFileBytes(Path(name)); }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    test::WriteFileBytes(Path(name), bytes);
  }

  test::TTempFolder FFolder;
};

TEST_F(XmlTest, NewDocumentIsSavedIn1251WithNewElementsOnLinesOfTheirOwn) {
  TXmlDocument doc = TXmlDocument::Create();
  EXPECT_FALSE(doc.DocumentElement());
  TXmlNode root = doc.SetDocumentElement("Options");
  root.SetAttribute("Caption", "Сметы");
  TXmlNode first = root.AppendChild("First");
  first.AppendChild("Inner");
  root.AppendChild("Second").SetAttribute("Value", "1");
  doc.Save(Path("doc.xml"));

  const std::string bytes = ReadBytes("doc.xml");
  EXPECT_EQ(Lines(bytes), (std::vector<std::string>{
                              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>",
                              "<Options Caption=\"" + EncodeCodePage(1251, "Сметы") + "\">",
                              "  <First>",
                              "    <Inner/>",
                              "  </First>",
                              "  <Second Value=\"1\"/>",
                              "</Options>",
                          }));

  const TXmlDocument loaded = TXmlDocument::LoadFromFile(Path("doc.xml"));
  EXPECT_EQ(loaded.DocumentElement().Attribute("Caption"), "Сметы");
  EXPECT_EQ(Names(loaded.DocumentElement().Children()),
            (std::vector<std::string>{"First", "Second"}));
}

TEST_F(XmlTest, DeclaredEncodingIsKept) {
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Options A=\"Калвор\"/>";
  TXmlDocument doc = TXmlDocument::LoadFromBytes(utf8);
  doc.DocumentElement().SetAttribute("B", "Ёж");
  doc.Save(Path("doc.xml"));

  const std::string bytes = ReadBytes("doc.xml");
  EXPECT_NE(bytes.find("encoding=\"UTF-8\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("A=\"Калвор\" B=\"Ёж\""), std::string::npos) << bytes;
}

TEST_F(XmlTest, DocumentWithoutDeclarationIsGiven1251) {
  WriteBytes("doc.xml", "<Options A=\"Калвор\"/>");
  TXmlDocument doc = TXmlDocument::LoadFromFile(Path("doc.xml"));
  doc.Save(Path("doc.xml"));

  const std::string bytes = ReadBytes("doc.xml");
  EXPECT_NE(bytes.find("encoding=\"windows-1251\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find(EncodeCodePage(1251, "A=\"Калвор\"")), std::string::npos) << bytes;
}

TEST_F(XmlTest, SaveNeverWritesAFileThatDoesNotLoad) {
  WriteBytes("doc.xml", "<Old/>");
  TXmlDocument control = TXmlDocument::Create();
  control.SetDocumentElement("Options").SetAttribute("A", "\x01");
  EXPECT_THROW(control.Save(Path("doc.xml")), EXmlSaveError);
  EXPECT_EQ(ReadBytes("doc.xml"), "<Old/>");

  TXmlDocument utf7;
  try {
    utf7 = TXmlDocument::LoadFromBytes("<?xml version=\"1.0\" encoding=\"UTF-7\"?><Options/>");
  } catch (const EXmlParseError&) {
    return;  // refused already
  }
  EXPECT_THROW(utf7.Save(Path("doc.xml")), EXmlSaveError);
  EXPECT_EQ(ReadBytes("doc.xml"), "<Old/>");
}

TEST_F(XmlTest, AttributeValuesRoundTripThroughAFile) {
  const TAttributes written = {
      {"Zeta", "последний по алфавиту"},
      {"Alpha", ""},
      {"Markup", "<a href=\"x\">&amp; 'y'</a>"},
      {"Breaks", "tab\there\nline\r\nend"},
      {"Spaces", "  padded  "},
      // Outside the 1251 code page.
      {"Foreign", "中文 ő €"},
  };
  TXmlDocument doc = TXmlDocument::Create();
  TXmlNode root = doc.SetDocumentElement("Options");
  for (const auto& [name, value] : written) {
    root.SetAttribute(name, value);
  }
  root.SetAttribute("Zeta", "последний");
  doc.Save(Path("doc.xml"));

  TAttributes expected = written;
  expected[0].second = "последний";
  const TXmlNode loaded = TXmlDocument::LoadFromFile(Path("doc.xml")).DocumentElement();
  EXPECT_EQ(loaded.Attributes(), expected);
  EXPECT_EQ(loaded.Attribute("Alpha"), "");
  EXPECT_EQ(loaded.Attribute("Missing"), std::nullopt);
}

TEST_F(XmlTest, ElementsAttributesAndText) {
  TXmlDocument doc = TXmlDocument::LoadFromBytes(
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
      "<Root A=\"1\">\n"
      "  <!-- note -->\n"
      "  <Item>first <b>bold</b> end</Item>\n"
      "  <Item><![CDATA[<raw>]]></Item>\n"
      "  <Empty/>\n"
      "  <Spaced>   </Spaced>\n"
      "</Root>\n");
  TXmlNode root = doc.DocumentElement();
  EXPECT_EQ(root.Name(), "Root");
  EXPECT_EQ(Names(root.Children()),
            (std::vector<std::string>{"#comment", "Item", "Item", "Empty", "Spaced"}));
  EXPECT_EQ(root.Child("Item").Text(), "first bold end");
  EXPECT_EQ(Names(root.Child("Item").Children()),
            (std::vector<std::string>{"#text", "b", "#text"}));
  EXPECT_EQ(root.Children()[2].Text(), "<raw>");
  EXPECT_EQ(root.Children()[0].Text(), " note ");
  EXPECT_EQ(root.Child("Empty").Text(), "");
  EXPECT_TRUE(root.Child("Spaced").Children().empty());
  EXPECT_FALSE(root.Child("item"));

  TXmlNode item = root.Child("Item");
  item.SetAttribute("X", "x");
  item.RemoveAll();
  EXPECT_TRUE(item.Children().empty());
  EXPECT_TRUE(item.Attributes().empty());
  root.RemoveAttribute("A");
  root.RemoveAttribute("Absent");
  EXPECT_EQ(root.Attribute("A"), std::nullopt);
}

TEST_F(XmlTest, NewNamesHaveNoPrefix) {
  TXmlNode root = TXmlDocument::Create().SetDocumentElement("Options");
  for (const std::string name : {"", "a b", "1a", "a<b", "d:x", "#text", "\xFF"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(root.AppendChild(name), EOleSysError);
    EXPECT_THROW(root.SetAttribute(name, "1"), EOleSysError);
  }
  for (const std::string name : {"Сметы", "_a", "a-b.c1", "\xF0\x90\x80\x80"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(root.AppendChild(name).Name(), name);
    root.SetAttribute(name, "1");
  }
  EXPECT_EQ(root.Attributes().size(), 4u);
}

TEST_F(XmlTest, NullNodeAnswersNothing) {
  const TXmlNode null = TXmlDocument::LoadFromBytes("<Root/>").DocumentElement().Child("None");
  EXPECT_FALSE(null);
  EXPECT_EQ(null.Name(), "");
  EXPECT_EQ(null.Text(), "");
  EXPECT_EQ(null.Attribute("A"), std::nullopt);
  EXPECT_TRUE(null.Attributes().empty());
  EXPECT_TRUE(null.Children().empty());
  EXPECT_FALSE(null.Child("A").Child("B"));
  EXPECT_FALSE(null.SelectSingleNode("*"));
  EXPECT_TRUE(null.SelectNodes("*").empty());
  TXmlNode writable = null;
  EXPECT_THROW(writable.AppendChild("A"), EInvalidOperation);
  EXPECT_THROW(writable.SetAttribute("A", "1"), EInvalidOperation);
}

TEST_F(XmlTest, NodesOutliveTheirDocumentHandleAndRemoval) {
  TXmlNode child;
  {
    TXmlDocument doc = TXmlDocument::LoadFromBytes("<Root><Child A=\"1\"/></Root>");
    child = doc.DocumentElement().Child("Child");
    doc.DocumentElement().RemoveAll();
  }
  EXPECT_EQ(child.Name(), "Child");
  EXPECT_EQ(child.Attribute("A"), "1");
}

TEST_F(XmlTest, LoadReplacesTheContentForEveryHandle) {
  WriteBytes("doc.xml", "<Loaded/>");
  WriteBytes("bad.xml", "<Broken>");
  TXmlDocument doc = TXmlDocument::Create();
  doc.SetDocumentElement("Options");
  TXmlDocument shared = doc;

  EXPECT_THROW(shared.Load(Path("bad.xml")), EXmlParseError);
  EXPECT_EQ(doc.DocumentElement().Name(), "Options");
  shared.Load(Path("doc.xml"));
  EXPECT_EQ(doc.DocumentElement().Name(), "Loaded");
  EXPECT_THROW(shared.Load(Path("missing.xml")), EOSError);
}

TEST_F(XmlTest, ParseErrorCarriesTheParsersMessage) {
  const std::string bad[] = {
      "<Root>\n<Open>\n</Root>",
      "",
      "<Root/><Second/>",
      "<Root a=\"1\" a=\"2\"/>",
  };
  for (const auto& bytes : bad) {
    SCOPED_TRACE(bytes);
    try {
      TXmlDocument::LoadFromBytes(bytes);
      ADD_FAILURE() << "parsed";
    } catch (const EXmlParseError& e) {
      EXPECT_FALSE(e.Message().empty());
    }
  }
}

// Every document is untrusted: a document type declaration is refused before anything it
// declares is read or expanded, so no local file gets into the document and nothing grows; so is
// nesting deeper than the parser's limit.
TEST_F(XmlTest, UntrustedDocumentsAreRefused) {
  WriteBytes("secret.txt", "top secret");
  WriteBytes("secret.dtd", "<!ENTITY e \"top secret\">");
  std::string laughs = "<!ENTITY l0 \"lol lol lol lol lol lol lol lol lol lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += Format("<!ENTITY l%d \"", i);
    for (int j = 0; j < 10; ++j) {
      laughs += Format("&l%d;", i - 1);
    }
    laughs += "\">";
  }
  std::string nested;
  for (int i = 0; i < 5000; ++i) {
    nested += "<a>";
  }
  for (int i = 0; i < 5000; ++i) {
    nested += "</a>";
  }
  const std::string documents[] = {
      "<!DOCTYPE r [<!ENTITY e SYSTEM \"" + Path("secret.txt") + "\">]><r>&e;</r>",
      "<!DOCTYPE r SYSTEM \"" + Path("secret.dtd") + "\"><r>&e;</r>",
      "<!DOCTYPE r [" + laughs + "]><r>&l9;</r>",
      "<?xml version=\"1.0\"?><!DOCTYPE r><r/>",
      nested,
  };
  for (const std::string& bytes : documents) {
    SCOPED_TRACE(bytes.substr(0, 120));
    try {
      const TXmlDocument doc = TXmlDocument::LoadFromBytes(bytes);
      ADD_FAILURE() << "loaded: " << doc.DocumentElement().Text().substr(0, 100);
    } catch (const EXmlParseError& e) {
      EXPECT_EQ(e.Message().find("top secret"), std::string::npos);
    }
    WriteBytes("doc.xml", bytes);
    EXPECT_THROW(TXmlDocument::LoadFromFile(Path("doc.xml")), EXmlParseError);
  }

  std::string shallow;
  for (int i = 0; i < 100; ++i) {
    shallow += "<a>";
  }
  shallow += "text";
  for (int i = 0; i < 100; ++i) {
    shallow += "</a>";
  }
  EXPECT_EQ(TXmlDocument::LoadFromBytes(shallow).DocumentElement().Text(), "text");
}

// Copies keep what the source holds, wherever it came from: attributes in order, content, comments
// and processing instructions, namespaces; a renamed copy keeps all but its name.
TEST_F(XmlTest, CopiesFromAnotherDocumentKeepTheirContent) {
  const TXmlDocument source = TXmlDocument::LoadFromBytes(
      "<Source xmlns:x=\"urn:x\"><!-- note --><?keep data?>"
      "<Entry B=\"2\" A=\"Сметы &amp; &lt;1&gt;\" x:C=\"3\"><Inner>text</Inner><x:Tagged/></Entry>"
      "<x:Foreign/></Source>");
  const TXmlNodeList nodes = source.DocumentElement().Children();
  ASSERT_EQ(nodes.size(), 4u);

  TXmlDocument doc = TXmlDocument::Create();
  TXmlNode root = doc.SetDocumentElement("Options");
  TXmlNode list = root.AppendChild("List");
  for (const TXmlNode& node : nodes) {
    list.AppendCopy(node);
  }
  const TXmlNode renamed = list.AppendCopy(nodes[2], "Connection_1");
  EXPECT_EQ(renamed.Name(), "Connection_1");
  EXPECT_THROW(list.AppendCopy(nodes[2], "a b"), EOleSysError);
  EXPECT_THROW(list.AppendCopy(TXmlNode()), EInvalidOperation);
  doc.Save(Path("doc.xml"));

  const TXmlNode saved =
      TXmlDocument::LoadFromFile(Path("doc.xml")).DocumentElement().Child("List");
  EXPECT_EQ(Names(saved.Children()),
            (std::vector<std::string>{"#comment", "keep", "Entry", "x:Foreign", "Connection_1"}));
  for (const char* name : {"Entry", "Connection_1"}) {
    SCOPED_TRACE(name);
    const TXmlNode entry = saved.Child(name);
    EXPECT_EQ(entry.Attributes(), (TAttributes{{"B", "2"}, {"A", "Сметы & <1>"}, {"x:C", "3"}}));
    EXPECT_EQ(Names(entry.Children()), (std::vector<std::string>{"Inner", "x:Tagged"}));
    EXPECT_EQ(entry.Child("Inner").Text(), "text");
    EXPECT_EQ(entry.Child("x:Tagged").NamespaceURI(), "urn:x");
  }
  EXPECT_EQ(saved.Child("x:Foreign").NamespaceURI(), "urn:x");
  EXPECT_EQ(saved.Children()[0].Text(), " note ");
  EXPECT_EQ(saved.Children()[1].Text(), "data");
}

TEST_F(XmlTest, XPathSelectsInDocumentOrderRelativeToANode) {
  const TXmlNode root = TXmlDocument::LoadFromBytes(
                            "<Root><A n=\"1\"><B n=\"2\"/></A><B n=\"3\"/><A n=\"4\"/></Root>")
                            .DocumentElement();
  EXPECT_EQ(Texts(root.SelectNodes("//@n")), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(Texts(root.SelectNodes("//B/@n | //A/@n")),
            (std::vector<std::string>{"1", "2", "3", "4"}));
  const TXmlNode a = root.SelectSingleNode("A");
  EXPECT_EQ(a.Attribute("n"), "1");
  EXPECT_EQ(a.SelectSingleNode("B").Attribute("n"), "2");
  EXPECT_EQ(a.SelectSingleNode("@n").Name(), "n");
  EXPECT_EQ(Texts(a.SelectNodes("../A/@n")), (std::vector<std::string>{"1", "4"}));
  EXPECT_FALSE(root.SelectSingleNode("C"));
  EXPECT_TRUE(root.SelectNodes("C").empty());
  EXPECT_THROW(root.SelectNodes("A["), EOleSysError);
}

TEST_F(XmlTest, NamespacesBindWhateverPrefixTheDocumentUses) {
  const char* documents[] = {
      "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/a</D:href></D:response>"
      "<D:response><D:href>/b</D:href></D:response></D:multistatus>",
      "<multistatus xmlns=\"DAV:\"><response><href>/a</href></response>"
      "<response><href>/b</href></response></multistatus>",
      "<x:multistatus xmlns:x=\"DAV:\" xmlns:d=\"urn:other\"><x:response><x:href>/a</x:href>"
      "<d:href>other</d:href></x:response><x:response><x:href>/b</x:href></x:response>"
      "</x:multistatus>",
  };
  const std::string namespaces = "xmlns:d=\"DAV:\" xmlns:o='urn:unused'";
  for (const char* text : documents) {
    SCOPED_TRACE(text);
    const TXmlNode root = TXmlDocument::LoadFromBytes(text).DocumentElement();
    const TXmlNodeList responses = root.SelectNodes("//d:response", namespaces);
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0].LocalName(), "response");
    EXPECT_EQ(responses[0].NamespaceURI(), "DAV:");
    EXPECT_EQ(responses[1].SelectSingleNode("d:href", namespaces).Text(), "/b");
    EXPECT_EQ(Texts(root.SelectNodes("d:response/d:href", namespaces)),
              (std::vector<std::string>{"/a", "/b"}));
    // The bindings hold for one query only.
    EXPECT_THROW(root.SelectNodes("//d:response"), EOleSysError);
  }
}

}  // namespace
}  // namespace kv::platform
