#include "tunedesk.h"

#include "TunedeskDlg.h"
#include "common/EngineFun/ReportSink.h"

CtunedeskApp theApp;

BOOL CtunedeskApp::InitInstance() {
  // In this program every assertion report is also shown in a box.
  EngineFunc::SetReportShowsBox(true);
  SetRegistryKey("应用程序向导生成的本地应用程序");
  CTunedeskDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;  // the program ends with the dialog
}
