// The size a skin picture declares, read from its headers alone, so that a
// picture too large to decode is refused before GDI, GDI+ or OLE allocates
// for it. Pure: bytes in, a size or a refusal out.
#pragma once
#include <cstddef>
#include <cstdint>

#include "BmpImage.h"

namespace SkinImage {

struct PictureSize {
  int64_t width = 0;
  int64_t height = 0;
};

// The pixel size of the picture in bytes, for every kind the picture loaders
// take: BMP (core or info header, either row order), JPEG (its frame header),
// GIF (the screen and every image in it), PNG (IHDR), ICO and CUR (every
// entry and the BMP or PNG inside it), placeable WMF and EMF (as they are
// shown at 96 pixels an inch). Several images give the largest width and
// height. False for any other kind, for headers cut short or inconsistent,
// and for headers that state no size or a side of 0.
bool ReadPictureSize(const uint8_t* bytes, size_t size, PictureSize* out);

// Every skin picture is held to the bound a window region is made within.
inline bool FitsSkinBound(const PictureSize& s) {
  return s.width >= 1 && s.height >= 1 && s.width <= kMaxBmpSide && s.height <= kMaxBmpSide &&
         s.width * s.height <= kMaxRegionPixels;
}

}  // namespace SkinImage
