#include "platform/Shell.h"

#include <cstdlib>
#include <iostream>

#include "base/Exceptions.h"

namespace kv::platform {
namespace {

std::string Home() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/tmp";
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// The XDG folders that play the roles of the Windows special folders.
class PosixSpecialFolders final : public ISpecialFolders {
 public:
  std::string GetPath(int csidl) override {
    switch (csidl) {
      case CSIDL_PERSONAL_CODE:
        return EnvOr("XDG_DOCUMENTS_DIR", Home() + "/Documents");
      case CSIDL_DESKTOPDIRECTORY_CODE:
        return EnvOr("XDG_DESKTOP_DIR", Home() + "/Desktop");
      case CSIDL_APPDATA_CODE:
        return EnvOr("XDG_CONFIG_HOME", Home() + "/.config");
      case CSIDL_COMMON_APPDATA_CODE:
        return "/var/lib";
      default:
        throw EOSError(Format("Unknown special folder %d", csidl), 2);
    }
  }
};

// Linux programs carry no version resources.
class PosixFileVersionResources final : public IFileVersionResources {
 public:
  std::unique_ptr<IVersionResource> Load(const std::string&) override { return nullptr; }
};

// No window system: the text goes to the error stream and the first button is taken.
class ConsoleMessageBoxes final : public IMessageBoxes {
 public:
  int Show(uintptr_t, const std::string& text, const std::string& caption, unsigned type) override {
    std::cerr << caption << ": " << text << '\n';
    return (type & 0xF) == MB_YESNO_CODE ? ID_YES_CODE : ID_OK_CODE;
  }
};

}  // namespace

template <>
ISpecialFolders& TCurrent<ISpecialFolders>::Default() {
  static PosixSpecialFolders instance;
  return instance;
}

template <>
IFileVersionResources& TCurrent<IFileVersionResources>::Default() {
  static PosixFileVersionResources instance;
  return instance;
}

template <>
IMessageBoxes& TCurrent<IMessageBoxes>::Default() {
  static ConsoleMessageBoxes instance;
  return instance;
}

}  // namespace kv::platform
