#pragma once
// Helpers shared by the Linux backend's files.

#include <sys/types.h>

#include <ctime>
#include <string>

#include "platform/System.h"

namespace kv::platform::posix {

// The library's paths use Windows backslashes; here they are the Linux separator.
std::string Native(std::string path);

// A time as an OLE Automation date in local time.
TDateTime ToLocalDateTime(std::time_t time);

// Linux has no share modes. Windows refuses to move or replace a file that is open without
// delete sharing, which no file of ours allows; the shell's move stand-in asks this to do the
// same for the files this process holds open.
bool IsOpenInProcess(const std::string& nativePath);

// Marks one descriptor's file as open in this process for the mark's lifetime.
class TOpenFileMark {
 public:
  explicit TOpenFileMark(int fd);
  ~TOpenFileMark();
  TOpenFileMark(const TOpenFileMark&) = delete;
  TOpenFileMark& operator=(const TOpenFileMark&) = delete;

 private:
  dev_t FDevice = 0;
  ino_t FInode = 0;
};

}  // namespace kv::platform::posix
