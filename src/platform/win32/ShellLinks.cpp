#include "platform/Shell.h"

#include "platform/win32/Com.h"

#include <shlobj.h>

namespace kv::platform {
namespace {

[[noreturn]] void RaiseResult(HRESULT result, const std::string& path) {
  throw EOSError(ResultCodeMessage(result) + ": " + path, static_cast<uint32_t>(result));
}

// The shell's own link object, saved through its file interface.
class Win32ShellLinks final : public IShellLinks {
 public:
  void Create(const std::string& linkFile, const std::string& target,
              const std::string& workingFolder) override {
    win32::EnsureComInitialized();
    win32::com_ptr<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.put_void());
    if (FAILED(result)) {
      RaiseResult(result, linkFile);
    }
    link->SetPath(win32::Wide(target).c_str());
    link->SetWorkingDirectory(win32::Wide(workingFolder).c_str());
    const auto file = link.query<IPersistFile>(IID_IPersistFile);
    if (!file) {
      RaiseResult(E_NOINTERFACE, linkFile);
    }
    // FALSE: the link object keeps no current file; it is let go right after.
    result = file->Save(win32::Wide(linkFile).c_str(), FALSE);
    if (FAILED(result)) {
      RaiseResult(result, linkFile);
    }
  }
};

}  // namespace

template <>
IShellLinks& TCurrent<IShellLinks>::Default() {
  static Win32ShellLinks instance;
  return instance;
}

}  // namespace kv::platform
