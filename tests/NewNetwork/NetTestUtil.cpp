#include "NetTestUtil.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "NewNetwork/Buffer/CommonBufferMgr.h"
#include "NewNetwork/Packet/PacketHeader.h"
#include "support/TestSupport.h"

namespace nettest {

IOHANDLER_DESC SmallDesc(uint32_t sendListMax, uint32_t recvListMax, bool scramble) {
  IOHANDLER_DESC desc = {};
  desc.dwMaxPacketSize = 128;
  desc.bScramble = scramble ? 1 : 0;
  desc.dwSocketBufferSize = 128;
  desc.dwSendListMaxBlocks = sendListMax;
  desc.dwRecvListMaxBlocks = recvListMax;
  return desc;
}

void InitSmallPools() {
  BUFFER_POOL_DESC pool = {1, 1, 2, 5, 128, 128};
  CCommonBufferMgr::GetInstance().Init(1, &pool);
}

std::string Packet(uint32_t size, uint16_t type, uint32_t seed) {
  std::string p(size, '\0');
  for (uint32_t i = 0; i < size; ++i) p[i] = static_cast<char>((i * 31 + seed * 7) & 0xFF);
  memcpy(&p[0], &size, 4);
  p[4] = 0;
  if (size >= 9) memcpy(&p[7], &type, 2);
  return p;
}

std::string Scrambled(std::string bytes) {
  ScrambleBytes(&bytes[0], bytes.size(), kStreamScrambleKey);
  return bytes;
}

bool Receive(RecvBufferEX& buffer, const std::string& bytes, int chunk) {
  size_t done = 0;
  while (done < bytes.size()) {
    char* region = nullptr;
    int length = 0;
    if (!buffer.GetRecvRegion(&region, &length)) return false;
    int n = std::min<int>({length, chunk, static_cast<int>(bytes.size() - done)});
    memcpy(region, bytes.data() + done, n);
    buffer.OnRecvComplete(n);
    done += n;
  }
  return true;
}

uint16_t PeerPort(const std::string& behaviour) {
  // One "behaviour port" line per behaviour.
  std::istringstream lines(testsupport::ReadFileBytes(testsupport::FixturePath("netpeer/ports")));
  std::string name;
  unsigned port = 0;
  while (lines >> name >> port)
    if (name == behaviour) return static_cast<uint16_t>(port);
  return 0;
}

}  // namespace nettest
