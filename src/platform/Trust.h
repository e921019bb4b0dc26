#pragma once
// The platform's code-signing trust service, through a process-wide current instance
// (Current.h). Linux has no such service: its instance trusts no file.

#include <string>

#include "platform/Current.h"

namespace kv::platform {

class ICodeSigning {
 public:
  virtual ~ICodeSigning() = default;
  // Whether the file's signature is present and trusted; false for a missing file.
  virtual bool IsFileTrusted(const std::string& fileName) = 0;
};
using CurrentCodeSigning = TCurrent<ICodeSigning>;

template <>
ICodeSigning& TCurrent<ICodeSigning>::Default();

}  // namespace kv::platform
