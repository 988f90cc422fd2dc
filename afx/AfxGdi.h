// Points, rectangles, device contexts and GDI objects: thin wrappers that
// own what they create and nothing else.
#pragma once
#include <windows.h>

struct CSize : SIZE {
  CSize(int x = 0, int y = 0) { cx = x; cy = y; }
};

struct CPoint : POINT {
  CPoint(int px = 0, int py = 0) { x = px; y = py; }
  CPoint(POINT p) { x = p.x; y = p.y; }
  bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
  CPoint operator-(const CPoint& o) const { return CPoint(x - o.x, y - o.y); }
};

struct CRect : RECT {
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool PtInRect(POINT p) const { return ::PtInRect(this, p) != FALSE; }
  void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};

// A GDI object this wrapper owns: deleted with it.
class CGdiObject {
 public:
  CGdiObject() {}
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  BOOL DeleteObject();
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  HGDIOBJ m_hObject = nullptr;
};

class CBrush : public CGdiObject {
 public:
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTA* font) { return Attach(::CreateFontIndirectA(font)); }
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, const char* face);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateCompatibleBitmap(HDC dc, int width, int height) {
    return Attach(::CreateCompatibleBitmap(dc, width, height));
  }
  // Monochrome when planes and bits are 1.
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
  }
  // A 32-bit top-down DIB section; its pixels in *bits.
  BOOL CreateDIB32(int width, int height, void** bits);
  BOOL GetBitmap(BITMAP* info) const {
    return m_hObject != nullptr && ::GetObjectA(m_hObject, sizeof(BITMAP), info) == sizeof(BITMAP);
  }
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  // One region of all the rectangles (ExtCreateRegion); an empty list gives
  // an empty region.
  BOOL CreateFromRects(const RECT* rects, size_t count);
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
};

class CPalette : public CGdiObject {
 public:
  BOOL CreatePalette(const LOGPALETTE* palette) { return Attach(::CreatePalette(palette)); }
  operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
};

class CWnd;

// A device context. Only one made by CreateCompatibleDC is owned (deleted
// with the wrapper); the others are released by the classes below.
class CDC {
 public:
  CDC() {}
  explicit CDC(HDC dc) : m_hDC(dc) {}
  virtual ~CDC() { DeleteDC(); }
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  BOOL CreateCompatibleDC(HDC other);
  BOOL DeleteDC();

  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  HGDIOBJ SelectObject(const CGdiObject& object) { return ::SelectObject(m_hDC, object.m_hObject); }
  HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground) {
    return ::SelectPalette(m_hDC, palette, forceBackground);
  }
  UINT RealizePalette() { return ::RealizePalette(m_hDC); }
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  int DrawText(const char* text, RECT* rect, UINT format) { return ::DrawTextA(m_hDC, text, -1, rect, format); }
  BOOL TextOut(int x, int y, const char* text, int length) { return ::TextOutA(m_hDC, x, y, text, length); }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  void FillSolidRect(const RECT& r, COLORREF c);
  BOOL BitBlt(int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src, sx, sy, rop);
  }
  int StretchDIBits(int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                    const BITMAPINFO* info, UINT usage, DWORD rop) {
    return ::StretchDIBits(m_hDC, x, y, w, h, sx, sy, sw, sh, bits, info, usage, rop);
  }

  HDC m_hDC = nullptr;

 private:
  bool m_owned = false;
};

// A memory context compatible with another; deleted with the wrapper.
class CMemoryDC : public CDC {
 public:
  explicit CMemoryDC(HDC compatibleWith) { CreateCompatibleDC(compatibleWith); }
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps = {};

 private:
  HWND m_hWnd;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};

// The screen's context for the object's life.
class CScreenDC : public CDC {
 public:
  CScreenDC() : CDC(::GetDC(nullptr)) {}
  ~CScreenDC() override { if (m_hDC) ::ReleaseDC(nullptr, m_hDC); }
};

namespace afx {

// An object selected into a context until the scope ends, then the previous
// one is back (so the object can be deleted after).
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
  ~ScopedSelect() { if (m_old) ::SelectObject(m_dc, m_old); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

// A GDI object made elsewhere (a bitmap, a region handed out by a loader).
template <class T>
class ScopedGdiObj {
 public:
  explicit ScopedGdiObj(T object = nullptr) : m_object(object) {}
  ~ScopedGdiObj() { Reset(); }
  ScopedGdiObj(const ScopedGdiObj&) = delete;
  ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;
  T Get() const { return m_object; }
  T Release() {
    T object = m_object;
    m_object = nullptr;
    return object;
  }
  void Reset(T object = nullptr) {
    if (m_object) ::DeleteObject(m_object);
    m_object = object;
  }

 private:
  T m_object;
};

}  // namespace afx
