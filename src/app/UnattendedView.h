#pragma once
// The wizard's view when nobody is at it: no window, no questions. What the wizard shows is
// seen by the recording view in front of this one (RecordingView.h).

#include "app/EasySetupView.h"
#include "app/MemoryCheckedTree.h"

namespace kv::app {

// Raised where the wizard would end the process at once, so that the run can still say how
// it ended.
struct THaltRequest {
  int ExitCode;
};

class TUnattendedView : public IEasySetupView {
 public:
  void Show(TViewPart, bool) override {}
  void SetStatus(const std::string&) override {}
  void SetTreeCaption(const std::string&) override {}
  void SetFinishText(const std::string&) override {}
  void SetNextCaption(const std::string&) override {}
  void SetEnabled(TWizardButton, bool) override {}
  void ShowPressed(TWizardButton, bool) override {}
  void AppendLog(const std::string&) override {}
  void ScrollLogToEnd() override {}
  void SetEntryCount(int) override {}
  void StepEntries() override {}
  void SetFilePercent(int) override {}
  // The wizard asks only after a cancel, which nobody here can give.
  bool Ask(const std::string&) override { return false; }
  void ShowWarning(const std::string&) override {}
  void ShowError(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void BlockSessionEnd(const std::string&) override {}
  void AllowSessionEnd() override {}
  void ProcessMessages() override {}
  void Close() override { FClosed = true; }
  [[noreturn]] void Halt(int exitCode) override { throw THaltRequest{exitCode}; }
  platform::TWindowHandle Handle() const override { return platform::TWindowHandle::None; }
  ICheckedTree& Tree() override { return FTree; }

  bool Closed() const { return FClosed; }

 private:
  TMemoryCheckedTree FTree;
  bool FClosed = false;
};

}  // namespace kv::app
