#include "AfxGdi.h"

#include "AfxWnd.h"

#include <algorithm>
#include <cstring>
#include <vector>

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  BOOL ok = ::DeleteObject(m_hObject);
  m_hObject = nullptr;
  return ok;
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
  DeleteObject();
  m_hObject = object;
  return object != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ object = m_hObject;
  m_hObject = nullptr;
  return object;
}

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* face) {
  return Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                              charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face));
}

BOOL CBitmap::CreateDIB32(int width, int height, void** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  BOOL ok = Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (bits != nullptr) *bits = ok ? pixels : nullptr;
  return ok;
}

BOOL CRgn::CreateFromRects(const RECT* rects, size_t count) {
  std::vector<char> data(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
  RGNDATA* region = reinterpret_cast<RGNDATA*>(data.data());
  region->rdh.dwSize = sizeof(RGNDATAHEADER);
  region->rdh.iType = RDH_RECTANGLES;
  region->rdh.nCount = static_cast<DWORD>(count);
  region->rdh.nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
  RECT bounds = {0, 0, 0, 0};
  for (size_t i = 0; i < count; ++i) {
    const RECT& r = rects[i];
    if (i == 0) bounds = r;
    bounds.left = std::min(bounds.left, r.left), bounds.top = std::min(bounds.top, r.top);
    bounds.right = std::max(bounds.right, r.right), bounds.bottom = std::max(bounds.bottom, r.bottom);
  }
  region->rdh.rcBound = bounds;
  if (count > 0) memcpy(region->Buffer, rects, count * sizeof(RECT));
  return Attach(::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region));
}

BOOL CDC::CreateCompatibleDC(HDC other) {
  DeleteDC();
  m_hDC = ::CreateCompatibleDC(other);
  m_owned = m_hDC != nullptr;
  return m_owned;
}

BOOL CDC::DeleteDC() {
  if (!m_owned || m_hDC == nullptr) return FALSE;
  BOOL ok = ::DeleteDC(m_hDC);
  m_hDC = nullptr;
  m_owned = false;
  return ok;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c) {
  COLORREF old = ::SetBkColor(m_hDC, c);
  ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { m_hDC = ::GetDC(m_hWnd); }

CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, m_hDC); }
