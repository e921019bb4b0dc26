#include "sysinfo/SysInfo.Core.Application.h"

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Mutex.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.CommonUtils.h"
#include "sysinfo/SysInfo.Core.WinTrust.h"

namespace kv {

KV_DEFINE_CLASS(ECustomApplication, "ECustomApplication", Exception)

namespace {

const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The running program's folder, with a trailing backslash.
std::string ProgramFolder() {
  return IncludeTrailingBackslash(ExtractFileDir(platform::ProgramFileName()));
}

}  // namespace

void TCustomApplicationInformationClass::NotImplemented(const char* operation) const {
  throw ECustomApplication(ClassName() + " exception. " + operation + "() not implemented.");
}

std::string TCustomApplicationInformationClass::RegistryKey() const {
  NotImplemented("RegistryKey");
}

std::string TCustomApplicationInformationClass::ApplicationDisplayName() const {
  NotImplemented("ApplicationDisplayName");
}

std::string TCustomApplicationInformationClass::ApplicationExeName() const {
  NotImplemented("ApplicationExeName");
}

std::string TCustomApplicationInformationClass::ApplicationPath() const {
  return IncludeTrailingBackslash(InstallFolder()) + ApplicationExeName();
}

std::string TCustomApplicationInformationClass::DBaseFolder() const {
  NotImplemented("DBaseFolder");
}

std::string TCustomApplicationInformationClass::InstallFolder() const {
  if (PortableMode() == kPortableMode) {
    return ProgramFolder();
  }
  const std::string key = kUninstallKey + RegistryKey();
  return IncludeTrailingBackslash(ApplicationPlatform64()
                                      ? ReadLocalMachineString64(key, "InstallLocation")
                                      : ReadLocalMachineString(key, "InstallLocation"));
}

bool TCustomApplicationInformationClass::IsApplicationInstalled() const {
  if (!IsApplicationPresent()) {
    return false;
  }
  if (!platform::SameTextLocale(ExtractFilePath(ApplicationPath()), InstallFolder())) {
    return false;
  }
  return ApplicationVersion().Major == MajorVersionDigit();
}

bool TCustomApplicationInformationClass::IsApplicationRuning() const {
  return platform::CurrentNamedMutexes::Get().Exists(MutexName());
}

std::string TCustomApplicationInformationClass::MutexName() const {
  NotImplemented("MutexName");
}

std::string TCustomApplicationInformationClass::PortableRelativePath() const {
  NotImplemented("PortableRelativePath");
}

bool TCustomApplicationInformationClass::TrustedApplication() const {
  return true;
}

int32_t TCustomApplicationInformationClass::MajorVersionDigit() const {
  NotImplemented("MajorVersionDigit");
}

bool TCustomApplicationInformationClass::ApplicationPlatform64() const {
  return false;
}

TDigitalFileVersionInfo TCustomApplicationInformationClass::ApplicationVersion() const {
  const std::string path = ApplicationPath();
  if (!platform::FileExists(path)) {
    return {};
  }
  return TDigitalFileVersionInfo::CreateFromFile(path);
}

uint32_t TCustomApplicationInformationClass::ApplicationVersionInt() const {
  return ApplicationVersion().AsCardinal();
}

bool TCustomApplicationInformationClass::IsApplicationPresent() const {
  return platform::FileExists(ApplicationPath());
}

bool TCustomApplicationInformationClass::IsApplicationTrusted() const {
  return IsFileTrusted(ApplicationPath());
}

const TCustomApplicationInformationClass& TCustomApplicationInformation::ClassInfo() {
  static const TCustomApplicationInformationClass info("TCustomApplicationInformation",
                                                       &TObject::ClassInfo());
  return info;
}

}  // namespace kv
