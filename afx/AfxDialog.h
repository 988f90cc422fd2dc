// CDialog: a dialog from a template resource, modal (DoModal runs its own
// loop and disables only its owner) or modeless (Create). The dialog window
// is subclassed at its first message, so every message goes through the
// message map; unhandled ones reach the system's dialog procedure.
#pragma once
#include "AfxWnd.h"

class CDialog;

struct CDataExchange {
  CDialog* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
};

// Binds a member control to the dialog item id (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
  DECLARE_MESSAGE_MAP()

 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // IDOK/IDCANCEL or EndDialog's value; -1 when the dialog could not be made
  // (no template, or no display).
  virtual INT_PTR DoModal();
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  void EndDialog(int result);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  BOOL PreTranslateMessage(MSG* msg) override;

  UINT m_nIDHelp;
  CWnd* m_pParentWnd;

 protected:
  void PostNcDestroy() override;

 private:
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleInitDialog(WPARAM, LPARAM);
  HWND CreateFromTemplate(HWND owner);
  void RunModalLoop();

  bool m_modal = false;
  bool m_ended = false;
  INT_PTR m_result = -1;
};

INT_PTR CALLBACK AfxDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
