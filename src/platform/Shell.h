#pragma once
// Windows services behind interfaces with a process-wide current instance (Current.h): the Win32
// backend installs the real ones; the native build has honest equivalents or fakes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Current.h"

namespace kv::platform {

// Special folder codes (CSIDL) the library asks for.
constexpr int CSIDL_PERSONAL_CODE = 5;           // the user's documents
constexpr int CSIDL_DESKTOPDIRECTORY_CODE = 16;  // the user's desktop folder
constexpr int CSIDL_APPDATA_CODE = 26;           // per-user application data
constexpr int CSIDL_COMMON_APPDATA_CODE = 35;    // common application data

class ISpecialFolders {
 public:
  virtual ~ISpecialFolders() = default;
  // The folder's path without a trailing separator; raises EOSError when the system cannot say.
  virtual std::string GetPath(int csidl) = 0;
};
using CurrentSpecialFolders = TCurrent<ISpecialFolders>;

// A file's version resource, as VerQueryValue answers it.
class IVersionResource {
 public:
  virtual ~IVersionResource() = default;
  // The bytes of "\VarFileInfo\Translation"; empty when absent.
  virtual std::vector<uint8_t> Translation() const = 0;
  // The file version of the fixed information ("\"): most and least significant halves.
  struct TFixed {
    uint32_t FileVersionMS = 0;
    uint32_t FileVersionLS = 0;
  };
  virtual std::optional<TFixed> Fixed() const = 0;
  // A string value such as "\StringFileInfo\041904E3\CompanyName"; nothing when absent.
  virtual std::optional<std::string> String(const std::string& path) const = 0;
};

class IFileVersionResources {
 public:
  virtual ~IFileVersionResources() = default;
  // The file's version resource; null when the file has none.
  virtual std::unique_ptr<IVersionResource> Load(const std::string& fileName) = 0;
};
using CurrentFileVersionResources = TCurrent<IFileVersionResources>;

// Message box types and results, as the system numbers them.
constexpr unsigned MB_OK_CODE = 0x0;
constexpr unsigned MB_OKCANCEL_CODE = 0x1;
constexpr unsigned MB_YESNO_CODE = 0x4;
constexpr unsigned MB_ICONERROR_CODE = 0x10;
constexpr unsigned MB_ICONQUESTION_CODE = 0x20;
constexpr unsigned MB_ICONWARNING_CODE = 0x30;
constexpr unsigned MB_ICONINFORMATION_CODE = 0x40;
constexpr unsigned MB_DEFBUTTON2_CODE = 0x100;  // the second button is the default
constexpr int ID_OK_CODE = 1;
constexpr int ID_CANCEL_CODE = 2;
constexpr int ID_YES_CODE = 6;
constexpr int ID_NO_CODE = 7;

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  // Shows a message box owned by the window (0 for none); returns the button pressed.
  virtual int Show(uintptr_t owner, const std::string& text, const std::string& caption,
                   unsigned type) = 0;
};
using CurrentMessageBoxes = TCurrent<IMessageBoxes>;

// File icons in the system's small-icon image list, which the shell shares with every program.
class IFileIcons {
 public:
  virtual ~IFileIcons() = default;
  // The shared small-icon list (a window-system handle) and its current number of images.
  virtual uintptr_t SystemSmallImageList() = 0;
  virtual int32_t ImageCount(uintptr_t imageList) = 0;
  // The system icon index of the file's small icon, asked of the shell's folder objects; raises
  // EOSError when the shell cannot resolve the file's folder.
  virtual int32_t SystemIconIndex(const std::string& path) = 0;
  // Appends the icon associated with the file (its own, or that of the program registered for
  // its type) to the list; answers the new image's index. One image may serve all files of a
  // type that carries no icons of its own.
  virtual int32_t AddAssociatedIcon(uintptr_t imageList, const std::string& path) = 0;
};
using CurrentFileIcons = TCurrent<IFileIcons>;

// Shell links (.lnk files).
class IShellLinks {
 public:
  virtual ~IShellLinks() = default;
  // Writes a link to target with the working folder into linkFile, replacing an existing one;
  // raises EOSError when the link cannot be saved.
  virtual void Create(const std::string& linkFile, const std::string& target,
                      const std::string& workingFolder) = 0;
};
using CurrentShellLinks = TCurrent<IShellLinks>;

// Flags of the shell's file operations, as the system numbers them.
constexpr unsigned FOF_NOCONFIRMATION_CODE = 0x0010;
constexpr unsigned FOF_ALLOWUNDO_CODE = 0x0040;

// The shell's file operations.
class IShellFileOperations {
 public:
  virtual ~IShellFileOperations() = default;
  // Moves what the source pattern ("folder\*.*") matches into the target folder, merging
  // folders and replacing files as the flags allow; answers the operation's result (0 on
  // success).
  virtual int32_t Move(uintptr_t owner, const std::string& sourcePattern,
                       const std::string& targetFolder, unsigned flags) = 0;
};
using CurrentShellFileOperations = TCurrent<IShellFileOperations>;

}  // namespace kv::platform

namespace kv::platform {
template <>
ISpecialFolders& TCurrent<ISpecialFolders>::Default();
template <>
IFileVersionResources& TCurrent<IFileVersionResources>::Default();
template <>
IMessageBoxes& TCurrent<IMessageBoxes>::Default();
template <>
IFileIcons& TCurrent<IFileIcons>::Default();
template <>
IShellLinks& TCurrent<IShellLinks>::Default();
template <>
IShellFileOperations& TCurrent<IShellFileOperations>::Default();
}  // namespace kv::platform
