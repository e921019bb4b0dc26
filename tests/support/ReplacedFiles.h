#pragma once
// What an update stopped at any point must leave of each installed file it replaces: checked
// after a kill, a cancel or the end of the session.

#include <gtest/gtest.h>

#include <string>

namespace kv::test {

// An installed file that the update replaces.
struct TReplacedFile {
  std::string TargetRoot;  // the installed root, with a trailing backslash
  std::string Path;        // below the root and below its backup folder alike
  std::string OldBytes;
  std::string NewBytes;
};

// The file is whole: the installed copy holds its old or its new bytes, or a backup folder of its
// root ("ExpressBackup\" and a stamp) holds its old bytes complete. The installed copy may then
// be missing or partly written: a backup made by renaming leaves nothing in its place.
testing::AssertionResult IsWholeOrBackedUp(const TReplacedFile& file);

}  // namespace kv::test
