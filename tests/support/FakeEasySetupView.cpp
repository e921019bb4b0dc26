#include "support/FakeEasySetupView.h"

#include <algorithm>
#include <functional>

namespace kv::test {

using app::TTreeNode;
using app::TViewPart;

namespace {

TTreeNode Handle(FakeCheckedTree::TNode* node) {
  return reinterpret_cast<TTreeNode>(node);
}

void CollectInTreeOrder(const FakeCheckedTree::TNode& parent,
                        std::vector<FakeCheckedTree::TNode*>& nodes) {
  for (const auto& child : parent.Children) {
    nodes.push_back(child.get());
    CollectInTreeOrder(*child, nodes);
  }
}

std::vector<FakeCheckedTree::TNode*> InTreeOrder(const FakeCheckedTree::TNode& root) {
  std::vector<FakeCheckedTree::TNode*> nodes;
  CollectInTreeOrder(root, nodes);
  return nodes;
}

}  // namespace

std::vector<std::unique_ptr<FakeCheckedTree::TNode>>& FakeCheckedTree::ChildrenOf(
    TTreeNode parent) {
  return parent ? NodeOf(parent).Children : Root.Children;
}

TTreeNode FakeCheckedTree::AddChildFirst(TTreeNode parent, const std::string& text, int imageIndex,
                                         int data) {
  auto& children = ChildrenOf(parent);
  auto node = std::make_unique<TNode>(
      TNode{parent ? &NodeOf(parent) : nullptr, {}, text, imageIndex, data});
  TNode* added = node.get();
  children.insert(children.begin(), std::move(node));
  return Handle(added);
}

TTreeNode FakeCheckedTree::AddChild(TTreeNode parent, const std::string& text, int imageIndex,
                                    int data) {
  auto& children = ChildrenOf(parent);
  children.push_back(std::make_unique<TNode>(
      TNode{parent ? &NodeOf(parent) : nullptr, {}, text, imageIndex, data}));
  return Handle(children.back().get());
}

void FakeCheckedTree::Delete(TTreeNode node) {
  TNode& removed = NodeOf(node);
  auto& siblings = removed.Parent ? removed.Parent->Children : Root.Children;
  std::erase_if(siblings, [&](const auto& child) { return child.get() == &removed; });
}

int FakeCheckedTree::Count() const {
  return static_cast<int>(InTreeOrder(Root).size());
}

TTreeNode FakeCheckedTree::Item(int index) const {
  return Handle(InTreeOrder(Root).at(static_cast<size_t>(index)));
}

TTreeNode FakeCheckedTree::Parent(TTreeNode node) const {
  return Handle(NodeOf(node).Parent);
}

std::string FakeCheckedTree::Text(TTreeNode node) const {
  return NodeOf(node).Text;
}

int FakeCheckedTree::Data(TTreeNode node) const {
  return NodeOf(node).Data;
}

bool FakeCheckedTree::GetChecked(TTreeNode node) const {
  return NodeOf(node).StateIndex == 2;
}

void FakeCheckedTree::SetChecked(TTreeNode node, bool checked, bool checkSubNodes) {
  NodeOf(node).StateIndex = checked ? 2 : 1;
  if (checkSubNodes) {
    for (const auto& child : NodeOf(node).Children) {
      SetChecked(Handle(child.get()), checked, true);
    }
  }
}

void FakeCheckedTree::Expand(TTreeNode node) {
  NodeOf(node).Expanded = true;
}

void FakeCheckedTree::CollapseAll(TTreeNode node) {
  NodeOf(node).Expanded = false;
  for (const auto& child : NodeOf(node).Children) {
    CollapseAll(Handle(child.get()));
  }
}

void FakeCheckedTree::MakeTopItem(TTreeNode node) {
  TopItem = node;
}

int FakeCheckedTree::Draw(TTreeNode node) {
  TNode& drawn = NodeOf(node);
  if (drawn.ImageIndex == app::kImageWhenShown) {
    drawn.ImageIndex = OnGetImageIndex(node);
  }
  return drawn.ImageIndex;
}

std::vector<std::string> FakeCheckedTree::Dump() const {
  std::vector<std::string> lines;
  std::function<void(const TNode&, int)> dump = [&](const TNode& parent, int depth) {
    for (const auto& child : parent.Children) {
      std::string line(static_cast<size_t>(depth) * 2, ' ');
      line += child->Text;
      if (child->StateIndex != 0) {
        line += child->StateIndex == 2 ? " [x]" : " [ ]";
      }
      if (child->Expanded) {
        line += " +";
      }
      lines.push_back(line);
      dump(*child, depth + 1);
    }
  };
  dump(Root, 0);
  return lines;
}

FakeEasySetupView::FakeEasySetupView() {
  for (TViewPart part : {TViewPart::Log, TViewPart::Status, TViewPart::Progress,
                         TViewPart::TreeCaption, TViewPart::Tree, TViewPart::Finish}) {
    Visible[part] = false;
  }
  Visible[TViewPart::Welcome] = true;
  for (app::TWizardButton button : {app::TWizardButton::Next, app::TWizardButton::Cancel}) {
    Enabled[button] = true;
    Pressed[button] = false;
  }
}

bool FakeEasySetupView::Ask(const std::string& question) {
  Messages.push_back({question, TMessageKind::Question});
  if (Answers.empty()) {
    return false;
  }
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

void FakeEasySetupView::ProcessMessages() {
  ++MessagePumps;
  if (OnProcessMessages) {
    OnProcessMessages();
  }
}

void FakeEasySetupView::Close() {
  ++CloseRequests;
  if (!CloseQuery || CloseQuery()) {
    Closed = true;
  }
}

}  // namespace kv::test
