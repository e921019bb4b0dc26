#pragma once
// Putting a finished file in place of another: the last step of a download that must not destroy
// the old file before the new one is whole.

#include <string>

namespace kv::platform {

// Renames source to target, replacing a target file, in one step on the same volume. Raises
// EOSError naming the target when it cannot; source is then left as it was.
void MoveFileOver(const std::string& source, const std::string& target);

}  // namespace kv::platform
