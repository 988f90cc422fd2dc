// The packet on the wire: a u32 total size (header included; its low 16
// bits are the packet's wSize), a flag byte, then the body, whose u16 type
// sits at offset 7. The whole stream may be scrambled with one byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 1)
struct PACKET_HEADER {
  uint32_t size;
  uint8_t cMsgFlag;
};
#pragma pack(pop)

const uint8_t msgflag_normal = 0;
const uint8_t msgflag_lzo = 1;  // bit 0: the body is LZO1X-compressed

const uint32_t kPacketHeaderSize = sizeof(PACKET_HEADER);  // 5
const uint32_t kMinPacketSize = 10;
const uint32_t kMaxPacketSize = 0xFFFF;
const size_t kPacketTypeOffset = 7;

const uint8_t kStreamScrambleKey = 0x4E;

inline uint32_t PacketSize(const void* packet) {
  uint32_t size;
  memcpy(&size, packet, sizeof(size));
  return size;
}

inline uint16_t PacketType(const void* packet) {
  uint16_t type;
  memcpy(&type, static_cast<const char*>(packet) + kPacketTypeOffset, sizeof(type));
  return type;
}

inline void ScrambleBytes(void* data, size_t n, uint8_t key) {
  unsigned char* p = static_cast<unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) p[i] ^= key;
}

// The send side scrambles each byte once however the sends are split:
// *scrambled counts the region's leading bytes that already are. False on
// a count that does not fit the region.
inline bool ScrambleSendRegion(char* region, int length, int* scrambled, uint8_t key) {
  if (*scrambled < 0 || *scrambled > length) return false;
  ScrambleBytes(region + *scrambled, static_cast<size_t>(length - *scrambled), key);
  *scrambled = length;
  return true;
}
