#include "platform/Files.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/win32/Win32.h"

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

}  // namespace
}  // namespace kv::platform
