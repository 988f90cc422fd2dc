// Shared pieces of the network library's tests: descriptors with small
// blocks, packets with a type and a pattern, and bytes fed into buffers.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "NewNetwork/Buffer/RecvBufferEX.h"
#include "NewNetwork/NetDesc.h"
#include "NewNetwork/Session/NetworkObject.h"

namespace nettest {

const uint16_t kPingType = 0x0805;

// Handler 0 with 128-byte blocks; limits and scrambling as given.
IOHANDLER_DESC SmallDesc(uint32_t sendListMax = 0, uint32_t recvListMax = 0, bool scramble = false);
// Sets up handler 0's pools with 128-byte blocks.
void InitSmallPools();

// A message of `size` bytes: the size, flag 0, type at offset 7, a pattern.
std::string Packet(uint32_t size, uint16_t type = kPingType, uint32_t seed = 0);
std::string Scrambled(std::string bytes);

// Receives `bytes` the way the I/O worker does, at most `chunk` at a time.
bool Receive(RecvBufferEX& buffer, const std::string& bytes, int chunk = 1 << 30);

struct NullObject : NetworkObject {
  void OnRecv(char*, uint32_t) override {}
};

// The loopback peer's port for a behaviour (tests/fixtures/netpeer.py); 0
// when the peer is not running.
uint16_t PeerPort(const std::string& behaviour);

// Calls update() every millisecond until done() or ms have passed.
template <typename Update, typename Done>
bool UpdateUntil(Update update, Done done, unsigned ms) {
  const unsigned long start = GetTickCount();
  for (;;) {
    update();
    if (done()) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(1);
  }
}

}  // namespace nettest
