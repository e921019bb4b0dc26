#include "app/win32/KVCheckedTreeView.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/WindowTesting.h"

namespace kv::app {
namespace {

using test::PumpWaitingMessages;
using test::unique_hwnd;

// A real tree view in a hidden window, holding
//   Папка
//     Sub
//       Deep.txt
//     File.txt
//   Other
class CheckedTreeTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&classes);
  }

  void SetUp() override {
    Host = test::CreateHostWindow();
    if (!Host) {
      GTEST_SKIP() << test::NoWindowsReason;
    }
    Tree = std::make_unique<TKVCheckedTreeView>(Host.get(), 7, RECT{0, 0, 300, 250});
    Tree->SetCheckBox(true);
    ShowWindow(Tree->Handle(), SW_SHOWNA);
    Folder = Tree->AddChild(nullptr, "Папка", 0, 0);
    Other = Tree->AddChild(nullptr, "Other", 0, 4);
    File = Tree->AddChild(Folder, "File.txt", 0, 3);
    Sub = Tree->AddChildFirst(Folder, "Sub", 0, 1);
    Deep = Tree->AddChild(Sub, "Deep.txt", 0, 2);
    for (TTreeNode node : All()) {
      Tree->SetChecked(node, false, false);
      Tree->Expand(node);
    }
  }

  std::vector<TTreeNode> All() const { return {Folder, Sub, Deep, File, Other}; }

  std::vector<std::string> CheckedTexts() const {
    std::vector<std::string> texts;
    for (TTreeNode node : All()) {
      if (Tree->GetChecked(node)) {
        texts.push_back(Tree->Text(node));
      }
    }
    return texts;
  }

  UINT StateImage(TTreeNode node) const {
    return static_cast<UINT>(SendMessageW(Tree->Handle(), TVM_GETITEMSTATE,
                                          reinterpret_cast<WPARAM>(node), TVIS_STATEIMAGEMASK));
  }

  RECT TextRect(TTreeNode node) const {
    RECT rect{};
    TreeView_GetItemRect(Tree->Handle(), reinterpret_cast<HTREEITEM>(node), &rect, TRUE);
    return rect;
  }

  // A point on the node's check box, as the tree view's own hit test finds it.
  POINT BoxPoint(TTreeNode node) const {
    const RECT text = TextRect(node);
    for (LONG x = 0; x < text.left; ++x) {
      TVHITTESTINFO hit{{x, (text.top + text.bottom) / 2}};
      SendMessageW(Tree->Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.hItem == reinterpret_cast<HTREEITEM>(node) && (hit.flags & TVHT_ONITEMSTATEICON)) {
        return hit.pt;
      }
    }
    ADD_FAILURE() << "no check box left of " << Tree->Text(node);
    return {};
  }

  POINT TextPoint(TTreeNode node) const {
    const RECT text = TextRect(node);
    return {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
  }

  // The mouse messages of a left click (or of a double click's second press) at the point.
  void Click(POINT at, UINT press = WM_LBUTTONDOWN) {
    const LPARAM position = MAKELPARAM(at.x, at.y);
    PostMessageW(Tree->Handle(), press, MK_LBUTTON, position);
    PostMessageW(Tree->Handle(), WM_LBUTTONUP, 0, position);
    PumpWaitingMessages();
  }

  TTreeNode Selected() const {
    return reinterpret_cast<TTreeNode>(
        SendMessageW(Tree->Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
  }

  unique_hwnd Host;
  std::unique_ptr<TKVCheckedTreeView> Tree;
  TTreeNode Folder, Sub, Deep, File, Other;
};

TEST_F(CheckedTreeTest, WalksNodesInTreeOrder) {
  ASSERT_EQ(Tree->Count(), 5);
  const std::vector<TTreeNode> expected = All();
  for (int i = 0; i < Tree->Count(); ++i) {
    EXPECT_EQ(Tree->Item(i), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(Tree->Data(Tree->Item(i)), i == 4 ? 4 : i) << i;
  }
  EXPECT_EQ(Tree->Parent(Deep), Sub);
  EXPECT_EQ(Tree->Parent(Sub), Folder);
  EXPECT_EQ(Tree->Parent(Folder), nullptr);
  EXPECT_EQ(Tree->Text(Folder), "Папка");

  const std::string longName(700, 'x');
  const TTreeNode added = Tree->AddChildFirst(nullptr, longName, 0, 9);
  EXPECT_EQ(Tree->Item(0), added);
  EXPECT_EQ(Tree->Text(added), longName);
  EXPECT_EQ(Tree->Count(), 6);
}

// The scan expands a preselected folder before it adds the folder's content.
TEST_F(CheckedTreeTest, AFolderExpandedBeforeItsContentShowsItOpen) {
  const TTreeNode empty = Tree->AddChild(nullptr, "Сметы", 0, 5);
  Tree->Expand(empty);
  const TTreeNode child = Tree->AddChild(empty, "Смета.xml", 0, 6);
  const auto state = SendMessageW(Tree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(empty),
                                  TVIS_EXPANDED);
  EXPECT_EQ(state & TVIS_EXPANDED, static_cast<LRESULT>(TVIS_EXPANDED));
  // TVM_GETITEMRECT takes the item in the rectangle's place.
  RECT rect{};
  const HTREEITEM item = reinterpret_cast<HTREEITEM>(child);
  std::memcpy(&rect, &item, sizeof item);
  EXPECT_TRUE(SendMessageW(Tree->Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)))
      << "the child is not shown";
}

// The wizard deletes nodes while it walks the tree from the last index to the first.
TEST_F(CheckedTreeTest, DeleteTakesTheSubtreeAndKeepsTheIndexesBefore) {
  ASSERT_EQ(Tree->Item(4), Other);
  Tree->Delete(Deep);
  EXPECT_EQ(Tree->Item(2), File);
  Tree->Delete(Folder);
  ASSERT_EQ(Tree->Count(), 1);
  EXPECT_EQ(Tree->Item(0), Other);
  EXPECT_EQ(SendMessageW(Tree->Handle(), TVM_GETCOUNT, 0, 0), 1);
}

TEST_F(CheckedTreeTest, SetCheckedWritesTheStateImage) {
  struct TCase {
    bool Checked;
    bool CheckSubNodes;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {true, true, {"Папка", "Sub", "Deep.txt", "File.txt"}},
      {true, false, {"Папка"}},
  };
  for (const TCase& c : cases) {
    for (TTreeNode node : All()) {
      Tree->SetChecked(node, !c.Checked, false);
    }
    Tree->SetChecked(Folder, c.Checked, c.CheckSubNodes);
    std::vector<std::string> changed;
    for (TTreeNode node : All()) {
      EXPECT_EQ(Tree->GetChecked(node), StateImage(node) == 0x2000u) << Tree->Text(node);
      if (StateImage(node) == (c.Checked ? 0x2000u : 0x1000u)) {
        changed.push_back(Tree->Text(node));
      }
    }
    EXPECT_EQ(changed, c.Expected) << c.CheckSubNodes;
  }

  Tree->SetChecked(Folder, false, false);
  Tree->SetChecked(Deep, true, true);  // no children: only the node
  EXPECT_EQ(CheckedTexts(), std::vector<std::string>{"Deep.txt"});
}

TEST_F(CheckedTreeTest, ANodeWithoutStateImageReadsUnchecked) {
  TVITEMW item{TVIF_STATE | TVIF_HANDLE, reinterpret_cast<HTREEITEM>(Other), 0,
               TVIS_STATEIMAGEMASK};
  SendMessageW(Tree->Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  ASSERT_EQ(StateImage(Other), 0u);
  EXPECT_FALSE(Tree->GetChecked(Other));
}

TEST_F(CheckedTreeTest, CheckBoxTurnsTheStyleOnAndOff) {
  const auto style = [&] { return GetWindowLongPtrW(Tree->Handle(), GWL_STYLE) & TVS_CHECKBOXES; };
  EXPECT_TRUE(Tree->CheckBox());
  EXPECT_EQ(style(), 0x100);
  Tree->SetCheckBox(false);
  EXPECT_FALSE(Tree->CheckBox());
  EXPECT_EQ(style(), 0);
}

TEST_F(CheckedTreeTest, AClickOnTheBoxTogglesAsTheCheckEventDecides) {
  struct TCase {
    const char* Handler;
    TOnCheckEvent OnCheck;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"none", nullptr, {"Папка", "Sub", "Deep.txt", "File.txt"}},
      {"node only",
       [](TTreeNode, bool&, bool& applyForSubNodes) { applyForSubNodes = false; },
       {"Папка"}},
      {"refuses", [](TTreeNode, bool& newState, bool&) { newState = false; }, {}},
  };
  for (const TCase& c : cases) {
    for (TTreeNode node : All()) {
      Tree->SetChecked(node, false, false);
    }
    Tree->SetOnCheck(c.OnCheck);
    Click(BoxPoint(Folder));
    EXPECT_EQ(CheckedTexts(), c.Expected) << c.Handler;
  }

  // The event sees the clicked node and the toggled state, and the press selects nothing.
  std::vector<std::pair<TTreeNode, bool>> events;
  Tree->SetOnCheck([&](TTreeNode node, bool& newState, bool& applyForSubNodes) {
    events.emplace_back(node, newState);
    EXPECT_TRUE(applyForSubNodes);
  });
  const TTreeNode selected = Selected();
  Click(BoxPoint(Sub));
  Click(BoxPoint(Sub));
  EXPECT_EQ(events, (std::vector<std::pair<TTreeNode, bool>>{{Sub, true}, {Sub, false}}));
  EXPECT_EQ(Selected(), selected);
  EXPECT_NE(Selected(), Sub);
}

TEST_F(CheckedTreeTest, AClickOnTheTextSelectsWithoutChecking) {
  int events = 0;
  Tree->SetOnCheck([&](TTreeNode, bool&, bool&) { ++events; });
  Click(TextPoint(File));
  EXPECT_EQ(Selected(), File);
  EXPECT_EQ(CheckedTexts(), std::vector<std::string>{});
  EXPECT_EQ(events, 0);
}

// A double click is two presses, each through the event: the subtree ends as it began.
TEST_F(CheckedTreeTest, ADoubleClickOnTheBoxIsTwoPresses) {
  int events = 0;
  Tree->SetOnCheck([&](TTreeNode, bool&, bool&) { ++events; });
  const POINT box = BoxPoint(Folder);
  Click(box);
  Click(box, WM_LBUTTONDBLCLK);
  EXPECT_EQ(events, 2);
  EXPECT_EQ(CheckedTexts(), std::vector<std::string>{});
}

// The space key is the tree view's own: it toggles the selected node alone, without the event.
TEST_F(CheckedTreeTest, TheSpaceKeyTogglesTheSelectedNodeOnly) {
  int events = 0;
  Tree->SetOnCheck([&](TTreeNode, bool&, bool&) { ++events; });
  SendMessageW(Tree->Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Folder));
  PostMessageW(Tree->Handle(), WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(Tree->Handle(), WM_KEYUP, VK_SPACE, 0);
  PumpWaitingMessages();
  EXPECT_EQ(CheckedTexts(), std::vector<std::string>{"Папка"});
  EXPECT_EQ(events, 0);
}

// A check event that fails is reported like any error of the window, and the tree goes on.
TEST_F(CheckedTreeTest, AFailingCheckEventIsReported) {
  test::RecordingMessageBoxes boxes;
  platform::TScopedCurrent<platform::IMessageBoxes> scoped(boxes);
  Tree->SetOnCheck([](TTreeNode, bool&, bool&) { throw Exception("Сбой"); });
  Click(BoxPoint(Other));
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Сбой");
  EXPECT_EQ(boxes.Shown[0].Caption, "Host");
  EXPECT_EQ(boxes.Shown[0].Owner, platform::win32::WindowHandle(Host.get()));
  EXPECT_FALSE(Tree->GetChecked(Other));

  Tree->SetOnCheck(nullptr);
  Click(BoxPoint(Other));
  EXPECT_TRUE(Tree->GetChecked(Other));
}

}  // namespace
}  // namespace kv::app
