// Bytes copied between two open files, with the system's own means where it has them.
#include "platform/FileCopy.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Files.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

// Bytes that differ along the file, so that a piece out of place shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(i * 7 + i / 65521);
  }
  return bytes;
}

// From where each file stands, both move on: two copies in a row continue each other, beside
// what the target already held. More than one buffer's worth goes in one call.
TEST(FileCopyTest, TheBytesGoFromPositionToPosition) {
  const test::TTempFolder temp;
  const std::string bytes = Pattern(3 * 1024 * 1024 + 5);
  WriteFileBytes(temp.Path("source.bin"), "skip" + bytes + "rest");
  WriteFileBytes(temp.Path("target.bin"), "head");
  {
    const auto source = OpenFile(temp.Path("source.bin"), TFileOpenMode::OpenRead);
    const auto target = OpenFile(temp.Path("target.bin"), TFileOpenMode::OpenReadWrite);
    source->Seek(4, TSeekOrigin::Beginning);
    target->Seek(0, TSeekOrigin::End);
    TCopyError error;
    ASSERT_TRUE(CopyFileBytes(*source, *target, 1000, error));
    ASSERT_TRUE(CopyFileBytes(*source, *target, std::ssize(bytes) - 1000, error));
    EXPECT_EQ(source->Seek(0, TSeekOrigin::Current), 4 + std::ssize(bytes));
    EXPECT_EQ(target->Seek(0, TSeekOrigin::Current), 4 + std::ssize(bytes));
  }
  EXPECT_EQ(ReadFileBytes(temp.Path("target.bin")), "head" + bytes);
}

// A source that ends before the bytes asked for (another program cut it) fails in reading; a
// target that cannot be written fails in writing. Each with the system's code.
TEST(FileCopyTest, AFailureSaysWhichSideFailed) {
  const test::TTempFolder temp;
  WriteFileBytes(temp.Path("source.bin"), "short");
  WriteFileBytes(temp.Path("target.bin"), "");
  {
    const auto source = OpenFile(temp.Path("source.bin"), TFileOpenMode::OpenRead);
    const auto target = OpenFile(temp.Path("target.bin"), TFileOpenMode::OpenOrCreate);
    TCopyError error;
    EXPECT_FALSE(CopyFileBytes(*source, *target, 6, error));
    EXPECT_TRUE(error.Reading);
    EXPECT_NE(error.Code, 0u);
  }
  {
    const auto source = OpenFile(temp.Path("source.bin"), TFileOpenMode::OpenRead);
    const auto readOnlyTarget = OpenFile(temp.Path("target.bin"), TFileOpenMode::OpenRead);
    TCopyError error;
    EXPECT_FALSE(CopyFileBytes(*source, *readOnlyTarget, 5, error));
    EXPECT_FALSE(error.Reading);
    EXPECT_NE(error.Code, 0u);
  }
  EXPECT_EQ(ReadFileBytes(temp.Path("source.bin")), "short");
}

}  // namespace
}  // namespace kv::platform
