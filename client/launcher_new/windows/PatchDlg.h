// CPatchDlg: the launcher's main window. A modal dialog drawn as a
// per-pixel-alpha layered window from the layout's background image; it owns
// the player's settings, the layout, the skinned panel on top of it and the
// update run, and it is the window the run's workers send their messages to.
#pragma once
#include <memory>
#include <string>

#include "Layout.h"
#include "UpdateRun.h"
#include "UpdateWindow.h"
#include "UserConfig.h"
#include "afx/AfxWin.h"

class CChildControlDlg;

class CPatchDlg : public CDialog, public IUpdateWindow {
  DECLARE_MESSAGE_MAP()

 public:
  enum { IDD = 102 };
  explicit CPatchDlg(CWnd* parent = nullptr);
  ~CPatchDlg() override;

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void OnOK() override {}
  void OnCancel() override {}

  // ---- settings (config.xml) and layout
  void LoadUserConfig();
  void SaveUserConfig();
  // The layout named by launcher.ini out of the configuration pack; a
  // broken one ends the process.
  void LoadLayout();
  LauncherCfg::UserConfig& User() { return m_user; }
  const LauncherCfg::LauncherLayout& LayoutData() const { return m_layout; }
  // Areas 1 to 9 run their button's handler; any other value does nothing.
  void SelectArea(int32_t area) override;

  // ---- skin images of the configuration pack
  // Mode 0: a device-dependent bitmap for window's context from the BMP
  // entry (the caller owns it). Other modes: the entry decoded by GDI+
  // becomes the background image; null is returned. Null on any failure.
  HBITMAP LoadSkinImage(const char* name, CWnd* window, int mode);

  // ---- dragging, shared with the panel
  bool IsDragging() const { return m_dragging; }
  void BeginDrag(POINT screenPoint);
  void EndDrag();
  void DragTo(POINT screenPoint);

  // ---- what the panel reads
  CChildControlDlg* Panel() { return m_panel.get(); }
  UpdateRun* Run() { return m_run.get(); }
  HFONT StatusFont() const { return static_cast<HFONT>(m_statusFont.m_hObject); }
  HFONT SecondFont() const { return static_cast<HFONT>(m_font2.m_hObject); }

  // ---- IUpdateWindow (any thread)
  HWND__* MainWindow() override { return m_hWnd; }
  UpdateSettings Settings() override;
  std::string Text(int32_t id) override;
  void EnableButton(LauncherButton button, bool enable) override;
  void ShowButton(LauncherButton button, bool show) override;
  void RedrawPanel() override;
  void ShowAreaButton(int32_t area, int32_t resindex) override;
  void QuitLauncher(bool restart) override;

 protected:
  void OnPaint();
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  void OnLButtonDown(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }
  LRESULT OnStartGame(WPARAM, LPARAM);
  LRESULT OnUpdateComplete(WPARAM, LPARAM);
  LRESULT OnUpdateFailed(WPARAM, LPARAM);
  LRESULT OnRunVersionUpdate(WPARAM, LPARAM);
  LRESULT OnSelfUpdate(WPARAM, LPARAM);
  LRESULT OnAgreeOn(WPARAM, LPARAM);
  LRESULT OnAgreeOff(WPARAM, LPARAM);
  LRESULT OnLinkClicked(WPARAM, LPARAM);
  LRESULT OnWindowPosChanged(WPARAM, LPARAM);

 private:
  bool CreatePanel();
  // The background image drawn once into the layered window; false (with
  // GetLastError) when UpdateLayeredWindow refuses it.
  bool MakeLayeredWindow();
  bool UpdateLayered();
  void PlaceWindow();
  // The buttons' start/exit/optimisation state of WM_RUN_VERSION_UPDATE.
  void EnterStepButtons();

  LauncherCfg::UserConfig m_user;
  LauncherCfg::LauncherLayout m_layout;
  HICON m_hIcon = nullptr;
  BLENDFUNCTION m_blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  afx::GdiPlusImage m_background;  // the layout's image2
  CDC m_memoryDC;                  // holds the drawn background
  CBitmap m_memoryBitmap;
  HGDIOBJ m_memoryOld = nullptr;
  bool m_dragging = false;
  POINT m_dragPoint = {0, 0};
  CFont m_statusFont, m_font2;
  std::unique_ptr<CChildControlDlg> m_panel;
  std::unique_ptr<UpdateRun> m_run;
};

// The registered message "WM_LINK_CLICKED": a link button's page could not
// be opened (sent to the panel's owner).
UINT LinkClickedMessage();

// The launcher's main window once it exists (the panel and the popups reach
// it through here); null before and after.
CPatchDlg* TheMainWindow();
