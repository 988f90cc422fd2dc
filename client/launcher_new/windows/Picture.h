// CPicture: one picture in any format OleLoadPicture takes, and its
// rendering. The skins come from the configuration pack as bytes.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>

#include "afx/AfxScoped.h"

class CPicture {
 public:
  CPicture() {}
  virtual ~CPicture() {}
  CPicture(const CPicture&) = delete;
  CPicture& operator=(const CPicture&) = delete;

  // Decodes the bytes through a stream over a movable copy of them; false
  // when the memory, the stream or the picture cannot be had (the copy is
  // freed on every path), and for a picture past the skin bound (reported).
  bool LoadFromBuffer(const uint8_t* bytes, int size);
  // LoadFromBuffer, then the size in pixels (0 x 0 and false without a picture).
  bool Load(const uint8_t* bytes, int size);
  // Drawn into rect; false without a context or a picture.
  bool Render(const RECT& rect, HDC dc) const;

  bool IsLoaded() const { return static_cast<bool>(m_picture); }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int Size() const { return m_size; }

 private:
  afx::ScopedCom<IPicture> m_picture;
  int m_height = 0;
  int m_size = 0;
  int m_width = 0;
};
