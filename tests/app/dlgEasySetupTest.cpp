#include "app/dlgEasySetup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/Updater.h"
#include "base/Exceptions.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "support/ReplacedFiles.h"
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
using TMessageKind = FakeEasySetupView::TMessageKind;

// settings.ini as a package maker writes it: in the system's ANSI code page.
std::string Ansi(const std::string& text) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), text);
}

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
  FWorld.AddPackageFile(TPackageTree::Document, "Отчёт.xls", "report");
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
  EXPECT_EQ(FView.Messages[0].Kind, TMessageKind::Warning);
  EXPECT_EQ(FWorld.Mutexes.Asked, Strings{"KalvorSmeta_client"});
  EXPECT_EQ(FWorld.Icons.ListRequests, 0);
  EXPECT_FALSE(FView.TreeView.CheckBox);
  EXPECT_TRUE(FWorld.Form->ShowLinksDialog());
  EXPECT_TRUE(FWorld.Form->AutoLinks().empty());
}

TEST_F(WizardFlowTest, CreationAttachesTheSystemIconsAndAClickChecksOneNode) {
  const int32_t imageCount = FWorld.Icons.Count;
  TfrmEasySetup& form = FWorld.CreateWizard();
  EXPECT_EQ(form.PageState(), TPageState::psHello);
  EXPECT_FALSE(form.CloseStatus());
  EXPECT_EQ(form.ImageListHandle(), test::FakeFileIcons::ListHandle);
  EXPECT_EQ(form.ImageListCount(), imageCount);
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
  form.Image3MouseDown(TWizardButton::Next, TMouseButton::Left);
  EXPECT_TRUE(FView.Pressed[TWizardButton::Next]);

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_FALSE(FView.Pressed[TWizardButton::Next]);
  EXPECT_FALSE(form.StartInstall());
  EXPECT_TRUE(FView.Enabled[TWizardButton::Next]);
  EXPECT_FALSE(FView.IsVisible(TViewPart::Progress));
  EXPECT_FALSE(FView.IsVisible(TViewPart::Progress));
  EXPECT_EQ(FView.Status, "Копирование завершено. Для продолжения нажмите \"Далее>\"");

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psShortCuts);
  EXPECT_TRUE(FView.IsVisible(TViewPart::TreeCaption));
  EXPECT_FALSE(FView.IsVisible(TViewPart::Log));
  EXPECT_FALSE(FView.IsVisible(TViewPart::Status));
  EXPECT_TRUE(FView.IsVisible(TViewPart::Tree));

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psConnections);
  EXPECT_EQ(FView.TreeCaption, "Выберите папки которые необходимо подключить к Калвор Смете:");
  EXPECT_TRUE(FView.IsVisible(TViewPart::Tree));
  ASSERT_GT(FView.TreeView.Count(), 0);
  EXPECT_EQ(FView.TreeView.Dump().back(), std::string(OnlineServiceCaption) + " [ ]");

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psDone);
  EXPECT_FALSE(FView.IsVisible(TViewPart::Tree));
  EXPECT_FALSE(FView.IsVisible(TViewPart::TreeCaption));
  EXPECT_FALSE(FView.Enabled[TWizardButton::Cancel]);
  EXPECT_EQ(FView.NextCaption, "Готово");
  EXPECT_TRUE(FView.IsVisible(TViewPart::Finish));
  EXPECT_EQ(FView.FinishText,
            "Экспресс установка завершена. Для завершения нажмите кнопку \"Готово\"");
  EXPECT_FALSE(FView.Closed);

  form.Image3Click();
  EXPECT_TRUE(form.CloseStatus());
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
    bool answer;
    const char* question;
    bool closed;
    TPageState pageAfter;
    bool cancelled;
  };
  constexpr bool Yes = true;
  constexpr bool No = false;
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
    EXPECT_EQ(view.Messages[0].Kind, TMessageKind::Question);
    EXPECT_EQ(view.Closed, c.closed);
    EXPECT_EQ(form.CloseStatus(), c.closed);
    EXPECT_EQ(form.PageState(), c.pageAfter);
    EXPECT_EQ(form.BreakInstall(), c.cancelled);
    if (c.cancelled) {
      EXPECT_EQ(view.FinishText, kCancelledText);
      EXPECT_FALSE(view.IsVisible(TViewPart::Log));
      EXPECT_FALSE(view.IsVisible(TViewPart::Status));
      EXPECT_TRUE(view.IsVisible(TViewPart::Tree));
      // The done page then tells of the cancel.
      form.Image3Click();
      EXPECT_EQ(form.PageState(), psDone);
      EXPECT_TRUE(view.IsVisible(TViewPart::Finish));
      EXPECT_EQ(view.FinishText, kCancelledText);
    }
  }
}

TEST_F(WizardFlowTest, OnTheDonePageOnlyFinishCloses) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  GoTo(form, TPageState::psDone);
  FView.Answers = {true, true};

  form.Image2Click();
  FView.Close();
  form.lblCancelMouseDown(TMouseButton::Left);
  EXPECT_TRUE(FView.Messages.empty());
  EXPECT_FALSE(FView.Pressed[TWizardButton::Cancel]);
  EXPECT_FALSE(FView.Closed);
  EXPECT_FALSE(form.CloseStatus());
  EXPECT_EQ(form.PageState(), TPageState::psDone);

  form.lblNextMouseDown(TMouseButton::Left);
  EXPECT_TRUE(FView.Pressed[TWizardButton::Next]);
  form.Image3Click();
  EXPECT_TRUE(FView.Closed);
  EXPECT_EQ(FView.CloseRequests, 2);
}

// Checked from inside the copy, where the window lets messages through.
TEST_F(WizardFlowTest, WhileTheCopyRunsNextIsIgnoredAndCancelOnlyRollsBack) {
  FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new");
  TfrmEasySetup& form = FWorld.CreateWizard();
  bool checked = false;
  FView.OnProcessMessages = [&] {
    // Past the scan, inside the copy.
    if (!form.StartInstall() || form.DataList().empty() || std::exchange(checked, true)) {
      return;
    }
    EXPECT_FALSE(FView.Enabled[TWizardButton::Next]);
    const int pumps = FView.MessagePumps;
    form.lblNextMouseDown(TMouseButton::Left);
    form.Image3MouseDown(TWizardButton::Next, TMouseButton::Left);
    form.lblCancelMouseDown(TMouseButton::Left);
    EXPECT_FALSE(FView.Pressed[TWizardButton::Next]);
    EXPECT_FALSE(FView.Pressed[TWizardButton::Cancel]);
    EXPECT_EQ(FView.MessagePumps, pumps);
    form.Image3Click();
    EXPECT_EQ(form.PageState(), TPageState::psCopyData);

    FView.Close();
    ASSERT_EQ(FView.Messages.size(), 1u);
    EXPECT_EQ(FView.Messages[0].Text, kCancelQuestion);
    EXPECT_FALSE(FView.Closed);
    EXPECT_FALSE(form.BreakInstall());

    FView.Answers = {true};
    form.Image2Click();
    EXPECT_TRUE(form.BreakInstall());
    EXPECT_EQ(form.PageState(), TPageState::psCopyData);
    EXPECT_EQ(FView.FinishText, kCancelledText);
    EXPECT_FALSE(FView.IsVisible(TViewPart::Log));
    EXPECT_FALSE(FView.Closed);
  };
  form.Image3Click();
  ASSERT_TRUE(checked) << "the copy let no window messages through";
  // The copy page's exit actions end the wizard after a confirmed cancel.
  EXPECT_TRUE(FView.Closed);
  EXPECT_FALSE(form.StartInstall());
}

TEST_F(WizardFlowTest, ACancelConfirmedDuringTheCopyRestoresAndEndsTheWizard) {
  FWorld.AddInstalledFile(TPackageTree::Client, "Data\\base.dat", "old");
  FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new");
  FWorld.AddPackageFile(TPackageTree::Document, "Отчёт.xls", "report");
  TfrmEasySetup& form = FWorld.CreateWizard();
  bool clicked = false;
  FView.OnProcessMessages = [&] {
    // Past the scan, inside the copy.
    if (form.StartInstall() && !form.DataList().empty() && !clicked) {
      clicked = true;
      form.lblNextMouseDown(TMouseButton::Left);
      form.Image3Click();
      FView.Answers.push_back(true);
      form.Image2Click();
    }
  };
  form.Image3Click();
  if (!clicked) {
    GTEST_SKIP() << "the copy let no window messages through";
  }
  EXPECT_FALSE(FView.Pressed[TWizardButton::Next]);
  EXPECT_TRUE(FView.Closed);
  EXPECT_TRUE(form.CloseStatus());
  EXPECT_FALSE(form.StartInstall());
  EXPECT_EQ(form.PageState(), TPageState::psCopyData);
  EXPECT_NE(
      std::find(FView.Log.begin(), FView.Log.end(), "Произвожу процесс восстановления данных."),
      FView.Log.end());
  EXPECT_EQ(test::ReadFileBytes(FWorld.CommonDataFolder + "Data\\base.dat"), "old");
}

// The scan of the package lets the window's messages run; a cancel confirmed there ends the wizard
// before any file was backed up and before the client's settings got the package's extensions.
TEST_F(WizardFlowTest, ACancelConfirmedDuringTheScanChangesNothing) {
  FWorld.AddInstalledFile(TPackageTree::Client, "Data\\base.dat", "old");
  FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new");
  FWorld.WriteSettings("[CommonSettings.XML]\nExternalFileExts=pdf\n");
  TfrmEasySetup& form = FWorld.CreateWizard();
  bool clicked = false;
  FView.OnProcessMessages = [&] {
    if (form.StartInstall() && !clicked) {
      clicked = true;
      EXPECT_TRUE(form.DataList().empty()) << "the first pump came after the scan";
      FView.Answers.push_back(true);
      form.Image2Click();
    }
  };
  form.Image3Click();
  ASSERT_TRUE(clicked) << "the scan let no window messages through";
  EXPECT_TRUE(FView.Closed);
  EXPECT_FALSE(form.StartInstall());
  EXPECT_EQ(test::ReadFileBytes(FWorld.CommonDataFolder + "Data\\base.dat"), "old");
  EXPECT_FALSE(platform::DirectoryExists(form.BackUpCommonFolder()));
  EXPECT_FALSE(platform::FileExists(FWorld.CommonSettingFolder + "CommonSetting.XML"));
  EXPECT_EQ(FView.Tree().Count(), 0);
}

// An error of the copy page's work goes on to the window's error report, after the page's exit
// actions, and the wizard can still move on.
TEST_F(WizardFlowTest, AnErrorOfTheCopyLeavesThePageUsable) {
  FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new");
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
  EXPECT_FALSE(form.StartInstall());
  EXPECT_TRUE(FView.Enabled[TWizardButton::Next]);
  EXPECT_FALSE(FView.IsVisible(TViewPart::Progress));
  EXPECT_EQ(FView.Status, "Копирование завершено. Для продолжения нажмите \"Далее>\"");
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
      EXPECT_EQ(world.View.IsVisible(TViewPart::Tree),
                page == psShortCuts || page == psConnections);
    }
    ASSERT_GT(world.View.TreeView.Count(), 0);
    EXPECT_EQ(world.View.TreeView.Dump().back(), c.onlineNode);
  }
}

TEST_F(WizardFlowTest, ButtonsLookPressedWhileTheLeftMouseButtonHoldsThem) {
  TfrmEasySetup& form = FWorld.CreateWizard();
  struct Step {
    std::function<void()> action;
    TWizardButton button;
    bool pressed;
    bool pumped;
  };
  using enum TMouseButton;
  using TWizardButton::Cancel;
  using TWizardButton::Next;
  const Step steps[] = {
      {[&] { form.Image3MouseDown(Next, Right); }, Next, false, false},
      {[&] { form.Image3MouseDown(Next, Left); }, Next, true, true},
      {[&] { form.Image3MouseUp(Next, Middle); }, Next, true, false},
      {[&] { form.Image3MouseUp(Next, Left); }, Next, false, true},
      {[&] { form.lblNextMouseDown(Left); }, Next, true, true},
      {[&] { form.lblNextMouseUp(Left); }, Next, false, true},
      {[&] { form.Image3MouseDown(Cancel, Left); }, Cancel, true, true},
      {[&] { form.Image3MouseUp(Cancel, Left); }, Cancel, false, true},
      {[&] { form.lblCancelMouseDown(Right); }, Cancel, false, false},
      {[&] { form.lblCancelMouseDown(Left); }, Cancel, true, true},
      {[&] { form.lblCancelMouseUp(Left); }, Cancel, false, true},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const int pumps = FView.MessagePumps;
    steps[i].action();
    EXPECT_EQ(FView.Pressed[steps[i].button], steps[i].pressed) << "step " << i;
    EXPECT_EQ(FView.MessagePumps, pumps + (steps[i].pumped ? 1 : 0)) << "step " << i;
  }
  EXPECT_EQ(form.PageState(), TPageState::psHello);
}

// The user checks shortcuts, then cancels the update on the shortcut page: the files the links
// would point at are the restored ones, so none are made; the data sources stay as they were.
TEST_F(WizardFlowTest, ACancelOnTheShortcutPageMakesNoLinksAndRegistersNoDataSources) {
  FWorld.AddPackageFile(TPackageTree::Document, "Сметы\\Архив\\old.smt", "old");
  FWorld.AddPackageFile(TPackageTree::Document, "Сметы\\Прайс.xls", "price");
  FWorld.WriteSettings(Ansi("[connections]\nx=Сметы\\Архив\n"));
  TfrmEasySetup& form = FWorld.CreateWizard();
  GoTo(form, TPageState::psShortCuts);
  test::FakeCheckedTree& tree = FView.TreeView;
  ASSERT_EQ(tree.Dump(), (Strings{"Сметы", "  Архив", "    old.smt", "  Прайс.xls"}));
  tree.SetChecked(tree.Item(0), true, false);
  tree.SetChecked(tree.Item(3), true, false);

  FView.Answers.push_back(true);
  form.Image2Click();
  EXPECT_EQ(form.PageState(), TPageState::psConnections);
  EXPECT_TRUE(form.ShortCutList().empty());
  EXPECT_TRUE(platform::FindFiles(FWorld.DesktopFolder, "*").empty());
  EXPECT_EQ(tree.Dump(),
            (Strings{"Сметы [ ] +", "  Архив [x] +", std::string(OnlineServiceCaption) + " [ ]"}));

  form.Image3Click();
  EXPECT_EQ(form.PageState(), TPageState::psDone);
  EXPECT_FALSE(platform::FileExists(FWorld.CommonSettingFolder + "Connections.xml"));
}

// The client's Connections.xml is written only when the wizard adds a data source to it, and then
// keeps what this program does not know; every other way to the done page leaves it untouched.
TEST(WizardDataSourcesTest, TheClientsDataSourcesAreRewrittenOnlyWhenOneIsAdded) {
  const std::string stored =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
      "<Options Build=\"7\">\r\n"
      "  <!-- kept by the client -->\r\n"
      "  <Connections>\r\n"
      "    <Connection_1 ClassID=\"KV.WebDAV.ReadOnly\" Address=\"http://dav/\" "
      "Caption=\"DAV\"/>\r\n"
      "  </Connections>\r\n"
      "  <Other Value=\"1\"/>\r\n"
      "</Options>\r\n";
  enum class TWay { CheckedFolder, Cancel, NothingChecked, NoClient };
  for (const TWay way : {TWay::CheckedFolder, TWay::Cancel, TWay::NothingChecked, TWay::NoClient}) {
    SCOPED_TRACE(static_cast<int>(way));
    test::TWizardWorld world(way != TWay::NoClient);
    const std::string fileName = world.CommonSettingFolder + "Connections.xml";
    test::TWizardWorld::WriteFile(fileName, stored);
    world.AddPackageFile(TPackageTree::Document, "Сметы\\a.smt", "a");
    if (way == TWay::CheckedFolder || way == TWay::Cancel) {
      world.WriteSettings(Ansi("[connections]\nx=Сметы\n"));
    }
    TfrmEasySetup& form = world.CreateWizard();
    if (way == TWay::Cancel) {
      GoTo(form, TPageState::psShortCuts);
      world.View.Answers.push_back(true);
      form.Image2Click();
    }
    GoTo(form, TPageState::psDone);

    const std::string bytes = test::ReadFileBytes(fileName);
    if (way != TWay::CheckedFolder) {
      EXPECT_EQ(bytes, stored);
      continue;
    }
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    ASSERT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.Connections()[0]->Address(), world.MyFolderRoot + "Сметы");
    for (const char* kept : {"<Options Build=\"7\">", "<!-- kept by the client -->",
                             "ClassID=\"KV.WebDAV.ReadOnly\"", "<Other Value=\"1\"/>"}) {
      EXPECT_NE(bytes.find(kept), std::string::npos) << kept << " lost:\n" << bytes;
    }
    EXPECT_LT(bytes.find("KV.WebDAV.ReadOnly"), bytes.find("KV.Files")) << bytes;
  }
}

// On the data-source page the checked nodes become data sources in tree order; the online node is
// told from the folders by its text alone, in any letter case.
TEST_F(WizardFlowTest, TheCheckedNodesBecomeDataSources) {
  FWorld.AddPackageFile(TPackageTree::Document, "Сметы\\a.smt", "a");
  FWorld.AddPackageFile(TPackageTree::Document, "KALVORSMETA.RU\\b.smt", "b");
  FWorld.AddPackageFile(TPackageTree::Document, "Шаблоны\\c.xlt", "c");
  FWorld.WriteSettings(Ansi("[connections]\nx=Сметы\n"));
  TfrmEasySetup& form = FWorld.CreateWizard();
  GoTo(form, TPageState::psConnections);
  test::FakeCheckedTree& tree = FView.TreeView;
  for (int i = 0; i < tree.Count(); ++i) {
    if (tree.Text(tree.Item(i)) == "KALVORSMETA.RU") {
      tree.ClickCheckBox(tree.Item(i));
    }
  }
  form.Image3Click();
  ASSERT_EQ(form.PageState(), TPageState::psDone);
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  std::vector<std::string> stored;
  for (const TConnection* connection : pool.Connections()) {
    stored.push_back(connection->ClassType().ClassID() + " " + connection->Caption());
  }
  const std::string folder = TFileSystemConnection::ClassInfo().ClassID();
  const std::string online = TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID();
  EXPECT_NE(std::find(stored.begin(), stored.end(), folder + " Сметы"), stored.end());
  EXPECT_NE(std::find(stored.begin(), stored.end(), online + " " + OnlineServiceCaption),
            stored.end());
  for (const std::string& entry : stored) {
    EXPECT_EQ(entry.find("Шаблоны"), std::string::npos) << "unchecked, yet registered";
    EXPECT_NE(entry, folder + " KALVORSMETA.RU") << "the online service's name is no folder";
  }
}

// Log-off and shut-down wait while the copy runs, with the reason shown. A session that ends
// anyway, here in the middle of a file's copy, has every replaced file put back before the window
// answers; the file being written keeps its old bytes whole in the backup until the copy has let
// go of it, and is back too when the wizard ends.
TEST_F(WizardFlowTest, TheSessionWaitsForTheCopyAndItsEndRollsBackAtOnce) {
  const std::string big(static_cast<size_t>(CopyChunkSize()) * 3, 'n');
  const std::vector<test::TReplacedFile> replaced = {
      {FWorld.CommonDataFolder, "Data\\base.dat", "old base", "new base"},
      {FWorld.MyFolderRoot, "big.bin", "old big", big},
  };
  for (const test::TReplacedFile& file : replaced) {
    test::TWizardWorld::WriteFile(file.TargetRoot + file.Path, file.OldBytes);
  }
  FWorld.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new base");
  FWorld.AddPackageFile(TPackageTree::Document, "big.bin", big);
  TfrmEasySetup& form = FWorld.CreateWizard();
  EXPECT_TRUE(form.FormQueryEndSession());
  EXPECT_FALSE(FView.SessionEndBlock);

  bool ended = false;
  FView.OnProcessMessages = [&] {
    // The first of big.bin's three chunks is written.
    if (ended || FView.Status != FWorld.DocumentTree + "big.bin" || FView.FilePercents.empty() ||
        FView.FilePercents.back() != 33) {
      return;
    }
    ended = true;
    EXPECT_EQ(FView.SessionEndBlock,
              "Идет процесс экспресс обновления. При завершении работы обновление будет отменено.");
    EXPECT_FALSE(form.FormQueryEndSession());
    form.FormEndSession();
    EXPECT_EQ(test::ReadFileBytes(replaced[0].TargetRoot + replaced[0].Path), "old base");
    for (const test::TReplacedFile& file : replaced) {
      EXPECT_TRUE(test::IsWholeOrBackedUp(file));
    }
    EXPECT_TRUE(FView.Closed);
  };
  // The copy stopped in the middle of a file may end with an error about that file, which the
  // window reports; what counts here is what is left on disk.
  try {
    form.Image3Click();
  } catch (const EOSError&) {
  }
  ASSERT_TRUE(ended) << "the copy of big.bin let no window messages through";
  EXPECT_FALSE(form.StartInstall());
  EXPECT_FALSE(FView.SessionEndBlock);
  EXPECT_TRUE(form.FormQueryEndSession());
  for (const test::TReplacedFile& file : replaced) {
    EXPECT_EQ(test::ReadFileBytes(file.TargetRoot + file.Path), file.OldBytes) << file.Path;
  }
  EXPECT_FALSE(platform::DirectoryExists(form.BackUpCommonFolder()));
  EXPECT_FALSE(platform::DirectoryExists(form.BackUpAppFolder()));
}

// After the copy the session may end at once. On the pages where cancel rolls back, its end
// rolls back as well, shortcuts included; after them the update stays.
TEST(WizardSessionEndTest, TheEndRollsBackWhereCancelWould) {
  const struct {
    TPageState Page;
    bool RolledBack;
  } cases[] = {
      {TPageState::psCopyData, true},
      {TPageState::psShortCuts, true},
      {TPageState::psConnections, false},
      {TPageState::psDone, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("page " + std::to_string(static_cast<int>(c.Page)));
    test::TWizardWorld world;
    world.AddInstalledFile(TPackageTree::Document, "Сметы\\a.smt", "old");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\a.smt", "new");
    world.WriteSettings(Ansi("[links]\na=Сметы\\a.smt\n"));
    TfrmEasySetup& form = world.CreateWizard();
    GoTo(form, c.Page);
    EXPECT_TRUE(form.FormQueryEndSession());
    EXPECT_FALSE(world.View.SessionEndBlock);
    const size_t links = form.ShortCutList().size();

    form.FormEndSession();
    EXPECT_TRUE(world.View.Closed);
    EXPECT_EQ(test::ReadFileBytes(world.MyFolderRoot + "Сметы\\a.smt"),
              c.RolledBack ? "old" : "new");
    EXPECT_EQ(platform::FindFiles(world.DesktopFolder, "*").size(), c.RolledBack ? 0u : links);
  }
}

}  // namespace
}  // namespace kv::app
