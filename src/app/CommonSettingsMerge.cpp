#include "app/CommonSettingsMerge.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"

namespace kv::app {

namespace {

// The items between the ";" separators, trimmed, without empty ones, sorted in the user's locale
// without regard to case; of items equal but for case, the first met stays.
std::vector<std::string> SortedExtensions(std::string_view list) {
  std::vector<std::string> sorted;
  for (const auto& piece : SplitString(std::string(list), ";", false)) {
    const std::string_view item = Trim(piece.Text);
    if (item.empty()) {
      continue;
    }
    const auto place = std::lower_bound(
        sorted.begin(), sorted.end(), item,
        [](const std::string& a, auto b) { return platform::CompareTextLocale(a, b) < 0; });
    if (place == sorted.end() || platform::CompareTextLocale(*place, item) != 0) {
      sorted.emplace(place, item);
    }
  }
  return sorted;
}

// Joined with ";"; an item holding a double quote is quoted, its quotes doubled.
std::string JoinExtensions(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) {
      text += ';';
    }
    if (item.find('"') == std::string::npos) {
      text += item;
    } else {
      text += '"' + StringReplace(item, "\"", "\"\"", rfReplaceAll) + '"';
    }
  }
  return text;
}

}  // namespace

TCommonSettingsMerge::TCommonSettingsMerge(const std::string& settingsFolder)
    : FFolder(IncludeTrailingBackslash(settingsFolder)) {}

void TCommonSettingsMerge::Merge(const std::string& externalFileExts) const {
  if (externalFileExts.empty()) {
    return;
  }
  const std::string fileName = FFolder + "CommonSetting.XML";
  platform::TXmlDocument document = platform::TXmlDocument::Create();
  if (platform::FileExists(fileName)) {
    document.Load(fileName);
  }
  platform::TXmlNode root = document.DocumentElement();
  if (!root) {
    root = document.SetDocumentElement("Options");
  } else if (root.Name() != "Options") {
    // Another top-level element would have to go to make room: the file is left alone.
    throw platform::EOleSysError("Only one top level element is allowed in an XML document.",
                                 platform::EOleSysError::kFail);
  }

  std::string merged(Trim(root.Attribute("ExternalFileExts").value_or("")));
  if (!merged.empty()) {
    merged += ';';
  }
  merged += Trim(externalFileExts);
  if (merged.empty()) {
    return;
  }
  root.SetAttribute("ExternalFileExts", JoinExtensions(SortedExtensions(merged)));
  // A client that has not run yet for this user has no settings folder.
  platform::ForceDirectories(FFolder);
  document.Save(fileName);
}

}  // namespace kv::app
