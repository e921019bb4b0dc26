#pragma once
// The wizard's command line: how it is to run, where its log and result go, and the exit codes
// the program ends with.

#include <string>
#include <vector>

#include "base/Exceptions.h"

namespace kv::app {

// The program's exit codes, the same for every mode.
enum TExitCode : int {
  ecUpdated = 0,         // everything updated (a dry run: the update would go through cleanly)
  ecFilesFailed = 1,     // finished, some files failed and their originals are in place
  ecNothingChanged = 2,  // client running, no client, unreadable package; the update never began
  ecRolledBack = 3,      // the update began, failed, and was put back
  ecBadArguments = 4,    // a command line the program does not understand
  ecAlreadyRunning = 5,  // another wizard runs on this machine
};

// How the program runs: the wizard's window, no window at all, or only a progress window.
enum class TRunMode { Window, Silent, Progress };

struct TCommandLine {
  TRunMode Mode = TRunMode::Window;
  bool Check = false;      // a dry run: reports what the update would do, writes nothing
  std::string LogFile;     // empty: no log file
  std::string ResultFile;  // empty: no result file
};

// A command line the program does not understand; the message names the argument.
KV_DECLARE_EXCEPTION(EBadArguments, Exception)

// The switches start with '/' or '-' and are matched regardless of case: /silent, /progress,
// /check, /log:FILE, /result:FILE. Raises EBadArguments for anything else, for a switch given
// twice, for a file switch without a file, and for /silent with /progress.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace kv::app
