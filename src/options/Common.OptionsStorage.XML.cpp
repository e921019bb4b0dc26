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

void TCustomXMLOptionsStorage::OpenFile(const std::string& xmlFileName) {
  FFileName = xmlFileName;
  FDoc = platform::TXmlDocument::Create();
  if (platform::FileExists(xmlFileName)) {
    try {
      LoadXMLIntoDocument(FDoc, xmlFileName);
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

void TCustomXMLOptionsStorage::Navigate(const platform::TXmlDocument& doc,
                                        const std::string& subkey) {
  FDoc = doc;
  FSubkey = subkey;
  FNode = FDoc.DocumentElement();
  size_t start = 0;
  while (FNode && start <= subkey.size()) {
    size_t end = subkey.find('\\', start);
    if (end == std::string::npos) {
      end = subkey.size();
    }
    const std::string part = subkey.substr(start, end - start);
    start = end + 1;
    if (part.empty()) {
      continue;
    }
    platform::TXmlNode child = FNode.Child(part);
    FNode = child || IsReadOnly() ? child : FNode.AppendChild(part);
  }
}

// TXmlOptionsReader

TXmlOptionsReader::TXmlOptionsReader(const std::string& xmlFileName) {
  OpenFile(xmlFileName);
}

TXmlOptionsReader::TXmlOptionsReader(const platform::TXmlDocument& doc, const std::string& subkey) {
  Navigate(doc, subkey);
}

int32_t TXmlOptionsReader::ReadInteger(const std::string& name, int32_t defaultValue) {
  return ReadAttributeInteger(FNode, name, defaultValue);
}

std::string TXmlOptionsReader::ReadString(const std::string& name,
                                          const std::string& defaultValue) {
  return ReadAttributeString(FNode, name, defaultValue);
}

bool TXmlOptionsReader::ReadBoolean(const std::string& name, bool defaultValue) {
  return ReadAttributeBoolean(FNode, name, defaultValue);
}

long double TXmlOptionsReader::ReadFloat(const std::string& name, long double defaultValue) {
  return ReadAttributeFloat(FNode, name, defaultValue);
}

std::vector<std::string> TXmlOptionsReader::GetSubkeyNames() {
  std::vector<std::string> names;
  for (const auto& child : FNode.Children()) {
    names.push_back(child.Name());
  }
  return names;
}

bool TXmlOptionsReader::ValueExists(const std::string& name) {
  return FNode.Attribute(name).has_value();
}

TIntfPtr<IOptionsReader> TXmlOptionsReader::OpenSubkey(const std::string& name) {
  if (!FNode) {
    return TIntfPtr<IOptionsReader>(New<TFakeOptionsReader>());
  }
  return TIntfPtr<IOptionsReader>(New<TXmlOptionsReader>(FDoc, FSubkey + "\\" + name));
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

TXmlOptionsWriter::TXmlOptionsWriter(const std::string& xmlFileName) {
  OpenFile(xmlFileName);
}

TXmlOptionsWriter::TXmlOptionsWriter(const platform::TXmlDocument& doc, const std::string& subkey,
                                     const std::string& fileName) {
  Navigate(doc, subkey);
  FFileName = fileName;
}

void TXmlOptionsWriter::CheckNode(int line) const {
  Assert(static_cast<bool>(FNode), kModule, line);
}

void TXmlOptionsWriter::WriteInteger(const std::string& name, int32_t value, int32_t defaultValue) {
  CheckNode(__LINE__);
  if (value != 0) {
    WriteAttributeInteger(FNode, name, value, defaultValue);
  }
}

void TXmlOptionsWriter::WriteString(const std::string& name, const std::string& value,
                                    const std::string& defaultValue) {
  CheckNode(__LINE__);
  if (value == defaultValue) {
    FNode.RemoveAttribute(name);
  } else if (!value.empty()) {
    FNode.SetAttribute(name, RemoveInvalidXMLChars(value));
  }
}

void TXmlOptionsWriter::WriteBoolean(const std::string& name, bool value) {
  CheckNode(__LINE__);
  WriteAttributeBoolean(FNode, name, value);
}

void TXmlOptionsWriter::WriteFloat(const std::string& name, long double value) {
  CheckNode(__LINE__);
  WriteAttributeFloat(FNode, name, value);
}

TIntfPtr<IOptionsWriter> TXmlOptionsWriter::OpenSubkey(const std::string& name) {
  return TIntfPtr<IOptionsWriter>(New<TXmlOptionsWriter>(FDoc, FSubkey + "\\" + name, FFileName));
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
