#include "platform/win32/Handles.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kv::platform::win32 {
namespace {

// Each release: the value released, and what the watched holder showed meanwhile.
std::vector<std::pair<int*, int*>> Releases;
void RecordRelease(int* value);
using unique_probe = unique_any<int*, &RecordRelease>;
const unique_probe* Watched = nullptr;

void RecordRelease(int* value) {
  Releases.emplace_back(value, Watched ? Watched->get() : nullptr);
}

// A window being destroyed still gets messages that ask for its handle: the holder shows the
// resource until its release has returned.
TEST(UniqueAnyTest, ReleasesEachResourceOnceAndShowsItWhileReleasing) {
  Releases.clear();
  int first = 1;
  int second = 2;
  {
    unique_probe holder(&first);
    Watched = &holder;
    holder.reset(&second);
    unique_probe moved(std::move(holder));
    EXPECT_FALSE(holder);
    Watched = &moved;
    EXPECT_EQ(moved.release(), &second);  // given up: someone else released it
    EXPECT_FALSE(moved);
    moved.reset(&first);
  }
  Watched = nullptr;
  using Release = std::pair<int*, int*>;
  EXPECT_EQ(Releases, (std::vector<Release>{{&first, &first}, {&first, &first}}));
}

TEST(UniqueAnyTest, FileHandlesHoldNothingAsMinusOne) {
  const unique_hfile failed(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed);
  const unique_handle none(nullptr);
  EXPECT_FALSE(none);
}

}  // namespace
}  // namespace kv::platform::win32
