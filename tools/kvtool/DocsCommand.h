#pragma once
// kvtool's "docs": a read-only document storage on a WebDAV server seen as the client sees it.
// "docs URL" prints its tree (folders, documents with their type, external documents); "docs get
// URL" reads one entry of it.

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>

namespace kv::tool {

class TDocsCommand {
 public:
  // Adds the command to the application; asJson is the tool's --json flag.
  TDocsCommand(CLI::App& app, bool& asJson);

  bool Parsed() const { return FDocs->parsed(); }
  // Runs the parsed command; raises the library's errors.
  void Run(std::ostream& out) const;

 private:
  CLI::App* FDocs;
  CLI::App* FGet;
  bool& FAsJson;
  std::string FUrl;
  std::string FFile;
};

}  // namespace kv::tool
