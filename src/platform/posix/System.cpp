#include "platform/System.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/OSError.h"
#include "platform/posix/Posix.h"

namespace kv::platform {

uint32_t LastErrorCode() {
  return static_cast<uint32_t>(errno);
}

std::string SystemErrorMessage(uint32_t code) {
  return std::strerror(static_cast<int>(code));
}

std::string ResultCodeMessage(int32_t result) {
  return "Error " + std::to_string(static_cast<uint32_t>(result));
}

// A version 4 GUID from the system's random source.
int32_t CreateGuid(TGUID& guid) {
  std::random_device random;
  std::array<uint8_t, 16> bytes{};
  for (auto& b : bytes) {
    b = static_cast<uint8_t>(random());
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  guid.D1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
            static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.D2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.D3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  std::copy(bytes.begin() + 8, bytes.end(), guid.D4.begin());
  return 0;
}

std::vector<std::string> CommandLineArgs() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> args;
  std::string arg;
  while (std::getline(in, arg, '\0')) {
    args.push_back(arg);
  }
  if (!args.empty()) {
    args.erase(args.begin());
  }
  return args;
}

TDateTime posix::ToLocalDateTime(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return EncodeDateTime(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                        static_cast<unsigned>(local.tm_mday), local.tm_hour, local.tm_min,
                        local.tm_sec);
}
std::string ProgramFileName() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    throw OSError(static_cast<uint32_t>(error.value()));
  }
  return path.string();
}

TDateTime Now() {
  return posix::ToLocalDateTime(std::time(nullptr));
}

}  // namespace kv::platform
