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

// A window of the window system, opaque to portable code; None is no window.
enum class TWindowHandle : uintptr_t { None = 0 };
// An image list of the window system.
enum class TImageListHandle : uintptr_t { None = 0 };

// The special folders the library asks for.
enum class TSpecialFolder {
  Documents,      // the user's documents
  Desktop,        // the user's desktop folder
  AppData,        // per-user application data
  CommonAppData,  // application data common to all users
};

class ISpecialFolders {
 public:
  virtual ~ISpecialFolders() = default;
  // The folder's path without a trailing separator; raises EOSError when the system cannot say.
  virtual std::string GetPath(TSpecialFolder folder) = 0;
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

enum class TMessageButtons { Ok, YesNo };
enum class TMessageIcon { None, Error, Warning, Question };

// What a message box offers: its buttons, its icon and which button Enter presses.
struct TMessageKind {
  TMessageButtons Buttons = TMessageButtons::Ok;
  TMessageIcon Icon = TMessageIcon::None;
  bool SecondIsDefault = false;  // Enter presses the second button (No of Yes and No)

  friend bool operator==(const TMessageKind&, const TMessageKind&) = default;
};

// The button that closed a message box; None when the box could not be shown.
enum class TMessageAnswer { None, Ok, Yes, No };

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  // Shows a message box owned by the window (None for none); returns the button pressed.
  virtual TMessageAnswer Show(TWindowHandle owner, const std::string& text,
                              const std::string& caption, TMessageKind kind) = 0;
};
using CurrentMessageBoxes = TCurrent<IMessageBoxes>;

// File icons in the system's small-icon image list, which the shell shares with every program.
class IFileIcons {
 public:
  virtual ~IFileIcons() = default;
  // The shared small-icon list and its current number of images.
  virtual TImageListHandle SystemSmallImageList() = 0;
  virtual int32_t ImageCount(TImageListHandle imageList) = 0;
  // The system icon index of the file's small icon, asked of the shell's folder objects; raises
  // EOSError when the shell cannot resolve the file's folder.
  virtual int32_t SystemIconIndex(const std::string& path) = 0;
  // Appends the icon associated with the file (its own, or that of the program registered for
  // its type) to the list; answers the new image's index. One image may serve all files of a
  // type that carries no icons of its own.
  virtual int32_t AddAssociatedIcon(TImageListHandle imageList, const std::string& path) = 0;
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

// How the shell's move treats what it replaces.
struct TMoveOptions {
  bool NoConfirmation = false;  // every replace is answered yes without asking
  bool AllowUndo = false;       // the shell keeps what it needs to undo the move

  friend bool operator==(const TMoveOptions&, const TMoveOptions&) = default;
};

// The shell's file operations.
class IShellFileOperations {
 public:
  virtual ~IShellFileOperations() = default;
  // Moves what the source pattern ("folder\*.*") matches into the target folder, merging
  // folders and replacing files as the options allow; answers the operation's result (0 on
  // success).
  virtual int32_t Move(TWindowHandle owner, const std::string& sourcePattern,
                       const std::string& targetFolder, TMoveOptions options) = 0;
};
using CurrentShellFileOperations = TCurrent<IShellFileOperations>;

// Opening a file the way the user would by double-clicking it.
class IShellOpen {
 public:
  virtual ~IShellOpen() = default;
  // Opens the file with the program associated with its type, in a normal window; raises
  // EOSError when no program could be started for it.
  virtual void Open(const std::string& path) = 0;
};
using CurrentShellOpen = TCurrent<IShellOpen>;

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
template <>
IShellOpen& TCurrent<IShellOpen>::Default();
}  // namespace kv::platform
