#pragma once
// Option files as XML: a key is an element (a key path names nested elements below the document
// element) and a value is an attribute of the key's element. All readers or writers opened from
// one file share its document.

#include <string>
#include <vector>

#include "common/Common.Classes.h"
#include "options/Common.OptionsStorage.h"
#include "platform/Xml.h"

namespace kv {

class TCustomXMLOptionsStorage : public TFlexibleInterfacedObject {
  KV_CLASS_INFO()
 protected:
  // Whether navigation leaves missing elements alone (a reader) or creates them (a writer).
  virtual bool IsReadOnly() const = 0;

  // Opens the file: its document when it exists, an empty one with the document element
  // "Options" otherwise. A writer replaces a file that does not parse by an empty document.
  void OpenFile(const std::string& XmlFileName);
  // Shares the document and takes the element of the key path (parts separated by backslashes).
  void Navigate(const platform::TXmlDocument& Doc, const std::string& Subkey);

  platform::TXmlDocument FDoc;
  platform::TXmlNode FNode;
  std::string FSubkey;
  std::string FFileName;
};

class TXmlOptionsReader final : public TCustomXMLOptionsStorage, public IOptionsReader {
  KV_CLASS_INFO()
  KV_INTERFACED_OBJECT()
 public:
  // The file need not exist; a file that does not load raises EInvalidXMLFile.
  explicit TXmlOptionsReader(const std::string& XmlFileName);
  TXmlOptionsReader(const platform::TXmlDocument& Doc, const std::string& Subkey);

  int32_t ReadInteger(const std::string& Name, int32_t Default) override;
  std::string ReadString(const std::string& Name, const std::string& Default) override;
  bool ReadBoolean(const std::string& Name, bool Default) override;
  long double ReadFloat(const std::string& Name, long double Default) override;
  std::vector<std::string> GetSubkeyNames() override;
  bool ValueExists(const std::string& Name) override;
  TIntfPtr<IOptionsReader> OpenSubkey(const std::string& Name) override;
  bool IsEmpty() override;

 protected:
  bool IsReadOnly() const override { return true; }
  bool GetInterface(const TGUID& iid, void** obj) noexcept override;
};

class TXmlOptionsWriter final : public TCustomXMLOptionsStorage, public IOptionsWriter {
  KV_CLASS_INFO()
  KV_INTERFACED_OBJECT()
 public:
  explicit TXmlOptionsWriter(const std::string& XmlFileName);
  TXmlOptionsWriter(const platform::TXmlDocument& Doc, const std::string& Subkey,
                    const std::string& FileName);

  void WriteInteger(const std::string& Name, int32_t Value, int32_t Default) override;
  void WriteString(const std::string& Name, const std::string& Value,
                   const std::string& Default) override;
  void WriteBoolean(const std::string& Name, bool Value) override;
  void WriteFloat(const std::string& Name, long double Value) override;
  TIntfPtr<IOptionsWriter> OpenSubkey(const std::string& Name) override;
  void Clear() override;
  void Save() override;

 protected:
  bool IsReadOnly() const override { return false; }
  bool GetInterface(const TGUID& iid, void** obj) noexcept override;

 private:
  void CheckNode(int line) const;
};

// The reader of nothing: every read gives its default.
class TFakeOptionsReader final : public TFlexibleInterfacedObject, public IOptionsReader {
  KV_CLASS_INFO()
  KV_INTERFACED_OBJECT()
 public:
  int32_t ReadInteger(const std::string&, int32_t Default) override { return Default; }
  std::string ReadString(const std::string&, const std::string& Default) override {
    return Default;
  }
  bool ReadBoolean(const std::string&, bool Default) override { return Default; }
  long double ReadFloat(const std::string&, long double Default) override { return Default; }
  std::vector<std::string> GetSubkeyNames() override { return {}; }
  bool ValueExists(const std::string&) override { return false; }
  TIntfPtr<IOptionsReader> OpenSubkey(const std::string&) override;
  bool IsEmpty() override { return true; }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) noexcept override;
};

}  // namespace kv
