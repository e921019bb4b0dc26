#pragma once
// Text for whoever started the program from a command line: the window program has no console
// of its own, so it writes to the standard error it was handed, or else to its parent's console.

#include <string>

namespace kv::app {

// One line of text; false when the program has neither.
bool WriteToConsole(const std::string& text);

}  // namespace kv::app
