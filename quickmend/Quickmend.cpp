#include "Quickmend.h"

#include "QuickmendDlg.h"
#include "QuickmendRun.h"

CQuickmendApp theApp;

BOOL CQuickmendApp::InitInstance() {
  SetRegistryKey("应用程序向导生成的本地应用程序");
  CQuickmendRun run;
  run.Start();
  {
    CQuickmendDlg dlg(&run);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    m_exit = dlg.ExitCode();
  }
  run.Finish(m_exit);
  return FALSE;  // the program ends with the dialog
}
