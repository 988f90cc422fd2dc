// GDI+ for the programs: the process's start-up token, and images decoded
// from bytes in memory (the skins come out of a pack, never from files).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "AfxScoped.h"

namespace afx {

// Started once by the application object, shut down with it.
class GdiPlusSession {
 public:
  GdiPlusSession() {}
  ~GdiPlusSession() { Shutdown(); }
  GdiPlusSession(const GdiPlusSession&) = delete;
  GdiPlusSession& operator=(const GdiPlusSession&) = delete;
  // Version 1, no debug callback, GDI+'s own background thread.
  bool Start();
  void Shutdown();
  ULONG_PTR Token() const { return m_token; }

 private:
  ULONG_PTR m_token = 0;
};

class GdiPlusImage {
 public:
  GdiPlusImage() {}
  ~GdiPlusImage() { Free(); }
  GdiPlusImage(const GdiPlusImage&) = delete;
  GdiPlusImage& operator=(const GdiPlusImage&) = delete;

  // Copies the bytes into movable memory, makes a stream over it and lets
  // GDI+ decode from that stream (which the image keeps while it lives).
  // False, and nothing kept, when any of it fails.
  bool LoadFromMemory(const void* bytes, size_t size);
  void Free();
  bool IsLoaded() const { return m_image != nullptr; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }

  // The image at its own size as a 32-bit top-down DIB section whose colours
  // are premultiplied by alpha, as UpdateLayeredWindow takes them; null
  // when not loaded.
  HBITMAP CreatePremultipliedDib() const;
  // Drawn stretched over rect.
  bool Draw(HDC dc, const RECT& rect) const;

 private:
  ScopedCom<IStream> m_stream;
  void* m_image = nullptr;  // GpBitmap
  int m_width = 0, m_height = 0;
};

// One pixel of straight-alpha BGRA made premultiplied (rounded).
uint32_t PremultiplyPixel(uint32_t argb);

}  // namespace afx
