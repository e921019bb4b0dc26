#pragma once
// The file extensions a package names, merged into the "ExternalFileExts" attribute of the
// client's CommonSetting.XML: one sorted list without duplicates.

#include <string>

namespace kv::app {

class TCommonSettingsMerge {
 public:
  // settingsFolder: the client's common settings folder, with or without a trailing backslash.
  explicit TCommonSettingsMerge(const std::string& settingsFolder);

  // Merges the ";"-separated list into the file, creating it when missing; nothing happens for
  // an empty list. Raises the XML error when the file cannot be read as the client's settings.
  void Merge(const std::string& externalFileExts) const;

 private:
  std::string FFolder;
};

}  // namespace kv::app
