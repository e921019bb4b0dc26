#include "kvtool/KvTool.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>

#include "base/DateTime.h"
#include "base/Format.h"
#include "common/Common.KVSimpleDBase64.h"
#include "kvtool/Console.h"
#include "kvtool/DocsCommand.h"
#include "net/Common.Net.WebDAV.h"
#include "net/Common.Net.WinInet.h"
#include "net/Common.Net.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/MainThread.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"
#include "sysinfo/SysInfo.Core.SmetaDBase.h"

namespace kv::tool {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

void PrintJson(std::ostream& out, const json& document) {
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

// "2026-12-10 06:00:00"; empty for the date 0 that stands for no date.
std::string DateText(TDateTime date, char separator) {
  if (date == 0) {
    return {};
  }
  const TDateTimeParts p = DecodeDateTime(date);
  return Format("%04d-%02u-%02u%c%02d:%02d:%02d", p.Year, p.Month, p.Day, separator, p.Hour,
                p.Minute, p.Second);
}

// A stream over the tool's standard output. It keeps a position so that a writer may move back
// to where it started (as the web client does for its caller), but it writes only at the end.
class TOutputStream : public TStream {
 public:
  explicit TOutputStream(std::ostream& out) : FOut(out) {}
  int64_t Read(void*, int64_t) override { throw EStreamError("standard output is not read"); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (FPosition != FWritten) {
      throw EStreamError("standard output is written only at its end");
    }
    FOut.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
    if (!FOut) {
      throw EWriteError("cannot write to standard output");
    }
    FWritten += count;
    FPosition = FWritten;
    return count;
  }
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override {
    const std::optional<int64_t> target = SeekTarget(offset, origin, FPosition);
    if (!target || *target < 0 || *target > FWritten) {
      throw EStreamError("standard output cannot seek there");
    }
    FPosition = *target;
    return FPosition;
  }
  int64_t Size() override { return FWritten; }

 private:
  std::ostream& FOut;
  int64_t FWritten = 0;
  int64_t FPosition = 0;
};

// A stream that only counts, for a body nobody asked to keep.
class TCountingStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    FCount += count;
    return count;
  }
  int64_t Seek(int64_t, platform::TSeekOrigin) override { return FCount; }
  int64_t Size() override { return FCount; }

 private:
  int64_t FCount = 0;
};

// The progress line of a long download: shown on a terminal once a second has passed, renewed
// four times a second.
class TProgressLine {
 public:
  explicit TProgressLine(std::ostream& err) : FErr(err), FShow(StandardErrorIsTerminal()) {}
  ~TProgressLine() {
    if (FShown) {
      FErr << '\n';
    }
  }
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  void Update(int64_t received) {
    const auto now = Clock::now();
    if (!FShow || now - FStart < std::chrono::seconds(1) ||
        now - FLast < std::chrono::milliseconds(250)) {
      return;
    }
    FLast = now;
    FShown = true;
    FErr << Format("\rreceived %.1f MiB", static_cast<double>(received) / (1 << 20)) << std::flush;
  }

 private:
  std::ostream& FErr;
  bool FShow;
  bool FShown = false;
  Clock::time_point FStart = Clock::now();
  Clock::time_point FLast{};
};

void RunUri(const std::string& address, bool asJson, std::ostream& out) {
  const TUri uri(address);
  if (asJson) {
    json params = json::object();
    for (const auto& [name, value] : uri.Params()) {
      params[name] = value;
    }
    PrintJson(out, {{"protocol", uri.Protocol()},
                    {"userName", uri.UserName()},
                    {"hasPassword", !uri.Password().empty()},
                    {"host", uri.Host()},
                    {"port", uri.Port()},
                    {"path", uri.Path()},
                    {"pathAndQuery", uri.PathAndQuery()},
                    {"params", params}});
    return;
  }
  out << "protocol: " << uri.Protocol() << '\n'
      << "user:     " << uri.UserName() << '\n'
      << "password: " << (uri.Password().empty() ? "" : "(set)") << '\n'
      << "host:     " << uri.Host() << '\n'
      << "port:     " << (uri.Port() != 0 ? std::to_string(uri.Port()) : "") << '\n'
      << "path:     " << uri.Path() << '\n'
      << "request:  " << uri.PathAndQuery() << '\n';
  for (const auto& [name, value] : uri.Params()) {
    out << "param:    " << name << " = " << value << '\n';
  }
}

void RunGet(const std::string& url, const std::string& file, bool asJson, std::ostream& out,
            std::ostream& err) {
  TWinInetWebClient client;
  TProgressLine progress(err);
  client.SetOnProgress([&](int64_t received) { progress.Update(received); });
  int64_t size = 0;
  if (!file.empty()) {
    client.DownloadData(url, file);
    size = platform::FindFile(file).value_or(platform::TFileSearchInfo{}).Size;
  } else if (asJson) {
    TCountingStream counter;
    client.DownloadData(url, counter);
    size = counter.Size();
  } else {
    UseBinaryStandardOutput();
    TOutputStream stdoutStream(out);
    client.DownloadData(url, stdoutStream);
    size = stdoutStream.Size();
    out.flush();
  }
  if (asJson) {
    json document = {{"url", url},
                     {"status", client.ResponseStatusCode()},
                     {"statusText", client.ResponseStatusText()},
                     {"size", size}};
    if (!file.empty()) {
      document["file"] = file;
    }
    PrintJson(out, document);
  } else if (!file.empty()) {
    out << client.ResponseStatusCode() << ' ' << client.ResponseStatusText() << ": " << size
        << " bytes saved to " << file << '\n';
  }
}

// The href's path without a trailing "/", percent-decoded, to tell the collection itself.
std::string ComparablePath(const std::string& path) {
  std::string result = UrlDecode(path);
  while (!result.empty() && result.back() == '/') {
    result.pop_back();
  }
  return result;
}

void RunLs(const std::string& url, bool asJson, std::ostream& out) {
  const TSharedPtr<TPropFind> listing = PropFind(url);
  const std::string self = ComparablePath("/" + TUri(url).Path());
  std::vector<const TPropFindEntry*> entries;
  for (const auto& entry : listing->Entries()) {
    std::string href = entry->Url();
    // An absolute href names the same collection as its path does.
    if (const size_t scheme = href.find("://"); scheme != std::string::npos) {
      const size_t path = href.find('/', scheme + 3);
      href = path == std::string::npos ? "/" : href.substr(path);
    }
    if (ComparablePath(href) != self) {
      entries.push_back(entry.get());
    }
  }
  // Collections first, then by name, whatever order the server gave.
  std::sort(entries.begin(), entries.end(), [](const TPropFindEntry* a, const TPropFindEntry* b) {
    return a->IsContainer() != b->IsContainer() ? a->IsContainer()
                                                : a->EntryName() < b->EntryName();
  });
  if (asJson) {
    json items = json::array();
    for (const TPropFindEntry* entry : entries) {
      const std::string date = DateText(entry->ChangeDate(), 'T');
      items.push_back({{"name", entry->EntryName()},
                       {"kind", entry->IsContainer() ? "collection" : "file"},
                       {"size", entry->ContentSize()},
                       {"modified", date.empty() ? json(nullptr) : json(date + "Z")},
                       {"href", entry->Url()}});
    }
    PrintJson(out, {{"url", url}, {"entries", items}});
    return;
  }
  for (const TPropFindEntry* entry : entries) {
    const std::string date = DateText(entry->ChangeDate(), ' ');
    out << Format("%-4s %14s  %-19s  %s%s\n", entry->IsContainer() ? "dir" : "file",
                  entry->IsContainer() ? "-" : std::to_string(entry->ContentSize()),
                  date.empty() ? "-" : date, entry->EntryName(), entry->IsContainer() ? "/" : "");
  }
}

std::string StreamBytes(TStream& stream) {
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), std::ssize(bytes));
  return bytes;
}

void RunSdbList(const std::string& file, bool asJson, std::ostream& out) {
  TKVSimpleDBaseReader64 reader(file, false);
  const THeader& header = reader.Header();
  const int32_t count = static_cast<int32_t>(reader.RecordCount());
  json items = json::array();
  std::string lines;
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = reader.GetItemName(i);
    TMemoryStream workData;
    reader.GetItemWorkData(i, workData);
    const std::string work =
        platform::DecodeCodePage(platform::AnsiCodePage(), StreamBytes(workData));
    // One damaged item does not hide the others.
    std::optional<int32_t> size;
    try {
      size = reader.GetItemDataSize(i);
    } catch (const EKVSimpleDBase64&) {
    }
    if (asJson) {
      items.push_back({{"index", i},
                       {"name", name},
                       {"size", size ? json(*size) : json(nullptr)},
                       {"workData", work}});
    } else {
      lines += Format("%6d %12s  %s%s\n", i, size ? std::to_string(*size) : "damaged", name,
                      work.empty() ? "" : "  [" + work + "]");
    }
  }
  if (asJson) {
    PrintJson(out, {{"file", file},
                    {"version", header.Version},
                    {"sorted", header.Sorted},
                    {"count", count},
                    {"items", items}});
    return;
  }
  out << "file:    " << file << '\n'
      << "version: " << static_cast<int>(header.Version) << '\n'
      << "sorted:  " << (header.Sorted ? "yes" : "no") << '\n'
      << "items:   " << count << '\n'
      << lines;
}

void RunSdbItem(const std::string& file, const std::string& item, const std::string& output,
                bool asJson, std::ostream& out) {
  TKVSimpleDBaseReader64 reader(file, false);
  TMemoryStream data;
  reader.GetItemData(item, data);
  const std::string bytes = StreamBytes(data);
  if (!output.empty()) {
    platform::WriteFileAtomically(output, bytes);
  }
  if (asJson) {
    json document = {{"file", file}, {"item", item}, {"size", bytes.size()}};
    if (!output.empty()) {
      document["output"] = output;
    }
    PrintJson(out, document);
  } else if (!output.empty()) {
    out << item << ": " << bytes.size() << " bytes saved to " << output << '\n';
  } else {
    UseBinaryStandardOutput();
    out.write(bytes.data(), std::ssize(bytes));
    out.flush();
  }
}

json BaseJson(const std::string& file, const TNB_InfoStruct& info) {
  return {{"path", file},
          {"region", info.RegionName},
          {"version", info.ReleaseNumber},
          {"sysVersion", info.SysVersion},
          {"code", info.Code.IntDBCode()},
          {"dbCode", info.Code.DBCode("NB")},
          {"date", DateText(info.CreationDate, 'T')},
          {"publisher", PublisherText(info.Publidher)},
          {"year", PriceLevelYearText(info.Code.Year)},
          {"district", info.DistrictName},
          {"comment", info.FComment},
          {"creator", info.Creator},
          {"openMask", info.OpenMask}};
}

void RunBase(const std::string& file, bool asJson, std::ostream& out) {
  if (asJson) {
    PrintJson(out, BaseJson(file, ReadDBaseInfo(file)));
    return;
  }
  out << DescribeDBase(file) << '\n';
}

// The bases of the installed client, as its support report lists them.
void RunBases(bool asJson, std::ostream& out) {
  const TSmeta9CustomInformationClass& client = TSmeta9Information32::ClassInfo();
  if (!asJson) {
    std::string text;
    client.GetModulesState(text);
    out << text << '\n';
    return;
  }
  platform::TXmlDocument document = platform::TXmlDocument::Create();
  client.GetModulesState(document.SetDocumentElement("report"));
  json bases = json::array();
  for (const platform::TXmlNode& item : document.DocumentElement().SelectNodes("dbase/item")) {
    json base = json::object();
    for (const auto& [name, value] : item.Attributes()) {
      base[name] = value;
    }
    bases.push_back(base);
  }
  PrintJson(out, {{"folder", client.DBaseFolder()}, {"bases", bases}});
}

// The online service's addresses: loaded from the settings document at the address, or the
// built-in ones without it. The load ends on this, the main, thread, which runs its queue
// meanwhile.
void RunSettings(const std::string& url, bool asJson, std::ostream& out) {
  TKalvorSmetaRuSettings settings;
  if (!url.empty()) {
    bool over = false;
    settings.LoadFromUrlAsync(url).DoFinally([&over] { over = true; });
    while (!over) {
      platform::ProcessMainThreadQueue(std::chrono::milliseconds(100));
    }
    if (settings.IsError()) {
      throw Exception(settings.ErrorMessage());
    }
  }
  const char* source = url.empty() ? "built-in" : "loaded";
  if (asJson) {
    PrintJson(out, {{"url", url},
                    {"source", source},
                    {"smetaDocs", settings.SmetaDocsUrl()},
                    {"docTemplates", settings.DocTemplatesUrl()},
                    {"expTemplates", settings.ExpTemplatesUrl()}});
    return;
  }
  out << "source:       " << source << (url.empty() ? "" : " from " + url) << '\n'
      << "SmetaDocs:    " << settings.SmetaDocsUrl() << '\n'
      << "DocTemplates: " << settings.DocTemplatesUrl() << '\n'
      << "ExpTemplates: " << settings.ExpTemplatesUrl() << '\n';
}

}  // namespace

int RunKvTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App app(
      "kvtool: addresses, downloads, WebDAV listings, online documents, database containers and "
      "normative bases through the Kalvor library",
      "kvtool");
  app.require_subcommand(1);
  bool asJson = false;
  app.add_flag("--json", asJson, "print one JSON document on standard output");

  std::string address;
  CLI::App* uri = app.add_subcommand("uri", "show the parts of an address");
  uri->add_option("ADDRESS", address, "the address")->required();
  uri->add_flag("--json", asJson, "print one JSON document");

  std::string url;
  std::string file;
  CLI::App* get = app.add_subcommand("get", "download an address (to standard output or a file)");
  get->add_option("URL", url, "http or https address")->required();
  get->add_option("-o,--output", file, "save the body to this file, replaced only on success");
  get->add_flag("--json", asJson, "print the status and size as one JSON document");

  CLI::App* ls = app.add_subcommand("ls", "list a WebDAV collection");
  ls->add_option("URL", url, "the collection's http or https address")->required();
  ls->add_flag("--json", asJson, "print the listing as one JSON document");

  std::string sdbFile;
  std::string sdbItem;
  CLI::App* sdb = app.add_subcommand("sdb", "list a database container, or extract one item");
  sdb->add_option("FILE", sdbFile, "the container file")->required();
  sdb->add_option("ITEM", sdbItem, "the item to extract (to standard output or -o)");
  sdb->add_option("-o,--output", file, "save the item's data to this file");
  sdb->add_flag("--json", asJson, "print one JSON document");

  CLI::App* bases = app.add_subcommand("bases", "list the normative bases of the installed client");
  bases->add_flag("--json", asJson, "print one JSON document");

  CLI::App* base = app.add_subcommand("base", "describe one normative base file");
  base->add_option("FILE", sdbFile, "the base file")->required();
  base->add_flag("--json", asJson, "print one JSON document");

  const TDocsCommand docs(app, asJson);
  std::string settingsUrl;
  CLI::App* settingsCommand =
      app.add_subcommand("settings", "load the online service's settings, or show the built-in");
  settingsCommand->add_option("URL", settingsUrl, "the settings document's address");
  settingsCommand->add_flag("--json", asJson, "print one JSON document");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? 0 : 2;
  }

  try {
    if (uri->parsed()) {
      RunUri(address, asJson, out);
    } else if (get->parsed()) {
      RunGet(url, file, asJson, out, err);
    } else if (ls->parsed()) {
      RunLs(url, asJson, out);
    } else if (sdb->parsed() && sdbItem.empty()) {
      RunSdbList(sdbFile, asJson, out);
    } else if (sdb->parsed()) {
      RunSdbItem(sdbFile, sdbItem, file, asJson, out);
    } else if (bases->parsed()) {
      RunBases(asJson, out);
    } else if (base->parsed()) {
      RunBase(sdbFile, asJson, out);
    } else if (docs.Parsed()) {
      docs.Run(out);
    } else if (settingsCommand->parsed()) {
      RunSettings(settingsUrl, asJson, out);
    }
  } catch (const Exception& e) {
    err << "kvtool: " << e.Message() << '\n';
    return 1;
  } catch (const std::exception& e) {
    err << "kvtool: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace kv::tool
