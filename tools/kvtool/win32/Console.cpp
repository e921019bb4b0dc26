#include "kvtool/Console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace kv::tool {

void UseBinaryStandardOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool StandardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

}  // namespace kv::tool
