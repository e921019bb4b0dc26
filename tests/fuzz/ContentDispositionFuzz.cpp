// libFuzzer target: arbitrary bytes as a response's header block. The file name read from its
// Content-Disposition, made safe, is one plain file name: not empty, no separator, no character
// Windows refuses, no "." or "..", no trailing dot or blank.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/Common.Net.WinInet.h"
#include "net/SafeFileName.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string headers(reinterpret_cast<const char*>(data), size);
  const std::string name = kv::SafeFileName(kv::ContentDispositionFilename(headers), "x.bin");
  Check(!name.empty() && name != "." && name != "..");
  Check(name.find_first_of("<>:\"/\\|?*") == std::string::npos);
  Check(name.back() != '.' && name.back() != ' ');
  for (const char c : name) {
    Check(static_cast<unsigned char>(c) >= 0x20);
  }
  return 0;
}
