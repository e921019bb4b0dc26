#include "app/win32/KVCheckedTreeView.h"

#include <algorithm>

namespace kv::app {
namespace {

// The state-image part of a node's state: the image index times 0x1000.
constexpr UINT kUncheckedState = 0x1000;
constexpr UINT kCheckedState = 0x2000;

HTREEITEM ItemOf(TTreeNode node) {
  return reinterpret_cast<HTREEITEM>(node);
}

TTreeNode NodeOf(HTREEITEM item) {
  return reinterpret_cast<TTreeNode>(item);
}

}  // namespace

TKVCheckedTreeView::TKVCheckedTreeView(HWND parent, int id, const RECT& bounds) {
  Subclass(platform::win32::unique_hwnd(platform::win32::CheckLastError(CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
      WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
      bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr))));
}

LRESULT TKVCheckedTreeView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The second press of a double click is a press too: left to the tree view, it would toggle
  // the box without the event and without the subtree.
  if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) && PressCheckBox(lParam)) {
    return 0;
  }
  return Default(message, wParam, lParam);
}

bool TKVCheckedTreeView::PressCheckBox(LPARAM position) {
  TVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  SendMessageW(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (!hit.hItem || !(hit.flags & TVHT_ONITEMSTATEICON)) {
    return false;
  }
  ClickCheckBox(*this, NodeOf(hit.hItem), FCheck);
  return true;
}

TTreeNode TKVCheckedTreeView::Insert(TTreeNode parent, HTREEITEM after, const std::string& text,
                                     int imageIndex, int data) {
  std::wstring caption = platform::win32::Wide(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? ItemOf(parent) : TVI_ROOT;
  insert.hInsertAfter = after;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = caption.data();
  insert.item.iImage = imageIndex == kImageWhenShown ? I_IMAGECALLBACK : imageIndex;
  insert.item.iSelectedImage = insert.item.iImage;
  insert.item.lParam = data;
  const auto item = reinterpret_cast<HTREEITEM>(
      SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  if (!item) {
    throw EInvalidOperation("Unable to insert an item");
  }
  FNodesValid = false;
  return NodeOf(item);
}

void TKVCheckedTreeView::HandleNotify(NMHDR& header) {
  if (header.code != TVN_GETDISPINFOW) {
    return;
  }
  TVITEMW& item = reinterpret_cast<NMTVDISPINFOW&>(header).item;
  if (item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
    const int image = FGetImageIndex ? FGetImageIndex(NodeOf(item.hItem)) : 0;
    item.iImage = image;
    item.iSelectedImage = image;
    // The tree view keeps the answer and does not ask again.
    item.mask |= TVIF_DI_SETITEM;
  }
}

TTreeNode TKVCheckedTreeView::AddChildFirst(TTreeNode parent, const std::string& text,
                                            int imageIndex, int data) {
  return Insert(parent, TVI_FIRST, text, imageIndex, data);
}

TTreeNode TKVCheckedTreeView::AddChild(TTreeNode parent, const std::string& text, int imageIndex,
                                       int data) {
  return Insert(parent, TVI_LAST, text, imageIndex, data);
}

void TKVCheckedTreeView::Delete(TTreeNode node) {
  if (FNodesValid) {
    // The subtree follows the node in tree order: every entry deeper than the node.
    auto first = std::find_if(FNodes.begin(), FNodes.end(),
                              [&](const TEntry& entry) { return entry.Node == ItemOf(node); });
    if (first != FNodes.end()) {
      auto last = std::find_if(std::next(first), FNodes.end(),
                               [&](const TEntry& entry) { return entry.Depth <= first->Depth; });
      FNodes.erase(first, last);
    }
  }
  SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(ItemOf(node)));
}

HTREEITEM TKVCheckedTreeView::Next(HTREEITEM node, UINT relation) const {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(Handle(), TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(node)));
}

void TKVCheckedTreeView::Collect(HTREEITEM first, int depth) const {
  for (HTREEITEM node = first; node; node = Next(node, TVGN_NEXT)) {
    FNodes.push_back({node, depth});
    Collect(Next(node, TVGN_CHILD), depth + 1);
  }
}

const std::vector<TKVCheckedTreeView::TEntry>& TKVCheckedTreeView::Nodes() const {
  if (!FNodesValid) {
    FNodes.clear();
    Collect(Next(nullptr, TVGN_ROOT), 0);
    FNodesValid = true;
  }
  return FNodes;
}

int TKVCheckedTreeView::Count() const {
  return static_cast<int>(Nodes().size());
}

TTreeNode TKVCheckedTreeView::Item(int index) const {
  return NodeOf(Nodes().at(static_cast<size_t>(index)).Node);
}

TTreeNode TKVCheckedTreeView::Parent(TTreeNode node) const {
  return NodeOf(Next(ItemOf(node), TVGN_PARENT));
}

std::string TKVCheckedTreeView::Text(TTreeNode node) const {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = ItemOf(node);
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    // The control may answer with its own buffer instead of filling ours.
    const std::wstring_view text(item.pszText);
    if (text.size() + 1 < buffer.size()) {
      return platform::win32::Narrow(text);
    }
    buffer.resize(buffer.size() * 2);
  }
}

int TKVCheckedTreeView::Data(TTreeNode node) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM | TVIF_HANDLE;
  item.hItem = ItemOf(node);
  SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<int>(item.lParam);
}

bool TKVCheckedTreeView::GetChecked(TTreeNode node) const {
  const auto state = static_cast<UINT>(SendMessageW(
      Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(ItemOf(node)), TVIS_STATEIMAGEMASK));
  return (state & kCheckedState) != 0;
}

void TKVCheckedTreeView::SetChecked(TTreeNode node, bool checked, bool checkSubNodes) {
  TVITEMW item{};
  item.mask = TVIF_STATE | TVIF_HANDLE;
  item.hItem = ItemOf(node);
  item.state = checked ? kCheckedState : kUncheckedState;
  item.stateMask = TVIS_STATEIMAGEMASK;
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  if (checkSubNodes) {
    for (HTREEITEM child = Next(ItemOf(node), TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
      SetChecked(NodeOf(child), checked, true);
    }
  }
}

void TKVCheckedTreeView::Expand(TTreeNode node) {
  HTREEITEM item = ItemOf(node);
  SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  // The scan expands a preselected folder before its content is added; the tree view ignores
  // that for a node without children, so mark the node open for the children to come.
  TVITEMW state{};
  state.mask = TVIF_STATE;
  state.hItem = item;
  state.stateMask = TVIS_EXPANDED;
  state.state = TVIS_EXPANDED;
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&state));
}

void TKVCheckedTreeView::CollapseAll(TTreeNode node) {
  for (HTREEITEM child = Next(ItemOf(node), TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
    CollapseAll(NodeOf(child));
  }
  SendMessageW(Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(ItemOf(node)));
}

void TKVCheckedTreeView::MakeTopItem(TTreeNode node) {
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(ItemOf(node)));
}

void TKVCheckedTreeView::SetCheckBox(bool shown) {
  FCheckBox = shown;
  const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
  SetWindowLongPtrW(Handle(), GWL_STYLE, shown ? style | TVS_CHECKBOXES : style & ~TVS_CHECKBOXES);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TKVCheckedTreeView::SetImageList(platform::TImageListHandle imageList) {
  SendMessageW(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
               reinterpret_cast<LPARAM>(platform::win32::HandleOf(imageList)));
}

}  // namespace kv::app
