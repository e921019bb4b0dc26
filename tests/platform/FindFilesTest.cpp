#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Files.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

// Names with what the search says of them, sorted: the file system's order is its own.
std::vector<std::string> Found(const std::string& folder, const std::string& mask) {
  std::vector<std::string> found;
  for (const TFileEntry& entry : FindFiles(folder, mask)) {
    found.push_back(entry.Name + (entry.IsDirectory ? "/" : "=" + std::to_string(entry.Size)));
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(FindFilesTest, MasksIgnoreLetterCase) {
  const test::TTempFolder temp;
  ForceDirectories(temp.Path("Сохранено.tmp"));
  test::WriteFileBytes(temp.Path("a.tmp"), "12345");
  test::WriteFileBytes(temp.Path("Смета.TMP"), "");
  test::WriteFileBytes(temp.Path("a.tmp.bak"), "1");
  test::WriteFileBytes(temp.Path("readme"), "12");

  EXPECT_EQ(Found(temp.Path(""), "*.tmp"),
            (std::vector<std::string>{"a.tmp=5", "Смета.TMP=0", "Сохранено.tmp/"}));
  // Without a trailing separator, and "*.*" for every name, those without a dot too.
  const std::string folder = temp.Path("");
  EXPECT_EQ(Found(folder.substr(0, folder.size() - 1), "*.*"),
            (std::vector<std::string>{"a.tmp.bak=1", "a.tmp=5", "readme=2", "Смета.TMP=0",
                                      "Сохранено.tmp/"}));
  EXPECT_EQ(Found(temp.Path("missing"), "*.*"), std::vector<std::string>{});
}

}  // namespace
}  // namespace kv::platform
