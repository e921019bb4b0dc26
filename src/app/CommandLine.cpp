#include "app/CommandLine.h"

#include <algorithm>

#include "base/Rtti.h"

namespace kv::app {

KV_DEFINE_CLASS(EBadArguments, "EBadArguments", Exception)

namespace {

const char* const kUsage =
    "Ключи: /silent, /progress, /check, /log:ФАЙЛ, /result:ФАЙЛ (также с \"-\" вместо \"/\").";

[[noreturn]] void Refuse(const std::string& reason) {
  throw EBadArguments(reason + "\r\n" + kUsage);
}

std::string AsciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return text;
}

void SetOnce(bool& seen, const std::string& arg) {
  if (seen)
    Refuse("Ключ указан дважды: " + arg);
  seen = true;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine result;
  bool silent = false, progress = false, check = false, log = false, resultFile = false;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
      Refuse("Неизвестный аргумент: " + arg);
    const size_t colon = arg.find(':');
    const std::string name =
        AsciiLower(arg.substr(1, colon == std::string::npos ? colon : colon - 1));
    const bool hasValue = colon != std::string::npos;
    const std::string value = hasValue ? arg.substr(colon + 1) : std::string();
    if (name == "log" || name == "result") {
      if (value.empty())
        Refuse("После ключа не указан файл: " + arg);
      SetOnce(name == "log" ? log : resultFile, arg);
      (name == "log" ? result.LogFile : result.ResultFile) = value;
      continue;
    }
    if (hasValue)
      Refuse("Ключ не принимает значения: " + arg);
    if (name == "silent") {
      SetOnce(silent, arg);
    } else if (name == "progress") {
      SetOnce(progress, arg);
    } else if (name == "check") {
      SetOnce(check, arg);
    } else {
      Refuse("Неизвестный ключ: " + arg);
    }
  }
  if (silent && progress)
    Refuse("Ключи /silent и /progress несовместимы.");
  result.Mode = silent ? TRunMode::Silent : progress ? TRunMode::Progress : TRunMode::Window;
  result.Check = check;
  return result;
}

}  // namespace kv::app
