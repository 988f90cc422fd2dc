#include "BmpImage.h"

#include <cstring>

#include "ByteOrder.h"

namespace SkinImage {

namespace {

const uint32_t kKey = 0xFF00FF;
const uint32_t kKey565 = 0xF81F;

// The length of an RLE8 or RLE4 stream, with its end mark, that lies wholly
// in p[0, size); 0 when a code or run leaves the bytes or the stream stops
// before its end mark and before its last row.
size_t RleStreamLength(const uint8_t* p, size_t size, int bitCount, int height) {
  size_t at = 0;
  int row = 0;
  while (size - at >= 2) {
    const uint8_t count = p[at], code = p[at + 1];
    at += 2;
    if (count != 0) continue;  // a run of one colour
    if (code == 1) return at;  // end of the bitmap
    if (code == 0 || code == 2) {
      if (code == 2) {  // a move: dx, dy follow
        if (size - at < 2) return 0;
        row += p[at + 1];
        at += 2;
      } else {
        ++row;
      }
      if (row < height) continue;
      // Every row is there; an end mark right behind belongs to the stream.
      if (size - at >= 2 && p[at] == 0 && p[at + 1] == 1) at += 2;
      return at;
    }
    size_t data = bitCount == 8 ? code : (code + 1u) / 2;  // pixels as they stand
    data += data & 1;                                      // padded to a word
    if (data > size - at) return 0;
    at += data;
  }
  return 0;
}

// Width, height, planes and bit count from either header kind, the depth
// and compression GDI draws together, and the colour-table entries.
bool ParseHeader(const uint8_t* info, BmpLayout* l, uint32_t* colors) {
  int32_t width, height;
  uint16_t planes;
  uint32_t used = 0;
  if (l->infoSize == kCoreHeaderSize) {
    width = Le16(info + 4);
    height = Le16(info + 6);
    planes = Le16(info + 8);
    l->bitCount = Le16(info + 10);
    l->compression = BI_RGB;
    l->colorEntrySize = 3;
    if (l->bitCount != 1 && l->bitCount != 4 && l->bitCount != 8 && l->bitCount != 24) return false;
  } else {
    width = static_cast<int32_t>(Le32(info + 4));
    height = static_cast<int32_t>(Le32(info + 8));
    planes = Le16(info + 12);
    l->bitCount = Le16(info + 14);
    l->compression = Le32(info + 16);
    used = Le32(info + 32);
    bool depthFits;
    switch (l->compression) {
      case BI_RGB: depthFits = l->bitCount == 1 || l->bitCount == 4 || l->bitCount == 8 || l->bitCount == 16 ||
                               l->bitCount == 24 || l->bitCount == 32; break;
      case BI_BITFIELDS: depthFits = l->bitCount == 16 || l->bitCount == 32; break;
      case BI_RLE8: depthFits = l->bitCount == 8 && height > 0; break;
      case BI_RLE4: depthFits = l->bitCount == 4 && height > 0; break;
      default: depthFits = false;
    }
    if (!depthFits) return false;
  }
  if (planes != 1) return false;
  if (width <= 0 || width > kMaxBmpSide || height == 0 || height < -kMaxBmpSide || height > kMaxBmpSide) return false;
  l->width = width;
  l->topDown = height < 0;
  l->height = l->topDown ? -height : height;
  // The count may exceed what the depth can index (GDI reads what it
  // needs); the caller holds it against the bytes.
  if (used == 0 && l->bitCount <= 8) used = 1u << l->bitCount;
  *colors = used;
  return true;
}

}  // namespace

bool ParseBmp(const uint8_t* bytes, size_t size, BmpLayout* out) {
  if (bytes == nullptr || size < 14 + kCoreHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return false;
  BmpLayout l;
  const uint32_t bitsOffset = Le32(bytes + 10);
  const uint8_t* info = bytes + 14;
  l.infoSize = Le32(info);
  if ((l.infoSize != kCoreHeaderSize && l.infoSize < 40) || l.infoSize > size - 14) return false;
  uint32_t colors = 0;
  if (!ParseHeader(info, &l, &colors)) return false;
  // A 40-byte header is followed by the three masks; headers of 52 bytes and
  // up hold them. GDI reads them at offset 40 whatever the size, so a header
  // in between would have them read partly past it.
  if (l.compression == BI_BITFIELDS && l.infoSize > 40 && l.infoSize < 52) return false;
  size_t masks = l.compression == BI_BITFIELDS && l.infoSize == 40 ? 12 : 0;
  l.colorOffset = 14 + l.infoSize + masks;
  uint64_t tableEnd = l.colorOffset + static_cast<uint64_t>(l.colorEntrySize) * colors;
  if (tableEnd > size || bitsOffset < tableEnd || bitsOffset > size || colors > 0x7FFFFFFFu) return false;
  l.colorCount = static_cast<int>(colors);
  l.bitsOffset = bitsOffset;
  const size_t left = size - bitsOffset;
  if (HasPlainRows(l)) {
    l.stride = ((static_cast<uint64_t>(l.width) * l.bitCount + 31) / 32) * 4;
    uint64_t pixels = static_cast<uint64_t>(l.stride) * static_cast<uint64_t>(l.height);
    if (pixels > left) return false;
    l.bitsSize = static_cast<size_t>(pixels);
  } else {
    const uint32_t stated = Le32(info + 20);  // image size: where GDI stops reading
    if (stated > left) return false;
    l.bitsSize = RleStreamLength(bytes + bitsOffset, stated != 0 ? stated : left, l.bitCount, l.height);
    if (l.bitsSize == 0) return false;
  }
  *out = l;
  return true;
}

void CompleteInfoHeader(uint8_t* info, const BmpLayout& l) {
  if (l.infoSize == kCoreHeaderSize) return;  // GDI derives everything there
  BITMAPINFOHEADER header;
  memcpy(&header, info, sizeof header);
  header.biClrUsed = static_cast<DWORD>(l.colorCount);
  if (!HasPlainRows(l)) header.biSizeImage = static_cast<DWORD>(l.bitsSize);
  memcpy(info, &header, sizeof header);
}

uint32_t PixelValue(const uint8_t* bytes, const BmpLayout& l, int x, int y) {
  int row = l.topDown ? y : l.height - 1 - y;
  const uint8_t* p = bytes + l.bitsOffset + static_cast<size_t>(row) * l.stride;
  auto palette = [&](uint32_t index) -> uint32_t {
    if (index >= static_cast<uint32_t>(l.colorCount)) return 0;
    const uint8_t* c = bytes + l.colorOffset + static_cast<size_t>(l.colorEntrySize) * index;  // blue, green, red
    return (static_cast<uint32_t>(c[2]) << 16) | (c[1] << 8) | c[0];
  };
  switch (l.bitCount) {
    case 1: return palette((p[x / 8] >> (7 - x % 8)) & 1);
    case 4: return palette((p[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case 8: return palette(p[x]);
    case 16: return Le16(p + 2 * x);
    case 24: p += 3 * x; return (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
    default: p += 4 * x; return (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
  }
}

bool IsKeyPixel(const uint8_t* bytes, const BmpLayout& l, int x, int y) {
  return PixelValue(bytes, l, x, y) == (l.bitCount == 16 ? kKey565 : kKey);
}

bool OpaqueRuns(const uint8_t* bytes, const BmpLayout& l, size_t maxRuns, std::vector<RECT>* runs) {
  runs->clear();
  for (int y = 0; y < l.height; ++y) {
    for (int x = 0; x < l.width;) {
      while (x < l.width && IsKeyPixel(bytes, l, x, y)) ++x;
      int start = x;
      while (x < l.width && !IsKeyPixel(bytes, l, x, y)) ++x;
      if (x == start) continue;
      runs->push_back(RECT{start, y, x, y + 1});
      if (runs->size() > maxRuns) return false;
    }
  }
  return true;
}

}  // namespace SkinImage
