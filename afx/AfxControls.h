// The common controls the programs use, each a CWnd with a few wrappers.
#pragma once
#include "AfxWnd.h"

#include <commctrl.h>

class CButton : public CWnd {
 public:
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  // Owner-drawn buttons draw here; the parent hands WM_DRAWITEM over.
  virtual void DrawItem(DRAWITEMSTRUCT*) {}
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

class CToolTipCtrl : public CWnd {
 public:
  BOOL Create(CWnd* parent, DWORD style = 0);
  void Activate(BOOL active) { SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(active)); }
  // The whole client area of tool shows text.
  BOOL AddTool(CWnd* tool, const char* text);
  void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
  int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
};
