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
 public:
  // The key's element (null for a reader of a missing key), for what the key/value interfaces do
  // not carry: content of the file that a reader's user does not model but must keep.
  const platform::TXmlNode& Node() const { return FNode; }

 protected:
  // Whether navigation leaves missing elements alone (a reader) or creates them (a writer).
  virtual bool IsReadOnly() const = 0;

  // Opens the file: its document when it exists, an empty one with the document element
  // "Options" otherwise. A writer replaces a file that does not parse by an empty document.
  void OpenFile(const std::string& xmlFileName);
  // Shares the document and takes the element of the key path (parts separated by backslashes).
  void Navigate(const platform::TXmlDocument& doc, const std::string& subkey);

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
  explicit TXmlOptionsReader(const std::string& xmlFileName);
  TXmlOptionsReader(const platform::TXmlDocument& doc, const std::string& subkey);

  int32_t ReadInteger(const std::string& name, int32_t defaultValue) override;
  std::string ReadString(const std::string& name, const std::string& defaultValue) override;
  bool ReadBoolean(const std::string& name, bool defaultValue) override;
  long double ReadFloat(const std::string& name, long double defaultValue) override;
  std::vector<std::string> GetSubkeyNames() override;
  bool ValueExists(const std::string& name) override;
  TIntfPtr<IOptionsReader> OpenSubkey(const std::string& name) override;
  bool IsEmpty() override;

 protected:
  bool IsReadOnly() const override { return true; }
  bool GetInterface(const TGUID& iid, void** obj) noexcept override;
};

class TXmlOptionsWriter final : public TCustomXMLOptionsStorage, public IOptionsWriter {
  KV_CLASS_INFO()
  KV_INTERFACED_OBJECT()
 public:
  explicit TXmlOptionsWriter(const std::string& xmlFileName);
  TXmlOptionsWriter(const platform::TXmlDocument& doc, const std::string& subkey,
                    const std::string& fileName);

  void WriteInteger(const std::string& name, int32_t value, int32_t defaultValue) override;
  void WriteString(const std::string& name, const std::string& value,
                   const std::string& defaultValue) override;
  void WriteBoolean(const std::string& name, bool value) override;
  void WriteFloat(const std::string& name, long double value) override;
  TIntfPtr<IOptionsWriter> OpenSubkey(const std::string& name) override;
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
  int32_t ReadInteger(const std::string&, int32_t defaultValue) override { return defaultValue; }
  std::string ReadString(const std::string&, const std::string& defaultValue) override {
    return defaultValue;
  }
  bool ReadBoolean(const std::string&, bool defaultValue) override { return defaultValue; }
  long double ReadFloat(const std::string&, long double defaultValue) override {
    return defaultValue;
  }
  std::vector<std::string> GetSubkeyNames() override { return {}; }
  bool ValueExists(const std::string&) override { return false; }
  TIntfPtr<IOptionsReader> OpenSubkey(const std::string&) override;
  bool IsEmpty() override { return true; }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) noexcept override;
};

}  // namespace kv
