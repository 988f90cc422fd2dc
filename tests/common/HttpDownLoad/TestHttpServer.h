// A scripted HTTP server on 127.0.0.1 for the downloader tests: each request
// is logged byte for byte and answered by a list of steps (send, stall,
// close, reset, keep the connection). Every stall ends when the server stops.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testhttp {

struct Step {
  enum Kind { Send, Stall, Close, Reset, Keep } kind;
  std::string bytes;
  int ms;
};
typedef std::vector<Step> Script;
// Request text and its 0-based number over the server's life.
typedef std::function<Script(const std::string& request, int index)> Handler;

Step Send(const std::string& bytes);
Step Stall(int ms);
Step Reset();
Step Keep();
// "HTTP/1.1 <status>\r\n" + headers (each ending "\r\n") + "\r\n" + body.
std::string Reply(const std::string& status, const std::string& headers, const std::string& body);
// 200 with Content-Length.
std::string Ok(const std::string& body);
// Bytes 0..n-1 of a fixed pattern.
std::string Pattern(size_t n);

// 127.0.0.1 and `port`.
sockaddr_in LoopbackAddress(uint16_t port);
// A socket listening on a free loopback port, stored in `port`.
SOCKET ListenLoopback(int backlog, uint16_t& port);

class Server {
 public:
  explicit Server(Handler handler, int backlog = 16, bool accept = true);
  ~Server();
  uint16_t Port() const { return m_port; }
  std::string Url(const std::string& path) const;
  std::vector<std::string> Requests();
  int RequestCount();
  int Connections() const { return m_connections; }
  // For a server made with accept = false: connects until the backlog is
  // full, so that the next connect gets no answer. False when it never fills.
  bool FillBacklog();

 private:
  void AcceptLoop();
  void Serve(SOCKET s);
  bool ReadRequest(SOCKET s, std::string& request);

  Handler m_handler;
  SOCKET m_listen;
  uint16_t m_port;
  std::atomic<bool> m_stop;
  std::atomic<int> m_connections;
  std::mutex m_lock;
  std::vector<std::string> m_requests;
  std::vector<std::thread> m_threads;
  std::vector<SOCKET> m_fillers;
  std::thread m_acceptor;
};

}  // namespace testhttp
