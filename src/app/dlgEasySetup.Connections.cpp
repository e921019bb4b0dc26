// The data-source page and the merge of file extensions into the client's common settings.
#include <algorithm>
#include <any>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "app/dlgEasySetup.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

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

void TfrmEasySetup::RegisterConnections() {
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  ICheckedTree& tree = FView.Tree();
  for (int i = 0; i < tree.Count(); ++i) {
    const TTreeNode node = tree.Item(i);
    if (!tree.GetChecked(node)) {
      continue;
    }
    // The online node has no package entry: its text alone tells it from the folders.
    if (platform::SameTextLocale(tree.Text(node), OnlineServiceCaption)) {
      if (!pool.FindConnection(TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID())) {
        TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
      }
      continue;
    }
    const int entry = tree.Data(node);
    const std::string root = std::any_cast<int>(DataList.Objects(entry)) == DocumentTreeTag
                                 ? SmetaAppFolder
                                 : SmetaCommonFolder;
    const std::string path = root + DataList[entry];
    if (!platform::DirectoryExists(path)) {
      continue;
    }
    auto connection = std::make_unique<TFileSystemConnection>();
    connection->SetAddress(path);
    connection->SetUsages(TStorageKinds{TStorageKind::Smeta});
    connection->SetCaption(path.substr(path.find_last_of("\\/") + 1));
    if (!pool.FindConnection(connection->ClassType().ClassID(), path)) {
      pool.AddConnection(std::move(connection), -1);
    }
  }
  pool.SaveToOptionsStorage();
}

void TfrmEasySetup::MergeExternalFileExts() {
  if (ExternalFileExts.empty()) {
    return;
  }
  const std::string folder =
      IncludeTrailingBackslash(TSmeta9Information32::ClassInfo().CommonSettingFolder());
  const std::string fileName = folder + "CommonSetting.XML";
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
                                 static_cast<int32_t>(0x80004005u));
  }

  std::string merged(Trim(root.Attribute("ExternalFileExts").value_or("")));
  if (!merged.empty()) {
    merged += ';';
  }
  merged += Trim(ExternalFileExts);
  if (merged.empty()) {
    return;
  }
  root.SetAttribute("ExternalFileExts", JoinExtensions(SortedExtensions(merged)));
  // A client that has not run yet for this user has no settings folder.
  platform::ForceDirectories(folder);
  document.Save(fileName);
}

}  // namespace kv::app
