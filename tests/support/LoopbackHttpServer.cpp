#include "support/LoopbackHttpServer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kv::test {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(" \t"));
  text.erase(text.find_last_not_of(" \t\r") + 1);
  return text;
}

// Reads one request; false when the peer closed before a whole one arrived.
bool ReadRequest(TSocket connection, std::string& pending, TRecordedRequest& request) {
  char buffer[16384];
  size_t headerEnd;
  while ((headerEnd = pending.find("\r\n\r\n")) == std::string::npos) {
    const int64_t n = ReceiveSome(connection, buffer, sizeof(buffer));
    if (n <= 0) {
      return false;
    }
    pending.append(buffer, static_cast<size_t>(n));
  }
  const std::string head = pending.substr(0, headerEnd);
  pending.erase(0, headerEnd + 4);

  size_t lineEnd = head.find("\r\n");
  const std::string requestLine = head.substr(0, lineEnd);
  const size_t firstSpace = requestLine.find(' ');
  const size_t secondSpace = requestLine.find(' ', firstSpace + 1);
  request.Method = requestLine.substr(0, firstSpace);
  request.Target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  while (lineEnd != std::string::npos) {
    const size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    request.HeaderLines.push_back(head.substr(start, lineEnd - start));
  }

  const size_t length = std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10);
  while (pending.size() < length) {
    const int64_t n = ReceiveSome(connection, buffer, sizeof(buffer));
    if (n <= 0) {
      return false;
    }
    pending.append(buffer, static_cast<size_t>(n));
  }
  request.Body = pending.substr(0, length);
  pending.erase(0, length);
  return true;
}

}  // namespace

std::string TRecordedRequest::Header(const std::string& name) const {
  for (const std::string& line : HeaderLines) {
    const size_t colon = line.find(':');
    if (colon != std::string::npos && SameName(line.substr(0, colon), name)) {
      return Trimmed(line.substr(colon + 1));
    }
  }
  return {};
}

int TRecordedRequest::HeaderCount(const std::string& name) const {
  return static_cast<int>(std::count_if(
      HeaderLines.begin(), HeaderLines.end(),
      [&](const auto& line) { return SameName(line.substr(0, line.find(':')), name); }));
}

std::string HttpResponse(int status, const std::string& reason, const std::string& body,
                         const std::vector<std::string>& headers) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  for (const std::string& header : headers) {
    response += header + "\r\n";
  }
  response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  response += "Connection: close\r\n\r\n";
  return response + body;
}

TLoopbackHttpServer::TLoopbackHttpServer(THandler handler)
    : FHandler(std::move(handler)), FListener(ListenOnLoopback(FPort)) {
  FAcceptor = std::thread([this] { AcceptLoop(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer() {
  ShutdownSocket(FListener);
  CloseSocket(FListener);
  FAcceptor.join();
  {
    std::lock_guard lock(FMutex);
    for (TSocket connection : FConnections) {
      ShutdownSocket(connection);
    }
  }
  for (std::thread& worker : FWorkers) {
    worker.join();
  }
}

std::string TLoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<TRecordedRequest> TLoopbackHttpServer::Requests() const {
  std::lock_guard lock(FMutex);
  return FRequests;
}

void TLoopbackHttpServer::AcceptLoop() {
  for (;;) {
    const TSocket connection = AcceptConnection(FListener);
    if (connection == kNoSocket) {
      return;
    }
    std::lock_guard lock(FMutex);
    FConnections.push_back(connection);
    FWorkers.emplace_back([this, connection] { Serve(connection); });
  }
}

void TLoopbackHttpServer::Serve(TSocket connection) {
  std::string pending;
  TRecordedRequest request;
  if (ReadRequest(connection, pending, request)) {
    {
      std::lock_guard lock(FMutex);
      FRequests.push_back(request);
    }
    SendAll(connection, FHandler(request));
  }
  ShutdownSocket(connection);
  // The socket is closed only here, so that the destructor never shuts down a reused number.
  std::lock_guard lock(FMutex);
  FConnections.erase(std::find(FConnections.begin(), FConnections.end(), connection));
  CloseSocket(connection);
}

}  // namespace kv::test
