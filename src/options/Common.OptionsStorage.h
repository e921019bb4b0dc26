#pragma once
// The option-file interfaces: a hierarchical key/value store in which a key path names nested
// keys and each value is named. Readers and writers are reference counted.

#include <cstdint>
#include <string>
#include <vector>

#include "base/Object.h"

namespace kv {

class IOptionsReader : public IInterface {
 public:
  static constexpr TGUID IID{
      0x6B1C2E90, 0x3D4A, 0x4F2B, {0x9A, 0x41, 0x52, 0x0C, 0x7E, 0x13, 0xA8, 0x01}};

  virtual int32_t ReadInteger(const std::string& name, int32_t defaultValue) = 0;
  virtual std::string ReadString(const std::string& name, const std::string& defaultValue) = 0;
  virtual bool ReadBoolean(const std::string& name, bool defaultValue) = 0;
  virtual long double ReadFloat(const std::string& name, long double defaultValue) = 0;
  // The node names of all children of the key, in document order, duplicates included.
  virtual std::vector<std::string> GetSubkeyNames() = 0;
  virtual bool ValueExists(const std::string& name) = 0;
  virtual TIntfPtr<IOptionsReader> OpenSubkey(const std::string& name) = 0;
  // True when no key stands behind this reader: every read gives its default.
  virtual bool IsEmpty() = 0;

 protected:
  ~IOptionsReader() = default;
};

class IOptionsWriter : public IInterface {
 public:
  static constexpr TGUID IID{
      0x6B1C2E91, 0x3D4A, 0x4F2B, {0x9A, 0x41, 0x52, 0x0C, 0x7E, 0x13, 0xA8, 0x02}};

  // Values equal to their default, zero integers and empty strings are not written.
  virtual void WriteInteger(const std::string& name, int32_t value, int32_t defaultValue) = 0;
  virtual void WriteString(const std::string& name, const std::string& value,
                           const std::string& defaultValue) = 0;
  virtual void WriteBoolean(const std::string& name, bool value) = 0;
  virtual void WriteFloat(const std::string& name, long double value) = 0;
  // The child key, created when missing.
  virtual TIntfPtr<IOptionsWriter> OpenSubkey(const std::string& name) = 0;
  // Removes every child and every value of the key.
  virtual void Clear() = 0;
  // Writes the whole file; nothing reaches the disk before.
  virtual void Save() = 0;

 protected:
  ~IOptionsWriter() = default;
};

}  // namespace kv
