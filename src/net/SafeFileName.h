#pragma once
// The one way a name that came from outside (a server's Content-Disposition, an address's last
// segment) becomes a file name: it can then name only a file inside the folder it is put in.

#include <string>

namespace kv {

// The name's last path element, with every character a Windows file name cannot hold replaced
// by "_", trailing dots and blanks removed, and a device name ("CON", "lpt1.txt") prefixed with
// "_". An empty result, "." or ".." gives the fallback, made safe the same way, and "download"
// when that is not usable either.
std::string SafeFileName(const std::string& name, const std::string& fallback);

}  // namespace kv
