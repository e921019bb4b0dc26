#pragma once
// Bytes copied from one open file to another, in the system where it can.

#include <cstdint>

#include "platform/Files.h"

namespace kv::platform {

// Where a copy between two files failed: the system's error code, and whether reading the source
// (rather than writing the target) failed.
struct TCopyError {
  uint32_t Code = 0;
  bool Reading = false;
};

// Copies count bytes from source's position to target's, moving both on: inside the system where
// it can, so that the bytes need not pass through the process. False when it fails (a source
// that ends early fails in reading), with error set; the bytes before the failure may have been
// copied.
bool CopyFileBytes(IFileHandle& source, IFileHandle& target, int64_t count, TCopyError& error);

// The same through a buffer of this thread's, for the backends: a source that ends early fails
// with sourceEndedCode, the system's code for it.
bool CopyThroughBuffer(IFileHandle& source, IFileHandle& target, int64_t count,
                       uint32_t sourceEndedCode, TCopyError& error);

}  // namespace kv::platform
