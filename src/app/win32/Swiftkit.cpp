// The program: the wizard's window with the wizard in it, until the window closes; or, as the
// command line asks, the wizard without anyone at it.

#include "platform/win32/Win32.h"

#include <commctrl.h>
#include <lmcons.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "app/CommandLine.h"
#include "app/RecordingView.h"
#include "app/RunLog.h"
#include "app/RunResult.h"
#include "app/UnattendedRun.h"
#include "app/UnattendedView.h"
#include "app/UpdateCheck.h"
#include "app/dlgEasySetup.h"
#include "app/win32/Artwork.h"
#include "app/win32/Console.h"
#include "app/win32/EasySetupControls.h"
#include "app/win32/EasySetupWindow.h"
#include "app/win32/ErrorReport.h"
#include "app/win32/ProgressWindow.h"
#include "common/Common.SysUtils.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/win32/Com.h"
#include "platform/win32/Handles.h"

namespace kv::app {
namespace {

using platform::win32::Narrow;
using platform::win32::Wide;

// Held while a wizard runs: a second one would replace and back up the same files at once.
const wchar_t kWizardMutexName[] = L"Swiftkit_ExpressUpdate";
const char* const kAlreadyRunning = "Мастер экспресс обновления уже запущен.";

// A message for whoever started the program: on their console, else in a message box unless the
// run is to be silent.
void Tell(const std::string& text, bool silent) {
  if (!WriteToConsole(text) && !silent) {
    platform::CurrentMessageBoxes::Get().Show(
        platform::TWindowHandle::None, text, win32::kEasySetupCaption,
        {platform::TMessageButtons::Ok, platform::TMessageIcon::Error});
  }
}

// The dry run's report: on the standard output when the program has one (a pipe or a file, as a
// script redirects it), else on the console it was started from, else in a message box unless
// silent.
void ShowReport(const std::string& text, bool silent) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  platform::win32::unique_hfile console;
  if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    console.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr));
    out = console.get();
  }
  if (out && out != INVALID_HANDLE_VALUE) {
    const std::wstring wide = Wide(text);
    DWORD written = 0;
    if (GetFileType(out) == FILE_TYPE_CHAR &&
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      return;
    }
    if (WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return;
    }
  }
  if (!silent) {
    platform::CurrentMessageBoxes::Get().Show(platform::TWindowHandle::None, text,
                                              win32::kEasySetupCaption, {});
  }
}

// Whether a command line that could not be understood still asks for silence.
bool AsksForSilence(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](std::string arg) {
    std::transform(arg.begin(), arg.end(), arg.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return arg == "/silent" || arg == "-silent";
  });
}

std::string UserName() {
  wchar_t name[UNLEN + 1];
  DWORD size = UNLEN + 1;
  return GetUserNameW(name, &size) ? Narrow(name) : std::string();
}

// Where the run writes what it did: both are tried before anything else happens, so that a
// path that cannot be written stops the run at once.
struct TRunOutputs {
  std::unique_ptr<TRunLog> Log;
  std::string ResultFile;

  // The result so far; a killed run leaves it saying that it was running.
  void SaveResult(const TRunResult& result) const {
    if (!ResultFile.empty()) {
      SaveRunResult(ResultFile, result);
    }
  }
};

// The form's handlers on the window's events: both images and both labels press their button,
// a double click as a second press.
void BindEvents(TEasySetupWindow& window, TfrmEasySetup& form) {
  using namespace win32;
  for (int id : {idImage3, idLblNext}) {
    window.Events(id).OnClick = [&form] { form.Image3Click(); };
    window.Events(id).OnDblClick = [&form] { form.Image3Click(); };
  }
  for (int id : {idImage2, idLblCancel}) {
    window.Events(id).OnClick = [&form] { form.Image2Click(); };
  }
  window.Events(idImage3).OnMouseDown = [&form](TMouseButton button) {
    form.Image3MouseDown(TWizardButton::Next, button);
  };
  window.Events(idImage3).OnMouseUp = [&form](TMouseButton button) {
    form.Image3MouseUp(TWizardButton::Next, button);
  };
  window.Events(idImage2).OnMouseDown = [&form](TMouseButton button) {
    form.Image3MouseDown(TWizardButton::Cancel, button);
  };
  window.Events(idImage2).OnMouseUp = [&form](TMouseButton button) {
    form.Image3MouseUp(TWizardButton::Cancel, button);
  };
  window.Events(idLblNext).OnMouseDown = [&form](TMouseButton button) {
    form.lblNextMouseDown(button);
  };
  window.Events(idLblNext).OnMouseUp = [&form](TMouseButton button) {
    form.lblNextMouseUp(button);
  };
  window.Events(idLblCancel).OnMouseDown = [&form](TMouseButton button) {
    form.lblCancelMouseDown(button);
  };
  window.Events(idLblCancel).OnMouseUp = [&form](TMouseButton button) {
    form.lblCancelMouseUp(button);
  };
  window.OnCloseQuery = [&form] { return form.FormCloseQuery(); };
  window.OnQueryEndSession = [&form] { return form.FormQueryEndSession(); };
  window.OnEndSession = [&form] { form.FormEndSession(); };
}

// The end of a run in the log, the result file and, without a window, on the console.
int Finish(const TfrmEasySetup& form, TRecordingView& recording, TRunOutcome outcome, int exitCode,
           const TRunOutputs& outputs, bool toConsole) {
  const TRunResult result = DescribeRun(form, recording, outcome, exitCode);
  recording.Note(std::string("Итог: ") + OutcomeName(outcome) + ", код выхода " +
                 std::to_string(exitCode));
  if (toConsole) {
    for (const std::string& message : result.Messages) {
      WriteToConsole(message);
    }
  }
  try {
    outputs.SaveResult(result);
  } catch (const EOSError& error) {
    recording.Note("Файл результата не записан: " + error.Message());
    WriteToConsole("Файл результата не записан: " + error.Message());
  }
  return exitCode;
}

// The window, as without arguments; it ends with 0 however the wizard ended.
int RunWindow(HINSTANCE instance, int showCommand, const TRunOutputs& outputs) {
  TEasySetupWindow window(LoadEasySetupArtwork(instance));
  TRecordingView recording(window, outputs.Log.get());
  TfrmEasySetup form(recording, ExtractFilePath(platform::ProgramFileName()));
  BindEvents(window, form);
  // The running client's guard ends the process inside the wizard's creation.
  recording.OnHalt = [&](int exitCode) {
    Finish(form, recording, TRunOutcome::NothingChanged, exitCode, outputs, false);
  };
  // Before the window shows: a running client ends the program here, with only its message.
  window.Perform([&form] { form.FormCreate(); });
  window.Show(showCommand);
  window.Run();
  window.Perform([&form] { form.FormDestroy(); });
  return Finish(form, recording, OutcomeOf(form), 0, outputs, false);
}

// /silent and /progress: the whole update with nobody at it.
int RunUnattendedProgram(TRunMode mode, const TRunOutputs& outputs) {
  const std::unique_ptr<TUnattendedView> view = mode == TRunMode::Progress
                                                    ? std::make_unique<TProgressView>()
                                                    : std::make_unique<TUnattendedView>();
  TRecordingView recording(*view, outputs.Log.get());
  const std::string programFolder = ExtractFilePath(platform::ProgramFileName());
  TfrmEasySetup form(recording, programFolder);
  const TRunOutcome outcome = RunUnattended(form, recording, programFolder);
  form.FormDestroy();
  return Finish(form, recording, outcome, ExitCodeOf(outcome), outputs, true);
}

int Run(HINSTANCE instance, int showCommand) {
  const std::vector<std::string> args = platform::CommandLineArgs();
  TCommandLine line;
  try {
    line = ParseCommandLine(args);
  } catch (const EBadArguments& error) {
    Tell(error.Message(), AsksForSilence(args));
    return ecBadArguments;
  }
  const bool silent = line.Mode == TRunMode::Silent;

  const platform::win32::unique_handle wizardMutex(CreateMutexW(nullptr, FALSE, kWizardMutexName));
  if (!wizardMutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    Tell(kAlreadyRunning, silent);
    return ecAlreadyRunning;
  }

  const auto com = platform::win32::CoInitializeEx();
  const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  // The dry run writes nothing: its report goes to whoever started it.
  if (line.Check) {
    return RunCheck(TPackage(ExtractFilePath(platform::ProgramFileName())), line.ResultFile,
                    [silent](const std::string& text) { ShowReport(text, silent); });
  }

  TRunOutputs outputs;
  try {
    if (!line.LogFile.empty()) {
      outputs.Log = std::make_unique<TRunLog>(line.LogFile);
    }
    outputs.ResultFile = line.ResultFile;
    outputs.SaveResult(TRunResult{});
  } catch (const EOSError& error) {
    Tell("Файл журнала или результата не может быть записан: " + error.Message(), silent);
    return ecBadArguments;
  }
  if (outputs.Log) {
    const std::string programFile = platform::ProgramFileName();
    for (const std::string& fact : StartupFacts(programFile, ExtractFilePath(programFile),
                                                UserName(), Narrow(GetCommandLineW()))) {
      outputs.Log->Write(fact);
    }
  }
  return line.Mode == TRunMode::Window ? RunWindow(instance, showCommand, outputs)
                                       : RunUnattendedProgram(line.Mode, outputs);
}

}  // namespace
}  // namespace kv::app

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    return kv::app::Run(instance, showCommand);
  } catch (...) {
    kv::app::ShowException(nullptr);
    return 1;
  }
}
