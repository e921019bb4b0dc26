#include "sysinfo/SysInfo.Core.CommonUtils.h"

#include <exception>
#include <iterator>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace kv {

int PortableMode(const std::vector<std::string>& Args) {
  for (const std::string& arg : Args) {
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

std::string ReadLocalMachineString(const std::string& Key, const std::string& Name) {
  return platform::CurrentRegistry::Get()
      .ReadLocalMachineString(platform::TRegistryView::Registry32, Key, Name)
      .value_or("");
}

std::string ReadLocalMachineString64(const std::string& Key, const std::string& Name) {
  return platform::CurrentRegistry::Get()
      .ReadLocalMachineString(platform::TRegistryView::Registry64, Key, Name)
      .value_or("");
}

bool CheckFolderWritePrivilege(const std::string& Folder) {
  const std::string fileName = IncludeTrailingBackslash(Folder) + "CheckFolderWritePrivilege.bin";
  try {
    platform::OpenFile(fileName, platform::TFileOpenMode::Create);
  } catch (const std::exception&) {
    // Not ours to delete: a file of that name we could not create may be someone else's.
    return false;
  }
  platform::DeleteFile(fileName);
  return true;
}

std::string FormatByteSize(int64_t Size) {
  static const char* const units[] = {" Кбайт", " Мбайт", " Гбайт", " Тбайт"};
  if (Size < 1024) {
    return std::to_string(Size) + " байт";
  }
  int64_t value = Size / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  return std::to_string(value) + units[unit];
}

std::string GetNodeAttributeText(const platform::TXmlNode& Node, const std::string& Name) {
  const std::string text =
      StringReplace(Node.Attribute(Name).value_or(""), "\r\n", "\n", rfReplaceAll);
  return StringReplace(text, "\n", "\r\n", rfReplaceAll);
}

}  // namespace kv
