// The database container's reading speed: a container of 100,000 items, opened by the reader and
// searched by the one-shot lookup, by name and by index, with the peak memory of each step. It
// checks nothing: the figures are for reading.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "BenchSystem.h"
#include "common/Common.KVSimpleDBase64.h"
#include "support/SimpleDBaseWriter.h"
#include "support/TempFolder.h"

namespace {

using namespace kv;
using Clock = std::chrono::steady_clock;

constexpr int kItemCount = 100000;
constexpr int kRounds = 20;
constexpr double kMiB = 1024.0 * 1024.0;

std::string NameOf(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "item%06d", index);
  return name;
}

// The best and the mean of kRounds runs, in milliseconds, and the peak memory during them.
void Measure(const std::string& what, const std::function<void()>& run) {
  bench::ResetPeakMemory();
  double best = 1e300;
  double total = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Clock::now();
    run();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    best = std::min(best, ms);
    total += ms;
  }
  std::printf("%-44s best %8.3f ms  mean %8.3f ms  peak resident %6.1f MiB\n", what.c_str(), best,
              total / kRounds, double(bench::PeakMemoryBytes()) / kMiB);
}

}  // namespace

int main() {
  test::TTempFolder folder;
  std::vector<test::TSimpleDBaseItem> items;
  items.reserve(kItemCount);
  for (int i = 0; i < kItemCount; ++i) {
    items.push_back({NameOf(i), "work " + std::to_string(i), std::string(100, char('a' + i % 26))});
  }
  const std::string path = folder.Path("bench.sdb");
  const std::string bytes = test::WriteSimpleDBase(items, {.Version = 5, .Sorted = true}).Bytes;
  test::WriteFileBytes(path, bytes);
  items.clear();
  std::printf("container: %d items, %.1f MiB\n", kItemCount, double(bytes.size()) / kMiB);

  for (int index : {0, kItemCount / 2, kItemCount - 1}) {
    Measure("FastGetItemData " + NameOf(index), [&] {
      TMemoryStream target;
      TKVSimpleDBaseReader64::FastGetItemData(path, NameOf(index), target);
    });
  }
  Measure("FastGetItemData of an absent name", [&] {
    TMemoryStream target;
    TKVSimpleDBaseReader64::FastGetItemData(path, "absent", target);
  });
  Measure("open the reader (buffered)", [&] { TKVSimpleDBaseReader64 reader(path, true); });
  TKVSimpleDBaseReader64 reader(path, false);
  Measure("opened reader: item by name", [&] {
    TMemoryStream target;
    reader.GetItemData(NameOf(kItemCount - 7), target);
  });
  Measure("opened reader: item by index", [&] {
    TMemoryStream target;
    reader.GetItemData(kItemCount / 3, target);
  });
  return 0;
}
