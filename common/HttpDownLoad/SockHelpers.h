// Winsock helpers of the HTTP client: every wait goes through an event bound
// with WSAEventSelect and is bounded by a time-out; plus the 64 KiB receive
// ring that header lines and body blocks are read from.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>

struct Sock_RecvRing {
  SOCKET socket;
  char* data;
  uint32_t size;
  uint32_t held;
  uint32_t readPos;
  uint32_t writePos;
};

const uint32_t kSockRingSize = 65536;
const int kSockLineMax = 1024;   // destination size of Sock_ReadLine
const DWORD kSockWaitTimeout = WAIT_TIMEOUT;  // 258

int Sock_InitSocketLib();
// Winsock started once for the process, on first use; false when it failed.
bool Sock_EnsureSocketLib();
int Sock_SetSocketOptions(SOCKET s);
void Sock_CloseSocket(SOCKET s);
int Sock_RecvWithTimeout(SOCKET s, char* buffer, int length, uint32_t timeoutMs, DWORD* waitResult = nullptr);
int Sock_SendWithTimeout(SOCKET s, const char* buffer, int length, uint32_t timeoutMs);
int Sock_ConnectWithTimeout(SOCKET s, const sockaddr_in* address, uint32_t timeoutMs);
// Resolves an IPv4 address; prints "getaddrinfo() failed." when it cannot.
bool Sock_ResolveName(uint16_t port, const char* host, sockaddr_in* address);
int Sock_ConnectByName(uint16_t port, const char* host, SOCKET s, uint32_t timeoutMs, sockaddr_in* addressOut = nullptr);

Sock_RecvRing* Sock_CreateRecvRing(SOCKET s);
void Sock_FreeRecvRing(Sock_RecvRing* ring);
int Sock_FillRecvRing(Sock_RecvRing* ring, uint32_t timeoutMs, DWORD* waitResult = nullptr);
// lineState: 0 line complete, 1 cut after 1023 bytes, -1 no more data.
int Sock_ReadLine(Sock_RecvRing* ring, char* dest, int* lineState, uint32_t timeoutMs);
// dest holds at least 65536 bytes; returns the bytes copied, 0 for none.
int Sock_ReadBlock(DWORD* waitResult, Sock_RecvRing* ring, uint32_t timeoutMs, char* dest);
