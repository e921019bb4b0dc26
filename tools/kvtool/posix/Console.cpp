#include "kvtool/Console.h"

#include <unistd.h>

namespace kv::tool {

void UseBinaryStandardOutput() {}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace kv::tool
