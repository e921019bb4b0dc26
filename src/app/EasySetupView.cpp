#include "app/EasySetupView.h"

namespace kv::app {

void ClickCheckBox(ICheckedTree& tree, TTreeNode node, const TOnCheckEvent& onCheck) {
  bool newState = !tree.GetChecked(node);
  bool applyForSubNodes = true;
  if (onCheck) {
    onCheck(node, newState, applyForSubNodes);
  }
  tree.SetChecked(node, newState, applyForSubNodes);
}

}  // namespace kv::app
