#include "support/ChildProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv::test {

int RunProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> arguments{program};
  arguments.insert(arguments.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : arguments) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  if (WIFSIGNALED(status)) {
    return 128 + WTERMSIG(status);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void KillThisProcess() {
  raise(SIGKILL);
  _exit(kKilledExitCode);  // not reached: SIGKILL is never caught
}

}  // namespace kv::test
