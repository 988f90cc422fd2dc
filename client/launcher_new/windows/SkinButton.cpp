#include "SkinButton.h"

#include "afx/AfxGdi.h"

const char* const kSkinDisabledProp = "ZarnSkinDisabled";
const char* const kSkinFrameProp = "ZarnSkinFrame";

bool CSkinBmp::Load(const uint8_t* bytes, int size) {
  m_picture.Load(bytes, size);
  m_fullWidth = m_picture.Width();
  m_height = m_picture.Height();
  m_frameWidth = m_fullWidth / 4;
  return m_picture.IsLoaded();
}

void CSkinBmp::DrawFrame(HDC dc, int frame, COLORREF key) const {
  int w = m_frameWidth, h = m_height;
  if (dc == nullptr || w <= 0 || h <= 0) return;
  // The whole strip, then the frame cut out of it.
  CMemoryDC strip(dc), part(dc), mask(dc), under(dc);
  CBitmap stripBits, partBits, maskBits, underBits;
  if (!stripBits.CreateCompatibleBitmap(dc, m_fullWidth, h) || !partBits.CreateCompatibleBitmap(dc, w, h) ||
      !maskBits.CreateBitmap(w, h, 1, 1, nullptr) || !underBits.CreateCompatibleBitmap(dc, w, h))
    return;
  afx::ScopedSelect s1(strip, stripBits), s2(part, partBits), s3(mask, maskBits), s4(under, underBits);
  RECT all = {0, 0, m_fullWidth, h};
  m_picture.Render(all, strip);
  part.BitBlt(0, 0, w, h, strip, frame * w, 0, SRCCOPY);
  // Mask bits are 1 exactly where the frame has the key colour.
  part.SetBkColor(key);
  mask.BitBlt(0, 0, w, h, part, 0, 0, SRCCOPY);
  // Key pixels of the frame become black.
  part.SetBkColor(RGB(0, 0, 0));
  part.SetTextColor(RGB(255, 255, 255));
  part.BitBlt(0, 0, w, h, mask, 0, 0, SRCAND);
  // What lies beneath, kept where the mask is set, the frame over it.
  under.BitBlt(0, 0, w, h, dc, 0, 0, SRCCOPY);
  under.SetBkColor(RGB(255, 255, 255));
  under.SetTextColor(RGB(0, 0, 0));
  under.BitBlt(0, 0, w, h, mask, 0, 0, SRCAND);
  under.BitBlt(0, 0, w, h, part, 0, 0, SRCPAINT);
  ::BitBlt(dc, 0, 0, w, h, under, 0, 0, SRCCOPY);
}

int ChooseSkinFrame(bool disabled, bool selected, bool pressed, bool hover) {
  if (disabled) return kFrameDisabled;
  if (selected) return kFrameHover;
  if (pressed) return kFramePressed;
  return hover ? kFrameHover : kFrameNormal;
}

BEGIN_MESSAGE_MAP(CSkinButton, CButton)
ON_MESSAGE(WM_MOUSEMOVE, &CSkinButton::OnMouseMoveMsg)
ON_WM_MOUSEHOVER()
ON_WM_MOUSELEAVE()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CSkinButton::CSkinButton() {
  m_font.CreateFont(14, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 2, 2, 1, 49, "Arial");
}

CSkinButton::~CSkinButton() {
  if (m_hWnd != nullptr) {
    ::RemovePropA(m_hWnd, kSkinDisabledProp);
    ::RemovePropA(m_hWnd, kSkinFrameProp);
  }
}

bool CSkinButton::LoadSkin(const uint8_t* bytes, int size) {
  m_image.Load(bytes, size);
  m_key = 0;
  m_frameRect = {0, 0, m_image.FrameWidth(), m_image.Height()};
  if (m_hWnd != nullptr) {
    RECT r;
    GetWindowRect(&r);
    HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    m_placement = {r.left, r.top, r.left + m_image.FrameWidth(), r.top + m_image.Height()};
    MoveWindow(m_placement, TRUE);
  }
  return m_image.Picture().IsLoaded();
}

void CSkinButton::SetDisabled(bool disabled) {
  m_disabled = disabled ? 1 : 0;
  if (m_hWnd != nullptr) ::SetPropA(m_hWnd, kSkinDisabledProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(m_disabled)));
  Repaint();
}

void CSkinButton::EnableButton() { SetDisabled(false); }
void CSkinButton::DisableButton() { SetDisabled(true); }

void CSkinButton::SetToolTip(const char* text) {
  if (m_toolTip.m_hWnd == nullptr && !m_toolTip.Create(this, 0)) return;
  m_toolTip.Activate(TRUE);
  m_toolTip.AddTool(this, text ? text : "");
}

void CSkinButton::SetRoundRegion() {
  ModifyStyle(0, BS_OWNERDRAW);
  RECT r;
  GetClientRect(&r);
  HRGN region = ::CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, r.right - r.left, r.bottom - r.top);
  // The window owns the region once it is set.
  if (region != nullptr && !SetWindowRgn(region, TRUE)) ::DeleteObject(region);
}

void CSkinButton::SetButtonText(const char* text) {
  if (text == nullptr) return;
  m_text = text;
  Repaint();
}

void CSkinButton::DrawItem(DRAWITEMSTRUCT* item) {
  int frame = ChooseSkinFrame(m_disabled != 0, m_selected != 0, (item->itemState & ODS_SELECTED) != 0, m_hover != 0);
  ::SetPropA(m_hWnd, kSkinFrameProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(frame + 1)));
  m_image.DrawFrame(item->hDC, frame, m_key);
  if (m_text.IsEmpty()) return;
  CDC dc(item->hDC);
  afx::ScopedSelect font(dc, m_font);
  dc.SetTextColor(m_textColor);
  int mode = dc.SetBkMode(TRANSPARENT);
  RECT r = item->rcItem;
  dc.DrawText(m_text, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  dc.SetBkMode(mode);
}

BOOL CSkinButton::PreTranslateMessage(MSG* msg) {
  if (m_toolTip.m_hWnd != nullptr) m_toolTip.RelayEvent(msg);
  return CButton::PreTranslateMessage(msg);
}

LRESULT CSkinButton::OnMouseMoveMsg(WPARAM, LPARAM) {
  if (m_disabled) return 0;  // no hover look, and no default handling
  if (!m_tracking) {
    TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, m_hWnd, 1};
    m_tracking = ::TrackMouseEvent(&track) ? 1 : 0;
  }
  return Default();
}

void CSkinButton::OnMouseHover() {
  m_hover = 1;
  Repaint();
}

void CSkinButton::OnMouseLeave() {
  m_tracking = 0;
  m_hover = 0;
  Repaint();
}
