#include "BmpImage.h"

#include <cstring>

namespace SkinImage {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

const uint32_t kKey = 0xFF00FF;
const uint32_t kKey565 = 0xF81F;

}  // namespace

bool ParseBmp(const uint8_t* bytes, size_t size, BmpLayout* out) {
  if (bytes == nullptr || size < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  BmpLayout l;
  uint32_t bitsOffset = U32(bytes + 10);
  const uint8_t* info = bytes + 14;
  l.infoSize = U32(info);
  if (l.infoSize < 40 || l.infoSize > size - 14) return false;
  int32_t width = static_cast<int32_t>(U32(info + 4));
  int32_t height = static_cast<int32_t>(U32(info + 8));
  if (U16(info + 12) != 1) return false;
  l.bitCount = U16(info + 14);
  l.compression = U32(info + 16);
  uint32_t used = U32(info + 32);
  if (width <= 0 || width > kMaxBmpSide || height == 0 || height < -kMaxBmpSide || height > kMaxBmpSide) return false;
  l.width = width;
  l.topDown = height < 0;
  l.height = l.topDown ? -height : height;
  switch (l.bitCount) {
    case 1: case 4: case 8: case 24:
      if (l.compression != BI_RGB) return false;
      break;
    case 16: case 32:
      if (l.compression != BI_RGB && l.compression != BI_BITFIELDS) return false;
      break;
    default:
      return false;
  }
  if (used > 256) return false;
  if (used == 0 && l.bitCount <= 8) used = 1u << l.bitCount;
  l.colorCount = static_cast<int>(used);
  // A 40-byte header is followed by the three masks; later headers hold them.
  size_t masks = l.compression == BI_BITFIELDS && l.infoSize == 40 ? 12 : 0;
  l.colorOffset = 14 + l.infoSize + masks;
  size_t tableEnd = l.colorOffset + 4 * static_cast<size_t>(l.colorCount);
  l.stride = ((static_cast<uint64_t>(l.width) * l.bitCount + 31) / 32) * 4;
  uint64_t pixels = static_cast<uint64_t>(l.stride) * static_cast<uint64_t>(l.height);
  if (tableEnd > size || bitsOffset < tableEnd || bitsOffset > size || pixels > size - bitsOffset) return false;
  l.bitsOffset = bitsOffset;
  *out = l;
  return true;
}

uint32_t PixelValue(const uint8_t* bytes, const BmpLayout& l, int x, int y) {
  int row = l.topDown ? y : l.height - 1 - y;
  const uint8_t* p = bytes + l.bitsOffset + static_cast<size_t>(row) * l.stride;
  auto palette = [&](uint32_t index) -> uint32_t {
    if (index >= static_cast<uint32_t>(l.colorCount)) return 0;
    const uint8_t* c = bytes + l.colorOffset + 4 * index;  // blue, green, red, reserved
    return (static_cast<uint32_t>(c[2]) << 16) | (c[1] << 8) | c[0];
  };
  switch (l.bitCount) {
    case 1: return palette((p[x / 8] >> (7 - x % 8)) & 1);
    case 4: return palette((p[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case 8: return palette(p[x]);
    case 16: return U16(p + 2 * x);
    case 24: p += 3 * x; return (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
    default: p += 4 * x; return (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
  }
}

bool IsKeyPixel(const uint8_t* bytes, const BmpLayout& l, int x, int y) {
  return PixelValue(bytes, l, x, y) == (l.bitCount == 16 ? kKey565 : kKey);
}

std::vector<RECT> OpaqueRuns(const uint8_t* bytes, const BmpLayout& l) {
  std::vector<RECT> runs;
  runs.reserve(static_cast<size_t>(l.height));
  for (int y = 0; y < l.height; ++y) {
    for (int x = 0; x < l.width;) {
      while (x < l.width && IsKeyPixel(bytes, l, x, y)) ++x;
      int start = x;
      while (x < l.width && !IsKeyPixel(bytes, l, x, y)) ++x;
      if (x > start) runs.push_back(RECT{start, y, x, y + 1});
    }
  }
  return runs;
}

}  // namespace SkinImage
