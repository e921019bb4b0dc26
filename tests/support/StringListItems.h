#pragma once

#include <string>
#include <vector>

#include "common/StringList.h"

namespace kv::test {

// The texts of a string list, for comparing with expected ones.
inline std::vector<std::string> Items(const TStringList& list) {
  std::vector<std::string> items;
  for (const auto& item : list) {
    items.push_back(item.Text);
  }
  return items;
}

}  // namespace kv::test
