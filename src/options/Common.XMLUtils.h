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
  static EInvalidXMLFile Create4FileName(const std::string& FileName);
  static EInvalidXMLFile InvalidRootNodeName(const std::string& FactNodeName,
                                             const std::string& ExpectedNodeName);
  static EInvalidXMLFile EmptyData();
};

// Load failures become EInvalidXMLFile (or EWrongMSXML) with the original as inner exception.
TXmlDocument LoadXMLFile(const std::string& FileName);
void LoadXMLIntoDocument(TXmlDocument& Doc, const std::string& FileName);
// Parse failures are the platform's EXmlParseError.
TXmlDocument LoadXMLFromBytes(std::string_view Bytes);

std::string ReadNodeText(const TXmlNode& Node, const std::string& Default);
// Default when there is no node or no such attribute; an empty attribute reads as empty.
std::string ReadAttributeString(const TXmlNode& Node, const std::string& Name,
                                const std::string& Default);
// Raises EInvalidXMLData when Required and the attribute is absent or empty.
std::string ReadRequiredAttribute(const TXmlNode& Node, const std::string& Name, bool Required);
// Text that is not an integer gives Default.
int32_t ReadAttributeInteger(const TXmlNode& Node, const std::string& Name, int32_t Default);
// "true"/"false" in any case, or a number (0 is false); other text raises EConvertError.
bool ReadAttributeBoolean(const TXmlNode& Node, const std::string& Name, bool Default);
// The user's number format; text that does not parse gives Default.
long double ReadAttributeFloat(const TXmlNode& Node, const std::string& Name, long double Default);

// Set only when Value differs from Default.
void WriteAttributeString(TXmlNode& Node, const std::string& Name, const std::string& Value,
                          const std::string& Default);
void WriteAttributeInteger(TXmlNode& Node, const std::string& Name, int32_t Value, int32_t Default);
// Always set.
void WriteAttributeBoolean(TXmlNode& Node, const std::string& Name, bool Value);
void WriteAttributeFloat(TXmlNode& Node, const std::string& Name, long double Value);

// S without the characters XML 1.0 does not allow: the control characters but tab, line feed
// and carriage return, and U+FFFE and U+FFFF.
std::string RemoveInvalidXMLChars(const std::string& S);

// XPath 1.0 relative to Node; Namespaces binds prefixes for the query ("xmlns:d=\"DAV:\"").
TXmlNode SelectNode(const TXmlNode& Node, const std::string& XPath,
                    const std::string& Namespaces = {});
// Raises EXMLNodeNotFound when nothing matches.
TXmlNode SelectRequiredNode(const TXmlNode& Node, const std::string& XPath,
                            const std::string& Namespaces = {});
TXmlNodeList SelectNodes(const TXmlNode& Node, const std::string& XPath,
                         const std::string& Namespaces = {});

// Raises EInvalidXMLFile unless the names are equal without regard to letter case.
void CheckValidXMLRoot(const std::string& FactNodeName, const std::string& ExpectedNodeName);

// Exception mapping for load failures; call only while an exception is being handled.
// Raises EWrongMSXML for an OLE error E_FAIL, and returns otherwise.
void HandleInvalidMSXMLVersionError();
// Raises EInvalidXMLFile naming the file, with the handled exception as inner exception.
[[noreturn]] void HandleLoadXmlFileError(const std::string& FileName);

// The nodes of a list, or only those with a local name; usable in a range-based for.
class TXMLNodeListEnumerable {
 public:
  class TEnumerator {
   public:
    TEnumerator(std::shared_ptr<const TXmlNodeList> AList, std::string ALocalName)
        : FList(std::move(AList)), FLocalName(std::move(ALocalName)) {}
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

  // An empty ALocalName lets every node through.
  static TXMLNodeListEnumerable Create(TXmlNodeList AList, std::string ALocalName);
  static TXMLNodeListEnumerable CreateEmpty() { return {}; }

  TEnumerator GetEnumerator() const { return TEnumerator(FList, FLocalName); }
  TIterator begin() const { return TIterator(GetEnumerator()); }
  std::default_sentinel_t end() const { return {}; }

 private:
  std::shared_ptr<const TXmlNodeList> FList;
  std::string FLocalName;
};

}  // namespace kv
