// CDib: a device-independent bitmap read from BMP bytes (the progress bars),
// drawn with StretchDIBits.
#pragma once
#include <windows.h>

#include <cstdint>

#include "BmpImage.h"
#include "afx/AfxScoped.h"

class CDib {
 public:
  CDib() {}
  virtual ~CDib() { Free(); }
  CDib(const CDib&) = delete;
  CDib& operator=(const CDib&) = delete;

  // Frees the previous image first. Every kind of BMP that GDI draws loads
  // when it is well-formed (see SkinImage::ParseBmp); bytes that are not a
  // BMP at all get the framework's "This is not a bitmap file!" box, damaged
  // ones and those past the skin bound a report.
  bool Load(const uint8_t* bytes, size_t size);
  // StretchDIBits from (0, 0) of the given source size to the destination,
  // through a palette made from the colour table when there is one.
  bool Draw(HDC dc, int x, int y, int width, int height, int sourceWidth, int sourceHeight) const;

  bool IsValid() const { return m_valid != 0; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int BitCount() const { return m_bitCount; }
  int ColorCount() const { return m_colorCount; }
  bool HasColorTable() const { return m_colorTable != nullptr; }

 private:
  void Free();

  int m_valid = 0;
  const uint8_t* m_colorTable = nullptr;  // into the memory: blue, green, red per entry
  int m_colorEntrySize = 4;               // 3 under a core header
  const uint8_t* m_bits = nullptr;
  uint8_t m_bitCount = 0;
  int m_colorCount = 0;
  BITMAPINFO* m_info = nullptr;  // the start of the memory
  afx::ScopedGlobal m_memory;    // everything behind the 14-byte file header
  int m_width = 0, m_height = 0;
};
