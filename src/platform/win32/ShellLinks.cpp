#include "platform/Shell.h"

#include "platform/win32/Com.h"

#include <shlobj.h>

namespace kv::platform {
namespace {

// The shell's own link object, saved through its file interface.
class Win32ShellLinks final : public IShellLinks {
 public:
  void Create(const std::string& linkFile, const std::string& target,
              const std::string& workingFolder) override {
    win32::EnsureComInitialized();
    win32::com_ptr<IShellLinkW> link;
    win32::CheckResult(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkW, link.put_void()),
                       linkFile);
    link->SetPath(win32::Wide(target).c_str());
    link->SetWorkingDirectory(win32::Wide(workingFolder).c_str());
    win32::com_ptr<IPersistFile> file;
    win32::CheckResult(link->QueryInterface(IID_IPersistFile, file.put_void()), linkFile);
    // FALSE: the link object keeps no current file; it is let go right after.
    win32::CheckResult(file->Save(win32::Wide(linkFile).c_str(), FALSE), linkFile);
  }
};

}  // namespace

template <>
IShellLinks& TCurrent<IShellLinks>::Default() {
  static Win32ShellLinks instance;
  return instance;
}

}  // namespace kv::platform
