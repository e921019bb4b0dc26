#pragma once
// The XML DOM with XPath 1.0: MSXML 3 on Windows, libxml2 on Linux. A document is shared by every
// handle to it and lives as long as the last of them, node handles included. A node is a cheap
// handle; a null node answers every lookup with nothing.
//
// Whitespace between elements is not content: loading drops it, and whitespace-only text is never
// reported as a child or as text.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exceptions.h"

namespace kv::platform {

// The parser refused a document; the message is the parser's, with the line and position.
KV_DECLARE_EXCEPTION(EXmlParseError, Exception)
// Saving would write a file that does not load again (an encoding that cannot carry the document
// or cannot be told from the file, nesting deeper than the parser reads).
KV_DECLARE_EXCEPTION(EXmlSaveError, Exception)

// A failed call into the XML implementation's COM interfaces (on Windows), with its result code;
// the native build raises it where MSXML refuses (a bad name or XPath expression).
class EOleSysError : public Exception {
  KV_CLASS_INFO()
 public:
  EOleSysError(std::string message, int32_t errorCode);
  int32_t ErrorCode() const { return FErrorCode; }

  // The result code of an operation that failed as a whole (E_FAIL): MSXML's code for a missing
  // or broken installation and for what it refuses, and the native build's for the same.
  static constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);

 private:
  int32_t FErrorCode;
};

// Whether the text is an XML name without a prefix (fifth edition rules), in valid UTF-8: the
// names new elements and attributes take.
bool IsXmlNCName(const std::string& name);

class TXmlNode;
using TXmlNodeList = std::vector<TXmlNode>;

class TXmlNode {
 public:
  // The backend's node and what keeps it alive.
  struct TData;

  // The null node.
  TXmlNode() = default;
  explicit TXmlNode(std::shared_ptr<const TData> data) : FData(std::move(data)) {}

  explicit operator bool() const { return FData != nullptr; }
  bool IsElement() const;

  // The DOM name: an element's or attribute's qualified name, a processing instruction's target,
  // or "#text", "#cdata-section", "#comment", "#document".
  std::string Name() const;
  // The name without its prefix; empty for nodes without one.
  std::string LocalName() const;
  std::string NamespaceURI() const;
  // The text of the node and its descendants; an attribute's value.
  std::string Text() const;

  // The value of the attribute with the qualified name; nothing when absent.
  std::optional<std::string> Attribute(const std::string& name) const;
  // Sets (adding it last when new) or removes an attribute; namespace declarations are not
  // attributes here. Names set or appended have no prefix; others raise EOleSysError.
  void SetAttribute(const std::string& name, const std::string& value);
  void RemoveAttribute(const std::string& name);
  // Every attribute's name and value, in the order written.
  std::vector<std::pair<std::string, std::string>> Attributes() const;

  // The child nodes of an element or a document, in document order.
  TXmlNodeList Children() const;
  // The first child element with the qualified name.
  TXmlNode Child(const std::string& name) const;
  // A new last child element, written on a line of its own, indented by its depth.
  TXmlNode AppendChild(const std::string& name);
  // A deep copy of an element, CDATA section, comment or processing instruction of any document,
  // as the new last child, placed as AppendChild places elements (text would merge with the
  // indentation and is refused). An element copy takes newName when one is given, its attributes
  // and content unchanged.
  TXmlNode AppendCopy(const TXmlNode& source, const std::string& newName = {});
  // Removes every child node and every attribute.
  void RemoveAll();

  // The first node, or all nodes in document order, matching the XPath 1.0 expression evaluated
  // relative to this node. Namespaces binds prefixes for the query with xmlns declarations
  // ("xmlns:d=\"DAV:\"").
  TXmlNode SelectSingleNode(const std::string& xpath, const std::string& namespaces = {}) const;
  TXmlNodeList SelectNodes(const std::string& xpath, const std::string& namespaces = {}) const;

 private:
  std::shared_ptr<const TData> FData;
};

class TXmlDocument {
 public:
  struct TData;

  // The null document, to be assigned a real one: its document element is null, and loading,
  // saving and setting the document element raise EInvalidOperation.
  TXmlDocument() = default;
  explicit operator bool() const { return FData != nullptr; }

  // A new empty document that declares version "1.0" and no encoding.
  static TXmlDocument Create();
  // Raise EXmlParseError when the parser refuses the document and EOSError when the file cannot
  // be read. The encoding is taken from the document itself. Every document is read as
  // untrusted: one with a document type declaration is refused (no DTD, no entity of its own, so
  // nothing outside the document is read and nothing grows), as is nesting deeper than
  // 256 elements.
  static TXmlDocument LoadFromFile(const std::string& path);
  static TXmlDocument LoadFromBytes(std::string_view bytes);

  // Replaces the content with the file's, for every handle to this document; a failed load
  // changes nothing.
  void Load(const std::string& path);
  // Writes the document in the encoding it declares; one that declares none is given
  // "windows-1251" first. Raises EXmlSaveError, leaving the file alone, when the result would
  // not load again, and EOSError, leaving the old file whole, when it cannot be written.
  void Save(const std::string& path);

  // The document element, or null.
  TXmlNode DocumentElement() const;
  // A new element with the name in place of the document element.
  TXmlNode SetDocumentElement(const std::string& name);

 private:
  explicit TXmlDocument(std::shared_ptr<TData> data) : FData(std::move(data)) {}
  void CheckNotNull() const;
  // Load's work, for a document that is not null.
  void LoadBytes(std::string_view bytes);

  std::shared_ptr<TData> FData;
};

}  // namespace kv::platform
