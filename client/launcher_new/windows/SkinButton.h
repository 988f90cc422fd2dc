// Skinned buttons: CSkinBmp draws one frame of a horizontal strip of four
// (normal, hover or selected, pressed, disabled) with a transparent colour;
// CSkinButton is the owner-drawn push button that uses it.
#pragma once
#include <windows.h>

#include <cstdint>

#include "Picture.h"
#include "afx/AfxControls.h"
#include "afx/AfxGdi.h"

// Frame index of the strip.
enum SkinFrame { kFrameNormal = 0, kFrameHover = 1, kFramePressed = 2, kFrameDisabled = 3 };

class CSkinBmp {
 public:
  bool Load(const uint8_t* bytes, int size);
  // Frame f drawn over what dc shows at (0, 0), colour key transparent.
  void DrawFrame(HDC dc, int frame, COLORREF key) const;

  const CPicture& Picture() const { return m_picture; }
  int FullWidth() const { return m_fullWidth; }
  int Height() const { return m_height; }
  int FrameWidth() const { return m_frameWidth; }

 private:
  CPicture m_picture;
  int m_fullWidth = 0;
  int m_height = 0;
  int m_frameWidth = 0;
};

// The frame a button shows for its flags and item state.
int ChooseSkinFrame(bool disabled, bool selected, bool pressed, bool hover);

// Window properties that publish the look, for whoever inspects the window
// from outside (an accessibility tool, the window tests).
extern const char* const kSkinDisabledProp;  // 1 while the disabled look is on
extern const char* const kSkinFrameProp;     // last frame drawn + 1

class CSkinButton : public CButton {
  DECLARE_MESSAGE_MAP()

 public:
  CSkinButton();
  ~CSkinButton() override;

  // Loads the strip (the picture's result is not checked) and sizes the
  // button to one frame at its current top-left corner; false when nothing
  // could be decoded.
  bool LoadSkin(const uint8_t* bytes, int size);
  void EnableButton();
  void DisableButton();
  void SetToolTip(const char* text);
  void SetRoundRegion();
  void SetButtonText(const char* text);
  void SetTextColor(COLORREF color) { m_textColor = color; }

  bool IsDisabledLook() const { return m_disabled != 0; }
  void SetSelected(bool selected) { m_selected = selected ? 1 : 0; }
  bool IsSelected() const { return m_selected != 0; }
  const CString& Text() const { return m_text; }
  const CSkinBmp& Image() const { return m_image; }

  void DrawItem(DRAWITEMSTRUCT* item) override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT OnMouseMoveMsg(WPARAM, LPARAM);
  void OnMouseHover();
  void OnMouseLeave();
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }

 private:
  void SetDisabled(bool disabled);
  void Repaint() {
    if (m_hWnd != nullptr) Invalidate(TRUE);
  }

  CSkinBmp m_image;
  COLORREF m_key = 0;
  int m_disabled = 0;
  int m_selected = 0;
  RECT m_frameRect = {};
  RECT m_placement = {};
  int m_tracking = 0;
  int m_hover = 0;
  CToolTipCtrl m_toolTip;
  CString m_text;
  COLORREF m_textColor = 0xCCCCCC;
  CFont m_font;
};
