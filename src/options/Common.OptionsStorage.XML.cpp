#include "options/Common.OptionsStorage.XML.h"

#include "base/Rtti.h"
#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"

namespace kv {

KV_DEFINE_CLASS(TCustomXMLOptionsStorage, "TCustomXMLOptionsStorage", TFlexibleInterfacedObject)
KV_DEFINE_CLASS(TXmlOptionsReader, "TXmlOptionsReader", TCustomXMLOptionsStorage)
KV_DEFINE_CLASS(TXmlOptionsWriter, "TXmlOptionsWriter", TCustomXMLOptionsStorage)
KV_DEFINE_CLASS(TFakeOptionsReader, "TFakeOptionsReader", TFlexibleInterfacedObject)

namespace {

constexpr const char* kModule = "lib\\Common\\Common.OptionsStorage.XML";

// Whether a load failure is the parser's refusal of the content. A file that could not be read
// at all (locked, no access) is not damaged, and replacing it would lose its keys.
bool IsParseFailure(const EInvalidXMLFile& e) {
  return dynamic_cast<const platform::EXmlParseError*>(e.InnerException()) != nullptr;
}

}  // namespace

// TCustomXMLOptionsStorage

void TCustomXMLOptionsStorage::OpenFile(const std::string& XmlFileName) {
  FFileName = XmlFileName;
  FDoc = platform::TXmlDocument::Create();
  if (platform::FileExists(XmlFileName)) {
    try {
      LoadXMLIntoDocument(FDoc, XmlFileName);
    } catch (const EInvalidXMLFile& e) {
      if (IsReadOnly() || !IsParseFailure(e)) {
        throw;
      }
      FDoc = platform::TXmlDocument::Create();
    }
  }
  if (!FDoc.DocumentElement()) {
    FDoc.SetDocumentElement("Options");
  }
  FNode = FDoc.DocumentElement();
  FSubkey.clear();
}

void TCustomXMLOptionsStorage::Navigate(const platform::TXmlDocument& Doc,
                                        const std::string& Subkey) {
  FDoc = Doc;
  FSubkey = Subkey;
  FNode = FDoc.DocumentElement();
  size_t start = 0;
  while (FNode && start <= Subkey.size()) {
    size_t end = Subkey.find('\\', start);
    if (end == std::string::npos) {
      end = Subkey.size();
    }
    const std::string part = Subkey.substr(start, end - start);
    start = end + 1;
    if (part.empty()) {
      continue;
    }
    platform::TXmlNode child = FNode.Child(part);
    FNode = child || IsReadOnly() ? child : FNode.AppendChild(part);
  }
}

// TXmlOptionsReader

TXmlOptionsReader::TXmlOptionsReader(const std::string& XmlFileName) {
  OpenFile(XmlFileName);
}

TXmlOptionsReader::TXmlOptionsReader(const platform::TXmlDocument& Doc, const std::string& Subkey) {
  Navigate(Doc, Subkey);
}

int32_t TXmlOptionsReader::ReadInteger(const std::string& Name, int32_t Default) {
  return ReadAttributeInteger(FNode, Name, Default);
}

std::string TXmlOptionsReader::ReadString(const std::string& Name, const std::string& Default) {
  return ReadAttributeString(FNode, Name, Default);
}

bool TXmlOptionsReader::ReadBoolean(const std::string& Name, bool Default) {
  return ReadAttributeBoolean(FNode, Name, Default);
}

long double TXmlOptionsReader::ReadFloat(const std::string& Name, long double Default) {
  return ReadAttributeFloat(FNode, Name, Default);
}

std::vector<std::string> TXmlOptionsReader::GetSubkeyNames() {
  std::vector<std::string> names;
  for (const auto& child : FNode.Children()) {
    names.push_back(child.Name());
  }
  return names;
}

bool TXmlOptionsReader::ValueExists(const std::string& Name) {
  return FNode.Attribute(Name).has_value();
}

TIntfPtr<IOptionsReader> TXmlOptionsReader::OpenSubkey(const std::string& Name) {
  if (!FNode) {
    return TIntfPtr<IOptionsReader>(New<TFakeOptionsReader>());
  }
  return TIntfPtr<IOptionsReader>(New<TXmlOptionsReader>(FDoc, FSubkey + "\\" + Name));
}

bool TXmlOptionsReader::IsEmpty() {
  return !FNode;
}

bool TXmlOptionsReader::GetInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == IOptionsReader::IID) {
    *obj = static_cast<IOptionsReader*>(this);
    return true;
  }
  return TCustomXMLOptionsStorage::GetInterface(iid, obj);
}

// TXmlOptionsWriter

TXmlOptionsWriter::TXmlOptionsWriter(const std::string& XmlFileName) {
  OpenFile(XmlFileName);
}

TXmlOptionsWriter::TXmlOptionsWriter(const platform::TXmlDocument& Doc, const std::string& Subkey,
                                     const std::string& FileName) {
  Navigate(Doc, Subkey);
  FFileName = FileName;
}

void TXmlOptionsWriter::CheckNode(int line) const {
  Assert(static_cast<bool>(FNode), kModule, line);
}

void TXmlOptionsWriter::WriteInteger(const std::string& Name, int32_t Value, int32_t Default) {
  CheckNode(__LINE__);
  if (Value != 0) {
    WriteAttributeInteger(FNode, Name, Value, Default);
  }
}

void TXmlOptionsWriter::WriteString(const std::string& Name, const std::string& Value,
                                    const std::string& Default) {
  CheckNode(__LINE__);
  if (Value == Default) {
    FNode.RemoveAttribute(Name);
  } else if (!Value.empty()) {
    FNode.SetAttribute(Name, RemoveInvalidXMLChars(Value));
  }
}

void TXmlOptionsWriter::WriteBoolean(const std::string& Name, bool Value) {
  CheckNode(__LINE__);
  WriteAttributeBoolean(FNode, Name, Value);
}

void TXmlOptionsWriter::WriteFloat(const std::string& Name, long double Value) {
  CheckNode(__LINE__);
  WriteAttributeFloat(FNode, Name, Value);
}

TIntfPtr<IOptionsWriter> TXmlOptionsWriter::OpenSubkey(const std::string& Name) {
  return TIntfPtr<IOptionsWriter>(New<TXmlOptionsWriter>(FDoc, FSubkey + "\\" + Name, FFileName));
}

void TXmlOptionsWriter::Clear() {
  CheckNode(__LINE__);
  FNode.RemoveAll();
}

void TXmlOptionsWriter::Save() {
  if (const std::string folder = ExtractFileDir(FFileName); !folder.empty()) {
    platform::ForceDirectories(folder);
  }
  FDoc.Save(FFileName);
}

bool TXmlOptionsWriter::GetInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == IOptionsWriter::IID) {
    *obj = static_cast<IOptionsWriter*>(this);
    return true;
  }
  return TCustomXMLOptionsStorage::GetInterface(iid, obj);
}

// TFakeOptionsReader

TIntfPtr<IOptionsReader> TFakeOptionsReader::OpenSubkey(const std::string&) {
  return TIntfPtr<IOptionsReader>(New<TFakeOptionsReader>());
}

bool TFakeOptionsReader::GetInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == IOptionsReader::IID) {
    *obj = static_cast<IOptionsReader*>(this);
    return true;
  }
  return TFlexibleInterfacedObject::GetInterface(iid, obj);
}

}  // namespace kv
