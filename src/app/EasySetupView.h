#pragma once
// What the wizard needs of its window and of its check-box tree. The Windows dialog implements
// both with real controls; tests implement them with fakes.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Shell.h"

namespace kv::app {

// A colour in the window system's blue-green-red encoding; a top byte 0xFF marks a system colour.
using TColor = uint32_t;
constexpr TColor clWindowText = 0xFF000008;
// A button caption in this colour marks its button as disabled.
constexpr TColor DisabledLabelColour = 0x706860;

// The controls the wizard's logic shows, hides, fills or asks about.
enum class TControl {
  Image2,  // face of the cancel button
  Image3,  // face of the next button
  lblNext,
  lblCancel,
  memInfo,    // the welcome text
  memStatus,  // the status log
  lblStatus,
  pbStatus,           // overall progress
  pbCurrentProgress,  // progress of the file being copied
  lblShortCuts,
  tvShortCuts,
  lblFinish,
};

// The two faces of an image button: the pictures of Image4 and Image5.
enum class TButtonFace { Normal, Pressed };

enum class TMouseButton { Left, Right, Middle };

// A node of the check-box tree; null is "none" (for a parent: the root level).
using TTreeNode = struct TTreeNodeHandle*;

// The check event: the handler may change the state the node gets and whether its descendants
// get it too.
using TOnCheckEvent = std::function<void(TTreeNode node, bool& newState, bool& applyForSubNodes)>;

// The check-box tree of the shortcut and data-source pages.
class ICheckedTree {
 public:
  virtual ~ICheckedTree() = default;

  // A new node as the first or last child of parent (of the root level when parent is null);
  // imageIndex indexes the shared system small-icon list, data is the node's number.
  virtual TTreeNode AddChildFirst(TTreeNode parent, const std::string& text, int imageIndex,
                                  int data) = 0;
  virtual TTreeNode AddChild(TTreeNode parent, const std::string& text, int imageIndex,
                             int data) = 0;
  // Deletes the node with its descendants.
  virtual void Delete(TTreeNode node) = 0;

  // All nodes in tree order (top to bottom, depth first), by index.
  virtual int Count() const = 0;
  virtual TTreeNode Item(int index) const = 0;
  virtual TTreeNode Parent(TTreeNode node) const = 0;
  virtual std::string Text(TTreeNode node) const = 0;
  virtual int Data(TTreeNode node) const = 0;

  virtual bool GetChecked(TTreeNode node) const = 0;
  virtual void SetChecked(TTreeNode node, bool checked, bool checkSubNodes) = 0;

  virtual void Expand(TTreeNode node) = 0;
  // Collapses the node and its whole subtree.
  virtual void CollapseAll(TTreeNode node) = 0;
  // Scrolls so that the node is the first visible one.
  virtual void MakeTopItem(TTreeNode node) = 0;

  virtual void SetCheckBox(bool shown) = 0;
  virtual void SetOnCheck(TOnCheckEvent handler) = 0;
  // Draws the nodes' icons from this image list.
  virtual void SetImageList(platform::TImageListHandle imageList) = 0;
};

// The wizard's window.
class IEasySetupView {
 public:
  virtual ~IEasySetupView() = default;

  virtual void SetVisible(TControl control, bool visible) = 0;
  // The caption of a label.
  virtual void SetText(TControl control, const std::string& text) = 0;
  virtual TColor LabelColour(TControl control) const = 0;
  virtual void SetLabelColour(TControl control, TColor colour) = 0;
  // Copies a face picture into Image2 or Image3.
  virtual void SetButtonFace(TControl image, TButtonFace face) = 0;

  // Appends one line to the status log.
  virtual void AppendLog(const std::string& line) = 0;
  // Scrolls the status log to its last line.
  virtual void ScrollLogToEnd() = 0;

  virtual void SetProgressMax(TControl bar, int maximum) = 0;
  virtual void SetProgress(TControl bar, int position) = 0;
  virtual void StepProgress(TControl bar) = 0;

  // A message box owned by the window with the application title as caption; answers the
  // button pressed.
  virtual platform::TMessageAnswer ShowMessage(const std::string& text,
                                               platform::TMessageKind kind) = 0;
  // Lets pending window messages run; the wizard's handlers may run inside.
  virtual void ProcessMessages() = 0;
  // Closes the window as the title bar's close button would: through the close query.
  virtual void Close() = 0;
  // Ends the process at once with the exit code.
  [[noreturn]] virtual void Halt(int exitCode) = 0;
  // The window's handle, the owner of the shell's file operations; None when there is none.
  virtual platform::TWindowHandle Handle() const = 0;

  virtual ICheckedTree& Tree() = 0;
};

// The click on a node's check box, as the tree control handles it: the node toggles, and so does
// its subtree unless the check event says otherwise.
void ClickCheckBox(ICheckedTree& tree, TTreeNode node, const TOnCheckEvent& onCheck);

}  // namespace kv::app
