// libFuzzer target: arbitrary bytes as a PROPFIND answer and as an HTTP date. Reading the answer
// either succeeds or raises the library's own error (a parse error, a missing href, a bad
// escape); every entry's size is not negative and its name holds no "/". The date reader never
// raises and gives only dates of years 1 to 9999.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Exceptions.h"
#include "net/Common.Net.WebDAV.h"
#include "net/HttpDate.h"

namespace {

using namespace kv;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void ReadAnswer(const std::string& bytes) {
  try {
    const platform::TXmlDocument document = platform::TXmlDocument::LoadFromBytes(bytes);
    const TPropFind listing(document.DocumentElement());
    for (const auto& entry : listing.Entries()) {
      Check(entry->ContentSize() >= 0);
      Check(entry->EntryName().find('/') == std::string::npos);
    }
  } catch (const Exception&) {
  }
}

void ReadDate(const std::string& text) {
  if (const auto date = ParseHttpDate(text)) {
    Check(*date >= EncodeDateTime(1, 1, 1, 0, 0, 0) &&
          *date < EncodeDateTime(10000 - 1, 12, 31, 23, 59, 59) + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ReadAnswer(text);
  ReadDate(text);
  return 0;
}
