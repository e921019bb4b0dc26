#include "platform/System.h"

#include "base/Format.h"
#include "platform/win32/Handles.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>

namespace kv::platform {
namespace {

// The system's message table text for a code; empty when it has none.
std::string FormatSystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const win32::unique_hlocal_ptr<wchar_t> owner(buffer);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  return win32::Narrow(text);
}

}  // namespace

uint32_t LastErrorCode() {
  return GetLastError();
}

std::string SystemErrorMessage(uint32_t code) {
  const std::string message = FormatSystemMessage(code);
  return message.empty() ? Format("Unknown error %u", code) : message;
}

std::string ResultCodeMessage(int32_t result) {
  const std::string message = FormatSystemMessage(static_cast<DWORD>(result));
  return message.empty() ? Format("Error %u", static_cast<uint32_t>(result)) : message;
}

int32_t CreateGuid(TGUID& guid) {
  GUID created{};
  const HRESULT result = CoCreateGuid(&created);
  if (FAILED(result)) {
    return result;
  }
  guid.D1 = created.Data1;
  guid.D2 = created.Data2;
  guid.D3 = created.Data3;
  std::copy(std::begin(created.Data4), std::end(created.Data4), guid.D4.begin());
  return 0;
}

std::vector<std::string> CommandLineArgs() {
  int count = 0;
  const win32::unique_hlocal_ptr<wchar_t*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) {
    win32::RaiseOSError(GetLastError());
  }
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    args.push_back(win32::Narrow(argv.get()[i]));
  }
  return args;
}

std::string ProgramFileName() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) {
      win32::RaiseOSError(GetLastError());
    }
    // A full buffer may have cut the name short.
    if (length < size) {
      buffer.resize(length);
      return win32::Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

TDateTime Now() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return win32::ToDateTime(local);
}

}  // namespace kv::platform
