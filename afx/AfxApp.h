// The application object and the program's entry: WinMain (AfxWinMain.cpp,
// linked only by programs) hands over to AfxWinMain, which runs the one
// CWinApp of the program: InitInstance, the message loop when it returned
// TRUE, then ExitInstance, whose value is the exit code.
#pragma once
#include "AfxWnd.h"

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_exitCode; }
  virtual int Run();
  HICON LoadIcon(UINT id) const;
  // Settings live in ini files, never in the registry: kept for the call only.
  void SetRegistryKey(const char*) {}

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  const char* m_lpCmdLine = "";  // the arguments, without the program's own name
  const char* m_pszAppName = "";  // the program's file name without extension

 private:
  friend int AfxWinMain(HINSTANCE, int);
  int m_exitCode = 0;
  CString m_appName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
int AfxWinMain(HINSTANCE instance, int show);

// The arguments part of a command line: the first token is dropped only when
// it names this program (a launcher may pass the arguments alone).
const char* AfxCommandArguments(const char* commandLine, const char* modulePath);

// Every box goes through the system's message-box seam.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = 0);
