// The program's end of a connection. The library calls the virtual
// operations on the thread that runs IOCPServer::Update; Send may be called
// from any thread.
#pragma once
#include <atomic>
#include <cstdint>

class Session;

// Decompressed packets go to this region of the calling thread's buffer.
const unsigned kDecompressAreaOffset = 0x1fffc;
const unsigned kDecompressAreaSize = 0x1fffc;

class NetworkObject {
 public:
  NetworkObject() : m_pSession(nullptr) {}
  virtual ~NetworkObject() {}
  NetworkObject(const NetworkObject&) = delete;
  NetworkObject& operator=(const NetworkObject&) = delete;

  // One complete packet.
  virtual void OnRecv(char* packet, uint32_t size) = 0;
  virtual void OnAccept(uint32_t sessionId) { (void)sessionId; }
  // Before the connection is shut down.
  virtual void OnDisconnect() {}
  // Connected and ready (true), or the connection failed (false).
  virtual void OnConnect(bool success, uint32_t sessionId) {
    (void)success;
    (void)sessionId;
  }
  // The session's diagnostic texts.
  virtual void OnLog(const char* text) { (void)text; }
  virtual uint32_t GetMaxPacketSize() { return 0xFFFF; }

  // Queues one packet (its header's size says how long). False when the
  // object has no open session, the packet is refused, or the session's
  // send buffer could not take it.
  bool Send(void* packet);
  // The packet itself when plain, the expanded copy in `out` when its flag
  // marks it compressed; null when it is damaged or longer than received.
  char* DecompressPacket(char* out, char* packet, uint32_t received);

  // Linked and unlinked by the library only.
  Session* GetSession() const { return m_pSession.load(); }
  void SetSession(Session* session) { m_pSession.store(session); }

 private:
  std::atomic<Session*> m_pSession;
};
