#include "sysinfo/SysInfo.Core.CommonUtils.h"

#include <exception>
#include <iterator>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace kv {

int PortableMode(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (!arg.empty() && (arg.front() == '-' || arg.front() == '/') &&
        platform::SameTextLocale(std::string_view(arg).substr(1), "portable")) {
      return kPortableMode;
    }
  }
  return kNormalMode;
}

int PortableMode() {
  return PortableMode(platform::CommandLineArgs());
}

std::string ReadLocalMachineString(const std::string& key, const std::string& name) {
  return platform::CurrentRegistry::Get()
      .ReadLocalMachineString(platform::TRegistryView::Registry32, key, name)
      .value_or("");
}

std::string ReadLocalMachineString64(const std::string& key, const std::string& name) {
  return platform::CurrentRegistry::Get()
      .ReadLocalMachineString(platform::TRegistryView::Registry64, key, name)
      .value_or("");
}

bool CheckFolderWritePrivilege(const std::string& folder) {
  const std::string fileName = IncludeTrailingBackslash(folder) + "CheckFolderWritePrivilege.bin";
  try {
    platform::OpenFile(fileName, platform::TFileOpenMode::Create);
  } catch (const std::exception&) {
    // Not ours to delete: a file of that name we could not create may be someone else's.
    return false;
  }
  platform::DeleteFile(fileName);
  return true;
}

std::string FormatByteSize(int64_t size) {
  static const char* const kUnits[] = {" Кбайт", " Мбайт", " Гбайт", " Тбайт"};
  if (size < 1024) {
    return std::to_string(size) + " байт";
  }
  int64_t value = size / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  return std::to_string(value) + kUnits[unit];
}

std::string GetNodeAttributeText(const platform::TXmlNode& node, const std::string& name) {
  const std::string text =
      StringReplace(node.Attribute(name).value_or(""), "\r\n", "\n", rfReplaceAll);
  return StringReplace(text, "\n", "\r\n", rfReplaceAll);
}

}  // namespace kv
