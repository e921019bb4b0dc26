#pragma once
// What kvtool needs of the console that differs between systems.

namespace kv::tool {

// Standard output passes bytes unchanged (Windows would turn LF into CR LF).
void UseBinaryStandardOutput();
// Whether standard error is a terminal, where a progress line may be rewritten in place.
bool StandardErrorIsTerminal();

}  // namespace kv::tool
