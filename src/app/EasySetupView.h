#pragma once
// What the wizard needs of its window and of its check-box tree. The Windows dialog implements
// both with real controls; tests implement them with fakes.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Shell.h"

namespace kv::app {

// The two buttons of the wizard.
enum class TWizardButton { Next, Cancel };

// The parts of the window that come and go as the pages change.
enum class TViewPart {
  Welcome,      // the welcome text
  Log,          // the status log of the copy page
  Status,       // the line that names the file being copied
  Progress,     // the overall and the per-file progress bars
  TreeCaption,  // the caption over the tree
  Tree,         // the check-box tree of the shortcut and data-source pages
  Finish,       // the closing text of the done page
};

enum class TMouseButton { Left, Right, Middle };

// A node of the check-box tree; null is "none" (for a parent: the root level).
using TTreeNode = struct TTreeNodeHandle*;

// The check event: the handler may change the state the node gets and whether its descendants
// get it too.
using TOnCheckEvent = std::function<void(TTreeNode node, bool& newState, bool& applyForSubNodes)>;

// The image of a node added with kImageWhenShown, asked for when the node is first drawn.
using TOnGetImageIndex = std::function<int(TTreeNode node)>;
// The image index that asks the image event when the node is first drawn: the shell's icon of a
// program takes it a while to find, and most nodes are never seen.
constexpr int kImageWhenShown = -2;

// The check-box tree of the shortcut and data-source pages.
class ICheckedTree {
 public:
  virtual ~ICheckedTree() = default;

  // A new node as the first or last child of parent (of the root level when parent is null);
  // imageIndex indexes the shared system small-icon list (or is kImageWhenShown), data is the
  // node's number.
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
  virtual void SetOnGetImageIndex(TOnGetImageIndex handler) = 0;
};

// The wizard's window, in the wizard's terms.
class IEasySetupView {
 public:
  virtual ~IEasySetupView() = default;

  virtual void Show(TViewPart part, bool shown) = 0;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetTreeCaption(const std::string& text) = 0;
  virtual void SetFinishText(const std::string& text) = 0;
  virtual void SetNextCaption(const std::string& text) = 0;
  // A disabled button looks so; what a press on it does is the wizard's business.
  virtual void SetEnabled(TWizardButton button, bool enabled) = 0;
  // The button's look while the mouse holds it down.
  virtual void ShowPressed(TWizardButton button, bool pressed) = 0;

  // Appends one line to the status log.
  virtual void AppendLog(const std::string& line) = 0;
  // Scrolls the status log to its last line.
  virtual void ScrollLogToEnd() = 0;

  // The overall bar counts package entries; the per-file bar shows a percentage.
  virtual void SetEntryCount(int count) = 0;
  virtual void StepEntries() = 0;
  virtual void SetFilePercent(int percent) = 0;

  // Message boxes owned by the window with the application title as caption.
  // Yes or No with a question icon, No being the default; true for Yes.
  virtual bool Ask(const std::string& question) = 0;
  // OK with a warning, an error or no icon.
  virtual void ShowWarning(const std::string& text) = 0;
  virtual void ShowError(const std::string& text) = 0;
  virtual void ShowMessage(const std::string& text) = 0;

  // Log-off and shut-down wait while blocked, showing the reason; the window still hears of a
  // session that ends anyway.
  virtual void BlockSessionEnd(const std::string& reason) = 0;
  virtual void AllowSessionEnd() = 0;

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
