#include "support/Sockets.h"

#include <winsock2.h>

#include <mutex>
#include <stdexcept>

namespace kv::test {
namespace {

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      throw std::runtime_error("WSAStartup failed");
    }
  });
}

SOCKET Handle(TSocket socket) {
  return static_cast<SOCKET>(socket);
}

}  // namespace

TSocket ListenOnLoopback(uint16_t& port) {
  StartWinsock();
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (s == INVALID_SOCKET ||
      ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  port = ntohs(address.sin_port);
  return static_cast<TSocket>(s);
}

TSocket AcceptConnection(TSocket listener) {
  const SOCKET s = ::accept(Handle(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<TSocket>(s);
}

int64_t ReceiveSome(TSocket socket, char* buffer, int64_t count) {
  return ::recv(Handle(socket), buffer, static_cast<int>(count), 0);
}

bool SendAll(TSocket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = ::send(Handle(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void ShutdownSocket(TSocket socket) {
  ::shutdown(Handle(socket), SD_BOTH);
}

void CloseSocket(TSocket socket) {
  ::closesocket(Handle(socket));
}

}  // namespace kv::test
