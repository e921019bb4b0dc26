#include "support/BlockedSave.h"

#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace kv::test {

struct TBlockedSave::TState {
  rlimit Limit{};
  struct sigaction Action {};
};

TBlockedSave::TBlockedSave(const std::string&) : FState(std::make_unique<TState>()) {
  // Writing past the limit then fails with EFBIG instead of ending the process.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  EXPECT_EQ(sigaction(SIGXFSZ, &ignore, &FState->Action), 0);
  EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &FState->Limit), 0);
  rlimit full = FState->Limit;
  full.rlim_cur = 1;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
}

TBlockedSave::~TBlockedSave() {
  setrlimit(RLIMIT_FSIZE, &FState->Limit);
  sigaction(SIGXFSZ, &FState->Action, nullptr);
}

}  // namespace kv::test
