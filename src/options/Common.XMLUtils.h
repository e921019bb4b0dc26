#pragma once
// XML helpers over the platform's DOM: loading files with the library's error mapping, reading and
// writing attributes by the option files' value rules, and XPath selection.

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "options/Common.ExceptionEx.h"
#include "platform/Xml.h"

namespace kv {

using platform::TXmlDocument;
using platform::TXmlNode;
using platform::TXmlNodeList;

KV_DECLARE_EXCEPTION(EInvalidXMLData, ExceptionEx)
KV_DECLARE_EXCEPTION(EXMLNodeNotFound, EInvalidXMLData)
// The XML implementation is missing or older than MSXML 3.
KV_DECLARE_EXCEPTION(EWrongMSXML, Exception)

class EInvalidXMLFile : public ExceptionEx {
  KV_CLASS_INFO()
 public:
  using ExceptionEx::ExceptionEx;
  static EInvalidXMLFile Create4FileName(const std::string& fileName);
  static EInvalidXMLFile InvalidRootNodeName(const std::string& factNodeName,
                                             const std::string& expectedNodeName);
  static EInvalidXMLFile EmptyData();
};

// Load failures become EInvalidXMLFile (or EWrongMSXML) with the original as inner exception.
TXmlDocument LoadXMLFile(const std::string& fileName);
void LoadXMLIntoDocument(TXmlDocument& doc, const std::string& fileName);
// Parse failures are the platform's EXmlParseError.
TXmlDocument LoadXMLFromBytes(std::string_view bytes);

std::string ReadNodeText(const TXmlNode& node, const std::string& defaultValue);
// defaultValue when there is no node or no such attribute; an empty attribute reads as empty.
std::string ReadAttributeString(const TXmlNode& node, const std::string& name,
                                const std::string& defaultValue);
// Raises EInvalidXMLData when required and the attribute is absent or empty.
std::string ReadRequiredAttribute(const TXmlNode& node, const std::string& name, bool required);
// Text that is not an integer gives defaultValue.
int32_t ReadAttributeInteger(const TXmlNode& node, const std::string& name, int32_t defaultValue);
// "true"/"false" in any case, or a number (0 is false); other text raises EConvertError.
bool ReadAttributeBoolean(const TXmlNode& node, const std::string& name, bool defaultValue);
// A decimal number with the user's decimal separator; text that does not parse gives
// defaultValue.
long double ReadAttributeFloat(const TXmlNode& node, const std::string& name,
                               long double defaultValue);

// Set only when value differs from defaultValue.
void WriteAttributeString(TXmlNode& node, const std::string& name, const std::string& value,
                          const std::string& defaultValue);
void WriteAttributeInteger(TXmlNode& node, const std::string& name, int32_t value,
                           int32_t defaultValue);
// Always set.
void WriteAttributeBoolean(TXmlNode& node, const std::string& name, bool value);
void WriteAttributeFloat(TXmlNode& node, const std::string& name, long double value);

// s without the characters XML 1.0 does not allow: the control characters but tab, line feed
// and carriage return, and U+FFFE and U+FFFF.
std::string RemoveInvalidXMLChars(const std::string& s);

// XPath 1.0 relative to node; namespaces binds prefixes for the query ("xmlns:d=\"DAV:\"").
TXmlNode SelectNode(const TXmlNode& node, const std::string& xPath,
                    const std::string& namespaces = {});
// Raises EXMLNodeNotFound when nothing matches.
TXmlNode SelectRequiredNode(const TXmlNode& node, const std::string& xPath,
                            const std::string& namespaces = {});
TXmlNodeList SelectNodes(const TXmlNode& node, const std::string& xPath,
                         const std::string& namespaces = {});

// Raises EInvalidXMLFile unless the names are equal without regard to letter case.
void CheckValidXMLRoot(const std::string& factNodeName, const std::string& expectedNodeName);

// Exception mapping for load failures; call only while an exception is being handled.
// Raises EWrongMSXML for an OLE error E_FAIL, and returns otherwise.
void HandleInvalidMSXMLVersionError();
// Raises EInvalidXMLFile naming the file, with the handled exception as inner exception.
[[noreturn]] void HandleLoadXmlFileError(const std::string& fileName);

// The nodes of a list, or only those with a local name; usable in a range-based for.
class TXMLNodeListEnumerable {
 public:
  class TEnumerator {
   public:
    TEnumerator(std::shared_ptr<const TXmlNodeList> list, std::string localName)
        : FList(std::move(list)), FLocalName(std::move(localName)) {}
    bool MoveNext();
    const TXmlNode& Current() const { return (*FList)[static_cast<size_t>(FIndex)]; }

   private:
    std::shared_ptr<const TXmlNodeList> FList;
    int FIndex = -1;
    std::string FLocalName;
  };

  class TIterator {
   public:
    explicit TIterator(TEnumerator enumerator)
        : FEnumerator(std::move(enumerator)), FAtEnd(!FEnumerator.MoveNext()) {}
    const TXmlNode& operator*() const { return FEnumerator.Current(); }
    TIterator& operator++() {
      FAtEnd = !FEnumerator.MoveNext();
      return *this;
    }
    friend bool operator==(const TIterator& it, std::default_sentinel_t) { return it.FAtEnd; }

   private:
    TEnumerator FEnumerator;
    bool FAtEnd;
  };

  // An empty localName lets every node through.
  static TXMLNodeListEnumerable Create(TXmlNodeList list, std::string localName);
  static TXMLNodeListEnumerable CreateEmpty() { return {}; }

  TEnumerator GetEnumerator() const { return TEnumerator(FList, FLocalName); }
  TIterator begin() const { return TIterator(GetEnumerator()); }
  std::default_sentinel_t end() const { return {}; }

 private:
  std::shared_ptr<const TXmlNodeList> FList;
  std::string FLocalName;
};

}  // namespace kv
