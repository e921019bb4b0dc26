#pragma once
// A view in front of the wizard's real one: passes everything on, and keeps what the wizard said
// (its status log and its messages) in the run's log file and for the run's result.

#include <functional>
#include <string>
#include <vector>

#include "app/EasySetupView.h"
#include "app/RunLog.h"

namespace kv::app {

class TRecordingView final : public IEasySetupView {
 public:
  // log may be null: nothing is written then.
  TRecordingView(IEasySetupView& view, TRunLog* log);

  void Show(TViewPart part, bool shown) override { FView.Show(part, shown); }
  void SetStatus(const std::string& text) override { FView.SetStatus(text); }
  void SetTreeCaption(const std::string& text) override { FView.SetTreeCaption(text); }
  void SetFinishText(const std::string& text) override { FView.SetFinishText(text); }
  void SetNextCaption(const std::string& text) override { FView.SetNextCaption(text); }
  void SetEnabled(TWizardButton button, bool enabled) override {
    FView.SetEnabled(button, enabled);
  }
  void ShowPressed(TWizardButton button, bool pressed) override {
    FView.ShowPressed(button, pressed);
  }
  void AppendLog(const std::string& line) override;
  void ScrollLogToEnd() override { FView.ScrollLogToEnd(); }
  void SetEntryCount(int count) override { FView.SetEntryCount(count); }
  void StepEntries() override;
  void SetFilePercent(int percent) override { FView.SetFilePercent(percent); }
  bool Ask(const std::string& question) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void BlockSessionEnd(const std::string& reason) override { FView.BlockSessionEnd(reason); }
  void AllowSessionEnd() override { FView.AllowSessionEnd(); }
  void ProcessMessages() override { FView.ProcessMessages(); }
  void Close() override { FView.Close(); }
  // OnHalt runs first: the process may end inside the view's Halt, which never returns.
  void Halt(int exitCode) override;
  platform::TWindowHandle Handle() const override { return FView.Handle(); }
  ICheckedTree& Tree() override { return FView.Tree(); }

  // A line of the run's own, in the log file only.
  void Note(const std::string& line);
  // Every message shown, in order.
  const std::vector<std::string>& Messages() const { return FMessages; }
  // What the run said about a package file that failed: the lines of its step that name it and
  // the failures shown during that step.
  std::string ReasonFor(const std::string& relative) const;

  std::function<void(int exitCode)> OnHalt;

 private:
  // What was said between two steps of the copy: before the first, the package's own findings.
  struct TStep {
    std::vector<std::string> Lines;
    std::vector<std::string> Failures;
  };

  void Shown(const std::string& text);

  IEasySetupView& FView;
  TRunLog* FLog;
  std::vector<std::string> FMessages;
  std::vector<TStep> FSteps{1};
};

}  // namespace kv::app
