#pragma once
// Runs a program with arguments and waits for it, so that a test can check what a program sees
// on a real command line; and ends a process as a kill would.

#include <string>
#include <vector>

namespace kv::test {

// The program's exit code; -1 when it could not be started. A program killed by a signal ends
// with 128 + the signal's number, as a shell reports it. Arguments hold no double quotes.
int RunProgram(const std::string& program, const std::vector<std::string>& args);

// The exit code of a killed process: SIGKILL's as a shell reports it.
inline constexpr int kKilledExitCode = 137;

// Ends this process at once, as a kill from outside does: no destructor, handler or buffer flush
// runs, and the exit code is kKilledExitCode.
[[noreturn]] void KillThisProcess();

}  // namespace kv::test
