#include "app/RecordingView.h"

#include "base/Exceptions.h"

namespace kv::app {

TRecordingView::TRecordingView(IEasySetupView& view, TRunLog* log) : FView(view), FLog(log) {}

void TRecordingView::Note(const std::string& line) {
  if (!FLog) {
    return;
  }
  // A log that can no longer be written must not stop the update it describes.
  try {
    FLog->Write(line);
  } catch (const EOSError& error) {
    FLog = nullptr;
    FMessages.push_back("Журнал не записан до конца: " + error.Message());
  }
}

void TRecordingView::AppendLog(const std::string& line) {
  Note(line);
  FSteps.back().Lines.push_back(line);
  FView.AppendLog(line);
}

void TRecordingView::StepEntries() {
  FSteps.emplace_back();
  FView.StepEntries();
}

void TRecordingView::Shown(const std::string& text) {
  Note(text);
  FMessages.push_back(text);
  FSteps.back().Failures.push_back(text);
}

bool TRecordingView::Ask(const std::string& question) {
  Note(question);
  const bool yes = FView.Ask(question);
  Note(yes ? "Да" : "Нет");
  return yes;
}

void TRecordingView::ShowWarning(const std::string& text) {
  Shown(text);
  FView.ShowWarning(text);
}

void TRecordingView::ShowError(const std::string& text) {
  Shown(text);
  FView.ShowError(text);
}

void TRecordingView::ShowMessage(const std::string& text) {
  Shown(text);
  FView.ShowMessage(text);
}

void TRecordingView::Halt(int exitCode) {
  if (OnHalt) {
    OnHalt(exitCode);
  }
  FView.Halt(exitCode);
}

std::string TRecordingView::ReasonFor(const std::string& relative) const {
  const std::string quoted = "\"" + relative + "\"";
  for (const TStep& step : FSteps) {
    std::vector<std::string> naming;
    for (const std::string& line : step.Lines) {
      if (line.find(quoted) != std::string::npos) {
        naming.push_back(line);
      }
    }
    if (naming.empty()) {
      continue;
    }
    std::string reason;
    for (const auto* part :
         {&step.Failures, static_cast<const std::vector<std::string>*>(&naming)}) {
      for (const std::string& text : *part) {
        reason += (reason.empty() ? "" : "; ") + text;
      }
    }
    return reason;
  }
  return {};
}

}  // namespace kv::app
