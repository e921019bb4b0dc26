// The data-source page and the merge of file extensions into the client's common settings.
#include "app/dlgEasySetup.h"

namespace kv::app {

void TfrmEasySetup::RegisterConnections() {}

void TfrmEasySetup::MergeExternalFileExts() {}

}  // namespace kv::app
