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
  uint32_t compression = BI_RGB;  // BI_RGB or BI_BITFIELDS
  int colorCount = 0;     // colour-table entries, at most 256
  size_t infoOffset = 14; // the info header
  size_t infoSize = 0;    // its stated size (40 and up)
  size_t colorOffset = 0; // the colour table (after any masks)
  size_t bitsOffset = 0;  // the pixels (the file header's offset)
  size_t stride = 0;      // bytes per row, 4-aligned
};

// False unless bytes hold a BMP whose headers, colour table and pixels all
// lie inside size: "BM", an info header of 40 bytes or more, one plane, an
// uncompressed or bit-field format, a colour count of at most 256, a pixel
// offset behind the colour table, and rows x stride bytes behind it.
bool ParseBmp(const uint8_t* bytes, size_t size, BmpLayout* layout);

// The colour of pixel (x, y), y counted from the top, as 0xRRGGBB; for
// 16-bit pixels the raw 16-bit value (which is how the key is compared).
uint32_t PixelValue(const uint8_t* bytes, const BmpLayout& layout, int x, int y);

// Whether a pixel is the colour key magenta: 0xF81F raw in 16-bit images,
// 0xFF00FF for every other depth (a palette image through its table).
bool IsKeyPixel(const uint8_t* bytes, const BmpLayout& layout, int x, int y);

// The non-key runs of every row, top row first, each a rectangle one pixel
// high (the shape a window region is made of).
std::vector<RECT> OpaqueRuns(const uint8_t* bytes, const BmpLayout& layout);

}  // namespace SkinImage
