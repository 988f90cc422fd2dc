#include "Dib.h"

#include <cstring>
#include <vector>

#include "SkinSource.h"
#include "afx/AfxApp.h"
#include "afx/AfxGdi.h"
#include "common/EngineFun/Helper.h"

void CDib::Free() {
  if (m_info != nullptr) ::GlobalUnlock(m_memory.Get());
  m_memory.Reset();
  m_valid = 0;
  m_colorTable = nullptr;
  m_colorEntrySize = 4;
  m_bits = nullptr;
  m_bitCount = 0;
  m_colorCount = 0;
  m_info = nullptr;
  m_width = m_height = 0;
}

bool CDib::Load(const uint8_t* bytes, size_t size) {
  Free();
  if (bytes == nullptr || size < 14) return false;
  if (bytes[0] != 'B' || bytes[1] != 'M') {
    AfxMessageBox("This is not a bitmap file!", MB_OK);
    return false;
  }
  SkinImage::BmpLayout layout;
  if (!SkinImage::ParseBmp(bytes, size, &layout)) {
    ENGINE_ASSERT(false && "位图文件已损坏");
    return false;
  }
  if (!SkinSource::CheckPictureBound(bytes, size)) return false;
  m_memory.Reset(::GlobalAlloc(GMEM_MOVEABLE, size - 14));
  uint8_t* memory = m_memory ? static_cast<uint8_t*>(::GlobalLock(m_memory.Get())) : nullptr;
  if (memory == nullptr) {
    m_memory.Reset();
    return false;
  }
  memcpy(memory, bytes + 14, size - 14);
  m_info = reinterpret_cast<BITMAPINFO*>(memory);
  // The derived counts go into the header, as drawing reads them from there.
  SkinImage::CompleteInfoHeader(memory, layout);
  m_width = layout.width;
  m_height = layout.height;
  m_bitCount = static_cast<uint8_t>(layout.bitCount);
  m_colorCount = layout.colorCount;
  m_colorTable = m_colorCount > 0 ? memory + layout.colorOffset - 14 : nullptr;
  m_colorEntrySize = layout.colorEntrySize;
  m_bits = memory + layout.bitsOffset - 14;
  m_valid = 1;
  return true;
}

bool CDib::Draw(HDC dc, int x, int y, int width, int height, int sourceWidth, int sourceHeight) const {
  if (!m_valid || dc == nullptr) return false;
  CPalette palette;
  HPALETTE previous = nullptr;
  if (m_colorTable != nullptr) {
    std::vector<uint8_t> store(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
    LOGPALETTE* logical = reinterpret_cast<LOGPALETTE*>(store.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    // A longer table (allowed beside any depth) fills the 256 entries only.
    for (int i = 0; i < m_colorCount && i < 256; ++i) {
      const uint8_t* entry = m_colorTable + static_cast<size_t>(m_colorEntrySize) * i;
      logical->palPalEntry[i].peRed = entry[2];
      logical->palPalEntry[i].peGreen = entry[1];
      logical->palPalEntry[i].peBlue = entry[0];
    }
    if (palette.CreatePalette(logical)) {
      previous = ::SelectPalette(dc, palette, FALSE);
      ::RealizePalette(dc);
    }
  }
  int lines = ::StretchDIBits(dc, x, y, width, height, 0, 0, sourceWidth, sourceHeight, m_bits, m_info,
                              DIB_RGB_COLORS, SRCCOPY);
  if (previous != nullptr) ::SelectPalette(dc, previous, FALSE);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}
