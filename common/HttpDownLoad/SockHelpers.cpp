#include "SockHelpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/EngineFun/Helper.h"

int Sock_InitSocketLib() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return -1;
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    WSACleanup();
    return -1;
  }
  return 0;
}

bool Sock_EnsureSocketLib() {
  // One ordered place for the process's Winsock start; never cleaned up, like
  // the system's own start that lasts for the life of the process.
  static const bool started = Sock_InitSocketLib() == 0;
  return started;
}

int Sock_SetSocketOptions(SOCKET s) {
  int on = 1;
  if (setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof(on)) != 0) return -1;
  int zero = 0;
  if (setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&zero), sizeof(zero)) != 0)
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "设置SO_SNDBUF失败");
  if (setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&zero), sizeof(zero)) != 0)
    EngineFunc::EngineFunc_ReportError(1, __FILE__, __LINE__, "设置SO_RCVBUF失败");
  return 0;
}

void Sock_CloseSocket(SOCKET s) { closesocket(s); }

int Sock_RecvWithTimeout(SOCKET s, char* buffer, int length, uint32_t timeoutMs, DWORD* waitResult) {
  WSAEVENT ev = WSACreateEvent();
  if (ev == WSA_INVALID_EVENT) return -1;
  for (;;) {
    WSAEventSelect(s, ev, FD_READ | FD_CLOSE);
    DWORD wait = WSAWaitForMultipleEvents(1, &ev, FALSE, timeoutMs, FALSE);
    if (wait != WSA_WAIT_EVENT_0) {
      WSAEventSelect(s, nullptr, 0);
      WSACloseEvent(ev);
      if (waitResult) *waitResult = wait;
      return -1;
    }
    WSANETWORKEVENTS events;
    std::memset(&events, 0, sizeof(events));
    WSAEnumNetworkEvents(s, ev, &events);
    if (events.lNetworkEvents == FD_CLOSE ||
        (events.lNetworkEvents == FD_READ && events.iErrorCode[FD_READ_BIT] != 0)) {
      WSAEventSelect(s, nullptr, 0);
      WSACloseEvent(ev);
      return -1;
    }
    WSAEventSelect(s, nullptr, 0);
    int n = recv(s, buffer, length, 0);
    if (n >= 0) {
      WSACloseEvent(ev);
      return n;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      WSACloseEvent(ev);
      return -1;
    }
    Sleep(100);
  }
}

int Sock_SendWithTimeout(SOCKET s, const char* buffer, int length, uint32_t timeoutMs) {
  WSAEVENT ev = WSACreateEvent();
  if (ev == WSA_INVALID_EVENT) return -1;
  for (;;) {
    int n = send(s, buffer, length, 0);
    if (n >= 0) {
      WSACloseEvent(ev);
      return n;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) break;
    Sleep(100);
    WSAEventSelect(s, ev, FD_WRITE | FD_CLOSE);
    if (WSAWaitForMultipleEvents(1, &ev, FALSE, timeoutMs, FALSE) != WSA_WAIT_EVENT_0) break;
    WSANETWORKEVENTS events;
    std::memset(&events, 0, sizeof(events));
    if (WSAEnumNetworkEvents(s, ev, &events) != 0) break;
    if (events.lNetworkEvents == FD_CLOSE) break;
    if ((events.lNetworkEvents & FD_WRITE) && events.iErrorCode[FD_WRITE_BIT] != 0) break;
    WSAEventSelect(s, nullptr, 0);
  }
  WSAEventSelect(s, nullptr, 0);
  WSACloseEvent(ev);
  return -1;
}

int Sock_ConnectWithTimeout(SOCKET s, const sockaddr_in* address, uint32_t timeoutMs) {
  WSAEVENT ev = WSACreateEvent();
  if (ev == WSA_INVALID_EVENT) return -1;
  if (WSAEventSelect(s, ev, FD_CONNECT) != 0) {
    WSACloseEvent(ev);
    return -1;
  }
  int result = connect(s, reinterpret_cast<const sockaddr*>(address), sizeof(sockaddr_in));
  if (result != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
    result = -1;
    if (WSAWaitForMultipleEvents(1, &ev, FALSE, timeoutMs, FALSE) == WSA_WAIT_EVENT_0) {
      WSANETWORKEVENTS events;
      std::memset(&events, 0, sizeof(events));
      if (WSAEnumNetworkEvents(s, ev, &events) == 0 && (events.lNetworkEvents & FD_CONNECT) &&
          events.iErrorCode[FD_CONNECT_BIT] == 0)
        result = 0;
    }
  } else if (result != 0) {
    result = -1;
  }
  WSAEventSelect(s, nullptr, 0);
  WSACloseEvent(ev);
  return result;
}

bool Sock_ResolveName(uint16_t port, const char* host, sockaddr_in* address) {
  char portText[16];
  EngineFunc::EngineFunc_Sprintf(portText, sizeof(portText), "%u", static_cast<unsigned>(port));
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (host == nullptr || getaddrinfo(host, portText, &hints, &list) != 0 || list == nullptr) {
    printf("getaddrinfo() failed.\n");
    return false;
  }
  std::memset(address, 0, sizeof(*address));
  std::memcpy(address, list->ai_addr, sizeof(*address) < list->ai_addrlen ? sizeof(*address) : list->ai_addrlen);
  freeaddrinfo(list);
  return true;
}

int Sock_ConnectByName(uint16_t port, const char* host, SOCKET s, uint32_t timeoutMs, sockaddr_in* addressOut) {
  sockaddr_in address;
  if (!Sock_ResolveName(port, host, &address)) return -1;
  if (addressOut) *addressOut = address;
  return Sock_ConnectWithTimeout(s, &address, timeoutMs);
}

Sock_RecvRing* Sock_CreateRecvRing(SOCKET s) {
  if (s == INVALID_SOCKET) return nullptr;
  Sock_RecvRing* ring = static_cast<Sock_RecvRing*>(std::calloc(1, sizeof(Sock_RecvRing)));
  if (ring == nullptr) return nullptr;
  ring->data = static_cast<char*>(std::calloc(1, kSockRingSize));
  if (ring->data == nullptr) {
    std::free(ring);
    return nullptr;
  }
  ring->socket = s;
  ring->size = kSockRingSize;
  return ring;
}

void Sock_FreeRecvRing(Sock_RecvRing* ring) {
  if (ring == nullptr) return;
  std::free(ring->data);
  std::free(ring);
}

int Sock_FillRecvRing(Sock_RecvRing* ring, uint32_t timeoutMs, DWORD* waitResult) {
  uint32_t space = ring->size - ring->held;
  if (space == 0) return 0;
  // An empty ring starts over at 0, so a body block is one receive and one copy.
  if (ring->held == 0) ring->readPos = ring->writePos = 0;
  // Straight into the free run after the write position; free space that
  // wraps is filled by the next call.
  uint32_t run = ring->size - ring->writePos;
  if (run > space) run = space;
  int n = Sock_RecvWithTimeout(ring->socket, ring->data + ring->writePos, static_cast<int>(run), timeoutMs, waitResult);
  if (n > 0) {
    ring->writePos = (ring->writePos + static_cast<uint32_t>(n)) % ring->size;
    ring->held += static_cast<uint32_t>(n);
  }
  return n;
}

int Sock_ReadLine(Sock_RecvRing* ring, char* dest, int* lineState, uint32_t timeoutMs) {
  *lineState = 1;
  int stored = 0;
  for (;;) {
    if (ring->held == 0 && Sock_FillRecvRing(ring, timeoutMs) <= 0) {
      dest[stored] = '\0';
      *lineState = -1;
      return -1;
    }
    char c = ring->data[ring->readPos];
    if (++ring->readPos == ring->size) ring->readPos = 0;
    --ring->held;
    if (c == '\n') {
      if (stored > 0 && dest[stored - 1] == '\r') --stored;
      dest[stored] = '\0';
      *lineState = 0;
      return 0;
    }
    dest[stored++] = c;
    if (stored == kSockLineMax - 1) {
      dest[stored] = '\0';
      return 0;
    }
  }
}

int Sock_ReadBlock(DWORD* waitResult, Sock_RecvRing* ring, uint32_t timeoutMs, char* dest) {
  if (ring->held == 0 && Sock_FillRecvRing(ring, timeoutMs, waitResult) <= 0) return 0;
  uint32_t count = ring->held;
  uint32_t first = ring->size - ring->readPos;
  if (first > count) first = count;
  std::memcpy(dest, ring->data + ring->readPos, first);
  std::memcpy(dest + first, ring->data, count - first);
  ring->readPos = (ring->readPos + count) % ring->size;
  ring->held = 0;
  return static_cast<int>(count);
}
