#include "kvtool/DocsCommand.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/Format.h"
#include "kvtool/Console.h"
#include "net/Common.Net.h"
#include "platform/Files.h"
#include "storage/Kv.Types.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"

namespace kv::tool {
namespace {

using nlohmann::json;

// Deeper trees are not followed: a server could answer with folders without end.
constexpr int kMaxDepth = 32;

// "2026-12-10T06:00:00Z"; null for the date 0 that stands for no date.
json DateJson(TDateTime date) {
  if (date == 0) {
    return nullptr;
  }
  const TDateTimeParts p = DecodeDateTime(date);
  return Format("%04d-%02u-%02uT%02d:%02d:%02dZ", p.Year, p.Month, p.Day, p.Hour, p.Minute,
                p.Second);
}

// One listed entry with the interface that tells its kind.
struct TListed {
  TIntfPtr<ISmetaStorageEntry> Entry;
  TIntfPtr<ISmetaStorageFolder> Folder;
  TIntfPtr<ISmetaStorageDocument> Document;
  std::string Name;
};

// Folders first, then by name, whatever order the server gave.
std::vector<TListed> Sorted(const TSmetaStorageEntries& entries) {
  std::vector<TListed> result;
  for (const TIntfPtr<ISmetaStorageEntry>& entry : entries) {
    result.push_back({entry, Supports<ISmetaStorageFolder>(entry),
                      Supports<ISmetaStorageDocument>(entry), entry->GetDescription()});
  }
  std::sort(result.begin(), result.end(), [](const TListed& a, const TListed& b) {
    return static_cast<bool>(a.Folder) != static_cast<bool>(b.Folder) ? static_cast<bool>(a.Folder)
                                                                      : a.Name < b.Name;
  });
  return result;
}

std::string KindOf(const TListed& listed) {
  return listed.Folder ? "folder" : listed.Document ? "document" : "external";
}

json TreeJson(const TSmetaStorageEntries& entries, int depth) {
  json items = json::array();
  for (const TListed& listed : Sorted(entries)) {
    json item = {{"name", listed.Name},
                 {"kind", KindOf(listed)},
                 {"modified", DateJson(listed.Entry->GetDateChange())}};
    if (listed.Document) {
      item["type"] = SmetaDocumentTypeName(listed.Document->GetProperties().DocType);
    }
    if (listed.Folder && depth < kMaxDepth) {
      item["entries"] = TreeJson(listed.Folder->LoadChildItems(), depth + 1);
    }
    items.push_back(std::move(item));
  }
  return items;
}

void PrintTree(const TSmetaStorageEntries& entries, int depth, std::ostream& out) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  for (const TListed& listed : Sorted(entries)) {
    if (listed.Folder) {
      out << indent << listed.Name << "/\n";
      if (depth < kMaxDepth) {
        PrintTree(listed.Folder->LoadChildItems(), depth + 1, out);
      }
    } else if (listed.Document) {
      out << indent << listed.Name << "  ("
          << SmetaDocumentTypeName(listed.Document->GetProperties().DocType) << ")\n";
    } else {
      out << indent << listed.Name << "  (external)\n";
    }
  }
}

// The address's last segment, decoded as the listing decodes names, and the folder before it.
std::pair<std::string, std::string> SplitEntryUrl(const std::string& url) {
  std::string path = url;
  if (!path.empty() && path.back() == '/') {
    path.pop_back();
  }
  const std::string name = ExtractUrlFileName(path);
  return {path.substr(0, path.size() - name.size()), UrlDecode(name)};
}

std::string ReadEntry(const TListed& listed) {
  std::unique_ptr<TStream> content;
  if (listed.Document) {
    content = listed.Document->CreateReadStream();
  } else {
    content = std::make_unique<TMemoryStream>();
    Supports<ISmetaStorageExternalDocument>(listed.Entry)->ReadData(*content);
  }
  std::string bytes(static_cast<size_t>(content->Size()), '\0');
  content->SetPosition(0);
  content->ReadBuffer(bytes.data(), std::ssize(bytes));
  return bytes;
}

}  // namespace

TDocsCommand::TDocsCommand(CLI::App& app, bool& asJson) : FAsJson(asJson) {
  FDocs = app.add_subcommand(
      "docs", "show a read-only document storage on a WebDAV server as a tree, or read a document");
  FDocs->add_option("URL", FUrl, "the storage's http or https address");
  FDocs->add_flag("--json", asJson, "print the tree as one JSON document");
  FGet = FDocs->add_subcommand("get", "read one document or file of a storage");
  FGet->add_option("URL", FUrl, "the document's address")->required();
  FGet->add_option("-o,--output", FFile, "save it to this file, replaced only when read whole");
  FGet->add_flag("--json", asJson, "print its kind, type and size as one JSON document");
  FDocs->parse_complete_callback([this] {
    if (FUrl.empty()) {
      throw CLI::RequiredError("URL");
    }
  });
}

void TDocsCommand::Run(std::ostream& out) const {
  if (!FGet->parsed()) {
    TWebDAVConnection connection;
    connection.SetAddress(FUrl);
    const auto storage = TWebDAVReadOnlySmetaStorage::ClassInfo().Create(connection);
    if (FAsJson) {
      out << json{{"url", FUrl}, {"entries", TreeJson(storage->LoadChildItems(), 0)}}.dump(
                 2, ' ', false, json::error_handler_t::replace)
          << '\n';
    } else {
      PrintTree(storage->LoadChildItems(), 0, out);
    }
    return;
  }

  const auto [folderUrl, name] = SplitEntryUrl(FUrl);
  TWebDAVConnection connection;
  connection.SetAddress(folderUrl);
  const auto storage = TWebDAVReadOnlySmetaStorage::ClassInfo().Create(connection);
  const std::vector<TListed> entries = Sorted(storage->LoadChildItems());
  const auto found = std::find_if(entries.begin(), entries.end(), [&](const TListed& listed) {
    return !listed.Folder && listed.Name == name;
  });
  if (found == entries.end()) {
    ESmetaStorageError::ItemNotFound(name);
  }
  const std::string bytes = ReadEntry(*found);
  if (!FFile.empty()) {
    platform::WriteFileAtomically(FFile, bytes);
  }
  if (FAsJson) {
    json document = {
        {"url", FUrl}, {"name", name}, {"kind", KindOf(*found)}, {"size", bytes.size()}};
    if (found->Document) {
      document["type"] = SmetaDocumentTypeName(found->Document->GetProperties().DocType);
    }
    if (!FFile.empty()) {
      document["file"] = FFile;
    }
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  } else if (!FFile.empty()) {
    out << KindOf(*found)
        << (found->Document ? " " + SmetaDocumentTypeName(found->Document->GetProperties().DocType)
                            : std::string())
        << ": " << bytes.size() << " bytes saved to " << FFile << '\n';
  } else {
    UseBinaryStandardOutput();
    out.write(bytes.data(), std::ssize(bytes));
    out.flush();
  }
}

}  // namespace kv::tool
