#pragma once
// The run's log file: each line with the local time in front, appended to what earlier runs
// wrote, and handed to the system as soon as it is written, so that it outlives a killed program.

#include <memory>
#include <string>

#include "base/DateTime.h"
#include "platform/Files.h"

namespace kv::app {

// "yyyy-mm-dd hh:nn:ss.zzz".
std::string LogTimeStamp(TDateTime time);

class TRunLog {
 public:
  // Opens or creates the file; a file without content starts with the UTF-8 byte-order mark.
  // Raises EOSError when the file cannot be opened for writing.
  explicit TRunLog(const std::string& path);

  // One line per line of text, each with the current time stamp; raises EOSError when the
  // system refuses the bytes.
  void Write(const std::string& text);

 private:
  std::unique_ptr<platform::IFileHandle> FFile;
};

}  // namespace kv::app
