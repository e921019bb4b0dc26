#pragma once
// The wizard's window and tree in memory: what the wizard showed, wrote and asked, with the
// user's answers scripted by the test.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/EasySetupView.h"

namespace kv::test {

// A tree that keeps each node's state image as the real control does: 0 (never set, no box),
// 1 (empty box) or 2 (ticked).
class FakeCheckedTree final : public app::ICheckedTree {
 public:
  struct TNode {
    TNode* Parent = nullptr;
    std::vector<std::unique_ptr<TNode>> Children;
    std::string Text;
    int ImageIndex = -1;
    int Data = 0;
    int StateIndex = 0;
    bool Expanded = false;
  };

  app::TTreeNode AddChildFirst(app::TTreeNode parent, const std::string& text, int imageIndex,
                               int data) override;
  app::TTreeNode AddChild(app::TTreeNode parent, const std::string& text, int imageIndex,
                          int data) override;
  void Delete(app::TTreeNode node) override;
  int Count() const override;
  app::TTreeNode Item(int index) const override;
  app::TTreeNode Parent(app::TTreeNode node) const override;
  std::string Text(app::TTreeNode node) const override;
  int Data(app::TTreeNode node) const override;
  bool GetChecked(app::TTreeNode node) const override;
  void SetChecked(app::TTreeNode node, bool checked, bool checkSubNodes) override;
  void Expand(app::TTreeNode node) override;
  void CollapseAll(app::TTreeNode node) override;
  void MakeTopItem(app::TTreeNode node) override;
  void SetCheckBox(bool shown) override { CheckBox = shown; }
  void SetOnCheck(app::TOnCheckEvent handler) override { OnCheck = std::move(handler); }
  void SetImageList(platform::TImageListHandle imageList) override { ImageList = imageList; }

  // A left click on the node's check box.
  void ClickCheckBox(app::TTreeNode node) { app::ClickCheckBox(*this, node, OnCheck); }
  static TNode& NodeOf(app::TTreeNode node) { return *reinterpret_cast<TNode*>(node); }
  // The tree as indented lines: "name" with "[x]" or "[ ]" when checked or not, two spaces per
  // level, "+" for an expanded node.
  std::vector<std::string> Dump() const;

  bool CheckBox = false;
  app::TOnCheckEvent OnCheck;
  platform::TImageListHandle ImageList = platform::TImageListHandle::None;
  app::TTreeNode TopItem = nullptr;

 private:
  std::vector<std::unique_ptr<TNode>>& ChildrenOf(app::TTreeNode parent);
  TNode Root;
};

class FakeEasySetupView final : public app::IEasySetupView {
 public:
  // Raised by Halt, so that a test sees the process end where it would.
  struct THalted {
    int ExitCode;
  };
  struct TMessage {
    std::string Text;
    platform::TMessageKind Type;
  };

  FakeEasySetupView();

  void SetVisible(app::TControl control, bool visible) override { Visible[control] = visible; }
  void SetText(app::TControl control, const std::string& text) override { Texts[control] = text; }
  app::TColor LabelColour(app::TControl control) const override { return Colours.at(control); }
  void SetLabelColour(app::TControl control, app::TColor colour) override {
    Colours[control] = colour;
  }
  void SetButtonFace(app::TControl image, app::TButtonFace face) override { Faces[image] = face; }
  void AppendLog(const std::string& line) override { Log.push_back(line); }
  void ScrollLogToEnd() override { ++LogScrolls; }
  void SetProgressMax(app::TControl bar, int maximum) override { ProgressMax[bar] = maximum; }
  void SetProgress(app::TControl bar, int position) override;
  void StepProgress(app::TControl bar) override { SetProgress(bar, Progress[bar] + 1); }
  platform::TMessageAnswer ShowMessage(const std::string& text,
                                       platform::TMessageKind kind) override;
  void ProcessMessages() override;
  void Close() override;
  [[noreturn]] void Halt(int exitCode) override { throw THalted{exitCode}; }
  platform::TWindowHandle Handle() const override { return platform::TWindowHandle::None; }
  app::ICheckedTree& Tree() override { return TreeView; }

  bool IsVisible(app::TControl control) const { return Visible.at(control); }
  std::string Text(app::TControl control) const;

  FakeCheckedTree TreeView;
  std::map<app::TControl, bool> Visible;
  std::map<app::TControl, std::string> Texts;
  std::map<app::TControl, app::TColor> Colours;
  std::map<app::TControl, app::TButtonFace> Faces;
  std::vector<std::string> Log;
  int LogScrolls = 0;
  std::map<app::TControl, int> ProgressMax;
  std::map<app::TControl, int> Progress;
  // Every position a bar was set to, in order.
  std::map<app::TControl, std::vector<int>> ProgressHistory;
  std::vector<TMessage> Messages;
  // Answers to the next message boxes, in order; when none is left, OK boxes answer OK and
  // yes/no boxes answer No.
  std::deque<platform::TMessageAnswer> Answers;
  int MessagePumps = 0;
  // Runs inside ProcessMessages: where a test clicks while the wizard works.
  std::function<void()> OnProcessMessages;
  // The close query of the window (the wizard's FormCloseQuery); Close closes when it agrees.
  std::function<bool()> CloseQuery;
  int CloseRequests = 0;
  bool Closed = false;
};

}  // namespace kv::test
