// The wizard's window lifecycle, its page flow and its two buttons.
#include "app/dlgEasySetup.h"

#include <utility>

#include "platform/Mutex.h"
#include "platform/Shell.h"

namespace kv::app {

namespace {

// Held by the running client; while it exists the client's files must not be replaced.
const char* const ClientMutexName = "KalvorSmeta_client";

// Both confirmations offer Yes and No, with No as the default so that a stray Enter keeps going.
constexpr platform::TMessageKind QuestionType = platform::TMessageKind{
    platform::TMessageButtons::YesNo, platform::TMessageIcon::Question, true};

bool IsRollbackPage(TPageState state) {
  return state == TPageState::psCopyData || state == TPageState::psShortCuts;
}

}  // namespace

TfrmEasySetup::TfrmEasySetup(IEasySetupView& view, std::string programFolder)
    : FView(view), FProgramFolder(std::move(programFolder)) {}

void TfrmEasySetup::FormCreate() {
  // Before anything is read: a running client keeps its files open and would be overwritten.
  if (platform::CurrentNamedMutexes::Get().Exists(ClientMutexName)) {
    FView.ShowMessage(
        "Для установки обновления , необходимо завершить работу клиента Калвор Сметы.",
        platform::TMessageKind{platform::TMessageButtons::Ok, platform::TMessageIcon::Warning});
    FView.Halt(0);
  }
  FPageState = TPageState::psHello;
  CloseStatus = false;

  platform::IFileIcons& icons = platform::CurrentFileIcons::Get();
  ImageListHandle = icons.SystemSmallImageList();
  ImageListCount = icons.ImageCount(ImageListHandle);
  ICheckedTree& tree = FView.Tree();
  tree.SetImageList(ImageListHandle);
  tree.SetCheckBox(true);
  tree.SetOnCheck([this](TTreeNode node, bool& newState, bool& applyForSubNodes) {
    tvShortCutsCheck(node, newState, applyForSubNodes);
  });

  ReadPackageSettings();
}

void TfrmEasySetup::FormDestroy() {
  // The tree may outlive the form: it must not call back into it.
  FView.Tree().SetOnCheck(nullptr);
  AutoConnections.Clear();
  ShortCutList.Clear();
  AutoLinks.Clear();
  DataList.Clear();
}

bool TfrmEasySetup::FormCloseQuery() {
  if (!CloseStatus) {
    Image2Click();
  }
  return CloseStatus;
}

void TfrmEasySetup::SetPageState(TPageState state) {
  if (StartInstall) {
    return;
  }
  FPageState = state;
  switch (state) {
    case TPageState::psHello:
      StartInstall = false;
      break;
    case TPageState::psCopyData:
      StartInstall = true;
      try {
        RunUpdate();
      } catch (...) {
        LeaveCopyData();
        throw;
      }
      LeaveCopyData();
      break;
    case TPageState::psShortCuts:
      FView.SetVisible(TControl::lblShortCuts, true);
      FView.SetVisible(TControl::memStatus, false);
      FView.SetVisible(TControl::lblStatus, false);
      if (ShowLinksDialog) {
        FView.SetVisible(TControl::tvShortCuts, true);
      } else {
        SetPageState(TPageState::psConnections);
      }
      break;
    case TPageState::psConnections: {
      FView.SetText(TControl::lblShortCuts,
                    "Выберите папки которые необходимо подключить к Калвор Смете:");
      MakeLinksAndPruneTree();
      // The online service has no package entry behind it.
      ICheckedTree& tree = FView.Tree();
      const TTreeNode online = tree.AddChild(nullptr, OnlineServiceCaption, 0, -1);
      tree.SetChecked(online, IsAutoConnection(OnlineServiceCaption), true);
      if (ShowConnectionsDialog) {
        FView.SetVisible(TControl::tvShortCuts, true);
      } else {
        SetPageState(TPageState::psDone);
      }
      break;
    }
    case TPageState::psDone:
      FView.SetVisible(TControl::tvShortCuts, false);
      FView.SetVisible(TControl::lblShortCuts, false);
      RegisterConnections();
      FView.SetLabelColour(TControl::lblCancel, DisabledLabelColour);
      FView.SetText(TControl::lblNext, "Готово");
      FView.SetVisible(TControl::lblFinish, true);
      break;
    case TPageState::psClose:
      CloseStatus = true;
      FView.Close();
      break;
  }
}

void TfrmEasySetup::LeaveCopyData() {
  // Whatever the rollback does, the flag that blocks every page change must come down, or the
  // window could neither go on nor close.
  const auto endCopy = [this] {
    FView.SetLabelColour(TControl::lblNext, clWindowText);
    FView.SetVisible(TControl::pbStatus, false);
    FView.SetVisible(TControl::pbCurrentProgress, false);
    FView.SetText(TControl::lblStatus, "Копирование завершено. Для продолжения нажмите \"Далее>\"");
    StartInstall = false;
  };
  try {
    if (BreakInstall) {
      FView.AppendLog("Произвожу процесс восстановления данных.");
      FView.ProcessMessages();
      RestoreBackups();
      CloseStatus = true;
      FView.Close();
    }
  } catch (...) {
    endCopy();
    throw;
  }
  endCopy();
}

void TfrmEasySetup::Image3Click() {
  Image3MouseUp(TControl::Image3, TMouseButton::Left);
  // The window is gone after the last page; a late click has nowhere to go.
  if (FPageState != TPageState::psClose) {
    SetPageState(static_cast<TPageState>(static_cast<int>(FPageState) + 1));
  }
}

void TfrmEasySetup::Image2Click() {
  if (FView.LabelColour(TControl::lblCancel) == DisabledLabelColour) {
    return;
  }
  if (!StartInstall && !IsRollbackPage(FPageState)) {
    if (FView.ShowMessage("Закрыть утилиту экспресс обновления?", QuestionType) ==
        platform::TMessageAnswer::Yes) {
      CloseStatus = true;
      FView.Close();
    }
    return;
  }
  if (FView.ShowMessage("Отменить процесс экспресс обновления?", QuestionType) !=
      platform::TMessageAnswer::Yes) {
    return;
  }
  // Here the page is the copy or the shortcut page (the copy only runs on the former).
  BreakInstall = true;
  RestoreBackups();
  FView.SetVisible(TControl::memStatus, false);
  FView.SetVisible(TControl::lblStatus, false);
  FView.SetText(TControl::lblFinish,
                "Экспресс установка отменена пользователем. Для завершения нажмите кнопку "
                "\"Готово\"");
  // While the copy runs this is ignored; the copy page's exit actions end the wizard then.
  SetPageState(TPageState::psConnections);
}

void TfrmEasySetup::Image3MouseDown(TControl sender, TMouseButton button) {
  if (button != TMouseButton::Left) {
    return;
  }
  if (sender == TControl::Image2 && FView.LabelColour(TControl::lblCancel) == DisabledLabelColour) {
    return;
  }
  if (StartInstall) {
    return;
  }
  FView.SetButtonFace(sender, TButtonFace::Pressed);
  FView.ProcessMessages();
}

void TfrmEasySetup::Image3MouseUp(TControl sender, TMouseButton button) {
  if (button != TMouseButton::Left) {
    return;
  }
  FView.SetButtonFace(sender, TButtonFace::Normal);
  FView.ProcessMessages();
}

void TfrmEasySetup::lblNextMouseDown(TMouseButton button) {
  Image3MouseDown(TControl::Image3, button);
}

void TfrmEasySetup::lblNextMouseUp(TMouseButton button) {
  Image3MouseUp(TControl::Image3, button);
}

void TfrmEasySetup::lblCancelMouseDown(TMouseButton button) {
  Image3MouseDown(TControl::Image2, button);
}

void TfrmEasySetup::lblCancelMouseUp(TMouseButton button) {
  Image3MouseUp(TControl::Image2, button);
}

void TfrmEasySetup::tvShortCutsCheck(TTreeNode, bool&, bool& applyForSubNodes) {
  // A click checks or unchecks the node alone: a folder and its content are separate choices.
  applyForSubNodes = false;
}

bool TfrmEasySetup::IsAutoLink(const std::string& path) const {
  for (const auto& item : AutoLinks) {
    if (item.Text == path) {
      return true;
    }
  }
  return false;
}

bool TfrmEasySetup::IsAutoConnection(const std::string& path) const {
  for (const auto& item : AutoConnections) {
    if (item.Text == path) {
      return true;
    }
  }
  return false;
}

}  // namespace kv::app
