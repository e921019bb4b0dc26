#pragma once
// The wizard's window and tree in memory: what the wizard showed, wrote and asked, with the
// user's answers scripted by the test.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
  void SetOnGetImageIndex(app::TOnGetImageIndex handler) override {
    OnGetImageIndex = std::move(handler);
  }

  // A left click on the node's check box.
  void ClickCheckBox(app::TTreeNode node) { app::ClickCheckBox(*this, node, OnCheck); }
  static TNode& NodeOf(app::TTreeNode node) { return *reinterpret_cast<TNode*>(node); }
  // The node drawn: an image left for when it is shown is asked for now, as the control does.
  int Draw(app::TTreeNode node);
  // The tree as indented lines: "name" with "[x]" or "[ ]" when checked or not, two spaces per
  // level, "+" for an expanded node.
  std::vector<std::string> Dump() const;

  bool CheckBox = false;
  app::TOnCheckEvent OnCheck;
  app::TOnGetImageIndex OnGetImageIndex;
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
  enum class TMessageKind { Plain, Warning, Error, Question };
  struct TMessage {
    std::string Text;
    TMessageKind Kind;
  };

  FakeEasySetupView();

  void Show(app::TViewPart part, bool shown) override { Visible[part] = shown; }
  void SetStatus(const std::string& text) override { Status = text; }
  void SetTreeCaption(const std::string& text) override { TreeCaption = text; }
  void SetFinishText(const std::string& text) override { FinishText = text; }
  void SetNextCaption(const std::string& text) override { NextCaption = text; }
  void SetEnabled(app::TWizardButton button, bool enabled) override { Enabled[button] = enabled; }
  void ShowPressed(app::TWizardButton button, bool pressed) override { Pressed[button] = pressed; }
  void AppendLog(const std::string& line) override { Log.push_back(line); }
  void ScrollLogToEnd() override { ++LogScrolls; }
  void SetEntryCount(int count) override { EntryCount = count; }
  void StepEntries() override { ++EntriesDone; }
  void SetFilePercent(int percent) override { FilePercents.push_back(percent); }
  bool Ask(const std::string& question) override;
  void ShowWarning(const std::string& text) override {
    Messages.push_back({text, TMessageKind::Warning});
  }
  void ShowError(const std::string& text) override {
    Messages.push_back({text, TMessageKind::Error});
  }
  void ShowMessage(const std::string& text) override {
    Messages.push_back({text, TMessageKind::Plain});
  }
  void BlockSessionEnd(const std::string& reason) override { SessionEndBlock = reason; }
  void AllowSessionEnd() override { SessionEndBlock.reset(); }
  void ProcessMessages() override;
  void Close() override;
  [[noreturn]] void Halt(int exitCode) override { throw THalted{exitCode}; }
  platform::TWindowHandle Handle() const override { return platform::TWindowHandle::None; }
  app::ICheckedTree& Tree() override { return TreeView; }

  bool IsVisible(app::TViewPart part) const { return Visible.at(part); }

  FakeCheckedTree TreeView;
  std::map<app::TViewPart, bool> Visible;
  std::string Status;
  std::string TreeCaption = "Выберите файл или папку на которые вы хотели бы создать ярлык:";
  std::string FinishText = "Экспресс установка завершена. Для завершения нажмите кнопку \"Готово\"";
  std::string NextCaption = "Далее >";
  std::map<app::TWizardButton, bool> Enabled;
  std::map<app::TWizardButton, bool> Pressed;
  std::vector<std::string> Log;
  int LogScrolls = 0;
  int EntryCount = 0;
  int EntriesDone = 0;
  // Every percentage the per-file bar was set to, in order.
  std::vector<int> FilePercents;
  std::vector<TMessage> Messages;
  // The reason shown while log-off and shut-down are blocked; nothing while they are not.
  std::optional<std::string> SessionEndBlock;
  // Answers to the next questions, in order (true for Yes); when none is left, the answer is No.
  std::deque<bool> Answers;
  int MessagePumps = 0;
  // Runs inside ProcessMessages: where a test clicks while the wizard works.
  std::function<void()> OnProcessMessages;
  // The close query of the window (the wizard's FormCloseQuery); Close closes when it agrees.
  std::function<bool()> CloseQuery;
  int CloseRequests = 0;
  bool Closed = false;
};

}  // namespace kv::test
