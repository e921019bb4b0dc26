#pragma once
// The platform's code-signing trust service, as the installed-product information asks it.

#include <string>

namespace kv {

// Whether the platform's code-signing trust service accepts the file's signature; always false
// where the platform has no such service.
bool IsFileTrusted(const std::string& fileName);

}  // namespace kv
