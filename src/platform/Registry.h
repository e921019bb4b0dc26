#pragma once
// Reading string values of the registry's local-machine and current-user roots, through a
// process-wide current instance (Current.h). Linux has no registry: its instance finds no keys.

#include <optional>
#include <string>

#include "platform/Current.h"

namespace kv::platform {

// The two halves a 64-bit system keeps apart: what 32-bit programs see by default, and what
// 64-bit programs see. Our program is 64-bit while some products are 32-bit, so a read always
// names its view.
enum class TRegistryView { Registry32, Registry64 };

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // The string value of a key under HKEY_LOCAL_MACHINE, opened read-only in the view; nothing
  // when the key cannot be opened or holds no string value of that name.
  virtual std::optional<std::string> ReadLocalMachineString(TRegistryView view,
                                                            const std::string& key,
                                                            const std::string& name) = 0;
  // The same under HKEY_CURRENT_USER, whose keys have one view only.
  virtual std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                           const std::string& name) = 0;
};
using CurrentRegistry = TCurrent<IRegistry>;

template <>
IRegistry& TCurrent<IRegistry>::Default();

}  // namespace kv::platform
