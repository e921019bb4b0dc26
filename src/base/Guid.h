#pragma once
// The GUID value: interface identifiers and connection ids.

#include <array>
#include <cstdint>
#include <string>

namespace kv {

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  std::array<uint8_t, 8> D4{};

  friend bool operator==(const TGUID&, const TGUID&) = default;
  // Braced registry form, upper case: {4DE81104-08B2-4821-960E-8935AC9B8F5E}.
  std::string ToString() const;
};

}  // namespace kv
