#pragma once
// kvtool's commands: "uri" takes an address apart, "get" downloads, "ls" lists a WebDAV
// collection, "docs" shows a document storage or reads a document of it, "settings" loads the
// online service's settings, "sdb" lists a database container or extracts an item, "bases" lists
// the installed client's normative bases and "base" describes one; each prints text, or with
// --json one JSON document.

#include <ostream>
#include <string>
#include <vector>

namespace kv::tool {

// Runs the command line (without the program's name); output goes to out, errors to err.
// Answers the exit code: 0 on success, 1 when the command failed, 2 for a wrong command line.
int RunKvTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kv::tool
