#pragma once
// TKVCheckedTreeView: the system's tree view with check boxes, where the check state lives in each
// node's state image (index 1 an empty box, 2 a ticked one), so what the user sees is what the
// program reads. A left press on a box toggles the node and, unless the check event says
// otherwise, its whole subtree; the space key is left to the tree view (that node only).

#include <vector>

#include "app/EasySetupView.h"
#include "app/win32/BaseWindow.h"

namespace kv::app {

class TKVCheckedTreeView final : public ICheckedTree, private TBaseWindow {
 public:
  // Creates the tree view, hidden, as a child window of parent at bounds (parent's client
  // coordinates) with the control id.
  TKVCheckedTreeView(HWND parent, int id, const RECT& bounds);

  using TBaseWindow::Handle;
  bool CheckBox() const { return FCheckBox; }

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
  void Expand(TTreeNode node) override;
  void CollapseAll(TTreeNode node) override;
  void MakeTopItem(TTreeNode node) override;
  void SetCheckBox(bool shown) override;
  void SetOnCheck(TOnCheckEvent handler) override { FCheck = std::move(handler); }
  void SetImageList(platform::TImageListHandle imageList) override;
  void SetOnGetImageIndex(TOnGetImageIndex handler) override {
    FGetImageIndex = std::move(handler);
  }

  // A notification the tree view sent its parent, passed on by the parent: the tree answers the
  // question for a node's image.
  void HandleNotify(NMHDR& header);

 private:
  // A node in tree order with its depth (0 for a root node).
  struct TEntry {
    HTREEITEM Node;
    int Depth;
  };

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // A left press at the position: when it is on a node's box, toggles the node as the check
  // event decides and answers true (the tree view's own handling of the press must not run).
  bool PressCheckBox(LPARAM position);
  TTreeNode Insert(TTreeNode parent, HTREEITEM after, const std::string& text, int imageIndex,
                   int data);
  HTREEITEM Next(HTREEITEM node, UINT relation) const;
  // All nodes in tree order; kept between changes, as the wizard walks the tree by index.
  const std::vector<TEntry>& Nodes() const;
  void Collect(HTREEITEM first, int depth) const;

  bool FCheckBox = false;
  TOnCheckEvent FCheck;
  TOnGetImageIndex FGetImageIndex;
  mutable std::vector<TEntry> FNodes;
  mutable bool FNodesValid = false;
};

}  // namespace kv::app
