#pragma once
// What the update benchmark asks of the machine besides the library: the system's own tree copy
// to compare with, the process's peak memory, and its open handles.

#include <cstdint>
#include <string>

namespace kv::bench {

// Prepares the thread as the wizard's program does (on Windows, COM for the thread's lifetime).
void InitializeAsTheWizard();
// Copies the content of source into target (both folders, target may exist) with the system's
// own tool: "cp -r" on Linux, "xcopy" on Windows. Raises when the tool fails.
void CopyTree(const std::string& source, const std::string& target);
const char* CopyToolName();
// Writes the dirty file pages below folder out (natively, of the whole system), so that one run's
// writes do not slow the next.
void FlushFileSystem(const std::string& folder);
// The resident memory now, and its peak since the last reset (where the system cannot reset it,
// since the process began); 0 when the system does not say.
uint64_t ResidentMemoryBytes();
void ResetPeakMemory();
uint64_t PeakMemoryBytes();
// The process's open handles as the system counts them, for a before-and-after look.
std::string ResourceCounts();

}  // namespace kv::bench
