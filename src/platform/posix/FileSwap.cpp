#include "platform/FileSwap.h"

#include <cerrno>
#include <cstdio>

#include <algorithm>

#include "platform/OSError.h"

namespace kv::platform {

void MoveFileOver(const std::string& source, const std::string& target) {
  std::string from = source;
  std::string to = target;
  std::replace(from.begin(), from.end(), '\\', '/');
  std::replace(to.begin(), to.end(), '\\', '/');
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw OSError(static_cast<uint32_t>(errno), target);
  }
}

}  // namespace kv::platform
