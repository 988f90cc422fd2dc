// Standard reflected CRC-32 (IEEE 802.3).
#pragma once
#include <cstdint>

namespace Crypto {

class CCRC32 {
 public:
  virtual ~CCRC32() {}
  // 0 for a null buffer.
  uint32_t Calc(const uint8_t* data, uint32_t length) const;
  // Continues a running CRC (start with 0).
  static uint32_t Update(uint32_t crc, const uint8_t* data, uint32_t length);
};

}  // namespace Crypto
