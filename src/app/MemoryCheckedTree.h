#pragma once
// The check-box tree without a control: nodes and their check marks in memory, for a wizard that
// runs without a window.

#include <memory>
#include <string>
#include <vector>

#include "app/EasySetupView.h"

namespace kv::app {

class TMemoryCheckedTree final : public ICheckedTree {
 public:
  TTreeNode AddChildFirst(TTreeNode parent, const std::string& text, int imageIndex,
                          int data) override;
  TTreeNode AddChild(TTreeNode parent, const std::string& text, int imageIndex, int data) override;
  void Delete(TTreeNode node) override;
  int Count() const override;
  TTreeNode Item(int index) const override;
  TTreeNode Parent(TTreeNode node) const override;
  std::string Text(TTreeNode node) const override;
  int Data(TTreeNode node) const override;
  bool GetChecked(TTreeNode node) const override;
  void SetChecked(TTreeNode node, bool checked, bool checkSubNodes) override;
  // Nothing is shown: how the nodes would look does not matter.
  void Expand(TTreeNode) override {}
  void CollapseAll(TTreeNode) override {}
  void MakeTopItem(TTreeNode) override {}
  void SetCheckBox(bool) override {}
  void SetOnCheck(TOnCheckEvent) override {}
  void SetImageList(platform::TImageListHandle) override {}
  void SetOnGetImageIndex(TOnGetImageIndex) override {}

 private:
  struct TNode {
    TNode* Parent;
    std::string Text;
    int Data;
    bool Checked = false;
    std::vector<std::unique_ptr<TNode>> Children;
  };

  TTreeNode Add(TTreeNode parent, const std::string& text, int data, bool first);
  std::vector<TNode*> InTreeOrder() const;

  TNode FRoot{nullptr, {}, 0};
};

}  // namespace kv::app
