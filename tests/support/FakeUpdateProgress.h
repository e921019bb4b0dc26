#pragma once
// What the update reported, in memory; a test can act where it lets messages through.

#include <functional>
#include <string>
#include <vector>

#include "app/Updater.h"

namespace kv::test {

class FakeUpdateProgress final : public app::IUpdateProgress {
 public:
  void Log(const std::string& line) override { Lines.push_back(line); }
  void Status(const std::string& text) override { Statuses.push_back(text); }
  void SetEntryCount(int count) override { EntryCount = count; }
  void EntryDone() override { ++EntriesDone; }
  void FilePercent(int percent) override { Percents.push_back(percent); }
  void ShowFailure(const std::string& text) override { Failures.push_back(text); }
  void LetMessagesRun() override {
    ++Pumps;
    if (OnLetMessagesRun) {
      OnLetMessagesRun();
    }
  }
  // Counted apart: how often the update waits for the system depends on the machine.
  void LetMessagesRunWhileWaiting() override {
    ++Waits;
    if (OnLetMessagesRunWhileWaiting) {
      OnLetMessagesRunWhileWaiting();
    }
  }

  std::vector<std::string> Lines;
  std::vector<std::string> Statuses;
  int EntryCount = -1;
  int EntriesDone = 0;
  std::vector<int> Percents;
  std::vector<std::string> Failures;
  int Pumps = 0;
  std::function<void()> OnLetMessagesRun;
  int Waits = 0;
  std::function<void()> OnLetMessagesRunWhileWaiting;
};

}  // namespace kv::test
