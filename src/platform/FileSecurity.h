#pragma once
// Who may use a file: reached through an interface so that tests can make the change fail.

#include <string>

#include "platform/Current.h"

namespace kv::platform {

class IFileSecurity {
 public:
  virtual ~IFileSecurity() = default;
  // Gives every user full access to the file and nothing else: on Windows an access-control
  // list of one entry for Everyone, on Linux read and write for all. Raises EOSError when the
  // system refuses.
  virtual void GrantEveryoneAccess(const std::string& path) = 0;
};
using CurrentFileSecurity = TCurrent<IFileSecurity>;

template <>
IFileSecurity& TCurrent<IFileSecurity>::Default();

}  // namespace kv::platform
