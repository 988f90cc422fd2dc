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
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
};

class CWnd;

// A device context that this wrapper does not own (see the classes below).
class CDC {
 public:
  CDC() {}
  explicit CDC(HDC dc) : m_hDC(dc) {}
  virtual ~CDC() {}
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int DrawText(const char* text, RECT* rect, UINT format) { return ::DrawTextA(m_hDC, text, -1, rect, format); }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  void FillSolidRect(const RECT& r, COLORREF c);
  BOOL BitBlt(int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src, sx, sy, rop);
  }

  HDC m_hDC = nullptr;
};

// A memory context compatible with another; deleted with the wrapper.
class CMemoryDC : public CDC {
 public:
  explicit CMemoryDC(HDC compatibleWith) : CDC(::CreateCompatibleDC(compatibleWith)) {}
  ~CMemoryDC() override { if (m_hDC) ::DeleteDC(m_hDC); }
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
