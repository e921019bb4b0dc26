#include "support/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>

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
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

}  // namespace kv::test
