#include "platform/Xml.h"

#include "platform/win32/Com.h"

#include <msxml2.h>

#include <cctype>
#include <cstring>
#include <cwctype>

#include "platform/Files.h"

namespace kv::platform {
using win32::com_ptr;
using win32::MakeBstr;
using win32::unique_bstr;
using win32::unique_variant;

namespace {

// Declared by msxml2.h, but in no import library of mingw-w64.
constexpr CLSID kCLSID_DOMDocument30 = {
    0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kIID_IXMLDOMDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// A failed call of the XML DOM raises the DOM's own error (EOleSysError, which readers of option
// files catch), with the implementation's description when it left one, else the system's text.
void CheckDom(HRESULT result) {
  if (SUCCEEDED(result)) {
    return;
  }
  std::string message;
  com_ptr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    BSTR raw = nullptr;
    if (SUCCEEDED(info->GetDescription(&raw))) {
      const unique_bstr description(raw);
      message = win32::Narrow(description);
    }
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  throw EOleSysError(message.empty() ? ResultCodeMessage(result) : message, result);
}

// The string a getter hands out.
template <class Getter>
std::string GetString(Getter getter) {
  BSTR raw = nullptr;
  CheckDom(getter(&raw));
  const unique_bstr owned(raw);
  return raw ? win32::Narrow(owned) : std::string();
}

void SetText(unique_variant& variant, std::string_view text) {
  const std::wstring wide = win32::Wide(text);
  VARIANT* value = variant.put();
  value->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!value->bstrVal) {
    throw std::bad_alloc();
  }
  value->vt = VT_BSTR;
}

std::string VariantText(const unique_variant& variant) {
  const VARIANT& value = variant.get();
  return value.vt == VT_BSTR && value.bstrVal
             ? win32::Narrow({value.bstrVal, SysStringLen(value.bstrVal)})
             : std::string();
}

DOMNodeType NodeType(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  CheckDom(node->get_nodeType(&type));
  return type;
}

std::string NodeName(IXMLDOMNode* node) {
  return GetString([&](BSTR* out) { return node->get_nodeName(out); });
}

std::string NodeValue(IXMLDOMNode* node) {
  unique_variant value;
  CheckDom(node->get_nodeValue(value.put()));
  return VariantText(value);
}

com_ptr<IXMLDOMNode> FirstChild(IXMLDOMNode* node) {
  com_ptr<IXMLDOMNode> child;
  CheckDom(node->get_firstChild(child.put()));
  return child;
}

com_ptr<IXMLDOMNode> LastChild(IXMLDOMNode* node) {
  com_ptr<IXMLDOMNode> child;
  CheckDom(node->get_lastChild(child.put()));
  return child;
}

com_ptr<IXMLDOMNode> NextSibling(IXMLDOMNode* node) {
  com_ptr<IXMLDOMNode> sibling;
  CheckDom(node->get_nextSibling(sibling.put()));
  return sibling;
}

com_ptr<IXMLDOMNode> Parent(IXMLDOMNode* node) {
  com_ptr<IXMLDOMNode> parent;
  CheckDom(node->get_parentNode(parent.put()));
  return parent;
}

// New elements and attributes take names without a prefix, which needs no namespace declared.
void CheckName(const std::string& name) {
  if (!IsXmlNCName(name)) {
    throw EOleSysError(Format("Invalid XML name \"%s\"", name), E_FAIL);
  }
}

bool IsWhitespace(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool IsWhitespaceText(IXMLDOMNode* node) {
  return NodeType(node) == NODE_TEXT && IsWhitespace(NodeValue(node));
}

// Namespace declarations are not attributes in this interface, as in libxml2.
bool IsNamespaceDeclaration(std::string_view name) {
  return name == "xmlns" || name.starts_with("xmlns:");
}

// Text of the descendants in document order, without descending recursively: a document may nest
// deeper than the stack allows. Wine hands out a new object for every access to a node, so the
// walk counts its depth instead of comparing nodes.
std::string DescendantText(IXMLDOMNode* root) {
  std::string text;
  com_ptr<IXMLDOMNode> node = FirstChild(root);
  int depth = 1;
  while (node) {
    const DOMNodeType type = NodeType(node.get());
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
      const std::string value = NodeValue(node.get());
      if (type == NODE_CDATA_SECTION || !IsWhitespace(value)) {
        text += value;
      }
    }
    if (type == NODE_ELEMENT) {
      if (com_ptr<IXMLDOMNode> child = FirstChild(node.get())) {
        node = child;
        ++depth;
        continue;
      }
    }
    com_ptr<IXMLDOMNode> next = NextSibling(node.get());
    while (!next && --depth > 0) {
      node = Parent(node.get());
      next = NextSibling(node.get());
    }
    node = next;
  }
  return text;
}

com_ptr<IXMLDOMElement> AsElement(const com_ptr<IXMLDOMNode>& node) {
  return node.query<IXMLDOMElement>(IID_IXMLDOMElement);
}

com_ptr<IXMLDOMDocument2> OwnerDocument(IXMLDOMNode* node) {
  com_ptr<IXMLDOMDocument> owner;
  CheckDom(node->get_ownerDocument(owner.put()));
  if (!owner) {
    // The document node is its own owner.
    CheckDom(node->QueryInterface(kIID_IXMLDOMDocument2, owner.put_void()));
  }
  com_ptr<IXMLDOMDocument2> document = owner.query<IXMLDOMDocument2>(kIID_IXMLDOMDocument2);
  if (!document) {
    CheckDom(E_NOINTERFACE);
  }
  return document;
}

void SetProperty(IXMLDOMDocument2* document, const char* name, const VARIANT& value) {
  const unique_bstr property = MakeBstr(name);
  CheckDom(document->setProperty(property.get(), value));
}

void SetProperty(IXMLDOMDocument2* document, const char* name, std::string_view text) {
  unique_variant value;
  SetText(value, text);
  SetProperty(document, name, value.get());
}

// Binds the namespace prefixes of one query, and puts the document's own selection settings back
// when the query is over.
class TSelectionNamespaces {
 public:
  TSelectionNamespaces(IXMLDOMDocument2* document, const std::string& namespaces)
      : FDocument(document) {
    if (namespaces.empty()) {
      return;
    }
    GetProperty("SelectionNamespaces", FNamespaces);
    GetProperty("SelectionLanguage", FLanguage);
    FRestore = true;
    SetProperty(document, "SelectionLanguage", "XPath");
    SetProperty(document, "SelectionNamespaces", namespaces);
  }
  TSelectionNamespaces(const TSelectionNamespaces&) = delete;
  TSelectionNamespaces& operator=(const TSelectionNamespaces&) = delete;
  ~TSelectionNamespaces() {
    if (FRestore) {
      const unique_bstr namespaces = MakeBstr("SelectionNamespaces");
      const unique_bstr language = MakeBstr("SelectionLanguage");
      FDocument->setProperty(namespaces.get(), FNamespaces.get());
      FDocument->setProperty(language.get(), FLanguage.get());
    }
  }

 private:
  void GetProperty(const char* name, unique_variant& value) {
    const unique_bstr property = MakeBstr(name);
    CheckDom(FDocument->getProperty(property.get(), value.put()));
  }

  IXMLDOMDocument2* FDocument;
  unique_variant FNamespaces;
  unique_variant FLanguage;
  bool FRestore = false;
};

void SetBooleanProperty(IXMLDOMDocument2* document, const char* name, bool value) {
  unique_variant variant;
  variant.put()->vt = VT_BOOL;
  variant.get().boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  SetProperty(document, name, variant.get());
}

// Nesting deeper than libxml2 reads is refused. Wine's MSXML does not know the property (its
// parser is libxml2, with that limit); an implementation without it keeps its own behaviour.
void LimitElementDepth(IXMLDOMDocument2* document) {
  unique_variant depth;
  depth.put()->vt = VT_I4;
  depth.get().lVal = 256;
  const unique_bstr property = MakeBstr("MaxElementDepth");
  document->setProperty(property.get(), depth.get());
}

// A new document object set up as every document of ours: synchronous, not validating, every
// document untrusted (no DTD, so no entity is expanded or fetched; nesting as deep as libxml2 reads
// at most), whitespace between elements dropped, XPath selection. Wine ignores ProhibitDTD: its
// parser reads a DTD without expanding or fetching entities, and Parse refuses the document.
com_ptr<IXMLDOMDocument2> NewDocument() {
  win32::EnsureComInitialized();
  com_ptr<IXMLDOMDocument2> document;
  CheckDom(CoCreateInstance(kCLSID_DOMDocument30, nullptr, CLSCTX_INPROC_SERVER,
                            kIID_IXMLDOMDocument2, document.put_void()));
  CheckDom(document->put_async(VARIANT_FALSE));
  CheckDom(document->put_validateOnParse(VARIANT_FALSE));
  CheckDom(document->put_resolveExternals(VARIANT_FALSE));
  CheckDom(document->put_preserveWhiteSpace(VARIANT_FALSE));
  SetBooleanProperty(document.get(), "ProhibitDTD", true);
  LimitElementDepth(document.get());
  SetProperty(document.get(), "SelectionLanguage", "XPath");
  return document;
}

com_ptr<IXMLDOMDocument2> Parse(std::string_view bytes) {
  com_ptr<IXMLDOMDocument2> document = NewDocument();
  unique_variant source;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!array) {
    throw std::bad_alloc();
  }
  source.put()->parray = array;
  source.get().vt = VT_ARRAY | VT_UI1;
  if (!bytes.empty()) {
    void* data = nullptr;
    CheckDom(SafeArrayAccessData(array, &data));
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  VARIANT_BOOL loaded = VARIANT_FALSE;
  CheckDom(document->load(source.get(), &loaded));
  if (loaded != VARIANT_TRUE) {
    com_ptr<IXMLDOMParseError> error;
    CheckDom(document->get_parseError(error.put()));
    std::string reason = GetString([&](BSTR* out) { return error->get_reason(out); });
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
      reason.pop_back();
    }
    LONG line = 0;
    LONG position = 0;
    CheckDom(error->get_line(&line));
    CheckDom(error->get_linepos(&position));
    if (line > 0) {
      reason +=
          Format(" (line %d, position %d)", static_cast<int>(line), static_cast<int>(position));
    }
    throw EXmlParseError(reason);
  }
  // An implementation that ignores ProhibitDTD still never hands such a document out.
  com_ptr<IXMLDOMDocumentType> documentType;
  CheckDom(document->get_doctype(documentType.put()));
  if (documentType) {
    throw EXmlParseError("A document type declaration is not allowed");
  }
  return document;
}

com_ptr<IXMLDOMNode> NewTextNode(IXMLDOMDocument* document, std::string_view text) {
  com_ptr<IXMLDOMText> node;
  const unique_bstr data = MakeBstr(text);
  CheckDom(document->createTextNode(data.get(), node.put()));
  return node;
}

void Append(IXMLDOMNode* parent, const com_ptr<IXMLDOMNode>& child) {
  com_ptr<IXMLDOMNode> added;
  CheckDom(parent->appendChild(child.get(), added.put()));
}

void InsertBefore(IXMLDOMNode* parent, const com_ptr<IXMLDOMNode>& child, IXMLDOMNode* before) {
  unique_variant reference;
  reference.put()->vt = VT_UNKNOWN;
  reference.get().punkVal = before;
  before->AddRef();
  com_ptr<IXMLDOMNode> added;
  CheckDom(parent->insertBefore(child.get(), reference.get(), added.put()));
}

// Indentation of an element's content at the given depth, the document element's being 0.
std::string LineAndIndent(int depth) {
  return "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
}

int Depth(IXMLDOMNode* element) {
  int depth = 0;
  for (com_ptr<IXMLDOMNode> parent = Parent(element);
       parent && NodeType(parent.get()) == NODE_ELEMENT; parent = Parent(parent.get())) {
    ++depth;
  }
  return depth;
}

// The XML declaration's content with an encoding added when it declares none.
std::string WithDefaultEncoding(const std::string& declaration) {
  if (declaration.find("encoding") != std::string::npos) {
    return declaration;
  }
  const std::string encoding = "encoding=\"windows-1251\"";
  const size_t standalone = declaration.find("standalone");
  if (standalone == std::string::npos) {
    return declaration + " " + encoding;
  }
  return declaration.substr(0, standalone) + encoding + " " + declaration.substr(standalone);
}

// Gives the document an XML declaration with an encoding; returns the declaration's content.
std::string DeclareDefaultEncoding(IXMLDOMDocument2* document) {
  com_ptr<IXMLDOMNode> first = FirstChild(document);
  const bool declared = first && NodeType(first.get()) == NODE_PROCESSING_INSTRUCTION &&
                        NodeName(first.get()) == "xml";
  const std::string old = declared ? NodeValue(first.get()) : std::string();
  const std::string data = WithDefaultEncoding(declared ? old : "version=\"1.0\"");
  if (data == old) {
    return data;
  }
  com_ptr<IXMLDOMProcessingInstruction> instruction;
  const unique_bstr target = MakeBstr("xml");
  const unique_bstr content = MakeBstr(data);
  CheckDom(document->createProcessingInstruction(target.get(), content.get(), instruction.put()));
  if (declared) {
    com_ptr<IXMLDOMNode> replaced;
    CheckDom(document->replaceChild(instruction.get(), first.get(), replaced.put()));
  } else if (first) {
    InsertBefore(document, instruction, first.get());
  } else {
    Append(document, instruction);
  }
  return data;
}

// The value of the encoding in an XML declaration's content, in lower case.
std::string EncodingName(const std::string& declaration) {
  const size_t name = declaration.find("encoding");
  const size_t quote = declaration.find_first_of("\"'", name);
  if (name == std::string::npos || quote == std::string::npos) {
    return {};
  }
  std::string value =
      declaration.substr(quote + 1, declaration.find(declaration[quote], quote + 1) - quote - 1);
  for (char& c : value) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return value;
}

// The single-byte Windows code page an encoding names ("windows-1251", "cp1251"), or 0.
UINT WindowsCodePage(const std::string& encoding) {
  for (const std::string_view prefix : {"windows-", "cp"}) {
    if (encoding.starts_with(prefix) && encoding.size() == prefix.size() + 4) {
      const std::string number = encoding.substr(prefix.size());
      if (number >= "1250" && number <= "1258") {
        return static_cast<UINT>(std::stoul(number));
      }
    }
  }
  return 0;
}

// Text in the code page, with a character reference for each character the code page lacks.
std::string EncodeWithCharacterReferences(std::wstring_view text, UINT codePage) {
  std::string result(text.size(), '\0');
  BOOL lacking = FALSE;
  if (WideCharToMultiByte(
          codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), result.data(),
          static_cast<int>(result.size()), nullptr, &lacking) == static_cast<int>(text.size()) &&
      !lacking) {
    return result;
  }
  result.clear();
  for (size_t i = 0; i < text.size();) {
    const size_t length =
        IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
    char bytes[8];
    BOOL lacking = FALSE;
    const int count =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &text[i], static_cast<int>(length),
                            bytes, sizeof bytes, nullptr, &lacking);
    if (count > 0 && !lacking) {
      result.append(bytes, static_cast<size_t>(count));
    } else {
      const uint32_t codePoint =
          length == 2 ? 0x10000 + ((text[i] - 0xD800u) << 10) + (text[i + 1] - 0xDC00u) : text[i];
      result += Format("&#%u;", codePoint);
    }
    i += length;
  }
  return result;
}

std::string SaveToBytes(IXMLDOMDocument2* document) {
  com_ptr<IStream> stream;
  CheckDom(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
  unique_variant target;
  target.put()->vt = VT_UNKNOWN;
  target.get().punkVal = stream.get();
  stream->AddRef();
  CheckDom(document->save(target.get()));
  STATSTG status{};
  CheckDom(stream->Stat(&status, STATFLAG_NONAME));
  CheckDom(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr));
  std::string bytes(static_cast<size_t>(status.cbSize.QuadPart), '\0');
  ULONG read = 0;
  CheckDom(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read));
  bytes.resize(read);
  return bytes;
}

// The document in the encoding it declares. Text for a Windows code page is encoded here from
// MSXML's UTF-16 form: Wine's MSXML writes '?' for characters the code page lacks, which would
// lose them, where a character reference keeps them.
std::string Serialize(IXMLDOMDocument2* document, const std::string& declaration) {
  const UINT codePage = WindowsCodePage(EncodingName(declaration));
  if (codePage == 0) {
    return SaveToBytes(document);
  }
  BSTR raw = nullptr;
  CheckDom(document->get_xml(&raw));
  const unique_bstr owned(raw);
  std::wstring xml(raw, SysStringLen(raw));
  // MSXML's own form of the declaration may leave out the encoding.
  if (xml.starts_with(L"<?xml") && xml.size() > 5 && iswspace(xml[5])) {
    xml.erase(0, xml.find(L"?>") + 2);
  } else {
    xml.insert(0, L"\r\n");
  }
  return EncodeWithCharacterReferences(L"<?xml " + win32::Wide(declaration) + L"?>" + xml,
                                       codePage);
}

}  // namespace

struct TXmlDocument::TData {
  com_ptr<IXMLDOMDocument2> Doc;
};

struct TXmlNode::TData {
  com_ptr<IXMLDOMNode> Node;
};

namespace {

TXmlNode MakeNode(com_ptr<IXMLDOMNode> node) {
  if (!node) {
    return {};
  }
  return TXmlNode(std::make_shared<const TXmlNode::TData>(TXmlNode::TData{std::move(node)}));
}

com_ptr<IXMLDOMNode> NewElement(IXMLDOMDocument* document, const std::string& name) {
  CheckName(name);
  com_ptr<IXMLDOMElement> element;
  const unique_bstr tag = MakeBstr(name);
  CheckDom(document->createElement(tag.get(), element.put()));
  return element;
}

com_ptr<IXMLDOMElement> ElementOf(const TXmlNode::TData* data, const char* what) {
  com_ptr<IXMLDOMElement> element;
  if (data && NodeType(data->Node.get()) == NODE_ELEMENT) {
    element = AsElement(data->Node);
  }
  if (!element) {
    throw EInvalidOperation(what);
  }
  return element;
}

}  // namespace

// TXmlNode

bool TXmlNode::IsElement() const {
  return FData && NodeType(FData->Node.get()) == NODE_ELEMENT;
}

std::string TXmlNode::Name() const {
  return FData ? NodeName(FData->Node.get()) : std::string();
}

std::string TXmlNode::LocalName() const {
  if (!FData) {
    return {};
  }
  const DOMNodeType type = NodeType(FData->Node.get());
  if (type != NODE_ELEMENT && type != NODE_ATTRIBUTE) {
    return {};
  }
  return GetString([&](BSTR* out) { return FData->Node->get_baseName(out); });
}

std::string TXmlNode::NamespaceURI() const {
  if (!FData) {
    return {};
  }
  return GetString([&](BSTR* out) { return FData->Node->get_namespaceURI(out); });
}

std::string TXmlNode::Text() const {
  if (!FData) {
    return {};
  }
  IXMLDOMNode* node = FData->Node.get();
  const DOMNodeType type = NodeType(node);
  if (type == NODE_ELEMENT || type == NODE_DOCUMENT) {
    return DescendantText(node);
  }
  return NodeValue(node);
}

std::optional<std::string> TXmlNode::Attribute(const std::string& name) const {
  if (!FData || IsNamespaceDeclaration(name) || NodeType(FData->Node.get()) != NODE_ELEMENT) {
    return std::nullopt;
  }
  com_ptr<IXMLDOMAttribute> attribute;
  const unique_bstr attributeName = MakeBstr(name);
  CheckDom(AsElement(FData->Node)->getAttributeNode(attributeName.get(), attribute.put()));
  if (!attribute) {
    return std::nullopt;
  }
  return NodeValue(attribute.get());
}

void TXmlNode::SetAttribute(const std::string& name, const std::string& value) {
  const com_ptr<IXMLDOMElement> element =
      ElementOf(FData.get(), "An attribute can be set on an element only");
  CheckName(name);
  const unique_bstr attributeName = MakeBstr(name);
  unique_variant text;
  SetText(text, value);
  CheckDom(element->setAttribute(attributeName.get(), text.get()));
}

void TXmlNode::RemoveAttribute(const std::string& name) {
  if (!FData || NodeType(FData->Node.get()) != NODE_ELEMENT) {
    return;
  }
  const unique_bstr attributeName = MakeBstr(name);
  CheckDom(AsElement(FData->Node)->removeAttribute(attributeName.get()));
}

std::vector<std::pair<std::string, std::string>> TXmlNode::Attributes() const {
  std::vector<std::pair<std::string, std::string>> result;
  if (!FData || NodeType(FData->Node.get()) != NODE_ELEMENT) {
    return result;
  }
  com_ptr<IXMLDOMNamedNodeMap> attributes;
  CheckDom(FData->Node->get_attributes(attributes.put()));
  LONG count = 0;
  CheckDom(attributes->get_length(&count));
  for (LONG i = 0; i < count; ++i) {
    com_ptr<IXMLDOMNode> attribute;
    CheckDom(attributes->get_item(i, attribute.put()));
    std::string name = NodeName(attribute.get());
    if (!IsNamespaceDeclaration(name)) {
      result.emplace_back(std::move(name), NodeValue(attribute.get()));
    }
  }
  return result;
}

TXmlNodeList TXmlNode::Children() const {
  TXmlNodeList result;
  if (!FData) {
    return result;
  }
  const DOMNodeType type = NodeType(FData->Node.get());
  if (type != NODE_ELEMENT && type != NODE_DOCUMENT) {
    return result;
  }
  for (com_ptr<IXMLDOMNode> child = FirstChild(FData->Node.get()); child;
       child = NextSibling(child.get())) {
    const DOMNodeType childType = NodeType(child.get());
    // The declaration and the document type are nodes in MSXML only.
    const bool declaration =
        childType == NODE_PROCESSING_INSTRUCTION && NodeName(child.get()) == "xml";
    if (!declaration && childType != NODE_DOCUMENT_TYPE && !IsWhitespaceText(child.get())) {
      result.push_back(MakeNode(child));
    }
  }
  return result;
}

TXmlNode TXmlNode::Child(const std::string& name) const {
  if (!FData) {
    return {};
  }
  for (com_ptr<IXMLDOMNode> child = FirstChild(FData->Node.get()); child;
       child = NextSibling(child.get())) {
    if (NodeType(child.get()) == NODE_ELEMENT && NodeName(child.get()) == name) {
      return MakeNode(child);
    }
  }
  return {};
}

namespace {

// Adds node as the last child of parent, on a line of its own, indented by its depth.
void PlaceLast(IXMLDOMNode* parent, IXMLDOMDocument* document, const com_ptr<IXMLDOMNode>& node) {
  const int depth = Depth(parent);
  const com_ptr<IXMLDOMNode> indent = NewTextNode(document, LineAndIndent(depth + 1));
  // The line break before the closing tag stays last; each new child goes in front of it. The
  // indentation goes in after the node, as Wine merges text inserted next to text.
  const com_ptr<IXMLDOMNode> last = LastChild(parent);
  if (last && IsWhitespaceText(last.get())) {
    InsertBefore(parent, node, last.get());
  } else {
    Append(parent, node);
    Append(parent, NewTextNode(document, LineAndIndent(depth)));
  }
  InsertBefore(parent, indent, node.get());
}

// An element named name holding copy's attributes and, moved over, its content.
com_ptr<IXMLDOMNode> Renamed(IXMLDOMDocument* document, const com_ptr<IXMLDOMNode>& copy,
                             const std::string& name) {
  const com_ptr<IXMLDOMNode> renamed = NewElement(document, name);
  const com_ptr<IXMLDOMElement> element = AsElement(renamed);
  com_ptr<IXMLDOMNamedNodeMap> attributes;
  CheckDom(copy->get_attributes(attributes.put()));
  LONG count = 0;
  CheckDom(attributes->get_length(&count));
  for (LONG i = 0; i < count; ++i) {
    com_ptr<IXMLDOMNode> attribute;
    CheckDom(attributes->get_item(i, attribute.put()));
    const unique_bstr attributeName = MakeBstr(NodeName(attribute.get()));
    unique_variant value;
    CheckDom(attribute->get_nodeValue(value.put()));
    CheckDom(element->setAttribute(attributeName.get(), value.get()));
  }
  while (com_ptr<IXMLDOMNode> child = FirstChild(copy.get())) {
    Append(renamed.get(), child);
  }
  return renamed;
}

}  // namespace

TXmlNode TXmlNode::AppendChild(const std::string& name) {
  const com_ptr<IXMLDOMNode> parent =
      ElementOf(FData.get(), "A child element can be appended to an element only");
  const com_ptr<IXMLDOMDocument2> document = OwnerDocument(parent.get());
  const com_ptr<IXMLDOMNode> element = NewElement(document.get(), name);
  PlaceLast(parent.get(), document.get(), element);
  return MakeNode(element);
}

TXmlNode TXmlNode::AppendCopy(const TXmlNode& source, const std::string& newName) {
  const com_ptr<IXMLDOMNode> parent =
      ElementOf(FData.get(), "A copy can be appended to an element only");
  const DOMNodeType type = source.FData ? NodeType(source.FData->Node.get()) : NODE_INVALID;
  if (type != NODE_ELEMENT && type != NODE_CDATA_SECTION && type != NODE_COMMENT &&
      type != NODE_PROCESSING_INSTRUCTION) {
    throw EInvalidOperation(
        "Only elements, CDATA sections, comments and processing instructions are copied");
  }
  const bool rename = !newName.empty() && type == NODE_ELEMENT;
  if (rename) {
    CheckName(newName);
  }
  const com_ptr<IXMLDOMDocument2> document = OwnerDocument(parent.get());
  com_ptr<IXMLDOMNode> copy;
  CheckDom(source.FData->Node->cloneNode(VARIANT_TRUE, copy.put()));
  if (rename) {
    copy = Renamed(document.get(), copy, newName);
  }
  PlaceLast(parent.get(), document.get(), copy);
  return MakeNode(copy);
}

void TXmlNode::RemoveAll() {
  if (!FData || NodeType(FData->Node.get()) != NODE_ELEMENT) {
    return;
  }
  IXMLDOMNode* node = FData->Node.get();
  while (com_ptr<IXMLDOMNode> child = FirstChild(node)) {
    com_ptr<IXMLDOMNode> removed;
    CheckDom(node->removeChild(child.get(), removed.put()));
  }
  // Namespace declarations stay, as the element's own name may need them.
  const com_ptr<IXMLDOMElement> element = AsElement(FData->Node);
  for (const auto& [name, value] : Attributes()) {
    const unique_bstr attributeName = MakeBstr(name);
    CheckDom(element->removeAttribute(attributeName.get()));
  }
}

TXmlNodeList TXmlNode::SelectNodes(const std::string& xpath, const std::string& namespaces) const {
  TXmlNodeList result;
  if (!FData) {
    return result;
  }
  const com_ptr<IXMLDOMDocument2> document = OwnerDocument(FData->Node.get());
  const TSelectionNamespaces selection(document.get(), namespaces);
  com_ptr<IXMLDOMNodeList> nodes;
  const unique_bstr query = MakeBstr(xpath);
  CheckDom(FData->Node->selectNodes(query.get(), nodes.put()));
  LONG count = 0;
  CheckDom(nodes->get_length(&count));
  for (LONG i = 0; i < count; ++i) {
    com_ptr<IXMLDOMNode> node;
    CheckDom(nodes->get_item(i, node.put()));
    result.push_back(MakeNode(node));
  }
  return result;
}

TXmlNode TXmlNode::SelectSingleNode(const std::string& xpath, const std::string& namespaces) const {
  if (!FData) {
    return {};
  }
  const com_ptr<IXMLDOMDocument2> document = OwnerDocument(FData->Node.get());
  const TSelectionNamespaces selection(document.get(), namespaces);
  com_ptr<IXMLDOMNode> node;
  const unique_bstr query = MakeBstr(xpath);
  CheckDom(FData->Node->selectSingleNode(query.get(), node.put()));
  return MakeNode(node);
}

// TXmlDocument

TXmlDocument TXmlDocument::Create() {
  com_ptr<IXMLDOMDocument2> document = NewDocument();
  com_ptr<IXMLDOMProcessingInstruction> declaration;
  const unique_bstr target = MakeBstr("xml");
  const unique_bstr content = MakeBstr("version=\"1.0\"");
  CheckDom(document->createProcessingInstruction(target.get(), content.get(), declaration.put()));
  Append(document.get(), declaration);
  return TXmlDocument(std::make_shared<TData>(TData{std::move(document)}));
}

TXmlDocument TXmlDocument::LoadFromBytes(std::string_view bytes) {
  return TXmlDocument(std::make_shared<TData>(TData{Parse(bytes)}));
}

void TXmlDocument::LoadBytes(std::string_view bytes) {
  // A failed load leaves the document as it was; MSXML would empty it.
  FData->Doc = Parse(bytes);
}

void TXmlDocument::Save(const std::string& path) {
  CheckNotNull();
  IXMLDOMDocument2* document = FData->Doc.get();
  const std::string declaration = DeclareDefaultEncoding(document);
  const std::string bytes = Serialize(document, declaration);
  // What MSXML writes does not always read again: an encoding that cannot be told from the file
  // (UTF-7), control characters set through the DOM.
  try {
    Parse(bytes);
  } catch (const EXmlParseError& e) {
    throw EXmlSaveError(Format("The document saved in the encoding \"%s\" would not load: %s",
                               EncodingName(declaration), e.Message()));
  }
  WriteFileAtomically(path, bytes);
}

TXmlNode TXmlDocument::DocumentElement() const {
  if (!FData) {
    return {};
  }
  com_ptr<IXMLDOMElement> element;
  CheckDom(FData->Doc->get_documentElement(element.put()));
  return MakeNode(element);
}

TXmlNode TXmlDocument::SetDocumentElement(const std::string& name) {
  CheckNotNull();
  const com_ptr<IXMLDOMNode> node = NewElement(FData->Doc.get(), name);
  const com_ptr<IXMLDOMElement> element = AsElement(node);
  CheckDom(FData->Doc->putref_documentElement(element.get()));
  return MakeNode(node);
}

}  // namespace kv::platform
