// The emergency updater: replaces an outdated launcher with the package
// named on the command line, then starts it again.
#pragma once
#include "afx/AfxWin.h"

class CQuickmendApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  int ExitInstance() override { return m_exit; }

 private:
  int m_exit = 0;
};
