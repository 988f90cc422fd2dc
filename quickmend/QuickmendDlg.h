// The updater's dialog: what the current attempt does, its progress, and
// Retry after a failure.
#pragma once
#include <memory>

#include "QuickmendRun.h"
#include "afx/AfxWin.h"
#include "resource.h"

class CQuickmendDlg : public CDialog {
  DECLARE_MESSAGE_MAP()

 public:
  explicit CQuickmendDlg(CQuickmendRun* run, CWnd* parent = nullptr);
  // 0 when the player closed the window, -1 when the program ends by itself.
  int ExitCode() const { return m_exitCode; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}  // Enter never ends the updater
  void OnCancel() override;
  HCURSOR OnQueryDragIcon();
  void OnTimer(UINT_PTR id);
  void OnBnClickedRetry();
  LRESULT OnAttemptProgress(WPARAM done, LPARAM total);
  LRESULT OnAttemptResult(WPARAM result, LPARAM);
  LRESULT OnDestroyDialog(WPARAM, LPARAM);

 private:
  void StartDownload();
  void ShowFailure(const CString& text);
  void EndProgram();

  CQuickmendRun* m_run;
  int m_retries = 0;
  HICON m_hIcon;
  CStatic m_status;
  CButton m_retry;
  CProgressCtrl m_progress;
  CString m_url;
  std::shared_ptr<DialogLink> m_link;
  int m_rangeTotal = 0;
  int m_exitCode = 0;
  bool m_closeAsked = false;  // during the install: the dialog ends after it
};
