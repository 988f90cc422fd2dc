// The tunedesk application: runs the settings dialog and ends with it.
#pragma once
#include "afx/AfxWin.h"

class CtunedeskApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};
