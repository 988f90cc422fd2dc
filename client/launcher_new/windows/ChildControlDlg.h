// CChildControlDlg: the skinned panel, a borderless popup (dialog 132) owned
// by the main window and kept exactly over it. Magenta is transparent and
// click-through; it carries the 22 buttons, draws the status line, the two
// versions and the two progress bars, and runs the panel's commands.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "Dib.h"
#include "PanelBrowser.h"
#include "PanelLayout.h"
#include "PanelStatus.h"
#include "Picture.h"
#include "SkinButton.h"
#include "afx/AfxWin.h"

class CPatchDlg;

class CChildControlDlg : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  enum { IDD = 132 };
  static const int kAreaComboId = 1051;
  static const int kNotesButtonId = 1050;
  static const int kBrowserId = 1060;
  static const COLORREF kColorKey = RGB(255, 0, 255);

  explicit CChildControlDlg(CPatchDlg* main);

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void OnOK() override {}
  void OnCancel() override {}

  // The bar images, loaded by the main window after it made the panel.
  CDib& MergeBar() { return m_mergeBar; }
  CDib& StageBar() { return m_stageBar; }
  CSkinButton& Button(int index) { return m_buttons[index]; }

  // ---- operations the main window, the run and the popups call
  void SetAgreeChecked(bool checked);
  void SetLineButtonText(int line);
  // Only for 0 <= area < 10 and an entry that holds a button.
  void ShowAreaButton(int area, bool move);
  // Makes area the player's and saves it; its button alone looks selected
  // (none does for an area without a button).
  void OnArea(int area);
  // Places the browser and loads its page.
  void NavigateBrowser();
  // Every address the page is about to open: a web login starts the game.
  void OnTranslateUrl(const wchar_t* url);
  PanelBrowser& Browser() { return m_browser; }
  // Leaves the process (exit code -1), with restart started again with
  // "zarn_restart"; nothing while the exit button looks disabled.
  void QuitLauncher(bool restart);
  // Once the panel has its final size: paints it whole without its region,
  // then gives the region back. Window systems that make a colour-keyed
  // window's shape from its pixels then find the key colour outside the
  // region too, instead of pixels that were never painted.
  void PaintWholeThenClip();
  // Draws the whole panel into dc as WM_PAINT does (the benchmark's unit).
  void PaintInto(HDC dc);
  // The status line as drawn at this moment.
  std::string StatusLine();

 protected:
  void OnPaint();
  BOOL OnEraseBkgnd(CDC*);
  void OnTimer(UINT_PTR id);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  HBRUSH OnCtlColor(CDC* dc, CWnd* child, UINT kind);

  // Commands.
  void OnStart();
  void OnMinimize();
  void OnExit();
  void OnSettings();
  void OnLink(UINT id);
  void OnLine();
  void OnAgree();
  void OnOptimize();
  void OnAreaButton(UINT id);
  void OnUpdateNotes();

 private:
  // The background, the region and the buttons from the layout.
  bool SetUpWindow();
  void LayOut();
  // A skin of the configuration pack into a picture or a button. A closed
  // pack counts as success (nothing loaded).
  bool LoadSkinPicture(const std::string& name, CPicture* picture);
  bool LoadSkinButton(const std::string& name, CSkinButton* button);
  void DrawBars(HDC dc);
  void DrawVersions(HDC dc);
  void DrawStatus(HDC dc);
  void StartSettingsProgram();
  void SaveSettings();

  CPatchDlg* m_main;
  CBrush m_background;
  CSkinButton m_buttons[PanelLayout::kButtonCount];
  std::map<int, CSkinButton*> m_areaMap;
  CDib m_mergeBar;
  CDib m_stageBar;
  CPicture m_picture;
  PanelStatus::StatusClock m_clock;
  std::string m_shownLine;
  PanelBrowser m_browser;  // before the window goes: it closes the control
};
