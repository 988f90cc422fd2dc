#include "PictureSize.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

namespace SkinImage {

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const uint32_t kPlaceableKey = 0x9AC6CDD7;
const uint32_t kEmfSignature = 0x464D4520;  // " EMF"
const size_t kEmfHeaderSize = 88;
// Far more segments than any encoder writes ahead of its frame header.
const int kMaxJpegSegments = 4096;

int64_t Abs(int64_t v) { return v < 0 ? -v : v; }
// Pixels at 96 an inch of an extent of `units` per inch, rounded up.
int64_t ToPixels(int64_t extent, int64_t units) { return (Abs(extent) * 96 + units - 1) / units; }

void Widen(PictureSize* all, const PictureSize& one) {
  all->width = std::max(all->width, one.width);
  all->height = std::max(all->height, one.height);
}

// The info header of a BMP, behind its file header or inside an icon: a
// core header's unsigned sides, or an info header's width and either row
// order. Pixels coded as a JPEG or PNG of their own, sized only inside
// that, are refused.
bool BmpInfoSize(const uint8_t* info, size_t size, PictureSize* out) {
  if (size < 4) return false;
  const uint32_t headerSize = Le32(info);
  if (headerSize == kCoreHeaderSize && size >= kCoreHeaderSize) {
    out->width = Le16(info + 4);
    out->height = Le16(info + 6);
    return true;
  }
  if (headerSize < 40 || headerSize > size) return false;
  const int64_t width = static_cast<int32_t>(Le32(info + 4)), height = static_cast<int32_t>(Le32(info + 8));
  const uint32_t compression = Le32(info + 16);
  if (compression == BI_JPEG || compression == BI_PNG || width <= 0) return false;
  out->width = width;
  out->height = Abs(height);
  return true;
}

bool PngSize(const uint8_t* p, size_t size, PictureSize* out) {
  // Signature, then IHDR first: length 13, type, width, height, ...
  if (size < 8 + 8 + 13 || memcmp(p, kPngSignature, 8) != 0 || Be32(p + 8) != 13 || memcmp(p + 12, "IHDR", 4) != 0)
    return false;
  out->width = Be32(p + 16);
  out->height = Be32(p + 20);
  return true;
}

bool IsJpegFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// The first frame header (SOF) in the segments after SOI. A scan or the end
// before it, or a frame that leaves its height to a later marker, has no size.
bool JpegSize(const uint8_t* p, size_t size, PictureSize* out) {
  size_t at = 2;
  for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
    if (at >= size || p[at] != 0xFF) return false;
    while (at < size && p[at] == 0xFF) ++at;  // fill bytes
    if (at >= size) return false;
    const uint8_t marker = p[at++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length follows
    if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return false;
    if (size - at < 2) return false;
    const size_t length = Be16(p + at);
    if (length < 2 || length > size - at) return false;
    if (IsJpegFrameMarker(marker)) {
      if (length < 8) return false;  // length, precision, height, width, components
      out->height = Be16(p + at + 3);
      out->width = Be16(p + at + 5);
      return out->height > 0;
    }
    at += length;
  }
  return false;
}

// Past a chain of data sub-blocks and its zero terminator; false when the
// chain leaves the bytes.
bool SkipSubBlocks(const uint8_t* p, size_t size, size_t* at) {
  while (*at < size) {
    const size_t length = p[(*at)++];
    if (length == 0) return true;
    if (length > size - *at) return false;
    *at += length;
  }
  return false;
}

// A colour table of 2^(n+1) entries follows when the flags say so.
bool SkipColourTable(uint8_t flags, size_t size, size_t* at) {
  if (!(flags & 0x80)) return true;
  const size_t table = 3u << ((flags & 7) + 1);
  if (table > size - *at) return false;
  *at += table;
  return true;
}

// The logical screen and every image placed on it, walked to the trailer
// (or to the end of the bytes between two blocks, which decoders take as
// the end). Any block cut short, or one of no known kind, refuses.
bool GifSize(const uint8_t* p, size_t size, PictureSize* out) {
  if (size < 13) return false;
  PictureSize all;
  all.width = Le16(p + 6);
  all.height = Le16(p + 8);
  size_t at = 13;
  if (!SkipColourTable(p[10], size, &at)) return false;
  bool image = false;
  while (at < size) {
    const uint8_t kind = p[at++];
    if (kind == 0x3B) break;
    if (kind == 0x21) {  // extension: its label, then sub-blocks
      if (at >= size) return false;
      ++at;
      if (!SkipSubBlocks(p, size, &at)) return false;
    } else if (kind == 0x2C) {  // image: left, top, width, height, flags
      if (size - at < 9) return false;
      PictureSize placed;
      placed.width = static_cast<int64_t>(Le16(p + at)) + Le16(p + at + 4);
      placed.height = static_cast<int64_t>(Le16(p + at + 2)) + Le16(p + at + 6);
      const uint8_t flags = p[at + 8];
      at += 9;
      if (!SkipColourTable(flags, size, &at) || at >= size) return false;
      ++at;  // the LZW code size
      if (!SkipSubBlocks(p, size, &at)) return false;
      Widen(&all, placed);
      image = true;
    } else {
      return false;
    }
  }
  if (!image) return false;
  *out = all;
  return true;
}

// Every entry of the directory, both as the directory states it (0 is 256)
// and as the BMP or PNG inside it does; each must lie inside the bytes.
bool IconSize(const uint8_t* p, size_t size, PictureSize* out) {
  if (size < 6) return false;
  const size_t count = Le16(p + 4);
  if (count == 0 || (size - 6) / 16 < count) return false;
  PictureSize all;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = p + 6 + 16 * i;
    PictureSize listed, inner;
    listed.width = entry[0] != 0 ? entry[0] : 256;
    listed.height = entry[1] != 0 ? entry[1] : 256;
    const size_t length = Le32(entry + 8), offset = Le32(entry + 12);
    if (offset > size || length > size - offset) return false;
    const uint8_t* image = p + offset;
    const bool png = length >= 8 && memcmp(image, kPngSignature, 8) == 0;
    if (!(png ? PngSize(image, length, &inner) : BmpInfoSize(image, length, &inner))) return false;
    Widen(&all, listed);
    Widen(&all, inner);
  }
  *out = all;
  return true;
}

// A placeable metafile's bounding box in its own units per inch.
bool PlaceableWmfSize(const uint8_t* p, size_t size, PictureSize* out) {
  if (size < 22) return false;
  const int64_t left = static_cast<int16_t>(Le16(p + 6)), top = static_cast<int16_t>(Le16(p + 8));
  const int64_t right = static_cast<int16_t>(Le16(p + 10)), bottom = static_cast<int16_t>(Le16(p + 12));
  const int64_t inch = Le16(p + 14);
  if (inch == 0) return false;
  out->width = ToPixels(right - left, inch);
  out->height = ToPixels(bottom - top, inch);
  return true;
}

// The larger of the bounds (device pixels, inclusive) and the frame (0.01 mm).
bool EmfSize(const uint8_t* p, size_t size, PictureSize* out) {
  if (size < kEmfHeaderSize || Le32(p + 40) != kEmfSignature) return false;
  const uint32_t headerSize = Le32(p + 4);
  if (headerSize < kEmfHeaderSize || headerSize > size) return false;
  auto edge = [p](size_t offset) { return static_cast<int64_t>(static_cast<int32_t>(Le32(p + offset))); };
  PictureSize bounds, frame;
  bounds.width = Abs(edge(16) - edge(8)) + 1;
  bounds.height = Abs(edge(20) - edge(12)) + 1;
  frame.width = ToPixels(edge(32) - edge(24), 2540);
  frame.height = ToPixels(edge(36) - edge(28), 2540);
  *out = bounds;
  Widen(out, frame);
  return true;
}

// OLE takes the first 8 bytes for a stream header, and decodes what follows
// it, when they start with no signature it knows and their second half
// could be a length: a PNG or WMF whose header reads so is refused.
bool PassesForStreamHeader(const uint8_t* p, size_t size) {
  const uint32_t length = Le32(p + 4);
  return length != 0 && length <= size;
}

}  // namespace

bool ReadPictureSize(const uint8_t* p, size_t size, PictureSize* out) {
  if (p == nullptr || size < 8) return false;
  PictureSize s;
  bool read;
  if (p[0] == 'B' && p[1] == 'M')
    read = size >= 14 && BmpInfoSize(p + 14, size - 14, &s);
  else if (p[0] == 0xFF && p[1] == 0xD8)
    read = JpegSize(p, size, &s);
  else if (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0)
    read = GifSize(p, size, &s);
  else if (memcmp(p, kPngSignature, 8) == 0)
    read = !PassesForStreamHeader(p, size) && PngSize(p, size, &s);
  else if (Le32(p) == kPlaceableKey)
    read = !PassesForStreamHeader(p, size) && PlaceableWmfSize(p, size, &s);
  else if (Le16(p) == 0 && (Le16(p + 2) == 1 || Le16(p + 2) == 2))
    read = IconSize(p, size, &s);
  else if (Le32(p) == 1)
    read = EmfSize(p, size, &s);
  else
    read = false;
  if (!read || s.width == 0 || s.height == 0) return false;  // nothing to size by
  *out = s;
  return true;
}

}  // namespace SkinImage
