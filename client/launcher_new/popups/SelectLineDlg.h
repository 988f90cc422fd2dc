// CDlg_selectline: the network line choice, a skinned popup centred on its
// owner with an exit button and one button per line (auto, telecom,
// netcom). A choice is kept at once: the caller's ChooseLine.
#pragma once
#include <cstdint>

#include "Layout.h"
#include "Picture.h"
#include "SkinButton.h"
#include "afx/AfxWin.h"

class ILineChoiceHost {
 public:
  virtual ~ILineChoiceHost() {}
  // The main window's line := line (0 auto, 1 telecom, 2 netcom), the
  // panel's line button shows it, the player's settings are saved.
  virtual void ChooseLine(int32_t line) = 0;
};

class CDlg_selectline : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  enum { IDD = 134 };
  CDlg_selectline(CWnd* parent, const LauncherCfg::LauncherLayout& layout, ILineChoiceHost* host);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  CSkinButton& Button(int id);

 protected:
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnExitLine() { EndDialog(IDCANCEL); }
  void OnAutoLine() { Choose(0); }
  void OnTelecomLine() { Choose(1); }
  void OnNetcomLine() { Choose(2); }

 private:
  void Choose(int32_t line);
  void PlaceOverOwner();
  void SkinButton(CSkinButton& button, const LauncherCfg::PopupButton& look);

  const LauncherCfg::LauncherLayout& m_layout;
  ILineChoiceHost* m_host;
  CSkinButton m_exit, m_auto, m_telecom, m_netcom;
  CPicture m_picture;
};
