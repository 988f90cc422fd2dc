// BMP files as the skins carry them, checked before anything is drawn from
// them: every size and offset the file states is held against the bytes
// given, so a damaged or hostile skin fails as "not loaded".
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace SkinImage {

const int kMaxBmpSide = 16384;

// Where the parts of a well-formed BMP lie, as offsets into the file bytes.
struct BmpLayout {
  int width = 0;
  int height = 0;         // rows, positive
  bool topDown = false;   // the file's height was negative
  int bitCount = 0;       // 1, 4, 8, 16, 24 or 32
  uint32_t compression = BI_RGB;  // BI_RGB, BI_BITFIELDS, BI_RLE8 or BI_RLE4
  int colorCount = 0;     // colour-table entries
  int colorEntrySize = 4; // RGBQUAD; RGBTRIPLE under a core header
  size_t infoOffset = 14; // the info header
  size_t infoSize = 0;    // its stated size: 12 (core) or 40 and up
  size_t colorOffset = 0; // the colour table (after any masks)
  size_t bitsOffset = 0;  // the pixels (the file header's offset)
  size_t bitsSize = 0;    // rows x stride, or the RLE stream up to its end
  size_t stride = 0;      // bytes per row, 4-aligned (uncompressed rows)
};

const size_t kCoreHeaderSize = 12;

// False unless bytes hold a BMP that GDI draws and whose headers, colour
// table and pixels all lie inside size: "BM", a core header (1, 4, 8 or 24
// bits) or an info header of 40 bytes or more, one plane, uncompressed,
// bit-field (16, 32 bits; the masks behind a 40-byte header or inside one
// of 52 bytes or more) or run-length (RLE8, RLE4; bottom-up) pixels, a
// colour table that ends before the pixel offset, and behind that offset
// rows x stride bytes, or an RLE stream that reaches its end mark (or its
// last row) inside the bytes and inside the header's image size.
bool ParseBmp(const uint8_t* bytes, size_t size, BmpLayout* layout);

// Whether the pixels are plain rows that PixelValue can read (no RLE).
inline bool HasPlainRows(const BmpLayout& l) { return l.compression == BI_RGB || l.compression == BI_BITFIELDS; }

// Fills in, in the info header copied out of the file (the bytes from offset
// 14), what GDI reads from there: the colour count when the file left it 0,
// and for RLE the length of the stream checked, so drawing stops there.
void CompleteInfoHeader(uint8_t* info, const BmpLayout& layout);

// The colour of pixel (x, y), y counted from the top, as 0xRRGGBB; for
// 16-bit pixels the raw 16-bit value (which is how the key is compared).
// Plain rows only.
uint32_t PixelValue(const uint8_t* bytes, const BmpLayout& layout, int x, int y);

// Whether a pixel is the colour key magenta: 0xF81F raw in 16-bit images,
// 0xFF00FF for every other depth (a palette image through its table).
bool IsKeyPixel(const uint8_t* bytes, const BmpLayout& layout, int x, int y);

// A window region is made from a skin no larger than this, with no more
// runs (each a rectangle GDI merges into the region): the scan costs the
// pixels, the region the runs. A panel is at most a screen, its outline a
// few runs a row. Every other skin picture is held to the same pixels
// (FitsSkinBound).
const int64_t kMaxRegionPixels = 4096 * 2048;
const size_t kMaxRegionRuns = 16384;

// The non-key runs of every row, top row first, each a rectangle one pixel
// high (the shape a window region is made of). False, with *runs holding
// maxRuns + 1, when there are more than maxRuns.
bool OpaqueRuns(const uint8_t* bytes, const BmpLayout& layout, size_t maxRuns, std::vector<RECT>* runs);

}  // namespace SkinImage
