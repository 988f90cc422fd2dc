#include "TestHttpServer.h"

#include <ws2tcpip.h>

#include <chrono>

#include "common/HttpDownLoad/SockHelpers.h"

namespace testhttp {

Step Send(const std::string& bytes) { return Step{Step::Send, bytes, 0}; }
Step Stall(int ms) { return Step{Step::Stall, std::string(), ms}; }
Step Reset() { return Step{Step::Reset, std::string(), 0}; }
Step Keep() { return Step{Step::Keep, std::string(), 0}; }

std::string Reply(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}

std::string Ok(const std::string& body) {
  return Reply("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return s;
}

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

SOCKET ListenLoopback(int backlog, uint16_t& port) {
  Sock_EnsureSocketLib();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = LoopbackAddress(0);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  listen(s, backlog);
  int len = sizeof(a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return s;
}

Server::Server(Handler handler, int backlog, bool accept)
    : m_handler(std::move(handler)), m_listen(INVALID_SOCKET), m_port(0), m_stop(false), m_connections(0) {
  m_listen = ListenLoopback(backlog, m_port);
  if (accept) m_acceptor = std::thread([this] { AcceptLoop(); });
}

Server::~Server() {
  m_stop = true;
  if (m_acceptor.joinable()) m_acceptor.join();
  for (SOCKET s : m_fillers) closesocket(s);
  closesocket(m_listen);
  for (std::thread& t : m_threads) t.join();
}

bool Server::FillBacklog() {
  sockaddr_in a = LoopbackAddress(m_port);
  for (int i = 0; i < 16; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_fillers.push_back(s);
    if (Sock_ConnectWithTimeout(s, &a, 300) != 0) return true;
  }
  return false;
}

std::string Server::Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

std::vector<std::string> Server::Requests() {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_requests;
}

int Server::RequestCount() { return static_cast<int>(Requests().size()); }

void Server::AcceptLoop() {
  while (!m_stop) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(m_listen, &set);
    timeval tv = {0, 20000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    SOCKET s = accept(m_listen, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    ++m_connections;
    std::lock_guard<std::mutex> hold(m_lock);
    m_threads.emplace_back([this, s] { Serve(s); });
  }
}

bool Server::ReadRequest(SOCKET s, std::string& request) {
  request.clear();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!m_stop && std::chrono::steady_clock::now() < until) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {0, 20000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    // What came is looked at first and taken only up to the header's end: a
    // kept connection's next request stays for the next call. A byte at a
    // time would take seconds of a loaded machine, racing the client's
    // time-out.
    char buffer[4096];
    const int seen = recv(s, buffer, sizeof(buffer), MSG_PEEK);
    if (seen <= 0) return false;
    const size_t from = request.size() < 3 ? 0 : request.size() - 3;
    const size_t end = (request + std::string(buffer, seen)).find("\r\n\r\n", from);
    const int take = end == std::string::npos ? seen : static_cast<int>(end + 4 - request.size());
    if (recv(s, buffer, take, 0) != take) return false;
    request.append(buffer, take);
    if (end != std::string::npos) return true;
  }
  return false;
}

void Server::Serve(SOCKET s) {
  std::string request;
  bool reset = false;
  while (ReadRequest(s, request)) {
    int index;
    {
      std::lock_guard<std::mutex> hold(m_lock);
      index = static_cast<int>(m_requests.size());
      m_requests.push_back(request);
    }
    bool keep = false;
    for (const Step& step : m_handler(request, index)) {
      if (step.kind == Step::Send) {
        for (size_t sent = 0; sent < step.bytes.size();) {
          int n = send(s, step.bytes.data() + sent, static_cast<int>(step.bytes.size() - sent), 0);
          if (n <= 0) break;
          sent += static_cast<size_t>(n);
        }
      } else if (step.kind == Step::Stall) {
        for (int waited = 0; waited < step.ms && !m_stop; waited += 10) Sleep(10);
      } else if (step.kind == Step::Reset) {
        reset = true;
        break;
      } else if (step.kind == Step::Keep) {
        keep = true;
      } else {
        break;
      }
    }
    if (!keep || reset) break;
  }
  if (reset) {
    linger l = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof(l));
  } else {
    shutdown(s, SD_SEND);
  }
  closesocket(s);
}

}  // namespace testhttp
