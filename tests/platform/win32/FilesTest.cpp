#include "platform/Files.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/win32/Win32.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

struct TShareCase {
  const char* Name;
  TFileOpenMode FirstMode;
  TFileShare FirstShare;
  TFileOpenMode SecondMode;
  bool SecondOpens;
};

// The second opener asks for no restriction; whether it gets in depends on the first one's share.
TEST(ShareModeTest, FirstOpenerDecidesWhoElseGetsIn) {
  const std::string path = TempFolder() + "kv_share_mode.tmp";
  OpenFile(path, TFileOpenMode::Create);
  const TShareCase cases[] = {
      {"deny none, writer", TFileOpenMode::OpenRead, TFileShare::DenyNone,
       TFileOpenMode::OpenReadWrite, true},
      {"deny write, reader", TFileOpenMode::OpenRead, TFileShare::DenyWrite,
       TFileOpenMode::OpenRead, true},
      {"deny write, writer", TFileOpenMode::OpenRead, TFileShare::DenyWrite,
       TFileOpenMode::OpenReadWrite, false},
      {"exclusive, reader", TFileOpenMode::OpenReadWrite, TFileShare::Exclusive,
       TFileOpenMode::OpenRead, false},
      {"deny read, reader", TFileOpenMode::OpenOrCreate, TFileShare::DenyRead,
       TFileOpenMode::OpenRead, false},
      {"deny read, writer", TFileOpenMode::OpenOrCreate, TFileShare::DenyRead,
       TFileOpenMode::OpenOrCreate, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto first = OpenFile(path, c.FirstMode, c.FirstShare);
    try {
      OpenFile(path, c.SecondMode, TFileShare::DenyNone);
      EXPECT_TRUE(c.SecondOpens);
    } catch (const EOSError& e) {
      EXPECT_FALSE(c.SecondOpens);
      EXPECT_EQ(e.ErrorCode(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    }
  }
  EXPECT_TRUE(DeleteFile(path));
}

// A file that Windows will not delete, held open without delete sharing or read-only, keeps its
// whole content.
TEST(DeleteFileInStepsTest, AFileWindowsKeepsIsNotShrunk) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Смета.xls");
  const std::string bytes(5000, 's');
  const auto untouched = [&] {
    int steps = 0;
    EXPECT_FALSE(DeleteFileInSteps(path, 1000, [&] { ++steps; }));
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
  };
  test::WriteFileBytes(path, bytes);
  {
    const auto held = OpenFile(path, TFileOpenMode::OpenRead);
    untouched();
  }
  SetFileAttributesW(win32::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
  untouched();
  SetFileAttributesW(win32::Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileInSteps(path, 1000, [] {}));
  EXPECT_FALSE(FileExists(path));
}

class AtomicWriteTest : public testing::Test {
 protected:
  void SetUp() override { test::WriteFileBytes(FPath, FOld); }

  test::TTempFolder FFolder;
  const std::string FPath = FFolder.Path("Connections.xml");
  const std::string FOld = "<Connections/>";
};

// Windows replaces no file that another opener holds without delete sharing, which no share mode
// of ours grants: the save fails, the old file stays whole and our temporary file goes.
TEST_F(AtomicWriteTest, ALockedTargetKeepsItsContentAndNoTemporaryFileIsLeft) {
  for (const TFileShare share : {TFileShare::DenyNone, TFileShare::Exclusive}) {
    SCOPED_TRACE(static_cast<int>(share));
    {
      const auto lock = OpenFile(FPath, TFileOpenMode::OpenRead, share);
      EXPECT_THROW(WriteFileAtomically(FPath, "<Connections Count=\"1\"/>"), EOSError);
    }
    EXPECT_EQ(test::ReadFileBytes(FPath), FOld);
    // Wine's replace leaves a file of its own ("rf*.tmp") behind; ours must be gone.
    EXPECT_TRUE(FindFiles(FFolder.Path(""), "Connections.xml.~*").empty());
  }
}

TEST_F(AtomicWriteTest, TheReplacementKeepsTheFileAttributes) {
  const std::wstring path = win32::Wide(FPath);
  for (const DWORD attributes :
       {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
    SCOPED_TRACE(attributes);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
    WriteFileAtomically(FPath, "<Connections/>\r\n");
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & attributes, attributes);
    EXPECT_EQ(test::ReadFileBytes(FPath), "<Connections/>\r\n");
  }
}

TEST(ReadOnlyFileTest, SetsAndClearsTheAttributeKeepingTheOthers) {
  test::TTempFolder temp;
  const std::string path = temp.Path("view.txt");
  test::WriteFileBytes(path, "x");
  const std::wstring wide = win32::Wide(path);
  const DWORD before = GetFileAttributesW(wide.c_str());
  ASSERT_NE(before, INVALID_FILE_ATTRIBUTES);
  SetFileReadOnly(path, true);
  // (Whether a write is then refused is the system's affair; under Wine a root user may write.)
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), before | FILE_ATTRIBUTE_READONLY);
  SetFileReadOnly(path, false);
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), before);
}

TEST(DownloadMarkTest, PutsTheFileInTheInternetZone) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Чертёж.pdf");
  test::WriteFileBytes(path, "%PDF");
  EXPECT_TRUE(MarkAsDownloadedFromInternet(path));
  EXPECT_EQ(test::ReadFileBytes(path + ":Zone.Identifier"), "[ZoneTransfer]\r\nZoneId=3\r\n");
  EXPECT_EQ(test::ReadFileBytes(path), "%PDF");
}

}  // namespace
}  // namespace kv::platform
