#pragma once
// Shortcuts on the user's desktop: each one made is remembered, so that a rollback can delete
// them again.

#include <string>
#include <string_view>
#include <vector>

namespace kv::platform {
class IRegistry;
class ISpecialFolders;
class IShellLinks;
}  // namespace kv::platform

namespace kv::app {

// Whether the text names anything once separators, dots and blanks are set aside.
bool IsUsableLinkName(std::string_view text);

// A shortcut name from the package made one file name inside the desktop folder: characters a
// file name cannot hold (separators among them) become "_", blanks around it go, and a name that
// is empty, only dots or a device's gets a leading "_".
std::string SafeLinkName(std::string_view name);

class TDesktopLinks {
 public:
  TDesktopLinks(platform::IRegistry& registry, platform::ISpecialFolders& specialFolders,
                platform::IShellLinks& shellLinks);

  // linkName + ".lnk" on the desktop, pointing at target with target's folder as working folder;
  // an existing one of that name is replaced. A name too long for the desktop's path is
  // shortened. Raises the system error when it cannot be saved.
  void CreateDesktopLink(const std::string& target, const std::string& linkName);
  // Deletes every shortcut made, in the order made; failures are ignored and the list stays.
  void DeleteAll() const;
  // The full paths of the shortcuts made, in order (ShortCutList).
  const std::vector<std::string>& Made() const { return FMade; }

 private:
  std::string DesktopFolder() const;

  platform::IRegistry& FRegistry;
  platform::ISpecialFolders& FSpecialFolders;
  platform::IShellLinks& FShellLinks;
  std::vector<std::string> FMade;
};

}  // namespace kv::app
