#include "Lzma.h"

#include <cstdint>

#include "LzmaLib.h"
#include "common/EngineFun/Helper.h"

int Lzma_Compress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t srcLength, uint8_t* props,
                  size_t* propsSize) {
  size_t dictionary = (srcLength + 4095) / 4096 * 4096;
  if (dictionary > 0x1000000) dictionary = 0x1000000;
  if (dictionary == 0) dictionary = 4096;
  int rc = LzmaCompress(dest, destLength, src, srcLength, props, propsSize, 5, static_cast<unsigned>(dictionary),
                        3, 0, 2, 32, 2);
  if (rc != SZ_OK) {
    ENGINE_REPORT("false&&\"压缩失败\"");
    return 0;
  }
  return 1;
}

int Lzma_Uncompress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t* srcLength, const uint8_t* props) {
  try {
    return LzmaUncompress(dest, destLength, src, srcLength, props, kLzmaPropsSize) == SZ_OK ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

size_t Lzma_MaxUnpackedSize(size_t packedLength) {
  const size_t kMaxRatio = 8192;  // the ceiling above, with room to spare
  return packedLength > SIZE_MAX / kMaxRatio ? SIZE_MAX : packedLength * kMaxRatio;
}

size_t Lzma_CompressBound(size_t srcLength) { return srcLength + srcLength / 3 + 128; }
