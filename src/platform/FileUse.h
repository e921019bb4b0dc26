#pragma once
// What only the system can say about the files an update is about to replace: the space left on
// their volume and the programs that keep them open. Through a process-wide current instance
// (Current.h), so that tests can say what the system would.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Current.h"

namespace kv::platform {

class IFileUse {
 public:
  virtual ~IFileUse() = default;
  // The bytes the current user may still write on the volume that holds path, asked of its
  // nearest existing folder; nothing when the system cannot say.
  virtual std::optional<int64_t> FreeBytes(const std::string& path) = 0;
  // Whether a program keeps the file open so that it can be neither moved away nor written over.
  virtual bool IsBlocked(const std::string& file) = 0;
  // The programs that keep the file open, as the system names them; empty when it cannot say.
  virtual std::vector<std::string> Holders(const std::string& file) = 0;
};
using CurrentFileUse = TCurrent<IFileUse>;

template <>
IFileUse& TCurrent<IFileUse>::Default();

}  // namespace kv::platform
