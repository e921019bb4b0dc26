#include "app/RunLog.h"

#include <cstdio>

#include "platform/System.h"

namespace kv::app {

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

}  // namespace

std::string LogTimeStamp(TDateTime time) {
  const TDateTimeParts parts = DecodeDateTime(time);
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02u-%02u %02d:%02d:%02d.%03d", parts.Year, parts.Month,
                parts.Day, parts.Hour, parts.Minute, parts.Second, parts.Millisecond);
  return text;
}

TRunLog::TRunLog(const std::string& path)
    : FFile(platform::OpenFile(path, platform::TFileOpenMode::OpenOrCreate,
                               platform::TFileShare::DenyWrite)) {
  if (FFile->Seek(0, platform::TSeekOrigin::End) == 0) {
    FFile->Write(kUtf8Bom, sizeof(kUtf8Bom) - 1);
  }
}

void TRunLog::Write(const std::string& text) {
  const std::string stamp = LogTimeStamp(platform::Now()) + "  ";
  std::string lines;
  size_t start = 0;
  // A message of several lines stays readable, each line stamped; "\r\n", "\n" and "\r" all
  // end a line.
  while (true) {
    const size_t end = text.find_first_of("\r\n", start);
    lines += stamp + text.substr(start, end == std::string::npos ? end : end - start) + "\r\n";
    if (end == std::string::npos) {
      break;
    }
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (start == text.size()) {
      break;
    }
  }
  // One write per call, so that a kill between calls leaves no half line behind.
  FFile->Write(lines.data(), static_cast<int64_t>(lines.size()));
}

}  // namespace kv::app
