#include "AfxGdiPlus.h"

#include <gdiplus.h>

#include <cstring>

#include "AfxGdi.h"

namespace afx {

bool GdiPlusSession::Start() {
  if (m_token != 0) return true;
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread
  return Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

void GdiPlusSession::Shutdown() {
  if (m_token == 0) return;
  Gdiplus::GdiplusShutdown(m_token);
  m_token = 0;
}

bool GdiPlusImage::LoadFromMemory(const void* bytes, size_t size) {
  Free();
  if (bytes == nullptr || size == 0) return false;
  ScopedGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, size));
  void* locked = memory ? ::GlobalLock(memory.Get()) : nullptr;
  if (locked == nullptr) return false;
  memcpy(locked, bytes, size);
  ::GlobalUnlock(memory.Get());
  ScopedCom<IStream> stream;
  // The stream frees the memory when released; until then it is ours.
  if (FAILED(::CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Out()))) return false;
  memory.Release();
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.Get(), &bitmap) != Gdiplus::Ok || bitmap == nullptr)
    return false;
  UINT w = 0, h = 0;
  Gdiplus::DllExports::GdipGetImageWidth(bitmap, &w);
  Gdiplus::DllExports::GdipGetImageHeight(bitmap, &h);
  if (w == 0 || h == 0 || w > 0x4000 || h > 0x4000) {
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    return false;
  }
  m_image = bitmap;
  m_stream = std::move(stream);
  m_width = static_cast<int>(w);
  m_height = static_cast<int>(h);
  return true;
}

void GdiPlusImage::Free() {
  if (m_image != nullptr) Gdiplus::DllExports::GdipDisposeImage(static_cast<Gdiplus::GpImage*>(m_image));
  m_image = nullptr;
  m_stream.Reset();
  m_width = m_height = 0;
}

uint32_t PremultiplyPixel(uint32_t argb) {
  uint32_t a = argb >> 24;
  if (a == 255) return argb;
  auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) | scale(argb & 0xFF);
}

HBITMAP GdiPlusImage::CreatePremultipliedDib() const {
  if (m_image == nullptr) return nullptr;
  auto* bitmap = static_cast<Gdiplus::GpBitmap*>(m_image);
  Gdiplus::GpRect all(0, 0, m_width, m_height);
  Gdiplus::BitmapData data = {};
  // Straight alpha is what every decoder gives; the premultiplying is ours.
  if (Gdiplus::DllExports::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                                              &data) != Gdiplus::Ok)
    return nullptr;
  CBitmap dib;
  void* bits = nullptr;
  if (dib.CreateDIB32(m_width, m_height, &bits)) {
    for (int y = 0; y < m_height; ++y) {
      const uint32_t* src = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) +
                                                              static_cast<ptrdiff_t>(y) * data.Stride);
      uint32_t* dst = static_cast<uint32_t*>(bits) + static_cast<size_t>(y) * m_width;
      for (int x = 0; x < m_width; ++x) dst[x] = PremultiplyPixel(src[x]);
    }
  }
  Gdiplus::DllExports::GdipBitmapUnlockBits(bitmap, &data);
  return static_cast<HBITMAP>(dib.Detach());
}

bool GdiPlusImage::Draw(HDC dc, const RECT& rect) const {
  if (m_image == nullptr || dc == nullptr) return false;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (Gdiplus::DllExports::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return false;
  bool ok = Gdiplus::DllExports::GdipDrawImageRectI(graphics, static_cast<Gdiplus::GpImage*>(m_image), rect.left,
                                                    rect.top, rect.right - rect.left,
                                                    rect.bottom - rect.top) == Gdiplus::Ok;
  Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  return ok;
}

}  // namespace afx
