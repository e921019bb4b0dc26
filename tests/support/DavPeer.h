#pragma once
// The Apache httpd peer with mod_dav that ctest starts for a build (tests/support/dav-server).

#include <exception>
#include <string>

#include "support/TempFolder.h"

namespace kv::test {

// The peer's address as ctest wrote it into the working folder; empty when the test program was
// started without ctest.
inline std::string DavUrl() {
  try {
    std::string url = ReadFileBytes("dav/url");
    url.erase(url.find_last_not_of("\r\n") + 1);
    return url;
  } catch (const std::exception&) {
    return {};
  }
}

// The peer's document storage collection ("/docs/" beside "/dav/"); empty without ctest.
inline std::string DavDocumentsUrl() {
  std::string url = DavUrl();
  if (url.size() < 4) {
    return {};
  }
  return url.substr(0, url.size() - 4) + "docs/";
}

}  // namespace kv::test
