#include "CRC32.h"

#include <cstring>

namespace Crypto {
namespace {

// Table 0 is the standard 256-entry table; tables 1-7 let one round take
// eight bytes at once with the same result as the byte-wise loop.
struct Tables {
  uint32_t t[8][256];
  Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int s = 1; s < 8; ++s) t[s][i] = t[0][t[s - 1][i] & 0xFF] ^ (t[s - 1][i] >> 8);
  }
};

const Tables& CrcTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

uint32_t CCRC32::Calc(const uint8_t* data, uint32_t length) const {
  if (data == nullptr) return 0;
  return Update(0, data, length);
}

uint32_t CCRC32::Update(uint32_t crc, const uint8_t* data, uint32_t length) {
  if (data == nullptr) return crc;
  const Tables& tb = CrcTables();
  uint32_t c = ~crc;
  while (length >= 8) {
    uint32_t lo, hi;
    memcpy(&lo, data, 4);
    memcpy(&hi, data + 4, 4);
    lo ^= c;
    c = tb.t[7][lo & 0xFF] ^ tb.t[6][(lo >> 8) & 0xFF] ^ tb.t[5][(lo >> 16) & 0xFF] ^ tb.t[4][lo >> 24] ^
        tb.t[3][hi & 0xFF] ^ tb.t[2][(hi >> 8) & 0xFF] ^ tb.t[1][(hi >> 16) & 0xFF] ^ tb.t[0][hi >> 24];
    data += 8;
    length -= 8;
  }
  while (length--) c = tb.t[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace Crypto
