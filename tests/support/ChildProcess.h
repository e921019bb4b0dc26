#pragma once
// Runs a program with arguments and waits for it, so that a test can check what a program sees
// on a real command line.

#include <string>
#include <vector>

namespace kv::test {

// The program's exit code; -1 when it could not be started. Arguments hold no double quotes.
int RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace kv::test
