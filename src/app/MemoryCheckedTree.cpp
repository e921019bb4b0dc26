#include "app/MemoryCheckedTree.h"

#include <functional>

namespace kv::app {

namespace {

template <class Node>
Node& NodeOf(TTreeNode node) {
  return *reinterpret_cast<Node*>(node);
}

template <class Node>
TTreeNode HandleOf(Node* node) {
  return reinterpret_cast<TTreeNode>(node);
}

}  // namespace

TTreeNode TMemoryCheckedTree::Add(TTreeNode parent, const std::string& text, int data, bool first) {
  TNode& owner = parent ? NodeOf<TNode>(parent) : FRoot;
  auto node = std::make_unique<TNode>(TNode{&owner, text, data});
  TNode* added = node.get();
  owner.Children.insert(first ? owner.Children.begin() : owner.Children.end(), std::move(node));
  return HandleOf(added);
}

TTreeNode TMemoryCheckedTree::AddChildFirst(TTreeNode parent, const std::string& text, int,
                                            int data) {
  return Add(parent, text, data, true);
}

TTreeNode TMemoryCheckedTree::AddChild(TTreeNode parent, const std::string& text, int, int data) {
  return Add(parent, text, data, false);
}

void TMemoryCheckedTree::Delete(TTreeNode node) {
  TNode& removed = NodeOf<TNode>(node);
  std::erase_if(removed.Parent->Children,
                [&](const auto& child) { return child.get() == &removed; });
}

std::vector<TMemoryCheckedTree::TNode*> TMemoryCheckedTree::InTreeOrder() const {
  std::vector<TNode*> nodes;
  const std::function<void(const TNode&)> collect = [&](const TNode& parent) {
    for (const auto& child : parent.Children) {
      nodes.push_back(child.get());
      collect(*child);
    }
  };
  collect(FRoot);
  return nodes;
}

int TMemoryCheckedTree::Count() const {
  return static_cast<int>(InTreeOrder().size());
}

TTreeNode TMemoryCheckedTree::Item(int index) const {
  return HandleOf(InTreeOrder().at(static_cast<size_t>(index)));
}

TTreeNode TMemoryCheckedTree::Parent(TTreeNode node) const {
  TNode* parent = NodeOf<TNode>(node).Parent;
  return parent == &FRoot ? nullptr : HandleOf(parent);
}

std::string TMemoryCheckedTree::Text(TTreeNode node) const {
  return NodeOf<TNode>(node).Text;
}

int TMemoryCheckedTree::Data(TTreeNode node) const {
  return NodeOf<TNode>(node).Data;
}

bool TMemoryCheckedTree::GetChecked(TTreeNode node) const {
  return NodeOf<TNode>(node).Checked;
}

void TMemoryCheckedTree::SetChecked(TTreeNode node, bool checked, bool checkSubNodes) {
  NodeOf<TNode>(node).Checked = checked;
  if (checkSubNodes) {
    for (const auto& child : NodeOf<TNode>(node).Children) {
      SetChecked(HandleOf(child.get()), checked, true);
    }
  }
}

}  // namespace kv::app
