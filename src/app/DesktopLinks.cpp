#include "app/DesktopLinks.h"

#include <algorithm>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace kv::app {

namespace {

// The longest path the shell's link saving takes (MAX_PATH with its terminating null).
constexpr size_t kMaxLinkPathLength = 259;

const std::string kShellFoldersKey =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsForbiddenInFileName(char c) {
  return static_cast<unsigned char>(c) < ' ' ||
         std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
}

// Names the system keeps for devices, with or without an extension ("CON", "nul.txt").
bool IsDeviceName(std::string_view name) {
  const std::string base = platform::UpperCaseLocale(Trim(name.substr(0, name.find('.'))));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") {
    return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string SafeLinkName(std::string_view name) {
  std::string safe(Trim(name));
  std::replace_if(safe.begin(), safe.end(), IsForbiddenInFileName, '_');
  if (safe.find_first_not_of('.') == std::string::npos || IsDeviceName(safe)) {
    safe = "_" + safe;
  }
  return safe;
}

bool IsUsableLinkName(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return !IsBlank(c) && c != '.' && !IsForbiddenInFileName(c); });
}

TDesktopLinks::TDesktopLinks(platform::IRegistry& registry,
                             platform::ISpecialFolders& specialFolders,
                             platform::IShellLinks& shellLinks)
    : FRegistry(registry), FSpecialFolders(specialFolders), FShellLinks(shellLinks) {}

void TDesktopLinks::CreateDesktopLink(const std::string& target, const std::string& linkName) {
  const std::string desktop = DesktopFolder();
  std::string name = SafeLinkName(linkName);
  // A long name from the package is shortened so that the link file's path stays within what
  // the shell saves to.
  const size_t length = platform::Utf16Length(PathJoin(desktop, name + ".lnk"));
  if (length > kMaxLinkPathLength) {
    const size_t nameLength = platform::Utf16Length(name);
    const size_t excess = length - kMaxLinkPathLength;
    name = SafeLinkName(CutToUtf16Length(name, nameLength > excess ? nameLength - excess : 0));
  }
  const std::string linkFile = PathJoin(desktop, name + ".lnk");
  FShellLinks.Create(linkFile, target, ExtractFilePath(target));
  FMade.push_back(linkFile);
}

void TDesktopLinks::DeleteAll() const {
  for (const std::string& link : FMade) {
    platform::DeleteFile(link);
  }
}

// The user's desktop folder as the shell records it; when that record is missing, the shell's
// own desktop folder rather than the root of the current drive.
std::string TDesktopLinks::DesktopFolder() const {
  const auto desktop = FRegistry.ReadCurrentUserString(kShellFoldersKey, "Desktop");
  if (desktop && !desktop->empty()) {
    return *desktop;
  }
  return FSpecialFolders.GetPath(platform::TSpecialFolder::Desktop);
}

}  // namespace kv::app
