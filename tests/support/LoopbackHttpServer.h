#pragma once
// A scripted HTTP/1.1 server on 127.0.0.1 and a port the system chose, so that tests run in
// parallel: each request read is recorded and handed to the test's handler, whose raw bytes go
// back as they are (a test can thus send a cut-short or malformed answer).

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/Sockets.h"

namespace kv::test {

struct TRecordedRequest {
  std::string Method;
  // As sent: a path with its query, or an absolute address when sent to a proxy.
  std::string Target;
  // The header lines as sent, without the request line, in order.
  std::vector<std::string> HeaderLines;
  std::string Body;

  // The value of the first header of that name (letter case ignored); empty when absent.
  std::string Header(const std::string& name) const;
  // How many headers of that name were sent.
  int HeaderCount(const std::string& name) const;
};

// An answer: the status line, the headers given, Content-Length of the body, and the body.
std::string HttpResponse(int status, const std::string& reason, const std::string& body,
                         const std::vector<std::string>& headers = {});

class TLoopbackHttpServer {
 public:
  // The raw bytes to answer a request with. The connection closes after each answer.
  using THandler = std::function<std::string(const TRecordedRequest&)>;

  explicit TLoopbackHttpServer(THandler handler);
  ~TLoopbackHttpServer();
  TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
  TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

  uint16_t Port() const { return FPort; }
  // "http://127.0.0.1:port" followed by the path.
  std::string Url(const std::string& path) const;
  std::vector<TRecordedRequest> Requests() const;

 private:
  void AcceptLoop();
  void Serve(TSocket connection);

  THandler FHandler;
  uint16_t FPort = 0;
  TSocket FListener = kNoSocket;
  mutable std::mutex FMutex;
  std::vector<TRecordedRequest> FRequests;
  std::vector<TSocket> FConnections;
  std::vector<std::thread> FWorkers;
  std::thread FAcceptor;
};

}  // namespace kv::test
