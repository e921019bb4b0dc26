#include "platform/Shell.h"

#include <cerrno>
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
  std::string GetPath(TSpecialFolder folder) override {
    switch (folder) {
      case TSpecialFolder::Documents:
        return EnvOr("XDG_DOCUMENTS_DIR", Home() + "/Documents");
      case TSpecialFolder::Desktop:
        return EnvOr("XDG_DESKTOP_DIR", Home() + "/Desktop");
      case TSpecialFolder::AppData:
        return EnvOr("XDG_CONFIG_HOME", Home() + "/.config");
      case TSpecialFolder::CommonAppData:
        return "/var/lib";
    }
    throw EOSError(Format("Unknown special folder %d", static_cast<int>(folder)), ENOENT);
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
  TMessageAnswer Show(TWindowHandle, const std::string& text, const std::string& caption,
                      TMessageKind kind) override {
    std::cerr << caption << ": " << text << '\n';
    return kind.Buttons == TMessageButtons::YesNo ? TMessageAnswer::Yes : TMessageAnswer::Ok;
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
