// The shortcut page: desktop shortcuts for the checked entries, then the tree reshaped into the
// data-source page's folders.
#include "app/dlgEasySetup.h"

namespace kv::app {

void TfrmEasySetup::MakeLinksAndPruneTree() {}

void TfrmEasySetup::CreateDesktopLink(const std::string&, const std::string&) {}

}  // namespace kv::app
