// libFuzzer target: arbitrary bytes as an online service settings document, read for a few
// program versions. Reading either gives three addresses without surrounding blanks or raises
// the library's exception (a parse error or a missing address); nothing else escapes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/Kv_KalvorSmetaRuSettings.h"

namespace {

using namespace kv;

bool Trimmed(std::string_view text) {
  return text.empty() || (static_cast<unsigned char>(text.front()) > ' ' &&
                          static_cast<unsigned char>(text.back()) > ' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::TXmlDocument document;
  try {
    document = platform::TXmlDocument::LoadFromBytes(
        std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const Exception&) {
    return 0;
  }
  for (const TDigitalFileVersionInfo& version :
       {TDigitalFileVersionInfo{}, TDigitalFileVersionInfo::Create(9, 5, 0, 0),
        TDigitalFileVersionInfo::Create(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX)}) {
    try {
      const TKalvorSmetaRuUrls urls = ReadKalvorSmetaRuSettingsDocument(document, version);
      if (!Trimmed(urls.SmetaDocs) || !Trimmed(urls.DocTemplates) || !Trimmed(urls.ExpTemplates)) {
        std::abort();
      }
    } catch (const Exception&) {
    }
  }
  return 0;
}
