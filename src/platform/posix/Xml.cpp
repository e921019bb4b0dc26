#include "platform/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <memory>

#include "platform/Files.h"
#include "platform/Text.h"

namespace kv::platform {
namespace {

struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct NodeFree {
  // Frees attributes too.
  void operator()(xmlNodePtr node) const { xmlFreeNode(node); }
};
struct ParserFree {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct XPathContextFree {
  void operator()(xmlXPathContextPtr context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
};
struct StringFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
struct BufferFree {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using NodePtr = std::unique_ptr<xmlNode, NodeFree>;
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserFree>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextFree>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectFree>;
using StringPtr = std::unique_ptr<xmlChar, StringFree>;
using BufferPtr = std::unique_ptr<xmlBuffer, BufferFree>;

// External entities would let a document reach other files or the network.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

void InitLibXml() {
  static const bool initialised = [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternalEntity);
    return true;
  }();
  (void)initialised;
}

const xmlChar* X(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string S(const xmlChar* text) {
  return text ? reinterpret_cast<const char*>(text) : "";
}

std::string S(StringPtr text) {
  return S(text.get());
}

// Text handed to libxml2 must be valid UTF-8; malformed sequences become U+FFFD.
std::string ValidUtf8(const std::string& text) {
  return Utf16ToUtf8(Utf8ToUtf16(text));
}

std::string TrimmedMessage(const xmlError* error, const char* fallback) {
  std::string message = error && error->message ? error->message : fallback;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

// New elements and attributes take names without a prefix, which needs no namespace declared.
void CheckName(const std::string& name) {
  if (!IsXmlNCName(name)) {
    throw EOleSysError(Format("Invalid XML name \"%s\"", name), EOleSysError::kFail);
  }
}

std::string Qualified(const xmlNs* ns, const xmlChar* name) {
  return ns && ns->prefix ? S(ns->prefix) + ":" + S(name) : S(name);
}

bool IsWhitespace(const xmlChar* text) {
  for (; text && *text; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') {
      return false;
    }
  }
  return true;
}

bool IsWhitespaceText(const xmlNode* node) {
  return node->type == XML_TEXT_NODE && IsWhitespace(node->content);
}

// Text of the descendants in document order, without descending recursively: a document may nest
// deeper than the stack allows.
std::string DescendantText(const xmlNode* root) {
  std::string text;
  const xmlNode* node = root->children;
  while (node) {
    if ((node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) &&
        !IsWhitespaceText(node)) {
      text += S(node->content);
    }
    if (node->type == XML_ELEMENT_NODE && node->children) {
      node = node->children;
      continue;
    }
    while (node && !node->next) {
      node = node->parent == root ? nullptr : node->parent;
    }
    if (node) {
      node = node->next;
    }
  }
  return text;
}

xmlAttrPtr FindAttribute(const xmlNode* element, const std::string& name) {
  if (element->type != XML_ELEMENT_NODE) {
    return nullptr;
  }
  for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
    if (Qualified(attribute->ns, attribute->name) == name) {
      return attribute;
    }
  }
  return nullptr;
}

std::string AttributeValue(const xmlAttr* attribute) {
  return S(StringPtr(xmlNodeListGetString(attribute->doc, attribute->children, 1)));
}

// Indentation of an element's content at the given depth, the document element's being 0.
std::string LineAndIndent(int depth) {
  return "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
}

int Depth(const xmlNode* element) {
  int depth = 0;
  for (const xmlNode* parent = element->parent; parent && parent->type == XML_ELEMENT_NODE;
       parent = parent->parent) {
    ++depth;
  }
  return depth;
}

// Prefix and URI of each xmlns:prefix="uri" declaration; the default namespace does not apply to
// XPath 1.0 names and is skipped.
std::vector<std::pair<std::string, std::string>> ParseNamespaces(const std::string& declarations) {
  std::vector<std::pair<std::string, std::string>> result;
  const auto invalid = [&] {
    return EOleSysError(Format("Invalid namespace declarations \"%s\"", declarations),
                        EOleSysError::kFail);
  };
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t pos = 0;
  const auto skipSpaces = [&] {
    while (pos < declarations.size() && isSpace(declarations[pos])) {
      ++pos;
    }
  };
  for (skipSpaces(); pos < declarations.size(); skipSpaces()) {
    if (declarations.compare(pos, 5, "xmlns") != 0) {
      throw invalid();
    }
    pos += 5;
    std::string prefix;
    if (pos < declarations.size() && declarations[pos] == ':') {
      const size_t end = declarations.find_first_of("= \t\r\n", ++pos);
      prefix = declarations.substr(pos, end == std::string::npos ? end : end - pos);
      pos = end;
    }
    skipSpaces();
    if (pos >= declarations.size() || declarations[pos] != '=') {
      throw invalid();
    }
    ++pos;
    skipSpaces();
    if (pos >= declarations.size() || (declarations[pos] != '"' && declarations[pos] != '\'')) {
      throw invalid();
    }
    const size_t end = declarations.find(declarations[pos], pos + 1);
    if (end == std::string::npos || (!prefix.empty() && xmlValidateNCName(X(prefix), 0) != 0)) {
      throw invalid();
    }
    if (!prefix.empty()) {
      result.emplace_back(prefix, declarations.substr(pos + 1, end - pos - 1));
    }
    pos = end + 1;
  }
  return result;
}

// Every document is untrusted: a document type declaration stops the parser before its internal
// subset is read, so no entity is declared, expanded or fetched.
void RefuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  *static_cast<bool*>(parser->_private) = true;
  xmlStopParser(parser);
}

DocPtr Parse(std::string_view bytes) {
  InitLibXml();
  if (bytes.size() > INT_MAX) {
    throw EXmlParseError("The document is too large");
  }
  ParserPtr parser(xmlNewParserCtxt());
  if (!parser) {
    throw std::bad_alloc();
  }
  bool documentType = false;
  parser->_private = &documentType;
  parser->sax->internalSubset = RefuseDocumentType;
  // Without XML_PARSE_HUGE libxml2 keeps its limits, nesting deeper than 256 elements among them.
  const int options =
      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  DocPtr doc(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               nullptr, options));
  if (documentType) {
    throw EXmlParseError("A document type declaration is not allowed");
  }
  // A document with an undeclared prefix is well formed for libxml2 only; MSXML refuses it too.
  if (!doc || !parser->wellFormed || !parser->nsWellFormed || !xmlDocGetRootElement(doc.get())) {
    const xmlError* error = xmlCtxtGetLastError(parser.get());
    std::string message = TrimmedMessage(error, "Document is empty");
    if (error && error->line > 0) {
      message += Format(" (line %d, position %d)", error->line, error->int2);
    }
    throw EXmlParseError(message);
  }
  return doc;
}

}  // namespace

struct TXmlDocument::TData {
  DocPtr Doc;
  // Documents replaced by Load and nodes taken out of the tree stay until the last handle goes,
  // so that no handle ever points to freed memory. The nodes are freed first: they use their
  // document's dictionary.
  std::vector<DocPtr> Replaced;
  std::vector<NodePtr> Removed;

  void Remove(xmlNodePtr node) {
    xmlUnlinkNode(node);
    Removed.emplace_back(node);
  }
};

struct TXmlNode::TData {
  std::shared_ptr<TXmlDocument::TData> Document;
  xmlNodePtr Node;
};

namespace {

TXmlNode MakeNode(const std::shared_ptr<TXmlDocument::TData>& document, xmlNodePtr node) {
  if (!node) {
    return {};
  }
  return TXmlNode(std::make_shared<const TXmlNode::TData>(TXmlNode::TData{document, node}));
}

xmlNodePtr NewElement(xmlDocPtr doc, const std::string& name) {
  CheckName(name);
  xmlNodePtr element = xmlNewDocNode(doc, nullptr, X(name), nullptr);
  if (!element) {
    throw std::bad_alloc();
  }
  return element;
}

xmlNodePtr NewText(xmlDocPtr doc, const std::string& text) {
  xmlNodePtr node = xmlNewDocText(doc, X(text));
  if (!node) {
    throw std::bad_alloc();
  }
  return node;
}

}  // namespace

// TXmlNode

bool TXmlNode::IsElement() const {
  return FData && FData->Node->type == XML_ELEMENT_NODE;
}

std::string TXmlNode::Name() const {
  if (!FData) {
    return {};
  }
  const xmlNode* node = FData->Node;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      return Qualified(node->ns, node->name);
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    case XML_DOCUMENT_NODE:
      return "#document";
    default:
      return S(node->name);
  }
}

std::string TXmlNode::LocalName() const {
  if (!FData ||
      (FData->Node->type != XML_ELEMENT_NODE && FData->Node->type != XML_ATTRIBUTE_NODE)) {
    return {};
  }
  return S(FData->Node->name);
}

std::string TXmlNode::NamespaceURI() const {
  if (!FData ||
      (FData->Node->type != XML_ELEMENT_NODE && FData->Node->type != XML_ATTRIBUTE_NODE) ||
      !FData->Node->ns) {
    return {};
  }
  return S(FData->Node->ns->href);
}

std::string TXmlNode::Text() const {
  if (!FData) {
    return {};
  }
  const xmlNode* node = FData->Node;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
      return DescendantText(node);
    case XML_ATTRIBUTE_NODE:
      return AttributeValue(reinterpret_cast<const xmlAttr*>(node));
    default:
      return S(node->content);
  }
}

std::optional<std::string> TXmlNode::Attribute(const std::string& name) const {
  if (!FData) {
    return std::nullopt;
  }
  const xmlAttr* attribute = FindAttribute(FData->Node, name);
  if (!attribute) {
    return std::nullopt;
  }
  return AttributeValue(attribute);
}

void TXmlNode::SetAttribute(const std::string& name, const std::string& value) {
  if (!FData || FData->Node->type != XML_ELEMENT_NODE) {
    throw EInvalidOperation("An attribute can be set on an element only");
  }
  CheckName(name);
  const std::string text = ValidUtf8(value);
  if (xmlAttrPtr attribute = FindAttribute(FData->Node, name)) {
    xmlSetNsProp(FData->Node, attribute->ns, attribute->name, X(text));
    return;
  }
  if (!xmlNewProp(FData->Node, X(name), X(text))) {
    throw std::bad_alloc();
  }
}

void TXmlNode::RemoveAttribute(const std::string& name) {
  if (!FData) {
    return;
  }
  if (xmlAttrPtr attribute = FindAttribute(FData->Node, name)) {
    FData->Document->Remove(reinterpret_cast<xmlNodePtr>(attribute));
  }
}

std::vector<std::pair<std::string, std::string>> TXmlNode::Attributes() const {
  std::vector<std::pair<std::string, std::string>> result;
  if (FData && FData->Node->type == XML_ELEMENT_NODE) {
    for (const xmlAttr* a = FData->Node->properties; a; a = a->next) {
      result.emplace_back(Qualified(a->ns, a->name), AttributeValue(a));
    }
  }
  return result;
}

TXmlNodeList TXmlNode::Children() const {
  TXmlNodeList result;
  if (!FData || (FData->Node->type != XML_ELEMENT_NODE && FData->Node->type != XML_DOCUMENT_NODE)) {
    return result;
  }
  for (xmlNodePtr child = FData->Node->children; child; child = child->next) {
    if (child->type != XML_DTD_NODE && !IsWhitespaceText(child)) {
      result.push_back(MakeNode(FData->Document, child));
    }
  }
  return result;
}

TXmlNode TXmlNode::Child(const std::string& name) const {
  if (!FData) {
    return {};
  }
  for (xmlNodePtr child = FData->Node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && Qualified(child->ns, child->name) == name) {
      return MakeNode(FData->Document, child);
    }
  }
  return {};
}

namespace {

// Adds node as the last child of parent, on a line of its own, indented by its depth.
void PlaceLast(xmlNodePtr parent, NodePtr owned) {
  const int depth = Depth(parent);
  xmlNodePtr node = owned.get();
  // The line break before the closing tag stays last; each new child goes in front of it.
  if (parent->last && IsWhitespaceText(parent->last)) {
    xmlAddPrevSibling(parent->last, owned.release());
  } else {
    xmlAddChild(parent, owned.release());
    xmlAddChild(parent, NewText(parent->doc, LineAndIndent(depth)));
  }
  xmlAddPrevSibling(node, NewText(parent->doc, LineAndIndent(depth + 1)));
}

xmlNodePtr ElementOf(const std::shared_ptr<const TXmlNode::TData>& data, const char* what) {
  if (!data || data->Node->type != XML_ELEMENT_NODE) {
    throw EInvalidOperation(what);
  }
  return data->Node;
}

}  // namespace

TXmlNode TXmlNode::AppendChild(const std::string& name) {
  xmlNodePtr parent = ElementOf(FData, "A child element can be appended to an element only");
  NodePtr owned(NewElement(parent->doc, name));
  xmlNodePtr element = owned.get();
  PlaceLast(parent, std::move(owned));
  return MakeNode(FData->Document, element);
}

TXmlNode TXmlNode::AppendCopy(const TXmlNode& source, const std::string& newName) {
  xmlNodePtr parent = ElementOf(FData, "A copy can be appended to an element only");
  const xmlNode* original = source.FData ? source.FData->Node : nullptr;
  if (!original ||
      (original->type != XML_ELEMENT_NODE && original->type != XML_CDATA_SECTION_NODE &&
       original->type != XML_COMMENT_NODE && original->type != XML_PI_NODE)) {
    throw EInvalidOperation(
        "Only elements, CDATA sections, comments and processing instructions are copied");
  }
  const bool rename = !newName.empty() && original->type == XML_ELEMENT_NODE;
  if (rename) {
    CheckName(newName);
  }
  // Namespaces the copy uses are declared on it when the new place lacks them.
  NodePtr owned(xmlDocCopyNode(const_cast<xmlNodePtr>(original), parent->doc, 1));
  if (!owned) {
    throw std::bad_alloc();
  }
  if (rename) {
    xmlNodeSetName(owned.get(), X(newName));
    owned->ns = nullptr;
  }
  xmlNodePtr copy = owned.get();
  PlaceLast(parent, std::move(owned));
  return MakeNode(FData->Document, copy);
}

void TXmlNode::RemoveAll() {
  if (!FData || FData->Node->type != XML_ELEMENT_NODE) {
    return;
  }
  while (FData->Node->children) {
    FData->Document->Remove(FData->Node->children);
  }
  while (FData->Node->properties) {
    FData->Document->Remove(reinterpret_cast<xmlNodePtr>(FData->Node->properties));
  }
}

TXmlNodeList TXmlNode::SelectNodes(const std::string& xpath, const std::string& namespaces) const {
  TXmlNodeList result;
  if (!FData) {
    return result;
  }
  XPathContextPtr context(xmlXPathNewContext(FData->Node->doc));
  if (!context) {
    throw std::bad_alloc();
  }
  context->node = FData->Node;
  // Errors are reported through the exception, not printed.
  context->error = [](void*, xmlErrorPtr) {};
  for (const auto& [prefix, uri] : ParseNamespaces(namespaces)) {
    xmlXPathRegisterNs(context.get(), X(prefix), X(uri));
  }
  XPathObjectPtr found(xmlXPathEvalExpression(X(ValidUtf8(xpath)), context.get()));
  if (!found || found->type != XPATH_NODESET) {
    const std::string reason = found ? "the expression does not select nodes"
                                     : TrimmedMessage(&context->lastError, "invalid expression");
    throw EOleSysError(Format("XPath \"%s\": %s", xpath, reason), EOleSysError::kFail);
  }
  if (xmlNodeSetPtr nodes = found->nodesetval) {
    xmlXPathNodeSetSort(nodes);
    for (int i = 0; i < nodes->nodeNr; ++i) {
      // Namespace nodes are copies that live only as long as the result.
      if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL) {
        result.push_back(MakeNode(FData->Document, nodes->nodeTab[i]));
      }
    }
  }
  return result;
}

TXmlNode TXmlNode::SelectSingleNode(const std::string& xpath, const std::string& namespaces) const {
  TXmlNodeList nodes = SelectNodes(xpath, namespaces);
  return nodes.empty() ? TXmlNode() : nodes.front();
}

// TXmlDocument

TXmlDocument TXmlDocument::Create() {
  InitLibXml();
  DocPtr doc(xmlNewDoc(X("1.0")));
  if (!doc) {
    throw std::bad_alloc();
  }
  auto data = std::make_shared<TData>();
  data->Doc = std::move(doc);
  return TXmlDocument(std::move(data));
}

TXmlDocument TXmlDocument::LoadFromBytes(std::string_view bytes) {
  auto data = std::make_shared<TData>();
  data->Doc = Parse(bytes);
  return TXmlDocument(std::move(data));
}

void TXmlDocument::LoadBytes(std::string_view bytes) {
  DocPtr doc = Parse(bytes);
  FData->Replaced.push_back(std::exchange(FData->Doc, std::move(doc)));
}

void TXmlDocument::Save(const std::string& path) {
  CheckNotNull();
  xmlDocPtr doc = FData->Doc.get();
  if (!doc->encoding) {
    doc->encoding = xmlStrdup(X("windows-1251"));
  }
  const char* encoding = reinterpret_cast<const char*>(doc->encoding);
  const auto unwritable = [&](const std::string& reason) {
    return EXmlSaveError(
        Format("The document saved in the encoding \"%s\" would not load: %s", encoding, reason));
  };
  BufferPtr buffer(xmlBufferCreate());
  if (!buffer) {
    throw std::bad_alloc();
  }
  xmlSaveCtxtPtr context = xmlSaveToBuffer(buffer.get(), encoding, 0);
  if (!context) {
    throw unwritable("unsupported encoding");
  }
  const long written = xmlSaveDoc(context, doc);
  // Closing flushes and frees the context whatever happened before.
  if (xmlSaveClose(context) < 0 || written < 0) {
    throw unwritable("conversion failed");
  }
  const std::string bytes(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                          static_cast<size_t>(xmlBufferLength(buffer.get())));
  // What libxml2 writes does not always read again: an encoding that cannot be told from the
  // file (UTF-7), control characters set through the DOM, nesting deeper than the parser reads.
  try {
    Parse(bytes);
  } catch (const EXmlParseError& e) {
    throw unwritable(e.Message());
  }
  WriteFileAtomically(path, bytes);
}

TXmlNode TXmlDocument::DocumentElement() const {
  if (!FData) {
    return {};
  }
  return MakeNode(FData, xmlDocGetRootElement(FData->Doc.get()));
}

TXmlNode TXmlDocument::SetDocumentElement(const std::string& name) {
  CheckNotNull();
  xmlNodePtr element = NewElement(FData->Doc.get(), name);
  if (xmlNodePtr old = xmlDocSetRootElement(FData->Doc.get(), element)) {
    FData->Removed.emplace_back(old);
  }
  return MakeNode(FData, element);
}

}  // namespace kv::platform
