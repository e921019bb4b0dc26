#pragma once
// The base of the installed-product information. Its classes are never instantiated: every
// operation belongs to a class. Each class has one metaclass object (ClassInfo()) whose virtual
// members are the class operations, so that an operation called on a product's class reaches
// that class's overrides, as the base's algorithms rely on.

#include <cstdint>
#include <string>

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "common/FileVersion.h"

namespace kv {

// Raised by the class operations a product class must override but does not.
KV_DECLARE_EXCEPTION(ECustomApplication, Exception)

// The class operations of TCustomApplicationInformation and its descendants.
class TCustomApplicationInformationClass : public TClass {
 public:
  using TClass::TClass;

  // The product's key under the uninstall entries of the local-machine registry.
  virtual std::string RegistryKey() const;
  virtual std::string ApplicationDisplayName() const;
  // The file name of the client executable.
  virtual std::string ApplicationExeName() const;
  // InstallFolder with a trailing backslash, then ApplicationExeName.
  virtual std::string ApplicationPath() const;
  // The folder of the product's database files.
  virtual std::string DBaseFolder() const;
  // The running program's folder in portable mode, else the uninstall entry's InstallLocation;
  // always with a trailing backslash.
  virtual std::string InstallFolder() const;
  // The client executable is present in InstallFolder and of the product's generation.
  virtual bool IsApplicationInstalled() const;
  // Some process holds the mutex the running client holds.
  virtual bool IsApplicationRuning() const;
  virtual std::string MutexName() const;
  // The product's folder relative to a portable root.
  virtual std::string PortableRelativePath() const;
  virtual bool TrustedApplication() const;
  // The product generation: the major number of the client's file version.
  virtual int32_t MajorVersionDigit() const;
  // Whether the client is a 64-bit program, whose uninstall entry is in the 64-bit view.
  virtual bool ApplicationPlatform64() const;

  // The client executable's file version; all zero when the file is missing.
  TDigitalFileVersionInfo ApplicationVersion() const;
  uint32_t ApplicationVersionInt() const;
  bool IsApplicationPresent() const;
  // Whether the platform's code-signing trust service accepts the client executable.
  bool IsApplicationTrusted() const;

 protected:
  // Raises ECustomApplication naming this class and the operation.
  [[noreturn]] void NotImplemented(const char* operation) const;
};

class TCustomApplicationInformation : public TObject {
 public:
  TCustomApplicationInformation() = delete;
  static const TCustomApplicationInformationClass& ClassInfo();
};

}  // namespace kv
