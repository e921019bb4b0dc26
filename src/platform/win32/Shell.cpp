#include "platform/Shell.h"

#include "platform/win32/Win32.h"

#include <shlobj.h>

namespace kv::platform {
namespace {

int CsidlOf(TSpecialFolder folder) {
  switch (folder) {
    case TSpecialFolder::Documents:
      return CSIDL_PERSONAL;
    case TSpecialFolder::Desktop:
      return CSIDL_DESKTOPDIRECTORY;
    case TSpecialFolder::AppData:
      return CSIDL_APPDATA;
    case TSpecialFolder::CommonAppData:
      return CSIDL_COMMON_APPDATA;
  }
  throw EInvalidOperation("Unknown special folder");
}

UINT MessageBoxStyleOf(TMessageKind kind) {
  UINT style = kind.Buttons == TMessageButtons::YesNo ? MB_YESNO : MB_OK;
  switch (kind.Icon) {
    case TMessageIcon::None:
      break;
    case TMessageIcon::Error:
      style |= MB_ICONERROR;
      break;
    case TMessageIcon::Warning:
      style |= MB_ICONWARNING;
      break;
    case TMessageIcon::Question:
      style |= MB_ICONQUESTION;
      break;
  }
  return kind.SecondIsDefault ? style | MB_DEFBUTTON2 : style;
}

TMessageAnswer AnswerOf(int result) {
  switch (result) {
    case IDOK:
      return TMessageAnswer::Ok;
    case IDYES:
      return TMessageAnswer::Yes;
    case IDNO:
      return TMessageAnswer::No;
    default:
      return TMessageAnswer::None;
  }
}

class Win32SpecialFolders final : public ISpecialFolders {
 public:
  std::string GetPath(TSpecialFolder folder) override {
    wchar_t buffer[MAX_PATH];
    win32::CheckLastError(SHGetSpecialFolderPathW(nullptr, buffer, CsidlOf(folder), FALSE));
    std::string path = win32::Narrow(buffer);
    if (!path.empty() && path.back() == '\\') {
      path.pop_back();
    }
    return path;
  }
};

// The resource as GetFileVersionInfoW copies it; VerQueryValueW points into this block.
class Win32VersionResource final : public IVersionResource {
 public:
  explicit Win32VersionResource(std::vector<uint8_t> block) : FBlock(std::move(block)) {}

  std::vector<uint8_t> Translation() const override {
    const auto [data, length] = Query(L"\\VarFileInfo\\Translation");
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + length};
  }
  std::optional<TFixed> Fixed() const override {
    const auto [data, length] = Query(L"\\");
    if (length < sizeof(VS_FIXEDFILEINFO)) {
      return std::nullopt;
    }
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(data);
    return TFixed{fixed.dwFileVersionMS, fixed.dwFileVersionLS};
  }
  std::optional<std::string> String(const std::string& path) const override {
    const auto [data, length] = Query(win32::Wide(path));
    // The length counts characters, the terminating null among them.
    std::wstring_view text(static_cast<const wchar_t*>(data), length);
    while (!text.empty() && text.back() == L'\0') {
      text.remove_suffix(1);
    }
    if (text.empty()) {
      return std::nullopt;
    }
    return win32::Narrow(text);
  }

 private:
  struct TValue {
    const void* Data = nullptr;
    UINT Length = 0;
  };
  TValue Query(const std::wstring& path) const {
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(FBlock.data(), path.c_str(), &data, &length) || data == nullptr) {
      return {};
    }
    return {data, length};
  }

  std::vector<uint8_t> FBlock;
};

class Win32FileVersionResources final : public IFileVersionResources {
 public:
  std::unique_ptr<IVersionResource> Load(const std::string& fileName) override {
    const std::wstring name = win32::Wide(fileName);
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &unused);
    if (size == 0) {
      return nullptr;
    }
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) {
      return nullptr;
    }
    return std::make_unique<Win32VersionResource>(std::move(block));
  }
};

class Win32MessageBoxes final : public IMessageBoxes {
 public:
  TMessageAnswer Show(TWindowHandle owner, const std::string& text, const std::string& caption,
                      TMessageKind kind) override {
    return AnswerOf(MessageBoxW(win32::HandleOf(owner), win32::Wide(text).c_str(),
                                win32::Wide(caption).c_str(), MessageBoxStyleOf(kind)));
  }
};

}  // namespace

template <>
ISpecialFolders& TCurrent<ISpecialFolders>::Default() {
  static Win32SpecialFolders instance;
  return instance;
}

template <>
IFileVersionResources& TCurrent<IFileVersionResources>::Default() {
  static Win32FileVersionResources instance;
  return instance;
}

template <>
IMessageBoxes& TCurrent<IMessageBoxes>::Default() {
  static Win32MessageBoxes instance;
  return instance;
}

}  // namespace kv::platform
