#include "net/SafeFileName.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace kv {
namespace {

constexpr std::string_view kForbidden = "<>:\"/\\|?*";
constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
constexpr std::string_view kLastResort = "download";

bool IsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') {
    stem.pop_back();
  }
  std::transform(stem.begin(), stem.end(), stem.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end()) {
    return true;
  }
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// The safe form, or empty when nothing usable is left.
std::string Clean(const std::string& name) {
  std::string result = name.substr(name.find_last_of("/\\") + 1);
  for (char& c : result) {
    if (static_cast<unsigned char>(c) < 0x20 || kForbidden.find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  while (!result.empty() && (result.back() == '.' || result.back() == ' ')) {
    result.pop_back();
  }
  result.erase(0, result.find_first_not_of(' '));
  if (result.empty() || result == "." || result == "..") {
    return {};
  }
  return IsDeviceName(result) ? "_" + result : result;
}

}  // namespace

std::string SafeFileName(const std::string& name, const std::string& fallback) {
  std::string result = Clean(name);
  if (result.empty()) {
    result = Clean(fallback);
  }
  return result.empty() ? std::string(kLastResort) : result;
}

}  // namespace kv
