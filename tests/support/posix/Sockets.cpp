#include "support/Sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace kv::test {

TSocket ListenOnLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  port = ntohs(address.sin_port);
  return fd;
}

TSocket AcceptConnection(TSocket listener) {
  for (;;) {
    const int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0 || errno != EINTR) {
      return fd >= 0 ? fd : kNoSocket;
    }
  }
}

int64_t ReceiveSome(TSocket socket, char* buffer, int64_t count) {
  return ::recv(static_cast<int>(socket), buffer, static_cast<size_t>(count), 0);
}

bool SendAll(TSocket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(static_cast<int>(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void ShutdownSocket(TSocket socket) {
  ::shutdown(static_cast<int>(socket), SHUT_RDWR);
}

void CloseSocket(TSocket socket) {
  ::close(static_cast<int>(socket));
}

}  // namespace kv::test
