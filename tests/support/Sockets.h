#pragma once
// Blocking TCP sockets on the loopback interface, for the test servers: BSD sockets natively,
// Winsock in the Windows build.

#include <cstdint>
#include <string_view>

namespace kv::test {

using TSocket = intptr_t;
constexpr TSocket kNoSocket = -1;

// A socket listening on 127.0.0.1 on a port the system chose, which is returned in port.
TSocket ListenOnLoopback(uint16_t& port);
// The next connection; kNoSocket once the listener is closed.
TSocket AcceptConnection(TSocket listener);
// Bytes received; 0 or less when the peer closed or the socket was shut down.
int64_t ReceiveSome(TSocket socket, char* buffer, int64_t count);
// False when the peer is gone.
bool SendAll(TSocket socket, std::string_view bytes);
// Ends both directions, waking a thread blocked on the socket.
void ShutdownSocket(TSocket socket);
void CloseSocket(TSocket socket);

}  // namespace kv::test
