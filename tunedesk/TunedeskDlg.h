// The settings dialog and the about box.
#pragma once
#include "afx/AfxWin.h"
#include "resource.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

class CTunedeskDlg : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  explicit CTunedeskDlg(CWnd* parent = nullptr);

  void CheckModeRadio(int id);
  void CheckResolutionRadio(int id);

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnApply();
  void OnResolutionClicked(UINT id);
  void OnModeWindow();
  void OnModeMaximized();
  void OnModeFullScreen();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);

 private:
  enum { kResolutionRadios = 12, kRadios = kResolutionRadios + 3 };
  static int RadioId(int index);  // 1001..1012, 1014, 1015, 1016
  void EnableApply(BOOL enable);
  void OnModeClicked(int id);
  CButton m_radios[kRadios];
  HICON m_hIcon;
  int m_dragging = 0;
  CPoint m_dragStart;
};
