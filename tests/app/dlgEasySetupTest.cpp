#include "app/dlgEasySetup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Shell.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;
using test::FakeEasySetupView;

const char* const kCloseQuestion = "Закрыть утилиту экспресс обновления?";
const char* const kCancelQuestion = "Отменить процесс экспресс обновления?";
const char* const kCancelledText =
    "Экспресс установка отменена пользователем. Для завершения нажмите кнопку \"Готово\"";
constexpr platform::TMessageKind kQuestionType = platform::TMessageKind{
    platform::TMessageButtons::YesNo, platform::TMessageIcon::Question, true};

// Presses next until the wizard shows the page.
void GoTo(TfrmEasySetup& form, TPageState page) {
  for (int presses = 0; form.PageState() != page; ++presses) {
    ASSERT_LT(presses, 6) << "page " << static_cast<int>(page) << " never came";
    form.Image3Click();
  }
}

class WizardFlowTest : public testing::Test {
 protected:
  test::TWizardWorld FWorld;
  FakeEasySetupView& FView = FWorld.View;
};

TEST_F(WizardFlowTest, ARunningClientStopsTheWizardBeforeAnythingIsRead) {
  FWorld.AddPackageFile(DocumentTreeTag, "Отчёт.xls", "report");
  FWorld.WriteSettings("[links]\nshowdialog=0\na=Отчёт.xls\n");
  FWorld.Mutexes.Held.insert("KalvorSmeta_client");

  try {
    FWorld.CreateWizard();
    FAIL() << "the wizard went on";
  } catch (const FakeEasySetupView::THalted& halted) {
    EXPECT_EQ(halted.ExitCode, 0);
  }
  ASSERT_EQ(FView.Messages.size(), 1u);
  EXPECT_EQ(FView.Messages[0].Text,
            "Для установки обновления , необходимо завершить работу клиента Калвор Сметы.");
  EXPECT_EQ(FView.Messages[0].Type, (platform::TMessageKind{platform::TMessageButtons::Ok,
                                                            platform::TMessageIcon::Warning}));
  EXPECT_EQ(FWorld.Mutexes.Asked, Strings{"KalvorSmeta_client"});
  EXPECT_EQ(FWorld.Icons.ListRequests, 0);
  EXPECT_FALSE(FView.TreeView.CheckBox);
  EXPECT_TRUE(FWorld.Form->ShowLinksDialog);
  EXPECT_TRUE(FWorld.Form->AutoLinks.IsEmpty());
}

TEST_F(WizardFlowTest, CreationAttachesTheSystemIconsAndAClickChecksOneNode) {
  const int32_t imageCount = FWorld.Icons.Count;
  TfrmEasySetup& form = FWorld.CreateWizard();
  EXPECT_EQ(form.PageState(), TPageState::psHello);
  EXPECT_FALSE(form.CloseStatus);
  EXPECT_EQ(form.ImageListHandle, test::FakeFileIcons::ListHandle);
  EXPECT_EQ(form.ImageListCount, imageCount);
  EXPECT_EQ(FView.TreeView.ImageList, test::FakeFileIcons::ListHandle);
  EXPECT_TRUE(FView.TreeView.CheckBox);
  EXPECT_TRUE(FView.Messages.empty());

  test::FakeCheckedTree& tree = FView.TreeView;
  const TTreeNode folder = tree.AddChild(nullptr, "Шаблоны", 0, 0);
  const TTreeNode file = tree.AddChild(folder, "Акт.xlt", 0, 1);
  tree.SetChecked(folder, false, true);
  tree.ClickCheckBox(folder);
  EXPECT_EQ(tree.Dump(), (Strings{"Шаблоны [x]", "  Акт.xlt [ ]"}));
  tree.ClickCheckBox(file);
  tree.ClickCheckBox(folder);
  EXPECT_EQ(tree.Dump(), (Strings{"Шаблоны [ ]", "  Акт.xlt [x]"}));

  // Once the form is gone the tree no longer calls it.
  form.FormDestroy();
  EXPECT_FALSE(tree.OnCheck);
}

TEST_F(WizardFlowTest, EachPressOfNextEntersTheFollowingPage) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  form.Image3MouseDown(TControl::Image3, TMouseButton::Left);
  EXPECT_EQ(FView.Faces[TControl::Image3], TButtonFace::Pressed);

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_EQ(FView.Faces[TControl::Image3], TButtonFace::Normal);
  EXPECT_FALSE(form.StartInstall);
  EXPECT_EQ(FView.LabelColour(TControl::lblNext), clWindowText);
  EXPECT_FALSE(FView.IsVisible(TControl::pbStatus));
  EXPECT_FALSE(FView.IsVisible(TControl::pbCurrentProgress));
  EXPECT_EQ(FView.Text(TControl::lblStatus),
            "Копирование завершено. Для продолжения нажмите \"Далее>\"");

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psShortCuts);
  EXPECT_TRUE(FView.IsVisible(TControl::lblShortCuts));
  EXPECT_FALSE(FView.IsVisible(TControl::memStatus));
  EXPECT_FALSE(FView.IsVisible(TControl::lblStatus));
  EXPECT_TRUE(FView.IsVisible(TControl::tvShortCuts));

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psConnections);
  EXPECT_EQ(FView.Text(TControl::lblShortCuts),
            "Выберите папки которые необходимо подключить к Калвор Смете:");
  EXPECT_TRUE(FView.IsVisible(TControl::tvShortCuts));
  ASSERT_GT(FView.TreeView.Count(), 0);
  EXPECT_EQ(FView.TreeView.Dump().back(), std::string(OnlineServiceCaption) + " [ ]");

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psDone);
  EXPECT_FALSE(FView.IsVisible(TControl::tvShortCuts));
  EXPECT_FALSE(FView.IsVisible(TControl::lblShortCuts));
  EXPECT_EQ(FView.LabelColour(TControl::lblCancel), DisabledLabelColour);
  EXPECT_EQ(FView.Text(TControl::lblNext), "Готово");
  EXPECT_TRUE(FView.IsVisible(TControl::lblFinish));
  EXPECT_EQ(FView.Text(TControl::lblFinish),
            "Экспресс установка завершена. Для завершения нажмите кнопку \"Готово\"");
  EXPECT_FALSE(FView.Closed);

  form.Image3Click();
  EXPECT_TRUE(form.CloseStatus);
  EXPECT_TRUE(FView.Closed);
  EXPECT_TRUE(FView.Messages.empty());
}

TEST_F(WizardFlowTest, ADoubleClickOnNextAdvancesTwoPages) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  form.Image3Click();
  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psShortCuts);
  form.Image3Click();
  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psDone);
}

TEST(WizardCancelTest, CancelAsksAndActsByPage) {
  struct Case {
    TPageState page;
    bool titleBar;  // the window's close button rather than "Отмена"
    platform::TMessageAnswer answer;
    const char* question;
    bool closed;
    TPageState pageAfter;
    bool cancelled;
  };
  constexpr platform::TMessageAnswer Yes = platform::TMessageAnswer::Yes;
  constexpr platform::TMessageAnswer No = platform::TMessageAnswer::No;
  using enum TPageState;
  const Case cases[] = {
      {psHello, false, Yes, kCloseQuestion, true, psHello, false},
      {psHello, false, No, kCloseQuestion, false, psHello, false},
      {psHello, true, Yes, kCloseQuestion, true, psHello, false},
      {psHello, true, No, kCloseQuestion, false, psHello, false},
      {psCopyData, false, Yes, kCancelQuestion, false, psConnections, true},
      {psCopyData, true, Yes, kCancelQuestion, false, psConnections, true},
      {psCopyData, false, No, kCancelQuestion, false, psCopyData, false},
      {psShortCuts, false, Yes, kCancelQuestion, false, psConnections, true},
      {psShortCuts, true, No, kCancelQuestion, false, psShortCuts, false},
      {psConnections, false, Yes, kCloseQuestion, true, psConnections, false},
      {psConnections, true, Yes, kCloseQuestion, true, psConnections, false},
      {psConnections, false, No, kCloseQuestion, false, psConnections, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "page " << static_cast<int>(c.page) << ", title bar " << c.titleBar
                 << ", answer " << (c.answer == Yes ? "Yes" : "No"));
    test::TWizardWorld world;
    TfrmEasySetup& form = world.CreateWizard();
    GoTo(form, c.page);
    FakeEasySetupView& view = world.View;
    view.Messages.clear();
    view.Answers.push_back(c.answer);
    if (c.titleBar) {
      view.Close();
    } else {
      form.Image2Click();
    }
    ASSERT_EQ(view.Messages.size(), 1u);
    EXPECT_EQ(view.Messages[0].Text, c.question);
    EXPECT_EQ(view.Messages[0].Type, kQuestionType);
    EXPECT_EQ(view.Closed, c.closed);
    EXPECT_EQ(form.CloseStatus, c.closed);
    EXPECT_EQ(form.PageState(), c.pageAfter);
    EXPECT_EQ(form.BreakInstall, c.cancelled);
    if (c.cancelled) {
      EXPECT_EQ(view.Text(TControl::lblFinish), kCancelledText);
      EXPECT_FALSE(view.IsVisible(TControl::memStatus));
      EXPECT_FALSE(view.IsVisible(TControl::lblStatus));
      EXPECT_TRUE(view.IsVisible(TControl::tvShortCuts));
      // The done page then tells of the cancel.
      form.Image3Click();
      EXPECT_EQ(form.PageState(), psDone);
      EXPECT_TRUE(view.IsVisible(TControl::lblFinish));
      EXPECT_EQ(view.Text(TControl::lblFinish), kCancelledText);
    }
  }
}

TEST_F(WizardFlowTest, OnTheDonePageOnlyFinishCloses) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  GoTo(form, TPageState::psDone);
  FView.Answers = {platform::TMessageAnswer::Yes, platform::TMessageAnswer::Yes};

  form.Image2Click();
  FView.Close();
  form.lblCancelMouseDown(TMouseButton::Left);
  EXPECT_TRUE(FView.Messages.empty());
  EXPECT_EQ(FView.Faces[TControl::Image2], TButtonFace::Normal);
  EXPECT_FALSE(FView.Closed);
  EXPECT_FALSE(form.CloseStatus);
  EXPECT_EQ(form.PageState(), TPageState::psDone);

  form.lblNextMouseDown(TMouseButton::Left);
  EXPECT_EQ(FView.Faces[TControl::Image3], TButtonFace::Pressed);
  form.Image3Click();
  EXPECT_TRUE(FView.Closed);
  EXPECT_EQ(FView.CloseRequests, 2);
}

// As while the copy page's work runs: its flag is up.
TEST_F(WizardFlowTest, WhileTheCopyRunsNextIsIgnoredAndCancelOnlyRollsBack) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  GoTo(form, TPageState::psCopyData);
  form.StartInstall = true;
  const int pumps = FView.MessagePumps;

  form.lblNextMouseDown(TMouseButton::Left);
  form.Image3MouseDown(TControl::Image3, TMouseButton::Left);
  form.lblCancelMouseDown(TMouseButton::Left);
  EXPECT_EQ(FView.Faces[TControl::Image3], TButtonFace::Normal);
  EXPECT_EQ(FView.Faces[TControl::Image2], TButtonFace::Normal);
  EXPECT_EQ(FView.MessagePumps, pumps);
  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);

  FView.Close();
  ASSERT_EQ(FView.Messages.size(), 1u);
  EXPECT_EQ(FView.Messages[0].Text, kCancelQuestion);
  EXPECT_FALSE(FView.Closed);
  EXPECT_FALSE(form.BreakInstall);

  FView.Answers = {platform::TMessageAnswer::Yes};
  form.Image2Click();
  EXPECT_TRUE(form.BreakInstall);
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_EQ(FView.Text(TControl::lblFinish), kCancelledText);
  EXPECT_FALSE(FView.IsVisible(TControl::memStatus));
  EXPECT_FALSE(FView.Closed);
}

TEST_F(WizardFlowTest, ACancelConfirmedDuringTheCopyRestoresAndEndsTheWizard) {
  FWorld.AddInstalledFile(ClientTreeTag, "Data\\base.dat", "old");
  FWorld.AddPackageFile(ClientTreeTag, "Data\\base.dat", "new");
  FWorld.AddPackageFile(DocumentTreeTag, "Отчёт.xls", "report");
  TfrmEasySetup& form = FWorld.CreateWizard();
  bool clicked = false;
  FView.OnProcessMessages = [&] {
    if (form.StartInstall && !clicked) {
      clicked = true;
      form.lblNextMouseDown(TMouseButton::Left);
      form.Image3Click();
      FView.Answers.push_back(platform::TMessageAnswer::Yes);
      form.Image2Click();
    }
  };
  form.Image3Click();
  if (!clicked) {
    GTEST_SKIP() << "the copy let no window messages through";
  }
  EXPECT_EQ(FView.Faces[TControl::Image3], TButtonFace::Normal);
  EXPECT_TRUE(FView.Closed);
  EXPECT_TRUE(form.CloseStatus);
  EXPECT_FALSE(form.StartInstall);
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_NE(
      std::find(FView.Log.begin(), FView.Log.end(), "Произвожу процесс восстановления данных."),
      FView.Log.end());
  EXPECT_EQ(test::ReadFileBytes(FWorld.CommonDataFolder + "Data\\base.dat"), "old");
}

// An error of the copy page's work goes on to the window's error report, after the page's exit
// actions, and the wizard can still move on.
TEST_F(WizardFlowTest, AnErrorOfTheCopyLeavesThePageUsable) {
  FWorld.AddPackageFile(ClientTreeTag, "Data\\base.dat", "new");
  FWorld.WriteSettings("[CommonSettings.XML]\nExternalFileExts=pdf\n");
  test::TWizardWorld::WriteFile(FWorld.CommonSettingFolder + "CommonSetting.XML", "<Options");
  TfrmEasySetup& form = FWorld.CreateWizard();
  bool raised = false;
  try {
    form.Image3Click();
  } catch (const Exception&) {
    raised = true;
  }
  if (!raised) {
    GTEST_SKIP() << "the copy raised no error on a broken settings file";
  }
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_FALSE(form.StartInstall);
  EXPECT_EQ(FView.LabelColour(TControl::lblNext), clWindowText);
  EXPECT_FALSE(FView.IsVisible(TControl::pbStatus));
  EXPECT_EQ(FView.Text(TControl::lblStatus),
            "Копирование завершено. Для продолжения нажмите \"Далее>\"");
  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psShortCuts);
}

TEST(WizardSettingsFlowTest, HiddenPagesArePassedInTheSamePress) {
  struct Case {
    std::string settings;
    std::vector<TPageState> pagesAfterCopy;  // after each further press
    std::string onlineNode;
  };
  using enum TPageState;
  const std::string online = OnlineServiceCaption;
  const Case cases[] = {
      {"", {psShortCuts, psConnections, psDone}, online + " [ ]"},
      {"[links]\nshowdialog=0\n", {psConnections, psDone}, online + " [ ]"},
      {"[connections]\nshowdialog=0\n", {psShortCuts, psDone}, online + " [ ]"},
      {"[links]\nshowdialog=0\n[connections]\nshowdialog=0\nx=" + online + "\n",
       {psDone},
       online + " [x]"},
      {"[connections]\nx=" + online + "\n", {psShortCuts, psConnections}, online + " [x]"},
      {"[connections]\nx=KalvorSmeta.RU\n", {psShortCuts, psConnections}, online + " [ ]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    test::TWizardWorld world;
    world.WriteSettings(c.settings);
    TfrmEasySetup& form = world.CreateWizard();
    GoTo(form, psCopyData);
    for (const TPageState page : c.pagesAfterCopy) {
      form.Image3Click();
      EXPECT_EQ(form.PageState(), page);
      EXPECT_EQ(world.View.IsVisible(TControl::tvShortCuts),
                page == psShortCuts || page == psConnections);
    }
    ASSERT_GT(world.View.TreeView.Count(), 0);
    EXPECT_EQ(world.View.TreeView.Dump().back(), c.onlineNode);
  }
}

TEST_F(WizardFlowTest, ButtonFacesFollowTheLeftMouseButton) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  struct Step {
    std::function<void()> action;
    TControl image;
    TButtonFace face;
    bool pumped;
  };
  using enum TMouseButton;
  using TControl::Image2;
  using TControl::Image3;
  const Step steps[] = {
      {[&] { form.Image3MouseDown(Image3, Right); }, Image3, TButtonFace::Normal, false},
      {[&] { form.Image3MouseDown(Image3, Left); }, Image3, TButtonFace::Pressed, true},
      {[&] { form.Image3MouseUp(Image3, Middle); }, Image3, TButtonFace::Pressed, false},
      {[&] { form.Image3MouseUp(Image3, Left); }, Image3, TButtonFace::Normal, true},
      {[&] { form.lblNextMouseDown(Left); }, Image3, TButtonFace::Pressed, true},
      {[&] { form.lblNextMouseUp(Left); }, Image3, TButtonFace::Normal, true},
      {[&] { form.Image3MouseDown(Image2, Left); }, Image2, TButtonFace::Pressed, true},
      {[&] { form.Image3MouseUp(Image2, Left); }, Image2, TButtonFace::Normal, true},
      {[&] { form.lblCancelMouseDown(Right); }, Image2, TButtonFace::Normal, false},
      {[&] { form.lblCancelMouseDown(Left); }, Image2, TButtonFace::Pressed, true},
      {[&] { form.lblCancelMouseUp(Left); }, Image2, TButtonFace::Normal, true},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const int pumps = FView.MessagePumps;
    steps[i].action();
    EXPECT_EQ(FView.Faces[steps[i].image], steps[i].face) << "step " << i;
    EXPECT_EQ(FView.MessagePumps, pumps + (steps[i].pumped ? 1 : 0)) << "step " << i;
  }
  EXPECT_EQ(form.PageState(), TPageState::psHello);
}

}  // namespace
}  // namespace kv::app
